// The comment block that opens every result file. Readers take its values by
// position and strip fixed label lengths, so lines must never move or change
// their labels.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

std::string Analysis::functionTypeText() const
{
    if (functionType == 1)
        return "S(T,Eref)=n(T)*exp(Eref/kT)/kT";
    if (functionType == 2)
        return "H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5";
    return "Unknown";
}

void Analysis::writeHeaderBlock(std::ostream& out, const HeaderOptions& o) const
{
    using textfile::putLine;
    using numfmt::general;
    putLine(out, o.title);
    putLine(out, "% Version Information: " + versionInformation);
    for (const std::string& l : o.modelLines)
        putLine(out, l);
    if (o.functionTypeLine)
        putLine(out, "% Function Type: " + functionTypeText());
    putLine(out, "% Original file: " + originalFileName);
    putLine(out, "% Experimental data file: " + experimentalDataFileName);
    if (o.splineFileLine)
        putLine(out, "% File of data for analysis: " + splineFileName);
    if (o.fermiFileLine)
        putLine(out, "% Fermi level file: " + o.fermiFileValue);
    for (const auto& [label, value] : o.ownFileLines)
        putLine(out, label + value);
    if (o.sampleGroup) {
        putLine(out, "% Name of measurement: " + measurementName);
        putLine(out, "% Date of measurement: " + measurementDate);
        putLine(out, "% Name of analysis: " + analysisName);
        putLine(out, "% Date of Analysis: " + analysisDate);
        putLine(out, "% Sample number: " + sampleNumber);
        putLine(out, "% Semiconductor: " + semiconductor);
        putLine(out, "% Conduction type: " + conductionType);
        putLine(out, "% Sample thickness [micron]: " + general(sampleThickness));
        putLine(out, "% Magnetic Field [T]: " + general(magneticField));
        putLine(out, "% Current [A]: " + general(current));
        putLine(out, "% Number of data: " + std::to_string(dataCount));
        putLine(out, "% " + comment);
    }
    if (o.splineGroup) {
        putLine(out, "% Index of beginning data: " + std::to_string(firstDataIndex));
        putLine(out, "% Index of ending data: " + std::to_string(lastDataIndex));
        putLine(out, "% Number of data for analysis: " + std::to_string(splineCount));
        putLine(out, "% Smoothness: " + general(smoothness));
    }
    if (o.materialGroup || o.materialWithDegeneracyInside) {
        putLine(out, "% Effective mass: " + general(effectiveMass));
        putLine(out, "% Equivalent minima: " + general(equivalentMinima));
        putLine(out, "% Effective density of states/T^(3/2): " + general(dos0));
        if (o.materialWithDegeneracyInside)
            putLine(out, "% Degeneracy factor: " + general(o.degeneracy));
        putLine(out, "% " + fermiLevelComment);
        if (o.degeneracyAfterMaterial)
            putLine(out, "% Degeneracy factor: " + general(o.degeneracy));
    }
}
