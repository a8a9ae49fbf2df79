// The command line of vorn-batch: options, the tables and the JSON summary,
// and the files analysed side by side in worker processes.
#include "batch/Batch.h"
#include "analysis/excited/ExcitedStates.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/Deviation.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#ifndef VORN_VERSION_TEXT
#define VORN_VERSION_TEXT "1.7.1"
#endif

namespace {

std::string fileStatusText(const BatchResult& r) { return r.failure.empty() ? "done" : r.failure; }

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
std::size_t utf8Length(const std::string& s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    if ((n == 2 && c < 0xC2) || (n == 3 && c == 0xE0 && byte(i + 1) < 0xA0) ||
        (n == 3 && c == 0xED && byte(i + 1) >= 0xA0) || (n == 4 && c == 0xF0 && byte(i + 1) < 0x90) ||
        (n == 4 && (c > 0xF4 || (c == 0xF4 && byte(i + 1) >= 0x90))))
        return 0;
    return n;
}

// A JSON string of the bytes of `s`. File names and texts are bytes; the
// output is always valid UTF-8: a byte that is not part of a UTF-8 sequence
// is written as U+FFFD, the replacement character, so that it is never taken
// for a real character. The names have their exact bytes beside them
// (jsonNameBytes).
void jsonString(std::ostream& out, const std::string& s)
{
    out << '"';
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = utf8Length(s, i);
        if (n > 1) {
            out << s.substr(i, n);
            i += n;
            continue;
        }
        switch (c) {
        case '"': out << "\\\""; break;
        case '\\': out << "\\\\"; break;
        case '\n': out << "\\n"; break;
        case '\r': out << "\\r"; break;
        case '\t': out << "\\t"; break;
        default:
            if (n == 0) {
                out << "\\ufffd";
            } else if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out << buf;
            } else {
                out << c;
            }
        }
        ++i;
    }
    out << '"';
}

