// Main window: the six pages with their controls and charts.
#include "toolkit/ChartPlot.h"
#include "app/Hall.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QColor kPointColor(0, 0, 200);
const QColor kLime(0, 255, 0);

template <class W> W* named(W* w, const char* name)
{
    w->setObjectName(name);
    return w;
}

QPushButton* button(const QString& caption, const char* name)
{
    return named(new QPushButton(caption), name);
}

// A label that shows a value (sunken, selectable).
QLabel* valueLabel(const char* name, int minWidth = 110)
{
    auto* l = named(new QLabel, name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(minWidth);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// A label that shows a file path; long paths wrap instead of widening the page.
QLabel* fileLabel(const char* name)
{
    QLabel* l = valueLabel(name, 200);
    l->setWordWrap(true);
    l->setMinimumHeight(22);
    return l;
}

QLineEdit* edit(const QString& text, const char* name, int width = 110)
{
    auto* e = named(new QLineEdit(text), name);
    e->setFixedWidth(width);
    return e;
}

QLabel* caption(const QString& text)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel* versionLabel(const char* name)
{
    auto* l = named(new QLabel, name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QWidget* row(std::initializer_list<QWidget*> widgets, bool stretch = true)
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    for (QWidget* x : widgets)
        h->addWidget(x);
    if (stretch)
        h->addStretch(1);
    return w;
}

// The three forms of a formula picture side by side in one slot; the
// presentation shows exactly one of them.
QWidget* pictureSlot(FormulaPicture& p, const char* name)
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    const QString base = QString::fromLatin1(name);
    QLabel** forms[] = {&p.generic, &p.nType, &p.pType};
    const char* suffix[] = {"", "N", "P"};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel;
        l->setObjectName(base + suffix[i]);
        l->setTextFormat(Qt::RichText);
        h->addWidget(l);
        *forms[i] = l;
    }
    h->addStretch(1);
    p.show(FormulaPicture::Generic);
    return w;
}

// A fixed-width column of controls that scrolls when the window is lower
// than the column (a 1280x800 screen), so that every control stays reachable.
QWidget* scrolled(QWidget* column)
{
    auto* area = new QScrollArea;
    area->setWidget(column);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFixedWidth(column->maximumWidth() + area->verticalScrollBar()->sizeHint().width() + 2);
    return area;
}

QWidget* chartWithButton(ChartPlot* chart, QPushButton* save)
{
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(chart, 1);
    v->addWidget(row({save}));
    return w;
}
} // namespace

void FormulaPicture::show(Form form)
{
    generic->setVisible(form == Generic);
    nType->setVisible(form == NType);
    pType->setVisible(form == PType);
}

FormulaPicture::Form FormulaPicture::shown() const
{
    if (shownCount() != 1)
        return Generic;
    if (!nType->isHidden())
        return NType;
    if (!pType->isHidden())
        return PType;
    return Generic;
}

int FormulaPicture::shownCount() const
{
    return int(!generic->isHidden()) + int(!nType->isHidden()) + int(!pType->isHidden());
}

std::vector<FormulaPicture*> TFormMain::pictures()
{
    std::vector<FormulaPicture*> all{&PictureDos, &PictureMass, &PictureMinima, &PictureFermiLevel,
                                     &PictureSimCDensity};
    for (int k = 0; k < 3; ++k)
        for (FormulaPicture* p : {&PictureFunction[k], &PictureDensity[k], &PictureEnergy[k],
                                  &PictureCDensity[k], &PictureSimDensity[k], &PictureSimEnergy[k]})
            all.push_back(p);
    return all;
}

void TFormMain::buildPages()
{
    auto* central = new QWidget;
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 2, 4, 4);

    // Sample panels above the pages, on the right.
    PanelSampleNumber = valueLabel("PanelSampleNumber", 160);
    PanelFilenameExperimentalData = valueLabel("PanelFilenameExperimentalData", 420);
    PanelSampleNumber->setToolTip("Sample number");
    PanelFilenameExperimentalData->setToolTip("Experimental data file");
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(caption("Sample:"));
    top->addWidget(PanelSampleNumber);
    top->addWidget(caption("File:"));
    top->addWidget(PanelFilenameExperimentalData);
    v->addLayout(top);

    PageControl1 = named(new QTabWidget, "PageControl1");
    TabSheet1 = buildConcentrationPage();
    TabSheet2 = buildFermiPage();
    TabSheet3 = buildStagePage(0);
    TabSheet4 = buildStagePage(1);
    TabSheet5 = buildStagePage(2);
    TabSheet6 = buildSimulationPage();
    PageControl1->addTab(TabSheet1, "Carrier Concentration");
    PageControl1->addTab(TabSheet2, "Fermi Level");
    PageControl1->addTab(TabSheet3, "H1(T,E_ref)");
    PageControl1->addTab(TabSheet4, "H2(T,E_ref)");
    PageControl1->addTab(TabSheet5, "H3(T,E_ref)");
    PageControl1->addTab(TabSheet6, "Simulation");
    v->addWidget(PageControl1, 1);

    setCentralWidget(central);
    resize(1440, 900);
}

