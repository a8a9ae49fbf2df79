#include "excited/Excitedstates.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/base/Reliability.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Help.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

const QString TFormExcitedStates::SaveFilter =
    "VORN using Fermi-Dirac Distribution (*.simN)|*.simN|"
    "VORN under consideration of excited states (*.exc)|*.exc|Figure (*.bmp)|*.bmp";

namespace {

const char* const caption = "Influence of Excted States of Dopant";

QString levelText(double v) { return qs(numfmt::pattern(v, "0.#####")); }
QString sub(const QString& s) { return "<sub>" + s + "</sub>"; }
QString sup(const QString& s) { return "<sup>" + s + "</sup>"; }

template <class W> W* named(W* w, const char* name)
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

QLabel* rich(const QString& t, const char* name = nullptr)
{
    auto* l = new QLabel(t);
    l->setTextFormat(Qt::RichText);
    if (name)
        l->setObjectName(name);
    return l;
}

QLabel* valueLabel(const char* name, int minWidth = 90)
{
    auto* l = named(new QLabel, name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(minWidth);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QWidget* row(std::initializer_list<QWidget*> widgets)
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    for (QWidget* x : widgets)
        h->addWidget(x);
    h->addStretch(1);
    return w;
}

QPushButton* button(const QString& t, const char* name) { return named(new QPushButton(t), name); }

ChartPlot* chart(const char* name, bool logarithmic)
{
    auto* c = named(new ChartPlot, name);
    c->setBottomTitle("Temperature  [K]");
    c->setLeftLog(logarithmic);
    // Two decimals of the mantissa and a signed exponent.
    c->setLeftLabelFormat("%.2E");
    c->setMinimumSize(360, 260);
    return c;
}

QWidget* chartWithButton(ChartPlot* c, QPushButton* b)
{
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(c, 1);
    v->addWidget(row({b}));
    return w;
}

// Donor or acceptor form of a symbol: N_D / N_A, dE_D / dE_A.
QString dopant(const QString& base, bool nType) { return base + sub(nType ? "D" : "A"); }

QString fermiDiracFormula(bool nType)
{
    const QString ion = nType ? "N" + sub("D") + sup("+") : "N" + sub("A") + sup("&minus;");
    const QString diff = nType ? "(&Delta;E" + sub("D") + " &minus; &Delta;E" + sub("F") + ")/kT"
                               : "(&Delta;E" + sub("A") + " &minus; &Delta;E" + sub("F") + ")/kT";
    return ion + " = " + dopant("N", nType) + " / (1 + g exp" + diff + ")";
}

QString excitedFormula(bool nType)
{
    const QString d = nType ? "D" : "A";
    const QString ion = nType ? "N" + sub("D") + sup("+") : "N" + sub("A") + sup("&minus;");
    return ion + " = N" + sub(d) + " / (1 + g exp(&minus;E" + sub("ex") + "/kT) &middot; {g" + sub("1") +
           " exp((&Delta;E" + sub(d) + " &minus; &Delta;E" + sub("F") + ")/kT) + &Sigma;" + sub("r&ge;2") + " g" +
           sub("r") + " exp((&Delta;E" + sub("r") + " &minus; &Delta;E" + sub("F") + ")/kT)})";
}

QString averageFormula(bool nType)
{
    const QString d = nType ? "D" : "A";
    return "E" + sub("ex") + " = &Sigma;" + sub("r&ge;2") + " g" + sub("r") + "(&Delta;E" + sub(d) +
           " &minus; &Delta;E" + sub("r") + ") w" + sub("r") + " / (1 + &Sigma;" + sub("r&ge;2") + " g" +
           sub("r") + " w" + sub("r") + "),  w" + sub("r") + " = exp(&minus;(&Delta;E" + sub(d) +
           " &minus; &Delta;E" + sub("r") + ")/kT),  g" + sub("r") + " = r" + sup("2") + "<br>&Delta;E" +
           sub(d) + " = &Delta;E" + sub("1") + " + E" + sub("ccc") + ",  average level &Delta;E" + sub(d) +
           " &minus; E" + sub("ex");
}

} // namespace

TFormExcitedStates::TFormExcitedStates(int releaseFlag, QWidget* parent)
    : QDialog(parent), releaseFlag_(releaseFlag), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormExcitedStates");
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    MainMenu = new QMenuBar(this);
    QMenu* file = MainMenu->addMenu("File");
    MenuPrint = file->addAction("Print");
    file->addSeparator();
    MenuFileViewer = file->addAction("File Veiwer");
    file->addSeparator();
    MenuExit = file->addAction("Exit");
    QMenu* help = MainMenu->addMenu("Help");
    MenuHelp = help->addAction("Help");
    connect(MenuPrint, &QAction::triggered, this, [this] { PrintClick(); });
    connect(MenuFileViewer, &QAction::triggered, this, [this] { FileViewerClick(); });
    connect(MenuExit, &QAction::triggered, this, [this] { ExitClick(); });
    connect(MenuHelp, &QAction::triggered, this, [this] { HelpClick(); });