bool validUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8Length(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

// The bytes of a name as hexadecimal digits, two per byte.
void jsonHex(std::ostream& out, const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    out << '"';
    for (unsigned char c : s)
        out << digits[c >> 4] << digits[c & 15];
    out << '"';
}

void jsonNumber(std::ostream& out, double v)
{
    if (!std::isfinite(v)) {
        out << "null";
        return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    out << buf;
}

// A standard error, null where it is not determined (negative).
void jsonError(std::ostream& out, double e)
{
    if (e < 0)
        out << "null";
    else
        jsonNumber(out, e);
}

// A fitted species without its closing brace: the caller may add fields.
void jsonSpecies(std::ostream& out, const BatchFitSpecies& s)
{
    out << "{\"energyLevel\": ";
    jsonNumber(out, s.energy);
    out << ", \"energyLevelError\": ";
    jsonError(out, s.energyError);
    out << ", \"density\": ";
    jsonNumber(out, s.density);
    out << ", \"densityError\": ";
    jsonError(out, s.densityError);
    out << ", \"degeneracy\": ";
    jsonNumber(out, s.g);
}

bool parseNumber(const std::string& text, double& v) { return numfmt::parseDouble(text, v); }

std::string joinJson(const std::vector<std::string>& entries)
{
    std::string out = "[\n";
    for (std::size_t i = 0; i < entries.size(); ++i)
        out += entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
    return out + "]\n";
}

} // namespace

std::string batchUsage()
{
    return "NAME\n"
           "    vorn-batch - densities and energy levels of dopants and traps from n(T) or p(T)\n"
           "\n"
           "SYNOPSIS\n"
           "    vorn-batch [OPTION]... FILE...\n"
           "\n"
           "DESCRIPTION\n"
           "    Runs the H-function spectroscopy on each experimental data file (*.nT, *.pT)\n"
           "    exactly as a user does it in VORN's Normal mode with the default answers:\n"
           "    spline and its file (*.spl), material parameters, Fermi level (*.fl), stages\n"
           "    H1, H2, H3 with \"Calculation\", \"Evaluation\" and \"Save Obtained Results\"\n"
           "    while the program offers the next stage (following every \"Calculation\n"
           "    again\"), the simulation (*.simH) and the obtained-results summary (*.datH).\n"
           "    The files are the ones the windows write for the same clicks, under the\n"
           "    names the save dialogs propose. Messages the windows show in boxes are\n"
           "    printed on standard error with their texts; a table of the results per\n"
           "    sample goes to standard output. A bad file never stops the other files.\n"
           "\n"
           "OPTIONS\n"
           "    --smoothness X|auto   smoothness of the spline (default 5000); auto: chosen by\n"
           "                          generalized cross-validation, as the window's \"Auto\" does\n"
           "    --function H|S        H function (default) or S function\n"
           "    --evaluation-type T   Type-A, Type-B (default), Type-C or Type-D\n"
           "    --degeneracy g1,g2,g3 degeneracy factors of the three stages (default: 2 for\n"
           "                          n-type, 4 for p-type, as the program sets them)\n"
           "    --answer-yes          answer Yes to the recalculation question (default No)\n"
           "    --output-dir DIR      write the files to DIR instead of the input's folder\n"
           "    --dos0 X              effective density of states per T^1.5 [cm^-3 K^-1.5] of a\n"
           "                          material the table does not know (or instead of the table's)\n"
           "    --mass M --minima K   the same computed from the effective mass M/m0 and the\n"
           "                          number of equivalent minima K (K is 1 for p-type samples)\n"
           "    --material NAME       the material's name instead of the one in the data file\n"
           "    --one-impurity[=T_LOW:T_HIGH]\n"
           "                          after the Fermi level, the analysis of only one impurity\n"
           "                          over the points from T_LOW to T_HIGH K (default: all), as\n"
           "                          the window evaluates it; writes the *.CNO file\n"
           "    --donor-acceptor=N_NET[:T_LOW:T_HIGH]\n"
           "                          the analysis of one donor and one acceptor with the net\n"
           "                          density N_NET [cm^-3]; writes the *.CNC file\n"
           "    --dhes                after the Fermi level, also the differential Hall-effect\n"
           "                          spectroscopy: up to four peaks from the low-Fermi-level end,\n"
           "                          each evaluated, their sum, and the *.DHES file\n"
           "    --fit                 after the simulation, the curve fitting: \"Curve Fitting\"\n"
           "                          pressed while it stays enabled (at most 20 times), the\n"
           "                          *.cft file, the fitted species with standard errors\n"
           "    --fit-precise         the curve fitting's Fermi level with 30 halvings instead\n"
           "                          of 15 (implies --fit)\n"
           "    --best-model          after the rest, the model the data support: one to four\n"
           "                          species (and, p-type, excited states) fitted to the points,\n"
           "                          chosen by BIC (AICc below 25 points), with standard errors;\n"
           "                          writes the *.mdl file\n"
           "    --columns T,N[,R]     the inputs are a measurement system's own text files:\n"
           "                          T, N (and R) are the 1-based columns of temperature,\n"
           "                          concentration (and reliability, else 1); each file is\n"
           "                          converted as the converter's \"Save\" does, written as\n"
           "                          *.nT or *.pT beside the results and analysed\n"
           "    --type n|p            conduction type of the converted files (with --columns;\n"
           "                          from the sign of R_H when the N column holds it)\n"
           "    --overwrite           with --columns: replace a data file of the converted\n"
           "                          name that exists already (else the file is refused)\n"
           "    --quantity Q          what the N column holds: concentration (default),\n"
           "                          hall-coefficient R_H [cm^3/C] or hall-voltage [V]; then\n"
           "                          n = r_H/(q|R_H|) with R_H = V_H d/(I B) from the thickness,\n"
           "                          current and field, and the type from the sign of R_H\n"
           "    --current-column I --field-column B\n"
           "                          with hall-voltage: 1-based columns of the current [A] and\n"
           "                          field of each point (default: --current, --field)\n"
           "    --hall-factor R       Hall factor r_H (default 1), stated in the files' comment\n"
           "    --temperature-unit K|C --field-unit T|G\n"
           "                          units of the converted file's temperatures and fields\n"
           "    --sample TEXT --thickness MICRON --field TESLA --current AMPERE\n"
           "                          sample description of the converted files (default\n"
           "                          empty and 0); the material comes from --material\n"
           "    --excited[=always]    when the H1 evaluation raises the caution about excited\n"
           "                          states (or always), evaluate H1 again with them, as the\n"
           "                          excited-states window does, and save *.simN and *.exc\n"
           "    --dielectric-constant X  dielectric constant for --excited (default: the\n"
           "                          material table's)\n"
           "    --highest-level R     with --excited: precise mode with levels 1..R (a build\n"
           "                          with the development setting only)\n"
           "    --level-shift MEV     with --excited: shift of the excited levels [meV] (a build\n"
           "                          with the development setting only)\n"
           "    -j, --jobs N          analyse N files at once (default: one per core)\n"
           "    --json                print a machine-readable summary instead of the tables\n"
           "    --report              also write the report of each sample (*.html): inputs,\n"
           "                          charts, results and warnings in one self-contained page\n"
           "    --quiet               print errors only: no tables, no progress, no confirmations\n"
           "    --help                print this text and exit\n"
           "    --version             print the version and exit\n"
           "\n"
           "EXIT STATUS\n"
           "    0  every file was analysed to the simulation\n"
           "    1  an analysis step failed for at least one file (its message is printed)\n"
           "    2  usage error, or a file could not be read or written\n"
           "\n"
           "    A file whose material is not in the table stops with status 1 unless --dos0\n"
           "    or --mass/--minima give its effective density of states.\n";
}

int parseBatchArguments(const std::vector<std::string>& args, BatchOptions& o,
                        std::vector<std::string>& files, bool& stop, std::string& error)
{
    stop = false;
    bool conversionDetails = false; // a sample description option was given
    auto value = [&](std::size_t& i, const std::string& name, std::string& v) {
        const std::string& a = args[i];
        if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) {
            v = a.substr(name.size() + 1);
            return true;
        }
        if (i + 1 >= args.size()) {
            error = "option " + name + " needs a value";
            return false;
        }
        v = args[++i];
        return true;
    };
    auto is = [&](const std::string& a, const std::string& name) {
        return a == name || a.compare(0, name.size() + 1, name + "=") == 0;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "--help" || a == "-h") {
            stop = true;
            return 0;
        } else if (a == "--version") {
            stop = true;
            return 0;
        } else if (is(a, "--smoothness")) {
            if (!value(i, "--smoothness", v))
                return 2;
            if (v == "auto") {
                o.autoSmoothness = true;
            } else if (!parseNumber(v, o.smoothness) || !(o.smoothness > 0)) {
                error = "--smoothness needs a positive number, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--function")) {
            if (!value(i, "--function", v))
                return 2;
            if (v == "H" || v == "h")
                o.functionType = 2;
            else if (v == "S" || v == "s")
                o.functionType = 1;
            else {
                error = "--function takes H or S, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--evaluation-type")) {
            if (!value(i, "--evaluation-type", v))
                return 2;
            if (v == "A" || v == "B" || v == "C" || v == "D")
                v = "Type-" + v;
            EvaluationType type;
            if (!evaltype::parse(v, type)) {
                error = "--evaluation-type takes " + evaltype::listText() + ", not '" + v + "'";
                return 2;
            }
            o.evaluationType = v;
        } else if (is(a, "--degeneracy")) {
            if (!value(i, "--degeneracy", v))
                return 2;
            o.degeneracy.clear();
            std::stringstream ss(v);
            std::string part;
            while (std::getline(ss, part, ',')) {
                double g = 0;
                if (!parseNumber(part, g) || !(g > 0)) {
                    error = "--degeneracy needs positive numbers g1,g2,g3, not '" + v + "'";
                    return 2;
                }
                o.degeneracy.push_back(g);
            }
            if (o.degeneracy.size() != 3) {
                error = "--degeneracy needs three factors g1,g2,g3";
                return 2;
            }
        } else if (is(a, "--dos0") || is(a, "--mass") || is(a, "--minima")) {
            const std::string name = a.substr(0, a.find('='));
            if (!value(i, name, v))
                return 2;
            double x = 0;
            if (!parseNumber(v, x) || !(x > 0)) {
                error = name + " needs a positive number, not '" + v + "'";
                return 2;
            }
            (name == "--dos0" ? o.dos0 : name == "--mass" ? o.mass : o.minima) = x;
        } else if (a == "--excited" || a == "--excited=always") {
            o.excited = a == "--excited" ? BatchOptions::Excited::OnCaution : BatchOptions::Excited::Always;
        } else if (is(a, "--dielectric-constant")) {
            if (!value(i, "--dielectric-constant", v))
                return 2;
            if (!parseNumber(v, o.dielectricConstant) || !(o.dielectricConstant > 0)) {
                error = "--dielectric-constant needs a positive number, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--highest-level") || is(a, "--level-shift")) {
            const std::string name = a.substr(0, a.find('='));
            if (!value(i, name, v))
                return 2;
            if (o.releaseFlag == 1) {
                error = name + " belongs to the development setting of the excited-states window, which "
                               "this build does not have";
                return 2;
            }
            if (name == "--highest-level") {
                if (!numfmt::parseInt(v, o.highestLevel) || o.highestLevel < 1 ||
                    o.highestLevel > ExcitedStates::maxHighestLevel) {
                    error = "--highest-level needs a whole number from 1 to " +
                            std::to_string(ExcitedStates::maxHighestLevel) + ", not '" + v + "'";
                    return 2;
                }
            } else {
                if (!parseNumber(v, o.levelShift)) {
                    error = "--level-shift needs a number [meV], not '" + v + "'";
                    return 2;
                }
                o.levelShiftGiven = true;
            }
        } else if (is(a, "--material")) {
            if (!value(i, "--material", v))
                return 2;
            o.material = v;
        } else if (is(a, "--columns")) {
            if (!value(i, "--columns", v))
                return 2;
            std::vector<int> columns;
            std::stringstream ss(v);
            std::string part;
            while (std::getline(ss, part, ',')) {
                int c = 0;
                if (!numfmt::parseInt(part, c) || c < 1) {
                    columns.clear();
                    break;
                }
                columns.push_back(c);
            }
            if (columns.size() != 2 && columns.size() != 3) {
                error = "--columns needs the 1-based columns T,N or T,N,R, not '" + v + "'";
                return 2;
            }
            o.conversion.temperatureColumn = columns[0];
            o.conversion.concentrationColumn = columns[1];
            o.conversion.reliabilityColumn = columns.size() == 3 ? columns[2] : 0;
        } else if (is(a, "--quantity")) {
            if (!value(i, "--quantity", v))
                return 2;
            if (v == "concentration" || v == "n" || v == "p")
                o.conversion.quantity = 0;
            else if (v == "hall-coefficient" || v == "RH" || v == "R_H")
                o.conversion.quantity = 1;
            else if (v == "hall-voltage" || v == "VH" || v == "V_H")
                o.conversion.quantity = 2;
            else {
                error = "--quantity takes concentration, hall-coefficient or hall-voltage, not '" + v + "'";
                return 2;
            }
            conversionDetails = true;
        } else if (is(a, "--current-column") || is(a, "--field-column")) {
            const std::string name = a.substr(0, a.find('='));
            int c = 0;
            if (!value(i, name, v))
                return 2;
            if (!numfmt::parseInt(v, c) || c < 1) {
                error = name + " needs a 1-based column number, not '" + v + "'";
                return 2;
            }
            (name == "--current-column" ? o.conversion.currentColumn : o.conversion.fieldColumn) = c;
            conversionDetails = true;
        } else if (is(a, "--hall-factor")) {
            if (!value(i, "--hall-factor", v))
                return 2;
            if (!parseNumber(v, o.conversion.hallFactor) || !(o.conversion.hallFactor > 0)) {
                error = "--hall-factor needs a positive number, not '" + v + "'";
                return 2;
            }
            conversionDetails = true;
        } else if (is(a, "--temperature-unit") || is(a, "--field-unit")) {
            const std::string name = a.substr(0, a.find('='));
            if (!value(i, name, v))
                return 2;
            const bool temperature = name == "--temperature-unit";
            if (temperature && (v == "K" || v == "C" || v == "degC"))
                o.conversion.celsius = v != "K";
            else if (!temperature && (v == "T" || v == "G"))
                o.conversion.gauss = v == "G";
            else {
                error = temperature ? "--temperature-unit takes K or C, not '" + v + "'"
                                    : "--field-unit takes T or G, not '" + v + "'";
                return 2;
            }
            conversionDetails = true;
        } else if (is(a, "--type")) {
            if (!value(i, "--type", v))
                return 2;
            if (v == "n" || v == "n-type")
                o.conversion.conductionType = "n-type";
            else if (v == "p" || v == "p-type")
                o.conversion.conductionType = "p-type";
            else {
                error = "--type takes n or p, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--sample")) {
            if (!value(i, "--sample", v))
                return 2;
            o.conversion.sampleNumber = v;
            conversionDetails = true;
        } else if (is(a, "--thickness") || is(a, "--field") || is(a, "--current")) {
            const std::string name = a.substr(0, a.find('='));
            if (!value(i, name, v))
                return 2;
            double x = 0;
            if (!parseNumber(v, x)) {
                error = name + " needs a number, not '" + v + "'";
                return 2;
            }
            (name == "--thickness" ? o.conversion.thickness
             : name == "--field"   ? o.conversion.magneticField
                                   : o.conversion.current) = x;
            conversionDetails = true;
        } else if (is(a, "--jobs") || a == "-j" || (a.size() > 2 && a.compare(0, 2, "-j") == 0)) {
            if (a.size() > 2 && a.compare(0, 2, "-j") == 0 && a[2] != '-')
                v = a.substr(2);
            else if (!value(i, a == "-j" ? "-j" : "--jobs", v))
                return 2;
            int n = 0;
            if (!numfmt::parseInt(v, n) || n < 1) {
                error = "--jobs needs a positive whole number, not '" + v + "'";
                return 2;
            }
            o.jobs = n;
        } else if (a == "--one-impurity") {
            o.oneImpurity = true;
            o.oneImpurityRange = {};
        } else if (a.compare(0, 15, "--one-impurity=") == 0) {
            o.oneImpurity = true;
            if (!parseTemperatureRange(a.substr(15), o.oneImpurityRange, error))
                return 2;
        } else if (is(a, "--donor-acceptor")) {
            if (!value(i, "--donor-acceptor", v) || !parseDonorAcceptor(v, o, error))
                return 2;
        } else if (a == "--dhes") {
            o.dhes = true;
        } else if (a == "--fit") {
            o.fit = true;
        } else if (a == "--fit-precise") {
            o.fit = true;
            o.fitPrecise = true;
        } else if (a == "--best-model") {
            o.bestModel = true;
        } else if (a == "--answer-yes") {
            o.answerYes = true;
        } else if (is(a, "--output-dir")) {
            if (!value(i, "--output-dir", v))
                return 2;
            o.outputDir = v;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--report") {
            o.report = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--") {
            for (++i; i < args.size(); ++i)
                files.push_back(args[i]);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        error = "no data file given";
        return 2;
    }
    if (o.conversion.active() && o.conversion.conductionType.empty() && o.conversion.quantity == 0) {
        error = "--columns needs the conduction type: --type n or --type p";
        return 2;
    }
    if (!o.conversion.active() && (conversionDetails || o.overwrite || !o.conversion.conductionType.empty())) {
        error = "--type, --sample, --thickness, --field, --current and --overwrite describe converted "
                "files: they go with --columns";
        return 2;
    }
    if ((o.conversion.currentColumn > 0 || o.conversion.fieldColumn > 0) && o.conversion.quantity != 2) {
        error = "--current-column and --field-column go with --quantity hall-voltage";
        return 2;
    }
    if ((o.dielectricConstant > 0 || o.highestLevel > 0 || o.levelShiftGiven) &&
        o.excited == BatchOptions::Excited::Off) {
        error = "--dielectric-constant, --highest-level and --level-shift go with --excited";
        return 2;
    }
    if ((o.mass > 0) != (o.minima > 0)) {
        error = "--mass and --minima go together";
        return 2;
    }
    return 0;
}

