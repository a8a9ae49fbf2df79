#include "analysis/base/NumberFormat.h"

#include <clocale>
#include <tuple>
#include <utility>
#include <gtest/gtest.h>

using namespace numfmt;

// Header numbers as written, with at most fifteen significant digits.
TEST(GeneralFormat, HeaderNumbersAsWrittenToFifteenDigits)
{
    const std::pair<double, const char*> cases[] = {
        {500, "500"}, {0.5, "0.5"}, {1e-6, "1E-6"}, {-2.5e-12, "-2.5E-12"}, {1e20, "1E20"}, {0, "0"},
        {5000, "5000"}, {4.8e15, "4.8E15"}, {1e15, "1E15"}, {1e14, "100000000000000"}, {0.0001, "0.0001"},
        {0.00001, "1E-5"}, {-3.25, "-3.25"}, {123456.789, "123456.789"}, {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"}, {2.0 / 3.0, "0.666666666666667"}, {999999999999999.9, "1E15"},
        {1.23456789012345678e-7, "1.23456789012346E-7"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(general(value), text);
}

TEST(GFormat, PrintfG)
{
    EXPECT_EQ(g(1.5e16), "1.5e+16");
    EXPECT_EQ(g(300), "300");
    EXPECT_EQ(g(0.95), "0.95");
    EXPECT_EQ(g(123.456789), "123.457");
    EXPECT_EQ(g(-1e-7), "-1e-07");
}

// Scientific patterns ("0.00E+00", "E-00" without the plus), then fixed ones.
TEST(PatternFormat, ScientificAndFixedPatterns)
{
    const std::tuple<double, const char*, const char*> cases[] = {
        {4.83e15, "0.00E+00", "4.83E+15"}, {9.4211e49, "0.00E+00", "9.42E+49"},
        {-1.234e-5, "0.00E+00", "-1.23E-05"}, {0, "0.00E+00", "0.00E+00"},
        {9.996e15, "0.00E+00", "1.00E+16"}, {1.25e3, "0.0E+00", "1.3E+03"}, {1.5e16, "0.00E-00", "1.50E16"},
        {1.5e-16, "0.00E-00", "1.50E-16"}, {1.23456789e17, "0.00000000E+00", "1.23456789E+17"},
        {2.5e10, "0.0#E+00", "2.5E+10"}, {2.54e10, "0.0#E+00", "2.54E+10"}, {2.0e10, "0.0#E+00", "2.0E+10"},
        {1e100, "0.00E+00", "1.00E+100"}, {0.04512345, "0.####", "0.0451"}, {1, "0.####", "1"},
        {-0.12345, "0.####", "-0.1235"}, {0.123456, "0.#####", "0.12346"},
        {0.1234567, "0.######", "0.123457"}, {0.5, "0.0000", "0.5000"}, {2, "0.##", "2"},
        {2.5, "0.##", "2.5"}, {0.125, "0.##", "0.13"}, {3.3333, "#0.000", "3.333"},
        {12.0, "#0.000", "12.000"}, {0.9999, "#0.000", "1.000"}, {5.25, "000.0", "005.3"},
        {123.44, "000.0", "123.4"}, {1234.5, "000.0", "1234.5"}, {-0.00001, "0.0000", "0.0000"},
        {0, "0.####", "0"}, {-2.5, "#0.000", "-2.500"},
    };
    for (const auto& [value, form, text] : cases)
        EXPECT_EQ(pattern(value, form), text) << value << " " << form;
}

TEST(Parsing, AcceptsEveryWrittenFormAndRejectsGarbage)
{
    double v = 0;
    for (const char* t : {"500", "0.5", "1E-6", "-2.5E-12", "1E20", "1.5e+16", " 42 ", "+3", "4.83E+15",
                          "1.50E16", ".5"}) {
        EXPECT_TRUE(parseDouble(t, v)) << t;
    }
    ASSERT_TRUE(parseDouble("1.5e+16", v));
    EXPECT_DOUBLE_EQ(v, 1.5e16);
    ASSERT_TRUE(parseDouble("-2.5E-12", v));
    EXPECT_DOUBLE_EQ(v, -2.5e-12);
    for (const char* t : {"", "abc", "1,5", "1.5x", "nan", "inf", "--1", "+-1", "1 2"}) {
        EXPECT_FALSE(parseDouble(t, v)) << t;
    }
    int n = 0;
    EXPECT_TRUE(parseInt("17", n));
    EXPECT_EQ(n, 17);
    EXPECT_FALSE(parseInt("1.5", n));
    EXPECT_FALSE(parseInt("x", n));
    EXPECT_FALSE(parseInt("99999999999", n));
}

TEST(Parsing, DecimalPointIsIndependentOfTheLocale)
{
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "de_DE") ||
                  std::setlocale(LC_ALL, "fr_FR.UTF-8");
    double v = 0;
    EXPECT_TRUE(parseDouble("0.5", v));
    EXPECT_DOUBLE_EQ(v, 0.5);
    EXPECT_FALSE(parseDouble("0,5", v));
    EXPECT_EQ(general(0.5), "0.5");
    EXPECT_EQ(g(1.5), "1.5");
    EXPECT_EQ(pattern(0.0451, "0.####"), "0.0451");
    std::setlocale(LC_ALL, saved.c_str());
    if (!german)
        GTEST_SKIP() << "no comma-decimal locale installed; checked under the C locale only";
}
