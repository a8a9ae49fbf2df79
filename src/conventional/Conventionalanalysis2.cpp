#include "conventional/Conventionalanalysis2.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
#include "conventional/ConventionalWindowSupport.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Help.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

using conventional::FitRange;
using conventionalui::picture;

const QString TFormConventionalAnalysis2::SaveFilter =
    "One Donor and One Acceptor (*.CNC)|*.CNC|All Files (*.*)|*.*|Figure (*.bmp)|*.bmp";

namespace {
const QColor kRed(Qt::red);
const QColor kGreen(0, 255, 0);
const QColor kYellow(Qt::yellow);
const char* const densityPattern = "0.00000000E+00";
} // namespace

TFormConventionalAnalysis2::TFormConventionalAnalysis2(QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormConventionalAnalysis2");
    setWindowTitle("One Donor and One Acceptor");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    buildLayout();
    LabelVersion->setText(qs(C.programTitle));
}

TFormConventionalAnalysis2::~TFormConventionalAnalysis2() = default;

void TFormConventionalAnalysis2::buildLayout()
{
    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        return b;
    };
    auto label = [this](const QString& text, const char* name) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };

    // ---- the assumption
    LabelConductionType = label("n-type", "LabelConductionType");
    PanelNType = picture("(1/T<sup>3/2</sup>) &middot; n(T)[n(T) + N<sub>A</sub>] / [(N<sub>D</sub> &minus; N<sub>A</sub>) "
                         "&minus; n(T)] = (N<sub>C0</sub> k<sup>3/2</sup>/g) &middot; exp(&minus;&Delta;E<sub>D</sub>/kT)",
                         "ImageRelationN", this);
    PanelPType = picture("(1/T<sup>3/2</sup>) &middot; p(T)[p(T) + N<sub>D</sub>] / [(N<sub>A</sub> &minus; N<sub>D</sub>) "
                         "&minus; p(T)] = (N<sub>V0</sub> k<sup>3/2</sup>/g) &middot; exp(&minus;&Delta;E<sub>A</sub>/kT)",
                         "ImageRelationP", this);
    LabelDegeneracy = label("", "LabelDegeneracy");
    LabelMass = label("", "LabelMass");
    LabelMinima = label("", "LabelMinima");
    PanelMinima = new QWidget(this);
    auto* minima = new QHBoxLayout(PanelMinima);
    minima->setContentsMargins(0, 0, 0, 0);
    minima->addWidget(picture("M<sub>C</sub> =", "ImageMinimaLabel", PanelMinima));
    minima->addWidget(LabelMinima);
    minima->addStretch();
    auto* assumption = new QGroupBox("Analysis on the assumption of one donor and one acceptor", this);
    auto* asg = new QVBoxLayout(assumption);
    asg->addWidget(LabelConductionType);
    asg->addWidget(PanelNType);
    asg->addWidget(PanelPType);
    auto* params = new QHBoxLayout;
    params->addWidget(picture("g =", "ImageDegeneracyLabel", this));
    params->addWidget(LabelDegeneracy);
    params->addSpacing(12);
    params->addWidget(picture("m*/m<sub>0</sub> =", "ImageMassLabel", this));
    params->addWidget(LabelMass);
    params->addSpacing(12);
    params->addWidget(PanelMinima);
    params->addStretch();
    asg->addLayout(params);

    // ---- fitting
    LabelLow = label("0.000", "LabelLow");
    LabelHigh = label("0.000", "LabelHigh");
    ButtonDecreaseLow = button("<", "ButtonDecreaseLow");
    ButtonIncreaseLow = button(">", "ButtonIncreaseLow");
    ButtonDecreaseHigh = button("<", "ButtonDecreaseHigh");
    ButtonIncreaseHigh = button(">", "ButtonIncreaseHigh");
    for (QPushButton* b : {ButtonDecreaseLow, ButtonIncreaseLow, ButtonDecreaseHigh, ButtonIncreaseHigh})
        b->setFixedWidth(28);
    ButtonEvaluation = button("Evaluation", "ButtonEvaluation");
    EditNetDensity = new QLineEdit(this);
    EditNetDensity->setObjectName("EditNetDensity");
    ImageNetDensityN = picture("N<sub>D</sub> &minus; N<sub>A</sub>", "ImageNetDensityN", this);
    ImageNetDensityP = picture("N<sub>A</sub> &minus; N<sub>D</sub>", "ImageNetDensityP", this);
    auto* fitting = new QGroupBox("Curve Fitting", this);
    auto* fg = new QGridLayout(fitting);
    fg->addWidget(label("Fitting Region", "LabelFittingRegion"), 0, 0, 1, 5);
    fg->addWidget(LabelLow, 1, 0, 1, 2, Qt::AlignCenter);
    fg->addWidget(picture("&le; 1000/T &le;", "ImageRange", this), 1, 2);
    fg->addWidget(LabelHigh, 1, 3, 1, 2, Qt::AlignCenter);
    fg->addWidget(ButtonDecreaseLow, 2, 0);
    fg->addWidget(ButtonIncreaseLow, 2, 1);
    fg->addWidget(ButtonDecreaseHigh, 2, 3);
    fg->addWidget(ButtonIncreaseHigh, 2, 4);
    auto* net = new QHBoxLayout;
    net->addWidget(ImageNetDensityN);
    net->addWidget(ImageNetDensityP);
    net->addWidget(label("=", "LabelEqualsNet"));
    net->addWidget(EditNetDensity);
    net->addWidget(picture("cm<sup>-3</sup>", "LabelCm3Net", this));
    const conventionalui::TypedRange typed = conventionalui::typedRange(this, fg, 3);
    EditRangeLowT = typed.low;
    EditRangeHighT = typed.high;
    ButtonSetRange = typed.set;
    fg->addLayout(net, 5, 0, 1, 5);
    fg->addWidget(ButtonEvaluation, 6, 0, 1, 5);

    // ---- results
    LabelDonorDensity = label("0", "LabelDonorDensity");
    LabelAcceptorDensity = label("0", "LabelAcceptorDensity");
    LabelEnergyLevel = label("0", "LabelEnergyLevel");
    LabelEnergyLevelSymbol = picture("&Delta;E<sub>D</sub>", "ImageEnergyLevel", this);
    ImageFactorN = picture("M<sub>C</sub>/g &middot; (m*/m<sub>0</sub>)<sup>3/2</sup> =", "ImageFactorN", this);
    ImageFactorP = picture("(1/g) &middot; (m*/m<sub>0</sub>)<sup>3/2</sup> =", "ImageFactorP", this);
    LabelG = label("", "LabelG");
    auto* results = new QGroupBox("Results", this);
    auto* rg = new QGridLayout(results);
    rg->addWidget(picture("N<sub>D</sub> =", "ImageDonorDensity", this), 0, 0);
    rg->addWidget(LabelDonorDensity, 0, 1);
    rg->addWidget(picture("cm<sup>-3</sup>", "LabelCm3D", this), 0, 2);
    rg->addWidget(picture("N<sub>A</sub> =", "ImageAcceptorDensity", this), 1, 0);
    rg->addWidget(LabelAcceptorDensity, 1, 1);
    rg->addWidget(picture("cm<sup>-3</sup>", "LabelCm3A", this), 1, 2);
    rg->addWidget(LabelEnergyLevelSymbol, 2, 0);
    rg->addWidget(LabelEnergyLevel, 2, 1);
    rg->addWidget(label("eV", "LabelEv"), 2, 2);
    auto* factor = new QHBoxLayout;
    factor->addWidget(ImageFactorN);
    factor->addWidget(ImageFactorP);
    factor->addWidget(LabelG);
    factor->addStretch();
    rg->addLayout(factor, 3, 0, 1, 3);
    ButtonSave = button("Save", "ButtonSave");
    ButtonPrint = button("Print", "ButtonPrint");
    ButtonHelp = button("Help", "ButtonHelp");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonSave);
    buttons->addWidget(ButtonPrint);
    buttons->addWidget(ButtonHelp);
    rg->addLayout(buttons, 4, 0, 1, 3);

    auto* left = new QVBoxLayout;
    left->addWidget(assumption);
    left->addWidget(fitting);
    left->addWidget(results);
    left->addStretch();

    // ---- charts
    ChartCAWithCom1 = new ChartPlot(QString(), this);
    ChartCAWithCom1->setObjectName("ChartCAWithCom1");
    ChartCAWithCom2 = new ChartPlot(QString(), this);
    ChartCAWithCom2->setObjectName("ChartCAWithCom2");
    for (ChartPlot* c : {ChartCAWithCom1, ChartCAWithCom2}) {
        c->setBottomTitle("1000/T  [K^-1]");
        c->setLeftLog(true);
        c->setLeftLabelFormat("%.2e");
        c->setMinimumSize(420, 300);
    }
    ChartCAWithCom2->setLeftTitle("y  [cm^-3 eV^-1.5]");
    ChartCAWithCom1->addSeries(ChartPlot::Kind::Circles, kRed, "Measured points");
    ChartCAWithCom1->addSeries(ChartPlot::Kind::Crosses, kGreen, "Low 1000/T bound");
    ChartCAWithCom1->addSeries(ChartPlot::Kind::Crosses, kYellow, "High 1000/T bound");
    ChartCAWithCom1->addSeries(ChartPlot::Kind::Line, Qt::blue, "Simulated concentration");
    ChartCAWithCom2->addSeries(ChartPlot::Kind::Circles, kRed, "y of the measured points");
    ChartCAWithCom2->addSeries(ChartPlot::Kind::Line, Qt::blue, "Fit line");
    ButtonSaveFigure1 = button("Save Figure (*CNC1.bmp)", "ButtonSaveFigure1");
    ButtonSaveFigure2 = button("Save Figure (*CNC2.bmp)", "ButtonSaveFigure2");
    LabelSampleNumber = label("", "LabelSampleNumber");
    LabelVersion = label("", "LabelVersion");
    auto* right = new QVBoxLayout;
    right->addWidget(LabelSampleNumber);
    right->addWidget(ChartCAWithCom1, 1);
    right->addWidget(ButtonSaveFigure1, 0, Qt::AlignRight);
    right->addWidget(ChartCAWithCom2, 1);
    auto* below = new QHBoxLayout;
    below->addWidget(LabelVersion);
    below->addStretch();
    below->addWidget(ButtonSaveFigure2);
    right->addLayout(below);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(ButtonSetRange, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonSetRangeClick);
    connect(ChartCAWithCom1, &ChartPlot::clicked, this, &TFormConventionalAnalysis2::chartClicked);
    connect(ButtonDecreaseLow, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonDecreaseLowClick);
    connect(ButtonIncreaseLow, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonIncreaseLowClick);
    connect(ButtonDecreaseHigh, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonDecreaseHighClick);
    connect(ButtonIncreaseHigh, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonIncreaseHighClick);
    connect(ButtonEvaluation, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonEvaluationClick);
    connect(ButtonSave, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonSaveClick);
    connect(ButtonPrint, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonPrintClick);
    connect(ButtonHelp, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonHelpClick);
    connect(ButtonSaveFigure1, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonSaveFigure1Click);
    connect(ButtonSaveFigure2, &QPushButton::clicked, this, &TFormConventionalAnalysis2::ButtonSaveFigure2Click);
    ButtonSave->setEnabled(false);
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
}

