// Typed-in and converted data: what the sheet and the converter accept,
// how they order and round it, and that nothing is lost before a file exists.
#include "analysis/data/Analysis.h"
#include "analysis/data/DataEntry.h"
#include "analysis/base/NumberFormat.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace dataentry;

namespace {

SampleForm nType()
{
    SampleForm f;
    f.semiconductor = "Si";
    f.conductionType = "n-type";
    f.sampleNumber = "S-7";
    f.thickness = "500";
    f.magneticField = "0.5";
    f.current = "1E-4";
    return f;
}

Sheet rows(std::initializer_list<SheetRow> r)
{
    Sheet s(r);
    s.resize(sheetRows);
    return s;
}

} // namespace

TEST(DataEntryConversion, LeadingNumbers)
{
    struct Case { const char* token; bool ok; double value; } cases[] = {
        {"85", true, 85},      {"1.2e14", true, 1.2e14}, {"85K", true, 85},   {"+5", true, 5},
        {"-3.5", true, -3.5},  {".5", true, 0.5},        {"1.2e", true, 1.2}, {"T(K)", false, 0},
        {"#", false, 0},       {"inf", false, 0},        {"nan", false, 0},   {"e5", false, 0},
        {"+-1", false, 0},     {"-", false, 0},          {"1e999", false, 0},
    };
    for (const Case& c : cases) {
        double v = -42;
        EXPECT_EQ(leadingNumber(c.token, v), c.ok) << c.token;
        EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -42) << c.token;
    }
}

TEST(DataEntryConversion, ColumnsOfMixedSeparatorsAndLinesLeftOut)
{
    const std::string text = "  85, 1.2e14\t0.98\r\n"
                             "# comment line\r\n"
                             "\r\n"
                             "T(K) n(cm-3)\r\n"
                             "90\r\n"
                             "\x01\t 80,,1e14 , 0.5\n"
                             "100 2e14 -0.2";
    struct Case { Columns columns; std::vector<double> t, n, r; int leftOut; } cases[] = {
        // Temperature "1", concentration "2": sorted ascending, reliability 1.
        {{0, 1, -1}, {80, 85, 100}, {1e14, 1.2e14, 2e14}, {1, 1, 1}, 3},
        // A reliability column (the batch program's third column): negative gives 0.
        {{0, 1, 2}, {80, 85, 100}, {1e14, 1.2e14, 2e14}, {0.5, 0.98, 0}, 3},
        // Nothing chosen matches no column.
        {{-1, 1, -1}, {}, {}, {}, 6},
        {{0, 15, -1}, {}, {}, {}, 6},
        // The same column twice.
        {{1, 1, -1}, {1e14, 1.2e14, 2e14}, {1e14, 1.2e14, 2e14}, {1, 1, 1}, 3},
    };
    for (const Case& c : cases) {
        int leftOut = -1;
        const Points p = convertColumns(text, c.columns, leftOut);
        EXPECT_EQ(p.temperature, c.t);
        EXPECT_EQ(p.concentration, c.n);
        EXPECT_EQ(p.reliability, c.r);
        EXPECT_EQ(leftOut, c.leftOut);
    }
}

TEST(DataEntryConversion, DescendingSavedAscendingFirstOfEqualTemperaturesFirst)
{
    int leftOut = 0;
    const Points p = convertColumns("300 3\n200 2\n100 1\n200 5\n50 9\n", {0, 1, -1}, leftOut);
    EXPECT_EQ(p.temperature, (DoubleArray{50, 100, 200, 200, 300}));
    // Selection sort: 300 is swapped with 50 first, then 200 (line 2) is the
    // first of the equal minima and stays before 200 (line 4).
    EXPECT_EQ(p.concentration, (DoubleArray{9, 1, 2, 5, 3}));
}

