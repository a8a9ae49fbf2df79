// The conventional Arrhenius analyses of the measured points: one impurity
// without compensation (a straight line of ln(n/T^3/4) against 1000/T in the
// freeze-out range), and one majority dopant with one compensating dopant
// (the compensating density that makes ln(y) against 1000/T straightest).
// Both windows and the batch program hold one of these state objects; they
// read the analysis object and never change it.
#pragma once

#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"

#include <array>
#include <string>

namespace conventional {

// Least-squares line y = slope*x + intersection over i = lo .. hi inclusive;
// sums in index order.
struct LineFit {
    double slope = 0;
    double intersection = 0;
    double correlation = 0;
};
LineFit FreezeOutLineFit(const DoubleArray& x, const DoubleArray& y, int lo, int hi);

// Depth of the Fermi level [eV] below the majority band edge for the
// neutrality function F(E): the program's one bisection, 30 halvings.
template <class F>
double NeutralityBisection(F f)
{
    return neutrality::solveFermiLevel(f, 30);
}

// The simulated majority-carrier concentration: temperature [K],
// concentration [cm^-3] and Fermi-level depth [eV], one entry per step of
// 0.01 in 1000/T upwards in temperature from the first one.
struct SimulatedCurve {
    DoubleArray temperature, concentration, fermiLevel;
};

// One species of density N and level dE with degeneracy g, no compensation,
// from T0 while T < 1000 K (the first point always).
SimulatedCurve simulateOneImpurity(double energyLevel, double density, double g, double dos0, double T0);
// One majority species of density nMajority and level dE with compensation
// nComp, from T0 while T < tLast (the first point always).
SimulatedCurve simulateDonorAcceptor(double energyLevel, double nMajority, double nComp, double g,
                                     double dos0, double T0, double tLast);

// The fitting range: IndexLowestT is the lowest temperature of the range
// (the high end of the 1000/T axis), IndexHighestT the highest. The range
// always spans two points at least.
struct FitRange {
    int IndexLowestT = 0;
    int IndexHighestT = 0;
    // The four "<" ">" buttons under the low-1000/T label (moving
    // IndexHighestT) and under the high-1000/T label (moving IndexLowestT).
    enum class Button { DecreaseLow, IncreaseLow, DecreaseHigh, IncreaseHigh };
    // One press with `count` points; false when the step was refused (the
    // index then stays at its limit).
    bool press(Button button, int count);
    // The indices of the first and last point whose temperature lies in
    // [tLow, tHigh]; false (range unchanged) when fewer than two points do.
    bool selectTemperatures(const DoubleArray& temperature, double tLow, double tHigh);
    // A point picked on the chart (index into the points): the bound nearer
    // to it moves there, keeping two points at least. False when nothing
    // moved.
    bool takeNearerBound(int index, int count);
    // The point whose 1000/T lies nearest to `inverseT`; -1 when there is none.
    static int nearestPoint(const DoubleArray& temperature, double inverseT);
};

// A fit refused because it cannot give finite results.
namespace refusal {
extern const char* const nonPositive;   // a concentration (or temperature) of the range <= 0
extern const char* const oneTemperature; // fewer than two different 1000/T in the fit
extern const char* const notFinite;      // any result not finite
} // namespace refusal

// "Only One Impurity (Donor or Acceptor)".
struct OneImpurity {
    // Read from the analysis object when the window opens.
    bool nType = true;
    double g = 2;
    double A = 0; // sqrt(N'/g)
    double dos0 = 0;
    DoubleArray temperature, concentration;

    FitRange range;
    LineFit fit;
    double xHi = 0, yHi = 0, xLo = 0, yLo = 0; // line end points
    double energyLevel = 0;                    // eV
    double density = 0;                        // cm^-3
    std::array<std::string, 3> comments;
    SimulatedCurve simulation;
    bool evaluated = false;

    // The opening operation: inputs from `a`, the full range, no results.
    void open(const Analysis& a);
    // A bound button; the results go back to 0 whether or not it moved.
    bool press(FitRange::Button button);
    // The range typed as temperatures, and a point picked on the chart at
    // 1000/T = inverseT; the results go back to 0 when the range changed.
    bool selectTemperatures(double tLow, double tHigh);
    bool pickPoint(double inverseT);
    void resetResults();
    // "Evaluation": the fit, level, density, comments and simulation. An
    // empty text on success; otherwise the message of the refusal, and the
    // results stay reset.
    std::string evaluate();
    // The *.CNO file of the last evaluation at `path`, header from `a`.
    std::string fileText(const Analysis& a, const std::string& path) const;
    // Written through writeAtomic; false with a message naming the file.
    bool write(const Analysis& a, const std::string& path, std::string& error) const;
    // y of the first chart at point i: n/T^0.75.
    double reducedConcentration(int i) const;
};

// "One Donor and One Acceptor".
struct DonorAcceptor {
    bool nType = true;
    double g = 2;
    double dos0 = 0;
    DoubleArray temperature, concentration;

    FitRange range;
    double netDensity = 0;          // N_net as last accepted
    double compensatingDensity = 0; // N_comp
    double majorityDensity = 0;     // N_maj = N_net + N_comp
    LineFit fit;
    double xHi = 0, yHi = 0, xLo = 0, yLo = 0;
    double energyLevel = 0; // eV
    double factorG = 0;     // (m*/m0)^3/2 * M_C/g, or (m*/m0)^3/2/g
    SimulatedCurve simulation;
    bool evaluated = false;

    // Opening: full range, N_net = concentration at the highest temperature.
    void open(const Analysis& a);
    bool press(FitRange::Button button);
    bool selectTemperatures(double tLow, double tHigh);
    bool pickPoint(double inverseT);
    void resetResults();
    // y of point i for a trial compensating density x; false when the point
    // has none (n_i >= N_net).
    bool yOf(int i, double x, double& y) const;
    // The fit of ln y for trial x over the range.
    LineFit fitFor(double x) const;
    // Scans 601 trial compensating densities from N_net/1000 to N_net*1000
    // (steps of 0.01 decade) for the most negative correlation; the first
    // wins on ties; compensatingDensity keeps its value when none is < 0.
    // Leaves the final fit and its end points.
    void CompensationSearch();
    // "Evaluation" with the typed net density. Empty on success, otherwise the
    // message ("Please input the net density.", "Please input a large number
    // as the net density." or a refusal); the results then stay as they were
    // (refusals of the fit reset them).
    std::string evaluate(double typedNetDensity);
    // Display densities: donor and acceptor.
    double donorDensity() const { return nType ? majorityDensity : compensatingDensity; }
    double acceptorDensity() const { return nType ? compensatingDensity : majorityDensity; }
    std::string fileText(const Analysis& a, const std::string& path) const;
    bool write(const Analysis& a, const std::string& path, std::string& error) const;
};

// The three comments on a density found by the freeze-out fit: the first
// warns above 1e20 cm^-3.
std::array<std::string, 3> densityComments(bool nType, double density);


// Free-electron effective density of states per T^3/2 [cm^-3 K^-3/2].
double freeElectronDos0();

} // namespace conventional
