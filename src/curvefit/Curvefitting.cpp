#include "curvefit/Curvefitting.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

const QString TFormCurveFitting::SaveFilter = "Curve fitting data (*.cft)|*.cft|Figure (*.bmp)|*.bmp";

namespace {
const QColor kLime(0, 255, 0);
} // namespace

TFormCurveFitting::TFormCurveFitting(QWidget* parent) : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormCurveFitting");
    setWindowTitle("Fine Adjustment by Curve Fitting");
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    auto label = [this](const QString& text, const QString& name = QString()) {
        auto* l = new QLabel(text, this);
        if (!name.isEmpty())
            l->setObjectName(name);
        return l;
    };
    auto button = [this](const QString& text, const QString& name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        return b;
    };
    // The symbols of a species row, donor and acceptor forms side by side.
    auto symbols = [&](QGridLayout* grid, int row, int column, const QString& what, int index) {
        for (bool donor : {true, false}) {
            auto* l = label(what + "<sub>" + (donor ? "D" : "A") + QString::number(index) + "</sub> =");
            grid->addWidget(l, row, column);
            (donor ? donorPictures : acceptorPictures).push_back(l);
        }
    };

    LabelSampleNumber = label(QString(), "LabelSampleNumber");
    LabelFileName = label(QString(), "LabelFileName");
    // The title as it was at start-up; later mode changes do not reach it.
    LabelProgramTitle = label(qs(C.programTitle), "LabelProgramTitle");

    auto* vorn = new QGroupBox("Results obtained by VORN", this);
    auto* vornGrid = new QGridLayout;
    auto* fit = new QGroupBox("Fine adjustment by curve-fitting", this);
    auto* fitGrid = new QGridLayout;
    for (int r = 0; r < 3; ++r) {
        const QString n = QString::number(r + 1);
        symbols(vornGrid, r, 0, QString::fromUtf8("\xCE\x94") + "E", r + 1);
        LabelEnergy[r] = label(QString(), "LabelEnergy" + n);
        vornGrid->addWidget(LabelEnergy[r], r, 1);
        vornGrid->addWidget(label("eV"), r, 2);
        symbols(vornGrid, r, 3, "N", r + 1);
        LabelDensity[r] = label(QString(), "LabelDensity" + n);
        vornGrid->addWidget(LabelDensity[r], r, 4);
        vornGrid->addWidget(label("cm^-3"), r, 5);
        vornGrid->addWidget(label("g="), r, 6);
        LabelG[r] = label(QString(), "LabelG" + n);
        vornGrid->addWidget(LabelG[r], r, 7);

        CheckBoxUse[r] = new QCheckBox("Use this dopant", this);
        CheckBoxUse[r]->setObjectName("CheckBoxUse" + n);
        fitGrid->addWidget(CheckBoxUse[r], 2 * r, 0);
        symbols(fitGrid, 2 * r, 1, QString::fromUtf8("\xCE\x94") + "E", r + 1);
        EditCFEnergy[r] = new QLineEdit(this);
        EditCFEnergy[r]->setObjectName("EditCFEnergy" + n);
        fitGrid->addWidget(EditCFEnergy[r], 2 * r, 2);
        fitGrid->addWidget(label("eV"), 2 * r, 3);
        symbols(fitGrid, 2 * r, 4, "N", r + 1);
        EditCFDensity[r] = new QLineEdit(this);
        EditCFDensity[r]->setObjectName("EditCFDensity" + n);
        fitGrid->addWidget(EditCFDensity[r], 2 * r, 5);
        fitGrid->addWidget(label("cm^-3"), 2 * r, 6);
        fitGrid->addWidget(label("g="), 2 * r, 7);
        EditCFG[r] = new QLineEdit(this);
        EditCFG[r]->setObjectName("EditCFG" + n);
        EditCFG[r]->setMaximumWidth(50);
        fitGrid->addWidget(EditCFG[r], 2 * r, 8);
        LabelErrorEnergy[r] = label(QString(), "LabelErrorEnergy" + n);
        LabelErrorDensity[r] = label(QString(), "LabelErrorDensity" + n);
        fitGrid->addWidget(LabelErrorEnergy[r], 2 * r + 1, 2);
        fitGrid->addWidget(LabelErrorDensity[r], 2 * r + 1, 5);
    }
    vornGrid->addWidget(label("N<sub>com</sub> ="), 3, 3);
    LabelCDensity = label(QString(), "LabelCDensity");
    vornGrid->addWidget(LabelCDensity, 3, 4);
    vornGrid->addWidget(label("cm^-3"), 3, 5);
    vorn->setLayout(vornGrid);

    fitGrid->addWidget(label("N<sub>com</sub> ="), 6, 4);
    EditCFCDensity = new QLineEdit(this);
    EditCFCDensity->setObjectName("EditCFCDensity");
    fitGrid->addWidget(EditCFCDensity, 6, 5);
    fitGrid->addWidget(label("cm^-3"), 6, 6);
    LabelErrorCDensity = label(QString(), "LabelErrorCDensity");
    fitGrid->addWidget(LabelErrorCDensity, 7, 5);

    auto* range = new QGroupBox("Temperature range ", this);
    auto* rangeRow = new QHBoxLayout(range);
    ButtonIncreaseLow = button("<", "ButtonIncreaseLow");
    ButtonDecreaseLow = button(">", "ButtonDecreaseLow");
    ButtonIncreaseHigh = button("<", "ButtonIncreaseHigh");
    ButtonDecreaseHigh = button(">", "ButtonDecreaseHigh");
    for (QPushButton* b : {ButtonIncreaseLow, ButtonDecreaseLow, ButtonIncreaseHigh, ButtonDecreaseHigh})
        b->setMaximumWidth(30);
    rangeRow->addWidget(label("Low T (blue)"));
    rangeRow->addWidget(ButtonIncreaseLow);
    rangeRow->addWidget(ButtonDecreaseLow);
    rangeRow->addSpacing(12);
    rangeRow->addWidget(label("High T (lime)"));
    rangeRow->addWidget(ButtonIncreaseHigh);
    rangeRow->addWidget(ButtonDecreaseHigh);
    fitGrid->addWidget(range, 8, 0, 1, 6);

    ButtonCurveFitting = button("Curve Fitting", "ButtonCurveFitting");
    ButtonInitialize = button("Initialize", "ButtonInitialize");
    CheckBoxPrecise = new QCheckBox("Precise", this);
    CheckBoxPrecise->setObjectName("CheckBoxPrecise");
    CheckBoxPrecise->setToolTip("Fermi level to 1.4 neV (30 halvings) instead of 46 " + QString::fromUtf8("\xC2\xB5") +
                                "eV (15) in every simulation of this window: the fit then reaches the optimum");
    LabelWeight = label("Weight = ", "LabelWeight");
    EditWeight = new QLineEdit("0.1", this);
    EditWeight->setObjectName("EditWeight");
    EditWeight->setMaximumWidth(60);
    // The shipped build keeps the step weight at 0.1.
    const bool weightShown = C.releaseFlag != 1;
    LabelWeight->setVisible(weightShown);
    EditWeight->setVisible(weightShown);
    auto* fitButtons = new QHBoxLayout;
    fitButtons->addWidget(ButtonCurveFitting);
    fitButtons->addWidget(CheckBoxPrecise);
    fitButtons->addWidget(LabelWeight);
    fitButtons->addWidget(EditWeight);
    fitButtons->addWidget(ButtonInitialize);
    fitGrid->addLayout(fitButtons, 9, 0, 1, 9);
    fit->setLayout(fitGrid);

    ButtonPrint = button("Print", "ButtonPrint");
    ButtonSave = button("Save (*.cft)", "ButtonSave");

    ChartSimulation = new ChartPlot("Simulation results obtained by VORN", this);
    ChartSimulation->setObjectName("ChartSimulation");
    ChartCurveFitting = new ChartPlot("Fine adjustment by curve-fitting", this);
    ChartCurveFitting->setObjectName("ChartCurveFitting");
    for (ChartPlot* c : {ChartSimulation, ChartCurveFitting}) {
        c->setBottomTitle("1000/T  [K^-1]");
        c->setLeftLog(true);
        c->addSeries(ChartPlot::Kind::Circles, Qt::red, "Measured n(T)");
    }
    ChartSimulation->addSeries(ChartPlot::Kind::Line, Qt::black, "Simulation by VORN");
    ChartCurveFitting->addSeries(ChartPlot::Kind::Crosses, Qt::blue, "Low-temperature end of the range");
    ChartCurveFitting->addSeries(ChartPlot::Kind::Crosses, kLime, "High-temperature end of the range");
    ChartCurveFitting->addSeries(ChartPlot::Kind::Line, Qt::black, "Fit line");
    ButtonSaveFigureSim = button("Save Figure (*Sim.bmp)", "ButtonSaveFigureSim");
    ButtonSaveFigureCurve = button("Save Figure (*Curve.bmp)", "ButtonSaveFigureCurve");

    auto* top = new QHBoxLayout;
    top->addWidget(LabelSampleNumber);
    top->addWidget(LabelFileName, 1);
    top->addWidget(LabelProgramTitle);
    auto* left = new QVBoxLayout;
    left->addWidget(vorn);
    left->addWidget(fit);
    auto* files = new QHBoxLayout;
    files->addStretch();
    files->addWidget(ButtonPrint);
    files->addWidget(ButtonSave);
    left->addLayout(files);
    left->addStretch();
    auto* charts = new QVBoxLayout;
    charts->addWidget(ChartSimulation, 1);
    charts->addWidget(ButtonSaveFigureSim, 0, Qt::AlignRight);
    charts->addWidget(ChartCurveFitting, 1);
    charts->addWidget(ButtonSaveFigureCurve, 0, Qt::AlignRight);
    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addLayout(charts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    resize(1180, 760);

    connect(ButtonCurveFitting, &QPushButton::clicked, this, &TFormCurveFitting::ButtonCurveFittingClick);
    connect(ButtonInitialize, &QPushButton::clicked, this, &TFormCurveFitting::ButtonInitializeClick);
    connect(ButtonDecreaseLow, &QPushButton::clicked, this, &TFormCurveFitting::ButtonDecreaseLowClick);
    connect(ButtonIncreaseLow, &QPushButton::clicked, this, &TFormCurveFitting::ButtonIncreaseLowClick);
    connect(ButtonDecreaseHigh, &QPushButton::clicked, this, &TFormCurveFitting::ButtonDecreaseHighClick);
    connect(ButtonIncreaseHigh, &QPushButton::clicked, this, &TFormCurveFitting::ButtonIncreaseHighClick);
    connect(ButtonSave, &QPushButton::clicked, this, &TFormCurveFitting::ButtonSaveClick);
    connect(ButtonSaveFigureSim, &QPushButton::clicked, this, &TFormCurveFitting::ButtonSaveFigureSimClick);
    connect(ButtonSaveFigureCurve, &QPushButton::clicked, this, &TFormCurveFitting::ButtonSaveFigureCurveClick);
    connect(ButtonPrint, &QPushButton::clicked, this, &TFormCurveFitting::ButtonPrintClick);

    render();
}

