#include "analysis/data/Analysis.h"
#include "analysis/data/Material.h"
#include "analysis/data/SemiconductorInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

namespace {

struct Expected {
    std::string name;
    double nc0, nv0, me, mh, mc, mv, eps;
};

void expectRow(const material::Row& row, const Expected& e)
{
    SCOPED_TRACE(e.name);
    EXPECT_EQ(std::string(row.name), e.name);
    EXPECT_EQ(row.conductionDos0, e.nc0);
    EXPECT_EQ(row.valenceDos0, e.nv0);
    EXPECT_EQ(row.electronMass, e.me);
    EXPECT_EQ(row.holeMass, e.mh);
    EXPECT_EQ(row.conductionMinima, e.mc);
    EXPECT_EQ(row.valenceMaxima, e.mv);
    EXPECT_EQ(row.dielectricConstant, e.eps);
}

// 2 M (2 pi m m0 k / h^2)^1.5 * 1e-6 with the program's constants written out.
double handDos(double mass, double minima)
{
    const double base = 2 * 3.1415927 * mass * 9.1091e-31 * 1.38054e-23 / (6.6256e-34 * 6.6256e-34);
    return 2 * minima * base * std::sqrt(base) * 1e-6;
}

Analysis withMaterial(const std::string& name, const std::string& type)
{
    Analysis a;
    a.resetAll();
    a.semiconductor = name;
    a.conductionType = type;
    return a;
}

// The number an information cell starts with: "0.50", "0.3 h)", "4?", or
// the assumed value of "? (1)" / "?(1)". NaN for "?" and the like.
double cellNumber(const std::string& cell)
{
    std::size_t start = 0;
    if (!cell.empty() && cell[0] == '?') {
        start = cell.find('(');
        if (start == std::string::npos)
            return std::nan("");
        ++start;
    }
    char* end = nullptr;
    double v = std::strtod(cell.c_str() + start, &end);
    return end == cell.c_str() + start ? std::nan("") : v;
}

} // namespace

TEST(MaterialTable, HoldsTheNamedRowsInOrderAndTheDefaultRowLast)
{
    const auto& t = material::table();
    ASSERT_EQ(t.size(), 78u);
    expectRow(t[0], {"Si", 5.25e15, 2.19e15, 0.32, 0.59, 6, 1, 11.9});
    expectRow(t[1], {"GaAs", 7.64e13, 1.81e15, 0.063, 0.52, 1, 1, 12.4});
    expectRow(t[6], {"AlN", 1.22e15, 9.43e16, 0.4, 7.26, 1, 1, 8.5});
    expectRow(t[28], {"PbSe", 2.01e14, 4.83e15, 0.12, 1, 1, 1, 210});
    expectRow(t[31], {"gamma-CuBr", 1.01e15, 1.58e16, 0.21, 2.2, 1, 1, 6.4});
    expectRow(t[41], {"CuInSe2", 1.24e14, 1.24e14, 0.087, 0.087, 1, 1, 15.2});
    expectRow(t[56], {"Cu2O", 4.76e15, 2.13e15, 0.99, 0.58, 1, 1, 7.11});
    expectRow(t[75], {"HgI2", 4e15, 1.91e16, 0.35, 2.5, 4, 1, 8.3});
    expectRow(t[76], {"GaS", 5.39e16, 4.83e15, 2.4, 1, 3, 1, 5.9});
    const material::Row& d = material::defaultRow();
    EXPECT_EQ(&d, &t[77]);
    EXPECT_EQ(d.conductionDos0, 4.83e15);
    EXPECT_EQ(d.valenceDos0, 4.83e15);
    EXPECT_EQ(d.electronMass, 1);
    EXPECT_EQ(d.holeMass, 1);
    EXPECT_EQ(d.conductionMinima, 1);
    EXPECT_EQ(d.valenceMaxima, 1);
    EXPECT_EQ(d.dielectricConstant, 10);

    auto names = material::names();
    ASSERT_EQ(names.size(), 77u);
    EXPECT_EQ(names.front(), "Si");
    EXPECT_EQ(names[19], "Diamond");
    EXPECT_EQ(names[54], "beta-B");
    EXPECT_EQ(names.back(), "GaS");
    // Distinct names: otherwise a later row could never be selected.
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 77u);
}

