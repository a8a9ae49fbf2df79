// The excited-states window in the development setting (releaseFlag 0): the
// precise mode behind "Option" and the pages "Curve-fitting", "Simulatoin"
// and "Density Dependence". A shipped build never creates these controls.
#include "excited/Excitedstates.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/base/Reliability.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QColor lime(0, 255, 0);

QString levelText(double v) { return qs(numfmt::pattern(v, "0.#####")); }

template <class W> W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

QLabel* text(const QString& t)
{
    auto* l = new QLabel(t);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel* valueLabel(const QString& name)
{
    auto* l = named(new QLabel, name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(80);
    return l;
}

QLineEdit* edit(const QString& name)
{
    auto* e = named(new QLineEdit, name);
    e->setFixedWidth(90);
    return e;
}

// The five series of a chart of the extra pages: 0 black line, 1 blue line,
// 2 red line, 3 blue points, 4 lime line.
ChartPlot* extraChart(const QString& name, bool concentration, const QString& leftTitle)
{
    auto* c = named(new ChartPlot, name);
    c->setBottomTitle("Temperature  [K]");
    c->setLeftLog(concentration);
    c->setLeftLabelFormat("%.2E");
    c->setLeftTitle(leftTitle);
    c->setMinimumSize(320, 220);
    const QString what = concentration ? "concentration" : "H1(T,E_ref)";
    c->addSeries(ChartPlot::Kind::Line, Qt::black, concentration ? "Data for analysis" : "Experimental H1(T,E_ref)");
    c->addSeries(ChartPlot::Kind::Line, Qt::blue, "Simulated " + what + " with excited states (result)");
    c->addSeries(ChartPlot::Kind::Line, Qt::red, "Simulated " + what + " with edited levels");
    c->addSeries(ChartPlot::Kind::Circles, Qt::blue, concentration ? "Measured concentration" : "Experimental H1 at the points");
    c->addSeries(ChartPlot::Kind::Line, lime, "Simulated " + what + " without excited states");
    return c;
}

// Points (T_j, values[j]) strictly inside the range of the chart's first series.
QVector<QPointF> inside(const DoubleArray& values, const DoubleArray& first)
{
    QVector<QPointF> points;
    for (int j : Analysis::indicesInsideRangeOf(values, first))
        if (static_cast<std::size_t>(j) < C.splineTemperature.size())
            points.push_back(QPointF(C.splineTemperature[j], values[j]));
    return points;
}

QVector<QPointF> all(const DoubleArray& values)
{
    QVector<QPointF> points;
    const std::size_t n = std::min(values.size(), C.splineTemperature.size());
    for (std::size_t j = 0; j < n; ++j)
        points.push_back(QPointF(C.splineTemperature[j], values[j]));
    return points;
}

} // namespace

void TFormExcitedStates::buildOption(QGridLayout* levels)
{
    ButtonOption = named(new QPushButton("Auto Mode Now"), "ButtonOption");
    LabelHighestLevel = named(text("Highest level considered in VORN  r ="), "LabelHighestLevel");
    EditHighestLevel = edit("EditHighestLevel");
    LabelShiftOfEnergyLevel = named(text("Shift Of Excited State Level from Ev ="), "LabelShiftOfEnergyLevel");
    EditShiftOfEnergyLevel = edit("EditShiftOfEnergyLevel");
    LabelShiftUnit = named(text("meV"), "LabelShiftUnit");
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    for (QWidget* x : std::initializer_list<QWidget*>{ButtonOption, LabelHighestLevel, EditHighestLevel,
                                                      LabelShiftOfEnergyLevel, EditShiftOfEnergyLevel, LabelShiftUnit})
        h->addWidget(x);
    h->addStretch(1);
    if (levels)
        levels->addWidget(w, levels->rowCount(), 0, 1, 3);
    connect(ButtonOption, &QPushButton::clicked, this, [this] { ButtonOptionClick(); });
    prepareDevelopment();
}

void TFormExcitedStates::buildExtraPages()
{
    // ---- "Curve-fitting" -------------------------------------------------------------
    TabSheetCurveFitting = named(new QWidget, "TabSheetCurveFitting");
    PageControl->addTab(TabSheetCurveFitting, "Curve-fitting");
    auto* obtained = named(new QGroupBox("Obtained Results "), "GroupBoxObtainedCFT");
    LabelDensityCFT1 = valueLabel("LabelDensityCFT1");
    LabelEnergyLevelCFT1 = valueLabel("LabelEnergyLevelCFT1");
    LabelCompensatingDensityCFT1 = valueLabel("LabelCompensatingDensityCFT1");
    auto* og = new QGridLayout(obtained);
    og->addWidget(text("Density"), 0, 0);
    og->addWidget(LabelDensityCFT1, 0, 1);
    og->addWidget(text("Energy level"), 1, 0);
    og->addWidget(LabelEnergyLevelCFT1, 1, 1);
    og->addWidget(text("Compensating density"), 2, 0);
    og->addWidget(LabelCompensatingDensityCFT1, 2, 1);
    og->addWidget(text("Excited State Level  [eV]"), 3, 0, 1, 2);
    for (int r = 2; r <= 10; ++r) {
        LabelECFT1[r - 2] = valueLabel(QString("LabelE%1CFT1").arg(r));
        og->addWidget(text(QString("E%1").arg(r)), 3 + r - 1, 0);
        og->addWidget(LabelECFT1[r - 2], 3 + r - 1, 1);
    }
    og->addWidget(text("Blue line"), 13, 0, 1, 2);

    auto* fitting = named(new QGroupBox("Curve-fitting"), "GroupBoxCurveFitting");
    EditDensityCFT = edit("EditDensityCFT");
    EditEnergyLevelCFT = edit("EditEnergyLevelCFT");
    EditCompensatingDensityCFT = edit("EditCompensatingDensityCFT");
    CheckBoxCompensatingDensityCFT = named(new QCheckBox("Compensating density"), "CheckBoxCompensatingDensityCFT");
    auto* fg = new QGridLayout(fitting);
    fg->addWidget(text("Density"), 0, 0);
    fg->addWidget(EditDensityCFT, 0, 1);
    fg->addWidget(text("Energy level"), 1, 0);
    fg->addWidget(EditEnergyLevelCFT, 1, 1);
    fg->addWidget(text("Excited State Level [eV]"), 2, 0, 1, 2);
    for (int r = 2; r <= 10; ++r) {
        CheckBoxECFT[r - 2] = named(new QCheckBox(QString("E%1").arg(r)), QString("CheckBoxE%1CFT").arg(r));
        EditECFT[r - 2] = edit(QString("EditE%1CFT").arg(r));
        fg->addWidget(CheckBoxECFT[r - 2], 2 + r - 1, 0);
        fg->addWidget(EditECFT[r - 2], 2 + r - 1, 1);
    }
    fg->addWidget(CheckBoxCompensatingDensityCFT, 12, 0);
    fg->addWidget(EditCompensatingDensityCFT, 12, 1);
    fg->addWidget(text("Red line"), 13, 0, 1, 2);
    ButtonCurveFitting = named(new QPushButton("Curve Fitting"), "ButtonCurveFitting");
    ButtonSaveCFT = named(new QPushButton("Save (*.cfe)"), "ButtonSaveCFT");
    fg->addWidget(ButtonCurveFitting, 14, 0);
    fg->addWidget(ButtonSaveCFT, 14, 1);
    fg->addWidget(text(qs(C.programTitle)), 15, 0, 1, 2);

    ChartConcentrationCurveFitting = extraChart("ChartConcentrationCurveFitting", true, "Concentration  [cm^-3]");
    ChartH1CurveFitting = extraChart("ChartH1CurveFitting", false, "H(T,E_ref)   [cm^-6 eV^-2.5]");
    auto* cfPage = new QHBoxLayout(TabSheetCurveFitting);
    auto* cfLeft = new QVBoxLayout;
    cfLeft->addWidget(obtained);
    cfLeft->addWidget(fitting);
    cfLeft->addStretch(1);
    auto* cfCharts = new QVBoxLayout;
    cfCharts->addWidget(ChartConcentrationCurveFitting, 1);
    cfCharts->addWidget(ChartH1CurveFitting, 1);
    cfPage->addLayout(cfLeft);
    cfPage->addLayout(cfCharts, 1);

    // ---- "Simulatoin" ----------------------------------------------------------------
    TabSheetSimulation = named(new QWidget, "TabSheetSimulation");
    PageControl->addTab(TabSheetSimulation, "Simulatoin");
    auto* results = named(new QGroupBox("Obtained Results"), "GroupBoxObtainedSIM");
    LabelDensitySIM1 = valueLabel("LabelDensitySIM1");
    LabelEnergyLevelSIM1 = valueLabel("LabelEnergyLevelSIM1");
    LabelCompensatingDensitySIM1 = valueLabel("LabelCompensatingDensitySIM1");
    auto* rg = new QGridLayout(results);
    rg->addWidget(text("Density"), 0, 0);
    rg->addWidget(LabelDensitySIM1, 0, 1);
    rg->addWidget(text("Energy level"), 1, 0);
    rg->addWidget(LabelEnergyLevelSIM1, 1, 1);
    rg->addWidget(text("Compensating density"), 2, 0);
    rg->addWidget(LabelCompensatingDensitySIM1, 2, 1);
    rg->addWidget(text("Excited State Level  [eV]"), 3, 0, 1, 2);
    for (int r = 2; r <= 10; ++r) {
        LabelESIM1[r - 2] = valueLabel(QString("LabelE%1SIM1").arg(r));
        rg->addWidget(text(QString("E%1").arg(r)), 3 + r - 1, 0);
        rg->addWidget(LabelESIM1[r - 2], 3 + r - 1, 1);
    }
    auto* simulation = named(new QGroupBox("Simulation"), "GroupBoxSimulation");
    EditDensitySIM = edit("EditDensitySIM");
    EditEnergyLevelSIM = edit("EditEnergyLevelSIM");
    EditCompensatingDensitySIM = edit("EditCompensatingDensitySIM");
    CheckBoxCompensatingDensitySIM = named(new QCheckBox("Compensating density"), "CheckBoxCompensatingDensitySIM");
    CheckBoxHighestLevelSIM = named(new QCheckBox("Highest level="), "CheckBoxHighestLevelSIM");
    EditHighestLevelSIM = edit("EditHighestLevelSIM");
    auto* sg = new QGridLayout(simulation);
    sg->addWidget(text("Density"), 0, 0);
    sg->addWidget(EditDensitySIM, 0, 1);
    sg->addWidget(text("Energy level"), 1, 0);
    sg->addWidget(EditEnergyLevelSIM, 1, 1);
    sg->addWidget(text("Excited State Level [eV]"), 2, 0, 1, 2);
    for (int r = 2; r <= 10; ++r) {
        CheckBoxESIM[r - 2] = named(new QCheckBox(QString("E%1").arg(r)), QString("CheckBoxE%1SIM").arg(r));
        EditESIM[r - 2] = edit(QString("EditE%1SIM").arg(r));
        sg->addWidget(CheckBoxESIM[r - 2], 2 + r - 1, 0);
        sg->addWidget(EditESIM[r - 2], 2 + r - 1, 1);
    }
    sg->addWidget(CheckBoxHighestLevelSIM, 12, 0);
    sg->addWidget(EditHighestLevelSIM, 12, 1);
    sg->addWidget(CheckBoxCompensatingDensitySIM, 13, 0);
    sg->addWidget(EditCompensatingDensitySIM, 13, 1);
    sg->addWidget(text("Red line"), 14, 0, 1, 2);
    ButtonSimulation = named(new QPushButton("Simulation"), "ButtonSimulation");
    ButtonSaveSIM = named(new QPushButton("Save (*.sie)"), "ButtonSaveSIM");
    sg->addWidget(ButtonSimulation, 15, 0);
    sg->addWidget(ButtonSaveSIM, 15, 1);

    ChartConcentrationSimulation = extraChart("ChartConcentrationSimulation", true, "Concentration  [cm^-3]");
    ChartH1Simulation = extraChart("ChartH1Simulation", false, "H1(T,E_ref)  [cm^-6 eV^-2.5]");
    LabelWithoutExcSIMC = named(text(""), "LabelWithoutExcSIMC");
    LabelWithoutExcSIMH = named(text(""), "LabelWithoutExcSIMH");
    ButtonSaveFigureExcSIM1 = named(new QPushButton("Save Figure (*ExcSIM1.bmp)"), "ButtonSaveFigureExcSIM1");
    ButtonSaveFigureExcSIM2 = named(new QPushButton("Save Figure (*ExcSIM2.bmp)"), "ButtonSaveFigureExcSIM2");
    ButtonSaveFigureExcSIM1->setEnabled(false);
    ButtonSaveFigureExcSIM2->setEnabled(false);
    auto* simPage = new QHBoxLayout(TabSheetSimulation);
    auto* simLeft = new QVBoxLayout;
    simLeft->addWidget(results);
    simLeft->addWidget(simulation);
    simLeft->addStretch(1);
    auto* simCharts = new QVBoxLayout;
    simCharts->addWidget(ChartConcentrationSimulation, 1);
    simCharts->addWidget(LabelWithoutExcSIMC);
    simCharts->addWidget(ButtonSaveFigureExcSIM1);
    simCharts->addWidget(ChartH1Simulation, 1);
    simCharts->addWidget(LabelWithoutExcSIMH);
    simCharts->addWidget(ButtonSaveFigureExcSIM2);
    simPage->addLayout(simLeft);
    simPage->addLayout(simCharts, 1);

    // ---- "Density Dependence": empty ---------------------------------------------------
    TabSheetDensityDependence = named(new QWidget, "TabSheetDensityDependence");
    PageControl->addTab(TabSheetDensityDependence, "Density Dependence");

    connect(ButtonSimulation, &QPushButton::clicked, this, [this] { ButtonSimulationClick(); });
    connect(ButtonSaveSIM, &QPushButton::clicked, this, [this] { ButtonSaveSIMClick(); });
    setExtraPagesVisible(false);
}

void TFormExcitedStates::setExtraPagesVisible(bool visible)
{
    for (QWidget* page : {TabSheetCurveFitting, TabSheetSimulation, TabSheetDensityDependence}) {
        const int index = PageControl->indexOf(page);
        if (index >= 0)
            PageControl->setTabVisible(index, visible);
    }
}

void TFormExcitedStates::prepareDevelopment()
{
    state.preciseMode = false;
    ButtonOption->setText("Auto Mode Now");
    for (QWidget* w : std::initializer_list<QWidget*>{LabelHighestLevel, EditHighestLevel, LabelShiftOfEnergyLevel,
                                                      EditShiftOfEnergyLevel, LabelShiftUnit})
        w->setVisible(false);
    EditShiftOfEnergyLevel->setText("0");
}

void TFormExcitedStates::ButtonOptionClick()
{
    ChartH1Excited->clearSeries(1);
    ChartConcentrationExcited->clearSeries(1);
    hideLevels();
    showResultTexts("0", "0", "0");
    ButtonSaveExcitedStates->setEnabled(false);
    state.preciseMode = !state.preciseMode;
    ButtonOption->setText(state.preciseMode ? "Precise Mode Now" : "Auto Mode Now");
    if (state.preciseMode)
        EditHighestLevel->setText("7");
    // The shift edit keeps its text when the mode changes back.
    for (QWidget* w : std::initializer_list<QWidget*>{LabelHighestLevel, EditHighestLevel, LabelShiftOfEnergyLevel,
                                                      EditShiftOfEnergyLevel, LabelShiftUnit})
        w->setVisible(state.preciseMode);
    ButtonAuto->setEnabled(true);
}

bool TFormExcitedStates::readDevelopmentInputs()
{
    double shift = 0;
    if (!editToDouble(EditShiftOfEnergyLevel, shift))
        return false;
    state.levelShift = shift;
    if (state.preciseMode) {
        int r = 0;
        if (!textToInt(EditHighestLevel->text(), r)) {
            modal().conversionError(this, qs(numfmt::notValidInteger(EditHighestLevel->text().toStdString())));
            return false;
        }
        state.highestLevel = r;
    }
    return true;
}

void TFormExcitedStates::fillExtraPages()
{
    const DoubleArray display = state.displayLevels();
    const int R = state.levelCount;
    auto shownLevel = [&](int r) { return r <= R && r <= static_cast<int>(display.size()); };

    LabelDensityCFT1->setText(densityText(state.dopantDensity));
    LabelEnergyLevelCFT1->setText(energyText(state.dopantLevel));
    LabelCompensatingDensityCFT1->setText(densityText(state.dopantCompensatingDensity));
    LabelDensitySIM1->setText(densityText(state.dopantDensity));
    LabelEnergyLevelSIM1->setText(levelText(state.dopantLevel));
    LabelCompensatingDensitySIM1->setText(densityText(state.dopantCompensatingDensity));
    LabelWithoutExcSIMC->clear();
    LabelWithoutExcSIMH->clear();
    for (int r = 2; r <= 10; ++r) {
        const bool shown = shownLevel(r);
        const QString value = shown ? levelText(display[r - 1]) : QString();
        LabelECFT1[r - 2]->setText(value);
        LabelESIM1[r - 2]->setText(value);
        CheckBoxECFT[r - 2]->setChecked(shown);
        EditECFT[r - 2]->setText(value);
        CheckBoxESIM[r - 2]->setChecked(shown);
        EditESIM[r - 2]->setText(value);
    }
    EditDensityCFT->setText(densityText(state.dopantDensity));
    EditEnergyLevelCFT->setText(energyText(state.dopantLevel));
    EditCompensatingDensityCFT->setText(densityText(state.dopantCompensatingDensity));
    CheckBoxCompensatingDensityCFT->setChecked(true);
    CheckBoxHighestLevelSIM->setChecked(R > 10);
    EditHighestLevelSIM->setText(R > 10 ? QString::number(R) : QString());
    EditDensitySIM->setText(densityText(state.dopantDensity));
    EditEnergyLevelSIM->setText(levelText(state.dopantLevel));
    EditCompensatingDensitySIM->setText(densityText(state.dopantCompensatingDensity));
    CheckBoxCompensatingDensitySIM->setChecked(true);

    const bool nType = C.isNType();
    const QString concentrationTitle = nType ? "Electron Concentration  [cm^-3]" : "Hole Concentration  [cm^-3]";
    const int M = state.gridSize();
    const DoubleArray H = C.hCurve.empty() ? DoubleArray() : C.hCurve[0];
    const DoubleArray grid(C.splineConcentration.begin(),
                           C.splineConcentration.begin() + std::min<std::size_t>(C.splineConcentration.size(), M));
    const DoubleArray h(H.begin(), H.begin() + std::min<std::size_t>(H.size(), M));
    QVector<QPointF> measured, measuredH;
    const std::size_t points = std::min({static_cast<std::size_t>(std::max(C.dataCount, 0)), C.temperature.size(),
                                         C.concentration.size(), C.reliability.size()});
    std::vector<std::size_t> plotted;
    DoubleArray plottedConcentration;
    for (std::size_t i = 0; i < points; ++i) {
        if (!(C.reliability[i] > reliability::kPlotted))
            continue;
        plotted.push_back(i);
        plottedConcentration.push_back(C.concentration[i]);
        if (!C.experimentalHCurve.empty() && i < C.experimentalHCurve[0].size())
            measuredH.push_back(QPointF(C.temperature[i], C.experimentalHCurve[0][i]));
    }
    // The measured points inside the range of the grid's concentration.
    for (int k : Analysis::indicesInsideRangeOf(plottedConcentration, grid))
        measured.push_back(QPointF(C.temperature[plotted[k]], C.concentration[plotted[k]]));
    for (ChartPlot* c : {ChartConcentrationCurveFitting, ChartConcentrationSimulation}) {
        c->clearAll();
        c->setLeftTitle(concentrationTitle);
        c->setData(0, all(grid));
        c->setData(1, inside(state.excitedConcentration, grid));
        c->setData(3, measured);
    }
    for (ChartPlot* c : {ChartH1CurveFitting, ChartH1Simulation}) {
        c->clearAll();
        c->setLeftTitle("H1(T,E_ref)  [cm^-6 eV^-2.5]");
        c->setData(0, all(h));
        c->setData(1, inside(state.simulatedH1Curve, h));
        c->setData(3, measuredH);
    }
    for (QPushButton* b : {ButtonCurveFitting, ButtonSaveCFT, ButtonSimulation, ButtonSaveSIM})
        b->setEnabled(false);
}

void TFormExcitedStates::ButtonSimulationClick()
{
    std::vector<double> ticked;
    for (int i = 0; i < 9; ++i) {
        if (!CheckBoxESIM[i]->isChecked())
            continue;
        double v = 0;
        if (!editToDouble(EditESIM[i], v))
            return;
        ticked.push_back(v);
    }
    double N = 0, dE = 0, Na = 0;
    if (!editToDouble(EditDensitySIM, N) || !editToDouble(EditEnergyLevelSIM, dE))
        return;
    if (CheckBoxCompensatingDensitySIM->isChecked() && !editToDouble(EditCompensatingDensitySIM, Na))
        return;
    state.simulateWithEditedLevels(ticked, N, dE, Na);
    // The sorted levels come back packed into the first rows.
    const int q = static_cast<int>(ticked.size());
    for (int i = 0; i < 9; ++i) {
        CheckBoxESIM[i]->setChecked(i < q);
        EditESIM[i]->setText(i < q ? qs(numfmt::general(state.simulationLevels[i + 1])) : QString());
    }
    for (ChartPlot* c : {ChartConcentrationSimulation, ChartH1Simulation}) {
        c->clearSeries(2);
        c->clearSeries(4);
    }
    ChartConcentrationSimulation->setData(2, all(state.simulatedExcitedConcentration));
    ChartConcentrationSimulation->setData(4, all(state.simulatedFermiDiracConcentration));
    ChartH1Simulation->setData(2, all(state.simulatedExcitedH1));
    ChartH1Simulation->setData(4, all(state.simulatedFermiDiracH1));
    LabelWithoutExcSIMC->setText("simulated concentration without influence of excited states");
    LabelWithoutExcSIMH->setText("simulated H(T,E_ref) without influence of excited states");
    ButtonSaveSIM->setEnabled(true);
}

void TFormExcitedStates::ButtonSaveSIMClick()
{
    QString name = qs(state.sieProposal());
    if (!saveResultsFile(this, saveFilter(), ExcitedStates::sieFilterIndex, name,
                         [this](const std::string& p) { return state.saveSie(p); }))
        return;
    ButtonSaveSIM->setEnabled(false);
    ButtonSaveFigureExcSIM1->setEnabled(true);
    ButtonSaveFigureExcSIM2->setEnabled(true);
}
