#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using testfiles::TempDir;
using Lines = std::vector<std::string>;

namespace {

const std::string dash = "% ------------------------------------------------------------ ";

// A hand-filled analysis with all three stages evaluated on a three-point grid.
Analysis stages(const TempDir& dir)
{
    Analysis a;
    a.resetAll();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.evaluationType = "Type-C";
    a.originalFileName = "/d/raw.txt";
    a.experimentalDataFileName = "/d/s.nT";
    a.splineFileName = "/d/s.spl";
    a.fermiLevelFileName = dir.file("s.fl");
    a.h1FileName = dir.file("s.H1");
    a.h2FileName = dir.file("s.H2");
    a.h3FileName = dir.file("s.H3");
    a.experimentalH1FileName = dir.file("s.H1E");
    a.experimentalH2FileName = dir.file("s.H2E");
    a.experimentalH3FileName = dir.file("s.H3E");
    a.measurementName = "run 7";
    a.semiconductor = "4H-SiC";
    a.conductionType = "n-type";
    a.comment = "a comment";
    a.sampleThickness = 350;
    a.magneticField = 0.5;
    a.current = 1e-6;
    a.dataCount = 2;
    a.temperature = {50, 300};
    a.concentration = {1.2e14, 3.4e16};
    a.reliability = {1, 0.5};
    a.firstDataIndex = 0;
    a.lastDataIndex = 1;
    a.splineCount = 3;
    a.splineTemperature = {50, 50.1, 50.2};
    a.splineConcentration = {1e14, 1.1e14, 1.2e14};
    a.effectiveMass = 0.39;
    a.equivalentMinima = 3;
    a.fermiLevelComment = "from table";
    a.hCurve[0] = {1e30, 2.5e30, 0};
    a.hCurve[1] = {2e29, 3e29, 1.25e29};
    a.hCurve[2] = {0, 4.5e28, 1e28};
    a.simulatedHCurve[0] = {9e29, 2.4e30, 0};
    a.simulatedHCurve[1] = {1e29, 2.9e29, 1e29};
    a.simulatedHCurve[2] = {0, 4e28, 5e27};
    a.experimentalHCurve[0] = {1.5e30, 7e28};
    a.experimentalHCurve[1] = {2.5e29, 6e27};
    a.experimentalHCurve[2] = {3.5e28, 5e26};
    a.peakIndex = {1, 1, 2, 0};
    a.referenceEnergy = {0.012345, -0.0021, 0, 0};
    a.degeneracyFactor = {2, 2, 4, 1};
    a.checkTemperature = {60.5, 80.25, 120, 0};
    a.density = {1.5e16, 3e15, 7.25e14, 0};
    a.energyLevel = {0.0523, 0.1234, 0.3, 0};
    a.stageCompensatingDensity = {2e14, -1e13, 0, 0};
    a.compensatingDensity = 2e14;
    a.compensationFixed = 1;
    a.compensationStage = 0;
    return a;
}

Lines header(const Analysis& a, const std::string& title, const Lines& ownFiles)
{
    Lines l = {title,
               "% Version Information: Version 1.7.1 (2017/8/23)",
               a.functionType == 1 ? "% Function Type: S(T,Eref)=n(T)*exp(Eref/kT)/kT"
                                   : "% Function Type: H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5",
               "% Original file: /d/raw.txt",
               "% Experimental data file: /d/s.nT",
               "% File of data for analysis: /d/s.spl",
               "% Fermi level file: " + a.fermiLevelFileName};
    l.insert(l.end(), ownFiles.begin(), ownFiles.end());
    Lines rest = {"% Name of measurement: run 7", "% Date of measurement: ", "% Name of analysis: ",
                  "% Date of Analysis: ", "% Sample number: ", "% Semiconductor: 4H-SiC",
                  "% Conduction type: n-type", "% Sample thickness [micron]: 350",
                  "% Magnetic Field [T]: 0.5", "% Current [A]: 1E-6", "% Number of data: 2",
                  "% a comment", "% Index of beginning data: 0", "% Index of ending data: 1",
                  "% Number of data for analysis: 3", "% Smoothness: 5000", "% Effective mass: 0.39",
                  "% Equivalent minima: 3", "% Effective density of states/T^(3/2): 4.8E15",
                  "% from table"};
    l.insert(l.end(), rest.begin(), rest.end());
    return l;
}

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The file's lines; every line, the last included, must end with CR LF.
Lines fileLines(const std::string& path)
{
    std::string text = testfiles::readAll(path);
    EXPECT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << path;
    bool bareLf = true;
    Lines l = testfiles::crlfLines(text, &bareLf);
    EXPECT_FALSE(bareLf) << path;
    return l;
}

void expectLines(const Lines& actual, const Lines& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
}

} // namespace