// The stored densities of states follow from the masses and extrema (three
// digits; gamma-CuBr's N_C0 belongs to a heavier electron). A typo in any
// mass, number of extrema or N_0 breaks this.
TEST(MaterialTable, StoredDensitiesOfStatesAgreeWithTheirMasses)
{
    for (const material::Row& r : material::table()) {
        SCOPED_TRACE(r.name);
        if (std::string(r.name) != "gamma-CuBr") {
            EXPECT_NEAR(r.conductionDos0 / handDos(r.electronMass, r.conductionMinima), 1, 0.006);
        }
        EXPECT_NEAR(r.valenceDos0 / handDos(r.holeMass, r.valenceMaxima), 1, 0.006);
        EXPECT_GT(r.dielectricConstant, 1);
    }
}

TEST(MaterialTable, LookupIsExactAndFallsBackToTheDefaultRow)
{
    bool matched = false;
    EXPECT_STREQ(material::lookup("GaN", matched).name, material::defaultRow().name);
    EXPECT_FALSE(matched);
    for (const char* unknown : {"si", "Si ", "", "(any other name)", "Input name"}) {
        SCOPED_TRACE(unknown);
        matched = true;
        EXPECT_EQ(&material::lookup(unknown, matched), &material::defaultRow());
        EXPECT_FALSE(matched);
    }
    const material::Row& beta = material::lookup("beta-Ag2Te", matched);
    EXPECT_TRUE(matched);
    EXPECT_STREQ(beta.name, "beta-Ag2Te"); // not its twin gamma-Ag2Te
    EXPECT_EQ(&material::lookup("gamma-Ag2Te", matched), &material::table()[66]);
}

// The band the conduction type selects: only the exact text "n-type" takes
// the conduction band. An unknown name takes the default row and reports no
// match, with no error. The row's values replace whatever was in use.
TEST(MaterialLookup, SelectsTheBandByConductionTypeOrTheDefaultRow)
{
    struct Case {
        const char* type;
        bool matched, nType;
        Expected row;
        double dos0, mass, minima;
    } cases[] = {
        {"n-type", true, true, {"Si", 5.25e15, 2.19e15, 0.32, 0.59, 6, 1, 11.9}, 5.25e15, 0.32, 6},
        {"p-type", true, false, {"Si", 5.25e15, 2.19e15, 0.32, 0.59, 6, 1, 11.9}, 2.19e15, 0.59, 1},
        {"N-type", true, false, {"Mg2Sn", 6.4e15, 1.53e14, 0.58, 0.1, 3, 1, 23.8}, 1.53e14, 0.1, 1},
        {"n-type", false, true, {"si", 4.83e15, 4.83e15, 1, 1, 1, 1, 10}, 4.83e15, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row.name + " " + c.type);
        Analysis a = withMaterial(c.row.name, c.type);
        a.dielectricConstant = 3;
        a.dos0 = 1e10;
        EXPECT_EQ(a.lookupMaterial(), c.matched);
        EXPECT_TRUE(a.lastError.empty());
        EXPECT_EQ(a.isNType(), c.nType);
        EXPECT_EQ(a.dos0, c.dos0);
        EXPECT_EQ(a.effectiveMass, c.mass);
        EXPECT_EQ(a.equivalentMinima, c.minima);
        EXPECT_EQ(a.conductionDos0, c.row.nc0);
        EXPECT_EQ(a.valenceDos0, c.row.nv0);
        EXPECT_EQ(a.electronMass, c.row.me);
        EXPECT_EQ(a.holeMass, c.row.mh);
        EXPECT_EQ(a.conductionMinima, c.row.mc);
        EXPECT_EQ(a.valenceMaxima, c.row.mv);
        EXPECT_EQ(a.dielectricConstant, c.row.eps);
    }
}

TEST(EffectiveDos, FormulaAgreesWithHandValues)
{
    Analysis a;
    a.resetAll();
    a.effectiveMass = 1;
    a.equivalentMinima = 1;
    ASSERT_TRUE(a.computeEffectiveDos());
    // 2 (2 pi m0 k / h^2)^1.5 * 1e-6 = 4.8296e15 cm^-3 K^-1.5 for the free electron.
    EXPECT_NEAR(a.dos0, 4.82960e15, 1e10);
    EXPECT_NEAR(a.dos0, handDos(1, 1), a.dos0 * 1e-13);

    // N_0 grows as M m^1.5: Si electrons, six minima, round to the table value.
    a.effectiveMass = 0.32;
    a.equivalentMinima = 6;
    ASSERT_TRUE(a.computeEffectiveDos());
    EXPECT_NEAR(a.dos0, 6 * std::pow(0.32, 1.5) * 4.82960e15, 1e11);
    EXPECT_NEAR(a.dos0, 5.25e15, 0.005e15);
}