TFormCurveFitting::~TFormCurveFitting() = default;

void TFormCurveFitting::collect()
{
    for (int r = 0; r < 3; ++r) {
        curvefit::Session::Row& row = session_.rows[r];
        row.ticked = CheckBoxUse[r]->isChecked();
        row.energy = EditCFEnergy[r]->text().toStdString();
        row.density = EditCFDensity[r]->text().toStdString();
        row.g = EditCFG[r]->text().toStdString();
    }
    session_.compensating = EditCFCDensity->text().toStdString();
    session_.weightText = EditWeight->text().toStdString();
    session_.precise = CheckBoxPrecise->isChecked();
}

void TFormCurveFitting::render()
{
    const curvefit::Session& s = session_;
    for (int r = 0; r < 3; ++r) {
        const curvefit::Session::Row& row = s.rows[r];
        CheckBoxUse[r]->setChecked(row.ticked);
        CheckBoxUse[r]->setEnabled(row.enabled);
        EditCFEnergy[r]->setText(qs(row.energy));
        EditCFDensity[r]->setText(qs(row.density));
        EditCFG[r]->setText(qs(row.g));
        LabelErrorEnergy[r]->setText(qs(row.energyError));
        LabelErrorDensity[r]->setText(qs(row.densityError));
    }
    EditCFCDensity->setText(qs(s.compensating));
    LabelErrorCDensity->setText(qs(s.compensatingError));
    ButtonCurveFitting->setEnabled(s.fitEnabled);
    ButtonCurveFitting->setText(qs(s.fitCaption));
    ButtonSave->setEnabled(s.saveEnabled);
    ButtonSaveFigureSim->setEnabled(s.simFigureEnabled);
    ButtonSaveFigureCurve->setEnabled(s.curveFigureEnabled);
    LabelFileName->setText(qs(s.fileName));
}