TEST(StageFiles, Stage1ResultsFileLineByLine)
{
    TempDir dir;
    Analysis a = stages(dir);
    ASSERT_TRUE(a.writeStageResults(0)) << a.lastError;
    Lines expected =
        header(a, "% First Analysis (Automatic Evaluation Version Type-C )", {"% H1 file: " + a.h1FileName}) +
        Lines{dash, "% Conditions for analysis of H1 ", dash,
              "% E_ref for H1 [eV]: 0.012345", "% Peak temperature of H1 [K]: 50.1",
              "% Peak value of H1 [cm^-6 eV^-2.5]: 2.5E30", "% Degeneracy factor for H1: 2",
              "% Check temperature of H1 [K]: 60.5",
              dash, "% Obtained results ", dash,
              "% First density [cm^-3]: 1.5E16", "% First energy level [eV]: 0.0523",
              "% temporary compensating density [cm^-3]: 200000000000000",
              "% Compenating density [cm^-3]: 200000000000000",
              "% Temperature [K]   H1(T,E_ref) [cm^-6 eV^-2.5]   simulated H1(T,E_ref) [cm^-6 eV^-2.5] ",
              "50     1e+30     9e+29", "50.1     2.5e+30     2.4e+30", "50.2     0     0"};
    expectLines(fileLines(a.h1FileName), expected);
}

TEST(StageFiles, Stage1ExperimentalFileHasNoEvaluationLines)
{
    TempDir dir;
    Analysis a = stages(dir);
    ASSERT_TRUE(a.writeStageExperimental(0)) << a.lastError;
    Lines expected =
        header(a, "% First Analysis (Automatic Evaluation Version Type-C )",
               {"% Experimental H1 file: " + a.experimentalH1FileName}) +
        Lines{dash, "% Conditions for analysis of H1 ", dash,
              "% E_ref for H1 [eV]: 0.012345", "% Peak temperature of H1 [K]: 50.1",
              "% Peak value of H1 [cm^-6 eV^-2.5]: 2.5E30",
              "% Temperature [K]   Concentration [cm^-3]   experimental H1(T,E_ref) [cm^-6 eV^-2.5]   reliability ",
              "50     1.2e+14     1.5e+30     1", "300     3.4e+16     7e+28     0.5"};
    expectLines(fileLines(a.experimentalH1FileName), expected);
}

TEST(StageFiles, Stage2FilesListTheEarlierStage)
{
    TempDir dir;
    Analysis a = stages(dir);
    ASSERT_TRUE(a.writeStageResults(1)) << a.lastError;
    ASSERT_TRUE(a.writeStageExperimental(1)) << a.lastError;
    const std::string title = "% Second Analysis (Automatic Evaluation Version Type-C )";
    const Lines conditions = {dash, "% Conditions for analysis of H2 ", dash,
                              "% E_ref for H2 [eV]: -0.0021", "% Peak temperature of H2 [K]: 50.1",
                              "% Peak value of H2 [cm^-6 eV^-2.5]: 3E29", "% Degeneracy factor for H2: 2",
                              "% Check temperature of H2 [K]: 80.25"};
    expectLines(fileLines(a.h2FileName),
                header(a, title, {"% H1 file: " + a.h1FileName, "% H2 file: " + a.h2FileName}) + conditions +
                    Lines{dash, "% Obtained results ", dash,
                          "% First density [cm^-3]: 1.5E16", "% First energy level [eV]: 0.0523",
                          "% Second density [cm^-3]: 3E15", "% Second energy level [eV]: 0.1234",
                          "% temporary compensating density [cm^-3]: -10000000000000",
                          "% Compenating density [cm^-3]: 200000000000000",
                          "% Temperature [K]   H2(T,E_ref) [cm^-6 eV^-2.5]   simulated H2(T,E_ref) [cm^-6 eV^-2.5] ",
                          "50     2e+29     1e+29", "50.1     3e+29     2.9e+29", "50.2     1.25e+29     1e+29"});
    // The experimental file names itself under "% H2 file: ".
    expectLines(fileLines(a.experimentalH2FileName),
                header(a, title, {"% H1 file: " + a.h1FileName, "% H2 file: " + a.experimentalH2FileName}) +
                    conditions +
                    Lines{"% Temperature [K]   Concentration [cm^-3]   Experimental H2(T,E_ref) [cm^-6 eV^-2.5]   reliability ",
                          "50     1.2e+14     2.5e+29     1", "300     3.4e+16     6e+27     0.5"});
}