namespace {
// A standard error of the tables with two digits; -1 stands for "not determined".
std::string errorCell(double e, const char* fmt)
{
    if (e < 0)
        return "not determined";
    char b[40];
    std::snprintf(b, sizeof b, fmt, e);
    return b;
}
} // namespace

std::string formatBatchTable(const BatchResult& r)
{
    using numfmt::pattern;
    std::ostringstream out;
    out << r.input << "\n";
    if (r.dataCount > 0)
        out << "  " << (r.semiconductor.empty() ? "(no material)" : r.semiconductor) << ", "
            << r.conductionType << ", " << r.dataCount << " points, " << r.splineCount
            << " grid points, smoothness " << numfmt::general(r.smoothness)
            << (r.smoothnessAtRangeEnd ? " (cross-validation: end of the searched range, no minimum inside)"
                : r.smoothnessChosen ? " (chosen by cross-validation)"
                                     : "")
            << "\n";
    if (!r.stages.empty()) {
        char line[200];
        std::snprintf(line, sizeof line, "  %-5s %-10s %-10s %-10s %-10s %-8s %-10s\n", "stage",
                      "E_ref[eV]", "T_peak[K]", "peak", "N[cm^-3]", "E[eV]", "N_com[cm^-3]");
        out << line;
        for (const BatchStage& s : r.stages) {
            std::snprintf(line, sizeof line, "  %-5s %-10s %-10s %-10s %-10s %-8s %-10s\n",
                          s.name.c_str(), pattern(s.referenceEnergy, "0.######").c_str(),
                          numfmt::general(s.peakTemperature).c_str(),
                          numfmt::density(s.peakValue).c_str(),
                          s.evaluated ? numfmt::density(s.density).c_str() : "-",
                          s.evaluated ? numfmt::energy(s.energyLevel).c_str() : "-",
                          s.evaluated ? numfmt::density(s.compensatingDensity).c_str() : "-");
            out << line;
        }
        out << "  compensating density in use: " << numfmt::density(r.compensatingDensity)
            << " cm^-3\n";
    }
    if (r.dhes) {
        char line[200];
        std::snprintf(line, sizeof line, "  %-5s %-10s %-10s %-10s %-10s %-8s %s\n", "DHES", "E_F[eV]",
                      "T_peak[K]", "peak", "N[cm^-3]", "E[eV]", "where");
        out << line;
        for (std::size_t i = 0; i < r.dhesPeaks.size(); ++i) {
            const BatchDhesPeak& p = r.dhesPeaks[i];
            std::snprintf(line, sizeof line, "  %-5zu %-10s %-10s %-10s %-10s %-8s %s\n", i + 1,
                          numfmt::energy(p.fermiLevel).c_str(), numfmt::general(p.temperature).c_str(),
                          numfmt::density(p.peakValue).c_str(), numfmt::density(p.density).c_str(),
                          numfmt::energy(p.energyLevel).c_str(),
                          !p.edge ? "inside" : p.evaluated ? "EDGE" : "EDGE, not evaluated");
            out << line;
        }
        if (r.dhesPeaks.empty())
            out << "  (no DHES peak found)\n";
    }
    if (r.excited.run) {
        const BatchExcited& e = r.excited;
        out << "  excited states (" << (e.caution ? "caution raised" : "no caution, run always")
            << ", dielectric constant " << numfmt::general(e.dielectricConstant)
            << (e.precise ? ", precise mode" : "")
            << (e.levelShift != 0 ? ", level shift " + numfmt::general(e.levelShift) + " meV" : "") << "): ";
        if (e.evaluated)
            out << "R " << e.levelCount << ", N " << numfmt::density(e.density) << " cm^-3, E "
                << numfmt::energy(e.energyLevel) << " eV, N_com " << numfmt::density(e.compensatingDensity)
                << " cm^-3\n";
        else
            out << "not evaluated\n";
        out << "    Fermi-Dirac: N " << numfmt::density(e.fermiDiracDensity) << " cm^-3, E "
            << numfmt::energy(e.fermiDiracEnergyLevel) << " eV, N_com "
            << numfmt::density(e.fermiDiracCompensatingDensity) << " cm^-3\n";
    }
    if (r.simulated && r.largestDeviation >= 0)
        out << "  simulation: largest deviation from the measured points "
            << deviationPercent(r.largestDeviation) << " % at " << numfmt::general(r.deviationTemperature)
            << " K" << (r.largestDeviation > 0.2 ? "  (above 20 %)" : "") << "\n";
    for (const BatchConventional& c : r.conventional) {
        out << "  " << c.analysis << ": ";
        if (!c.done) {
            out << c.error << "\n";
            continue;
        }
        out << numfmt::general(c.lowestTemperature) << " - " << numfmt::general(c.highestTemperature)
            << " K, level " << numfmt::energy(c.energyLevel) << " eV, density "
            << numfmt::density(c.density) << " cm^-3";
        if (c.analysis == "donor-acceptor")
            out << ", compensating density " << numfmt::density(c.compensatingDensity) << " cm^-3";
        out << ", r " << pattern(c.correlation, "0.######") << "\n";
    }
    if (r.fit.done) {
        const BatchFit& f = r.fit;
        out << "  curve fitting" << (f.precise ? " (precise)" : "") << ": " << f.presses << " press"
            << (f.presses == 1 ? "" : "es") << ", " << f.times << " times"
            << (f.converged ? "" : " (still improving)") << ", " << numfmt::general(f.lowTemperature)
            << " K to " << numfmt::general(f.highTemperature) << " K\n";
        char line[200];
        std::snprintf(line, sizeof line, "  %-7s %-10s %-16s %-12s %-16s %s\n", "fitted", "E[eV]", "+-E[eV]",
                      "N[cm^-3]", "+-N[cm^-3]", "g");
        out << line;
        for (std::size_t k = 0; k < f.species.size(); ++k) {
            const BatchFitSpecies& s = f.species[k];
            std::snprintf(line, sizeof line, "  %-7zu %-10s %-16s %-12s %-16s %s\n", k + 1,
                          pattern(s.energy, "0.######").c_str(), errorCell(s.energyError, "%.2g").c_str(),
                          pattern(s.density, "0.000E+00").c_str(), errorCell(s.densityError, "%.2e").c_str(),
                          numfmt::general(s.g).c_str());
            out << line;
        }
        std::snprintf(line, sizeof line, "  %-7s %-10s %-16s %-12s %-16s\n", "N_com", "", "",
                      pattern(f.compensatingDensity, "0.000E+00").c_str(),
                      errorCell(f.compensatingError, "%.2e").c_str());
        out << line;
    }
    if (r.bestModel.done) {
        const BatchBestModel& b = r.bestModel;
        out << "  best model: " << b.species.size() << " species, " << b.distribution;
        if (b.distribution == "excited-states")
            out << " (r = " << b.levelCount << ")";
        out << ", " << b.criterionName << " " << pattern(b.criterion, "0.00") << ", residual RMS "
            << numfmt::density(b.rms) << " in log10 n\n";
        char line[220];
        std::snprintf(line, sizeof line, "  %-7s %-10s %-12s %-12s %-12s %-5s %s\n", "species", "E[eV]", "+-E[eV]",
                      "N[cm^-3]", "+-N[cm^-3]", "g", "verdict");
        out << line;
        for (std::size_t k = 0; k < b.species.size(); ++k) {
            const BatchBestModelSpecies& s = b.species[k];
            std::snprintf(line, sizeof line, "  %-7zu %-10s %-12s %-12s %-12s %-5s %s\n", k + 1,
                          pattern(s.energy, "0.######").c_str(), errorCell(s.energyError, "%.2g").c_str(),
                          pattern(s.density, "0.000E+00").c_str(), errorCell(s.densityError, "%.2e").c_str(),
                          numfmt::general(s.g).c_str(), s.determined ? "determined" : "not determined by these data");
            out << line;
        }
        std::snprintf(line, sizeof line, "  %-7s %-10s %-12s %-12s %-12s\n", "N_com", "", "",
                      pattern(b.compensatingDensity, "0.000E+00").c_str(), errorCell(b.compensatingError, "%.2e").c_str());
        out << line;
        out << "  alternatives (" << b.criterionName << "):";
        for (const BatchBestModelAlternative& a : b.alternatives) {
            out << "  " << a.speciesCount << " " << (a.distribution == "excited-states" ? "ES" : "FD");
            if (a.distribution == "excited-states")
                out << " r=" << a.levelCount;
            out << " " << pattern(a.criterion, "0.00") << (a.chosen ? " (chosen)" : "");
        }
        out << "\n";
    }
    out << "  result: " << fileStatusText(r) << "\n";
    for (const std::string& f : r.files)
        out << "  wrote " << f << "\n";
    return out.str();
}