    PanelSampleNumber = valueLabel("PanelSampleNumber", 140);
    PanelFilename = valueLabel("PanelFilename", 300);
    PanelFilename->setWordWrap(true);

    PageControl = named(new QTabWidget, "PageControl");
    buildFermiDiracPage();
    buildExcitedPage();
    if (development()) {
        buildOption(qobject_cast<QGridLayout*>(GroupBoxExcitedLevels->layout()));
        buildExtraPages();
    }
    PageControl->setCurrentWidget(TabSheetExcited);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(MainMenu);
    layout->addWidget(row({PanelSampleNumber, PanelFilename}));
    layout->addWidget(PageControl, 1);

    const QString version = qs(C.programTitle);
    LabelVersion1->setText(version);
    LabelVersion2->setText(version);
    ButtonSaveFigureExc1->setEnabled(false);
    ButtonSaveFigureExc2->setEnabled(false);
    ButtonSaveFigureSimN1->setEnabled(false);
    ButtonSaveFigureSimN2->setEnabled(false);
    ButtonSaveExcitedStates->setEnabled(false);
    MenuFileViewer->setEnabled(false); // until a preparation finds the file viewer
    hideLevels();
    resize(1180, 800);
}

TFormExcitedStates::~TFormExcitedStates() = default;

void TFormExcitedStates::buildFermiDiracPage()
{
    TabSheetFermiDirac = named(new QWidget, "TabSheetFermiDirac");
    PageControl->addTab(TabSheetFermiDirac, "Fermi-Dirac Distribution");

    auto* ionised = named(new QGroupBox("Ionized Dopant Density (Fermi-Dirac Distribution)"), "GroupBoxIonized1");
    LabelConductionType1 = named(text(""), "LabelConductionType1");
    PictureIonizedNormal = rich("", "PictureIonizedNormal");
    LabelGValue = valueLabel("LabelGValue", 50);
    auto* ig = new QVBoxLayout(ionised);
    ig->addWidget(LabelConductionType1);
    ig->addWidget(row({PictureIonizedNormal, text(",  g="), LabelGValue}));

    auto* results = named(new QGroupBox("Obtained Results From Normal VORN Analysis"), "GroupBoxNormalResults");
    LabelDensity1 = valueLabel("LabelDensity1");
    LabelEnergyLevel1 = valueLabel("LabelEnergyLevel1");
    LabelCompensatingDensity1 = valueLabel("LabelCompensatingDensity1");
    LabelDensitySymbol1 = rich("", "LabelDensitySymbol1");
    LabelEnergySymbol1 = rich("", "LabelEnergySymbol1");
    auto* rg = new QGridLayout(results);
    rg->addWidget(LabelDensitySymbol1, 0, 0);
    rg->addWidget(text("="), 0, 1);
    rg->addWidget(LabelDensity1, 0, 2);
    rg->addWidget(rich("cm" + sup("-3")), 0, 3);
    rg->addWidget(LabelEnergySymbol1, 1, 0);
    rg->addWidget(text("="), 1, 1);
    rg->addWidget(LabelEnergyLevel1, 1, 2);
    rg->addWidget(text("eV"), 1, 3);
    rg->addWidget(rich("N" + sub("com")), 2, 0);
    rg->addWidget(text("="), 2, 1);
    rg->addWidget(LabelCompensatingDensity1, 2, 2);
    rg->addWidget(rich("cm" + sup("-3")), 2, 3);
    rg->setColumnStretch(4, 1);

    auto* comment = named(new QGroupBox("Comment"), "GroupBoxComment");
    auto* cg = new QVBoxLayout(comment);
    cg->addWidget(rich("Although <span style=\"color:red\">the simulated H1(T,E_ref)</span> might be different "
                       "from the experimental H1(T,E_ref),"));
    cg->addWidget(rich("<span style=\"color:red\">the simulated concentration </span>may be in good agreement "
                       "with the experimental concentration."));
    cg->addWidget(rich("<span style=\"color:blue\">This may be partially because the excited states of the "
                       "dopant affect the concentration.</span>"));

    ButtonSaveNormal = button("Save Simulation Results (*.simN)", "ButtonSaveNormal");
    LabelVersion1 = named(text(""), "LabelVersion1");

    ChartH1Normal = chart("ChartH1Normal", false);
    ChartH1Normal->setLeftTitle("H1(T,E_ref)  [cm^-6 eV^-2.5]");
    ChartH1Normal->addSeries(ChartPlot::Kind::Line, Qt::black, "Experimental H1(T,E_ref)");
    ChartH1Normal->addSeries(ChartPlot::Kind::Line, Qt::red, "Simulated H1(T,E_ref)");
    ChartConcentrationNormal = chart("ChartConcentrationNormal", true);
    ChartConcentrationNormal->setLeftTitle("Majority-Carrier Concentration  [cm^-3]");
    ChartConcentrationNormal->addSeries(ChartPlot::Kind::Circles, Qt::black, "Measured concentration");
    ChartConcentrationNormal->addSeries(ChartPlot::Kind::Line, Qt::red, "Simulated concentration (Fermi-Dirac)");
    ButtonSaveFigureSimN1 = button("Save Figure (*SimN1.bmp)", "ButtonSaveFigureSimN1");
    ButtonSaveFigureSimN2 = button("Save Figure (*SimN2.bmp)", "ButtonSaveFigureSimN2");

    auto* left = new QVBoxLayout;
    left->addWidget(ionised);
    left->addWidget(results);
    left->addWidget(comment);
    left->addWidget(row({ButtonSaveNormal}));
    left->addStretch(1);
    left->addWidget(LabelVersion1);
    auto* charts = new QVBoxLayout;
    charts->addWidget(chartWithButton(ChartH1Normal, ButtonSaveFigureSimN1), 1);
    charts->addWidget(chartWithButton(ChartConcentrationNormal, ButtonSaveFigureSimN2), 1);
    auto* page = new QHBoxLayout(TabSheetFermiDirac);
    page->addLayout(left);
    page->addLayout(charts, 1);

    connect(ButtonSaveNormal, &QPushButton::clicked, this, [this] { ButtonSaveNormalClick(); });
    connect(ButtonSaveFigureSimN1, &QPushButton::clicked, this, [this] { ButtonSaveFigureSimN1Click(); });
    connect(ButtonSaveFigureSimN2, &QPushButton::clicked, this, [this] { ButtonSaveFigureSimN2Click(); });
}

