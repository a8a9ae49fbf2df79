#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

constexpr double kOverQ = 1.38054e-23 / 1.6021e-19; // V/K

// A small sample with a five-point grid 100.0 .. 100.4 K and three points.
Analysis sample(const testfiles::TempDir& dir)
{
    Analysis a;
    a.resetAll();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.experimentalDataFileName = dir.file("s.nT");
    a.splineFileName = dir.file("s.spl");
    a.fermiLevelFileName = dir.file("s.fl");
    a.experimentalFermiLevelFileName = dir.file("s.flE");
    a.measurementName = "Hall run 7";
    a.measurementDate = "2017/8/1";
    a.analysisName = "H. M.";
    a.analysisDate = "2017/8/2";
    a.sampleNumber = "S-12";
    a.semiconductor = "4H-SiC";
    a.conductionType = "n-type";
    a.sampleThickness = 350;
    a.magneticField = 0.5;
    a.current = 1e-6;
    a.comment = "N-doped epilayer";
    a.dataCount = 3;
    a.temperature = {100, 200, 300};
    a.concentration = {1e16, 2e17, 5e17};
    a.reliability = {1, 0.95, 0.96};
    a.firstDataIndex = 0;
    a.lastDataIndex = 2;
    a.smoothness = 5000;
    a.splineCount = 5;
    a.splineTemperature = {100, 100.1, 100.2, 100.3, 100.4};
    a.splineConcentration = {1e16, 1.1e16, 1.2e16, 1.3e16, 1.4e16};
    a.dos0 = 4.8e15;
    a.effectiveMass = 0.37;
    a.equivalentMinima = 3;
    a.fermiLevelComment = "from the table";
    return a;
}

std::vector<std::string> fileLines(const std::string& path)
{
    bool bareLf = true;
    auto lines = testfiles::crlfLines(testfiles::readAll(path), &bareLf);
    EXPECT_FALSE(bareLf) << path;
    return lines;
}

// The 26 header lines that both Fermi files share, with `ownName` on line 6.
std::vector<std::string> expectedHeader(const testfiles::TempDir& dir, const std::string& ownName)
{
    return {"% Temperature dependence of Fermi level",
            "% Version Information: Version 1.7.1 (2017/8/23)",
            "% Original file: ",
            "% Experimental data file: " + dir.file("s.nT"),
            "% File of data for analysis: " + dir.file("s.spl"),
            "% Fermi level file: " + ownName,
            "% Name of measurement: Hall run 7",
            "% Date of measurement: 2017/8/1",
            "% Name of analysis: H. M.",
            "% Date of Analysis: 2017/8/2",
            "% Sample number: S-12",
            "% Semiconductor: 4H-SiC",
            "% Conduction type: n-type",
            "% Sample thickness [micron]: 350",
            "% Magnetic Field [T]: 0.5",
            "% Current [A]: 1E-6",
            "% Number of data: 3",
            "% N-doped epilayer",
            "% Index of beginning data: 0",
            "% Index of ending data: 2",
            "% Number of data for analysis: 5",
            "% Smoothness: 5000",
            "% Effective mass: 0.37",
            "% Equivalent minima: 3",
            "% Effective density of states/T^(3/2): 4.8E15",
            "% from the table"};
}

// A valid *.fl text for the sample's grid with the given line end.
std::string flText(const testfiles::TempDir& dir, const std::string& eol)
{
    std::string text;
    for (const std::string& line : expectedHeader(dir, dir.file("s.fl")))
        text += line + eol;
    text += "% Temperature [K]   Fermi Level [eV] " + eol;
    const char* rows[] = {"100     0.01", "100.1     0.02", "100.2     0.03", "100.3     0.04",
                          "100.4     0.05"};
    for (const char* r : rows)
        text += std::string(r) + eol;
    return text;
}

// Checks that a failed read changed nothing but the Fermi arrays.
void expectReadRefused(Analysis& a, const std::string& mustMention)
{
    a.fermiLevel = {9, 9, 9, 9, 9};
    a.experimentalFermiLevel = {9, 9, 9};
    a.semiconductor = "kept";
    a.dos0 = 1.5e15;
    a.effectiveMass = 0.5;
    a.fermiLevelComment = "kept comment";
    EXPECT_FALSE(a.readFermiLevelFile());
    EXPECT_NE(a.lastError.find(mustMention), std::string::npos) << a.lastError;
    EXPECT_NE(a.lastError.find(a.fermiLevelFileName), std::string::npos) << a.lastError;
    EXPECT_TRUE(a.fermiLevel.empty());
    EXPECT_TRUE(a.experimentalFermiLevel.empty());
    EXPECT_EQ(a.semiconductor, "kept");
    EXPECT_EQ(a.dos0, 1.5e15);
    EXPECT_EQ(a.effectiveMass, 0.5);
    EXPECT_EQ(a.fermiLevelComment, "kept comment");
    EXPECT_EQ(a.splineCount, 5);
}

} // namespace

