#include "bestmodel/BestModel.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Help.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/SaveResults.h"
#include "toolkit/Texts.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString TFormBestModel::SaveFilter = "Best model (*.mdl)|*.mdl|Figure (*.bmp)|*.bmp";

namespace {

// Colours of the species' shares, in order.
const QColor kSpeciesColours[modelsel::maxSpecies] = {QColor(0, 0, 255), QColor(0, 160, 0), QColor(200, 120, 0),
                                                     QColor(160, 0, 160)};

QTableWidget* table(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->setVisible(false);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString errorText(double error, bool energy) { return qs(modelsel::errorText(error, energy)); }
} // namespace

TFormBestModel::TFormBestModel(QWidget* parent) : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormBestModel");
    setWindowTitle("Best Model: the Model the Data Support");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto button = [this](const QString& text, const QString& name, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        return b;
    };
    LabelSampleNumber = new QLabel(this);
    LabelSampleNumber->setObjectName("LabelSampleNumber");
    LabelModel = new QLabel(this);
    LabelModel->setObjectName("LabelModel");
    LabelModel->setWordWrap(true);
    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName("LabelStatus");
    LabelStatus->setWordWrap(true);

    GridSpecies = table(this, "GridSpecies",
                        {"Species", "Energy level [eV]", "± [eV]", "Density [cm^-3]", "± [cm^-3]", "g", "Verdict"});
    GridAlternatives =
        table(this, "GridAlternatives", {"Species", "Distribution", "Levels r", "Parameters", "Criterion",
                                         "Residual RMS [log10 n]", ""});
    GridSpecies->setMinimumHeight(130);
    GridAlternatives->setMinimumHeight(130);

    ProgressSearch = new QProgressBar(this);
    ProgressSearch->setObjectName("ProgressSearch");
    ProgressSearch->setVisible(false);

    ButtonSearch = button("Find Best Model", "ButtonSearch",
                          "Fit one to four species (and excited states for p-type samples) to the measured points "
                          "and choose the model by its criterion");
    ButtonCancel = button("Cancel", "ButtonCancel", "Stop the search; the results shown stay");
    ButtonSave = button("Save (*.mdl)", "ButtonSave", "Write the chosen model, its errors and the alternatives");
    ButtonSaveFigure = button("Save Figure (*Model.bmp)", "ButtonSaveFigure", "Save the chart of the fit");
    ButtonPrint = button("Print", "ButtonPrint", "Print this window");
    ButtonHelp = button("Help", "ButtonHelp", "How the model is chosen");
    ButtonClose = button("Close", "ButtonClose", "Close this window");

    ChartFit = new ChartPlot(QString(), this);
    ChartFit->setObjectName("ChartFit");
    ChartFit->addSeries(ChartPlot::Kind::Circles, Qt::red, "Measured points");
    ChartFit->addSeries(ChartPlot::Kind::Line, Qt::black, "Fitted concentration");
    for (int k = 0; k < modelsel::maxSpecies; ++k)
        ChartFit->addSeries(ChartPlot::Kind::DottedLine, kSpeciesColours[k],
                            "Ionised density of species " + QString::number(k + 1));
    ChartFit->setBottomTitle("1000/T [1/K]");
    ChartFit->setLeftLog(true);
    ChartResidual = new ChartPlot(QString(), this);
    ChartResidual->setObjectName("ChartResidual");
    ChartResidual->addSeries(ChartPlot::Kind::Circles, Qt::red, "log10 n(measured) - log10 n(fit)");
    ChartResidual->addSeries(ChartPlot::Kind::Line, Qt::gray, "Zero");
    ChartResidual->setBottomTitle("Temperature [K]");
    ChartResidual->setLeftTitle("Residual [log10 n]");
    ChartResidual->setLeftLabelFormat("%.1e");

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {ButtonSearch, ButtonCancel, ButtonSave, ButtonPrint, ButtonHelp})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(ButtonClose);
    auto* left = new QVBoxLayout;
    left->addWidget(LabelSampleNumber);
    left->addWidget(LabelModel);
    left->addWidget(GridSpecies);
    left->addWidget(new QLabel("Alternatives tried (lowest criterion wins, a model with more parameters only "
                               "by more than " + qs(numfmt::general(modelsel::criterionMargin)) + "):",
                               this));
    left->addWidget(GridAlternatives);
    left->addWidget(ProgressSearch);
    left->addWidget(LabelStatus);
    auto* charts = new QVBoxLayout;
    charts->addWidget(ChartFit, 3);
    charts->addWidget(ButtonSaveFigure, 0, Qt::AlignRight);
    charts->addWidget(ChartResidual, 2);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addLayout(charts, 1);
    auto* root = new QVBoxLayout(this);
    root->addLayout(body, 1);
    root->addLayout(buttons);
    resize(1180, 680);

    connect(ButtonSearch, &QPushButton::clicked, this, &TFormBestModel::ButtonSearchClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormBestModel::ButtonCancelClick);
    connect(ButtonSave, &QPushButton::clicked, this, &TFormBestModel::ButtonSaveClick);
    connect(ButtonSaveFigure, &QPushButton::clicked, this, &TFormBestModel::ButtonSaveFigureClick);
    connect(ButtonPrint, &QPushButton::clicked, this, &TFormBestModel::ButtonPrintClick);
    connect(ButtonHelp, &QPushButton::clicked, this, &TFormBestModel::ButtonHelpClick);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::close);
    prepare();
}

