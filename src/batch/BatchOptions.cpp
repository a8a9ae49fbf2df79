// The command line of vorn-batch: one table of the options (name, value,
// help text, what it sets), read by the parser and by --help alike.
#include "batch/BatchOptions.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/excited/ExcitedStates.h"

#include <sstream>

namespace {

// What the handlers share beside the options.
struct Parse {
    BatchOptions& o;
    std::string& error;
    bool stop = false;
    bool conversionDetails = false; // a sample description option was given
};

enum class Value {
    None,     // a flag: exactly the name
    Required, // NAME=V or NAME V (a short name also -NV)
    Optional, // the name alone or NAME=V
};

// `name` is the long name the option was given by; `given` says whether an
// optional value came with it. False with a message in p.error stops with 2.
using Handler = bool (*)(Parse& p, const std::string& name, const std::string& v, bool given);

struct Option {
    const char* name;
    const char* shortName; // nullptr: none
    Value value;
    // The help entry: its left column and its lines; an option without one
    // is described by the entry before it (or not at all when the first).
    const char* label;
    const char* help;
    Handler handle;
};

bool positive(Parse& p, const std::string& name, const std::string& v, double& x)
{
    if (numfmt::parseDouble(v, x) && x > 0)
        return true;
    p.error = name + " needs a positive number, not '" + v + "'";
    return false;
}

bool number(Parse& p, const std::string& name, const std::string& v, double& x)
{
    if (numfmt::parseDouble(v, x))
        return true;
    p.error = name + " needs a number, not '" + v + "'";
    return false;
}

// The conversion's sample description: only with --columns.
bool described(Parse& p, bool ok)
{
    p.conversionDetails = true;
    return ok;
}

bool smoothness(Parse& p, const std::string& name, const std::string& v, bool)
{
    if (v == "auto") {
        p.o.autoSmoothness = true;
        return true;
    }
    if (numfmt::parseDouble(v, p.o.smoothness) && p.o.smoothness > 0)
        return true;
    p.error = name + " needs a positive number, not '" + v + "'";
    return false;
}

bool function(Parse& p, const std::string&, const std::string& v, bool)
{
    if (v == "H" || v == "h")
        p.o.functionType = 2;
    else if (v == "S" || v == "s")
        p.o.functionType = 1;
    else {
        p.error = "--function takes H or S, not '" + v + "'";
        return false;
    }
    return true;
}

bool evaluationType(Parse& p, const std::string&, const std::string& given, bool)
{
    std::string v = given;
    if (v == "A" || v == "B" || v == "C" || v == "D")
        v = "Type-" + v;
    EvaluationType type;
    if (!evaltype::parse(v, type)) {
        p.error = "--evaluation-type takes " + evaltype::listText() + ", not '" + v + "'";
        return false;
    }
    p.o.evaluationType = v;
    return true;
}

bool degeneracy(Parse& p, const std::string&, const std::string& v, bool)
{
    p.o.degeneracy.clear();
    std::stringstream ss(v);
    std::string part;
    while (std::getline(ss, part, ',')) {
        double g = 0;
        if (!numfmt::parseDouble(part, g) || !(g > 0)) {
            p.error = "--degeneracy needs positive numbers g1,g2,g3, not '" + v + "'";
            return false;
        }
        p.o.degeneracy.push_back(g);
    }
    if (p.o.degeneracy.size() != 3) {
        p.error = "--degeneracy needs three factors g1,g2,g3";
        return false;
    }
    return true;
}

bool densityOfStates(Parse& p, const std::string& name, const std::string& v, bool)
{
    return positive(p, name, v, name == "--dos0" ? p.o.dos0 : name == "--mass" ? p.o.mass : p.o.minima);
}

bool excited(Parse& p, const std::string& name, const std::string& v, bool given)
{
    if (given && v != "always") {
        p.error = "unknown option " + name + "=" + v;
        return false;
    }
    p.o.excited = given ? BatchOptions::Excited::Always : BatchOptions::Excited::OnCaution;
    return true;
}

bool dielectricConstant(Parse& p, const std::string& name, const std::string& v, bool)
{
    return positive(p, name, v, p.o.dielectricConstant);
}

bool development(Parse& p, const std::string& name, const std::string& v, bool)
{
    if (p.o.releaseFlag == 1) {
        p.error = name + " belongs to the development setting of the excited-states window, which "
                         "this build does not have";
        return false;
    }
    if (name == "--highest-level") {
        if (!numfmt::parseInt(v, p.o.highestLevel) || p.o.highestLevel < 1 ||
            p.o.highestLevel > ExcitedStates::maxHighestLevel) {
            p.error = "--highest-level needs a whole number from 1 to " +
                      std::to_string(ExcitedStates::maxHighestLevel) + ", not '" + v + "'";
            return false;
        }
        return true;
    }
    if (!numfmt::parseDouble(v, p.o.levelShift)) {
        p.error = "--level-shift needs a number [meV], not '" + v + "'";
        return false;
    }
    p.o.levelShiftGiven = true;
    return true;
}

bool columns(Parse& p, const std::string&, const std::string& v, bool)
{
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
        p.error = "--columns needs the 1-based columns T,N or T,N,R, not '" + v + "'";
        return false;
    }
    p.o.conversion.temperatureColumn = columns[0];
    p.o.conversion.concentrationColumn = columns[1];
    p.o.conversion.reliabilityColumn = columns.size() == 3 ? columns[2] : 0;
    return true;
}

