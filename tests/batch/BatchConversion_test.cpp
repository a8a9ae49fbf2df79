// vorn-batch on a measurement system's own text file: converted as the
// converter's "Save" does, written beside the results and analysed as the
// equivalent data file is.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "analysis/base/NumberFormat.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class BatchConvertRun : public ::testing::Test {
protected:
    Analysis saved = C;
    testfiles::TempDir dir;
    void TearDown() override { C = saved; }

    // The example's points as an instrument writes them: a title, comments,
    // a column header, a Hall-voltage column between temperature and
    // concentration, the reliability last, commas and tabs mixed.
    std::string instrumentFile(const std::string& example, int& points)
    {
        Analysis a;
        a.startUp(1);
        EXPECT_TRUE(a.loadExperimentalData(testfiles::example(example)).ok) << a.lastError;
        points = a.dataCount;
        std::string text = "Hall measurement system 3000, run 17\r\n# operator: X\r\n\r\n"
                           "T(K)\tV_H(mV)\tn(cm-3)\tr\r\n";
        for (int i = a.dataCount - 1; i >= 0; --i)
            text += numfmt::g(a.temperature[i]) + ",\t" + numfmt::g(1e17 / a.concentration[i]) + "\t" +
                    numfmt::g(a.concentration[i]) + ", " + numfmt::g(a.reliability[i]) +
                    (i == 5 ? "\r\n# lamp off\r\n" : "\r\n");
        return text;
    }
};

} // namespace

TEST_F(BatchConvertRun, ConvertedFileGivesTheResultsOfTheDataFile)
{
    int points = 0;
    const std::string source = dir.file("run17.txt");
    testfiles::writeAll(source, instrumentFile("si_p_single.nT", points));
    ASSERT_GT(points, 10);

    BatchOptions o;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    ASSERT_EQ(parseBatchArguments({"--columns", "1,3,4", "--type", "n", "--material", "Si", "--sample",
                                   "SYN-si_p_single", "--thickness", "500", "--field", "0.5",
                                   "--current", "1E-4", source},
                                  o, files, stop, error),
              0)
        << error;
    std::ostringstream err;
    const BatchResult converted = runBatchFile(source, o, err);
    ASSERT_EQ(converted.status, 0) << converted.failure << "\n" << err.str();
    EXPECT_NE(err.str().find("run17.txt: warning: 4 lines hold no number in the chosen columns"),
              std::string::npos)
        << err.str();
    ASSERT_FALSE(converted.files.empty());
    EXPECT_EQ(converted.files.front(), dir.file("run17.nT"));
    EXPECT_EQ(converted.dataCount, points);

    // The data file beside the results: the points in ascending order as the
    // example holds them, the source named in its header.
    const auto written = testfiles::crlfLines(testfiles::readAll(dir.file("run17.nT")));
    const auto example = testfiles::crlfLines(testfiles::readAll(testfiles::example("si_p_single.nT")));
    ASSERT_EQ(written.size(), example.size());
    EXPECT_EQ(written[2], "% Original file: " + source);
    EXPECT_EQ(written[9], "% Semiconductor: Si");
    // Every line from the conduction type on but the current (written in the
    // general format) and the comment.
    for (std::size_t i = 10; i < example.size(); ++i) {
        if (i == 13 || i == 15)
            continue;
        EXPECT_EQ(written[i], example[i]) << "line " << i + 1;
    }

    const fs::path copy = dir.path() / "direct" / "si_p_single.nT";
    fs::create_directories(copy.parent_path());
    fs::copy_file(testfiles::example("si_p_single.nT"), copy);
    std::ostringstream err2;
    const BatchResult direct = runBatchFile(copy.string(), BatchOptions{}, err2);
    ASSERT_EQ(direct.stages.size(), converted.stages.size());
    for (std::size_t k = 0; k < direct.stages.size(); ++k) {
        EXPECT_EQ(converted.stages[k].density, direct.stages[k].density);
        EXPECT_EQ(converted.stages[k].energyLevel, direct.stages[k].energyLevel);
        EXPECT_EQ(converted.stages[k].compensatingDensity, direct.stages[k].compensatingDensity);
    }
    EXPECT_EQ(converted.largestDeviation, direct.largestDeviation);
}

// The Hall coefficient of each point instead of n: the type from its sign,
// and a warning where one point has the other sign.
TEST_F(BatchConvertRun, HallCoefficientGivesTypeAndWarnsOfASignChange)
{
    Analysis a;
    a.startUp(1);
    ASSERT_TRUE(a.loadExperimentalData(testfiles::example("si_p_single.nT")).ok);
    std::string text;
    for (int i = 0; i < a.dataCount; ++i)
        text += numfmt::g(a.temperature[i]) + " " + numfmt::g((i == 3 ? 1 : -1) / (1.602176634e-19 * a.concentration[i])) +
                "\n";
    const std::string source = dir.file("rh.txt");
    testfiles::writeAll(source, text);
    BatchOptions o;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    ASSERT_EQ(parseBatchArguments({"--columns", "1,2", "--quantity", "hall-coefficient", "--material", "Si", source},
                                  o, files, stop, error),
              0)
        << error;
    std::ostringstream err;
    const BatchResult r = runBatchFile(source, o, err);
    EXPECT_EQ(r.status, 0) << r.failure << "\n" << err.str();
    EXPECT_EQ(r.conductionType, "n-type");
    EXPECT_NE(err.str().find("warning: The Hall coefficient changes its sign between"), std::string::npos) << err.str();
    EXPECT_NE(testfiles::readAll(dir.file("rh.spl")).find("Hall factor r_H = 1"), std::string::npos);
}

TEST_F(BatchConvertRun, RefusalsAndOptions)
{
    struct Case { std::string text; std::string name; std::vector<std::string> args; std::string message; } cases[] = {
        {"# nothing\n100\n", "one.txt", {"--columns", "1,2", "--type", "p"},
         "at least two are needed"},
        {"100 1e15\n200 2e15\n", "same.nT", {"--columns", "1,2", "--type", "n"},
         "would replace the input " + dir.file("same.nT") + " of this run; it is not overwritten"},
    };
    for (const Case& c : cases) {
        const std::string source = dir.file(c.name);
        testfiles::writeAll(source, c.text);
        BatchOptions o;
        std::vector<std::string> files;
        bool stop = false;
        std::string error;
        std::vector<std::string> args = c.args;
        args.push_back(source);
        ASSERT_EQ(parseBatchArguments(args, o, files, stop, error), 0) << error;
        std::ostringstream err;
        const BatchResult r = runBatchFile(source, o, err);
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_EQ(testfiles::readAll(source), c.text) << c.name;
    }

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--columns", "1", "--type", "n", "a.txt"},
          {"--columns", "0,2", "--type", "n", "a.txt"}, {"--columns", "1,2,3,4", "--type", "n", "a.txt"},
          {"--columns", "1,x", "--type", "n", "a.txt"}, {"--columns", "1,2", "a.txt"},
          {"--columns", "1,2", "--type", "i", "a.txt"}, {"--type", "n", "a.nT"},
          {"--sample", "S", "a.nT"}, {"--columns", "1,2", "--type", "n", "--thickness", "x", "a.txt"}}) {
        BatchOptions o;
        std::vector<std::string> files;
        bool stop = false;
        std::string error;
        EXPECT_EQ(parseBatchArguments(bad, o, files, stop, error), 2) << testing::PrintToString(bad);
        EXPECT_FALSE(error.empty());
    }
}