QWidget* TFormMain::buildConcentrationPage()
{
    auto* page = named(new QWidget, "TabSheet1");
    auto* v = new QVBoxLayout(page);

    GroupBoxExperimental = named(new QGroupBox("Experimental Date"), "GroupBoxExperimental");
    ButtonInputData = button("Input Data", "ButtonInputData");
    ButtonLoadExperimental = button("Load Data (*.pT or *.nT)", "ButtonLoadExperimental");
    ButtonChangeData = button("Change Data", "ButtonChangeData");
    LabelFilenameExperimentalData = fileLabel("LabelFilenameExperimentalData");
    {
        auto* g = new QGridLayout(GroupBoxExperimental);
        g->addWidget(row({ButtonInputData, ButtonLoadExperimental, ButtonChangeData}), 0, 0, 1, 2);
        g->addWidget(caption("Data file:"), 1, 0);
        g->addWidget(LabelFilenameExperimentalData, 1, 1);
        g->setColumnStretch(1, 1);
    }

    GroupBoxSpline = named(new QGroupBox("Interpolating Temperature Dependence of Free Carrier "
                                         "Concentration with Cubic Spline Function"),
                           "GroupBoxSpline");
    EditSmoothness = edit("5000", "EditSmoothness");
    ButtonCalcSpline = button("Calculation", "ButtonCalcSpline");
    ButtonAutoSmoothness = button("Auto", "ButtonAutoSmoothness");
    ButtonAutoSmoothness->setToolTip("Choose the smoothness from the data (generalized cross-validation)");
    ButtonSaveSpline = button("Save (*.spl)", "ButtonSaveSpline");
    LabelFilenameSpline = fileLabel("LabelFilenameSpline");
    LabelSplineDeviation = named(new QLabel, "LabelSplineDeviation");
    {
        auto* g = new QGridLayout(GroupBoxSpline);
        g->addWidget(row({caption("Smoothness"), EditSmoothness, ButtonAutoSmoothness, ButtonCalcSpline, ButtonSaveSpline}),
                     0, 0, 1, 2);
        g->addWidget(LabelSplineDeviation, 1, 0, 1, 2);
        g->addWidget(caption("Data for analysis:"), 2, 0);
        g->addWidget(LabelFilenameSpline, 2, 1);
        g->setColumnStretch(1, 1);
    }
    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBoxExperimental, 1);
    groups->addWidget(GroupBoxSpline, 1);
    v->addLayout(groups);

    ChartExperimentalLinear = named(new ChartPlot("Linear"), "ChartExperimentalLinear");
    ChartExperimentalLinear->setBottomTitle("Temperature [K]");
    ChartExperimentalLinear->addSeries(ChartPlot::Kind::Circles, kPointColor, "Measured points");
    ChartExperimentalLinear->addSeries(ChartPlot::Kind::Line, Qt::black, "Spline");
    ChartExperimentalLog = named(new ChartPlot("Semilog"), "ChartExperimentalLog");
    ChartExperimentalLog->setBottomTitle("Temperature  [K]");
    ChartExperimentalLog->setLeftLog(true);
    ChartExperimentalLog->addSeries(ChartPlot::Kind::Circles, kPointColor, "Measured points");
    ChartExperimentalLog->addSeries(ChartPlot::Kind::Line, Qt::black, "Spline");
    ButtonSaveFigureCon1 = button("Save Figure (*Con1.bmp)", "ButtonSaveFigureCon1");
    ButtonSaveFigureCon2 = button("Save Figure (Con2.bmp)", "ButtonSaveFigureCon2");
    auto* charts = new QHBoxLayout;
    charts->addWidget(chartWithButton(ChartExperimentalLinear, ButtonSaveFigureCon1), 1);
    charts->addWidget(chartWithButton(ChartExperimentalLog, ButtonSaveFigureCon2), 1);
    v->addLayout(charts, 1);

    LabelVerCon = versionLabel("LabelVerCon");
    v->addWidget(LabelVerCon);
    return page;
}