void TFormExcitedStates::buildExcitedPage()
{
    TabSheetExcited = named(new QWidget, "TabSheetExcited");
    PageControl->addTab(TabSheetExcited, "Consideration of Influence of Excited States");

    GroupBoxExcitedLevels = named(new QGroupBox("Calculate Excited State Level of Dopant"), "GroupBoxExcitedLevels");
    EditDielectricConstant = named(new QLineEdit, "EditDielectricConstant");
    EditDielectricConstant->setFixedWidth(90);
    LabelE1 = valueLabel("LabelE1", 70);
    auto* lg = new QGridLayout(GroupBoxExcitedLevels);
    lg->addWidget(rich("&Delta;E" + sub("r") + " = q" + sup("4") + "m*/(2&#295;" + sup("2") + "&epsilon;" +
                           sub("0") + sup("2") + "&epsilon;" + sub("s") + sup("2") + "r" + sup("2") +
                           ") = 13.6 (m*/(m" + sub("0") + " &epsilon;" + sub("s") + sup("2") + " r" + sup("2") +
                           ")) eV,  r &ge; 1",
                       "PictureExcitedLevel"),
                  0, 0, 1, 3);
    lg->addWidget(row({text("Dielectric Constant"), rich("&epsilon;" + sub("s")), text("="), EditDielectricConstant}),
                  1, 0, 1, 3);
    lg->addWidget(row({text("Ground State Level"), rich("&Delta;E" + sub("1")), text("="), LabelE1, text("eV")}), 2,
                  0, 1, 3);
    lg->addWidget(text("Excited State Levels"), 3, 0, 1, 3);
    for (int r = 2; r <= 10; ++r) {
        QLabel* value = valueLabel(qPrintable(QString("LabelE%1").arg(r)), 70);
        LabelExcitedLevel[r - 2] = value;
        QWidget* w = row({rich("&Delta;E" + sub(QString::number(r))), text("="), value, text("eV")});
        w->setObjectName(QString("RowE%1").arg(r));
        ExcitedLevelRow[r - 2] = w;
        lg->addWidget(w, 4 + (r - 2) / 3, (r - 2) % 3);
    }

    auto* ionised = named(new QGroupBox("Ionized Dopant Dnesity"), "GroupBoxIonizedExcited");
    PictureIonizedExcited = rich("", "PictureIonizedExcited");
    PictureAverageEnergy = rich("", "PictureAverageEnergy");
    LabelGValue2 = valueLabel("LabelGValue2", 50);
    auto* ig = new QVBoxLayout(ionised);
    ig->addWidget(PictureIonizedExcited);
    ig->addWidget(PictureAverageEnergy);
    ig->addWidget(row({text("g ="), LabelGValue2}));

    auto* determine = named(new QGroupBox("Determine Density and Energy Level of Deep Dopant"), "GroupBoxDetermine");
    LabelEref = valueLabel("LabelEref");
    LabelPeakTemperature = valueLabel("LabelPeakTemperature");
    LabelPeakValue = valueLabel("LabelPeakValue");
    LabelDensity = valueLabel("LabelDensity");
    LabelEnergyLevel = valueLabel("LabelEnergyLevel");
    LabelCompensatingDensity = valueLabel("LabelCompensatingDensity");
    LabelDensityNormal = valueLabel("LabelDensityNormal");
    LabelEnergyLevelNormal = valueLabel("LabelEnergyLevelNormal");
    LabelCompensatingDensityNormal = valueLabel("LabelCompensatingDensityNormal");
    for (int i = 0; i < 4; ++i)
        DopantSymbols[i] = rich("", qPrintable(QString("LabelDopantSymbol%1").arg(i + 1)));
    LabelVersion2 = named(text(""), "LabelVersion2");
    ButtonAuto = button("Evaluation", "ButtonAuto");
    ButtonSaveExcitedStates = button("Save Obtained Results (*.exc)", "ButtonSaveExcitedStates");
    auto* dg = new QGridLayout(determine);
    int r = 0;
    auto line = [&](QWidget* symbol, QLabel* value, const QString& unit) {
        dg->addWidget(symbol, r, 0);
        dg->addWidget(text("="), r, 1);
        dg->addWidget(value, r, 2);
        dg->addWidget(rich(unit), r, 3);
        ++r;
    };
    const QString perCm3 = "cm" + sup("-3");
    line(rich("E" + sub("ref")), LabelEref, "eV");
    line(text("Peak Temperatrue of H1"), LabelPeakTemperature, "K");
    line(text("PeakValue of H1            "), LabelPeakValue, "cm" + sup("-6") + " eV" + sup("-2.5"));
    dg->addWidget(text("Results under Consideration of Influence of Excited States of Deep dopant"), r++, 0, 1, 4);
    line(DopantSymbols[0], LabelDensity, perCm3);
    line(DopantSymbols[1], LabelEnergyLevel, "eV");
    line(DopantSymbols[2], LabelCompensatingDensity, perCm3);
    dg->addWidget(text("Results Determined by VORN using Fermi-Dirac Distribution"), r++, 0, 1, 4);
    line(DopantSymbols[3], LabelDensityNormal, perCm3);
    auto* normalLevel = rich("");
    normalLevel->setObjectName("LabelDopantSymbol5");
    line(normalLevel, LabelEnergyLevelNormal, "eV");
    auto* normalCompensating = rich("");
    normalCompensating->setObjectName("LabelDopantSymbol6");
    line(normalCompensating, LabelCompensatingDensityNormal, perCm3);
    dg->addWidget(row({ButtonAuto, ButtonSaveExcitedStates}), r++, 0, 1, 4);
    dg->addWidget(LabelVersion2, r++, 0, 1, 4);
    dg->setColumnStretch(4, 1);

    ChartH1Excited = chart("ChartH1Excited", false);
    ChartH1Excited->setLeftTitle("H1(T,E_ref)  [cm^-6 eV^-2.5]");
    ChartH1Excited->addSeries(ChartPlot::Kind::Line, Qt::black, "Experimental H1(T,E_ref)");
    ChartH1Excited->addSeries(ChartPlot::Kind::Line, Qt::red, "Simulated H1(T,E_ref) with excited states");
    ChartConcentrationExcited = chart("ChartConcentrationExcited", true);
    ChartConcentrationExcited->setLeftTitle("Majority-Carrier Concentration  [cm^-3]");
    ChartConcentrationExcited->addSeries(ChartPlot::Kind::Circles, Qt::black, "Measured concentration");
    ChartConcentrationExcited->addSeries(ChartPlot::Kind::Line, Qt::red,
                                         "Simulated concentration with excited states");
    ButtonSaveFigureExc1 = button("Save Figure (*Exc1.bmp)", "ButtonSaveFigureExc1");
    ButtonSaveFigureExc2 = button("Save Figure (*Exc2.bmp)", "ButtonSaveFigureExc2");

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBoxExcitedLevels);
    left->addWidget(ionised);
    left->addWidget(determine);
    left->addStretch(1);
    auto* charts = new QVBoxLayout;
    charts->addWidget(chartWithButton(ChartH1Excited, ButtonSaveFigureExc1), 1);
    charts->addWidget(chartWithButton(ChartConcentrationExcited, ButtonSaveFigureExc2), 1);
    auto* page = new QHBoxLayout(TabSheetExcited);
    page->addLayout(left);
    page->addLayout(charts, 1);

    connect(ButtonAuto, &QPushButton::clicked, this, [this] { ButtonAutoClick(); });
    connect(ButtonSaveExcitedStates, &QPushButton::clicked, this, [this] { ButtonSaveExcitedStatesClick(); });
    connect(ButtonSaveFigureExc1, &QPushButton::clicked, this, [this] { ButtonSaveFigureExc1Click(); });
    connect(ButtonSaveFigureExc2, &QPushButton::clicked, this, [this] { ButtonSaveFigureExc2Click(); });
    connect(EditDielectricConstant, &QLineEdit::textChanged, this, [this] { EditDielectricConstantChange(); });
}

