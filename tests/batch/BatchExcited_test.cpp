// vorn-batch --excited: its options, and what it reports and writes.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

// The options of the excited-states evaluation; the development ones only in
// a build with the development setting.
TEST(BatchExcitedOptions, Parsing)
{
    struct Case {
        std::vector<std::string> args;
        int releaseFlag;
        int status;
        BatchOptions::Excited excited;
        double dielectric;
        int highestLevel;
        double shift;
    } cases[] = {
        {{"--excited", "a.pT"}, 1, 0, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--excited=always", "--dielectric-constant", "10", "a.pT"}, 1, 0, BatchOptions::Excited::Always, 10, 0, 0},
        {{"--dielectric-constant=10", "a.pT"}, 1, 2, BatchOptions::Excited::Off, 10, 0, 0},
        {{"--excited", "--dielectric-constant", "-1", "a.pT"}, 1, 2, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--excited", "--highest-level", "7", "a.pT"}, 1, 2, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--excited", "--level-shift", "2", "a.pT"}, 1, 2, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--excited", "--highest-level", "7", "--level-shift=-1.5", "a.pT"}, 0, 0,
         BatchOptions::Excited::OnCaution, 0, 7, -1.5},
        {{"--excited", "--highest-level", "0", "a.pT"}, 0, 2, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--excited", "--highest-level", "101", "a.pT"}, 0, 2, BatchOptions::Excited::OnCaution, 0, 0, 0},
        {{"--highest-level", "3", "a.pT"}, 0, 2, BatchOptions::Excited::Off, 0, 3, 0},
    };
    for (const Case& c : cases) {
        BatchOptions o;
        o.releaseFlag = c.releaseFlag;
        std::vector<std::string> files;
        bool stop = false;
        std::string error;
        const int status = parseBatchArguments(c.args, o, files, stop, error);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(status, c.status) << error;
        if (status != 0) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(o.excited, c.excited);
        EXPECT_EQ(o.dielectricConstant, c.dielectric);
        EXPECT_EQ(o.highestLevel, c.highestLevel);
        EXPECT_EQ(o.levelShift, c.shift);
    }
}

// The runs work on the global analysis object; it is restored even when an
// assertion ends the test early.
class BatchExcitedRun : public ::testing::Test {
protected:
    void SetUp() override { saved = C; }
    void TearDown() override { C = saved; }
    Analysis saved;
};

// The example made with excited states: the automatic E_ref of Normal mode
// raises no caution, so --excited leaves it alone and --excited=always
// evaluates it, reported beside the Fermi-Dirac result.
TEST_F(BatchExcitedRun, ReportsAndWritesTheExcitedStatesResult)
{
    testfiles::TempDir dir;
    const fs::path data = dir.path() / "x.pT";
    fs::copy_file(testfiles::example("sic4h_p_al_excited_visible.pT"), data);
    BatchOptions o;
    o.excited = BatchOptions::Excited::OnCaution;
    o.quiet = true;
    std::ostringstream err;
    const BatchResult onCaution = runBatchFile(data.string(), o, err);
    EXPECT_EQ(onCaution.status, 0) << onCaution.failure << err.str();
    EXPECT_FALSE(onCaution.excited.run);
    EXPECT_FALSE(fs::exists(dir.path() / "x.simN"));
    o.excited = BatchOptions::Excited::Always;
    const BatchResult r = runBatchFile(data.string(), o, err);
    EXPECT_EQ(r.status, 0) << r.failure << err.str();
    ASSERT_TRUE(r.excited.run);
    EXPECT_FALSE(r.excited.caution);
    EXPECT_TRUE(r.excited.evaluated);
    EXPECT_EQ(r.excited.levelCount, 8);
    EXPECT_NEAR(r.excited.energyLevel, 0.19, 0.01);
    EXPECT_TRUE(fs::exists(dir.path() / "x.simN"));
    EXPECT_TRUE(fs::exists(dir.path() / "x.exc"));
    const std::string table = formatBatchTable(r);
    EXPECT_NE(table.find("excited states (no caution, run always, dielectric constant 9.66): R 8, N "), std::string::npos)
        << table;
    EXPECT_NE(table.find("    Fermi-Dirac: N "), std::string::npos) << table;
    const nlohmann::json json = nlohmann::json::parse(formatBatchJsonEntry(r))["excitedStates"];
    EXPECT_EQ(json["caution"], false);
    EXPECT_EQ(json["evaluated"], true);
    EXPECT_EQ(json["dielectricConstant"], 9.66);
    EXPECT_EQ(json["levelCount"], 8);
    EXPECT_EQ(json["energyLevel"], r.excited.energyLevel);
    EXPECT_EQ(json["fermiDirac"]["energyLevel"], r.excited.fermiDiracEnergyLevel);
    EXPECT_TRUE(nlohmann::json::parse(formatBatchJsonEntry(BatchResult{}))["excitedStates"].is_null());
}