QWidget* TFormMain::buildFermiPage()
{
    auto* page = named(new QWidget, "TabSheet2");
    auto* h = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;

    GroupBoxSemiconductor = named(new QGroupBox("Input or Change Information of Semiconductor"),
                                  "GroupBoxSemiconductor");
    LabelFermiSemiconductor = valueLabel("LabelFermiSemiconductor", 140);
    LabelFermiConductionTypeN = named(new QLabel, "LabelFermiConductionTypeN");
    LabelFermiConductionTypeP = named(new QLabel, "LabelFermiConductionTypeP");
    ButtonSeeInformation = button("See Semiconductor Data", "ButtonSeeInformation");
    ButtonInputChangeInformation = button("Input or Change", "ButtonInputChangeInformation");
    EditMass = edit("1", "EditMass");
    EditEquivalentMinima = edit("1", "EditEquivalentMinima");
    ButtonCalcEffectiveDensityOfStates =
        button("Calculate Effective Density Of States", "ButtonCalcEffectiveDensityOfStates");
    EditEffectiveDensityOfStates = edit("9.4E49", "EditEffectiveDensityOfStates");
    EditFermiLevelComment = named(new QLineEdit, "EditFermiLevelComment");
    {
        auto* g = new QGridLayout(GroupBoxSemiconductor);
        int r = 0;
        g->addWidget(caption("Semiconductor:"), r, 0);
        g->addWidget(row({LabelFermiSemiconductor, LabelFermiConductionTypeN, LabelFermiConductionTypeP}),
                     r++, 1);
        g->addWidget(row({ButtonSeeInformation, ButtonInputChangeInformation}), r++, 0, 1, 2);
        g->addWidget(caption("Effective mass"), r, 0);
        g->addWidget(row({pictureSlot(PictureMass, "PictureMass"), EditMass}), r++, 1);
        g->addWidget(caption("Equivalent minima"), r, 0);
        g->addWidget(row({pictureSlot(PictureMinima, "PictureMinima"), EditEquivalentMinima}), r++, 1);
        g->addWidget(row({ButtonCalcEffectiveDensityOfStates}), r++, 0, 1, 2);
        g->addWidget(caption("Effective density of states"), r, 0);
        g->addWidget(row({pictureSlot(PictureDos, "PictureDos")}), r++, 1);
        g->addWidget(row({EditEffectiveDensityOfStates, caption("cm^-3 J^-3/2")}), r++, 1);
        g->addWidget(caption("Comment"), r, 0);
        g->addWidget(EditFermiLevelComment, r++, 1);
        g->setColumnStretch(1, 1);
    }
    left->addWidget(GroupBoxSemiconductor);

    GroupBoxFermiLevel = named(new QGroupBox("Calculate Fermi Level"), "GroupBoxFermiLevel");
    LabelFermiLevelConductionTypeN = named(new QLabel, "LabelFermiLevelConductionTypeN");
    LabelFermiLevelConductionTypeP = named(new QLabel, "LabelFermiLevelConductionTypeP");
    ButtonCalcFermiLevel = button("Calculation", "ButtonCalcFermiLevel");
    ButtonSaveFermiLevel =
        button("Save Temperature Dependence of Fermi Level (*.fl)", "ButtonSaveFermiLevel");
    LabelFilenameFermiLevel = fileLabel("LabelFilenameFermiLevel");
    ButtonSaveExperimentalFermiLevelData =
        button("Save experimental Fermi level data", "ButtonSaveExperimentalFermiLevelData");
    {
        auto* g = new QGridLayout(GroupBoxFermiLevel);
        int r = 0;
        g->addWidget(row({LabelFermiLevelConductionTypeN, LabelFermiLevelConductionTypeP,
                          pictureSlot(PictureFermiLevel, "PictureFermiLevel")}),
                     r++, 0, 1, 2);
        g->addWidget(row({ButtonCalcFermiLevel}), r++, 0, 1, 2);
        g->addWidget(row({ButtonSaveFermiLevel}), r++, 0, 1, 2);
        g->addWidget(caption("Fermi level file:"), r, 0);
        g->addWidget(LabelFilenameFermiLevel, r++, 1);
        g->addWidget(row({ButtonSaveExperimentalFermiLevelData}), r++, 0, 1, 2);
        g->setColumnStretch(1, 1);
    }
    left->addWidget(GroupBoxFermiLevel);
    left->addStretch(1);

    auto* leftWidget = new QWidget;
    leftWidget->setLayout(left);
    leftWidget->setFixedWidth(520);
    h->addWidget(scrolled(leftWidget));

    ChartFermiLevel = named(new ChartPlot, "ChartFermiLevel");
    ChartFermiLevel->setBottomTitle("Temperature  [K]");
    ChartFermiLevel->setLeftTitle("Fermi Level  [eV]");
    ChartFermiLevel->addSeries(ChartPlot::Kind::FastLine, Qt::black, "Fermi level from the spline");
    ChartFermiLevel->addSeries(ChartPlot::Kind::Circles, kPointColor, "Fermi level at the measured points");
    ButtonSaveFigureFermi = button("Save Figure (*Fermi.bmp)", "ButtonSaveFigureFermi");
    LabelVerFermi = versionLabel("LabelVerFermi");
    auto* right = new QVBoxLayout;
    right->addWidget(chartWithButton(ChartFermiLevel, ButtonSaveFigureFermi), 1);
    right->addWidget(LabelVerFermi);
    h->addLayout(right, 1);
    return page;
}