void TFormExcitedStates::setConductionForms(bool nType)
{
    LabelConductionType1->setText(nType ? "n-type" : "p-type");
    PictureIonizedNormal->setText(fermiDiracFormula(nType));
    PictureIonizedExcited->setText(excitedFormula(nType));
    PictureAverageEnergy->setText(averageFormula(nType));
    LabelDensitySymbol1->setText(dopant("N", nType));
    LabelEnergySymbol1->setText(dopant("&Delta;E", nType));
    const QString level = dopant("&Delta;E", nType) + " = &Delta;E" + sub("1") + " + E" + sub("ccc");
    DopantSymbols[0]->setText(dopant("N", nType));
    DopantSymbols[1]->setText(level);
    DopantSymbols[2]->setText(dopant("N", !nType));
    DopantSymbols[3]->setText(dopant("N", nType));
    if (auto* l = findChild<QLabel*>("LabelDopantSymbol5"))
        l->setText(dopant("&Delta;E", nType));
    if (auto* l = findChild<QLabel*>("LabelDopantSymbol6"))
        l->setText(dopant("N", !nType));
    const QString title = nType ? "Electron Concentration  [cm^-3]" : "Hole Concentration  [cm^-3]";
    ChartConcentrationNormal->setLeftTitle(title);
    ChartConcentrationExcited->setLeftTitle(title);
}