void TFormCurveFitting::drawMarkers()
{
    ChartCurveFitting->clearSeries(CurveLow);
    ChartCurveFitting->clearSeries(CurveHigh);
    const curvefit::Session& s = session_;
    if (s.pointCount() < 2)
        return;
    ChartCurveFitting->addPoint(CurveLow, 1000 / s.T[s.lo], s.n[s.lo]);
    ChartCurveFitting->addPoint(CurveHigh, 1000 / s.T[s.hi], s.n[s.hi]);
}

void TFormCurveFitting::drawFitLine()
{
    QVector<QPointF> line;
    for (std::size_t i = 0; i < session_.gridT.size(); ++i)
        line.push_back(QPointF(1000 / session_.gridT[i], session_.fitConcentration[i]));
    ChartCurveFitting->setData(CurveFit, line);
}

void TFormCurveFitting::prepare()
{
    move(60, 50);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<OutcomeMessage> messages = session_.open(C, C.progress);
    QApplication::restoreOverrideCursor();

    LabelSampleNumber->setText(qs(session_.sampleNumber));
    for (QLabel* l : donorPictures)
        l->setVisible(session_.nType);
    for (QLabel* l : acceptorPictures)
        l->setVisible(!session_.nType);
    const QString left = session_.nType ? "Electron Concentration  [cm^-3]" : "Hole Concentration  [cm^-3]";
    for (ChartPlot* c : {ChartSimulation, ChartCurveFitting})
        c->setLeftTitle(left);
    for (int r = 0; r < 3; ++r) {
        const curvefit::Species& sp = session_.reference[r];
        LabelEnergy[r]->setText(energyText(sp.energy));
        LabelDensity[r]->setText(densityText(sp.density));
        LabelG[r]->setText(degeneracyText(sp.g));
    }
    LabelCDensity->setText(densityText(session_.referenceCompensating));

    QVector<QPointF> measured;
    for (int j = 0; j < session_.pointCount(); ++j)
        measured.push_back(QPointF(1000 / session_.T[j], session_.n[j]));
    ChartSimulation->setData(SimMeasured, measured);
    ChartCurveFitting->setData(CurveMeasured, measured);
    QVector<QPointF> before;
    for (std::size_t i = 0; i < session_.gridT.size(); ++i)
        before.push_back(QPointF(1000 / session_.gridT[i], session_.fitConcentration[i]));
    ChartSimulation->setData(SimLine, before);
    drawMarkers();
    ChartCurveFitting->clearSeries(CurveFit);
    render();
    showMessages(this, messages);
}