QWidget* TFormMain::buildStagePage(int k)
{
    const QString n = QString::number(k + 1);
    const QByteArray d = n.toLatin1();
    auto nm = [&](const char* prefix, const char* suffix = "") {
        static thread_local QByteArray buf;
        buf = QByteArray(prefix) + d + suffix;
        return buf.constData();
    };

    auto* page = new QWidget;
    page->setObjectName(QString("TabSheet%1").arg(k + 3));
    auto* h = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;

    // ---- calculation of H_k --------------------------------------------------
    auto* calcGroup = new QGroupBox("Calculate H" + n + "(T,E_ref)");
    calcGroup->setObjectName(QString("GroupBoxCalcH") + n);
    auto* calc = button("Calculation", nm("ButtonCalcH"));
    auto* eref = valueLabel(nm("LabelEref"));
    auto* peakT = valueLabel(nm("LabelPeakT"));
    auto* peakV = valueLabel(nm("LabelPeakV"));
    auto* changePeak = named(new QLabel("Change Peak"), nm("LabelChangePeakH"));
    auto* peakDown = button("<", nm("ButtonDecreasePeakH"));
    auto* peakUp = button(">", nm("ButtonIncreasePeakH"));
    peakDown->setFixedWidth(40);
    peakUp->setFixedWidth(40);
    const QString experimentalCaption = k == 0 ? "Save experimentral H1 data (*.H1E)"
                                               : "Save experimental H" + n + " data (*.H" + n + "E)";
    auto* saveExperimental = button(experimentalCaption, nm("ButtonSaveExperimentalH", "Data"));
    {
        auto* g = new QGridLayout(calcGroup);
        int r = 0;
        g->addWidget(row({calc}), r++, 0, 1, 2);
        g->addWidget(row({pictureSlot(PictureFunction[k], nm("PictureFunctionH"))}), r++, 0, 1, 2);
        g->addWidget(caption("E_ref [eV]:"), r, 0);
        if (k == 0) {
            EditEref1 = edit("0", "EditEref1");
            ButtonDecreaseErefH1 = button("<<", "ButtonDecreaseErefH1");
            ButtonDecreaseErefH1Precise = button("<", "ButtonDecreaseErefH1Precise");
            ButtonIncreaseErefH1Precise = button(">", "ButtonIncreaseErefH1Precise");
            ButtonIncreaseErefH1 = button(">>", "ButtonIncreaseErefH1");
            for (QPushButton* b : {ButtonDecreaseErefH1, ButtonDecreaseErefH1Precise,
                                   ButtonIncreaseErefH1Precise, ButtonIncreaseErefH1})
                b->setFixedWidth(40);
            ButtonCalculationH1Precise = button("Calculation", "ButtonCalculationH1Precise");
            g->addWidget(row({eref, EditEref1}), r++, 1);
            g->addWidget(row({ButtonDecreaseErefH1, ButtonDecreaseErefH1Precise,
                              ButtonIncreaseErefH1Precise, ButtonIncreaseErefH1,
                              ButtonCalculationH1Precise}),
                         r++, 1);
        } else {
            g->addWidget(row({eref}), r++, 1);
        }
        g->addWidget(caption("Peak temperature [K]:"), r, 0);
        g->addWidget(row({peakT}), r++, 1);
        g->addWidget(caption("Peak value:"), r, 0);
        g->addWidget(row({peakV}), r++, 1);
        g->addWidget(row({changePeak, peakDown, peakUp}), r++, 1);
        g->addWidget(row({saveExperimental}), r++, 0, 1, 2);
        g->setColumnStretch(1, 1);
    }
    left->addWidget(calcGroup);

    // ---- results of the earlier stages, shown on the H2 and H3 pages ----------
    if (k >= 1) {
        auto* copies = new QGroupBox(k == 1 ? "Obtained in H1(T,E_ref)" : "Obtained in H1(T,E_ref) and H2(T,E_ref)");
        auto* g = new QGridLayout(copies);
        int r = 0;
        if (k == 1) {
            LabelDensity1H2 = valueLabel("LabelDensity1H2");
            LabelEnergy1H2 = valueLabel("LabelEnergy1H2");
            LabelComDensityH2 = valueLabel("LabelComDensityH2");
            ButtonUseNegativeNcom = button("Use Negative Compensating Density", "ButtonUseNegativeNcom");
            g->addWidget(caption("First density [cm^-3]:"), r, 0);
            g->addWidget(LabelDensity1H2, r++, 1);
            g->addWidget(caption("First energy level [eV]:"), r, 0);
            g->addWidget(LabelEnergy1H2, r++, 1);
            g->addWidget(caption("Compensating density [cm^-3]:"), r, 0);
            g->addWidget(LabelComDensityH2, r++, 1);
            g->addWidget(row({ButtonUseNegativeNcom}), r++, 0, 1, 2);
        } else {
            LabelDensity1H3 = valueLabel("LabelDensity1H3");
            LabelEnergy1H3 = valueLabel("LabelEnergy1H3");
            LabelDensity2H3 = valueLabel("LabelDensity2H3");
            LabelEnergy2H3 = valueLabel("LabelEnergy2H3");
            LabelComDensityH3 = valueLabel("LabelComDensityH3");
            g->addWidget(caption("First density [cm^-3]:"), r, 0);
            g->addWidget(LabelDensity1H3, r++, 1);
            g->addWidget(caption("First energy level [eV]:"), r, 0);
            g->addWidget(LabelEnergy1H3, r++, 1);
            g->addWidget(caption("Second density [cm^-3]:"), r, 0);
            g->addWidget(LabelDensity2H3, r++, 1);
            g->addWidget(caption("Second energy level [eV]:"), r, 0);
            g->addWidget(LabelEnergy2H3, r++, 1);
            g->addWidget(caption("Compensating density [cm^-3]:"), r, 0);
            g->addWidget(LabelComDensityH3, r++, 1);
        }
        g->setColumnStretch(2, 1);
        left->addWidget(copies);
    }

    // ---- evaluation --------------------------------------------------------------
    auto* evalGroup = new QGroupBox("Determine Density and Energy Level");
    evalGroup->setObjectName(QString("GroupBoxEvaluationH") + n);
    auto* degeneracy = new QGroupBox("Input Degeneracy Factor");
    auto* donor = named(new QLabel, nm("LabelDonorH"));
    auto* acceptor = named(new QLabel, nm("LabelAcceptorH"));
    auto* g = edit("1", nm("EditGH"), 60);
    {
        auto* hl = new QHBoxLayout(degeneracy);
        hl->addWidget(donor);
        hl->addWidget(acceptor);
        hl->addWidget(caption("g ="));
        hl->addWidget(g);
        hl->addStretch(1);
    }
    auto* evaluation = button("Evaluation", nm("ButtonEvaluation"));
    auto* density = valueLabel(nm("LabelDensity"));
    auto* energy = valueLabel(nm("LabelEnergy"));
    auto* cdensity = valueLabel(nm("LabelCDensity"));
    auto* save = button("Save Obtained Results (*.H" + n + ")", nm("ButtonSaveH"));
    auto* fileName = fileLabel(nm("LabelFilenameH"));
    {
        auto* gl = new QGridLayout(evalGroup);
        int r = 0;
        gl->addWidget(degeneracy, r++, 0, 1, 3);
        gl->addWidget(row({evaluation}), r++, 0, 1, 3);
        gl->addWidget(pictureSlot(PictureDensity[k], nm("PictureDensityH")), r, 0);
        gl->addWidget(density, r, 1);
        gl->addWidget(caption("cm^-3"), r++, 2);
        gl->addWidget(pictureSlot(PictureEnergy[k], nm("PictureEnergyH")), r, 0);
        gl->addWidget(energy, r, 1);
        gl->addWidget(caption("eV"), r++, 2);
        gl->addWidget(pictureSlot(PictureCDensity[k], nm("PictureCDensityH")), r, 0);
        gl->addWidget(cdensity, r, 1);
        gl->addWidget(caption("cm^-3"), r++, 2);
        gl->addWidget(row({save}), r++, 0, 1, 3);
        gl->addWidget(fileName, r++, 0, 1, 3);
        gl->setColumnStretch(2, 1);
    }
    left->addWidget(evalGroup);
    left->addStretch(1);

    auto* leftWidget = new QWidget;
    leftWidget->setLayout(left);
    leftWidget->setFixedWidth(470);
    h->addWidget(scrolled(leftWidget));

    auto* chart = new ChartPlot;
    chart->setObjectName(QString("ChartH") + n);
    chart->setBottomTitle("Temperature  [K]");
    chart->setLeftLabelFormat("%.2E");
    // Names follow the function type (see setFunctionCaptions).
    chart->addSeries(ChartPlot::Kind::FastLine, Qt::black, "H" + n + " from the spline");
    chart->addSeries(ChartPlot::Kind::FastLine, Qt::red, "Simulated H" + n);
    chart->addSeries(ChartPlot::Kind::Squares, kLime, "Peak");
    chart->addSeries(ChartPlot::Kind::Circles, kPointColor, "H" + n + " of the measured points");
    auto* saveFigure = button("Save Figure (*H" + n + ".bmp)", nm("ButtonSaveFigureH"));
    auto* version = versionLabel(nm("LabelVerH"));
    auto* right = new QVBoxLayout;
    right->addWidget(chartWithButton(chart, saveFigure), 1);
    right->addWidget(version);
    h->addLayout(right, 1);

    QGroupBox** calcGroups[] = {&GroupBoxCalcH1, &GroupBoxCalcH2, &GroupBoxCalcH3};
    QGroupBox** evalGroups[] = {&GroupBoxEvaluationH1, &GroupBoxEvaluationH2, &GroupBoxEvaluationH3};
    QPushButton** calcs[] = {&ButtonCalcH1, &ButtonCalcH2, &ButtonCalcH3};
    QLabel** erefs[] = {&LabelEref1, &LabelEref2, &LabelEref3};
    QLabel** peakTs[] = {&LabelPeakT1, &LabelPeakT2, &LabelPeakT3};
    QLabel** peakVs[] = {&LabelPeakV1, &LabelPeakV2, &LabelPeakV3};
    QLabel** changes[] = {&LabelChangePeakH1, &LabelChangePeakH2, &LabelChangePeakH3};
    QPushButton** downs[] = {&ButtonDecreasePeakH1, &ButtonDecreasePeakH2, &ButtonDecreasePeakH3};
    QPushButton** ups[] = {&ButtonIncreasePeakH1, &ButtonIncreasePeakH2, &ButtonIncreasePeakH3};
    QPushButton** experimentals[] = {&ButtonSaveExperimentalH1Data, &ButtonSaveExperimentalH2Data,
                                     &ButtonSaveExperimentalH3Data};
    QLineEdit** gs[] = {&EditGH1, &EditGH2, &EditGH3};
    QLabel** donors[] = {&LabelDonorH1, &LabelDonorH2, &LabelDonorH3};
    QLabel** acceptors[] = {&LabelAcceptorH1, &LabelAcceptorH2, &LabelAcceptorH3};
    QPushButton** evaluations[] = {&ButtonEvaluation1, &ButtonEvaluation2, &ButtonEvaluation3};
    QLabel** densities[] = {&LabelDensity1, &LabelDensity2, &LabelDensity3};
    QLabel** energies[] = {&LabelEnergy1, &LabelEnergy2, &LabelEnergy3};
    QLabel** cdensities[] = {&LabelCDensity1, &LabelCDensity2, &LabelCDensity3};
    QPushButton** saves[] = {&ButtonSaveH1, &ButtonSaveH2, &ButtonSaveH3};
    QLabel** fileNames[] = {&LabelFilenameH1, &LabelFilenameH2, &LabelFilenameH3};
    QPushButton** figures[] = {&ButtonSaveFigureH1, &ButtonSaveFigureH2, &ButtonSaveFigureH3};
    ChartPlot** charts[] = {&ChartH1, &ChartH2, &ChartH3};
    QLabel** versions[] = {&LabelVerH1, &LabelVerH2, &LabelVerH3};
    *calcGroups[k] = calcGroup;
    *evalGroups[k] = evalGroup;
    *calcs[k] = calc;
    *erefs[k] = eref;
    *peakTs[k] = peakT;
    *peakVs[k] = peakV;
    *changes[k] = changePeak;
    *downs[k] = peakDown;
    *ups[k] = peakUp;
    *experimentals[k] = saveExperimental;
    *gs[k] = g;
    *donors[k] = donor;
    *acceptors[k] = acceptor;
    *evaluations[k] = evaluation;
    *densities[k] = density;
    *energies[k] = energy;
    *cdensities[k] = cdensity;
    *saves[k] = save;
    *fileNames[k] = fileName;
    *figures[k] = saveFigure;
    *charts[k] = chart;
    *versions[k] = version;
    return page;
}

