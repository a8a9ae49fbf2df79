// Main window: page resets, presentation by conduction type and function
// type, and saving charts as figures.
#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "app/Hall.h"
#include "toolkit/Modal.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>

namespace {
using Form = FormulaPicture::Form;

bool sFunction() { return C.functionType == 1; }

QString sub(const QString& s) { return "<sub>" + s + "</sub>"; }
QString sup(const QString& s) { return "<sup>" + s + "</sup>"; }

// The majority-carrier symbol of a form: n for electrons, p for holes; the
// generic form writes n and says that it stands for the majority carriers.
QString carrier(Form f) { return f == Form::PType ? "<i>p</i>" : "<i>n</i>"; }

QString carrierNote(Form f)
{
    switch (f) {
    case Form::NType:
        return "<i>n</i>(T): electron concentration";
    case Form::PType:
        return "<i>p</i>(T): hole concentration";
    default:
        return "<i>n</i>(T): majority-carrier concentration";
    }
}

// Species found in stage k of an n-type sample are donors, of a p-type
// sample acceptors; the compensating species is of the other kind.
QString speciesIndex(Form f, int k)
{
    const QString digit = QString::number(k + 1);
    switch (f) {
    case Form::NType:
        return "D" + digit;
    case Form::PType:
        return "A" + digit;
    default:
        return digit;
    }
}

QString compensatingIndex(Form f)
{
    switch (f) {
    case Form::NType:
        return "A";
    case Form::PType:
        return "D";
    default:
        return "com";
    }
}

QString functionHtml(int k, Form f)
{
    const QString digit = QString::number(k + 1);
    const QString c = carrier(f);
    const QString e = "exp(E" + sub("ref") + "/kT)";
    QString text;
    if (sFunction()) {
        const QString ck = k == 0 ? c + "(T)" : c + sub(digit) + "(T)";
        text = "S" + sub(digit) + "(T,E" + sub("ref") + ") = " + ck + " " + e + " / kT";
    } else {
        const QString product = k == 0 ? c + "(T)" + sup("2") : c + "(T) " + c + sub(digit) + "(T)";
        text = "H" + sub(digit) + "(T,E" + sub("ref") + ") = " + product + " " + e + " / (kT)" +
               sup("5/2");
    }
    text += "<br><small>" + carrierNote(f);
    if (k > 0) {
        const QString earlier = k == 1 ? "the first species" : "the first and second species";
        text += "; " + c + sub(digit) + "(T): " + c + "(T) without " + earlier;
    }
    return text + "</small>";
}

QString densityHtml(int k, Form f) { return "N" + sub(speciesIndex(f, k)) + " ="; }
QString energyHtml(int k, Form f) { return "&Delta;E" + sub(speciesIndex(f, k)) + " ="; }
QString cdensityHtml(Form f) { return "N" + sub(compensatingIndex(f)) + " ="; }

QString dosHtml(Form f)
{
    QString band, extrema, mass;
    switch (f) {
    case Form::NType:
        band = "C", extrema = "c", mass = "e";
        break;
    case Form::PType:
        band = "V", extrema = "v", mass = "h";
        break;
    default:
        band = "", extrema = "", mass = "";
    }
    const QString n = band.isEmpty() ? "N" : "N" + sub(band);
    const QString m = mass.isEmpty() ? "m*" : "m" + sub(mass) + "*";
    const QString mm = extrema.isEmpty() ? "M" : "M" + sub(extrema);
    return n + "/(kT)" + sup("3/2") + " = 2 " + mm + " (2&pi; " + m + " / h" + sup("2") + ")" +
           sup("3/2");
}

QString massHtml(Form f)
{
    switch (f) {
    case Form::NType:
        return "m" + sub("e") + "*/m" + sub("0");
    case Form::PType:
        return "m" + sub("h") + "*/m" + sub("0");
    default:
        return "m*/m" + sub("0");
    }
}

QString minimaHtml(Form f)
{
    switch (f) {
    case Form::NType:
        return "M" + sub("c");
    case Form::PType:
        return "M" + sub("v");
    default:
        return "M";
    }
}

QString fermiHtml(Form f)
{
    switch (f) {
    case Form::NType:
        return "E" + sub("C") + " &minus; E" + sub("F");
    case Form::PType:
        return "E" + sub("F") + " &minus; E" + sub("V");
    default:
        return "&Delta;E" + sub("F") + " (from the majority band edge)";
    }
}

void setForms(FormulaPicture& p, const QString& generic, const QString& n, const QString& pt)
{
    p.generic->setText(generic);
    p.nType->setText(n);
    p.pType->setText(pt);
}

void setZero(std::initializer_list<QLabel*> labels)
{
    for (QLabel* l : labels)
        l->setText("0");
}

void disable(std::initializer_list<QWidget*> widgets)
{
    for (QWidget* w : widgets)
        w->setEnabled(false);
}
} // namespace

