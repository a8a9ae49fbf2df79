#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using testfiles::TempDir;

namespace {

const char* header =
    "% Data of Hall-Effect Measurement\r\n"
    "% Version Information: Version 1.7.1 (2017/8/23)\r\n"
    "% Original file: orig.txt\r\n"
    "% Experimental data file: whatever\r\n"
    "% Name of measurement: Hall run 7\r\n"
    "% Date of measurement: 2026/12/01\r\n"
    "% Name of analysis: A. Person\r\n"
    "% Date of Analysis: 2026/12/02\r\n"
    "% Sample number: S-42\r\n"
    "% Semiconductor: 4H-SiC\r\n"
    "% Conduction type: n-type\r\n"
    "% Sample thickness [micron]: 350\r\n"
    "% Magnetic Field [T]: 0.5\r\n"
    "% Current [A]: 1E-6\r\n";

Analysis fresh()
{
    Analysis a;
    a.resetAll();
    return a;
}

} // namespace

TEST(ExperimentalDataFile, ReadsHeaderByPositionAndPoints)
{
    TempDir dir;
    std::string path = dir.file("s.nT");
    testfiles::writeAll(path, std::string(header) +
                                  "% Number of data: 3\r\n% a comment\r\n"
                                  "% Temperature [K]   Majority-Carrier Concentration [cm^-3]   Reliability   \r\n"
                                  "100     1.5e+16     1\r\n200\t2e+16 0.5\r\n300     3e+16     0\r\n");
    Analysis a = fresh();
    a.experimentalDataFileName = path;
    ASSERT_TRUE(a.readExperimentalData()) << a.lastError;
    EXPECT_EQ(a.originalFileName, "orig.txt");
    EXPECT_EQ(a.measurementName, "Hall run 7");
    EXPECT_EQ(a.measurementDate, "2026/12/01");
    EXPECT_EQ(a.analysisName, "A. Person");
    EXPECT_EQ(a.analysisDate, "2026/12/02");
    EXPECT_EQ(a.sampleNumber, "S-42");
    EXPECT_EQ(a.semiconductor, "4H-SiC");
    EXPECT_EQ(a.conductionType, "n-type");
    EXPECT_DOUBLE_EQ(a.sampleThickness, 350);
    EXPECT_DOUBLE_EQ(a.magneticField, 0.5);
    EXPECT_DOUBLE_EQ(a.current, 1e-6);
    EXPECT_EQ(a.comment, "a comment");
    ASSERT_EQ(a.dataCount, 3);
    EXPECT_EQ(a.temperature, (DoubleArray{100, 200, 300}));
    EXPECT_EQ(a.concentration, (DoubleArray{1.5e16, 2e16, 3e16}));
    EXPECT_EQ(a.reliability, (DoubleArray{1, 0.5, 0}));
}

TEST(ExperimentalDataFile, MisspeltLabelsOfRightLengthLfLinesSplitValuesAndExtraLines)
{
    TempDir dir;
    std::string path = dir.file("s.pT");
    std::string text =
        "% Data of Hall-Effect Measurement\n% v\n% Origenal fyle: o\n% x\n"
        "% Nmae of measurement: m\n% Dtae of measurement: d\n% Nmae of analysis: n\n"
        "% Dtae of Analysis: e\n% Sampel number: 9\n% Semicondcutor: Si\n"
        "% Conductoin type: p-type\n% Sample thickness [mikron]: 1.5E-6\n"
        "% Magnetic Fielt [T]: 1\n% Currnet [A]: 2\n% Number of dada: 2\n% \n% cols\n"
        "50\n1e+15\n1\n60 2e+15\n\n0.9\n70 3e+15 1\ntrailing text\n";
    testfiles::writeAll(path, text);
    Analysis a = fresh();
    a.experimentalDataFileName = path;
    ASSERT_TRUE(a.readExperimentalData()) << a.lastError;
    EXPECT_EQ(a.originalFileName, "o");
    EXPECT_EQ(a.sampleNumber, "9");
    EXPECT_EQ(a.conductionType, "p-type");
    EXPECT_DOUBLE_EQ(a.sampleThickness, 1.5e-6);
    EXPECT_EQ(a.comment, "");
    ASSERT_EQ(a.dataCount, 2);
    EXPECT_EQ(a.temperature, (DoubleArray{50, 60}));
    EXPECT_EQ(a.reliability, (DoubleArray{1, 0.9}));
}

TEST(ExperimentalDataFile, ZeroPointsLoadsAnEmptySample)
{
    TempDir dir;
    std::string path = dir.file("e.nT");
    testfiles::writeAll(path, std::string(header) + "% Number of data: 0\r\n% \r\n% cols\r\n");
    Analysis a = fresh();
    a.experimentalDataFileName = path;
    ASSERT_TRUE(a.readExperimentalData());
    EXPECT_EQ(a.dataCount, 0);
    EXPECT_TRUE(a.temperature.empty());
}