TFormMain::StageControls TFormMain::stage(int k) const
{
    switch (k) {
    case 0:
        return {GroupBoxCalcH1, ButtonCalcH1, LabelEref1, LabelPeakT1, LabelPeakV1,
                ButtonDecreasePeakH1, ButtonIncreasePeakH1, ButtonEvaluation1, LabelDensity1,
                LabelEnergy1, LabelCDensity1, ButtonSaveH1, LabelFilenameH1, ButtonSaveFigureH1,
                ButtonSaveExperimentalH1Data, EditGH1, ChartH1};
    case 1:
        return {GroupBoxCalcH2, ButtonCalcH2, LabelEref2, LabelPeakT2, LabelPeakV2,
                ButtonDecreasePeakH2, ButtonIncreasePeakH2, ButtonEvaluation2, LabelDensity2,
                LabelEnergy2, LabelCDensity2, ButtonSaveH2, LabelFilenameH2, ButtonSaveFigureH2,
                ButtonSaveExperimentalH2Data, EditGH2, ChartH2};
    default:
        return {GroupBoxCalcH3, ButtonCalcH3, LabelEref3, LabelPeakT3, LabelPeakV3,
                ButtonDecreasePeakH3, ButtonIncreasePeakH3, ButtonEvaluation3, LabelDensity3,
                LabelEnergy3, LabelCDensity3, ButtonSaveH3, LabelFilenameH3, ButtonSaveFigureH3,
                ButtonSaveExperimentalH3Data, EditGH3, ChartH3};
    }
}