// ---- page resets -----------------------------------------------------------

void TFormMain::resetExperimentalDisplay()
{
    for (ChartPlot* c : {ChartExperimentalLinear, ChartExperimentalLog}) {
        c->setLeftTitle("Free Carrier Concentration  [cm^-3]");
        c->clearSeries(0);
        c->clearSeries(1);
    }
    dataSheetSaved = false;
    conversionSaved = false;
    LabelFilenameExperimentalData->clear();
    disable({ButtonChangeData, ButtonCalcSpline, ButtonSaveSpline, ButtonSaveFigureCon1,
             ButtonSaveFigureCon2});
    EditSmoothness->setText("5000");
    for (ChartPlot* c : {ChartSimulationReverseT, ChartSimulationT}) {
        c->setLeftTitle("Majority-Carrier Concentration  [cm^-3]");
        c->clearSeries(0);
    }
}

void TFormMain::resetSplineDisplay()
{
    ChartExperimentalLinear->clearSeries(1);
    ChartExperimentalLog->clearSeries(1);
    LabelFilenameSpline->clear();
    LabelSplineDeviation->clear();
}

void TFormMain::resetFermiPage()
{
    ChartFermiLevel->setLeftTitle("Fermi Level  [eV]");
    ChartFermiLevel->clearSeries(0);
    ChartFermiLevel->clearSeries(1);
    ButtonInputChangeInformation->setEnabled(false);
    LabelFermiSemiconductor->clear();
    LabelFermiConductionTypeN->setText("n-type");
    LabelFermiConductionTypeP->setText("p-type");
    EditMass->setText("1");
    EditEquivalentMinima->setText("1");
    EditEffectiveDensityOfStates->setText("9.4E49");
    disable({EditMass, EditEquivalentMinima, ButtonCalcEffectiveDensityOfStates,
             EditEffectiveDensityOfStates, ButtonCalcFermiLevel, ButtonSaveFermiLevel,
             ButtonSaveFigureFermi, ButtonSaveExperimentalFermiLevelData});
    EditFermiLevelComment->clear();
    LabelFilenameFermiLevel->clear();
    // The page stays labelled for the sample's conduction type, which the
    // reset of this stage does not change.
    presentFermiPageConductionType();
}

void TFormMain::presentFermiPageConductionType()
{
    const bool n = C.isNType();
    const bool p = C.isPType();
    if (!n && !p)
        return;
    ChartFermiLevel->setLeftTitle(n ? "Fermi Level from Conduction Band  [eV]"
                                    : "Fermi Level from Valence Band  [eV]");
    LabelFermiConductionTypeN->setText(n ? "n-type" : "");
    LabelFermiConductionTypeP->setText(p ? "p-type" : "");
}