void TFormConventionalAnalysis2::prepare()
{
    setWindowTitle("One Donor and One acceptor  (" + qs(C.sampleNumber) + ")");
    move(0, 0);
    ButtonSave->setEnabled(false);
    LabelG->clear();
    LabelSampleNumber->setText(qs(C.sampleNumber));
    state_.open(C);
    const bool n = state_.nType;
    LabelConductionType->setText(n ? "n-type" : "p-type");
    PanelNType->setVisible(n);
    PanelPType->setVisible(!n);
    ImageNetDensityN->setVisible(n);
    ImageNetDensityP->setVisible(!n);
    for (QPushButton* b :
         {ButtonDecreaseLow, ButtonIncreaseLow, ButtonDecreaseHigh, ButtonIncreaseHigh, ButtonEvaluation})
        b->setEnabled(true);
    LabelEnergyLevelSymbol->setText(n ? "&Delta;E<sub>D</sub> =" : "&Delta;E<sub>A</sub> =");
    ChartCAWithCom1->setLeftTitle(n ? "n(T)  [cm^-3]" : "p(T)  [cm^-3]");
    LabelDegeneracy->setText(qs(numfmt::general(state_.g)));
    LabelMass->setText(qs(numfmt::general(C.effectiveMass)));
    LabelMinima->setText(qs(numfmt::general(C.equivalentMinima)));
    PanelMinima->setVisible(n);
    ImageFactorN->setVisible(n);
    ImageFactorP->setVisible(!n);
    for (QLabel* l : {LabelEnergyLevel, LabelDonorDensity, LabelAcceptorDensity})
        l->setText("0");

    ChartCAWithCom1->clearAll();
    ChartCAWithCom2->clearAll();
    EditNetDensity->setText(qs(numfmt::pattern(state_.netDensity, "0.00E-00")));
    const int count = static_cast<int>(state_.temperature.size());
    if (count > 0) {
        placeMarker(LowBoundSeries, state_.range.IndexHighestT);
        placeMarker(HighBoundSeries, state_.range.IndexLowestT);
    }
    QVector<QPointF> measured;
    for (int i = 0; i < count; ++i)
        measured.append({1000 / state_.temperature[i], state_.concentration[i]});
    ChartCAWithCom1->setData(MeasuredSeries, measured);
    fillY();
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
}