TEST(StageFiles, Stage3FilesListBothEarlierStages)
{
    TempDir dir;
    Analysis a = stages(dir);
    ASSERT_TRUE(a.writeStageResults(2)) << a.lastError;
    ASSERT_TRUE(a.writeStageExperimental(2)) << a.lastError;
    const std::string title = "% Third Analysis (Automatic Evaluation Version Type-C )";
    const Lines conditions = {dash, "% Conditions for analysis of H3 ", dash,
                              "% E_ref for H3 [eV]: 0", "% Peak temperature of H3 [K]: 50.2",
                              "% Peak value of H3 [cm^-6 eV^-2.5]: 1E28", "% Degeneracy factor for H3: 4",
                              "% Check temperature of H3 [K]: 120"};
    expectLines(fileLines(a.h3FileName),
                header(a, title,
                       {"% H1 file: " + a.h1FileName, "% H2 file: " + a.h2FileName,
                        "% H3 file: " + a.h3FileName}) +
                    conditions +
                    Lines{dash, "% Obtained results ", dash,
                          "% First density [cm^-3]: 1.5E16", "% First energy level [eV]: 0.0523",
                          "% Second density [cm^-3]: 3E15", "% Second energy level [eV]: 0.1234",
                          "% Third density [cm^-3]: 725000000000000", "% Third energy level [eV]: 0.3",
                          "% temporary compensating density [cm^-3]: 0",
                          "% Compenating density [cm^-3]: 200000000000000",
                          "% Temperature [K]   H3(T,E_ref) [cm^-6 eV^-2.5]   simulated H3(T,E_ref) [cm^-6 eV^-2.5] ",
                          "50     0     0", "50.1     4.5e+28     4e+28", "50.2     1e+28     5e+27"});
    expectLines(fileLines(a.experimentalH3FileName),
                header(a, title,
                       {"% H1 file: " + a.h1FileName, "% H2 file: " + a.h2FileName,
                        "% H3 file: " + a.experimentalH3FileName}) +
                    conditions +
                    Lines{"% Temperature [K]   Concentration [cm^-3]   Experimental H3(T,E_ref) [cm^-6 eV^-2.5]   reliability ",
                          "50     1.2e+14     3.5e+28     1", "300     3.4e+16     5e+26     0.5"});
}

