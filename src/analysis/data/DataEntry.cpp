#include "analysis/data/DataEntry.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <utility>

namespace dataentry {

namespace {

// Selection sort by temperature over `count` entries: the first of equal
// minima is taken, so equal temperatures keep their order unless a smaller
// one is swapped past them.
template <class Less, class Swap> void selectionSort(int count, Less less, Swap swap)
{
    for (int p = 0; p + 1 < count; ++p) {
        int smallest = p;
        for (int q = p + 1; q < count; ++q)
            if (less(q, smallest))
                smallest = q;
        if (smallest != p)
            swap(p, smallest);
    }
}

SaveCheck conversionError(const std::string& text)
{
    SaveCheck c;
    c.kind = SaveCheck::Kind::ConversionError;
    c.message = numfmt::notValidFloat(text);
    return c;
}

// Where a refused value sits, as the user finds it on the sheet.
std::string cellPlace(int row, int column)
{
    static const char* const titles[3] = {"Temperature [K]", "Concentration [cm^-3]", "Reliability [0<= r <=1]"};
    return "\n(row " + std::to_string(row + 1) + ", column \"" + titles[column] + "\")";
}

SaveCheck refused(const std::string& text)
{
    SaveCheck c;
    c.kind = SaveCheck::Kind::Refused;
    c.message = text;
    return c;
}

// The form's numbers and conduction type, after the points passed.
SaveCheck checkForm(Points points, const SampleForm& form)
{
    SaveCheck c;
    struct Field {
        const std::string* text;
        double* value;
        const char* name;
    };
    for (const Field& f : {Field{&form.thickness, &c.thickness, "Thickness"},
                           Field{&form.magneticField, &c.magneticField, "Magnetic Field"},
                           Field{&form.current, &c.current, "Current"}})
        if (!numfmt::parseDouble(*f.text, *f.value)) {
            SaveCheck e = conversionError(*f.text);
            e.message += std::string("\n(field \"") + f.name + "\")";
            return e;
        }
    std::string type;
    if (!Analysis::canonicalConductionType(form.conductionType, type))
        return refused("Please input the conduction type");
    c.filterIndex = type == "n-type" ? 1 : 2;
    // The values the data file's reader accepts, so that every saved file loads.
    if (points.size() > static_cast<std::size_t>(physical::maxDataCount))
        return refused(std::to_string(points.size()) + " points are too many: at most " +
                       std::to_string(physical::maxDataCount) + " are analysed.");
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::string bad = physical::temperatureProblem(points.temperature[i]);
        if (bad.empty())
            bad = physical::concentrationProblem(points.concentration[i]);
        if (!bad.empty()) {
            bad[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(bad[0])));
            return refused(bad + " (point " + std::to_string(i + 1) + ")\n Check the Data!");
        }
    }
    c.kind = SaveCheck::Kind::Ready;
    c.points = std::move(points);
    c.form = form;
    c.form.conductionType = type;
    return c;
}

bool isSeparator(char ch) { return ch == ' ' || ch == '\t' || ch == ','; }

} // namespace

// ---- data sheet ---------------------------------------------------------------

bool cellEmpty(const std::string& cell)
{
    for (char ch : cell)
        if (ch != ' ' && ch != '\t')
            return false;
    return true;
}

int filledRows(const Sheet& sheet)
{
    int n = 0;
    while (n < static_cast<int>(sheet.size()) && !cellEmpty(sheet[n][0]))
        ++n;
    return n;
}

bool sortSheet(Sheet& sheet, std::string& error)
{
    const int n = filledRows(sheet);
    std::vector<double> t(n);
    for (int i = 0; i < n; ++i)
        if (!numfmt::parseDouble(sheet[i][0], t[i])) {
            error = numfmt::notValidFloat(sheet[i][0]) + cellPlace(i, 0);
            return false;
        }
    selectionSort(
        n, [&](int a, int b) { return t[a] < t[b]; },
        [&](int a, int b) {
            std::swap(t[a], t[b]);
            std::swap(sheet[a], sheet[b]);
        });
    return true;
}