void TFormExcitedStates::hideLevels()
{
    LabelE1->clear();
    for (QWidget* w : ExcitedLevelRow)
        w->setVisible(false);
}

void TFormExcitedStates::showLevels()
{
    LabelE1->setText(state.excitedLevels.empty() ? QString() : levelText(state.excitedLevels[0]));
    for (int r = 2; r <= 10; ++r) {
        const bool shown = r <= state.levelCount && r <= static_cast<int>(state.excitedLevels.size());
        LabelExcitedLevel[r - 2]->setText(shown ? levelText(state.excitedLevels[r - 1]) : QString());
        ExcitedLevelRow[r - 2]->setVisible(shown);
    }
}

void TFormExcitedStates::showResultTexts(const QString& density, const QString& level, const QString& compensating)
{
    LabelDensity->setText(density);
    LabelEnergyLevel->setText(level);
    LabelCompensatingDensity->setText(compensating);
}

namespace {

// The measured points drawn on the concentration charts (reliability > 0.9).
QVector<QPointF> measuredPoints()
{
    QVector<QPointF> points;
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(C.dataCount, 0)), C.temperature.size(),
                                    C.concentration.size(), C.reliability.size()});
    for (std::size_t i = 0; i < n; ++i)
        if (C.reliability[i] > reliability::kPlotted)
            points.push_back(QPointF(C.temperature[i], C.concentration[i]));
    return points;
}

