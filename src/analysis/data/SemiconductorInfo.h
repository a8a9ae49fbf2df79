// Texts of the semiconductor information window: the reference grid of 78
// rows (row 0 the column titles) by 13 columns (column 0 the material), the
// bibliography, the footnotes and the notes on the symbols. Display only: the
// computations take their values from the material table (Material.h).
#pragma once

#include <array>

namespace seminfo {

constexpr int rowCount = 78;
constexpr int columnCount = 13;

using Grid = std::array<std::array<const char*, columnCount>, rowCount>;

// Every cell; empty cells hold "".
const Grid& cells();
// Empty text for a row or column outside the grid.
const char* cell(int row, int column);

// "1) ..." to "6) ...": the handbooks the last grid column refers to.
const std::array<const char*, 6>& references();
// "a) ..." to "h) ...": the footnotes the cells refer to.
const std::array<const char*, 8>& comments();
// The explanation of the symbols "?", "4?" and "?(10)".
const std::array<const char*, 4>& notes();

} // namespace seminfo
