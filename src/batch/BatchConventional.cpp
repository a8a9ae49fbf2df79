// The conventional analyses of vorn-batch: the windows' opening defaults, the
// fitting range from the temperatures given, "Evaluation" and the save.
#include "batch/Batch.h"

#include "analysis/data/Analysis.h"
#include "analysis/conventional/Conventional.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"

namespace {

bool selectRange(const BatchOptions::TemperatureRange& given, const DoubleArray& T, conventional::FitRange& range,
                 BatchConventional& out)
{
    if (!given.given || range.selectTemperatures(T, given.low, given.high))
        return true;
    out.status = 1;
    out.error = "fewer than two points lie between " + numfmt::general(given.low) + " K and " +
                numfmt::general(given.high) + " K";
    return false;
}

template <class State>
void finish(Analysis& C, const State& s, const std::string& path, BatchConventional& out)
{
    out.lowestTemperature = s.temperature[s.range.IndexLowestT];
    out.highestTemperature = s.temperature[s.range.IndexHighestT];
    out.energyLevel = s.energyLevel;
    out.correlation = s.fit.correlation;
    std::string error;
    if (!s.write(C, path, error)) {
        out.status = 2;
        out.error = error;
        return;
    }
    out.file = path;
    out.done = true;
}

} // namespace

std::vector<BatchConventional> runConventionalAnalyses(Analysis& C, const BatchOptions& o,
                                                       const std::function<std::string(const std::string&)>& savePath)
{
    std::vector<BatchConventional> results;
    if (o.oneImpurity) {
        BatchConventional out;
        out.analysis = "one impurity";
        conventional::OneImpurity s;
        s.open(C);
        if (selectRange(o.oneImpurityRange, s.temperature, s.range, out)) {
            const std::string refused = s.evaluate();
            if (!refused.empty()) {
                out.status = 1;
                out.error = refused;
            } else {
                out.density = s.density;
                finish(C, s, savePath(Analysis::replaceExtension(C.experimentalDataFileName, ".CNO")), out);
            }
        }
        results.push_back(out);
    }
    if (o.netDensity != 0) {
        BatchConventional out;
        out.analysis = "donor-acceptor";
        conventional::DonorAcceptor s;
        s.open(C);
        if (selectRange(o.donorAcceptorRange, s.temperature, s.range, out)) {
            const std::string refused = s.evaluate(o.netDensity);
            if (!refused.empty()) {
                out.status = 1;
                out.error = refused;
            } else {
                out.density = s.majorityDensity;
                out.compensatingDensity = s.compensatingDensity;
                finish(C, s, savePath(Analysis::replaceExtension(C.experimentalDataFileName, ".CNC")), out);
            }
        }
        results.push_back(out);
    }
    return results;
}

bool parseTemperatureRange(const std::string& text, BatchOptions::TemperatureRange& range, std::string& error)
{
    const std::size_t colon = text.find(':');
    double low = 0, high = 0;
    if (colon == std::string::npos || !numfmt::parseDouble(text.substr(0, colon), low) ||
        !numfmt::parseDouble(text.substr(colon + 1), high) || !(low <= high)) {
        error = "a temperature range is T_LOW:T_HIGH in K with T_LOW <= T_HIGH, not '" + text + "'";
        return false;
    }
    range = {true, low, high};
    return true;
}

bool parseDonorAcceptor(const std::string& text, BatchOptions& o, std::string& error)
{
    const std::size_t colon = text.find(':');
    double net = 0;
    if (!numfmt::parseDouble(text.substr(0, colon), net) || !physical::densityProblem(net).empty()) {
        error = "--donor-acceptor needs a positive net density up to " + numfmt::general(physical::maxDensity) +
                " cm^-3, N_NET[:T_LOW:T_HIGH], not '" + text + "'";
        return false;
    }
    o.netDensity = net;
    o.donorAcceptorRange = {};
    return colon == std::string::npos || parseTemperatureRange(text.substr(colon + 1), o.donorAcceptorRange, error);
}
