// Handlers of the later stages, connected to their controls but not yet
// built. Each definition moves to the file of its stage when that is done.
#include "app/Hall.h"

void TFormMain::ButtonSaveH1Click() {}
void TFormMain::ButtonSaveH2Click() {}
void TFormMain::ButtonSaveH3Click() {}
void TFormMain::ButtonSaveExperimentalH1DataClick() {}
void TFormMain::ButtonSaveExperimentalH2DataClick() {}
void TFormMain::ButtonSaveExperimentalH3DataClick() {}
void TFormMain::ButtonSimulationClick() {}
void TFormMain::ButtonSaveSimulationClick() {}
void TFormMain::ButtonSaveResultsClick() {}
void TFormMain::ButtonSeeResultsClick() {}