SaveCheck checkSheet(const Sheet& sheet, const SampleForm& form, Sheet& sorted)
{
    Sheet rows = sheet;
    std::string error;
    if (!sortSheet(rows, error)) {
        SaveCheck c;
        c.kind = SaveCheck::Kind::ConversionError;
        c.message = error;
        return c;
    }
    // The sheet shows the sorted rows from here on, so that the rows an
    // error names are the rows the user sees.
    sorted = rows;
    Points p;
    const int n = filledRows(rows);
    for (int i = 0; i < n; ++i) {
        double v[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k)
            if (!numfmt::parseDouble(rows[i][k], v[k])) {
                SaveCheck e = conversionError(rows[i][k]);
                e.message += cellPlace(i, k);
                return e;
            }
        p.temperature.push_back(v[0]);
        p.concentration.push_back(v[1]);
        p.reliability.push_back(v[2]);
    }
    for (int i = 0; i < n; ++i) {
        if (p.temperature[i] <= 0)
            return refused("Temprature is below 0 K \n Check the Data!" + cellPlace(i, 0));
        if (p.concentration[i] <= 0)
            return refused("Concentration is zero or negative \n Check the Data!" + cellPlace(i, 1));
    }
    for (double& r : p.reliability)
        if (r < 0)
            r = 0;
    return checkForm(std::move(p), form);
}

Sheet sheetFromAnalysis(const Analysis& a)
{
    Sheet s;
    const std::size_t n = std::min<std::size_t>(
        {static_cast<std::size_t>(std::max(a.dataCount, 0)), a.temperature.size(),
         a.concentration.size(), a.reliability.size()});
    for (std::size_t i = 0; i < n; ++i)
        s.push_back({numfmt::exact(a.temperature[i]), numfmt::exact(a.concentration[i]),
                     numfmt::exact(a.reliability[i])});
    return s;
}

std::vector<std::vector<std::string>> parseClipboardBlock(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    textfile::LineReader reader(text);
    std::string_view line;
    while (reader.next(line)) {
        std::vector<std::string> cells;
        std::size_t from = 0;
        // Without a tab the cells are separated as a text file's columns:
        // commas, semicolons and blanks (the decimal point is ".").
        if (line.find('\t') == std::string_view::npos) {
            const auto separator = [](char ch) { return ch == ',' || ch == ';' || ch == ' '; };
            std::size_t i = 0;
            while (i < line.size()) {
                while (i < line.size() && separator(line[i]))
                    ++i;
                std::size_t j = i;
                while (j < line.size() && !separator(line[j]))
                    ++j;
                if (j > i)
                    cells.emplace_back(line.substr(i, j - i));
                i = j;
            }
            if (cells.empty())
                cells.emplace_back();
        } else {
            while (true) {
                const std::size_t tab = line.find('\t', from);
                cells.emplace_back(line.substr(from, tab == std::string_view::npos ? line.npos : tab - from));
                if (tab == std::string_view::npos)
                    break;
                from = tab + 1;
            }
        }
        if (cells.size() > 3)
            cells.resize(3);
        if (cells.size() == 2 && !cellEmpty(cells[0]))
            cells.push_back("1");
        rows.push_back(std::move(cells));
    }
    // A spreadsheet ends the copied block with a line end; the empty line
    // after it is no row.
    while (!rows.empty() && rows.back().size() == 1 && rows.back()[0].empty())
        rows.pop_back();
    return rows;
}

std::string clipboardBlock(const std::vector<std::vector<std::string>>& rows)
{
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k)
            out += (k ? "\t" : "") + row[k];
        out += "\n";
    }
    return out;
}

// ---- conversion -----------------------------------------------------------------