std::string formatBatchJsonEntry(const BatchResult& r)
{
    std::ostringstream out;
    {
        out << "  {\"input\": ";
        jsonString(out, r.input);
        out << ", \"status\": " << r.status << ", \"failure\": ";
        jsonString(out, r.failure);
        out << ",\n   \"semiconductor\": ";
        jsonString(out, r.semiconductor);
        out << ", \"conductionType\": ";
        jsonString(out, r.conductionType);
        out << ", \"dataCount\": " << r.dataCount << ", \"gridPoints\": " << r.splineCount
            << ", \"smoothness\": ";
        jsonNumber(out, r.smoothness);
        out << ", \"smoothnessChosen\": " << (r.smoothnessChosen ? "true" : "false")
            << ", \"smoothnessAtRangeEnd\": " << (r.smoothnessAtRangeEnd ? "true" : "false")
            << ",\n   \"stages\": [";
        for (std::size_t i = 0; i < r.stages.size(); ++i) {
            const BatchStage& s = r.stages[i];
            out << (i ? ",\n     " : "\n     ") << "{\"stage\": ";
            jsonString(out, s.name);
            out << ", \"evaluated\": " << (s.evaluated ? "true" : "false")
                << ", \"saved\": " << (s.saved ? "true" : "false") << ", \"referenceEnergy\": ";
            jsonNumber(out, s.referenceEnergy);
            out << ", \"peakTemperature\": ";
            jsonNumber(out, s.peakTemperature);
            out << ", \"peakValue\": ";
            jsonNumber(out, s.peakValue);
            out << ", \"density\": ";
            jsonNumber(out, s.density);
            out << ", \"energyLevel\": ";
            jsonNumber(out, s.energyLevel);
            out << ", \"compensatingDensity\": ";
            jsonNumber(out, s.compensatingDensity);
            out << "}";
        }
        out << "],";
        if (r.dhes) {
            out << "\n   \"dhes\": [";
            for (std::size_t i = 0; i < r.dhesPeaks.size(); ++i) {
                const BatchDhesPeak& p = r.dhesPeaks[i];
                out << (i ? ",\n     " : "\n     ") << "{\"peak\": " << i + 1 << ", \"fermiLevel\": ";
                jsonNumber(out, p.fermiLevel);
                out << ", \"peakTemperature\": ";
                jsonNumber(out, p.temperature);
                out << ", \"peakValue\": ";
                jsonNumber(out, p.peakValue);
                out << ", \"density\": ";
                jsonNumber(out, p.density);
                out << ", \"energyLevel\": ";
                jsonNumber(out, p.energyLevel);
                out << ", \"edge\": " << (p.edge ? "true" : "false")
                    << ", \"evaluated\": " << (p.evaluated ? "true" : "false") << "}";
            }
            out << "],";
        }
        out << "\n   \"compensatingDensity\": ";
        jsonNumber(out, r.compensatingDensity);
        out << ", \"simulated\": " << (r.simulated ? "true" : "false") << ", \"largestDeviation\": ";
        if (r.largestDeviation >= 0)
            jsonNumber(out, r.largestDeviation);
        else
            out << "null";
        out << ", \"deviationTemperature\": ";
        jsonNumber(out, r.deviationTemperature);
        out << ",\n   \"conventional\": [";
        for (std::size_t i = 0; i < r.conventional.size(); ++i) {
            const BatchConventional& c = r.conventional[i];
            out << (i ? ",\n     " : "\n     ") << "{\"analysis\": ";
            jsonString(out, c.analysis);
            out << ", \"done\": " << (c.done ? "true" : "false") << ", \"error\": ";
            jsonString(out, c.error);
            out << ", \"lowestTemperature\": ";
            jsonNumber(out, c.lowestTemperature);
            out << ", \"highestTemperature\": ";
            jsonNumber(out, c.highestTemperature);
            out << ", \"energyLevel\": ";
            jsonNumber(out, c.energyLevel);
            out << ", \"density\": ";
            jsonNumber(out, c.density);
            out << ", \"compensatingDensity\": ";
            jsonNumber(out, c.compensatingDensity);
            out << ", \"correlation\": ";
            jsonNumber(out, c.correlation);
            out << ", \"file\": ";
            jsonString(out, c.file);
            out << "}";
        }
        out << "]";
        if (r.fit.done) {
            const BatchFit& f = r.fit;
            out << ",\n   \"fit\": {\"precise\": " << (f.precise ? "true" : "false")
                << ", \"presses\": " << f.presses << ", \"times\": " << f.times
                << ", \"converged\": " << (f.converged ? "true" : "false") << ", \"lowTemperature\": ";
            jsonNumber(out, f.lowTemperature);
            out << ", \"highTemperature\": ";
            jsonNumber(out, f.highTemperature);
            out << ", \"sumOfSquares\": ";
            jsonNumber(out, f.sumOfSquares);
            out << ", \"species\": [";
            for (std::size_t k = 0; k < f.species.size(); ++k) {
                out << (k ? ", " : "");
                jsonSpecies(out, f.species[k]);
                out << "}";
            }
            out << "], \"compensatingDensity\": ";
            jsonNumber(out, f.compensatingDensity);
            out << ", \"compensatingDensityError\": ";
            jsonError(out, f.compensatingError);
            out << "}";
        }
        if (r.bestModel.done) {
            const BatchBestModel& b = r.bestModel;
            out << ",\n   \"bestModel\": {\"distribution\": ";
            jsonString(out, b.distribution);
            if (b.distribution == "excited-states")
                out << ", \"levelCount\": " << b.levelCount;
            out << ", \"criterionName\": ";
            jsonString(out, b.criterionName);
            out << ", \"criterion\": ";
            jsonNumber(out, b.criterion);
            out << ", \"residualRms\": ";
            jsonNumber(out, b.rms);
            out << ", \"species\": [";
            for (std::size_t k = 0; k < b.species.size(); ++k) {
                out << (k ? ", " : "");
                jsonSpecies(out, b.species[k]);
                out << ", \"determined\": " << (b.species[k].determined ? "true" : "false") << "}";
            }
            out << "], \"compensatingDensity\": ";
            jsonNumber(out, b.compensatingDensity);
            out << ", \"compensatingDensityError\": ";
            jsonError(out, b.compensatingError);
            out << ", \"alternatives\": [";
            for (std::size_t i = 0; i < b.alternatives.size(); ++i) {
                const BatchBestModelAlternative& a = b.alternatives[i];
                out << (i ? ", " : "") << "{\"speciesCount\": " << a.speciesCount << ", \"distribution\": ";
                jsonString(out, a.distribution);
                if (a.distribution == "excited-states")
                    out << ", \"levelCount\": " << a.levelCount;
                out << ", \"parameters\": " << a.parameters << ", \"criterion\": ";
                jsonNumber(out, a.criterion);
                out << ", \"residualRms\": ";
                jsonNumber(out, a.rms);
                out << ", \"chosen\": " << (a.chosen ? "true" : "false") << "}";
            }
            out << "]}";
        }
        out << ",\n   \"excitedStates\": ";
        if (!r.excited.run) {
            out << "null";
        } else {
            const BatchExcited& e = r.excited;
            out << "{\"caution\": " << (e.caution ? "true" : "false")
                << ", \"evaluated\": " << (e.evaluated ? "true" : "false") << ", \"dielectricConstant\": ";
            jsonNumber(out, e.dielectricConstant);
            out << ", \"precise\": " << (e.precise ? "true" : "false") << ", \"levelShift\": ";
            jsonNumber(out, e.levelShift);
            out << ", \"levelCount\": " << e.levelCount << ", \"density\": ";
            jsonNumber(out, e.density);
            out << ", \"energyLevel\": ";
            jsonNumber(out, e.energyLevel);
            out << ", \"compensatingDensity\": ";
            jsonNumber(out, e.compensatingDensity);
            out << ", \"fermiDirac\": {\"density\": ";
            jsonNumber(out, e.fermiDiracDensity);
            out << ", \"energyLevel\": ";
            jsonNumber(out, e.fermiDiracEnergyLevel);
            out << ", \"compensatingDensity\": ";
            jsonNumber(out, e.fermiDiracCompensatingDensity);
            out << "}}";
        }
        out << ",\n   \"messages\": [";
        for (std::size_t i = 0; i < r.messages.size(); ++i) {
            out << (i ? ", " : "") << "{\"kind\": ";
            jsonString(out, r.messages[i].kind);
            out << ", \"text\": ";
            jsonString(out, r.messages[i].text);
            out << "}";
        }
        out << "],\n   \"files\": [";
        for (std::size_t i = 0; i < r.files.size(); ++i) {
            out << (i ? ", " : "");
            jsonString(out, r.files[i]);
        }
        out << "]";
        // Names that are not UTF-8 cannot be given back by a JSON string:
        // their exact bytes follow in hexadecimal (null for a name that is).
        bool anyName = false;
        for (const std::string& f : r.files)
            anyName = anyName || !validUtf8(f);
        if (!validUtf8(r.input)) {
            out << ",\n   \"inputBytes\": ";
            jsonHex(out, r.input);
        }
        if (anyName) {
            out << ",\n   \"filesBytes\": [";
            for (std::size_t i = 0; i < r.files.size(); ++i) {
                out << (i ? ", " : "");
                if (validUtf8(r.files[i]))
                    out << "null";
                else
                    jsonHex(out, r.files[i]);
            }
            out << "]";
        }
        out << "}";
    }
    return out.str();
}