TEST(FermiLevel, GridValuesFollowTheLogarithmOfTheDensityRatio)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    // Point 1 carries n = N(T) exactly, point 2 ten times less.
    const double n1 = 4.8e15 * std::pow(100.1, 1.5);
    a.splineConcentration[1] = n1;
    a.splineConcentration[2] = n1 / 10;
    ASSERT_TRUE(a.computeFermiLevel()) << a.lastError;
    ASSERT_EQ(a.fermiLevel.size(), 5u);
    // ln(4.8e15 * 1000 / 1e16) * 100 k/q = ln(480) * 8.61713e-3 eV
    EXPECT_NEAR(a.fermiLevel[0], 0.0531999168, 1e-9);
    EXPECT_NEAR(a.fermiLevel[1], 0.0, 1e-15);
    EXPECT_NEAR(a.fermiLevel[2], 100.2 * kOverQ * std::log(10 * std::pow(100.2 / 100.1, 1.5)), 1e-12);
    // Higher concentration: the Fermi level comes closer to the band edge.
    EXPECT_LT(a.fermiLevel[4], a.fermiLevel[3]);
}

TEST(FermiLevel, ExperimentalPointsAndTheirChartSelection)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    a.dos0 = 5.25e15;
    ASSERT_TRUE(a.computeExperimentalFermiLevel()) << a.lastError;
    ASSERT_EQ(a.experimentalFermiLevel.size(), 3u);
    // ln(5.25e15 * 200^1.5 / 2e17) * 200 k/q and the same at 300 K, 5e17
    EXPECT_NEAR(a.experimentalFermiLevel[1], 0.0742340643, 1e-9);
    EXPECT_NEAR(a.experimentalFermiLevel[2], 0.1033865223, 1e-9);
    // Reliability 0.95 is not above the threshold; 0.96 is.
    auto points = a.experimentalFermiLevelPoints();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].first, 100);
    EXPECT_EQ(points[1].first, 300);
    EXPECT_EQ(points[1].second, a.experimentalFermiLevel[2]);
}

TEST(FermiLevel, RefusesNonPositiveInputsInsteadOfTakingTheirLogarithm)
{
    testfiles::TempDir dir;
    for (double badDos : {0.0, -4.8e15, std::nan("")}) {
        Analysis a = sample(dir);
        a.dos0 = badDos;
        a.fermiLevel = {1, 2, 3, 4, 5};
        EXPECT_FALSE(a.computeFermiLevel());
        EXPECT_NE(a.lastError.find("effective density of states"), std::string::npos);
        EXPECT_TRUE(a.fermiLevel.empty());
        EXPECT_FALSE(a.computeExperimentalFermiLevel());
        EXPECT_TRUE(a.experimentalFermiLevel.empty());
    }
    Analysis a = sample(dir);
    a.splineConcentration[3] = 0;
    EXPECT_FALSE(a.computeFermiLevel());
    EXPECT_NE(a.lastError.find("grid point 4"), std::string::npos) << a.lastError;
    EXPECT_NE(a.lastError.find("not positive"), std::string::npos) << a.lastError;
    EXPECT_TRUE(a.fermiLevel.empty());

    a = sample(dir);
    a.concentration[1] = -2e17;
    EXPECT_FALSE(a.computeExperimentalFermiLevel());
    EXPECT_NE(a.lastError.find("experimental point 2"), std::string::npos) << a.lastError;

    a = sample(dir);
    a.temperature[0] = 0;
    EXPECT_FALSE(a.computeExperimentalFermiLevel());
    EXPECT_NE(a.lastError.find("temperature"), std::string::npos) << a.lastError;

    // Counts that promise more points than the arrays hold.
    a = sample(dir);
    a.splineCount = 6;
    EXPECT_FALSE(a.computeFermiLevel());
    a = sample(dir);
    a.dataCount = 4;
    EXPECT_FALSE(a.computeExperimentalFermiLevel());
}