TEST(DataEntryConversion, Refusals)
{
    SampleForm noType = nType();
    noType.conductionType = "";
    SampleForm badField = nType();
    badField.magneticField = "0,5";
    struct Case { std::string text; SampleForm form; SaveCheck::Kind kind; std::string message; int filter; } cases[] = {
        {"100 1e15\n", nType(), SaveCheck::Kind::Refused,
         "The chosen columns give 1 point; at least two are needed. Choose the columns of "
         "temperature and concentration.", 0},
        {"100 1e15\n200 2e15\n", noType, SaveCheck::Kind::Refused, "Please input the conduction type", 0},
        {"100 1e15\n200 2e15\n", badField, SaveCheck::Kind::ConversionError,
         "'0,5' is not a valid floating point value\n(field \"Magnetic Field\")", 0},
        {"x\n100 1e15\n200 2e15\n", nType(), SaveCheck::Kind::Ready, "", 1},
    };
    for (const Case& c : cases) {
        const SaveCheck s = checkConversion(c.text, {0, 1, -1}, c.form);
        EXPECT_EQ(s.kind, c.kind) << c.text;
        EXPECT_EQ(s.message, c.message);
        EXPECT_EQ(s.filterIndex, c.filter);
    }
    EXPECT_EQ(checkConversion("x\n100 1e15\n200 2e15\n", {0, 1, -1}, nType()).leftOutNote,
              "1 line holds no number in the chosen columns (comments, column titles or missing "
              "columns) and was left out.");
    EXPECT_EQ(conversionProposal("/data/run 5/sample.dat", 2), "/data/run 5/sample.pT");
    EXPECT_EQ(conversionProposal("/data/sample", 1), "/data/sample.nT");
}

TEST(DataEntrySheet, SaveChecks)
{
    SampleForm noType = nType();
    noType.conductionType = "N";
    SampleForm badThickness = nType();
    badThickness.thickness = "35O";
    struct Case {
        const char* what;
        Sheet sheet;
        SampleForm form;
        SaveCheck::Kind kind;
        std::string message;
        DoubleArray t, r;
    } cases[] = {
        {"empty first temperature cell: no points", rows({{"", "1e15", "1"}, {"100", "1e15", "1"}}),
         nType(), SaveCheck::Kind::Ready, "", {}, {}},
        {"rows after the first empty temperature ignored, sorted, reliabilities",
         rows({{"200", "2e15", "-0.5"}, {" 100 ", "1e15", "1.5"}, {"", "", ""}, {"50", "x", "1"}}),
         nType(), SaveCheck::Kind::Ready, "", {100, 200}, {1.5, 0}},
        {"temperature not positive (row of the sorted sheet)", rows({{"100", "1e15", "1"}, {"0", "1e15", "1"}}),
         nType(), SaveCheck::Kind::Refused,
         "Temprature is below 0 K \n Check the Data!\n(row 1, column \"Temperature [K]\")", {}, {}},
        {"concentration not positive", rows({{"100", "2e15", "1"}, {"200", "-1e15", "1"}}), nType(),
         SaveCheck::Kind::Refused,
         "Concentration is zero or negative \n Check the Data!\n(row 2, column \"Concentration [cm^-3]\")", {}, {}},
        {"cell not a number", rows({{"100", "1e15", ""}}), nType(), SaveCheck::Kind::ConversionError,
         "'' is not a valid floating point value\n(row 1, column \"Reliability [0<= r <=1]\")", {}, {}},
        {"temperature not a number (unsorted row)", rows({{"100", "1e15", "1"}, {"1OO", "1e15", "1"}}), nType(),
         SaveCheck::Kind::ConversionError,
         "'1OO' is not a valid floating point value\n(row 2, column \"Temperature [K]\")", {}, {}},
        {"field not a number", rows({{"100", "1e15", "1"}}), badThickness, SaveCheck::Kind::ConversionError,
         "'35O' is not a valid floating point value\n(field \"Thickness\")", {}, {}},
        {"no conduction type", rows({{"100", "1e15", "1"}}), noType, SaveCheck::Kind::Refused,
         "Please input the conduction type", {}, {}},
    };
    for (const Case& c : cases) {
        Sheet sorted = {{"untouched", "", ""}};
        const SaveCheck s = checkSheet(c.sheet, c.form, sorted);
        EXPECT_EQ(s.kind, c.kind) << c.what;
        EXPECT_EQ(s.message, c.message) << c.what;
        if (s.ready()) {
            EXPECT_EQ(s.points.temperature, c.t) << c.what;
            EXPECT_EQ(s.points.reliability, c.r) << c.what;
        }
        // The sheet shows the sorted rows whenever the temperatures sort.
        const bool sorts = std::string(c.what).find("unsorted") == std::string::npos;
        EXPECT_EQ(sorted[0][0] == "untouched", !sorts) << c.what;
        if (sorts) {
            EXPECT_EQ(sorted.size(), std::size_t(sheetRows)) << c.what;
        }
    }
}

