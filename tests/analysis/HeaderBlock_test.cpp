#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

Analysis sample()
{
    Analysis a;
    a.resetAll();
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.originalFileName = "";
    a.experimentalDataFileName = "/d/s.nT";
    a.splineFileName = "/d/s.spl";
    a.fermiLevelFileName = "/d/s.fl";
    a.experimentalFermiLevelFileName = "/d/s.flE";
    a.h1FileName = "/d/s.H1";
    a.experimentalH2FileName = "/d/s.H2E";
    a.sampleNumber = "";
    a.semiconductor = "Si";
    a.conductionType = "p-type";
    a.sampleThickness = 500;
    a.magneticField = 0.5;
    a.current = 1e-6;
    a.dataCount = 12;
    a.firstDataIndex = 1;
    a.lastDataIndex = 11;
    a.splineCount = 2151;
    a.smoothness = 5000;
    a.effectiveMass = 0.81;
    a.equivalentMinima = 1;
    a.dos0 = 4.83e15;
    a.fermiLevelComment = "heavy and light holes";
    return a;
}

std::vector<std::string> header(const Analysis& a, const HeaderOptions& o)
{
    std::ostringstream out;
    a.writeHeaderBlock(out, o);
    bool bareLf = true;
    auto lines = testfiles::crlfLines(out.str(), &bareLf);
    EXPECT_FALSE(bareLf);
    return lines;
}

const std::vector<std::string> sampleGroup = {
    "% Name of measurement: ", "% Date of measurement: ", "% Name of analysis: ",
    "% Date of Analysis: ", "% Sample number: ", "% Semiconductor: Si",
    "% Conduction type: p-type", "% Sample thickness [micron]: 500", "% Magnetic Field [T]: 0.5",
    "% Current [A]: 1E-6", "% Number of data: 12", "% "};
const std::vector<std::string> splineGroup = {
    "% Index of beginning data: 1", "% Index of ending data: 11",
    "% Number of data for analysis: 2151", "% Smoothness: 5000"};
const std::vector<std::string> materialGroup = {
    "% Effective mass: 0.81", "% Equivalent minima: 1",
    "% Effective density of states/T^(3/2): 4.83E15", "% heavy and light holes"};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(HeaderBlock, ExperimentalDataLayout)
{
    HeaderOptions o;
    o.title = "% Data of Hall-Effect Measurement";
    o.sampleGroup = true;
    auto expected = join({{"% Data of Hall-Effect Measurement", "% Version Information: Version 1.7.1 (2017/8/23)",
                           "% Original file: ", "% Experimental data file: /d/s.nT"},
                          sampleGroup});
    EXPECT_EQ(header(sample(), o), expected);
}

TEST(HeaderBlock, SplineLayout)
{
    HeaderOptions o;
    o.title = "% Data for Hall-Effect Analysis";
    o.splineFileLine = o.sampleGroup = o.splineGroup = true;
    auto lines = header(sample(), o);
    auto expected = join({{"% Data for Hall-Effect Analysis", "% Version Information: Version 1.7.1 (2017/8/23)",
                           "% Original file: ", "% Experimental data file: /d/s.nT",
                           "% File of data for analysis: /d/s.spl"},
                          sampleGroup, splineGroup});
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines.size(), 21u);
}

TEST(HeaderBlock, FermiLevelLayoutsNameTheirOwnFile)
{
    Analysis a = sample();
    HeaderOptions o;
    o.title = "% Temperature dependence of Fermi level";
    o.splineFileLine = o.fermiFileLine = o.sampleGroup = o.splineGroup = o.materialGroup = true;
    o.fermiFileValue = a.fermiLevelFileName;
    auto expected = join({{"% Temperature dependence of Fermi level",
                           "% Version Information: Version 1.7.1 (2017/8/23)", "% Original file: ",
                           "% Experimental data file: /d/s.nT", "% File of data for analysis: /d/s.spl",
                           "% Fermi level file: /d/s.fl"},
                          sampleGroup, splineGroup, materialGroup});
    EXPECT_EQ(header(a, o), expected);
    o.fermiFileValue = a.experimentalFermiLevelFileName;
    expected[5] = "% Fermi level file: /d/s.flE";
    EXPECT_EQ(header(a, o), expected);
}

TEST(HeaderBlock, ExperimentalStage2Layout)
{
    Analysis a = sample();
    HeaderOptions o;
    o.title = "% Second Analysis (Automatic Evaluation Version " + a.evaluationType + " )";
    o.functionTypeLine = o.splineFileLine = o.fermiFileLine = true;
    o.sampleGroup = o.splineGroup = o.materialGroup = true;
    o.fermiFileValue = a.fermiLevelFileName;
    o.ownFileLines = {{"% H1 file: ", a.h1FileName}, {"% H2 file: ", a.experimentalH2FileName}};
    auto expected = join({{"% Second Analysis (Automatic Evaluation Version Type-B )",
                           "% Version Information: Version 1.7.1 (2017/8/23)",
                           "% Function Type: H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5", "% Original file: ",
                           "% Experimental data file: /d/s.nT", "% File of data for analysis: /d/s.spl",
                           "% Fermi level file: /d/s.fl", "% H1 file: /d/s.H1", "% H2 file: /d/s.H2E"},
                          sampleGroup, splineGroup, materialGroup});
    EXPECT_EQ(header(a, o), expected);
}

TEST(HeaderBlock, FunctionTypeTextsAndDegeneracyVariants)
{
    Analysis a = sample();
    HeaderOptions o;
    o.title = "t";
    o.functionTypeLine = true;
    a.functionType = 1;
    EXPECT_EQ(header(a, o)[2], "% Function Type: S(T,Eref)=n(T)*exp(Eref/kT)/kT");
    a.functionType = 7;
    EXPECT_EQ(header(a, o)[2], "% Function Type: Unknown");

    HeaderOptions d;
    d.title = "% Differential Hall Effect Spectroscopy (DHES)";
    d.materialWithDegeneracyInside = true;
    d.degeneracy = 4;
    auto lines = header(a, d);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[6], "% Effective density of states/T^(3/2): 4.83E15");
    EXPECT_EQ(lines[7], "% Degeneracy factor: 4");
    EXPECT_EQ(lines[8], "% heavy and light holes");

    HeaderOptions c;
    c.title = "% Only One Impurity";
    c.materialGroup = c.degeneracyAfterMaterial = true;
    c.degeneracy = 0.5;
    lines = header(a, c);
    EXPECT_EQ(lines.back(), "% Degeneracy factor: 0.5");
    EXPECT_EQ(lines[lines.size() - 2], "% heavy and light holes");
}