std::string formatBatchJson(const std::vector<BatchResult>& results)
{
    std::vector<std::string> entries;
    for (const BatchResult& r : results)
        entries.push_back(formatBatchJsonEntry(r));
    return joinJson(entries);
}

namespace {

// What one file leaves for the parent to print: its status, its table (or
// JSON entry) and the messages it printed, in the order of the inputs.
struct FileReport {
    int status = 0;
    std::string out;  // table text, or the JSON entry
    std::string err;  // messages
    bool done = false;
};

// Inputs whose results would take the same names in the same folder (the
// names come from the input's name without its extension): every one after
// the first is refused, so that no run overwrites another's files unseen.
std::vector<std::string> collisions(const std::vector<std::string>& files, const BatchOptions& o)
{
    namespace fs = std::filesystem;
    std::vector<std::string> refusals(files.size());
    std::map<std::pair<std::string, std::string>, std::size_t> first;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        const std::string folder = batchOutputFolder(files[i], o);
        fs::path canonical = fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
        if (ec)
            canonical = folder;
        const std::string stem = Analysis::replaceExtension(fs::path(files[i]).filename().string(), "");
        const auto [it, fresh] = first.emplace(std::make_pair(canonical.string(), stem), i);
        if (!fresh)
            refusals[i] = "its results would overwrite those of " + files[it->second] + " in " +
                          (folder.empty() ? std::string(".") : folder) +
                          "; analyse it on its own or with another --output-dir";
    }
    return refusals;
}