// (T_j, values[j]) for the grid points whose value lies strictly inside the
// range of the chart's first series.
QVector<QPointF> insideFirstSeries(const ChartPlot* chart, const DoubleArray& values)
{
    DoubleArray first;
    for (const QPointF& p : chart->data(0))
        first.push_back(p.y());
    QVector<QPointF> points;
    for (int j : Analysis::indicesInsideRangeOf(values, first))
        if (static_cast<std::size_t>(j) < C.splineTemperature.size())
            points.push_back(QPointF(C.splineTemperature[j], values[j]));
    return points;
}

QVector<QPointF> gridPoints(const DoubleArray& values)
{
    QVector<QPointF> points;
    const std::size_t n = std::min(values.size(), C.splineTemperature.size());
    for (std::size_t j = 0; j < n; ++j)
        points.push_back(QPointF(C.splineTemperature[j], values[j]));
    return points;
}

} // namespace

void TFormExcitedStates::prepareExcitedStatesWindow()
{
    state.prepare();
    const bool nType = C.isNType();
    PanelFilename->setText(qs(C.experimentalDataFileName));
    PanelSampleNumber->setText(qs(C.sampleNumber));
    setConductionForms(nType);

    LabelDensity1->setText(densityText(C.density[0]));
    LabelEnergyLevel1->setText(energyText(C.energyLevel[0]));
    LabelCompensatingDensity1->setText(densityText(C.stageCompensatingDensity[0]));
    LabelGValue->setText(qs(numfmt::general(C.degeneracyFactor[0])));

    const int M = state.gridSize();
    const DoubleArray noCurve;
    const DoubleArray& H = C.hCurve.empty() ? noCurve : C.hCurve[0];
    const DoubleArray grid(H.begin(), H.begin() + std::min<std::size_t>(H.size(), static_cast<std::size_t>(M)));
    for (ChartPlot* c : {ChartH1Normal, ChartConcentrationNormal, ChartH1Excited, ChartConcentrationExcited})
        c->clearAll();
    ChartH1Normal->setData(0, gridPoints(grid));
    if (C.simulatedHCurve.size() > 0)
        ChartH1Normal->setData(1, insideFirstSeries(ChartH1Normal, C.simulatedHCurve[0]));
    ChartConcentrationNormal->setData(0, measuredPoints());
    ChartConcentrationNormal->setData(1, gridPoints(state.fermiDiracConcentration));
    ButtonSaveNormal->setEnabled(true);

    EditDielectricConstant->setText(qs(numfmt::general(C.dielectricConstant)));
    hideLevels();
    LabelGValue2->setText(qs(numfmt::general(C.degeneracyFactor[0])));
    LabelEref->setText(qs(numfmt::pattern(C.referenceEnergy[0], "0.######")));
    const int p = state.peakIndex();
    LabelPeakTemperature->setText(M > 0 ? qs(numfmt::pattern(C.splineTemperature[p], "000.0")) : QString());
    LabelPeakValue->setText(M > 0 ? densityText(H[p]) : QString());
    showResultTexts("0", "0", "0");
    ButtonSaveExcitedStates->setEnabled(false);
    LabelDensityNormal->setText(densityText(C.density[0]));
    LabelEnergyLevelNormal->setText(energyText(C.energyLevel[0]));
    LabelCompensatingDensityNormal->setText(densityText(C.stageCompensatingDensity[0]));
    ChartH1Excited->setData(0, gridPoints(grid));
    ChartConcentrationExcited->setData(0, measuredPoints());
    ButtonAuto->setEnabled(true);
    for (QPushButton* b : {ButtonSaveFigureSimN1, ButtonSaveFigureSimN2, ButtonSaveFigureExc1, ButtonSaveFigureExc2})
        b->setEnabled(false);
    // The file viewer belongs to another part of the program and may be missing.
    MenuFileViewer->setEnabled(windows().has(WindowId::Editor));
    if (development())
        prepareDevelopment();
}

