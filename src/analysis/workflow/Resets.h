// Which stage a change of a spectroscopy stage resets from, for the core's
// resetFrom and the main window's pages alike.
#pragma once

#include "analysis/data/Outcomes.h"

// The stage after stage k (0 = H1 .. 2 = H3; 2 gives the simulation): what an
// evaluation or a new calculation of stage k leaves to be done again.
inline PipelineStage stageAfter(int k)
{
    return static_cast<PipelineStage>(static_cast<int>(PipelineStage::Stage1) + k + 1);
}
