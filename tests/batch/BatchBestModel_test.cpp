// vorn-batch --best-model: the chosen model of a two-donor example in the
// result, the table, the JSON and the *.mdl file, and the option's parsing.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
class BatchBestModelRun : public ::testing::Test {
protected:
    Analysis saved = C;
    testfiles::TempDir dir;
    void TearDown() override { C = saved; }
};
} // namespace

TEST_F(BatchBestModelRun, TwoDonorsInResultTableJsonAndFile)
{
    const fs::path data = dir.path() / "sic4h_n_two_donors.nT";
    fs::copy_file(testfiles::example("sic4h_n_two_donors.nT"), data);
    std::vector<std::string> files;
    BatchOptions o;
    bool stop = false;
    std::string error;
    ASSERT_EQ(parseBatchArguments({"--best-model", "--quiet", data.string()}, o, files, stop, error), 0) << error;
    ASSERT_TRUE(o.bestModel);
    std::ostringstream err;
    const BatchResult r = runBatchFile(data.string(), o, err);
    ASSERT_EQ(r.status, 0) << r.failure << err.str();
    const ::BatchBestModel& b = r.bestModel;
    ASSERT_TRUE(b.done);
    ASSERT_EQ(b.species.size(), 2u);
    EXPECT_EQ(b.distribution, "fermi-dirac");
    EXPECT_EQ(b.criterionName, "BIC");
    // Truth: 3e16 at 60 meV, 5e16 at 120 meV, N_comp 2e14 (the data rounded to six digits).
    const double truth[2][2] = {{0.060, 3e16}, {0.120, 5e16}};
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(b.species[k].energy, truth[k][0], 1e-4);
        EXPECT_NEAR(b.species[k].density / truth[k][1], 1, 1e-3);
        EXPECT_TRUE(b.species[k].determined);
    }
    EXPECT_NEAR(b.compensatingDensity / 2e14, 1, 1e-2);
    int chosen = 0;
    for (const BatchBestModelAlternative& a : b.alternatives)
        chosen += a.chosen && a.speciesCount == 2;
    EXPECT_EQ(chosen, 1);

    const std::string mdl = Analysis::replaceExtension(data.string(), ".mdl");
    ASSERT_NE(std::find(r.files.begin(), r.files.end(), mdl), r.files.end());
    std::ifstream in(mdl, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    EXPECT_EQ(file.rfind("% Model of the measured concentration chosen by the data (best model)\r\n", 0), 0u);
    EXPECT_NE(file.find("% Chosen model: 2 species, fermi-dirac\r\n"), std::string::npos);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), std::count(file.begin(), file.end(), '\r'));

    const std::string table = formatBatchTable(r);
    EXPECT_NE(table.find("  best model: 2 species, fermi-dirac, BIC "), std::string::npos) << table;
    const nlohmann::json best = nlohmann::json::parse(formatBatchJsonEntry(r))["bestModel"];
    EXPECT_EQ(best["distribution"], "fermi-dirac");
    EXPECT_FALSE(best.contains("levelCount"));
    EXPECT_EQ(best["criterion"], r.bestModel.criterion);
    ASSERT_EQ(best["species"].size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const BatchBestModelSpecies& s = r.bestModel.species[k];
        EXPECT_EQ(best["species"][k]["energyLevel"], s.energy);
        EXPECT_EQ(best["species"][k]["energyLevelError"], s.energyError);
        EXPECT_EQ(best["species"][k]["determined"], true);
    }
    EXPECT_EQ(best["compensatingDensityError"], r.bestModel.compensatingError);
    EXPECT_EQ(best["alternatives"].size(), r.bestModel.alternatives.size());
}