// A file analysed, or refused (status 2) without running.
BatchResult runOrRefuse(const std::string& file, const BatchOptions& o, const std::string& refusal,
                        std::ostream& err)
{
    if (refusal.empty())
        return runBatchFile(file, o, err);
    BatchResult r;
    r.input = file;
    r.status = 2;
    r.failure = refusal;
    return r;
}

FileReport analyse(const std::string& file, const BatchOptions& o, const std::string& refusal)
{
    FileReport rep;
    std::ostringstream err;
    BatchResult r = runOrRefuse(file, o, refusal, err);
    // Every failure says so on standard error, also with --quiet.
    if (r.status != 0)
        err << std::filesystem::path(file).filename().string() << ": " << r.failure << "\n";
    rep.status = r.status;
    rep.out = o.json ? formatBatchJsonEntry(r) : formatBatchTable(r) + "\n";
    rep.err = err.str();
    rep.done = true;
    return rep;
}

// ---- interruption ------------------------------------------------------------------
// SIGINT and SIGTERM end the batch at once: the save in progress loses its
// temporary file (the target keeps its previous content), the workers are
// told the same and waited for, and the exit status is 128 + the signal (130, 143).

constexpr int kMaxWorkers = 256;
volatile pid_t workerPids[kMaxWorkers];