void TFormMain::resetStage1Page()
{
    ChartH1->clearAll();
    ButtonCalcH1->setEnabled(false);
    ButtonCalcH1->setText(C.advancedMode == 1 ? "Auto Calculation" : "Calculation");
    LabelEref1->setText("0");
    EditEref1->setText("0");
    disable({ButtonDecreaseErefH1, ButtonDecreaseErefH1Precise, ButtonIncreaseErefH1Precise,
             ButtonIncreaseErefH1, ButtonCalculationH1Precise, ButtonSaveExperimentalH1Data,
             ButtonDecreasePeakH1, ButtonIncreasePeakH1, ButtonEvaluation1, ButtonSaveH1,
             ButtonSaveFigureH1});
    setZero({LabelPeakT1, LabelPeakV1, LabelDensity1, LabelEnergy1, LabelCDensity1});
    LabelFilenameH1->clear();
    clearStageCopiesOnH2();
    for (int k = 0; k < 3; ++k)
        resetSpeciesInput(k);
    resetCompensationInput();
    ButtonSaveSimulation->setEnabled(false);
}

void TFormMain::clearStageCopiesOnH2()
{
    setZero({LabelDensity1H2, LabelEnergy1H2, LabelComDensityH2});
}

void TFormMain::clearStageCopiesOnH3()
{
    setZero({LabelDensity1H3, LabelEnergy1H3, LabelDensity2H3, LabelEnergy2H3, LabelComDensityH3});
}

void TFormMain::resetStage2Page()
{
    ChartH2->clearAll();
    ButtonCalcH2->setEnabled(false);
    LabelEref2->setText("0");
    disable({ButtonUseNegativeNcom, ButtonEvaluation2, ButtonDecreasePeakH2, ButtonIncreasePeakH2,
             ButtonSaveH2, ButtonSaveFigureH2, ButtonSaveExperimentalH2Data});
    setZero({LabelPeakT2, LabelPeakV2, LabelDensity2, LabelEnergy2, LabelCDensity2});
    LabelFilenameH2->clear();
    clearStageCopiesOnH3();
    resetSpeciesInput(1);
    resetSpeciesInput(2);
    resetCompensationInput();
}

void TFormMain::resetStage2Results()
{
    for (int s = 1; s <= 3; ++s)
        ChartH2->clearSeries(s);
    setZero({LabelDensity2, LabelEnergy2, LabelCDensity2});
    disable({ButtonSaveH2, ButtonSaveFigureH2});
    LabelFilenameH2->clear();
    clearStageCopiesOnH3();
    resetSpeciesInput(1);
    resetSpeciesInput(2);
    resetCompensationInput();
}

void TFormMain::resetStage3Page()
{
    ChartH3->clearAll();
    ButtonCalcH3->setEnabled(false);
    LabelEref3->setText("0");
    disable({ButtonEvaluation3, ButtonDecreasePeakH3, ButtonIncreasePeakH3, ButtonSaveH3,
             ButtonSaveFigureH3, ButtonSaveExperimentalH3Data});
    setZero({LabelPeakT3, LabelPeakV3, LabelDensity3, LabelEnergy3, LabelCDensity3});
    LabelFilenameH3->clear();
    resetSpeciesInput(2);
    resetCompensationInput();
}

void TFormMain::resetStage3Results()
{
    for (int s = 1; s <= 3; ++s)
        ChartH3->clearSeries(s);
    setZero({LabelDensity3, LabelEnergy3, LabelCDensity3});
    disable({ButtonSaveH3, ButtonSaveFigureH3});
    LabelFilenameH3->clear();
    resetSpeciesInput(2);
    resetCompensationInput();
}

void TFormMain::resetSimulationPage()
{
    ChartSimulationReverseT->clearSeries(1);
    ChartSimulationT->clearSeries(1);
    CheckBox4->setChecked(false);
    ButtonSeeResults->setEnabled(false);
    ButtonSeeResults->setText("See Remarks!");
    // Back to the normal window-text colour (a warning may have coloured it).
    ButtonSeeResults->setPalette(QPalette());
    disable({ButtonSaveSimulation, ButtonSaveFigureSimulation1, ButtonSaveFigureSimulation2});
    LabelFilenameSimulation->clear();
    LabelSimulationDeviation->clear();
}