TFormBestModel::~TFormBestModel() = default;

void TFormBestModel::prepare()
{
    if (searching_)
        return;
    data_ = modelsel::dataFrom(C, modelsel::stageDegeneracies(C));
    selection_ = {};
    fileName_.clear();
    LabelSampleNumber->setText("Sample: " + qs(C.sampleNumber) + "    (" + QString::number(data_.points()) +
                               " measured points with positive reliability)");
    ChartFit->setLeftTitle(C.isNType() ? "Electrons [cm^-3]" : "Holes [cm^-3]");
    clearResults();
    ChartFit->clearAll();
    QVector<QPointF> measured;
    for (int j = 0; j < data_.points(); ++j)
        measured.push_back({1000.0 / data_.T[static_cast<std::size_t>(j)], data_.n[static_cast<std::size_t>(j)]});
    ChartFit->setData(FitMeasured, measured);
    const bool ready = data_.points() >= 4 && data_.dos0 > 0;
    ButtonSearch->setEnabled(ready);
    LabelStatus->setText(ready ? "Press \"Find Best Model\" to fit the models to the measured points."
                               : "The model needs the measured points and the effective density of states "
                                 "(calculate the Fermi level first).");
}

void TFormBestModel::clearResults()
{
    LabelModel->setText("No model chosen yet.");
    GridSpecies->setRowCount(0);
    GridAlternatives->setRowCount(0);
    for (int s = FitModel; s < FitSpecies + modelsel::maxSpecies; ++s)
        ChartFit->clearSeries(s);
    ChartResidual->clearAll();
    ButtonCancel->setEnabled(false);
    ButtonSave->setEnabled(false);
    ButtonSaveFigure->setEnabled(false);
}

void TFormBestModel::ButtonSearchClick()
{
    if (searching_ || !ButtonSearch->isEnabled())
        return;
    searching_ = true;
    cancelRequested_ = false;
    ButtonSearch->setEnabled(false);
    ButtonCancel->setEnabled(true);
    ProgressSearch->setValue(0);
    ProgressSearch->setVisible(true);
    LabelStatus->setText("Searching: the spectroscopy's results and a grid of levels as starts ...");
    QApplication::processEvents();
    const std::vector<modelsel::Model> seeds = modelsel::collectSeeds(C, data_);
    auto progress = [this](int done, int total) {
        ProgressSearch->setMaximum(total);
        ProgressSearch->setValue(done);
        // The window keeps painting and the Cancel button answers.
        QApplication::processEvents();
        return !cancelRequested_;
    };
    const modelsel::Selection found = modelsel::selectModel(data_, seeds, progress);
    searching_ = false;
    ProgressSearch->setVisible(false);
    ButtonSearch->setEnabled(true);
    ButtonCancel->setEnabled(false);
    if (found.cancelled) {
        LabelStatus->setText("Search cancelled; " + QString(selection_.ok ? "the results of the last search stay."
                                                                           : "no model has been chosen yet."));
        ButtonSave->setEnabled(selection_.ok && fileName_.empty());
        ButtonSaveFigure->setEnabled(selection_.ok);
        return;
    }
    if (!found.ok) {
        LabelStatus->setText(qs(found.message));
        modal().error(this, qs(found.message));
        return;
    }
    selection_ = found;
    fileName_.clear();
    showSelection();
    LabelStatus->setText("Model chosen: save it with \"Save (*.mdl)\".");
}

void TFormBestModel::ButtonCancelClick() { cancelRequested_ = true; }