bool leadingNumber(const std::string& token, double& value)
{
    const char* b = token.data();
    const char* e = b + token.size();
    if (b != e && *b == '+') {
        ++b;
        if (b != e && *b == '-')
            return false;
    }
    // A digit or a point must open the number: "inf" and "nan" are words,
    // not measured values.
    const char* digits = b != e && *b == '-' ? b + 1 : b;
    if (digits == e || !(*digits == '.' || (*digits >= '0' && *digits <= '9')))
        return false;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(b, e, v, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

std::vector<std::string> lineTokens(const std::string& line)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) < 33)
        ++i;
    while (i < line.size()) {
        while (i < line.size() && isSeparator(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isSeparator(line[i]))
            ++i;
        if (i > start)
            tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

Points convertColumns(const std::string& text, const Columns& columns, int& leftOut)
{
    Points p;
    leftOut = 0;
    textfile::LineReader reader(text);
    std::string_view view;
    while (reader.next(view)) {
        const std::vector<std::string> tokens = lineTokens(std::string(view));
        if (tokens.empty())
            continue;
        auto number = [&](int column, double& v) {
            return column >= 0 && column < static_cast<int>(tokens.size()) &&
                   leadingNumber(tokens[column], v);
        };
        double t = 0, n = 0, r = 1, i = 0, b = 0;
        const bool voltage = columns.quantity == Columns::Quantity::HallVoltage;
        const bool ownCurrent = voltage && columns.current >= 0, ownField = voltage && columns.field >= 0;
        if (!number(columns.temperature, t) || !number(columns.concentration, n) ||
            (columns.reliability >= 0 && !number(columns.reliability, r)) ||
            (ownCurrent && !number(columns.current, i)) || (ownField && !number(columns.field, b))) {
            ++leftOut;
            continue;
        }
        p.temperature.push_back(columns.celsius ? t + 273.15 : t);
        p.concentration.push_back(n);
        p.reliability.push_back(r < 0 ? 0 : r);
        if (ownCurrent)
            p.current.push_back(i);
        if (ownField)
            p.field.push_back(b);
    }
    selectionSort(
        static_cast<int>(p.size()), [&](int a, int b) { return p.temperature[a] < p.temperature[b]; },
        [&](int a, int b) {
            std::swap(p.temperature[a], p.temperature[b]);
            std::swap(p.concentration[a], p.concentration[b]);
            std::swap(p.reliability[a], p.reliability[b]);
            if (!p.current.empty())
                std::swap(p.current[a], p.current[b]);
            if (!p.field.empty())
                std::swap(p.field[a], p.field[b]);
        });
    return p;
}

bool hallConcentrations(Points& p, const Columns& columns, SampleForm& form, std::string& message,
                        std::string& signChange)
{
    using Q = Columns::Quantity;
    signChange.clear();
    const double fieldToTesla = columns.gauss ? 1e-4 : 1.0;
    if (columns.quantity == Q::Concentration) {
        double field = 0;
        if (columns.gauss && numfmt::parseDouble(form.magneticField, field))
            form.magneticField = numfmt::general(field * fieldToTesla);
        return true;
    }
    constexpr double q = 1.602176634e-19; // elementary charge [C]
    if (!(columns.hallFactor > 0) || !std::isfinite(columns.hallFactor)) {
        message = "The Hall factor r_H must be a positive number.";
        return false;
    }
    double thickness = 0, current = 0, field = 0;
    if (!numfmt::parseDouble(form.thickness, thickness) || !numfmt::parseDouble(form.current, current) ||
        !numfmt::parseDouble(form.magneticField, field)) {
        message = "The sample thickness, magnetic field and current must be numbers.";
        return false;
    }
    int negative = 0, positive = 0;
    std::string firstChange;
    for (std::size_t k = 0; k < p.size(); ++k) {
        double rh = p.concentration[k];
        if (columns.quantity == Q::HallVoltage) {
            // R_H = V_H d / (I B); with d in micron and B in T it comes in cm^3/C.
            const double i = p.current.empty() ? current : p.current[k];
            const double b = (p.field.empty() ? field : p.field[k]) * fieldToTesla;
            rh = p.concentration[k] * thickness / (i * b);
        }
        if (!(rh != 0) || !std::isfinite(rh)) {
            message = "The Hall coefficient at T = " + numfmt::general(p.temperature[k]) +
                      " K is 0 or not a number (Hall voltage, current, field and thickness give it).";
            return false;
        }
        const bool isNegative = rh < 0;
        if (k > 0 && isNegative != (p.concentration[k - 1] < 0) && firstChange.empty())
            firstChange = numfmt::general(p.temperature[k - 1]) + " K and " + numfmt::general(p.temperature[k]) + " K";
        (isNegative ? negative : positive) += 1;
        // The sign stays in the value until all points are seen.
        p.concentration[k] = std::copysign(columns.hallFactor / (q * std::fabs(rh)), rh);
    }
    const std::string type = negative >= positive ? "n-type" : "p-type";
    if (!form.conductionType.empty() && form.conductionType != type) {
        message = "The sign of the Hall coefficient gives " + std::string(type[0] == 'n' ? "an " : "a ") + type +
                  " sample, not " + form.conductionType + ".";
        return false;
    }
    if (!firstChange.empty())
        signChange = "The Hall coefficient changes its sign between " + firstChange +
                     ": hopping or two-carrier conduction there, where n = r_H/(q|R_H|) is not the carrier "
                     "concentration; the file is " + type + " as most points are.";
    for (double& n : p.concentration)
        n = std::fabs(n);
    form.conductionType = type;
    form.magneticField = numfmt::general(field * fieldToTesla);
    const std::string note = "Hall factor r_H = " + numfmt::general(columns.hallFactor) +
                             "; n = r_H/(q|R_H|) from the " +
                             (columns.quantity == Q::HallCoefficient ? "Hall coefficient" : "Hall voltage");
    form.comment = form.comment.empty() ? note : form.comment + "; " + note;
    return true;
}

std::string leftOutText(int leftOut)
{
    if (leftOut <= 0)
        return {};
    return std::to_string(leftOut) + (leftOut == 1 ? " line holds" : " lines hold") +
           " no number in the chosen columns (comments, column titles or missing columns) and " +
           (leftOut == 1 ? "was" : "were") + " left out.";
}

SaveCheck checkConversion(const std::string& text, const Columns& columns, const SampleForm& given)
{
    int leftOut = 0;
    Points p = convertColumns(text, columns, leftOut);
    SampleForm form = given;
    std::string hallMessage, signChange;
    if (p.size() >= 2 && !hallConcentrations(p, columns, form, hallMessage, signChange))
        return refused(hallMessage);
    if (p.size() < 2) {
        std::string why = "The chosen columns give " + std::to_string(p.size()) +
                          (p.size() == 1 ? " point" : " points") +
                          "; at least two are needed. Choose the columns of temperature and "
                          "concentration.";
        if (leftOut > 0)
            why += "\n" + leftOutText(leftOut);
        return refused(why);
    }
    SaveCheck c = checkForm(std::move(p), form);
    if (c.ready()) {
        c.leftOutNote = leftOutText(leftOut);
        c.signChangeNote = signChange;
    }
    return c;
}

// ---- writing ----------------------------------------------------------------------

std::string conversionProposal(const std::string& sourceFileName, int filterIndex)
{
    return Analysis::replaceExtension(sourceFileName, filterIndex == 2 ? ".pT" : ".nT");
}

std::string sampleProposal(const std::string& sampleNumber, const std::string& besideFile, int filterIndex)
{
    std::string base;
    for (char ch : sampleNumber)
        base += (static_cast<unsigned char>(ch) < 32 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos)
                    ? '_'
                    : ch;
    const auto first = base.find_first_not_of(' ');
    base = first == std::string::npos ? std::string() : base.substr(first, base.find_last_not_of(' ') - first + 1);
    if (base.empty())
        base = "sample";
    const std::string name = base + (filterIndex == 2 ? ".pT" : ".nT");
    const std::string folder = std::filesystem::path(besideFile).parent_path().string();
    return folder.empty() ? name : (std::filesystem::path(folder) / name).string();
}

FileOutcome saveNewData(Analysis& a, const SaveCheck& checked, const std::string& path,
                        const std::string& originalFileName, Replace replace)
{
    FileOutcome out;
    if (!checked.ready()) {
        out.error = checked.message;
        return out;
    }
    // Built and written beside the object in use, which takes it only once
    // the file exists: a failed save loses nothing.
    Analysis next = a;
    if (replace == Replace::NewSample) {
        next.resetFrom(PipelineStage::ExperimentalData);
        next.originalFileName = originalFileName;
    }
    const SampleForm& f = checked.form;
    next.measurementName = f.measurementName;
    next.measurementDate = f.measurementDate;
    next.analysisName = f.analysisName;
    next.analysisDate = f.analysisDate;
    next.semiconductor = f.semiconductor;
    next.conductionType = f.conductionType;
    next.sampleNumber = f.sampleNumber;
    next.comment = f.comment;
    next.sampleThickness = checked.thickness;
    next.magneticField = checked.magneticField;
    next.current = checked.current;
    next.temperature = checked.points.temperature;
    next.concentration = checked.points.concentration;
    next.reliability = checked.points.reliability;
    next.dataCount = static_cast<int>(checked.points.size());
    next.experimentalDataFileName = path;
    if (!next.writeExperimentalData()) {
        out.error = next.lastError;
        a.lastError = next.lastError;
        return out;
    }
    // Changed data of the same sample: everything built on the old points
    // goes; a new sample goes back to the start.
    if (replace == Replace::SameSample)
        next.resetFrom(PipelineStage::DataForAnalysis);
    a = std::move(next);
    if (replace == Replace::NewSample)
        textfile::setProtectedInputs({path});
    else
        textfile::addProtectedInput(path);
    out.ok = true;
    out.resetFrom = replace == Replace::NewSample ? PipelineStage::ExperimentalData : PipelineStage::DataForAnalysis;
    return out;
}

} // namespace dataentry
