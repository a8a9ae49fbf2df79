// What vorn-batch prints: the table of each file and the JSON summary
// (nlohmann-json; the keys and their order are those consumers read).
#include "batch/Batch.h"

#include "analysis/base/Deviation.h"
#include "analysis/base/NumberFormat.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

std::string fileStatusText(const BatchResult& r) { return r.failure.empty() ? "done" : r.failure; }

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
            << numfmt::threeDigits(b.rms) << " in log10 n\n";
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


namespace {

using Json = nlohmann::ordered_json;

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

// File names and texts are bytes; a JSON string is UTF-8. Every byte that is
// not part of a UTF-8 sequence becomes one U+FFFD, the replacement character,
// so that it is never taken for a real character; the names have their exact
// bytes beside them (hex).
Json text(const std::string& s)
{
    std::string utf8;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8Length(s, i);
        utf8 += n == 0 ? std::string("\xEF\xBF\xBD") : s.substr(i, n);
        i += n == 0 ? 1 : n;
    }
    return utf8;
}

// The bytes of a name as hexadecimal digits, two per byte.
Json hex(const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// A standard error, null where it is not determined (negative).
Json standardError(double e) { return e < 0 ? Json(nullptr) : number(e); }

Json species(const BatchFitSpecies& s)
{
    return {{"energyLevel", number(s.energy)},
            {"energyLevelError", standardError(s.energyError)},
            {"density", number(s.density)},
            {"densityError", standardError(s.densityError)},
            {"degeneracy", number(s.g)}};
}

Json stage(const BatchStage& s)
{
    return {{"stage", text(s.name)},
            {"evaluated", s.evaluated},
            {"saved", s.saved},
            {"referenceEnergy", number(s.referenceEnergy)},
            {"peakTemperature", number(s.peakTemperature)},
            {"peakValue", number(s.peakValue)},
            {"density", number(s.density)},
            {"energyLevel", number(s.energyLevel)},
            {"compensatingDensity", number(s.compensatingDensity)}};
}

Json dhesPeak(std::size_t index, const BatchDhesPeak& p)
{
    return {{"peak", index + 1},
            {"fermiLevel", number(p.fermiLevel)},
            {"peakTemperature", number(p.temperature)},
            {"peakValue", number(p.peakValue)},
            {"density", number(p.density)},
            {"energyLevel", number(p.energyLevel)},
            {"edge", p.edge},
            {"evaluated", p.evaluated}};
}

Json conventional(const BatchConventional& c)
{
    return {{"analysis", text(c.analysis)},
            {"done", c.done},
            {"error", text(c.error)},
            {"lowestTemperature", number(c.lowestTemperature)},
            {"highestTemperature", number(c.highestTemperature)},
            {"energyLevel", number(c.energyLevel)},
            {"density", number(c.density)},
            {"compensatingDensity", number(c.compensatingDensity)},
            {"correlation", number(c.correlation)},
            {"file", text(c.file)}};
}

Json fit(const BatchFit& f)
{
    Json list = Json::array();
    for (const BatchFitSpecies& s : f.species)
        list.push_back(species(s));
    return {{"precise", f.precise},
            {"presses", f.presses},
            {"times", f.times},
            {"converged", f.converged},
            {"lowTemperature", number(f.lowTemperature)},
            {"highTemperature", number(f.highTemperature)},
            {"sumOfSquares", number(f.sumOfSquares)},
            {"species", list},
            {"compensatingDensity", number(f.compensatingDensity)},
            {"compensatingDensityError", standardError(f.compensatingError)}};
}

Json bestModel(const BatchBestModel& b)
{
    const auto excited = [](const std::string& distribution) { return distribution == "excited-states"; };
    Json j = {{"distribution", text(b.distribution)}};
    if (excited(b.distribution))
        j["levelCount"] = b.levelCount;
    j["criterionName"] = text(b.criterionName);
    j["criterion"] = number(b.criterion);
    j["residualRms"] = number(b.rms);
    j["species"] = Json::array();
    for (const BatchBestModelSpecies& s : b.species) {
        Json one = species(s);
        one["determined"] = s.determined;
        j["species"].push_back(one);
    }
    j["compensatingDensity"] = number(b.compensatingDensity);
    j["compensatingDensityError"] = standardError(b.compensatingError);
    j["alternatives"] = Json::array();
    for (const BatchBestModelAlternative& a : b.alternatives) {
        Json one = {{"speciesCount", a.speciesCount}, {"distribution", text(a.distribution)}};
        if (excited(a.distribution))
            one["levelCount"] = a.levelCount;
        one["parameters"] = a.parameters;
        one["criterion"] = number(a.criterion);
        one["residualRms"] = number(a.rms);
        one["chosen"] = a.chosen;
        j["alternatives"].push_back(one);
    }
    return j;
}

Json excitedStates(const BatchExcited& e)
{
    if (!e.run)
        return nullptr;
    return {{"caution", e.caution},
            {"evaluated", e.evaluated},
            {"dielectricConstant", number(e.dielectricConstant)},
            {"precise", e.precise},
            {"levelShift", number(e.levelShift)},
            {"levelCount", e.levelCount},
            {"density", number(e.density)},
            {"energyLevel", number(e.energyLevel)},
            {"compensatingDensity", number(e.compensatingDensity)},
            {"fermiDirac",
             {{"density", number(e.fermiDiracDensity)},
              {"energyLevel", number(e.fermiDiracEnergyLevel)},
              {"compensatingDensity", number(e.fermiDiracCompensatingDensity)}}}};
}

Json entry(const BatchResult& r)
{
    Json j = {{"input", text(r.input)},
              {"status", r.status},
              {"failure", text(r.failure)},
              {"semiconductor", text(r.semiconductor)},
              {"conductionType", text(r.conductionType)},
              {"dataCount", r.dataCount},
              {"gridPoints", r.splineCount},
              {"smoothness", number(r.smoothness)},
              {"smoothnessChosen", r.smoothnessChosen},
              {"smoothnessAtRangeEnd", r.smoothnessAtRangeEnd},
              {"stages", Json::array()}};
    for (const BatchStage& s : r.stages)
        j["stages"].push_back(stage(s));
    if (r.dhes) {
        j["dhes"] = Json::array();
        for (std::size_t i = 0; i < r.dhesPeaks.size(); ++i)
            j["dhes"].push_back(dhesPeak(i, r.dhesPeaks[i]));
    }
    j["compensatingDensity"] = number(r.compensatingDensity);
    j["simulated"] = r.simulated;
    j["largestDeviation"] = r.largestDeviation >= 0 ? number(r.largestDeviation) : Json(nullptr);
    j["deviationTemperature"] = number(r.deviationTemperature);
    j["conventional"] = Json::array();
    for (const BatchConventional& c : r.conventional)
        j["conventional"].push_back(conventional(c));
    if (r.fit.done)
        j["fit"] = fit(r.fit);
    if (r.bestModel.done)
        j["bestModel"] = bestModel(r.bestModel);
    j["excitedStates"] = excitedStates(r.excited);
    j["messages"] = Json::array();
    for (const BatchMessage& m : r.messages)
        j["messages"].push_back(Json{{"kind", text(m.kind)}, {"text", text(m.text)}});
    j["files"] = Json::array();
    bool anyName = false;
    for (const std::string& f : r.files) {
        j["files"].push_back(text(f));
        anyName = anyName || !validUtf8(f);
    }
    // Names that are not UTF-8 cannot be given back by a JSON string: their
    // exact bytes follow in hexadecimal (null for a name that is).
    if (!validUtf8(r.input))
        j["inputBytes"] = hex(r.input);
    if (anyName) {
        j["filesBytes"] = Json::array();
        for (const std::string& f : r.files)
            j["filesBytes"].push_back(validUtf8(f) ? Json(nullptr) : hex(f));
    }
    return j;
}

// ASCII only: every other character as its \u escape, so that no reader can take
// the summary for another encoding.
std::string dump(const Json& j) { return j.dump(2, ' ', true); }

} // namespace

std::string formatBatchJsonEntry(const BatchResult& result) { return dump(entry(result)); }

std::string formatBatchJson(const std::vector<BatchResult>& results)
{
    Json all = Json::array();
    for (const BatchResult& r : results)
        all.push_back(entry(r));
    return dump(all) + "\n";
}

std::string joinBatchJson(const std::vector<std::string>& entries)
{
    Json all = Json::array();
    for (const std::string& e : entries)
        all.push_back(Json::parse(e));
    return dump(all) + "\n";
}