void TFormConventionalAnalysis2::fillY()
{
    QVector<QPointF> ys;
    for (int i = 0; i < static_cast<int>(state_.temperature.size()); ++i) {
        double y = 0;
        if (state_.yOf(i, state_.compensatingDensity, y))
            ys.append({1000 / state_.temperature[i], y});
    }
    ChartCAWithCom2->setData(YSeries, ys);
}

void TFormConventionalAnalysis2::placeMarker(int series, int index)
{
    const double T = state_.temperature[index];
    (series == LowBoundSeries ? LabelLow : LabelHigh)->setText(qs(numfmt::pattern(1000 / T, "#0.000")));
    ChartCAWithCom1->clearSeries(series);
    ChartCAWithCom1->addPoint(series, 1000 / T, state_.concentration[index]);
}

void TFormConventionalAnalysis2::showResultsReset()
{
    for (QLabel* l : {LabelEnergyLevel, LabelDonorDensity, LabelAcceptorDensity})
        l->setText("0");
    ChartCAWithCom1->clearSeries(SimulationSeries);
    ChartCAWithCom2->clearSeries(FitSeries);
    // The results are 0 now: nothing of them to save.
    ButtonSave->setEnabled(false);
}

void TFormConventionalAnalysis2::pressBound(FitRange::Button button)
{
    if (state_.temperature.size() < 2)
        return;
    const bool lowLabel = button == FitRange::Button::DecreaseLow || button == FitRange::Button::IncreaseLow;
    if (state_.press(button))
        placeMarker(lowLabel ? LowBoundSeries : HighBoundSeries,
                    lowLabel ? state_.range.IndexHighestT : state_.range.IndexLowestT);
    showResultsReset();
}