TEST(EffectiveDos, RejectsNonPositiveMassOrMinimaAndKeepsTheOldValue)
{
    Analysis a;
    a.resetAll();
    a.dos0 = 1.23e15;
    for (auto [mass, minima] : {std::pair{0.0, 1.0}, {-0.3, 1.0}, {0.3, 0.0}, {0.3, -2.0},
                                {std::nan(""), 1.0}}) {
        a.effectiveMass = mass;
        a.equivalentMinima = minima;
        EXPECT_FALSE(a.computeEffectiveDos());
        EXPECT_FALSE(a.lastError.empty());
        EXPECT_EQ(a.dos0, 1.23e15);
    }
    a.effectiveMass = 1;
    a.equivalentMinima = 1;
    EXPECT_TRUE(a.computeEffectiveDos());
    EXPECT_TRUE(a.lastError.empty());
}

TEST(EffectiveDos, CalculateFromTypedValuesIgnoresMinimaForPType)
{
    Analysis p = withMaterial("GaAs", "p-type");
    p.lookupMaterial();
    ASSERT_TRUE(p.calculateEffectiveDos(1, 6));
    EXPECT_EQ(p.effectiveMass, 1);
    EXPECT_EQ(p.equivalentMinima, 1);
    EXPECT_NEAR(p.dos0, 4.8296e15, 1e11);

    Analysis n = withMaterial("GaAs", "n-type");
    n.lookupMaterial();
    ASSERT_TRUE(n.calculateEffectiveDos(1, 6));
    EXPECT_EQ(n.equivalentMinima, 6);
    EXPECT_NEAR(n.dos0, 6 * 4.8296e15, 6e11);

    // A rejected calculation leaves the values in use untouched.
    EXPECT_FALSE(n.calculateEffectiveDos(-1, 2));
    EXPECT_EQ(n.effectiveMass, 1);
    EXPECT_EQ(n.equivalentMinima, 6);
    EXPECT_NEAR(n.dos0, 6 * 4.8296e15, 6e11);
}

// The edit shows N_0 / k^1.5 with k = 1.38054e-23 J/K, k^1.5 = 5.12948e-35.
TEST(EffectiveDosText, ShowsNZeroPerJouleToTheThreeHalves)
{
    EXPECT_EQ(material::dosEditText(4.8296e15), "9.42E+49");
    EXPECT_EQ(material::dosEditText(4.8e15), "9.36E+49");
    EXPECT_EQ(material::dosEditText(4.8e15, true), "9.4E+49");
    EXPECT_EQ(material::dosEditText(5.25e15), "1.02E+50");
    EXPECT_EQ(material::dosEditText(2.19e15), "4.27E+49");
    EXPECT_EQ(material::dosEditText(1.62e13, true), "3.2E+47");

    Analysis a = withMaterial("Si", "n-type");
    a.lookupMaterial();
    EXPECT_EQ(a.effectiveDosText(), "1.02E+50");
    EXPECT_EQ(a.effectiveDosText(true), "1.0E+50");
}

// The information window and the table are typed separately; the values the
// user reads must be the ones the computations use.
TEST(MaterialTable, InformationGridShowsTheSameMaterialsAndValues)
{
    const auto& grid = seminfo::cells();
    ASSERT_EQ(grid.size(), 78u);
    EXPECT_STREQ(grid[0][0], "Material");
    EXPECT_STREQ(grid[0][12], "References");
    for (int i = 0; i < material::namedRowCount; ++i) {
        const material::Row& r = material::table()[i];
        const auto& row = grid[i + 1];
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(row[0], r.name);
        EXPECT_EQ(cellNumber(row[1]), r.electronMass) << row[1];
        EXPECT_EQ(cellNumber(row[4]), r.conductionMinima) << row[4];
        EXPECT_EQ(cellNumber(row[5]), r.holeMass) << row[5];
        EXPECT_EQ(cellNumber(row[8]), r.dielectricConstant) << row[8];
        for (const char* text : row)
            ASSERT_NE(text, nullptr);
    }
    EXPECT_STREQ(seminfo::cell(78, 0), "");
    EXPECT_STREQ(seminfo::cell(1, -1), "");
}
