#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using testfiles::TempDir;

namespace {

Analysis described(const std::string& splineFile)
{
    Analysis a;
    a.resetAll();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.originalFileName = "C:/raw/run7.csv";
    a.experimentalDataFileName = "/data/s.nT";
    a.splineFileName = splineFile;
    a.measurementName = "Hall run 7";
    a.measurementDate = "2026/12/01";
    a.analysisName = "A. Person";
    a.analysisDate = "";
    a.sampleNumber = "S-42";
    a.semiconductor = "4H-SiC";
    a.conductionType = "n-type";
    a.sampleThickness = 350;
    a.magneticField = 0.5;
    a.current = 1e-6;
    a.comment = "a comment";
    a.dataCount = 12;
    a.firstDataIndex = 1;
    a.lastDataIndex = 10;
    a.smoothness = 5000;
    a.splineCount = 3;
    a.splineTemperature = {85, 85.1, 85.2};
    a.splineConcentration = {1.5e16, 1.23456789e16, 2e14};
    return a;
}

// A valid file body after the 5 skipped lines, for the readers' fault tests.
std::string fileText(const std::string& count, const std::string& rows,
                     const std::string& thickness = "350", const std::string& eol = "\r\n")
{
    const char* lines[] = {"% Data for Hall-Effect Analysis", "% Version Information: v",
                           "% Original file: o", "% Experimental data file: e",
                           "% File of data for analysis: f", "% Name of measurement: m",
                           "% Date of measurement: d", "% Name of analysis: n",
                           "% Date of Analysis: e", "% Sample number: 9", "% Semiconductor: Si",
                           "% Conduction type: p-type"};
    std::string text;
    for (const char* l : lines)
        text += std::string(l) + eol;
    text += "% Sample thickness [micron]: " + thickness + eol;
    text += "% Magnetic Field [T]: 1" + eol + "% Current [A]: 2" + eol;
    text += "% Number of data: 7" + eol + "% c" + eol;
    text += "% Index of beginning data: 2" + eol + "% Index of ending data: 6" + eol;
    text += "% Number of data for analysis: " + count + eol + "% Smoothness: 750" + eol;
    text += "% Temperature [K]   Majority-Carrier Concentration [cm^-3] " + eol;
    return text + rows;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(SplineFile, HeaderLineByLineColumnLineAndRowsInCrLf)
{
    TempDir dir;
    Analysis a = described(dir.file("s.spl"));
    ASSERT_TRUE(a.writeSplineFile()) << a.lastError;
    bool bareLf = true;
    std::string text = testfiles::readAll(a.splineFileName);
    auto lines = testfiles::crlfLines(text, &bareLf);
    EXPECT_FALSE(bareLf);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> expected = {
        "% Data for Hall-Effect Analysis",
        "% Version Information: Version 1.7.1 (2017/8/23)",
        "% Original file: C:/raw/run7.csv",
        "% Experimental data file: /data/s.nT",
        "% File of data for analysis: " + a.splineFileName,
        "% Name of measurement: Hall run 7",
        "% Date of measurement: 2026/12/01",
        "% Name of analysis: A. Person",
        "% Date of Analysis: ",
        "% Sample number: S-42",
        "% Semiconductor: 4H-SiC",
        "% Conduction type: n-type",
        "% Sample thickness [micron]: 350",
        "% Magnetic Field [T]: 0.5",
        "% Current [A]: 1E-6",
        "% Number of data: 12",
        "% a comment",
        "% Index of beginning data: 1",
        "% Index of ending data: 10",
        "% Number of data for analysis: 3",
        "% Smoothness: 5000",
        "% Temperature [K]   Majority-Carrier Concentration [cm^-3] ",
        "85     1.5e+16",
        "85.1     1.23457e+16",
        "85.2     2e+14",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(SplineFile, WriteThenReadRoundTripsAComputedSpline)
{
    TempDir dir;
    Analysis a;
    a.resetAll();
    a.experimentalDataFileName = testfiles::example("si_p_single.nT");
    ASSERT_TRUE(a.readExperimentalData()) << a.lastError;
    a.smoothness = 4500.5;
    ASSERT_TRUE(a.chooseSplinePoints());
    ASSERT_TRUE(a.computeSpline()) << a.lastError;
    a.splineFileName = dir.file("si.spl");
    ASSERT_TRUE(a.writeSplineFile()) << a.lastError;

    Analysis b;
    b.resetAll();
    b.splineFileName = a.splineFileName;
    ASSERT_TRUE(b.readSplineFile()) << b.lastError;
    EXPECT_EQ(b.measurementName, a.measurementName);
    EXPECT_EQ(b.measurementDate, a.measurementDate);
    EXPECT_EQ(b.analysisName, a.analysisName);
    EXPECT_EQ(b.analysisDate, a.analysisDate);
    EXPECT_EQ(b.sampleNumber, a.sampleNumber);
    EXPECT_EQ(b.semiconductor, "Si");
    EXPECT_EQ(b.conductionType, "n-type");
    EXPECT_EQ(b.comment, a.comment);
    EXPECT_DOUBLE_EQ(b.sampleThickness, 500);
    EXPECT_DOUBLE_EQ(b.magneticField, 0.5);
    EXPECT_DOUBLE_EQ(b.current, 1e-4);
    EXPECT_EQ(b.firstDataIndex, 0);
    EXPECT_EQ(b.lastDataIndex, 74);
    EXPECT_DOUBLE_EQ(b.smoothness, 4500.5);
    // File names are not taken over from the file.
    EXPECT_EQ(b.experimentalDataFileName, "");
    EXPECT_EQ(b.originalFileName, "");
    // The experimental points are not touched, so their count stays too.
    EXPECT_EQ(b.dataCount, 0);
    EXPECT_TRUE(b.temperature.empty());
    ASSERT_EQ(b.splineCount, a.splineCount);
    ASSERT_EQ(b.splineTemperature.size(), std::size_t(a.splineCount));
    ASSERT_EQ(b.splineConcentration.size(), std::size_t(a.splineCount));
    for (int k = 0; k < a.splineCount; ++k) {
        ASSERT_NEAR(b.splineTemperature[k], a.splineTemperature[k], 1e-9) << k;
        // %g keeps 6 significant digits.
        ASSERT_NEAR(b.splineConcentration[k] / a.splineConcentration[k], 1, 5e-6) << k;
    }
}

TEST(SplineFile, ReadsByPositionAcceptsLfAndRowsInAnyWhiteSpace)
{
    TempDir dir;
    Analysis a;
    a.resetAll();
    a.dataCount = 3;
    a.temperature = {1, 2, 3};
    a.concentration = {1, 2, 3};
    a.reliability = {1, 1, 1};
    a.splineFileName = dir.file("lf.spl");
    // Labels misspelt at the same length are read all the same.
    std::string text = fileText("3", "100\t1e+16\n100.1\n2e+16   100.2 3e+16 trailing words\n", "1.5E-6", "\n");
    text.replace(text.find("% Semiconductor: "), 17, "% Semicondcutor: ");
    testfiles::writeAll(a.splineFileName, text);
    ASSERT_TRUE(a.readSplineFile()) << a.lastError;
    EXPECT_EQ(a.measurementName, "m");
    EXPECT_EQ(a.semiconductor, "Si");
    EXPECT_EQ(a.conductionType, "p-type");
    EXPECT_DOUBLE_EQ(a.sampleThickness, 1.5e-6);
    EXPECT_DOUBLE_EQ(a.magneticField, 1);
    EXPECT_DOUBLE_EQ(a.current, 2);
    EXPECT_EQ(a.comment, "c");
    EXPECT_EQ(a.firstDataIndex, 2);
    EXPECT_EQ(a.lastDataIndex, 6);
    EXPECT_DOUBLE_EQ(a.smoothness, 750);
    EXPECT_EQ(a.dataCount, 3);
    EXPECT_EQ(a.temperature, (DoubleArray{1, 2, 3}));
    ASSERT_EQ(a.splineCount, 3);
    EXPECT_EQ(a.splineTemperature, (DoubleArray{100, 100.1, 100.2}));
    EXPECT_EQ(a.splineConcentration, (DoubleArray{1e16, 2e16, 3e16}));
}

// A refused file leaves no spline, names itself and the fault, and nothing
// of it is taken over. `text` nullptr: no such file; "/": a folder.
TEST(SplineFile, RefusedFilesLeaveNoSplineAndTakeNothingOver)
{
    TempDir dir;
    const std::string truncated = fileText("5", "100 1e16\r\n100.1 2e16\r\n100.2 3e16\r\n100.3\r\n");
    struct Case {
        std::optional<std::string> text;
        std::vector<const char*> said;
    } cases[] = {
        {truncated, {"ends at line 26", "3 complete rows", "announces 5"}},
        {"% Data for Hall-Effect Analysis\r\n% v\r\n", {"header is incomplete"}},
        {fileText("0", ""), {"line 20"}},
        {fileText("2", "100 1e16\r\n100.1 abc\r\n"), {"line 24"}},
        {fileText("2", "100 1e16\r\n100.1 2e16\r\n", "thick"), {"line 13"}},
        {fileText("two", "100 1e16\r\n100.1 2e16\r\n"), {"line 20"}},
        {fileText("2", "100 1e16\r\n100,1 2e16\r\n"), {"line 24"}},
        {std::nullopt, {}},
        {"/", {}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string path = dir.file("s" + std::to_string(i) + ".spl");
        SCOPED_TRACE(path);
        if (c.text == "/")
            std::filesystem::create_directories(path);
        else if (c.text)
            testfiles::writeAll(path, *c.text);
        Analysis a = described(path);
        EXPECT_FALSE(a.readSplineFile());
        EXPECT_EQ(a.splineCount, 0);
        EXPECT_TRUE(a.splineTemperature.empty());
        EXPECT_TRUE(a.splineConcentration.empty());
        EXPECT_TRUE(contains(a.lastError, path)) << a.lastError;
        // A line is named right after the file: "<file>, line 24".
        for (const std::string part : c.said)
            EXPECT_TRUE(contains(a.lastError, part.rfind("line ", 0) == 0 ? path + ", " + part : part)) << a.lastError;
        EXPECT_EQ(a.sampleNumber, "S-42");
        EXPECT_EQ(a.measurementName, "Hall run 7");
        EXPECT_EQ(a.firstDataIndex, 1);
        EXPECT_EQ(a.smoothness, 5000);
    }
}

TEST(SplineFile, FailedOrRefusedWriteKeepsTheExistingFile)
{
    TempDir dir;
    std::string path = dir.file("keep.spl");
    testfiles::writeAll(path, "old content");

    // Nothing to save: refused before the file is touched.
    Analysis empty = described(path);
    empty.splineCount = 0;
    empty.splineTemperature.clear();
    empty.splineConcentration.clear();
    EXPECT_FALSE(empty.writeSplineFile());
    EXPECT_TRUE(contains(empty.lastError, path)) << empty.lastError;
    Analysis inconsistent = described(path);
    inconsistent.splineCount = 4; // arrays hold 3
    EXPECT_FALSE(inconsistent.writeSplineFile());
    EXPECT_EQ(testfiles::readAll(path), "old content");

    Analysis a = described(dir.file("nofolder/keep.spl"));
    EXPECT_FALSE(a.writeSplineFile());
    EXPECT_TRUE(contains(a.lastError, "nofolder/keep.spl")) << a.lastError;
    std::filesystem::create_directories(dir.file("isdir.spl/inner"));
    a = described(dir.file("isdir.spl"));
    EXPECT_FALSE(a.writeSplineFile());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("isdir.spl")));
    EXPECT_EQ(testfiles::readAll(path), "old content");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}
