// Handlers of the later stages, connected to their controls but not yet
// built. Each definition moves to the file of its stage when that is done.
#include "app/Hall.h"

void TFormMain::ButtonDecreaseErefH1Click() {}
void TFormMain::ButtonDecreaseErefH1PreciseClick() {}
void TFormMain::ButtonIncreaseErefH1PreciseClick() {}
void TFormMain::ButtonIncreaseErefH1Click() {}
void TFormMain::ButtonCalculationH1PreciseClick() {}
void TFormMain::ButtonDecreasePeakH1Click() {}
void TFormMain::ButtonIncreasePeakH1Click() {}
void TFormMain::ButtonDecreasePeakH2Click() {}
void TFormMain::ButtonIncreasePeakH2Click() {}
void TFormMain::ButtonDecreasePeakH3Click() {}
void TFormMain::ButtonIncreasePeakH3Click() {}
void TFormMain::ButtonCalcH1Click() {}
void TFormMain::ButtonCalcH2Click() {}
void TFormMain::ButtonCalcH3Click() {}
void TFormMain::ButtonEvaluation1Click() {}
void TFormMain::ButtonEvaluation2Click() {}
void TFormMain::ButtonEvaluation3Click() {}
void TFormMain::ButtonUseNegativeNcomClick() {}
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
