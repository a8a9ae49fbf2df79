// The material table and the effective density of states. The values of the
// table are binding as they stand: N_C0 and N_V0 are kept as stored numbers
// (rounded to three digits, and for gamma-CuBr belonging to a heavier
// electron mass) rather than recomputed from the masses.
#include "analysis/data/Analysis.h"
#include "analysis/data/Material.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include <cmath>

namespace material {

namespace {

// name, N_C0, N_V0, m_e, m_h, M_c, M_v, eps
const std::array<Row, namedRowCount + 1> rows = {{
    {"Si",          5.25e15, 2.19e15, 0.32, 0.59, 6, 1, 11.9},
    {"GaAs",        7.64e13, 1.81e15, 0.063, 0.52, 1, 1, 12.4},
    {"3C-SiC",      3e15, 2.25e15, 0.35, 0.6, 3, 1, 9.72},
    {"4H-SiC",      3.26e15, 4.83e15, 0.37, 1, 3, 1, 9.66},
    {"6H-SiC",      1.73e16, 4.83e15, 0.71, 1, 6, 1, 9.66},
    {"Ge",          1.99e15, 7.54e14, 0.22, 0.29, 4, 1, 16.2},
    {"AlN",         1.22e15, 9.43e16, 0.4, 7.26, 1, 1, 8.5},
    {"AlP",         5.75e15, 2.25e15, 0.54, 0.6, 3, 1, 9.8},
    {"AlAs",        2.87e15, 1.56e15, 0.34, 0.47, 3, 1, 10},
    {"AlSb",        5.12e15, 1.13e15, 0.5, 0.38, 3, 1, 12},
    {"BN",          9.41e15, 1.36e15, 0.75, 0.43, 3, 1, 7.1},
    {"alpha-GaN",   4.98e14, 8.87e15, 0.22, 1.5, 1, 1, 8.9},
    {"beta-GaN",    2.26e14, 8e15, 0.13, 1.4, 1, 1, 9.7},
    {"GaP",         7.95e15, 3.01e15, 0.67, 0.73, 3, 1, 11.1},
    {"GaSb",        4.01e13, 7.54e14, 0.041, 0.29, 1, 1, 15.7},
    {"InN",         2.01e14, 2.02e15, 0.12, 0.56, 1, 1, 9.3},
    {"InP",         1.07e14, 2.24e15, 0.079, 0.6, 1, 1, 12.6},
    {"InAs",        1.47e13, 1e15, 0.021, 0.35, 1, 1, 15.1},
    {"InSb",        8e12, 9.57e14, 0.014, 0.34, 1, 1, 16.8},
    {"Diamond",     1.25e16, 6.43e15, 0.57, 1.21, 6, 1, 5.7},
    {"CdS",         4.65e14, 3.46e15, 0.21, 0.8, 1, 1, 5.4},
    {"CdSe",        2.26e14, 1.46e15, 0.13, 0.45, 1, 1, 10},
    {"CdTe",        1.53e14, 1.09e15, 0.1, 0.37, 1, 1, 10.2},
    {"ZnO",         6.78e14, 1.17e16, 0.27, 1.8, 1, 1, 9},
    {"ZnS",         1.22e15, 4.83e15, 0.4, 1, 1, 1, 8.9},
    {"ZnSe",        2.53e14, 2.24e15, 0.14, 0.6, 1, 1, 9.2},
    {"ZnTe",        3.69e14, 2.53e15, 0.18, 0.65, 1, 1, 10.4},
    {"PbS",         4.98e14, 7.54e14, 0.22, 0.29, 1, 1, 17},
    {"PbSe",        2.01e14, 4.83e15, 0.12, 1, 1, 1, 210},
    {"PbTe",        3.39e14, 4.32e14, 0.17, 0.2, 1, 1, 30},
    {"gamma-CuCl",  1.71e15, 1.37e16, 0.5, 2, 1, 1, 7.9},
    {"gamma-CuBr",  1.01e15, 1.58e16, 0.21, 2.2, 1, 1, 6.4},
    {"gamma-CuI",   7.94e14, 1.8e16, 0.3, 2.4, 1, 1, 6.5},
    {"AgCl",        3.17e15, 4.83e15, 0.3, 1, 4, 1, 10},
    {"AgBr",        3.02e15, 4.83e15, 0.29, 1, 4, 1, 12.4},
    {"beta-AgI",    5.33e14, 4.83e15, 0.23, 1, 1, 1, 7},
    {"Ga2Se3",      1.38e17, 2.13e17, 9.35, 12.5, 1, 1, 10},
    {"In2Se3",      5.68e14, 4.83e15, 0.24, 1, 1, 1, 16.7},
    {"In2Te3",      8.26e15, 3.66e16, 1.43, 3.86, 1, 1, 12.3},
    {"CuAlTe2",     2.26e14, 2.77e15, 0.13, 0.69, 1, 1, 10.9},
    {"CuInS2",      2.51e13, 7.16e15, 0.03, 1.3, 1, 1, 10},
    {"CuInSe2",     1.24e14, 1.24e14, 0.087, 0.087, 1, 1, 15.2},
    {"ZnSiP2",      5.29e14, 1.22e15, 0.11, 0.4, 3, 1, 11.7},
    {"ZnGeP2",      1.76e14, 3.39e15, 0.11, 0.79, 1, 1, 15},
    {"ZnGeAs2",     6.92e13, 1.13e15, 0.059, 0.38, 1, 1, 15},
    {"ZnSnAs2",     5.08e13, 1e15, 0.048, 0.35, 1, 1, 15.6},
    {"ZnSnSb2",     1.91e13, 6.04e14, 0.025, 0.25, 1, 1, 15},
    {"CdSiAs2",     1.09e14, 5.35e15, 0.08, 1.07, 1, 1, 15},
    {"CdGeP2",      1.2e14, 2.02e15, 0.085, 0.56, 1, 1, 15},
    {"CdGeAs2",     6.4e14, 3.16e13, 0.26, 0.035, 1, 1, 18.4},
    {"CdSnAs2",     5.4e13, 1.71e15, 0.05, 0.5, 1, 1, 12.1},
    {"Cu3SbSe4",    4.83e15, 3.01e15, 1, 0.73, 1, 1, 10},
    {"CdIn2S4",     7.94e14, 4.83e15, 0.3, 1, 1, 1, 17},
    {"CdIn2Se4",    2.81e14, 4.83e15, 0.15, 1, 1, 1, 17},
    {"beta-B",      4.61e16, 1.17e16, 4.5, 1.8, 1, 1, 10.6},
    {"P",           5.68e14, 6.4e14, 0.24, 0.26, 1, 1, 10},
    {"Cu2O",        4.76e15, 2.13e15, 0.99, 0.58, 1, 1, 7.11},
    {"Cu2S",        4.83e15, 1.17e16, 1, 1.8, 1, 1, 11},
    {"Cu2Se",       4.83e15, 1.71e15, 1, 0.5, 1, 1, 11},
    {"Cu2Te",       4.83e15, 1.18e15, 1, 0.39, 1, 1, 11},
    {"Ag2O",        2.83e15, 1.26e16, 0.7, 1.9, 1, 1, 10},
    {"alpha-Ag2S",  4.84e16, 1.01e17, 4.65, 7.59, 1, 1, 10},
    {"beta-Ag2S",   5.33e14, 5.33e14, 0.23, 0.23, 1, 1, 10},
    {"Ag2Se",       8.74e14, 1.92e15, 0.32, 0.54, 1, 1, 10},
    {"alpha-Ag2Te", 2.02e13, 4.83e15, 0.026, 1, 1, 1, 10},
    {"beta-Ag2Te",  1.03e14, 8.87e15, 0.077, 1.5, 1, 1, 10},
    {"gamma-Ag2Te", 1.03e14, 8.87e15, 0.077, 1.5, 1, 1, 10},
    {"Mg2Si",       4.52e15, 3.92e15, 0.46, 0.87, 3, 1, 20},
    {"Mg2Ge",       1.11e15, 8.34e14, 0.18, 0.31, 3, 1, 21.7},
    {"Mg2Sn",       6.4e15, 1.53e14, 0.58, 0.1, 3, 1, 23.8},
    {"Zn3As4",      2.53e15, 1.07e16, 0.65, 1.7, 1, 1, 10},
    {"Cd3P2",       4.61e13, 1.92e15, 0.045, 0.54, 1, 1, 37},
    {"ZnSb",        2.81e14, 1.22e15, 0.15, 0.4, 1, 1, 10},
    {"CdSb",        2.24e15, 1.61e15, 0.6, 0.48, 1, 1, 16.4},
    {"Zn4Sb3",      4.83e15, 2.01e14, 1, 0.12, 1, 1, 10},
    {"HgI2",        4e15, 1.91e16, 0.35, 2.5, 4, 1, 8.3},
    {"GaS",         5.39e16, 4.83e15, 2.4, 1, 3, 1, 5.9},
    // any other name
    {"",             4.83e15, 4.83e15, 1, 1, 1, 1, 10},
}};

} // namespace

const std::array<Row, namedRowCount + 1>& table()
{
    return rows;
}

const Row& defaultRow()
{
    return rows[namedRowCount];
}

const Row& lookup(const std::string& name, bool& matched)
{
    for (int i = 0; i < namedRowCount; ++i) {
        if (name == rows[i].name) {
            matched = true;
            return rows[i];
        }
    }
    matched = false;
    return defaultRow();
}

std::vector<std::string> names()
{
    std::vector<std::string> out;
    out.reserve(namedRowCount);
    for (int i = 0; i < namedRowCount; ++i)
        out.emplace_back(rows[i].name);
    return out;
}

std::string dosEditText(double dos0, bool fromFermiLevelFile)
{
    return numfmt::pattern(dos0 / std::pow(phys::k, 1.5),
                           fromFermiLevelFile ? "0.0E+00" : numfmt::kDensityPattern);
}

} // namespace material