TEST(DataEntrySheet, SortMovesRowsAsTextUpToTheFirstEmptyTemperature)
{
    Sheet s = rows({{"300", "3", "a"}, {"1.5e2", "2", "b"}, {"150", "5", "c"}, {"", "x", "y"}, {"10", "9", "z"}});
    std::string error;
    ASSERT_TRUE(sortSheet(s, error));
    EXPECT_EQ(s[0], (SheetRow{"1.5e2", "2", "b"}));
    EXPECT_EQ(s[1], (SheetRow{"150", "5", "c"}));
    EXPECT_EQ(s[2], (SheetRow{"300", "3", "a"}));
    EXPECT_EQ(s[4], (SheetRow{"10", "9", "z"}));

    Sheet bad = rows({{"300", "3", "1"}, {"abc", "2", "1"}});
    const Sheet before = bad;
    EXPECT_FALSE(sortSheet(bad, error));
    EXPECT_EQ(error, "'abc' is not a valid floating point value\n(row 2, column \"Temperature [K]\")");
    EXPECT_EQ(bad, before);
}

TEST(DataEntrySheet, SavedAndReloadedBitForBit)
{
    // Values with more digits than the file's usual 6: editing the loaded
    // data (sheet) or converting a measurement file writes them unchanged.
    const DoubleArray t = {0.1 + 0.2, 85.04, 300, 1000.0 / 3};
    const DoubleArray n = {4.13876543210987e16, 1.0 / 3 * 1e15, 9.995e15, 7e16};
    const DoubleArray r = {0.987654321, 0.5, 1, 2.0 / 3};
    testfiles::TempDir dir;
    Analysis a;
    a.temperature = t;
    a.concentration = n;
    a.reliability = r;
    a.dataCount = 4;
    Sheet sorted;
    const SaveCheck c = checkSheet(sheetFromAnalysis(a), nType(), sorted);
    ASSERT_TRUE(c.ready());
    ASSERT_TRUE(saveNewData(a, c, dir.file("sheet.nT"), "").ok);
    Analysis back;
    ASSERT_TRUE(back.loadExperimentalData(dir.file("sheet.nT")).ok);
    EXPECT_EQ(back.temperature, t);
    EXPECT_EQ(back.concentration, n);
    EXPECT_EQ(back.reliability, r);

    const std::string text = "85.123456789, 1.23456789012e15\n30.000000001 7.7777777777e13\n";
    const SaveCheck conv = checkConversion(text, {0, 1, -1}, nType());
    ASSERT_TRUE(conv.ready());
    ASSERT_TRUE(saveNewData(a, conv, dir.file("conv.nT"), "m.txt").ok);
    ASSERT_TRUE(back.loadExperimentalData(dir.file("conv.nT")).ok);
    EXPECT_EQ(back.temperature, (DoubleArray{30.000000001, 85.123456789}));
    EXPECT_EQ(back.concentration, (DoubleArray{7.7777777777e13, 1.23456789012e15}));
    // Values of the usual 6 digits are written as before.
    EXPECT_EQ(numfmt::exact(1.5e16), "1.5e+16");
    EXPECT_EQ(numfmt::exact(4.13876e16), "4.13876e+16");

    // More points than the sheet's 299 rows: none is lost by editing.
    for (int i = 0; i < 400; ++i) {
        a.temperature.push_back(301 + i);
        a.concentration.push_back(1e16);
        a.reliability.push_back(1);
    }
    a.dataCount = static_cast<int>(a.temperature.size());
    const SaveCheck big = checkSheet(sheetFromAnalysis(a), nType(), sorted);
    ASSERT_TRUE(big.ready());
    EXPECT_EQ(big.points.size(), a.temperature.size());
    EXPECT_EQ(big.points.temperature.back(), 700);
}