void TFormExcitedStates::clearExcitedStatesWindow()
{
    for (ChartPlot* c : {ChartH1Normal, ChartConcentrationNormal, ChartH1Excited, ChartConcentrationExcited})
        c->clearAll();
    state.clear();
    if (development())
        setExtraPagesVisible(false);
}

void TFormExcitedStates::closeEvent(QCloseEvent* event)
{
    clearExcitedStatesWindow();
    QDialog::closeEvent(event);
}

void TFormExcitedStates::done(int result)
{
    // Escape closes a dialog without a close event.
    clearExcitedStatesWindow();
    QDialog::done(result);
}

void TFormExcitedStates::ButtonAutoClick()
{
    ChartH1Excited->clearSeries(1);
    ChartConcentrationExcited->clearSeries(1);
    double eps = 0;
    if (!editToDouble(EditDielectricConstant, eps))
        return;
    if (development() && !readDevelopmentInputs())
        return;
    hideLevels();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ButtonAuto->setEnabled(false);
    const ExcitedStates::EvaluationOutcome out = state.evaluate(eps);
    QApplication::restoreOverrideCursor();
    if (!out.evaluated) {
        showMessages(this, out.messages);
        ButtonAuto->setEnabled(true);
        return;
    }
    showLevels();
    if (out.inRange) {
        showMessages(this, out.messages); // failed trials before the chosen one
        showResultTexts(qs(state.densityText()), qs(state.energyLevelText()), qs(state.compensatingDensityText()));
        ChartConcentrationExcited->setData(1, insideFirstSeries(ChartConcentrationExcited, state.excitedConcentration));
        ChartH1Excited->setData(1, insideFirstSeries(ChartH1Excited, state.simulatedH1Curve));
        ButtonSaveExcitedStates->setEnabled(true);
        // In precise mode the next r can be tried at once.
        ButtonAuto->setEnabled(state.preciseMode);
        ButtonSaveFigureExc1->setEnabled(false);
        ButtonSaveFigureExc2->setEnabled(false);
        C.progressClose(ProgressReporter::Main);
        C.progressClose(ProgressReporter::Detailed);
        if (development()) {
            setExtraPagesVisible(true);
            fillExtraPages();
            ButtonSimulation->setEnabled(true);
        }
        return;
    }
    showMessages(this, out.messages);
    showResultTexts("0", "0", "0");
    ButtonSaveExcitedStates->setEnabled(false);
    ButtonAuto->setEnabled(true);
}