extern "C" void interrupted(int sig)
{
    textfile::removeTemporaryInProgress();
    for (int i = 0; i < kMaxWorkers; ++i)
        if (workerPids[i] > 0)
            ::kill(workerPids[i], sig);
    // Whoever waits for this process then finds the workers' temporary
    // files gone too.
    for (int i = 0; i < kMaxWorkers; ++i)
        if (workerPids[i] > 0)
            ::waitpid(workerPids[i], nullptr, 0);
    ::_exit(128 + sig);
}

void installInterruptHandler()
{
    struct sigaction sa {};
    sa.sa_handler = interrupted;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// ---- worker processes ------------------------------------------------------------
// Each worker takes the next file from a counter shared with the others and
// sends back one frame per file: index, status and the two texts, each
// length-prefixed.

bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void sendFrame(int fd, std::uint64_t index, const FileReport& rep)
{
    const std::uint64_t header[4] = {index, static_cast<std::uint64_t>(rep.status), rep.out.size(),
                                     rep.err.size()};
    writeAll(fd, header, sizeof header);
    writeAll(fd, rep.out.data(), rep.out.size());
    writeAll(fd, rep.err.data(), rep.err.size());
}

// Bytes read from one worker, cut into frames as they complete.
struct WorkerPipe {
    pid_t pid = -1;
    int fd = -1;
    std::string buffer;
    bool open = false;
};

bool takeFrame(std::string& buffer, std::uint64_t& index, FileReport& rep)
{
    std::uint64_t header[4];
    if (buffer.size() < sizeof header)
        return false;
    std::memcpy(header, buffer.data(), sizeof header);
    const std::size_t need = sizeof header + header[2] + header[3];
    if (buffer.size() < need)
        return false;
    index = header[0];
    rep.status = static_cast<int>(header[1]);
    rep.out = buffer.substr(sizeof header, header[2]);
    rep.err = buffer.substr(sizeof header + header[2], header[3]);
    rep.done = true;
    buffer.erase(0, need);
    return true;
}

int workerCount(const BatchOptions& o, std::size_t files)
{
    int n = o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n), files));
}

// Prints every report whose turn has come (input order).
void flushInOrder(std::vector<FileReport>& reports, std::size_t& next, std::ostream& out,
                  std::ostream& err, const BatchOptions& o, std::vector<std::string>& json)
{
    while (next < reports.size() && reports[next].done) {
        err << reports[next].err << std::flush;
        if (o.json)
            json.push_back(reports[next].out);
        else if (!o.quiet)
            out << reports[next].out << std::flush;
        ++next;
    }
}

