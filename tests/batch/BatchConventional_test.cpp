// vorn-batch's conventional analyses: their options, results and failures.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

TEST(BatchConventionalArguments, RangesAndNetDensity)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        bool oneImpurity;
        BatchOptions::TemperatureRange oneRange;
        double net;
        BatchOptions::TemperatureRange netRange;
    } cases[] = {
        {{"--one-impurity", "a.nT"}, 0, true, {}, 0, {}},
        {{"--one-impurity=45:75", "a.nT"}, 0, true, {true, 45, 75}, 0, {}},
        {{"--donor-acceptor=9.9e15", "a.nT"}, 0, false, {}, 9.9e15, {}},
        {{"--donor-acceptor", "1e16:30:200", "a.nT"}, 0, false, {}, 1e16, {true, 30, 200}},
        {{"--one-impurity=75:45", "a.nT"}, 2, false, {}, 0, {}},
        {{"--one-impurity=45", "a.nT"}, 2, false, {}, 0, {}},
        {{"--donor-acceptor=0", "a.nT"}, 2, false, {}, 0, {}},
        {{"--donor-acceptor=1e16:30", "a.nT"}, 2, false, {}, 0, {}},
        {{"--donor-acceptor=x", "a.nT"}, 2, false, {}, 0, {}},
    };
    for (const Case& c : cases) {
        BatchOptions o;
        std::vector<std::string> files;
        bool stop = false;
        std::string error;
        ASSERT_EQ(parseBatchArguments(c.args, o, files, stop, error), c.status) << testing::PrintToString(c.args);
        if (c.status != 0) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(o.oneImpurity, c.oneImpurity);
        EXPECT_EQ(o.oneImpurityRange.given, c.oneRange.given);
        EXPECT_EQ(o.oneImpurityRange.low, c.oneRange.low);
        EXPECT_EQ(o.oneImpurityRange.high, c.oneRange.high);
        EXPECT_EQ(o.netDensity, c.net);
        EXPECT_EQ(o.donorAcceptorRange.given, c.netRange.given);
        EXPECT_EQ(o.donorAcceptorRange.low, c.netRange.low);
        EXPECT_EQ(o.donorAcceptorRange.high, c.netRange.high);
    }
}

// The runs work on the global analysis object; it is restored even when an
// assertion ends the test early.
class BatchConventionalRun : public ::testing::Test {
protected:
    void SetUp() override { saved = C; }
    void TearDown() override { C = saved; }
    Analysis saved;
};

TEST_F(BatchConventionalRun, ReportsBothAnalysesAndFailsAnEmptyRange)
{
    testfiles::TempDir dir;
    const fs::path data = dir.path() / "si_p_single.nT";
    fs::copy_file(testfiles::examplePath("si_p_single.nT"), data);
    BatchOptions o;
    o.oneImpurity = true;
    o.oneImpurityRange = {true, 45, 75};
    o.netDensity = 9.9e15; // the truth: N_D 1e16, N_A 1e14
    std::ostringstream err;
    BatchResult r = runBatchFile(data.string(), o, err);
    ASSERT_EQ(r.status, 0) << r.failure << err.str();
    ASSERT_EQ(r.conventional.size(), 2u);
    const BatchConventional& one = r.conventional[0];
    EXPECT_TRUE(one.done);
    EXPECT_EQ(one.lowestTemperature, 45);
    EXPECT_EQ(one.highestTemperature, 75);
    EXPECT_TRUE(fs::exists(dir.file("si_p_single.CNO")));
    const BatchConventional& two = r.conventional[1];
    EXPECT_NEAR(two.compensatingDensity / 1e14, 1, 0.03);
    EXPECT_NEAR(two.energyLevel / 0.045, 1, 0.01);
    EXPECT_EQ(two.file, dir.file("si_p_single.CNC"));
    const std::string table = formatBatchTable(r);
    EXPECT_NE(table.find("  one impurity: 45 - 75 K, level "), std::string::npos) << table;
    EXPECT_NE(table.find("compensating density 9.90E+13 cm^-3"), std::string::npos) << table;
    const nlohmann::json json = nlohmann::json::parse(formatBatchJsonEntry(r))["conventional"];
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["analysis"], "one impurity");
    EXPECT_EQ(json[0]["done"], true);
    EXPECT_EQ(json[0]["lowestTemperature"], 45);
    EXPECT_EQ(json[1]["compensatingDensity"], two.compensatingDensity);
    EXPECT_EQ(json[1]["file"], two.file);

    // No two points in the range: the analysis fails the file, the rest runs.
    o.oneImpurityRange = {true, 46, 49};
    o.netDensity = 0;
    r = runBatchFile(data.string(), o, err);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.failure, "the one impurity analysis failed");
    ASSERT_EQ(r.conventional.size(), 1u);
    EXPECT_EQ(r.conventional[0].error, "fewer than two points lie between 46 K and 49 K");
    EXPECT_TRUE(r.simulated);
}