void TFormConventionalAnalysis2::showRange()
{
    placeMarker(LowBoundSeries, state_.range.IndexHighestT);
    placeMarker(HighBoundSeries, state_.range.IndexLowestT);
    showResultsReset();
}

void TFormConventionalAnalysis2::ButtonSetRangeClick()
{
    double low = 0, high = 0;
    if (state_.temperature.size() < 2 || !conventionalui::readTypedRange({EditRangeLowT, EditRangeHighT, ButtonSetRange}, low, high))
        return;
    if (!state_.selectTemperatures(low, high)) {
        modal().error(this, conventionalui::typedRangeRefused);
        return;
    }
    showRange();
}

void TFormConventionalAnalysis2::chartClicked(const QPointF& value)
{
    if (state_.temperature.size() >= 2 && state_.pickPoint(value.x()))
        showRange();
}

void TFormConventionalAnalysis2::ButtonDecreaseLowClick() { pressBound(FitRange::Button::DecreaseLow); }
void TFormConventionalAnalysis2::ButtonIncreaseLowClick() { pressBound(FitRange::Button::IncreaseLow); }
void TFormConventionalAnalysis2::ButtonDecreaseHighClick() { pressBound(FitRange::Button::DecreaseHigh); }
void TFormConventionalAnalysis2::ButtonIncreaseHighClick() { pressBound(FitRange::Button::IncreaseHigh); }