TEST(ExperimentalDataFile, FaultsAreReportedWithFileAndLine)
{
    TempDir dir;
    Analysis a = fresh();
    a.experimentalDataFileName = dir.file("missing.nT");
    EXPECT_FALSE(a.readExperimentalData());
    EXPECT_NE(a.lastError.find("missing.nT"), std::string::npos);

    std::string badHeader(header);
    badHeader.replace(badHeader.find("0.5\r\n"), 3, "0,5");
    const std::string h(header);
    struct Case {
        std::string text;
        std::vector<const char*> said;
        const char* sample = "S-42"; // fields read before the fault stay; nullptr: unchecked
    } cases[] = {
        {h + "% Number of data: 3\r\n% \r\n% cols\r\n100 1e15 1\r\n200 2e15 1\r\n", {"2 complete data rows"}},
        {badHeader + "% Number of data: 1\r\n% \r\n% cols\r\n100 1e15 1\r\n",
         {"line 13", "'0,5' is not a valid floating point value"}},
        {h + "% Number of data: many\r\n% \r\n% c\r\n", {"line 15"}},
        {h + "% Number of data: 2\r\n% \r\n% c\r\n100 1e15 1\r\n200 x 1\r\n", {"line 19"}},
        {h + "% Number of data: 1\r\n% " + std::string(600, 'x') + "\r\n% c\r\n100 1e15 1\r\n", {"line 16"},
         nullptr},
        {"% Data of Hall-Effect Measurement\r\n% v\r\n", {"incomplete"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said[0]);
        const std::string path = dir.file("fault.nT");
        testfiles::writeAll(path, c.text);
        a = fresh();
        a.experimentalDataFileName = path;
        EXPECT_FALSE(a.readExperimentalData());
        for (const char* part : c.said)
            EXPECT_NE(a.lastError.find(part), std::string::npos) << a.lastError;
        EXPECT_EQ(a.dataCount, 0);
        EXPECT_TRUE(a.temperature.empty());
        if (c.sample) {
            EXPECT_EQ(a.sampleNumber, c.sample);
        }
    }
}

TEST(ExperimentalDataFile, WriteThenReadRoundTripsWithCrLf)
{
    TempDir dir;
    Analysis a = fresh();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.originalFileName = "C:/data/raw.csv";
    a.experimentalDataFileName = dir.file("rt.nT");
    a.measurementName = "run";
    a.sampleNumber = "";
    a.semiconductor = "GaAs";
    a.conductionType = "n-type";
    a.sampleThickness = 1e-6;
    a.magneticField = 0.123456789012345;
    a.current = 500;
    a.comment = "comment with  two blanks";
    a.dataCount = 2;
    a.temperature = {77.35, 300};
    a.concentration = {1.23456789e16, 2e17};
    a.reliability = {1, 0.5};
    ASSERT_TRUE(a.writeExperimentalData()) << a.lastError;

    bool bareLf = true;
    auto lines = testfiles::crlfLines(testfiles::readAll(a.experimentalDataFileName), &bareLf);
    EXPECT_FALSE(bareLf);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "% Data of Hall-Effect Measurement");
    EXPECT_EQ(lines[1], "% Version Information: Version 1.7.1 (2017/8/23)");
    EXPECT_EQ(lines[3], "% Experimental data file: " + a.experimentalDataFileName);
    EXPECT_EQ(lines[8], "% Sample number: ");
    EXPECT_EQ(lines[11], "% Sample thickness [micron]: 1E-6");
    EXPECT_EQ(lines[12], "% Magnetic Field [T]: 0.123456789012345");
    EXPECT_EQ(lines[13], "% Current [A]: 500");
    EXPECT_EQ(lines[14], "% Number of data: 2");
    EXPECT_EQ(lines[16], "% Temperature [K]   Majority-Carrier Concentration [cm^-3]   Reliability   ");
    // Six digits as printf "%g", more where six would change the value.
    EXPECT_EQ(lines[17], "77.35     1.23456789e+16     1");
    EXPECT_EQ(lines[18], "300     2e+17     0.5");

    Analysis b = fresh();
    b.experimentalDataFileName = a.experimentalDataFileName;
    ASSERT_TRUE(b.readExperimentalData());
    EXPECT_EQ(b.originalFileName, a.originalFileName);
    EXPECT_EQ(b.comment, a.comment);
    EXPECT_EQ(b.semiconductor, "GaAs");
    EXPECT_DOUBLE_EQ(b.sampleThickness, 1e-6);
    EXPECT_DOUBLE_EQ(b.magneticField, 0.123456789012345);
    EXPECT_EQ(b.concentration, a.concentration);
}

TEST(ExperimentalDataFile, FailedWriteKeepsTheExistingFile)
{
    TempDir dir;
    const std::string kept = dir.file("keep.nT");
    testfiles::writeAll(kept, "old content");
    ASSERT_EQ(testfiles::readAll(kept), "old content");
    Analysis a = fresh();
    a.experimentalDataFileName = kept;
    bool written = true;
    {
        // The disk takes no more bytes: the new content cannot be written.
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        written = a.writeExperimentalData();
    }
    EXPECT_FALSE(written);
    EXPECT_NE(a.lastError.find(kept), std::string::npos) << a.lastError;
    EXPECT_EQ(testfiles::readAll(kept), "old content");

    // Targets that cannot become a file.
    std::filesystem::create_directories(dir.file("isdir.nT"));
    for (const std::string& target : {dir.file("nofolder/keep.nT"), dir.file("isdir.nT"),
                                      dir.file("keep.nT/under.nT")}) {
        a.experimentalDataFileName = target;
        EXPECT_FALSE(a.writeExperimentalData()) << target;
        EXPECT_NE(a.lastError.find(target), std::string::npos) << a.lastError;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("isdir.nT")));
    EXPECT_EQ(testfiles::readAll(kept), "old content");
    // No temporary files are left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}