void TFormMain::resetSpeciesInput(int k)
{
    QCheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3};
    QLineEdit* densities[] = {EditSDensity1, EditSDensity2, EditSDensity3};
    QLineEdit* energies[] = {EditSEnergy1, EditSEnergy2, EditSEnergy3};
    QLineEdit* gs[] = {EditSG1, EditSG2, EditSG3};
    if (k < 0 || k > 2)
        return;
    boxes[k]->setChecked(false);
    densities[k]->setText("0");
    energies[k]->setText("0");
    gs[k]->setText("1");
}

void TFormMain::resetCompensationInput()
{
    CheckBox4->setChecked(false);
    EditSCDensity->setText("0");
}

// ---- presentation ----------------------------------------------------------

void TFormMain::setFunctionCaptions()
{
    const bool s = sFunction();
    const QString letter = s ? "S" : "H";
    QWidget* tabs[] = {TabSheet3, TabSheet4, TabSheet5};
    for (int k = 0; k < 3; ++k) {
        const QString name = letter + QString::number(k + 1);
        StageControls c = stage(k);
        PageControl1->setTabText(PageControl1->indexOf(tabs[k]), name + "(T,E_ref)");
        c.calcGroup->setTitle("Calculate " + name + "(T,E_ref)");
        c.save->setText("Save Obtained Results (*." + name + ")");
        c.chart->setLeftTitle(name + (s ? "(T,E_ref) [cm^-3 eV^-1]" : "(T,E_ref) [cm^-6 eV^-2.5]"));
        c.chart->setSeriesName(0, name + " from the spline");
        c.chart->setSeriesName(1, "Simulated " + name);
        c.chart->setSeriesName(3, name + " of the measured points");
    }
}

void TFormMain::setFormulaForms(Form form)
{
    // Texts first (the function pictures depend on the function type), then
    // the one visible form of each picture.
    for (int k = 0; k < 3; ++k) {
        setForms(PictureFunction[k], functionHtml(k, Form::Generic), functionHtml(k, Form::NType),
                 functionHtml(k, Form::PType));
        for (FormulaPicture* p : {&PictureDensity[k], &PictureSimDensity[k]})
            setForms(*p, densityHtml(k, Form::Generic), densityHtml(k, Form::NType),
                     densityHtml(k, Form::PType));
        for (FormulaPicture* p : {&PictureEnergy[k], &PictureSimEnergy[k]})
            setForms(*p, energyHtml(k, Form::Generic), energyHtml(k, Form::NType),
                     energyHtml(k, Form::PType));
        setForms(PictureCDensity[k], cdensityHtml(Form::Generic), cdensityHtml(Form::NType),
                 cdensityHtml(Form::PType));
    }
    setForms(PictureSimCDensity, cdensityHtml(Form::Generic), cdensityHtml(Form::NType),
             cdensityHtml(Form::PType));
    setForms(PictureDos, dosHtml(Form::Generic), dosHtml(Form::NType), dosHtml(Form::PType));
    setForms(PictureMass, massHtml(Form::Generic), massHtml(Form::NType), massHtml(Form::PType));
    setForms(PictureMinima, minimaHtml(Form::Generic), minimaHtml(Form::NType),
             minimaHtml(Form::PType));
    setForms(PictureFermiLevel, fermiHtml(Form::Generic), fermiHtml(Form::NType),
             fermiHtml(Form::PType));
    for (FormulaPicture* p : pictures())
        p->show(form);
}

void TFormMain::showNeutralPresentation()
{
    for (QLabel* l : {LabelFermiConductionTypeN, LabelFermiLevelConductionTypeN, LabelDonorH1,
                      LabelDonorH2, LabelDonorH3, LabelSDonor})
        l->setText("n-type");
    for (QLabel* l : {LabelFermiConductionTypeP, LabelFermiLevelConductionTypeP, LabelAcceptorH1,
                      LabelAcceptorH2, LabelAcceptorH3, LabelSAcceptor})
        l->setText("p-type");
    for (QLineEdit* e : {EditGH1, EditGH2, EditGH3})
        e->setText("1");
    setFormulaForms(Form::Generic);
    setFunctionCaptions();
}