bool quantity(Parse& p, const std::string&, const std::string& v, bool)
{
    if (v == "concentration" || v == "n" || v == "p")
        p.o.conversion.quantity = 0;
    else if (v == "hall-coefficient" || v == "RH" || v == "R_H")
        p.o.conversion.quantity = 1;
    else if (v == "hall-voltage" || v == "VH" || v == "V_H")
        p.o.conversion.quantity = 2;
    else {
        p.error = "--quantity takes concentration, hall-coefficient or hall-voltage, not '" + v + "'";
        return false;
    }
    return described(p, true);
}

bool column(Parse& p, const std::string& name, const std::string& v, bool)
{
    int c = 0;
    if (!numfmt::parseInt(v, c) || c < 1) {
        p.error = name + " needs a 1-based column number, not '" + v + "'";
        return false;
    }
    (name == "--current-column" ? p.o.conversion.currentColumn : p.o.conversion.fieldColumn) = c;
    return described(p, true);
}

bool hallFactor(Parse& p, const std::string& name, const std::string& v, bool)
{
    return described(p, positive(p, name, v, p.o.conversion.hallFactor));
}

bool unit(Parse& p, const std::string& name, const std::string& v, bool)
{
    const bool temperature = name == "--temperature-unit";
    if (temperature && (v == "K" || v == "C" || v == "degC"))
        p.o.conversion.celsius = v != "K";
    else if (!temperature && (v == "T" || v == "G"))
        p.o.conversion.gauss = v == "G";
    else {
        p.error = temperature ? "--temperature-unit takes K or C, not '" + v + "'"
                              : "--field-unit takes T or G, not '" + v + "'";
        return false;
    }
    return described(p, true);
}

bool type(Parse& p, const std::string&, const std::string& v, bool)
{
    if (v == "n" || v == "n-type")
        p.o.conversion.conductionType = "n-type";
    else if (v == "p" || v == "p-type")
        p.o.conversion.conductionType = "p-type";
    else {
        p.error = "--type takes n or p, not '" + v + "'";
        return false;
    }
    return true;
}

bool sample(Parse& p, const std::string&, const std::string& v, bool)
{
    p.o.conversion.sampleNumber = v;
    return described(p, true);
}

bool sampleNumber(Parse& p, const std::string& name, const std::string& v, bool)
{
    BatchConversion& c = p.o.conversion;
    return described(p, number(p, name, v,
                               name == "--thickness" ? c.thickness : name == "--field" ? c.magneticField : c.current));
}

bool jobs(Parse& p, const std::string&, const std::string& v, bool)
{
    if (!numfmt::parseInt(v, p.o.jobs) || p.o.jobs < 1) {
        p.error = "--jobs needs a positive whole number, not '" + v + "'";
        return false;
    }
    return true;
}

bool oneImpurity(Parse& p, const std::string&, const std::string& v, bool given)
{
    p.o.oneImpurity = true;
    p.o.oneImpurityRange = {};
    return !given || parseTemperatureRange(v, p.o.oneImpurityRange, p.error);
}

bool donorAcceptor(Parse& p, const std::string&, const std::string& v, bool)
{
    return parseDonorAcceptor(v, p.o, p.error);
}

bool material(Parse& p, const std::string&, const std::string& v, bool)
{
    p.o.material = v;
    return true;
}

bool outputDir(Parse& p, const std::string&, const std::string& v, bool)
{
    p.o.outputDir = v;
    return true;
}

template <bool BatchOptions::*... Fields>
bool flag(Parse& p, const std::string&, const std::string&, bool)
{
    ((p.o.*Fields = true), ...);
    return true;
}

bool stop(Parse& p, const std::string&, const std::string&, bool)
{
    p.stop = true;
    return true;
}

using O = BatchOptions;
using enum Value;

