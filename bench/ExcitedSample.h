// An example taken through the main window's pipeline up to the H1
// evaluation, ready for the excited-states evaluation (benchmark and
// fingerprint share it).
#pragma once

#include "analysis/data/Analysis.h"

#include <filesystem>
#include <string>

inline bool prepareExcitedSample(Analysis& a, const std::string& example)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "vorn_excited_bench";
    fs::create_directories(dir);
    a.startUp(1);
    if (!a.loadExperimentalData(std::string(VORN_EXAMPLES_DIR) + "/" + example).ok ||
        !a.calculateDataForAnalysis(5000).computed || !a.saveDataForAnalysis((dir / "s.spl").string()).ok ||
        !a.calculateFermiLevelStage().computed || !a.saveFermiLevel((dir / "s.fl").string()).ok ||
        a.calculateStage(0).kind != StageCalculationOutcome::Kind::Calculated)
        return false;
    return a.evaluate(0, a.isNType() ? 2 : 4).kind == Analysis::EvaluationOutcome::Kind::Evaluated;
}
