// vorn-batch --dhes on the examples: the peaks found against the truth the
// examples were made from, and how the table and the JSON report them.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "analysis/base/Physics.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class BatchDhes : public ::testing::Test {
protected:
    Analysis saved = C;
    testfiles::TempDir dir;
    void TearDown() override { C = saved; }
};

TEST_F(BatchDhes, PeaksOfTheExamplesAgainstTheirTruth)
{
    struct Peak {
        double N, E;        // truth
        double toleranceN;  // relative; the level within kT at the peak
    };
    struct Case {
        const char* example;
        std::vector<Peak> peaks;
    } cases[] = {
        {"sic4h_n_two_donors.nT", {{3e16, 0.060, 0.05}, {5e16, 0.120, 0.05}}},
        // The deep donor's peak rides on the flank of the second one.
        {"sic4h_n_deep_visible.nT", {{2e16, 0.055, 0.08}, {4e16, 0.110, 0.05}, {1e16, 0.260, 0.35}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.example);
        const fs::path data = dir.path() / c.example;
        fs::copy_file(testfiles::example(c.example), data, fs::copy_options::overwrite_existing);
        BatchOptions o;
        o.dhes = true;
        o.quiet = true;
        std::ostringstream err;
        const BatchResult r = runBatchFile(data.string(), o, err);
        ASSERT_EQ(r.status, 0) << r.failure << err.str();
        // The evaluated peaks, then at most one edge the search ran into
        // (the signals of these samples still rise at their last sample).
        ASSERT_GE(r.dhesPeaks.size(), c.peaks.size());
        ASSERT_LE(r.dhesPeaks.size(), c.peaks.size() + 1);
        for (std::size_t i = 0; i < c.peaks.size(); ++i) {
            const BatchDhesPeak& p = r.dhesPeaks[i];
            EXPECT_NEAR(p.energyLevel, c.peaks[i].E, phys::thermalEnergy(p.temperature)) << "peak " << i + 1;
            EXPECT_NEAR(p.density / c.peaks[i].N, 1, c.peaks[i].toleranceN) << "peak " << i + 1;
            EXPECT_TRUE(p.evaluated && !p.edge) << "peak " << i + 1;
        }
        if (r.dhesPeaks.size() > c.peaks.size()) {
            const BatchDhesPeak& e = r.dhesPeaks.back();
            EXPECT_TRUE(e.edge && !e.evaluated);
            EXPECT_GT(e.temperature, r.dhesPeaks[c.peaks.size() - 1].temperature);
            EXPECT_NE(formatBatchTable(r).find(" EDGE, not evaluated\n"), std::string::npos);
            const nlohmann::json last = nlohmann::json::parse(formatBatchJsonEntry(r))["dhes"].back();
            EXPECT_TRUE(last["edge"] == true && last["evaluated"] == false) << last;
            const auto warned = std::find_if(r.messages.begin(), r.messages.end(), [](const BatchMessage& m) {
                return m.kind == "warning" && m.text.find("last point of the DHES signal") != std::string::npos;
            });
            EXPECT_NE(warned, r.messages.end());
        }
        const std::string file = Analysis::replaceExtension(data.string(), ".DHES");
        EXPECT_NE(std::find(r.files.begin(), r.files.end(), file), r.files.end());
        const std::string table = formatBatchTable(r);
        EXPECT_NE(table.find("  DHES  E_F[eV]"), std::string::npos) << table;
        const nlohmann::json first = nlohmann::json::parse(formatBatchJsonEntry(r))["dhes"][0];
        EXPECT_EQ(first["peak"], 1);
        EXPECT_EQ(first["fermiLevel"], r.dhesPeaks[0].fermiLevel);
        EXPECT_EQ(first["density"], r.dhesPeaks[0].density);
        EXPECT_TRUE(first["edge"] == false && first["evaluated"] == true) << first;
        EXPECT_NE(table.find(" inside\n"), std::string::npos) << table;
    }

    // Without the option nothing of the DHES is run or reported.
    std::vector<std::string> files;
    BatchOptions o;
    bool stop = false;
    std::string error;
    ASSERT_EQ(parseBatchArguments({"--dhes", "x.nT"}, o, files, stop, error), 0);
    EXPECT_TRUE(o.dhes);
    const fs::path data = dir.path() / "sic4h_n_two_donors.nT";
    fs::remove(Analysis::replaceExtension(data.string(), ".DHES"));
    std::ostringstream err;
    const BatchResult r = runBatchFile(data.string(), BatchOptions{}, err);
    EXPECT_TRUE(r.dhesPeaks.empty());
    EXPECT_FALSE(nlohmann::json::parse(formatBatchJsonEntry(r)).contains("dhes"));
    EXPECT_FALSE(fs::exists(Analysis::replaceExtension(data.string(), ".DHES")));
}

} // namespace