void TFormBestModel::showSelection()
{
    const modelsel::Fit& f = selection_.chosen;
    QString model = QString::number(f.model.species.size()) + " species, " +
                    qs(modelsel::distributionName(f.model.distribution));
    if (f.model.distribution == modelsel::Distribution::ExcitedStates)
        model += " (excited levels up to r = " + QString::number(f.model.levelCount) + ")";
    model += "; " + qs(selection_.criterionName) + " " + qs(numfmt::pattern(f.criterion, "0.00")) +
             ", residual RMS " + qs(numfmt::threeDigits(f.rms)) + " in log10 n";
    LabelModel->setText("<b>Chosen model:</b> " + model.toHtmlEscaped());

    GridSpecies->setRowCount(static_cast<int>(f.species.size()) + 1);
    for (std::size_t k = 0; k < f.species.size(); ++k) {
        const modelsel::SpeciesResult& s = f.species[k];
        setRow(GridSpecies, static_cast<int>(k),
               {QString::number(k + 1), energyText(s.species.level), errorText(s.levelError, true),
                densityText(s.species.density), errorText(s.densityError, false),
                degeneracyText(s.species.g), qs(modelsel::verdictText(s))});
    }
    setRow(GridSpecies, static_cast<int>(f.species.size()),
           {"compensating", "", "", densityText(f.model.compensating),
            errorText(f.compensatingError, false), "",
            f.compensatingDetermined ? "determined" : "not determined by these data"});

    GridAlternatives->setRowCount(static_cast<int>(selection_.alternatives.size()));
    for (std::size_t i = 0; i < selection_.alternatives.size(); ++i) {
        const modelsel::Alternative& a = selection_.alternatives[i];
        setRow(GridAlternatives, static_cast<int>(i),
               {QString::number(a.speciesCount), qs(modelsel::distributionName(a.distribution)),
                a.distribution == modelsel::Distribution::ExcitedStates ? QString::number(a.levelCount) : "",
                QString::number(a.parameters), qs(numfmt::pattern(a.criterion, "0.00")),
                qs(numfmt::threeDigits(a.rms)), a.chosen ? "chosen" : ""});
    }

    const double tLow = *std::min_element(data_.T.begin(), data_.T.end());
    const double tHigh = *std::max_element(data_.T.begin(), data_.T.end());
    const modelsel::Curves curves = modelsel::modelCurves(f.model, data_, tLow, tHigh, 200);
    QVector<QPointF> line;
    for (std::size_t i = 0; i < curves.T.size(); ++i)
        line.push_back({1000.0 / curves.T[i], curves.n[i]});
    ChartFit->setData(FitModel, line);
    for (int k = 0; k < modelsel::maxSpecies; ++k) {
        QVector<QPointF> share;
        if (k < static_cast<int>(curves.ionised.size()))
            for (std::size_t i = 0; i < curves.T.size(); ++i)
                share.push_back({1000.0 / curves.T[i], curves.ionised[static_cast<std::size_t>(k)][i]});
        ChartFit->setData(FitSpecies + k, share);
    }
    QVector<QPointF> residual, zero;
    for (std::size_t j = 0; j < f.residual.size(); ++j)
        residual.push_back({f.T[j], f.residual[j]});
    zero = {{tLow, 0}, {tHigh, 0}};
    ChartResidual->setData(ResidualPoints, residual);
    ChartResidual->setData(ResidualZero, zero);
    ButtonSave->setEnabled(true);
    ButtonSaveFigure->setEnabled(true);
}

void TFormBestModel::ButtonSaveClick()
{
    if (!selection_.ok)
        return;
    QString path = qs(modelsel::saveProposal(C));
    if (!saveResultsFile(this, SaveFilter, 1, path,
                         [this](const std::string& p) {
                             FileOutcome out;
                             out.ok = modelsel::save(C, selection_, p, out.error);
                             return out;
                         },
                         "mdl"))
        return;
    fileName_ = path.toStdString();
    ButtonSave->setEnabled(false);
    LabelStatus->setText("Saved as " + path + ".");
}

void TFormBestModel::ButtonSaveFigureClick()
{
    const std::string base = fileName_.empty() ? modelsel::saveProposal(C) : fileName_;
    saveFigureOf(this, ChartFit, ButtonSaveFigure, SaveFilter, 2, base, "Model.bmp");
}

void TFormBestModel::ButtonPrintClick()
{
    printWindow(this, printer_.get(), "The best-model window could not be printed.");
}

void TFormBestModel::ButtonHelpClick() { showHelp("bestmodel.html"); }
