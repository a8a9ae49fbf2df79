// The compiled part of the Python module `vorn`: the batch program's pipeline
// on an analysis object of each call's own (never the windows' global one),
// with the interpreter lock released while it computes. The package's
// __init__.py turns what these functions return into the result objects.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "analysis/data/DataEntry.h"
#include "analysis/base/NumberFormat.h"

#include <memory>
#include <sstream>
#include <stdexcept>

namespace py = pybind11;

namespace {

py::array_t<double> array(const DoubleArray& v, std::size_t count)
{
    const std::size_t n = std::min(count, v.size());
    return py::array_t<double>(static_cast<py::ssize_t>(n), v.data());
}

py::dict header(const Analysis& a)
{
    py::dict h;
    h["measurement_name"] = a.measurementName;
    h["measurement_date"] = a.measurementDate;
    h["analysis_name"] = a.analysisName;
    h["analysis_date"] = a.analysisDate;
    h["sample_number"] = a.sampleNumber;
    h["semiconductor"] = a.semiconductor;
    h["conduction_type"] = a.conductionType;
    h["thickness"] = a.sampleThickness;
    h["magnetic_field"] = a.magneticField;
    h["current"] = a.current;
    h["comment"] = a.comment;
    return h;
}

py::dict points(const Analysis& a)
{
    const std::size_t n = static_cast<std::size_t>(std::max(a.dataCount, 0));
    py::dict d;
    d["temperature"] = array(a.temperature, n);
    d["concentration"] = array(a.concentration, n);
    d["reliability"] = array(a.reliability, n);
    d["header"] = header(a);
    d["path"] = a.experimentalDataFileName;
    return d;
}

// The options as vorn-batch takes them; a usage error is the program's message.
BatchOptions parseOptions(const std::vector<std::string>& args, const std::string& path)
{
    BatchOptions o;
    o.releaseFlag = VORN_RELEASE_FLAG;
    std::vector<std::string> all = args;
    all.push_back("--");
    all.push_back(path);
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    if (parseBatchArguments(all, o, files, stop, error) != 0 || stop)
        throw std::invalid_argument(stop ? "help and version are options of the program, not of analyse()" : error);
    if (files.size() != 1)
        throw std::invalid_argument("analyse() takes one data file");
    o.jobs = 1;
    o.progress = false;
    return o;
}

// One file through the batch pipeline: its JSON entry, its messages and files,
// and the arrays the analysis object holds at the end.
py::dict runFile(const std::string& path, const std::vector<std::string>& args)
{
    const BatchOptions o = parseOptions(args, path);
    auto a = std::make_unique<Analysis>();
    BatchResult r;
    std::string entry;
    std::ostringstream log;
    {
        py::gil_scoped_release release;
        r = runBatchFile(*a, path, o, log);
        entry = formatBatchJsonEntry(r);
    }
    py::dict d = points(*a);
    d["entry"] = entry;
    d["log"] = log.str();
    const int grid = std::max(0, std::min(a->splineCount, static_cast<int>(a->splineTemperature.size())));
    const std::size_t g = static_cast<std::size_t>(grid);
    d["grid"] = array(a->splineTemperature, g);
    d["spline"] = array(a->splineConcentration, g);
    d["fermi_level"] = array(a->fermiLevel, g);
    d["simulation"] = array(a->simulatedConcentration, g);
    d["simulated_fermi_level"] = array(a->simulatedFermiLevel, g);
    py::list h, fit;
    py::list peaks;
    for (const BatchStage& s : r.stages) {
        const int k = s.name[1] - '1';
        if (k < 0 || k > 2 || static_cast<int>(a->hCurve.size()) <= k)
            continue;
        h.append(array(a->hCurve[k], g));
        fit.append(s.evaluated && static_cast<int>(a->simulatedHCurve.size()) > k
                       ? array(a->simulatedHCurve[k], g)
                       : py::array_t<double>(0));
        peaks.append(a->peakIndex[k]);
    }
    d["h_curves"] = h;
    d["fitted_h_curves"] = fit;
    d["peak_indices"] = peaks;
    d["function_type"] = a->functionType == 1 ? "S" : "H";
    return d;
}

py::dict readFile(const std::string& path)
{
    auto a = std::make_unique<Analysis>();
    a->startUp(1);
    const FileOutcome loaded = a->loadExperimentalData(path);
    if (!loaded.ok)
        throw std::runtime_error(loaded.error.empty() ? path + " could not be read" : loaded.error);
    return points(*a);
}

// Points given as arrays written as a data file, with the checks and the
// file of the data sheet's "Save".
std::string writeData(const std::string& path, const std::vector<double>& T, const std::vector<double>& n,
                      const std::vector<double>& reliability, const py::dict& form)
{
    if (T.size() != n.size() || (!reliability.empty() && reliability.size() != T.size()))
        throw std::invalid_argument("temperature, concentration and reliability need the same length");
    dataentry::Sheet sheet;
    for (std::size_t i = 0; i < T.size(); ++i)
        sheet.push_back({numfmt::general(T[i]), numfmt::general(n[i]),
                         reliability.empty() ? "1" : numfmt::general(reliability[i])});
    dataentry::SampleForm f;
    auto text = [&](const char* key, std::string& field) {
        if (form.contains(key))
            field = py::str(form[key]);
    };
    text("semiconductor", f.semiconductor);
    text("conduction_type", f.conductionType);
    text("sample_number", f.sampleNumber);
    text("measurement_name", f.measurementName);
    text("measurement_date", f.measurementDate);
    text("comment", f.comment);
    text("thickness", f.thickness);
    text("magnetic_field", f.magneticField);
    text("current", f.current);
    dataentry::Sheet sorted;
    const dataentry::SaveCheck checked = dataentry::checkSheet(sheet, f, sorted);
    if (!checked.ready())
        throw std::invalid_argument(checked.message);
    Analysis a;
    a.startUp(1);
    const FileOutcome saved = dataentry::saveNewData(a, checked, path, "");
    if (!saved.ok)
        throw std::runtime_error(saved.error);
    return checked.filterIndex == 2 ? "p-type" : "n-type";
}

} // namespace

PYBIND11_MODULE(_vorn, m)
{
    m.doc() = "VORN's analyses on the numerical core (see the package vorn)";
    m.attr("version") = VORN_VERSION_TEXT;
    m.def("run", &runFile, py::arg("path"), py::arg("args"));
    m.def("read", &readFile, py::arg("path"));
    m.def("write_data", &writeData, py::arg("path"), py::arg("temperature"), py::arg("concentration"),
          py::arg("reliability"), py::arg("form"));
}