TEST(DataEntrySheet, ClipboardBlocks)
{
    const auto r = parseClipboardBlock("85\t1.2e14\t0.9\r\n90\t2e14\n95\t3e14\t1\textra\n\t\t\n");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0], (std::vector<std::string>{"85", "1.2e14", "0.9"}));
    EXPECT_EQ(r[1], (std::vector<std::string>{"90", "2e14", "1"}));
    EXPECT_EQ(r[2], (std::vector<std::string>{"95", "3e14", "1"}));
    EXPECT_EQ(r[3], (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(clipboardBlock({{"85", "1e14"}, {"90", ""}}), "85\t1e14\n90\t\n");

    // A text file's columns: commas, semicolons or blanks (runs count once).
    const auto t = parseClipboardBlock("30,1.2e12\n40; 2.5e12;0.5\n  50   3e12 \n\n");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], (std::vector<std::string>{"30", "1.2e12", "1"}));
    EXPECT_EQ(t[1], (std::vector<std::string>{"40", "2.5e12", "0.5"}));
    EXPECT_EQ(t[2], (std::vector<std::string>{"50", "3e12", "1"}));
}

TEST(DataEntrySheet, ProposedNameIsTheSampleNumber)
{
    const struct {
        const char* number;
        const char* beside;
        int filter;
        const char* proposal;
    } cases[] = {
        {"S-9", "", 1, "S-9.nT"},
        {" GaN 12 ", "/data/run/old.nT", 2, "/data/run/GaN 12.pT"},
        {"a/b:c", "", 1, "a_b_c.nT"},
        {"", "/data/x.pT", 2, "/data/sample.pT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sampleProposal(c.number, c.beside, c.filter), c.proposal) << c.number;
}

TEST(DataEntrySave, RoundTripAndNothingLostOnFailure)
{
    testfiles::TempDir dir;
    Analysis a;
    a.startUp(1);
    a.functionType = 1;
    a.originalFileName = "/instrument/run.txt";
    Sheet sorted;
    const SaveCheck c = checkSheet(
        rows({{"150", "3.5e15", "1"}, {"100", "1.25e15", "0.8"}, {"200", "6e15", "1"}}), nType(), sorted);
    ASSERT_TRUE(c.ready());

    // Changing the data of a sample keeps its function type and origin.
    const std::string path = dir.file("typed.nT");
    ASSERT_TRUE(saveNewData(a, c, path, "", Replace::SameSample).ok);
    EXPECT_EQ(a.functionType, 1);
    EXPECT_EQ(a.originalFileName, "/instrument/run.txt");
    EXPECT_EQ(a.experimentalDataFileName, path);

    Analysis back;
    back.startUp(1);
    ASSERT_TRUE(back.loadExperimentalData(path).ok) << back.lastError;
    EXPECT_EQ(back.temperature, (DoubleArray{100, 150, 200}));
    EXPECT_EQ(back.concentration, (DoubleArray{1.25e15, 3.5e15, 6e15}));
    EXPECT_EQ(back.reliability, (DoubleArray{0.8, 1, 1}));
    EXPECT_EQ(back.sampleNumber, "S-7");
    EXPECT_EQ(back.magneticField, 0.5);
    EXPECT_EQ(back.current, 1e-4);

    // A new sample starts from the general reset.
    ASSERT_TRUE(saveNewData(a, c, path, "/x/source.dat").ok);
    EXPECT_EQ(a.functionType, 2);
    EXPECT_EQ(a.originalFileName, "/x/source.dat");
    EXPECT_EQ(a.dataCount, 3);

    // A failed write: the analysis object and the old file stay as they were.
    const std::string before = testfiles::readAll(path);
    Sheet other;
    const SaveCheck d = checkSheet(rows({{"50", "1e14", "1"}}), nType(), other);
    {
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        const FileOutcome out = saveNewData(a, d, path, "");
        EXPECT_FALSE(out.ok);
        EXPECT_NE(out.error.find("typed.nT"), std::string::npos) << out.error;
    }
    EXPECT_EQ(testfiles::readAll(path), before);
    EXPECT_EQ(a.dataCount, 3);
    EXPECT_EQ(a.temperature.front(), 100);
    EXPECT_EQ(saveNewData(a, d, dir.file("missing/x.nT"), "").ok, false);
    EXPECT_EQ(a.experimentalDataFileName, path);
}
