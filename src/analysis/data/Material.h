// The semiconductor material table: effective densities of states, masses,
// numbers of equivalent band extrema and dielectric constants of 77
// semiconductors, plus the row used for any other material. The rows are
// searched in this order; their values are stored, not recomputed, because
// results of earlier versions were obtained with exactly these numbers.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace material {

struct Row {
    const char* name;          // compared byte for byte with `semiconductor`
    double conductionDos0;     // N_C0 [cm^-3 K^-1.5]
    double valenceDos0;        // N_V0 [cm^-3 K^-1.5]
    double electronMass;       // m_e / m0
    double holeMass;           // m_h / m0
    double conductionMinima;   // equivalent conduction-band minima M_c
    double valenceMaxima;      // equivalent valence-band maxima M_v
    double dielectricConstant; // relative, static
};

constexpr int namedRowCount = 77;

// The 77 named rows in search order followed by the default row.
const std::array<Row, namedRowCount + 1>& table();
// The row that applies when no name matches (last entry of table()).
const Row& defaultRow();

// First row whose name equals `name` exactly (case-sensitive); the default
// row when there is none. `matched` tells which of the two it was.
const Row& lookup(const std::string& name, bool& matched);

// The 77 names in table order: the choices of the semiconductor lists of the
// data sheet and the converter (which add their own "Input name" entry).
std::vector<std::string> names();

// Text of the effective-density-of-states edit: N_0 / k^1.5 (k in J/K), that
// is N_0 per (kT)^1.5 with kT in joules. Computed or looked-up values show
// with numfmt::kDensityPattern; a value restored from a Fermi-level file with "0.0E+00".
std::string dosEditText(double dos0, bool fromFermiLevelFile = false);

} // namespace material