QString TFormExcitedStates::saveFilter() const
{
    if (!development())
        return SaveFilter;
    return SaveFilter + "|Simulation of VORN under consideration of excited states|*.sie"
                        "|Curve-fitting of VORN under consideration of excited states|*.cfe";
}

void TFormExcitedStates::EditDielectricConstantChange() { ButtonAuto->setEnabled(true); }

void TFormExcitedStates::ButtonSaveNormalClick()
{
    QString name = qs(state.simNProposal());
    if (!saveResultsFile(this, saveFilter(), ExcitedStates::simNFilterIndex, name,
                         [this](const std::string& p) { return state.saveSimN(p); }))
        return;
    ButtonSaveNormal->setEnabled(false);
    ButtonSaveFigureSimN1->setEnabled(true);
    ButtonSaveFigureSimN2->setEnabled(true);
}

void TFormExcitedStates::ButtonSaveExcitedStatesClick()
{
    QString name = qs(state.excProposal());
    if (!saveResultsFile(this, saveFilter(), ExcitedStates::excFilterIndex, name,
                         [this](const std::string& p) { return state.saveExc(p); }))
        return;
    ButtonSaveExcitedStates->setEnabled(false);
    ButtonSaveFigureExc1->setEnabled(true);
    ButtonSaveFigureExc2->setEnabled(true);
}

void TFormExcitedStates::ButtonSaveFigureSimN1Click()
{
    saveFigureOf(this, ChartH1Normal, ButtonSaveFigureSimN1, saveFilter(), ExcitedStates::figureFilterIndex, state.simNFileName, "SimN1.bmp");
}

void TFormExcitedStates::ButtonSaveFigureSimN2Click()
{
    saveFigureOf(this, ChartConcentrationNormal, ButtonSaveFigureSimN2, saveFilter(), ExcitedStates::figureFilterIndex, state.simNFileName, "SimN2.bmp");
}

void TFormExcitedStates::ButtonSaveFigureExc1Click()
{
    saveFigureOf(this, ChartH1Excited, ButtonSaveFigureExc1, saveFilter(), ExcitedStates::figureFilterIndex, state.excFileName, "Exc1.bmp");
}

void TFormExcitedStates::ButtonSaveFigureExc2Click()
{
    saveFigureOf(this, ChartConcentrationExcited, ButtonSaveFigureExc2, saveFilter(), ExcitedStates::figureFilterIndex, state.excFileName, "Exc2.bmp");
}

void TFormExcitedStates::PrintClick() { printWindow(this, printer_.get(), "The window could not be printed."); }

void TFormExcitedStates::FileViewerClick() { windows().prepareAndShow(WindowId::Editor); }

void TFormExcitedStates::ExitClick() { close(); }

void TFormExcitedStates::HelpClick() { showHelp("excited.html"); }