void TFormMain::applyConductionType()
{
    const bool n = C.isNType();
    const bool p = C.isPType();
    if (!n && !p)
        return;
    const QString concentration = n ? "Electron Concentration  [cm^-3]" : "Hole Concentration  [cm^-3]";
    ChartExperimentalLinear->setLeftTitle(concentration);
    ChartExperimentalLog->setLeftTitle(concentration);
    presentFermiPageConductionType();
    const QString simulated = n ? "Electron Concentarion  [cm^-3]" : "Hole Concentarion  [cm^-3]";
    ChartSimulationReverseT->setLeftTitle(simulated);
    ChartSimulationT->setLeftTitle(simulated);
    for (QLabel* l : {LabelFermiLevelConductionTypeN, LabelDonorH1, LabelDonorH2, LabelDonorH3,
                      LabelSDonor})
        l->setText(n ? "n-type" : "");
    for (QLabel* l : {LabelFermiLevelConductionTypeP, LabelAcceptorH1, LabelAcceptorH2,
                      LabelAcceptorH3, LabelSAcceptor})
        l->setText(p ? "p-type" : "");
    for (QLineEdit* e : {EditGH1, EditGH2, EditGH3})
        e->setText(n ? "2" : "4");
    setFormulaForms(n ? Form::NType : Form::PType);
    setFunctionCaptions();
}

void TFormMain::applyFunctionType()
{
    const Form form = C.isNType()   ? Form::NType
                      : C.isPType() ? Form::PType
                                    : Form::Generic;
    setFormulaForms(form);
    setFunctionCaptions();
}

// ---- figure saving ---------------------------------------------------------

QString TFormMain::replaceExtension(const QString& path, const QString& suffix)
{
    // One rule for every proposed name: the core's.
    return QString::fromStdString(Analysis::replaceExtension(path.toStdString(), suffix.toStdString()));
}

bool TFormMain::saveFigure(ChartPlot* chart, QPushButton* button, const std::string& baseFileName,
                           const QString& suffix)
{
    QString name = replaceExtension(QString::fromStdString(baseFileName), suffix);
    int filterIndex = SaveFilterIndex::Figure;
    saveDialogFileName = name;
    const bool chosen = saveChartFigure(this, chart, MainSaveFilter, filterIndex, name);
    saveDialogFileName = name;
    if (!chosen)
        return false;
    button->setEnabled(false);
    return true;
}

void TFormMain::ButtonSaveFigureCon1Click()
{
    saveFigure(ChartExperimentalLinear, ButtonSaveFigureCon1, C.experimentalDataFileName, "Con1.bmp");
}

void TFormMain::ButtonSaveFigureCon2Click()
{
    saveFigure(ChartExperimentalLog, ButtonSaveFigureCon2, C.experimentalDataFileName, "Con2.bmp");
}

void TFormMain::ButtonSaveFigureFermiClick()
{
    saveFigure(ChartFermiLevel, ButtonSaveFigureFermi, C.fermiLevelFileName, "Fermi.bmp");
}

void TFormMain::ButtonSaveFigureH1Click()
{
    saveFigure(ChartH1, ButtonSaveFigureH1, C.h1FileName, "H1.bmp");
}

void TFormMain::ButtonSaveFigureH2Click()
{
    saveFigure(ChartH2, ButtonSaveFigureH2, C.h2FileName, "H2.bmp");
}

void TFormMain::ButtonSaveFigureH3Click()
{
    saveFigure(ChartH3, ButtonSaveFigureH3, C.h3FileName, "H3.bmp");
}

void TFormMain::ButtonSaveFigureSimulation1Click()
{
    saveFigure(ChartSimulationReverseT, ButtonSaveFigureSimulation1, C.simulationFileName, "SimH1.bmp");
}

void TFormMain::ButtonSaveFigureSimulation2Click()
{
    saveFigure(ChartSimulationT, ButtonSaveFigureSimulation2, C.simulationFileName, "SimH2.bmp");
}
