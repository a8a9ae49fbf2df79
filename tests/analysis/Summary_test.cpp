#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

Analysis analysed()
{
    Analysis a;
    a.resetAll();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.sampleNumber = " S-12";
    a.semiconductor = "4H-SiC";
    a.conductionType = "n-type";
    a.originalFileName = "/raw/s12.txt";
    a.experimentalDataFileName = "/d/s12.nT";
    a.splineFileName = "/d/s12.spl";
    a.fermiLevelFileName = "/d/s12.fl";
    a.h1FileName = "/d/s12.H1";
    a.h2FileName = "/d/s12.H2";
    a.h3FileName = "";
    a.density = {3.456e16, 1.2e15, 9.996e13, 7};
    a.energyLevel = {0.04567, 0.12344, 0.5, 9};
    a.compensatingDensity = -2.5e14;
    return a;
}

} // namespace

TEST(ObtainedResultsSummary, TwentyOneLinesOfAnAnalysedSample)
{
    const std::vector<std::string> l = analysed().obtainedResultsLines();
    ASSERT_EQ(l.size(), 21u);
    EXPECT_EQ(l[0], "VORN (Automatic Evaluation Version)");
    EXPECT_EQ(l[1], "% Version Information:     Version 1.7.1 (2017/8/23)");
    EXPECT_EQ(l[2], " Function Type:  H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5");
    EXPECT_EQ(l[3], "Sample Number:              S-12");
    EXPECT_EQ(l[4], "Semiconductor:             4H-SiC");
    EXPECT_EQ(l[5], "Conduction Type:           n-type");
    EXPECT_EQ(l[6], "Original File:             /raw/s12.txt");
    EXPECT_EQ(l[7], "File of Experimental Data: /d/s12.nT");
    EXPECT_EQ(l[8], "Data File for Analysis:    /d/s12.spl");
    EXPECT_EQ(l[9], "Fermi Level File:          /d/s12.fl");
    EXPECT_EQ(l[10], "H1 File:                   /d/s12.H1");
    EXPECT_EQ(l[11], "H2 File:                   /d/s12.H2");
    EXPECT_EQ(l[12], "H3 File:                   ");
    EXPECT_EQ(l[13], "Obtained Results");
    EXPECT_EQ(l[14], "First Density:                   3.46E+16 cm^-3");
    EXPECT_EQ(l[15], "First Energy Level:              0.0457 eV");
    EXPECT_EQ(l[16], "Second Density:                  1.20E+15 cm^-3");
    EXPECT_EQ(l[17], "Second Energy Level:             0.1234 eV");
    // Rounding carries into the exponent; the level keeps four decimals.
    EXPECT_EQ(l[18], "Third Density:                   1.00E+14 cm^-3");
    EXPECT_EQ(l[19], "Third Energy Level:              0.5000 eV");
    EXPECT_EQ(l[20], "Conpensating Density:            -2.50E+14 cm^-3");
}

TEST(ObtainedResultsSummary, DefaultsGiveZerosAndFunctionTypeFollowsTheChoice)
{
    Analysis a;
    a.resetAll();
    std::vector<std::string> l = a.obtainedResultsLines();
    ASSERT_EQ(l.size(), 21u);
    for (int i : {14, 16, 18, 20})
        EXPECT_EQ(l[i].substr(33), "0.00E+00 cm^-3") << "line " << i;
    for (int i : {15, 17, 19})
        EXPECT_EQ(l[i].substr(33), "0.0000 eV") << "line " << i;

    a.functionType = 1;
    EXPECT_EQ(a.obtainedResultsLines()[2], " Function Type:  S(T,Eref)=n(T)*exp(Eref/kT)/kT");
    a.functionType = 3;
    EXPECT_EQ(a.obtainedResultsLines()[2], " Function Type:  Unknown");
}

TEST(ObtainedResultsSummary, LabelsAreTheLinesWithoutValues)
{
    const std::vector<std::string> labels = Analysis::obtainedResultsLabels();
    const std::vector<std::string> lines = analysed().obtainedResultsLines();
    ASSERT_EQ(labels.size(), lines.size());
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(lines[i].compare(0, labels[i].size(), labels[i]), 0) << "line " << i;
    EXPECT_EQ(labels[14], "First Density:                   ");
    EXPECT_EQ(labels[2], " Function Type:  ");
}