TEST(FermiLevelFile, HeaderColumnLineAndRowsLineByLine)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    ASSERT_TRUE(a.computeFermiLevel());
    a.fermiLevel = {0.0532, 0.05, 1.5e-5, -0.001, 0.123456789};
    ASSERT_TRUE(a.writeFermiLevelFile()) << a.lastError;
    auto lines = fileLines(a.fermiLevelFileName);
    auto expected = expectedHeader(dir, dir.file("s.fl"));
    expected.push_back("% Temperature [K]   Fermi Level [eV] ");
    expected.push_back("100     0.0532");
    expected.push_back("100.1     0.05");
    expected.push_back("100.2     1.5e-05");
    expected.push_back("100.3     -0.001");
    expected.push_back("100.4     0.123457");
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(FermiLevelFile, ExperimentalFileNamesItselfAndListsEveryPoint)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    a.experimentalFermiLevel = {0.05, 0.1, 0.15};
    ASSERT_TRUE(a.writeExperimentalFermiLevelFile()) << a.lastError;
    auto lines = fileLines(a.experimentalFermiLevelFileName);
    auto expected = expectedHeader(dir, dir.file("s.flE"));
    expected.push_back("% Temperature [K]   Concentration [cm-3]      Experimental Fermi Level [eV]  reliability");
    expected.push_back("100      1e+16     0.05     1");
    expected.push_back("200      2e+17     0.1     0.95");
    expected.push_back("300      5e+17     0.15     0.96");
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(FermiLevelFile, WritersRefuseMissingResultsAndKeepTheOldFile)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    testfiles::writeAll(a.fermiLevelFileName, "old");
    testfiles::writeAll(a.experimentalFermiLevelFileName, "old E");
    EXPECT_FALSE(a.writeFermiLevelFile()); // not calculated yet
    EXPECT_NE(a.lastError.find(a.fermiLevelFileName), std::string::npos);
    EXPECT_FALSE(a.writeExperimentalFermiLevelFile());
    EXPECT_NE(a.lastError.find(a.experimentalFermiLevelFileName), std::string::npos);
    EXPECT_EQ(testfiles::readAll(a.fermiLevelFileName), "old");
    EXPECT_EQ(testfiles::readAll(a.experimentalFermiLevelFileName), "old E");

    ASSERT_TRUE(a.computeFermiLevel());
    ASSERT_TRUE(a.computeExperimentalFermiLevel());
    a.fermiLevelFileName = dir.file("missing/s.fl");
    a.experimentalFermiLevelFileName = dir.file("missing/s.flE");
    EXPECT_FALSE(a.writeFermiLevelFile());
    EXPECT_NE(a.lastError.find(a.fermiLevelFileName), std::string::npos);
    EXPECT_FALSE(a.writeExperimentalFermiLevelFile());
    EXPECT_NE(a.lastError.find(a.experimentalFermiLevelFileName), std::string::npos);
}

TEST(FermiLevelFile, RoundTripRestoresHeaderValuesAndLevels)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    ASSERT_TRUE(a.computeFermiLevel());
    const DoubleArray computed = a.fermiLevel;
    ASSERT_TRUE(a.writeFermiLevelFile());

    Analysis b = sample(dir);
    // What the load handler leaves before reading: defaults and a table lookup
    // that disagrees with the file.
    b.resetFermiLevel();
    b.lookupMaterial();
    b.measurementName = b.sampleNumber = b.semiconductor = b.comment = "";
    b.sampleThickness = b.magneticField = b.current = 0;
    b.dataCount = 0;
    b.smoothness = 1;
    b.fermiLevelComment = "";
    ASSERT_TRUE(b.readFermiLevelFile()) << b.lastError;
    EXPECT_EQ(b.measurementName, "Hall run 7");
    EXPECT_EQ(b.analysisDate, "2017/8/2");
    EXPECT_EQ(b.sampleNumber, "S-12");
    EXPECT_EQ(b.semiconductor, "4H-SiC");
    EXPECT_EQ(b.conductionType, "n-type");
    EXPECT_EQ(b.sampleThickness, 350);
    EXPECT_EQ(b.magneticField, 0.5);
    EXPECT_EQ(b.current, 1e-6);
    EXPECT_EQ(b.dataCount, 3);
    EXPECT_EQ(b.comment, "N-doped epilayer");
    EXPECT_EQ(b.lastDataIndex, 2);
    EXPECT_EQ(b.splineCount, 5);
    EXPECT_EQ(b.smoothness, 5000);
    // The file wins over the table (4H-SiC n-type would give 3.26e15).
    EXPECT_EQ(b.dos0, 4.8e15);
    EXPECT_EQ(b.effectiveMass, 0.37);
    EXPECT_EQ(b.equivalentMinima, 3);
    EXPECT_EQ(b.fermiLevelComment, "from the table");
    ASSERT_EQ(b.fermiLevel.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_NEAR(b.fermiLevel[k], computed[k], std::fabs(computed[k]) * 1e-5) << k;
    // The grid itself is not taken from the file.
    EXPECT_EQ(b.splineTemperature[1], 100.1);
    EXPECT_EQ(b.splineConcentration[1], 1.1e16);
}

