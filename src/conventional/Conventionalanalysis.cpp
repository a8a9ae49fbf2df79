#include "conventional/Conventionalanalysis.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
#include "conventional/ConventionalWindowSupport.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Help.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

using conventional::FitRange;
using conventionalui::picture;

const QString TFormConventionalAnalysis::SaveFilter =
    "No Compensation (*.CNO)|*.CNO|All Files (*.*)|*.*|Figure (*.bmp)|*.bmp";

namespace {
QString inverseT(double T) { return qs(numfmt::pattern(1000 / T, "#0.000")); }
const QColor kRed(Qt::red);
const QColor kLime(0, 255, 0);
} // namespace

TFormConventionalAnalysis::TFormConventionalAnalysis(QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormConventionalAnalysis");
    setWindowTitle("Only One Impurity (Donor or Acceptor)");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    buildLayout();
    LabelVersion->setText(qs(C.programTitle));
}

TFormConventionalAnalysis::~TFormConventionalAnalysis() = default;

void TFormConventionalAnalysis::buildLayout()
{
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("File");
    MenuSave = file->addAction("Save (*.CNO)");
    MenuPrint = file->addAction("Print");
    MenuExit = file->addAction("Exit");
    QMenu* help = bar->addMenu("Help");
    MenuHelp = help->addAction("Help");
    connect(MenuSave, &QAction::triggered, this, &TFormConventionalAnalysis::SaveClick);
    connect(MenuPrint, &QAction::triggered, this, &TFormConventionalAnalysis::PrintClick);
    connect(MenuExit, &QAction::triggered, this, &TFormConventionalAnalysis::ExitClick);
    connect(MenuHelp, &QAction::triggered, this, &TFormConventionalAnalysis::HelpClick);

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

    // ---- the relations of the conduction type
    PanelNType = new QWidget(this);
    PanelNType->setObjectName("PanelNType");
    auto* n = new QVBoxLayout(PanelNType);
    n->setContentsMargins(0, 0, 0, 0);
    n->addWidget(picture("n(T) = [N<sub>D</sub> N<sub>C</sub>(T)/2 &middot; exp(&minus;&Delta;E<sub>D</sub>/kT)]<sup>1/2</sup>",
                         "ImageRelationN", PanelNType));
    n->addWidget(picture("n(T)/T<sup>3/4</sup> = A &middot; (N<sub>D</sub>)<sup>1/2</sup> &middot; "
                         "exp(&minus;&Delta;E<sub>D</sub>/2kT)",
                         "ImageReducedN", PanelNType));
    LabelA = label("0.0E+00", "LabelA");
    auto* aRowN = new QHBoxLayout;
    aRowN->addWidget(picture("A = (1/T<sup>3/4</sup>) &middot; (N<sub>C</sub>(T)/2)<sup>1/2</sup> =", "ImageAN", PanelNType));
    aRowN->addWidget(LabelA);
    aRowN->addStretch();
    n->addLayout(aRowN);
    auto* gRowN = new QHBoxLayout;
    gRowN->addWidget(label("Degenracy Factor", "LabelDegeneracyFactorN"));
    gRowN->addWidget(picture("g = 2", "ImageDegeneracyN", PanelNType));
    gRowN->addStretch();
    n->addLayout(gRowN);
    n->addWidget(label("Condition", "LabelConditionN"));
    n->addWidget(picture("N<sub>D</sub> &gt;&gt; N<sub>C</sub>(T)/8 &middot; exp(&minus;&Delta;E<sub>D</sub>/kT) &gt;&gt; "
                         "N<sub>A</sub>",
                         "ImageConditionN", PanelNType));

    PanelPType = new QWidget(this);
    PanelPType->setObjectName("PanelPType");
    auto* p = new QVBoxLayout(PanelPType);
    p->setContentsMargins(0, 0, 0, 0);
    p->addWidget(picture("p(T) = [N<sub>A</sub> N<sub>V</sub>(T)/4 &middot; exp(&minus;&Delta;E<sub>A</sub>/kT)]<sup>1/2</sup>",
                         "ImageRelationP", PanelPType));
    p->addWidget(picture("p(T)/T<sup>3/4</sup> = A &middot; (N<sub>A</sub>)<sup>1/2</sup> &middot; "
                         "exp(&minus;&Delta;E<sub>A</sub>/2kT)",
                         "ImageReducedP", PanelPType));
    LabelAp = label("0.0E+00", "LabelAp");
    auto* aRowP = new QHBoxLayout;
    aRowP->addWidget(picture("A = (1/T<sup>3/4</sup>) &middot; 1/2 &middot; (N<sub>V</sub>(T))<sup>1/2</sup> =", "ImageAP",
                             PanelPType));
    aRowP->addWidget(LabelAp);
    aRowP->addStretch();
    p->addLayout(aRowP);
    auto* gRowP = new QHBoxLayout;
    gRowP->addWidget(label("Degenracy Factor", "LabelDegeneracyFactorP"));
    gRowP->addWidget(picture("g = 4", "ImageDegeneracyP", PanelPType));
    gRowP->addStretch();
    p->addLayout(gRowP);
    p->addWidget(label("Condition", "LabelConditionP"));
    p->addWidget(picture("N<sub>A</sub> &gt;&gt; N<sub>V</sub>(T)/16 &middot; exp(&minus;&Delta;E<sub>A</sub>/kT) &gt;&gt; "
                         "N<sub>D</sub>",
                         "ImageConditionP", PanelPType));

    LabelLow = label("0.000", "LabelLow");
    LabelHigh = label("0.000", "LabelHigh");
    ButtonDecreaseLow = button("<", "ButtonDecreaseLow");
    ButtonIncreaseLow = button(">", "ButtonIncreaseLow");
    ButtonDecreaseHigh = button("<", "ButtonDecreaseHigh");
    ButtonIncreaseHigh = button(">", "ButtonIncreaseHigh");
    ButtonAnalysis = button("Evaluation", "ButtonAnalysis");
    for (QPushButton* b : {ButtonDecreaseLow, ButtonIncreaseLow, ButtonDecreaseHigh, ButtonIncreaseHigh})
        b->setFixedWidth(28);

    auto* analysis = new QGroupBox("Analysis in Freeze-out range", this);
    auto* ag = new QVBoxLayout(analysis);
    ag->addWidget(PanelNType);
    ag->addWidget(PanelPType);
    auto* freeze = label("Freeze-out range", "LabelFreezeOut");
    freeze->setStyleSheet("color: red");
    ag->addWidget(freeze);
    auto* rangeGrid = new QGridLayout;
    rangeGrid->addWidget(LabelLow, 0, 0, 1, 2, Qt::AlignCenter);
    rangeGrid->addWidget(picture("&le; 1000/T &le;", "ImageRange", this), 0, 2);
    rangeGrid->addWidget(LabelHigh, 0, 3, 1, 2, Qt::AlignCenter);
    rangeGrid->addWidget(ButtonDecreaseLow, 1, 0);
    rangeGrid->addWidget(ButtonIncreaseLow, 1, 1);
    rangeGrid->addWidget(ButtonDecreaseHigh, 1, 3);
    rangeGrid->addWidget(ButtonIncreaseHigh, 1, 4);
    const conventionalui::TypedRange typed = conventionalui::typedRange(this, rangeGrid, 2);
    EditRangeLowT = typed.low;
    EditRangeHighT = typed.high;
    ButtonSetRange = typed.set;
    ag->addLayout(rangeGrid);
    ag->addWidget(ButtonAnalysis);

    // ---- results
    LabelConductionType = label("n-type", "LabelConductionType");
    LabelEnergyLevelSymbol = picture("&Delta;E<sub>D</sub>", "ImageEnergyLevel", this);
    LabelDensitySymbol = picture("N<sub>D</sub>", "ImageDensity", this);
    LabelEnergyLevel = label("0", "LabelEnergyLevel");
    LabelDensity = label("0", "LabelDensity");
    auto* results = new QGroupBox("Results", this);
    auto* rg = new QGridLayout(results);
    rg->addWidget(LabelConductionType, 0, 0, 1, 4);
    rg->addWidget(LabelEnergyLevelSymbol, 1, 0);
    rg->addWidget(label("=", "LabelEquals1"), 1, 1);
    rg->addWidget(LabelEnergyLevel, 1, 2);
    rg->addWidget(label("eV", "LabelEv"), 1, 3);
    rg->addWidget(LabelDensitySymbol, 2, 0);
    rg->addWidget(label("=", "LabelEquals2"), 2, 1);
    rg->addWidget(LabelDensity, 2, 2);
    rg->addWidget(picture("cm<sup>-3</sup>", "LabelCm3", this), 2, 3);
    for (const char* t : {"Blue line in the right-hand side's graph is", "simulated using the obtained results."}) {
        auto* l = label(t, "LabelSimulationNote");
        l->setStyleSheet("color: blue");
        rg->addWidget(l, rg->rowCount(), 0, 1, 4);
    }

    auto* comments = new QGroupBox("Commnet", this);
    auto* cg = new QVBoxLayout(comments);
    const char* colours[3] = {"color: red", "", "color: blue"};
    for (int i = 0; i < 3; ++i) {
        LabelComment[i] = label("", i == 0 ? "LabelComment1" : i == 1 ? "LabelComment2" : "LabelComment3");
        LabelComment[i]->setWordWrap(true);
        LabelComment[i]->setStyleSheet(colours[i]);
        cg->addWidget(LabelComment[i]);
    }

    LabelVersion = label("", "LabelVersion");
    auto* left = new QVBoxLayout;
    left->addWidget(analysis);
    left->addWidget(results);
    left->addWidget(comments);
    left->addStretch();
    left->addWidget(LabelVersion);

    // ---- charts
    ChartConventionalAnalysis1 = new ChartPlot(QString(), this);
    ChartConventionalAnalysis1->setObjectName("ChartConventionalAnalysis1");
    ChartConventionalAnalysis2 = new ChartPlot(QString(), this);
    ChartConventionalAnalysis2->setObjectName("ChartConventionalAnalysis2");
    for (ChartPlot* c : {ChartConventionalAnalysis1, ChartConventionalAnalysis2}) {
        c->setBottomTitle("1000/T  [K^-1]");
        c->setLeftLog(true);
        c->setLeftLabelFormat("%.2e");
        c->setMinimumSize(420, 300);
    }
    ChartConventionalAnalysis1->addSeries(ChartPlot::Kind::Circles, kRed, "Measured points");
    ChartConventionalAnalysis1->addSeries(ChartPlot::Kind::Line, Qt::black, "Fit line");
    ChartConventionalAnalysis1->addSeries(ChartPlot::Kind::Crosses, kLime, "Low 1000/T bound");
    ChartConventionalAnalysis1->addSeries(ChartPlot::Kind::Crosses, Qt::blue, "High 1000/T bound");
    ChartConventionalAnalysis2->addSeries(ChartPlot::Kind::Circles, kRed, "Measured points");
    ChartConventionalAnalysis2->addSeries(ChartPlot::Kind::Line, Qt::blue, "Simulated concentration");
    ButtonSaveFigure1 = button("Save Figure (*CNO1.bmp)", "ButtonSaveFigure1");
    ButtonSaveFigure2 = button("Save Figure (*CNO2.bmp)", "ButtonSaveFigure2");
    LabelSampleNumber = label("", "LabelSampleNumber");
    auto* right = new QVBoxLayout;
    right->addWidget(LabelSampleNumber);
    right->addWidget(ChartConventionalAnalysis1, 1);
    right->addWidget(ButtonSaveFigure1, 0, Qt::AlignRight);
    right->addWidget(ChartConventionalAnalysis2, 1);
    right->addWidget(ButtonSaveFigure2, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(ButtonSetRange, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonSetRangeClick);
    connect(ChartConventionalAnalysis1, &ChartPlot::clicked, this, &TFormConventionalAnalysis::chartClicked);
    connect(ButtonDecreaseLow, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonDecreaseLowClick);
    connect(ButtonIncreaseLow, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonIncreaseLowClick);
    connect(ButtonDecreaseHigh, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonDecreaseHighClick);
    connect(ButtonIncreaseHigh, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonIncreaseHighClick);
    connect(ButtonAnalysis, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonAnalysisClick);
    connect(ButtonSaveFigure1, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonSaveFigure1Click);
    connect(ButtonSaveFigure2, &QPushButton::clicked, this, &TFormConventionalAnalysis::ButtonSaveFigure2Click);
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
    MenuSave->setEnabled(false);
}

void TFormConventionalAnalysis::prepare()
{
    move(0, 0);
    MenuSave->setEnabled(false);
    LabelSampleNumber->setText(qs(C.sampleNumber));
    state_.open(C);
    const bool n = state_.nType;
    setWindowTitle(QString(n ? "Only One Donor  (" : "Only One Acceptor  (") + qs(C.sampleNumber) + ")");
    PanelNType->setVisible(n);
    PanelPType->setVisible(!n);
    (n ? LabelA : LabelAp)->setText(qs(numfmt::pattern(state_.A, "0.0E+00")));
    LabelConductionType->setText(n ? "n-type" : "p-type");
    LabelEnergyLevelSymbol->setText(n ? "&Delta;E<sub>D</sub>" : "&Delta;E<sub>A</sub>");
    LabelDensitySymbol->setText(n ? "N<sub>D</sub>" : "N<sub>A</sub>");
    ChartConventionalAnalysis1->setLeftTitle(n ? "n(T)/T^3/4  [cm^-3 K^-0.75]" : "p(T)/T^3/4  [cm^-3 K^-0.75]");
    ChartConventionalAnalysis2->setLeftTitle(n ? "n(T)  [cm^-3]" : "p(T)  [cm^-3]");
    for (QPushButton* b : {ButtonDecreaseLow, ButtonIncreaseLow, ButtonDecreaseHigh, ButtonIncreaseHigh, ButtonAnalysis})
        b->setEnabled(true);
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
    showResultsReset();

    ChartConventionalAnalysis1->clearAll();
    ChartConventionalAnalysis2->clearAll();
    const int count = static_cast<int>(state_.temperature.size());
    QVector<QPointF> reduced, measured;
    for (int i = 0; i < count; ++i) {
        const double x = 1000 / state_.temperature[i];
        reduced.append({x, state_.reducedConcentration(i)});
        measured.append({x, state_.concentration[i]});
    }
    ChartConventionalAnalysis1->setData(MeasuredSeries, reduced);
    ChartConventionalAnalysis2->setData(MeasuredSeries, measured);
    if (count > 0) {
        placeMarker(LowBoundSeries, state_.range.IndexHighestT);
        placeMarker(HighBoundSeries, state_.range.IndexLowestT);
    }
}

void TFormConventionalAnalysis::placeMarker(int series, int index)
{
    const double T = state_.temperature[index];
    (series == LowBoundSeries ? LabelLow : LabelHigh)->setText(inverseT(T));
    ChartConventionalAnalysis1->clearSeries(series);
    ChartConventionalAnalysis1->addPoint(series, 1000 / T, state_.reducedConcentration(index));
}

void TFormConventionalAnalysis::showResultsReset()
{
    LabelEnergyLevel->setText("0");
    LabelDensity->setText("0");
    ChartConventionalAnalysis1->clearSeries(FitSeries);
    for (QLabel* l : LabelComment)
        l->clear();
    // Results back to 0 cannot be saved; the simulated curve stays on the chart.
    MenuSave->setEnabled(false);
}

void TFormConventionalAnalysis::pressBound(FitRange::Button button)
{
    if (state_.temperature.size() < 2)
        return;
    const bool lowLabel = button == FitRange::Button::DecreaseLow || button == FitRange::Button::IncreaseLow;
    // A refused step leaves the index where the label already shows it.
    if (state_.press(button))
        placeMarker(lowLabel ? LowBoundSeries : HighBoundSeries,
                    lowLabel ? state_.range.IndexHighestT : state_.range.IndexLowestT);
    showResultsReset();
}

void TFormConventionalAnalysis::showRange()
{
    placeMarker(LowBoundSeries, state_.range.IndexHighestT);
    placeMarker(HighBoundSeries, state_.range.IndexLowestT);
    showResultsReset();
}

void TFormConventionalAnalysis::ButtonSetRangeClick()
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

void TFormConventionalAnalysis::chartClicked(const QPointF& value)
{
    if (state_.temperature.size() >= 2 && state_.pickPoint(value.x()))
        showRange();
}

void TFormConventionalAnalysis::ButtonDecreaseLowClick() { pressBound(FitRange::Button::DecreaseLow); }
void TFormConventionalAnalysis::ButtonIncreaseLowClick() { pressBound(FitRange::Button::IncreaseLow); }
void TFormConventionalAnalysis::ButtonDecreaseHighClick() { pressBound(FitRange::Button::DecreaseHigh); }
void TFormConventionalAnalysis::ButtonIncreaseHighClick() { pressBound(FitRange::Button::IncreaseHigh); }

void TFormConventionalAnalysis::ButtonAnalysisClick()
{
    const std::string refused = state_.evaluate();
    if (!refused.empty()) {
        showResultsReset();
        modal().error(this, qs(refused));
        return;
    }
    LabelEnergyLevel->setText(energyText(state_.energyLevel));
    LabelDensity->setText(densityText(state_.density));
    ChartConventionalAnalysis1->clearSeries(FitSeries);
    ChartConventionalAnalysis1->addPoint(FitSeries, state_.xHi, state_.yHi);
    ChartConventionalAnalysis1->addPoint(FitSeries, state_.xLo, state_.yLo);
    for (int i = 0; i < 3; ++i)
        LabelComment[i]->setText(qs(state_.comments[i]));
    MenuSave->setEnabled(true);

    QVector<QPointF> simulated;
    const conventional::SimulatedCurve& s = state_.simulation;
    for (std::size_t i = 0; i < s.temperature.size(); ++i)
        simulated.append({1000 / s.temperature[i], s.concentration[i]});
    ChartConventionalAnalysis2->setData(SimulationSeries, simulated);
    ButtonSaveFigure1->setEnabled(false);
    ButtonSaveFigure2->setEnabled(false);
}

void TFormConventionalAnalysis::SaveClick()
{
    if (!MenuSave->isEnabled())
        return;
    QString name = qs(Analysis::replaceExtension(C.experimentalDataFileName, ".CNO"));
    auto write = [this](const std::string& path) {
        FileOutcome out;
        out.ok = state_.write(C, path, out.error);
        return out;
    };
    if (!saveResultsFile(this, SaveFilter, 1, name, write, "CNO"))
        return;
    fileName_ = name;
    MenuSave->setEnabled(false);
    ButtonSaveFigure1->setEnabled(true);
    ButtonSaveFigure2->setEnabled(true);
}

void TFormConventionalAnalysis::ButtonSaveFigure1Click()
{
    saveFigureOf(this, ChartConventionalAnalysis1, ButtonSaveFigure1, SaveFilter, 3, fileName_.toStdString(), "CNO1.bmp");
}

void TFormConventionalAnalysis::ButtonSaveFigure2Click()
{
    saveFigureOf(this, ChartConventionalAnalysis2, ButtonSaveFigure2, SaveFilter, 3, fileName_.toStdString(), "CNO2.bmp");
}

void TFormConventionalAnalysis::PrintClick() { printWindow(this, printer_.get()); }

void TFormConventionalAnalysis::HelpClick() { showHelp("conventional.html#one"); }

void TFormConventionalAnalysis::ExitClick() { close(); }