TEST(StageFiles, SFunctionChangesExtensionAndFunctionLineOnly)
{
    TempDir dir;
    Analysis a = stages(dir);
    a.functionType = 1;
    const Analysis::StageFile R = Analysis::StageFile::Results, E = Analysis::StageFile::Experimental;
    struct Case { int stage; Analysis::StageFile kind; std::string name; int filter; };
    // H1 and the experimental files start from the Fermi-level file; H2 from
    // H1, H3 from H2.
    a.h1FileName = dir.file("one.H1");
    a.h2FileName = dir.file("two.H2");
    for (const Case& c : {Case{0, R, dir.file("s.S1"), 7}, Case{0, E, dir.file("s.S1E"), 12},
                          Case{1, R, dir.file("one.S2"), 8}, Case{1, E, dir.file("s.S2E"), 15},
                          Case{2, R, dir.file("two.S3"), 9}, Case{2, E, dir.file("s.S3E"), 17}}) {
        Analysis::SaveProposal p = a.stageSaveProposal(c.stage, c.kind);
        EXPECT_EQ(p.fileName, c.name);
        EXPECT_EQ(p.filterIndex, c.filter) << c.name;
    }
    for (int type : {2, 0, 3}) { // anything but 1 is the H function
        a.functionType = type;
        for (const Case& c : {Case{0, R, dir.file("s.H1"), 3}, Case{0, E, dir.file("s.H1E"), 11},
                              Case{1, R, dir.file("one.H2"), 4}, Case{1, E, dir.file("s.H2E"), 14},
                              Case{2, R, dir.file("two.H3"), 5}, Case{2, E, dir.file("s.H3E"), 16}}) {
            Analysis::SaveProposal p = a.stageSaveProposal(c.stage, c.kind);
            EXPECT_EQ(p.fileName, c.name);
            EXPECT_EQ(p.filterIndex, c.filter) << c.name;
        }
    }

    a.functionType = 1;
    ASSERT_TRUE(a.saveStageFile(0, R, a.stageSaveProposal(0, R).fileName)) << a.lastError;
    Lines l = fileLines(dir.file("s.S1"));
    Analysis h = stages(dir);
    Lines asH = header(h, "% First Analysis (Automatic Evaluation Version Type-C )",
                       {"% H1 file: " + dir.file("s.S1")});
    ASSERT_GT(l.size(), asH.size());
    EXPECT_EQ(l[2], "% Function Type: S(T,Eref)=n(T)*exp(Eref/kT)/kT");
    EXPECT_EQ(l[7], "% H1 file: " + dir.file("s.S1"));
    EXPECT_EQ(l[asH.size() + 1], "% Conditions for analysis of H1 ");
    EXPECT_EQ(l[asH.size() + 5], "% Peak value of H1 [cm^-6 eV^-2.5]: 2.5E30");
    EXPECT_EQ(l[l.size() - 4],
              "% Temperature [K]   H1(T,E_ref) [cm^-6 eV^-2.5]   simulated H1(T,E_ref) [cm^-6 eV^-2.5] ");
    EXPECT_EQ(a.h1FileName, dir.file("s.S1"));
}

TEST(StageFiles, ResultsSaveRestoresTheDefaultEvaluationType)
{
    TempDir dir;
    Analysis a = stages(dir);
    const Analysis::StageFile R = Analysis::StageFile::Results, E = Analysis::StageFile::Experimental;
    ASSERT_TRUE(a.saveStageFile(1, E, dir.file("x.H2E")));
    EXPECT_EQ(a.evaluationType, "Type-C"); // an experimental save keeps it
    EXPECT_EQ(a.experimentalH2FileName, dir.file("x.H2E"));
    ASSERT_TRUE(a.saveStageFile(1, R, dir.file("x.H2")));
    EXPECT_EQ(fileLines(dir.file("x.H2"))[0], "% Second Analysis (Automatic Evaluation Version Type-C )");
    EXPECT_EQ(a.evaluationType, "Type-B");
    EXPECT_EQ(a.h2FileName, dir.file("x.H2"));
}

TEST(StageFiles, FailedSaveReportsTheFileAndKeepsTheOldOne)
{
    TempDir dir;
    Analysis a = stages(dir);
    const std::string path = dir.file("old.H1");
    testfiles::writeAll(path, "previous results");
    const std::string before = a.h1FileName;
    {
        // No room for a single byte: the write fails, also with root rights.
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(a.saveStageFile(0, Analysis::StageFile::Results, path));
    }
    EXPECT_NE(a.lastError.find(path), std::string::npos) << a.lastError;
    EXPECT_EQ(testfiles::readAll(path), "previous results");
    EXPECT_EQ(a.h1FileName, before);
    EXPECT_EQ(a.evaluationType, "Type-C");

    // A folder that does not exist.
    a.experimentalH3FileName = dir.file("none/s.H3E");
    EXPECT_FALSE(a.writeStageExperimental(2));
    EXPECT_NE(a.lastError.find("none/s.H3E"), std::string::npos);
}

TEST(StageFiles, IncompleteStageIsRefusedNotRead)
{
    TempDir dir;
    Analysis a = stages(dir);
    a.simulatedHCurve[1].pop_back(); // red line shorter than the grid
    EXPECT_FALSE(a.writeStageResults(1));
    EXPECT_NE(a.lastError.find("s.H2"), std::string::npos);
    a.peakIndex[2] = 3; // beyond the grid
    EXPECT_FALSE(a.writeStageExperimental(2));
    a.experimentalHCurve[0].clear();
    EXPECT_FALSE(a.writeStageExperimental(0));
    EXPECT_FALSE(std::filesystem::exists(a.h2FileName));
    EXPECT_FALSE(std::filesystem::exists(a.experimentalH1FileName));
    Analysis empty; // no slots at all
    empty.h1FileName = dir.file("e.H1");
    EXPECT_FALSE(empty.writeStageResults(0));
    EXPECT_FALSE(a.writeStageResults(3));
}