// In the order of the help text.
const Option options[] = {
    {"--smoothness", nullptr, Required, "--smoothness X|auto",
     "smoothness of the spline (default 5000); auto: chosen by\n"
     "generalized cross-validation, as the window's \"Auto\" does",
     smoothness},
    {"--function", nullptr, Required, "--function H|S", "H function (default) or S function", function},
    {"--evaluation-type", nullptr, Required, "--evaluation-type T", "Type-A, Type-B (default), Type-C or Type-D",
     evaluationType},
    {"--degeneracy", nullptr, Required, "--degeneracy g1,g2,g3",
     "degeneracy factors of the three stages (default: 2 for\n"
     "n-type, 4 for p-type, as the program sets them)",
     degeneracy},
    {"--answer-yes", nullptr, None, "--answer-yes", "answer Yes to the recalculation question (default No)",
     flag<&O::answerYes>},
    {"--output-dir", nullptr, Required, "--output-dir DIR", "write the files to DIR instead of the input's folder",
     outputDir},
    {"--dos0", nullptr, Required, "--dos0 X",
     "effective density of states per T^1.5 [cm^-3 K^-1.5] of a\n"
     "material the table does not know (or instead of the table's)",
     densityOfStates},
    {"--mass", nullptr, Required, "--mass M --minima K",
     "the same computed from the effective mass M/m0 and the\n"
     "number of equivalent minima K (K is 1 for p-type samples)",
     densityOfStates},
    {"--minima", nullptr, Required, nullptr, nullptr, densityOfStates},
    {"--material", nullptr, Required, "--material NAME", "the material's name instead of the one in the data file",
     material},
    {"--one-impurity", nullptr, Optional, "--one-impurity[=T_LOW:T_HIGH]",
     "after the Fermi level, the analysis of only one impurity\n"
     "over the points from T_LOW to T_HIGH K (default: all), as\n"
     "the window evaluates it; writes the *.CNO file",
     oneImpurity},
    {"--donor-acceptor", nullptr, Required, "--donor-acceptor=N_NET[:T_LOW:T_HIGH]",
     "the analysis of one donor and one acceptor with the net\n"
     "density N_NET [cm^-3]; writes the *.CNC file",
     donorAcceptor},
    {"--dhes", nullptr, None, "--dhes",
     "after the Fermi level, also the differential Hall-effect\n"
     "spectroscopy: up to four peaks from the low-Fermi-level end,\n"
     "each evaluated, their sum, and the *.DHES file",
     flag<&O::dhes>},
    {"--fit", nullptr, None, "--fit",
     "after the simulation, the curve fitting: \"Curve Fitting\"\n"
     "pressed while it stays enabled (at most 20 times), the\n"
     "*.cft file, the fitted species with standard errors",
     flag<&O::fit>},
    {"--fit-precise", nullptr, None, "--fit-precise",
     "the curve fitting's Fermi level with 30 halvings instead\n"
     "of 15 (implies --fit)",
     flag<&O::fit, &O::fitPrecise>},
    {"--best-model", nullptr, None, "--best-model",
     "after the rest, the model the data support: one to four\n"
     "species (and, p-type, excited states) fitted to the points,\n"
     "chosen by BIC (AICc below 25 points), with standard errors;\n"
     "writes the *.mdl file",
     flag<&O::bestModel>},
    {"--columns", nullptr, Required, "--columns T,N[,R]",
     "the inputs are a measurement system's own text files:\n"
     "T, N (and R) are the 1-based columns of temperature,\n"
     "concentration (and reliability, else 1); each file is\n"
     "converted as the converter's \"Save\" does, written as\n"
     "*.nT or *.pT beside the results and analysed",
     columns},
    {"--type", nullptr, Required, "--type n|p",
     "conduction type of the converted files (with --columns;\n"
     "from the sign of R_H when the N column holds it)",
     type},
    {"--overwrite", nullptr, None, "--overwrite",
     "with --columns: replace a data file of the converted\n"
     "name that exists already (else the file is refused)",
     flag<&O::overwrite>},
    {"--quantity", nullptr, Required, "--quantity Q",
     "what the N column holds: concentration (default),\n"
     "hall-coefficient R_H [cm^3/C] or hall-voltage [V]; then\n"
     "n = r_H/(q|R_H|) with R_H = V_H d/(I B) from the thickness,\n"
     "current and field, and the type from the sign of R_H",
     quantity},
    {"--current-column", nullptr, Required, "--current-column I --field-column B",
     "with hall-voltage: 1-based columns of the current [A] and\n"
     "field of each point (default: --current, --field)",
     column},
    {"--field-column", nullptr, Required, nullptr, nullptr, column},
    {"--hall-factor", nullptr, Required, "--hall-factor R",
     "Hall factor r_H (default 1), stated in the files' comment", hallFactor},
    {"--temperature-unit", nullptr, Required, "--temperature-unit K|C --field-unit T|G",
     "units of the converted file's temperatures and fields", unit},
    {"--field-unit", nullptr, Required, nullptr, nullptr, unit},
    {"--sample", nullptr, Required, "--sample TEXT --thickness MICRON --field TESLA --current AMPERE",
     "sample description of the converted files (default\n"
     "empty and 0); the material comes from --material",
     sample},
    {"--thickness", nullptr, Required, nullptr, nullptr, sampleNumber},
    {"--field", nullptr, Required, nullptr, nullptr, sampleNumber},
    {"--current", nullptr, Required, nullptr, nullptr, sampleNumber},
    {"--excited", nullptr, Optional, "--excited[=always]",
     "when the H1 evaluation raises the caution about excited\n"
     "states (or always), evaluate H1 again with them, as the\n"
     "excited-states window does, and save *.simN and *.exc",
     excited},
    {"--dielectric-constant", nullptr, Required, "--dielectric-constant X",
     "dielectric constant for --excited (default: the\n"
     "material table's)",
     dielectricConstant},
    {"--highest-level", nullptr, Required, "--highest-level R",
     "with --excited: precise mode with levels 1..R (a build\n"
     "with the development setting only)",
     development},
    {"--level-shift", nullptr, Required, "--level-shift MEV",
     "with --excited: shift of the excited levels [meV] (a build\n"
     "with the development setting only)",
     development},
    {"--jobs", "-j", Required, "-j, --jobs N", "analyse N files at once (default: one per core)", jobs},
    {"--json", nullptr, None, "--json", "print a machine-readable summary instead of the tables", flag<&O::json>},
    {"--report", nullptr, None, "--report",
     "also write the report of each sample (*.html): inputs,\n"
     "charts, results and warnings in one self-contained page",
     flag<&O::report>},
    {"--quiet", "-q", None, "--quiet", "print errors only: no tables, no progress, no confirmations",
     flag<&O::quiet>},
    {"--help", "-h", None, "--help", "print this text and exit", stop},
    {"--version", nullptr, None, "--version", "print the version and exit", stop},
};