bool Analysis::isNType() const
{
    return conductionType == "n-type";
}

bool Analysis::isPType() const
{
    return conductionType == "p-type";
}

bool Analysis::canonicalConductionType(const std::string& text, std::string& canonical)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    const std::string t = text.substr(begin, end - begin);
    if (t.size() < 6)
        return false;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(t[0])));
    std::string rest = t.substr(t.size() - 4);
    for (char& c : rest)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string dash = t.substr(1, t.size() - 5);
    // The hyphen, or a dash that an editor or a word processor put there:
    // UTF-8 hyphens, dashes and minus signs, the Windows-1252 en and em dash
    // and the Latin-1 soft hyphen.
    static const char* const dashes[] = {"-", "\xE2\x80\x90", "\xE2\x80\x91", "\xE2\x80\x92",
                                         "\xE2\x80\x93", "\xE2\x80\x94", "\xE2\x88\x92",
                                         "\xEF\xB9\xA3", "\xEF\xBC\x8D", "\xC2\xAD", "\x96", "\x97", "\xAD"};
    if ((letter != 'n' && letter != 'p') || rest != "type" || std::find(std::begin(dashes), std::end(dashes), dash) == std::end(dashes))
        return false;
    canonical = letter == 'n' ? "n-type" : "p-type";
    return true;
}