TEST(ObtainedResultsSummary, ProposedNameFollowsFermiFileAndFunctionType)
{
    Analysis a;
    a.resetAll();
    EXPECT_EQ(a.obtainedResultsFileName(), "");
    a.experimentalDataFileName = "/data/run.2/s12.nT";
    EXPECT_EQ(a.obtainedResultsFileName(), "/data/run.2/s12.datH");
    a.fermiLevelFileName = "/data/run.2/s12b.fl";
    EXPECT_EQ(a.obtainedResultsFileName(), "/data/run.2/s12b.datH");
    a.functionType = 1;
    EXPECT_EQ(a.obtainedResultsFileName(), "/data/run.2/s12b.datS");
    // A dot in a folder name is not an extension.
    a.fermiLevelFileName = "/data/run.2/fermi";
    EXPECT_EQ(a.obtainedResultsFileName(), "/data/run.2/fermi.datS");
}

TEST(ObtainedResultsSummary, WriteUsesCrLfAndAFailureKeepsThePreviousFile)
{
    testfiles::TempDir dir;
    Analysis a = analysed();
    const std::string path = dir.file("s12.datH");
    ASSERT_TRUE(a.writeObtainedResults(path)) << a.lastError;
    bool bareLf = true;
    std::vector<std::string> read = testfiles::crlfLines(testfiles::readAll(path), &bareLf);
    EXPECT_FALSE(bareLf);
    EXPECT_EQ(read, a.obtainedResultsLines());

    const std::string before = testfiles::readAll(path);
    EXPECT_FALSE(a.writeObtainedResults(dir.file("missing/x.datH"), {"a"}));
    EXPECT_NE(a.lastError.find("missing/x.datH"), std::string::npos) << a.lastError;
    EXPECT_EQ(testfiles::readAll(path), before);

    ASSERT_TRUE(a.writeObtainedResults(path, {"only", ""}));
    EXPECT_EQ(testfiles::readAll(path), "only\r\n\r\n");
    EXPECT_TRUE(a.lastError.empty());
}

TEST(RemarksTexts, TextsForStagesTwoAndThree)
{
    Analysis a;
    a.resetAll();
    a.lowestThermalEnergy = 0.0025857; // kT at 30 K
    a.energyLevel[0] = 0.054321;
    a.stageCompensatingDensity = {-3.21e14, 4.567e15, 0, 0};
    std::array<std::string, 4> t;
    ASSERT_TRUE(a.remarksTexts(1, t));
    EXPECT_EQ(t[0], "The second energy level obtained in H2 may not be reliable.");
    EXPECT_EQ(t[1], "This is because the energy level is lower than 0.0026 eV, which is "
                    "corresponding to the lowest measurment temperature.");
    EXPECT_EQ(t[2], "Recommend that you evaluate the second energy level using a compensating "
                    "density of -3.21E+14 cm^-3.");
    EXPECT_EQ(t[3], "The negative compensating density means that energy levels shallower "
                    "than 0.0543 eV may exist.");

    ASSERT_TRUE(a.remarksTexts(2, t));
    EXPECT_EQ(t[0], "The third energy level obtained in H3 may not be reliable.");
    EXPECT_EQ(t[2], "Recommend that you evaluate the third energy level using a compensating "
                    "density of 4.57E+15 cm^-3.");
}

TEST(RemarksTexts, StageOneHasNoRecommendationAndOtherStagesChangeNothing)
{
    Analysis a;
    a.resetAll();
    std::array<std::string, 4> t{"a", "b", "c", "d"};
    ASSERT_TRUE(a.remarksTexts(0, t));
    EXPECT_EQ(t[0], "");
    EXPECT_NE(t[1].find("lower than 0.001 eV"), std::string::npos) << t[1];
    EXPECT_EQ(t[2], "");
    EXPECT_EQ(t[3], "");

    t = {"a", "b", "c", "d"};
    EXPECT_FALSE(a.remarksTexts(-1, t));
    EXPECT_FALSE(a.remarksTexts(3, t));
    EXPECT_EQ(t, (std::array<std::string, 4>{"a", "b", "c", "d"}));
}