pid_t startWorker(const std::vector<std::string>& files, const std::vector<std::string>& refusals,
                  const BatchOptions& o, std::atomic<std::uint64_t>* counter, WorkerPipe& w)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    std::cout.flush();
    std::cerr.flush();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // A worker whose parent is gone (killed, even by SIGKILL) ends at
        // once, through the interrupt handler that removes its temporary
        // file; the check covers a parent that died before the request.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::raise(SIGTERM);
        // A worker answers a signal for itself only.
        for (volatile pid_t& p : workerPids)
            p = 0;
        BatchOptions mine = o;
        mine.progress = false; // lines of several workers would interleave
        for (;;) {
            const std::uint64_t i = counter->fetch_add(1);
            if (i >= files.size())
                break;
            sendFrame(fds[1], i, analyse(files[i], mine, refusals[i]));
        }
        ::close(fds[1]);
        std::_Exit(0);
    }
    ::close(fds[1]);
    w.pid = pid;
    w.fd = fds[0];
    w.open = true;
    w.buffer.clear();
    return pid;
}

int runParallel(const std::vector<std::string>& files, const std::vector<std::string>& refusals,
                const BatchOptions& o, int jobs, std::ostream& out, std::ostream& err,
                std::vector<std::string>& json)
{
    void* shared = ::mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        return -1;
    auto* counter = new (shared) std::atomic<std::uint64_t>(0);
    std::vector<FileReport> reports(files.size());
    std::vector<WorkerPipe> workers(static_cast<std::size_t>(std::min(jobs, kMaxWorkers)));
    int started = 0;
    for (std::size_t i = 0; i < workers.size(); ++i)
        if (startWorker(files, refusals, o, counter, workers[i]) > 0) {
            workerPids[i] = workers[i].pid;
            ++started;
        }
    if (started == 0) {
        ::munmap(shared, sizeof *counter);
        return -1;
    }

    std::size_t next = 0;
    int status = 0;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<WorkerPipe*> owners;
        for (WorkerPipe& w : workers)
            if (w.open) {
                fds.push_back({w.fd, POLLIN, 0});
                owners.push_back(&w);
            }
        if (fds.empty())
            break;
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            WorkerPipe& w = *owners[i];
            char buf[65536];
            const ssize_t n = ::read(w.fd, buf, sizeof buf);
            if (n > 0) {
                w.buffer.append(buf, static_cast<std::size_t>(n));
                std::uint64_t index = 0;
                FileReport rep;
                while (takeFrame(w.buffer, index, rep))
                    if (index < reports.size())
                        reports[index] = rep;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ::close(w.fd);
            w.open = false;
            int ws = 0;
            ::waitpid(w.pid, &ws, 0);
            for (volatile pid_t& p : workerPids)
                if (p == w.pid)
                    p = 0;
        }
        flushInOrder(reports, next, out, err, o, json);
    }
    // A worker that died took its file with it: that file is reported as
    // failed, and any file nobody reached is analysed here.
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].done)
            continue;
        if (i < counter->load()) {
            const std::string name = std::filesystem::path(files[i]).filename().string();
            reports[i].status = 1;
            reports[i].err = name + ": the analysis ended abnormally\n";
            BatchResult r;
            r.input = files[i];
            r.status = 1;
            r.failure = "the analysis ended abnormally";
            reports[i].out = o.json ? formatBatchJsonEntry(r) : formatBatchTable(r) + "\n";
            reports[i].done = true;
        } else {
            reports[i] = analyse(files[i], o, refusals[i]);
        }
    }
    flushInOrder(reports, next, out, err, o, json);
    for (const FileReport& r : reports)
        status = std::max(status, r.status);
    counter->~atomic();
    ::munmap(shared, sizeof(std::atomic<std::uint64_t>));
    return status;
}

} // namespace

int runBatch(const std::vector<std::string>& files, const BatchOptions& given, std::ostream& out,
             std::ostream& err)
{
    BatchOptions o = given;
    o.runInputs = files;
    std::vector<std::string> json;
    int status = 0;
    const std::vector<std::string> refusals = collisions(files, o);
    const int jobs = workerCount(o, files.size());
    int parallel = jobs > 1 ? runParallel(files, refusals, o, jobs, out, err, json) : -1;
    if (parallel >= 0) {
        status = parallel;
    } else {
        json.clear();
        for (std::size_t i = 0; i < files.size(); ++i) {
            // Messages go out as they come when one file runs at a time.
            BatchResult r = runOrRefuse(files[i], o, refusals[i], err);
            if (r.status != 0)
                err << std::filesystem::path(files[i]).filename().string() << ": " << r.failure << "\n";
            status = std::max(status, r.status);
            if (o.json)
                json.push_back(formatBatchJsonEntry(r));
            else if (!o.quiet)
                out << formatBatchTable(r) << "\n" << std::flush;
        }
    }
    if (o.json)
        out << joinJson(json);
    return status;
}

namespace {

// A table or summary that did not reach the standard output (a full disk, a
// closed pipe) is a failed run, whatever the analyses did.
int finishOutput(int status)
{
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "vorn-batch: the standard output could not be written; the results summary is lost\n";
        status = 2;
    }
    std::cerr.flush();
    if (!std::cerr)
        status = 2;
    return status;
}

} // namespace

int batchMain(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    BatchOptions o;
    o.releaseFlag = VORN_RELEASE_FLAG;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    int rc = parseBatchArguments(args, o, files, stop, error);
    if (stop) {
        bool version = false;
        for (const std::string& a : args)
            version = version || a == "--version";
        std::cout << (version ? std::string("vorn-batch (VORN) " VORN_VERSION_TEXT "\n") : batchUsage());
        return finishOutput(0);
    }
    if (rc != 0) {
        std::cerr << "vorn-batch: " << error << "\nTry 'vorn-batch --help' for more information.\n";
        return finishOutput(rc);
    }
    o.progress = ::isatty(2) != 0;
    installInterruptHandler();
    const int status = runBatch(files, o, std::cout, std::cerr);
    return finishOutput(status);
}
