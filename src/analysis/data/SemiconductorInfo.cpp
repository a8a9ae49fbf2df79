#include "analysis/data/SemiconductorInfo.h"

namespace seminfo {

namespace {

// "?" not reported; "4?" 4 and other values reported; "? (10)" not reported
// and tentatively taken as 10. The texts are shown exactly as they stand.
const Grid grid = {{
    {{"Material", "Electron mass [m0]", "ml [m0]", "mt [m0]", "Mc", "Hole mass [m0]", "mlh [m0]", "mhh [m0]", "Dielectric constant e)", "Crystal structure", "Band structure", "Bandgap [eV]", "References"}}, // 0
    {{"Si", "0.32", "0.92", "0.19", "6", "0.59", "0.15", "0.54", "11.9", "Diamond", "Indirect  a)", "1.12 (300 K)", "1), 2)"}}, // 1
    {{"GaAs", "0.063", "", "", "1", "0.52", "0.076", "0.50", "12.4", "Zinc-blende", "Direct", "1.42 (300 K)", "1)"}}, // 2
    {{"3C-SiC", "0.35", "0.68", "0.25", "3", "0.6", "?", "?", "9.72", "Zinc-blende", "Indirect c)", "2.36 (300 K)", "3)"}}, // 3
    {{"4H-SiC", "0.37", "0.29", "0.42", "3", "1 ?", "?", "?", "9.66", "Hexagonal", "Indirect c)", "3.23 (300 K)", "3)"}}, // 4
    {{"6H-SiC", "0.71", "2.0", "0.40", "6", "1 ?", "?", "?", "9.66", "Hexagonal", "Indirect a)", "3.00 (300 K)", "1), 3)"}}, // 5
    {{"Ge", "0.22", "1.57", "0.082", "4", "0.29", "0.04", "0.28", "16.2", "Diamond", "Indirect  b)", "0.66 (300 K)", "1), 2)"}}, // 6
    {{"AlN", "0.4", "", "", "1", "7.26", "?", "?", "8.5", "Wurtzite", "Direct", "6.2 (300 K)", "1), 3)"}}, // 7
    {{"AlP", "0.54", "3.61", "0.21", "3", "0.60", "0.21", "0.51", "9.8", "Zinc-blende", "Indirect  c)", "2.41 (300 K)", "1), 2)"}}, // 8
    {{"AlAs", "0.34", "1.1", "0.19", "3", "0.47", "0.15", "0.41", "10", "Zinc-blende", "Indirect  c)", "2.15 (300 K)", "1), 2)"}}, // 9
    {{"AlSb", "0.50", "1.8", "0.26", "3", "0.38", "0.12", "0.33", "12", "Zinc-blende", "Indirect  c)", "1.61 (300 K)", "1), 2)"}}, // 10
    {{"BN", "0.75", "?", "?", "3", "0.43", "0.15", "0.37", "7.1", "Zinc-blende", "Indirect  c)", "6.4 (300 K)", "1), 2)"}}, // 11
    {{"alpha-GaN", "0.22", "", "", "1", "1.5", "1.4", "0.3", "8.9", "Wurtzite", "Direct", "3.39 (300 K)", "1), 3)"}}, // 12
    {{"beta-GaN", "0.13", "", "", "1", "1.4", "1.3", "0.2", "9.7", "Zinc-blende", "Direct", "3.20 (300 K)", "1), 3)"}}, // 13
    {{"GaP", "0.67", "4.8", "0.25", "3", "0.73", "0.17", "0.67", "11.1", "Zinc-blende", "Indirect c)", "2.27 (300 K)", "1)"}}, // 14
    {{"GaSb", "0.041", "", "", "1", "0.29", "0.045", "0.28", "15.7", "Zinc-blende", "Direct", "0.75 (300 K)", "1)"}}, // 15
    {{"InN", "0.12", "", "", "1", "0.56", "0.17", "0.5", "9.3", "Wurtzite", "Direct", "1.89? (300 K)", "1), 3), 6)"}}, // 16
    {{"InP", "0.079", "", "", "1", "0.60", "0.12", "0.56", "12.6", "Zinc-blende", "Direct", "1.34 (300 K)", "1)"}}, // 17
    {{"InAs", "0.021", "", "", "1", "0.35", "0.026", "0.35", "15.1", "Zinc-blende", "Direct", "0.34 (300 K)", "1)"}}, // 18
    {{"InSb", "0.014", "", "", "1", "0.34", "0.016", "0.34", "16.8", "Zinc-blende", "Direct", "0.17 (300 K)", "1)"}}, // 19
    {{"Diamond", "0.57", "1.4", "0.36", "6", "1.21", "0.36", "1.08", "5.7", "Diamond", "Indirect  a)", "5.47 (300 K)", "1), 2)"}}, // 20
    {{"CdS", "0.21", "", "", "1", "0.80", "?", "?", "5.4", "Wurtzite", "Direct", "2.42 (300 K)", "1), 4)"}}, // 21
    {{"CdSe", "0.13", "", "", "1", "0.45", "?", "?", "10.0", "Zinc-blende", "Direct", "1.70 (300 K)", "1), 4)"}}, // 22
    {{"CdTe", "0.1", "", "", "1", "0.37", "?", "?", "10.2", "Zinc-blende", "Direct", "1.56 (300 K)", "1)"}}, // 23
    {{"ZnO", "0.27", "", "", "1", "1.8", "?", "?", "9.0", "Wurtzite", "Direct", "3.35 (300 K)", "1), 2), 6)"}}, // 24
    {{"ZnS", "0.40", "", "", "1", "?(1)", "?", "?", "8.9", "Wurtzite", "Direct", "3.68 (300 K)", "1)"}}, // 25
    {{"ZnSe", "0.14", "", "", "1", "0.6", "?", "?", "9.2", "Zinc-blende", "Direct", "2.82 (300 K)", "1)"}}, // 26
    {{"ZnTe", "0.18", "", "", "1", "0.65", "?", "?", "10.4", "Zinc-blende", "Direct", "2.40 (300 K)", "1)"}}, // 27
    {{"PbS", "0.22", "", "", "1", "0.29", "?", "?", "17.0", "Rocksalt", "Direct  d)", "0.41 (300 K)", "1), 5)"}}, // 28
    {{"PbSe", "0.12", "", "", "1", "? (1)", "?", "?", "210", "Rocksalt", "Direct  d)", "0.28 (300 K)", "6)"}}, // 29
    {{"PbTe", "0.17", "", "", "1", "0.20", "?", "?", "30.0", "Rocksalt", "Direct  d)", "0.31 (300 K)", "1), 5)"}}, // 30
    {{"gamma-CuCl", "0.50", "", "", "1", "2.0", "?", "?", "7.9", "Zinc-blende", "Direct", "3.40 (2 K)", "6)"}}, // 31
    {{"gamma-CuBr", "0.21", "", "", "1", "2.2", "1.15", "1.55", "6.4", "Zinc-blende", "Direct", "2.91 (300 K)", "6)"}}, // 32
    {{"gamma-CuI", "0.30", "", "", "1", "2.4", "?", "?", "6.5", "Zinc-blende", "Direct", "2.95 (300 K)", "6)"}}, // 33
    {{"AgCl", "0.30", "?", "?", "4", "? (1)", "?", "?", "10", "Rocksalt", "Inirect b)", "3.25 (1.8 K)", "6)"}}, // 34
    {{"AgBr", "0.29", "?", "?", "4", "? (1)", "?", "?", "12.4", "Rocksalt", "Inirect b)", "2.71 (1.8 K)", "6)"}}, // 35
    {{"beta-AgI", "0.23", "", "", "1", "? (1)", "?", "?", "7.0", "Wurtzite", "Direct", "3.02 (1.6 K)", "6)"}}, // 36
    {{"Ga2Se3", "9.35", "", "", "1", "12.5", "?", "?", "? (10)", "Zinc-blende", "Direct", "1.92 (300 K)", "6)"}}, // 37
    {{"In2Se3", "0.24", "", "", "1", "? (1)", "?", "?", "16.7", "Layer ?", "Direct", "1.3 (300 K)", "6)"}}, // 38
    {{"In2Te3", "1.43", "", "", "1", "3.86", "?", "?", "12.3", "Zinc-blende", "Direct", "1.09 (300 K)", "6)"}}, // 39
    {{"CuAlTe2", "0.13", "", "", "1", "0.69", "?", "?", "10.9", "Chalcopyrite", "Direct", "2.43 (300 K)", "6)"}}, // 40
    {{"CuInS2", "0.03", "", "", "1", "1.3", "?", "?", "? (10)", "Chalcopyrite", "Direct", "1.52 (300 K)", "6)"}}, // 41
    {{"CuInSe2", "0.087", "", "", "1", "0.087", "?", "?", "15.2", "Chalcopyrite", "Direct", "1.01 (300 K)", "6)"}}, // 42
    {{"ZnSiP2", "0.11", "?", "?", "3", "0.4", "?", "?", "11.7", "Chalcopyrite", "Indirect", "2.00 (300 K)", "6)"}}, // 43
    {{"ZnGeP2", "0.11", "", "", "1", "0.79", "?", "?", "? (15)", "Chalcopyrite", "Direct", "2.14", "6)"}}, // 44
    {{"ZnGeAs2", "0.059", "", "", "1", "0.38", "?", "?", "? (15)", "Chalcopyrite", "Direct", "1.15 (300 K)", "6)"}}, // 45
    {{"ZnSnAs2", "0.048", "", "", "1", "0.35", "?", "?", "15.6", "Chalcopyrite", "Direct", "0.745 (300 K)", "6)"}}, // 46
    {{"ZnSnSb2", "0.025", "", "", "1", "0.25?", "?", "?", "? (15)", "Chalcopyrite", "Direct", "0.7? (300 K)", "6)"}}, // 47
    {{"CdSiAs2", "0.08", "", "", "1", "1.07", "?", "?", "? (15)", "Chalcopyrite", "Direct", "1.55 (300 K)", "6)"}}, // 48
    {{"CdGeP2", "0.085", "", "", "1", "0.56", "?", "?", "? (15)", "Chalcopyrite", "Direct", "1.73 (300 K)", "6)"}}, // 49
    {{"CdGeAs2", "0.26", "", "", "1", "0.035", "?", "?", "18.4", "Chalcopyrite", "Direct", "0.57? (300 K)", "6)"}}, // 50
    {{"CdSnAs2", "0.05", "", "", "1", "0.5", "?", "?", "12.1", "Chalcopyrite", "Direct", "0.26? (300 K)", "6)"}}, // 51
    {{"Cu3SbSe4", "? (1)", "", "", "1", "0.73", "?", "?", "? (10)", "Famatinite", "Direct", "0.31 (300 K)", "6)"}}, // 52
    {{"CdIn2S4", "0.3 h)", "?", "?", "? (1)", "? (1)", "?", "?", "17", "Spinel", "Indirect", "2.21 (300 K)", "6)"}}, // 53
    {{"CdIn2Se4", "0.15", "", "", "1", "? (1)", "?", "?", "? (17)", "Spinel", "Direct", "1.83 (300 K)", "6)"}}, // 54
    {{"beta-B", "4.5", "", "", "1", "1.8", "?", "?", "10.6", "Beta-rhombohedral", "Direct", "1.50 (300 K)", "6)"}}, // 55
    {{"P", "0.24", "", "", "1", "0.26", "?", "?", "10", "?", "Direct", "0.31 (300 K)", "6)"}}, // 56
    {{"Cu2O", "0.99", "", "", "1", "0.58", "?", "?", "7.11", "Cubic", "Direct", "2.17 (4.2 K)", "6)"}}, // 57
    {{"Cu2S", "? (1)", "?", "?", "? (1)", "1.8", "?", "?", "? (11)", "Hexagonal-chalcocite", "Indirect", "1.21 (300 K)", "6)"}}, // 58
    {{"Cu2Se", "? (1)", "", "", "1", "0.5", "?", "?", "11", "Cubic", "Direct?", "1.20 (4.2 K)", "6)"}}, // 59
    {{"Cu2Te", "? (1)", "", "", "1", "0.39", "?", "?", "? (11)", "Hexagonal-chalcocite", "Direct", "0.8", "6)"}}, // 60
    {{"Ag2O", "0.7", "", "", "1", "1.9", "?", "?", "? (10)", "Cubic", "Direct", "1.2 (293 K)", "6)"}}, // 61
    {{"alpha-Ag2S", "4.65 h)", "?", "?", "? (1)", "7.59", "?", "?", "? (10)", "Tetramolecular?", "Indirect", "0.85 (300 K)", "6)"}}, // 62
    {{"beta-Ag2S", "0.23 h)", "?", "?", "? (1)", "0.23", "?", "?", "? (10)", "?", "?", "0.3", "6)"}}, // 63
    {{"Ag2Se", "0.32 h)", "?", "?", "? (1)", "0.54", "?", "?", "? (10)", "fcc or bcc", "?", "0.15 (293 K)", "6)"}}, // 64
    {{"alpha-Ag2Te", "0.026 h)", "?", "?", "? (1)", "? (1)", "?", "?", "? (10)", "Rhombic", "?", "0.67", "6)"}}, // 65
    {{"beta-Ag2Te", "0.077 h)", "?", "?", "? (1)", "1.5", "?", "?", "? (10)", "fcc", "?", "0.20 (500 K)", "6)"}}, // 66
    {{"gamma-Ag2Te", "0.077 h)", "?", "?", "? (1)", "1.5", "?", "?", "? (10)", "bcc", "?", "0.20 (500 K)", "6)"}}, // 67
    {{"Mg2Si", "0.46", "?", "?", "3", "0.87", "?", "?", "20", "Antifluotite", "Indirect c)", "0.77 (0 K)", "6)"}}, // 68
    {{"Mg2Ge", "0.18", "?", "?", "3", "0.31", "?", "?", "21.7", "Antifluotite", "Indirect c)", "0.55 (300 K)", "6)"}}, // 69
    {{"Mg2Sn", "0.58", "?", "?", "3", "0.10", "?", "?", "23.8", "Antifluotite", "Indirect c)", "0.23 (300 K)", "6)"}}, // 70
    {{"Zn3As4", "0.65", "", "", "1", "1.7", "?", "?", "10", "16 fcc?", "Direct", "0.86 (0 K)", "6)"}}, // 71
    {{"Cd3P2", "0.045", "", "", "1", "0.54", "0.13", "0.5", "37", "?", "Direct", "0.50 (300 K)", "6)"}}, // 72
    {{"ZnSb", "0.15", "0.175", "0.146", "? (1)", "0.4", "?", "?", "? (10)", "Sphalerite", "Indirect", "0.5 (300 K)", "6)"}}, // 73
    {{"CdSb", "0.6 h)", "?", "?", "? (1)", "0.48?", "?", "?", "16.4", "Sphalerite", "Indirect", "0.49 (300 K)", "6)"}}, // 74
    {{"Zn4Sb3", "? (1)", "?", "?", "? (1)", "0.12", "?", "?", "? (10)", "?", "?", "1.0 (0 K)", "6)"}}, // 75
    {{"HgI2", "0.35", "0.31", "0.37", "4?", "2.5?", "1.03?", "2.06?", "8.3", "Tetragonal", "Indirect f)", "2.14[direct] (300 K)", "6)"}}, // 76
    {{"GaS", "2.40", "?", "?", "3", "? (1)", "?", "?", "5.9", "Hexagonal", "Indirect g)", "2.58 (77 K)", "6)"}}, // 77
}};

const std::array<const char*, 6> referenceTexts = {
    "1) S. M. Sze and K. K. Ng, Physics of Semiconductor Devices, 3rd ed. (Wiley-Interscience, Hoboken, 2007).",
    "2) M. Levinshtein, S. Rumyantsev and M. Shur (eds.), Handbook Series on Semiconductor Parameters, "
    "Vols. 1 and 2 (World Scientific, Singapore, 1996 and 1999).",
    "3) M. E. Levinshtein, S. L. Rumyantsev and M. S. Shur (eds.), Properties of Advanced Semiconductor "
    "Materials: GaN, AlN, InN, BN, SiC, SiGe (Wiley, New York, 2001).",
    "4) M. Aven and J. S. Prener (eds.), Physics and Chemistry of II-VI Compounds (North-Holland, "
    "Amsterdam, 1967).",
    "5) Yu. I. Ravich, B. A. Efimova and I. A. Smirnov, Semiconducting Lead Chalcogenides (Plenum Press, "
    "New York, 1970).",
    "6) O. Madelung, Semiconductors: Data Handbook, 3rd ed. (Springer, Berlin, 2004).",
};

const std::array<const char*, 8> commentTexts = {
    "a) The lowest minima of the conduction band are located along the Delta-axes of the Brilliouin zone.",
    "b) The lowest minima of the conduction band are located at the L points of the Brillouin zone.",
    "c) The lowest minima of the conduction band are located at the X points of the Brillouin zone.",
    "d) The extrema of the conduction and valence bands are located at the L points of the Brillouin zone.",
    "e) This is the static dielectric constant.",
    "f) The energy bandgap occures along the Gamma-M direction.",
    "g) The lowest minima of the conduction band are located at the M points of the Brillouin zone.",
    "h) This is the electron effective mass of the density of state for all valleys of conduction band.",
};

const std::array<const char*, 4> noteTexts = {
    "Examples of symbols",
    "? : not reported.",
    "4? : 4 and other values are reported.",
    "?(10) : not reported, so tentatively assumed as 10 here.",
};

} // namespace

const Grid& cells()
{
    return grid;
}

const char* cell(int row, int column)
{
    if (row < 0 || row >= rowCount || column < 0 || column >= columnCount)
        return "";
    return grid[row][column];
}

const std::array<const char*, 6>& references()
{
    return referenceTexts;
}

const std::array<const char*, 8>& comments()
{
    return commentTexts;
}

const std::array<const char*, 4>& notes()
{
    return noteTexts;
}

} // namespace seminfo