std::string Analysis::conductionTypeRefusal(const std::string& text)
{
    return "the conduction type must be \"n-type\" or \"p-type\", not \"" + textfile::excerpt(text) + "\".";
}

bool Analysis::lookupMaterial()
{
    lastError.clear();
    bool matched = false;
    const material::Row& row = material::lookup(semiconductor, matched);
    conductionDos0 = row.conductionDos0;
    valenceDos0 = row.valenceDos0;
    electronMass = row.electronMass;
    holeMass = row.holeMass;
    conductionMinima = row.conductionMinima;
    valenceMaxima = row.valenceMaxima;
    dielectricConstant = row.dielectricConstant;
    // Anything but exactly "n-type" counts as p-type.
    if (isNType()) {
        dos0 = conductionDos0;
        effectiveMass = electronMass;
        equivalentMinima = conductionMinima;
    } else {
        dos0 = valenceDos0;
        effectiveMass = holeMass;
        equivalentMinima = valenceMaxima;
    }
    return matched;
}

bool Analysis::computeEffectiveDos()
{
    lastError.clear();
    // A non-positive mass would give NaN, a non-positive number of extrema a
    // zero or negative N_0; either would only fail later inside a logarithm.
    if (!(effectiveMass > 0) || !std::isfinite(effectiveMass)) {
        lastError = "The effective mass must be a positive number (it is " +
                    numfmt::general(effectiveMass) + ").";
        return false;
    }
    if (!(equivalentMinima > 0) || !std::isfinite(equivalentMinima)) {
        lastError = "The number of equivalent minima must be a positive number (it is " +
                    numfmt::general(equivalentMinima) + ").";
        return false;
    }
    const double base = 2 * phys::pi * phys::m0 * effectiveMass * phys::k / (phys::h * phys::h);
    dos0 = 2 * equivalentMinima * std::pow(base, 1.5) * 1e-6;
    return true;
}

bool Analysis::calculateEffectiveDos(double typedMass, double typedMinima)
{
    const double oldMass = effectiveMass;
    const double oldMinima = equivalentMinima;
    effectiveMass = typedMass;
    // A p-type sample always uses one valence-band maximum.
    equivalentMinima = isNType() ? typedMinima : 1;
    if (!computeEffectiveDos()) {
        effectiveMass = oldMass;
        equivalentMinima = oldMinima;
        return false;
    }
    return true;
}

std::string Analysis::effectiveDosText(bool fromFermiLevelFile) const
{
    return material::dosEditText(dos0, fromFermiLevelFile);
}