void TFormConventionalAnalysis2::ButtonEvaluationClick()
{
    double typed = 0;
    if (!editToDouble(EditNetDensity, typed))
        return;
    const bool wasEvaluated = state_.evaluated;
    const std::string refused = state_.evaluate(typed);
    if (!refused.empty()) {
        // A refused fit has reset the results; a refused net density changed nothing.
        if (wasEvaluated && !state_.evaluated)
            showResultsReset();
        modal().error(this, qs(refused));
        return;
    }
    LabelEnergyLevel->setText(energyText(state_.energyLevel));
    LabelDonorDensity->setText(qs(numfmt::pattern(state_.donorDensity(), densityPattern)));
    LabelAcceptorDensity->setText(qs(numfmt::pattern(state_.acceptorDensity(), densityPattern)));
    LabelG->setText(densityText(state_.factorG));
    fillY();
    ChartCAWithCom2->clearSeries(FitSeries);
    ChartCAWithCom2->addPoint(FitSeries, state_.xHi, state_.yHi);
    ChartCAWithCom2->addPoint(FitSeries, state_.xLo, state_.yLo);
    ButtonSave->setEnabled(true);
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
    QVector<QPointF> simulated;
    const conventional::SimulatedCurve& s = state_.simulation;
    for (std::size_t i = 0; i < s.temperature.size(); ++i)
        simulated.append({1000 / s.temperature[i], s.concentration[i]});
    ChartCAWithCom1->setData(SimulationSeries, simulated);
    windows().prepareAndExec(WindowId::OneDonorOneAcceptorConfirmation);
}

void TFormConventionalAnalysis2::ButtonSaveClick()
{
    QString name = qs(Analysis::replaceExtension(C.experimentalDataFileName, ".CNC"));
    auto write = [this](const std::string& path) {
        FileOutcome out;
        out.ok = state_.write(C, path, out.error);
        return out;
    };
    if (!saveResultsFile(this, SaveFilter, 1, name, write, "CNC"))
        return;
    fileName_ = name;
    ButtonSave->setEnabled(false);
    ButtonSaveFigure1->setEnabled(true);
    ButtonSaveFigure2->setEnabled(true);
}

void TFormConventionalAnalysis2::ButtonSaveFigure1Click()
{
    saveFigureOf(this, ChartCAWithCom1, ButtonSaveFigure1, SaveFilter, 3, fileName_.toStdString(), "CNC1.bmp");
}

void TFormConventionalAnalysis2::ButtonSaveFigure2Click()
{
    saveFigureOf(this, ChartCAWithCom2, ButtonSaveFigure2, SaveFilter, 3, fileName_.toStdString(), "CNC2.bmp");
}

void TFormConventionalAnalysis2::ButtonPrintClick() { printWindow(this, printer_.get()); }

void TFormConventionalAnalysis2::ButtonHelpClick() { showHelp("conventional.html#two"); }