void TFormCurveFitting::ButtonCurveFittingClick()
{
    collect();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const curvefit::Session::PressOutcome out = session_.press(C.progress);
    QApplication::restoreOverrideCursor();
    if (!out.pressed) {
        if (!out.failedText.empty())
            modal().conversionError(this, qs(numfmt::notValidFloat(out.failedText)));
        return;
    }
    if (!out.refusal.empty()) {
        render();
        modal().error(this, qs(out.refusal));
        return;
    }
    drawFitLine();
    render();
}

void TFormCurveFitting::afterRangeButton()
{
    ChartCurveFitting->clearSeries(CurveFit);
    drawMarkers();
    render();
}

void TFormCurveFitting::ButtonInitializeClick()
{
    session_.initialize();
    afterRangeButton();
}

void TFormCurveFitting::ButtonDecreaseLowClick()
{
    session_.decreaseLow();
    afterRangeButton();
}

void TFormCurveFitting::ButtonIncreaseLowClick()
{
    session_.increaseLow();
    afterRangeButton();
}

void TFormCurveFitting::ButtonDecreaseHighClick()
{
    session_.decreaseHigh();
    afterRangeButton();
}

void TFormCurveFitting::ButtonIncreaseHighClick()
{
    session_.increaseHigh();
    afterRangeButton();
}

void TFormCurveFitting::ButtonSaveClick()
{
    QString path = qs(curvefit::Session::saveProposal(C));
    if (!saveResultsFile(this, SaveFilter, 1, path, [this](const std::string& p) { return session_.save(C, p); }))
        return;
    render();
}

void TFormCurveFitting::ButtonSaveFigureSimClick()
{
    if (saveFigureOf(this, ChartSimulation, ButtonSaveFigureSim, SaveFilter, 2, session_.fileName, "Sim.bmp"))
        session_.simFigureEnabled = false;
}

void TFormCurveFitting::ButtonSaveFigureCurveClick()
{
    if (saveFigureOf(this, ChartCurveFitting, ButtonSaveFigureCurve, SaveFilter, 2, session_.fileName, "Curve.bmp"))
        session_.curveFigureEnabled = false;
}

void TFormCurveFitting::ButtonPrintClick() { printWindow(this, printer_.get(), "The curve-fitting window could not be printed."); }