TEST(StageFiles, NextStageNeedsThreeHundredPointsAboveTheRedLine)
{
    Analysis a;
    a.resetAll();
    auto withAbove = [&](int above) {
        a.hCurve[1].assign(1000, 1.0);
        a.simulatedHCurve[1].assign(1000, 1.0); // equal values do not count
        for (int j = 0; j < above; ++j)
            a.simulatedHCurve[1][2 * j] = 0.5;
        a.simulatedHCurve[1][999] = 2.0; // below the red line does not count
    };
    a.compensationFixed = 1;
    withAbove(299);
    EXPECT_FALSE(a.needsNextStage(1));
    withAbove(300);
    EXPECT_TRUE(a.needsNextStage(1));
    withAbove(301);
    EXPECT_TRUE(a.needsNextStage(1));
    // An open compensating density always asks for the next stage.
    a.compensationFixed = 0;
    withAbove(0);
    EXPECT_TRUE(a.needsNextStage(1));
}

TEST(StageFiles, FollowUpOfAResultsSave)
{
    TempDir dir;
    Analysis a = stages(dir);
    a.hCurve[0].assign(400, 2.0);
    a.simulatedHCurve[0].assign(400, 1.0);
    Analysis::StageSaveFollowUp f = a.stageSaveFollowUp(0);
    EXPECT_TRUE(f.enableNextStage);
    EXPECT_FALSE(f.evaluationCompleted);
    EXPECT_EQ(f.simulationSpecies, 1);
    EXPECT_TRUE(f.tickCompensation);
    EXPECT_DOUBLE_EQ(f.pageCompensatingDensity, 2e14);

    // Stage 2 with the compensation fixed and nothing above the red line.
    f = a.stageSaveFollowUp(1);
    EXPECT_FALSE(f.enableNextStage);
    EXPECT_TRUE(f.evaluationCompleted);
    EXPECT_EQ(f.simulationSpecies, 2);

    // Open compensation: the stage's own value, the check box untouched.
    a.compensationFixed = 0;
    f = a.stageSaveFollowUp(1);
    EXPECT_TRUE(f.enableNextStage);
    EXPECT_FALSE(f.tickCompensation);
    EXPECT_DOUBLE_EQ(f.pageCompensatingDensity, -1e13);

    // The last stage opens nothing and announces nothing.
    f = a.stageSaveFollowUp(2);
    EXPECT_FALSE(f.enableNextStage);
    EXPECT_FALSE(f.evaluationCompleted);
    EXPECT_EQ(f.simulationSpecies, 3);
}

TEST(StageFiles, ReplaceExtension)
{
    EXPECT_EQ(Analysis::replaceExtension("sample.nT", ".spl"), "sample.spl");
    EXPECT_EQ(Analysis::replaceExtension("/d/sample.fl", ".H1E"), "/d/sample.H1E");
    EXPECT_EQ(Analysis::replaceExtension("/d/a.b.H1", ".simH"), "/d/a.b.simH");
    EXPECT_EQ(Analysis::replaceExtension("sample.nT", "Con1.bmp"), "sampleCon1.bmp");
    // No extension: appended; a dot in a folder name is not an extension.
    EXPECT_EQ(Analysis::replaceExtension("/d/sample", "Con1.bmp"), "/d/sampleCon1.bmp");
    EXPECT_EQ(Analysis::replaceExtension("/d.v2/sample", ".H1"), "/d.v2/sample.H1");
    EXPECT_EQ(Analysis::replaceExtension("C:\\d.v2\\sample.fl", ".S1"), "C:\\d.v2\\sample.S1");
    EXPECT_EQ(Analysis::replaceExtension("/d/.hidden", ".H1"), "/d/.hidden.H1");
    EXPECT_EQ(Analysis::replaceExtension("", ".H1"), ".H1");
}
