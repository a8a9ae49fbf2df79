// New experimental data that do not come from a data file: points typed into
// the data sheet, or columns taken from a measurement system's own text file.
// Both end in a new *.nT / *.pT file; everything is checked before the
// analysis object changes, and the object takes the new data only once the
// file has been written.
#pragma once

#include "analysis/data/Analysis.h"

#include <array>
#include <string>
#include <vector>

namespace dataentry {

// The sample description as typed into the data sheet or the converter; the
// three numbers are still texts (a text that is not a number stops the save).
struct SampleForm {
    std::string measurementName, measurementDate, analysisName, analysisDate;
    std::string semiconductor, conductionType, sampleNumber, comment;
    std::string thickness = "0", magneticField = "0", current = "0";
    bool operator==(const SampleForm&) const = default;
};

// Points ready to be written, in file order.
struct Points {
    DoubleArray temperature, concentration, reliability;
    // A Hall voltage conversion: current and field of each point (from their
    // columns; empty when the form's values hold for all points).
    DoubleArray current, field;
    std::size_t size() const { return temperature.size(); }
};

// What a save learned before the save dialog: either a refusal (one box) or
// everything needed to write the file.
struct SaveCheck {
    enum class Kind { Ready, ConversionError, Refused };
    Kind kind = Kind::Refused;
    std::string message;     // the box: conversion error or error
    std::string leftOutNote; // Ready: lines left out of a conversion (else empty)
    // Ready: the Hall coefficient changes its sign along the temperatures
    // (else empty). The converted file keeps the majority's type.
    std::string signChangeNote;
    Points points;
    SampleForm form;
    double thickness = 0, magneticField = 0, current = 0;
    // Ready: the save dialog's filter index (1 = *.nT, 2 = *.pT).
    int filterIndex = 0;
    bool ready() const { return kind == Kind::Ready; }
};

// ---- data sheet -------------------------------------------------------------

// The grid's data rows (row 1 of the sheet is index 0): temperature,
// concentration, reliability, as typed. The grid has sheetRows rows and
// grows for a larger data set or pasted block, so that editing never drops
// points.
constexpr int sheetRows = 299;
using SheetRow = std::array<std::string, 3>;
using Sheet = std::vector<SheetRow>;

// A cell counts as empty when it holds nothing but blanks.
bool cellEmpty(const std::string& cell);
// The rows that count: from the first row up to the row before the first
// empty temperature cell.
int filledRows(const Sheet& sheet);
// "Sort Data from Low T to High T": a selection sort of the filled rows by
// temperature, moving the cells as text; of equal temperatures the first
// stays first. False with `error` (conversion-error text, with the row and
// column) when a temperature is not a number; the sheet is then unchanged.
bool sortSheet(Sheet& sheet, std::string& error);
// Everything "Save (*.nT or *.pT)" checks, on a sorted copy of the sheet:
// numbers, positive temperatures and concentrations, the form's numbers and
// the conduction type. Negative reliabilities become 0. `sorted` receives
// the sorted rows once the temperatures sort, so that the row an error box
// names is the row the sheet then shows.
SaveCheck checkSheet(const Sheet& sheet, const SampleForm& form, Sheet& sorted);
// The texts the sheet shows for the points of `a`: every digit they hold, so
// that saving the sheet again writes the values as they were loaded.
Sheet sheetFromAnalysis(const Analysis& a);
// A block copied from a spreadsheet (rows at line ends, cells at tabs) or
// from a text file (cells at commas, semicolons or blanks, on a line without
// a tab) as rows of at most three cells. A row of two cells is a point without its
// reliability, which is then full ("1").
std::vector<std::vector<std::string>> parseClipboardBlock(const std::string& text);
// Rows of cells as a spreadsheet takes them: tabs between cells, a line end
// after each row.
std::string clipboardBlock(const std::vector<std::vector<std::string>>& rows);

// ---- conversion of a measurement system's text --------------------------------

// Column choice, 0-based; -1 matches no column. No reliability column gives
// every point full weight.
struct Columns {
    int temperature = -1;
    int concentration = -1;
    int reliability = -1;
    // What the concentration column holds. Instruments often write the Hall
    // coefficient R_H [cm^3/C] or the Hall voltage [V] (with the current
    // [A] and field of each point in columns of their own, or the form's
    // values, and the form's thickness) instead of the concentration; the
    // conversion takes n = hallFactor / (q |R_H|) and the conduction type
    // from the sign of R_H.
    enum class Quantity { Concentration, HallCoefficient, HallVoltage };
    Quantity quantity = Quantity::Concentration;
    int current = -1;        // Hall voltage: column of the current; -1 = the form's
    int field = -1;          // Hall voltage: column of the field; -1 = the form's
    double hallFactor = 1;   // r_H
    bool celsius = false;    // temperatures in degrees Celsius, else K
    bool gauss = false;      // fields (columns and form) in G, else T
};

// The leading decimal number of a token ("85K" gives 85); false when the token
// does not start with one.
bool leadingNumber(const std::string& token, double& value);
// The tokens of one line: leading control characters and blanks removed,
// split at blanks, tabs and commas (runs count as one separator).
std::vector<std::string> lineTokens(const std::string& line);
// Points of every line that holds a number in each chosen column, sorted by
// ascending temperature (the first of equal temperatures stays first);
// `leftOut` counts the other lines that hold something (comments, column
// titles, lines with fewer columns); blank lines are not counted.
Points convertColumns(const std::string& text, const Columns& columns, int& leftOut);
// The note for lines left out, empty when there are none.
std::string leftOutText(int leftOut);
// The concentration and conduction type of points whose concentration
// column holds R_H or the Hall voltage (see Columns): `points.concentration`
// becomes n = r_H / (q |R_H|), the form's conduction type the sign's
// (negative R_H: n-type), its comment states the Hall factor, its field T.
// False with a message for a non-positive Hall factor, a thickness, current
// or field that makes R_H unknown, R_H = 0, or a conduction type given
// that the sign contradicts. `signChange` receives the warning when the sign
// changes along the temperatures (hopping or two-carrier conduction).
bool hallConcentrations(Points& points, const Columns& columns, SampleForm& form, std::string& message,
                        std::string& signChange);
// Everything "Save (*.nT or *.pT)" of the converter checks: at least two
// points, the form's numbers, the conduction type.
SaveCheck checkConversion(const std::string& text, const Columns& columns, const SampleForm& form);

// ---- writing ------------------------------------------------------------------

// The name the save dialog proposes for a conversion: the source with the
// extension of the conduction type (".nT", filter 1; ".pT", filter 2).
std::string conversionProposal(const std::string& sourceFileName, int filterIndex);
// The name proposed for typed data: the sample number (characters no file
// name holds become "_"; "sample" when there is none) with the extension of
// the conduction type, in the folder of `besideFile` when one is given.
std::string sampleProposal(const std::string& sampleNumber, const std::string& besideFile, int filterIndex);

// Whether the data start a new sample (keyboard entry, conversion: the
// general reset first) or replace the points of the sample in use ("Change
// Data": function type, mode and original file stay).
enum class Replace { NewSample, SameSample };

// Writes the checked data to `path`: on success `a` holds the form, the
// points and the file's name, reset from the stage the outcome names; on failure `a`
// is unchanged and the error names the file. `originalFileName` is the
// converted file's path (empty for the sheet); a SameSample save keeps the
// one in use.
FileOutcome saveNewData(Analysis& a, const SaveCheck& checked, const std::string& path,
                        const std::string& originalFileName, Replace replace = Replace::NewSample);

} // namespace dataentry
