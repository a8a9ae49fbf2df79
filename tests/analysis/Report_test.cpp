// The report page: numbers as the result files write them whatever the
// locale, and a chart for each thing the analysis object holds.
#include "analysis/workflow/Report.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <regex>

TEST(Report, NumbersAndErrors)
{
    const char* locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const struct {
        double value, error;
        std::string text;
    } cases[] = {
        {1.23456e16, -1, "1.235E16"}, {0.11849, -1, "0.1185"}, {-2.5e-5, -1, "-2.5E-5"},
        {5.532e16, 1.25e15, "5.532E16 \xC2\xB1 1.2E15"}, {0.1185, 0.0021, "0.1185 \xC2\xB1 0.0021"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(report::withError(c.value, c.error), c.text);
    if (locale)
        std::setlocale(LC_NUMERIC, "C");
}

TEST(Report, ChartsFollowTheAnalysis)
{
    Analysis a;
    a.startUp(1);
    ASSERT_TRUE(a.loadExperimentalData(testfiles::example("si_p_single.nT")).ok);
    a.experimentalDataFileName = "/data/<odd> & \"name\".nT";
    auto charts = [](const std::string& page) {
        const std::regex chart("<svg class=\"chart\"");
        return std::distance(std::sregex_iterator(page.begin(), page.end(), chart), std::sregex_iterator());
    };
    std::string page = report::html(a, {});
    EXPECT_EQ(charts(page), 2); // the points against T and 1000/T
    EXPECT_NE(page.find("&lt;odd&gt; &amp; &quot;name&quot;.nT"), std::string::npos);
    EXPECT_EQ(page.find("<odd>"), std::string::npos);

    ASSERT_TRUE(a.calculateDataForAnalysis(5000).computed);
    report::Content content;
    content.modelSelection = report::Table{"", {"Model"}, {{"two donors"}}, ""};
    content.warnings = {"a warning"};
    page = report::html(a, content);
    EXPECT_EQ(charts(page), 3); // and the residuals of the spline
    EXPECT_NE(page.find("<h2>Model selection</h2>"), std::string::npos);
    EXPECT_NE(page.find("a warning"), std::string::npos);
    // Every line ends in CR LF, as the result files do.
    EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), std::count(page.begin(), page.end(), '\r'));
}
