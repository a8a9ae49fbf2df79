// Number texts of the program: the general format of the file headers, the
// printf "%g" table format and the display patterns of the windows. Always
// "." as decimal point, whatever the user's locale.
#pragma once

#include <string>

namespace numfmt {

// Up to 15 significant digits, no trailing zeros, "E" notation for large or
// small magnitudes without "+" or leading exponent zeros (500, 0.5, 1E-6, 1E20).
std::string general(double value);

// printf "%g": 6 significant digits, exponent written as e+16.
std::string g(double value);
// As g, with more significant digits (up to 17) only where 6 would not read
// back as the same double: a number typed or loaded with more digits is
// written without losing any of them.
std::string exact(double value);

// Decimal display pattern: "0" mandatory digit, "#" optional digit, "." the
// decimal point, "E+00" / "E-00" a signed exponent (sign always / only when
// negative) with at least as many digits as zeros. Examples: "0.00E+00",
// "0.####", "#0.000", "000.0". Rounds half away from zero.
std::string pattern(double value, const std::string& pattern);

// The display patterns of the program, named once so that windows, files and
// the batch tables cannot drift apart: densities (and peak values, factors in
// cm^-3) with three significant digits, energies in eV to 0.1 meV, degeneracy
// factors to two decimals.
inline constexpr const char* kDensityPattern = "0.00E+00";
inline constexpr const char* kEnergyPattern = "0.####";
inline constexpr const char* kDegeneracyPattern = "0.##";
std::string density(double value);
std::string energy(double value);
std::string degeneracy(double value);
// Three significant digits like a density, for other quantities so shown
// (the best model's residual RMS in log10 n).
std::string threeDigits(double value);

// Locale-independent parsing. Leading and trailing blanks are allowed, the
// rest must be one number. Accepts every form the writers above produce.
bool parseDouble(const std::string& text, double& value);
bool parseInt(const std::string& text, int& value);

// Error message for a text that is not a valid number, in the words the
// conversion-error box uses.
std::string notValidFloat(const std::string& text);
std::string notValidInteger(const std::string& text);

} // namespace numfmt