TEST(FermiLevelFile, ReaderAcceptsLfOnlyAndEmptyStrings)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);
    std::string text = flText(dir, "\n");
    // An empty comment leaves the label with its blank alone, or even without it.
    text.replace(text.find("% from the table"), 16, "%");
    testfiles::writeAll(a.fermiLevelFileName, text);
    ASSERT_TRUE(a.readFermiLevelFile()) << a.lastError;
    EXPECT_EQ(a.fermiLevelComment, "");
    EXPECT_EQ(a.fermiLevel, (DoubleArray{0.01, 0.02, 0.03, 0.04, 0.05}));

    // All pairs on one line are as good as one pair per line.
    std::string oneLine = flText(dir, "\r\n");
    std::size_t start = oneLine.find("100     0.01");
    oneLine = oneLine.substr(0, start) + "100 0.01 100.1\t0.02 100.2 0.03 100.3 0.04 100.4 0.05";
    testfiles::writeAll(a.fermiLevelFileName, oneLine);
    ASSERT_TRUE(a.readFermiLevelFile()) << a.lastError;
    EXPECT_EQ(a.fermiLevel.back(), 0.05);
}

TEST(FermiLevelFile, ReaderRefusesBadFilesAndChangesNothing)
{
    testfiles::TempDir dir;
    Analysis a = sample(dir);

    SCOPED_TRACE("missing file");
    a.fermiLevelFileName = dir.file("nothing.fl");
    expectReadRefused(a, "Cannot open");

    a.fermiLevelFileName = dir.file("s.fl");
    const std::string good = flText(dir, "\r\n");
    // The good file cut before `at` (replacement nullptr; `last`: its last
    // occurrence) or with `at` replaced.
    struct Case {
        const char* what;
        const char* at;
        const char* replacement;
        const char* said;
        bool last = false;
    } cases[] = {
        {"truncated rows", "100.3     0.04", nullptr, "3 complete data rows"},
        {"last pair cut in half", "     0.05", nullptr, "4 complete data rows", true},
        {"truncated header", "% Effective mass", nullptr, "header is incomplete"},
        {"non-number among the levels", "0.03", "0.o3", "line 30"},
        {"non-number in the header", "T^(3/2): 4.8E15", "T^(3/2): 4.8x15", "line 25"},
        {"non-positive density of states", "T^(3/2): 4.8E15", "T^(3/2): -4.8E15", "must be positive"},
        {"grid of another size", "analysis: 5", "analysis: 4", "4 grid points"},
        {"grid of the same size at other temperatures", "100.2     0.03", "120.2     0.03",
         "does not match the grid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t at = c.last ? good.rfind(c.at) : good.find(c.at);
        ASSERT_NE(at, std::string::npos);
        std::string t = good.substr(0, at);
        if (c.replacement)
            t += c.replacement + good.substr(at + std::strlen(c.at));
        testfiles::writeAll(a.fermiLevelFileName, t);
        expectReadRefused(a, c.said);
    }
    {
        SCOPED_TRACE("no grid in memory");
        Analysis empty = sample(dir);
        empty.resetSpline();
        empty.splineTemperature.clear();
        testfiles::writeAll(empty.fermiLevelFileName, good);
        EXPECT_FALSE(empty.readFermiLevelFile());
        EXPECT_NE(empty.lastError.find("but the data for analysis in memory have 0"), std::string::npos)
            << empty.lastError;
        EXPECT_TRUE(empty.fermiLevel.empty());
    }
}