QWidget* TFormMain::buildSimulationPage()
{
    auto* page = named(new QWidget, "TabSheet6");
    auto* h = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;

    auto* inputs = new QGroupBox("Densities and Energy Levels for Simulation");
    auto* g = new QGridLayout(inputs);
    LabelSDonor = named(new QLabel, "LabelSDonor");
    LabelSAcceptor = named(new QLabel, "LabelSAcceptor");
    g->addWidget(row({LabelSDonor, LabelSAcceptor}), 0, 0, 1, 7);
    QCheckBox** boxes[] = {&CheckBox1, &CheckBox2, &CheckBox3};
    QLineEdit** densities[] = {&EditSDensity1, &EditSDensity2, &EditSDensity3};
    QLineEdit** energies[] = {&EditSEnergy1, &EditSEnergy2, &EditSEnergy3};
    QLineEdit** gs[] = {&EditSG1, &EditSG2, &EditSG3};
    const char* boxNames[] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    const char* densityNames[] = {"EditSDensity1", "EditSDensity2", "EditSDensity3"};
    const char* energyNames[] = {"EditSEnergy1", "EditSEnergy2", "EditSEnergy3"};
    const char* gNames[] = {"EditSG1", "EditSG2", "EditSG3"};
    const char* densityPictures[] = {"PictureSimDensity1", "PictureSimDensity2", "PictureSimDensity3"};
    const char* energyPictures[] = {"PictureSimEnergy1", "PictureSimEnergy2", "PictureSimEnergy3"};
    const char* ordinals[] = {"First", "Second", "Third"};
    for (int k = 0; k < 3; ++k) {
        const int r = k + 1;
        *boxes[k] = named(new QCheckBox(ordinals[k]), boxNames[k]);
        *densities[k] = edit("0", densityNames[k], 95);
        *energies[k] = edit("0", energyNames[k], 70);
        *gs[k] = edit("1", gNames[k], 45);
        g->addWidget(*boxes[k], r, 0);
        g->addWidget(pictureSlot(PictureSimDensity[k], densityPictures[k]), r, 1);
        g->addWidget(*densities[k], r, 2);
        g->addWidget(pictureSlot(PictureSimEnergy[k], energyPictures[k]), r, 3);
        g->addWidget(*energies[k], r, 4);
        g->addWidget(caption("g="), r, 5);
        g->addWidget(*gs[k], r, 6);
    }
    CheckBox4 = named(new QCheckBox("Compensating"), "CheckBox4");
    EditSCDensity = edit("0", "EditSCDensity", 95);
    g->addWidget(CheckBox4, 4, 0);
    g->addWidget(pictureSlot(PictureSimCDensity, "PictureSimCDensity"), 4, 1);
    g->addWidget(EditSCDensity, 4, 2);
    g->addWidget(caption("Densities in cm^-3, energy levels in eV"), 5, 0, 1, 7);
    left->addWidget(inputs);

    auto* actions = new QGroupBox("Simulation");
    auto* a = new QGridLayout(actions);
    ButtonSimulation = button("Simulation", "ButtonSimulation");
    ButtonSaveSimulation = button("Save Simulation (*.simH)", "ButtonSaveSimulation");
    LabelFilenameSimulation = fileLabel("LabelFilenameSimulation");
    ButtonSeeResults = button("See Remarks!", "ButtonSeeResults");
    ButtonSaveResults = button("Save Results", "ButtonSaveResults");
    ButtonFineAdjustment =
        button("Fine Adjustment of densities and energy levels (Curve-fitting)", "ButtonFineAdjustment");
    ButtonBestModel = button("Best Model (the species the data support)", "ButtonBestModel");
    LabelSimulationDeviation = named(new QLabel, "LabelSimulationDeviation");
    LabelSimulationDeviation->setWordWrap(true);
    int r = 0;
    a->addWidget(row({ButtonSimulation, ButtonSaveSimulation}), r++, 0, 1, 2);
    a->addWidget(LabelSimulationDeviation, r++, 0, 1, 2);
    a->addWidget(caption("Simulation file:"), r, 0);
    a->addWidget(LabelFilenameSimulation, r++, 1);
    a->addWidget(row({ButtonSeeResults, ButtonSaveResults}), r++, 0, 1, 2);
    a->addWidget(row({ButtonFineAdjustment}), r++, 0, 1, 2);
    a->addWidget(row({ButtonBestModel}), r++, 0, 1, 2);
    a->setColumnStretch(1, 1);
    left->addWidget(actions);
    left->addStretch(1);

    auto* leftWidget = new QWidget;
    leftWidget->setLayout(left);
    leftWidget->setFixedWidth(520);
    h->addWidget(scrolled(leftWidget));

    ChartSimulationReverseT = named(new ChartPlot, "ChartSimulationReverseT");
    ChartSimulationReverseT->setBottomTitle("1000/T  [K^-1]");
    ChartSimulationReverseT->setLeftLog(true);
    ChartSimulationReverseT->addSeries(ChartPlot::Kind::Circles, kPointColor, "Measured points");
    ChartSimulationReverseT->addSeries(ChartPlot::Kind::Line, Qt::black, "Simulation");
    ChartSimulationT = named(new ChartPlot, "ChartSimulationT");
    ChartSimulationT->setBottomTitle("Temperature  [K]");
    ChartSimulationT->setLeftLog(true);
    ChartSimulationT->addSeries(ChartPlot::Kind::Circles, kPointColor, "Measured points");
    ChartSimulationT->addSeries(ChartPlot::Kind::Line, Qt::black, "Simulation");
    ButtonSaveFigureSimulation1 = button("Save Figure (*SimH1.bmp)", "ButtonSaveFigureSimulation1");
    ButtonSaveFigureSimulation2 = button("Save Figure (*SimH2.bmp)", "ButtonSaveFigureSimulation2");
    LabelVerSim = versionLabel("LabelVerSim");
    auto* right = new QVBoxLayout;
    auto* charts = new QHBoxLayout;
    charts->addWidget(chartWithButton(ChartSimulationReverseT, ButtonSaveFigureSimulation1), 1);
    charts->addWidget(chartWithButton(ChartSimulationT, ButtonSaveFigureSimulation2), 1);
    right->addLayout(charts, 1);
    right->addWidget(LabelVerSim);
    h->addLayout(right, 1);
    return page;
}