const char* const usageHead =
    "NAME\n"
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
    "OPTIONS\n";

const char* const usageTail =
    "\n"
    "EXIT STATUS\n"
    "    0  every file was analysed to the simulation\n"
    "    1  an analysis step failed for at least one file (its message is printed)\n"
    "    2  usage error, or a file could not be read or written\n"
    "\n"
    "    A file whose material is not in the table stops with status 1 unless --dos0\n"
    "    or --mass/--minima give its effective density of states.\n";

// The option `a` names, with its value when it carries one ("--name=v", "-jN").
const Option* find(const std::string& a, std::string& value, bool& given)
{
    given = false;
    for (const Option& opt : options) {
        const std::string name = opt.name;
        if (a == name || (opt.shortName && a == opt.shortName))
            return &opt;
        if (opt.value != None && a.compare(0, name.size() + 1, name + "=") == 0) {
            value = a.substr(name.size() + 1);
            given = true;
            return &opt;
        }
        if (opt.value == Required && opt.shortName && a.size() > 2 && a.compare(0, 2, opt.shortName) == 0) {
            value = a.substr(2);
            given = true;
            return &opt;
        }
    }
    return nullptr;
}

} // namespace

std::string batchUsage()
{
    constexpr std::size_t indent = 4, column = 26;
    std::string text = usageHead;
    for (const Option& opt : options) {
        if (!opt.label)
            continue;
        const std::string label = opt.label;
        std::string line = std::string(indent, ' ') + label;
        // A label at most two wider than the column keeps its text beside it.
        if (line.size() < column)
            line.append(column - line.size(), ' ');
        else if (line.size() <= column + 2)
            line += "  ";
        else
            line += "\n" + std::string(column, ' ');
        std::stringstream lines(opt.help);
        std::string part;
        for (bool first = true; std::getline(lines, part); first = false)
            text += (first ? line : std::string(column, ' ')) + part + "\n";
    }
    return text + usageTail;
}

int parseBatchArguments(const std::vector<std::string>& args, BatchOptions& o,
                        std::vector<std::string>& files, bool& stop, std::string& error)
{
    Parse p{o, error};
    stop = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        std::string v;
        bool given = false;
        const Option* opt = a.size() > 1 && a[0] == '-' ? find(a, v, given) : nullptr;
        if (!opt) {
            if (a.size() > 1 && a[0] == '-') {
                error = "unknown option " + a;
                return 2;
            }
            files.push_back(a);
            continue;
        }
        if (opt->value == Required && !given) {
            if (i + 1 >= args.size()) {
                error = std::string("option ") + (a == opt->name ? opt->name : a.c_str()) + " needs a value";
                return 2;
            }
            v = args[++i];
            given = true;
        }
        if (!opt->handle(p, opt->name, v, given))
            return 2;
        if (p.stop) {
            stop = true;
            return 0;
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
    if (!o.conversion.active() && (p.conversionDetails || o.overwrite || !o.conversion.conductionType.empty())) {
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
