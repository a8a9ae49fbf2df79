#include "dhes/Dhes.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
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
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

const QString TFormDHES::SaveFilter = "DHES (*.DHES)|*.DHES|All Files (*.*)|*.*|Figure (*.bmp)|*.bmp";

namespace {

const char* const ordinals[4] = {"First Peak", "Second Peak", "Third Peak", "Fourth Peak"};
const char* const colourNames[4] = {"Red", "Green", "Aqua", "Blue"};
const QColor colours[4] = {Qt::red, QColor(0, 255, 0), QColor(0, 255, 255), Qt::blue};

QLabel* picture(const QString& html, const QString& name)
{
    auto* l = new QLabel(html);
    l->setObjectName(name);
    l->setTextFormat(Qt::RichText);
    return l;
}

QLabel* text(const QString& t, const QString& name = QString())
{
    auto* l = new QLabel(t);
    l->setTextFormat(Qt::PlainText);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

QPushButton* button(const QString& caption, const QString& name)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    return b;
}

} // namespace

TFormDHES::TFormDHES(QWidget* parent) : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormDHES");
    setWindowTitle("Differential Hall Effect Spectroscopy (DHES)");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    build();
    // The version label shows the program title as it was at start-up.
    LabelVersion->setText(QString::fromStdString(C.programTitle));
}

TFormDHES::~TFormDHES() = default;

void TFormDHES::build()
{
    // ---- group "DHES": definitions and formulas --------------------------------
    auto* groupDhes = new QGroupBox("DHES");
    groupDhes->setMaximumWidth(330);
    auto* gd = new QVBoxLayout(groupDhes);
    LabelNType = text("n-type", "LabelNType");
    LabelPType = text("p-type", "LabelPType");
    gd->addWidget(LabelNType);
    gd->addWidget(LabelPType);
    const QString forms[2] = {"N", "P"};
    const QString carrier[2] = {"n", "p"};
    const QString species[2] = {"D", "A"};
    for (int i = 0; i < 2; ++i) {
        const QString c = carrier[i], x = species[i];
        ImageDefinition[i] = picture("DHES[&Delta;E<sub>F</sub>(T)] &equiv; &minus;kT&middot;d" + c +
                                         "(T)/dE<sub>F</sub>",
                                     "ImageDefinition" + forms[i]);
        ImageEnergy[i] = picture("&Delta;E<sub>" + x + "</sub> &cong; &Delta;E<sub>F</sub> &minus; "
                                 "kT<sub>peak</sub>&middot;ln g",
                                 "ImageEnergy" + forms[i]);
        ImageDensity[i] = picture("N<sub>" + x + "</sub> &cong; 4 &times; DHES(&Delta;E<sub>F</sub>"
                                  "(T<sub>peak</sub>))",
                                  "ImageDensity" + forms[i]);
        ImageTheoretical[i] = picture(
            "DHES<sub>th</sub> = [1 + (&Delta;E<sub>" + x + "</sub> &minus; &Delta;E<sub>F</sub>)/kT "
            "&middot; d(kT)/d&Delta;E<sub>F</sub>] &middot; N<sub>" + x +
                "</sub>g&middot;e<sup>x</sup>/(1 + g&middot;e<sup>x</sup>)<sup>2</sup>, x = (&Delta;E<sub>" + x +
                "</sub> &minus; &Delta;E<sub>F</sub>)/kT",
            "ImageTheoretical" + forms[i]);
        ImageApproximate[i] = picture("DHES<sub>ap</sub> = N<sub>" + x +
                                          "</sub>g&middot;e<sup>x</sup>/(1 + g&middot;e<sup>x</sup>)"
                                          "<sup>2</sup>",
                                      "ImageApproximate" + forms[i]);
    }
    for (QLabel* l : ImageDefinition)
        gd->addWidget(l);
    gd->addWidget(text("Detemine Density and Energy Level Using Peaks"));
    for (QLabel* l : ImageEnergy)
        gd->addWidget(l);
    for (QLabel* l : ImageDensity)
        gd->addWidget(l);
    gd->addWidget(text("Theoretical DHES"));
    for (QLabel* l : ImageTheoretical) {
        l->setWordWrap(true); // the longest formula; the chart gets the width
        gd->addWidget(l);
    }
    ImageG2 = picture("g = 2", "ImageG2");
    ImageG4 = picture("g = 4", "ImageG4");
    gd->addWidget(ImageG2);
    gd->addWidget(ImageG4);
    LabelSampleNumber = text(QString(), "LabelSampleNumber");
    LabelVersion = text(QString(), "LabelVersion");
    ButtonHelp = button("Help", "ButtonHelp");
    gd->addWidget(LabelSampleNumber);
    gd->addWidget(LabelVersion);
    gd->addWidget(ButtonHelp);
    gd->addStretch(1);

    // ---- group of the four peaks --------------------------------------------------
    auto* groupPeaks = new QGroupBox("Deterimination of Denisy and energy Level");
    auto* gp = new QGridLayout(groupPeaks);
    for (int s = 0; s < 4; ++s) {
        const QString n = QString::number(s + 1);
        const int r = 3 * s;
        gp->addWidget(text(ordinals[s]), r, 0);
        gp->addWidget(text(QString(colourNames[s]) + " Point"), r, 1);
        gp->addWidget(text(QString(colourNames[s]) + " Line"), r, 2);
        LabelEnergy[s] = text("0", "LabelEnergy" + n);
        LabelDensity[s] = text("0", "LabelDensity" + n);
        gp->addWidget(text("\u0394E ="), r + 1, 0);
        gp->addWidget(LabelEnergy[s], r + 1, 1);
        gp->addWidget(text("eV"), r + 1, 2);
        gp->addWidget(text("N ="), r + 1, 3);
        gp->addWidget(LabelDensity[s], r + 1, 4);
        gp->addWidget(text("cm^-3"), r + 1, 5);
        ButtonPrevious[s] = button("Previous Peak", "ButtonPrevious" + n);
        ButtonNext[s] = button("Next Peak", "ButtonNext" + n);
        ButtonEvaluation[s] = button("Evaluation", "ButtonEvaluation" + n);
        ButtonClear[s] = button("Clear", "ButtonClear" + n);
        gp->addWidget(ButtonPrevious[s], r + 2, 0, 1, 2);
        gp->addWidget(ButtonNext[s], r + 2, 2, 1, 2);
        gp->addWidget(ButtonEvaluation[s], r + 2, 4);
        gp->addWidget(ButtonClear[s], r + 2, 5);
    }

    auto* groupDraw = new QGroupBox("Draw Approximate DHES");
    auto* gdr = new QGridLayout(groupDraw);
    gdr->addWidget(ImageApproximate[0], 0, 0, 1, 4);
    gdr->addWidget(ImageApproximate[1], 1, 0, 1, 4);
    for (int s = 0; s < 4; ++s) {
        ButtonDraw[s] = button(ordinals[s], "ButtonDraw" + QString::number(s + 1));
        gdr->addWidget(ButtonDraw[s], 2, s);
        gdr->addWidget(text(QString(colourNames[s]) + " Broken Line"), 3, s);
    }

    auto* groupSum = new QGroupBox("Sum of each Signal");
    auto* gs = new QHBoxLayout(groupSum);
    ButtonSum = button("Sum of each Signal", "ButtonSum");
    gs->addWidget(ButtonSum);
    gs->addWidget(text("Fuchsia-color line"));
    gs->addStretch(1);

    ButtonSave = button("Save (*.DHES)", "ButtonSave");
    ButtonPrint = button("Print", "ButtonPrint");
    auto* files = new QHBoxLayout;
    files->addWidget(ButtonSave);
    files->addWidget(ButtonPrint);
    files->addStretch(1);

    auto* middle = new QVBoxLayout;
    middle->addWidget(groupPeaks);
    middle->addWidget(groupDraw);
    middle->addWidget(groupSum);
    middle->addLayout(files);
    middle->addStretch(1);

    // ---- chart --------------------------------------------------------------------
    ChartDHES = new ChartPlot;
    ChartDHES->setObjectName("ChartDHES");
    ChartDHES->setLeftTitle("DHES  [cm^-3]");
    ChartDHES->setLeftLabelFormat("%.2E");
    ChartDHES->addSeries(ChartPlot::Kind::Line, Qt::black, "Measured DHES");
    for (int s = 0; s < 4; ++s)
        ChartDHES->addSeries(ChartPlot::Kind::Line, colours[s], QString("Theoretical DHES (") + ordinals[s] + ")");
    for (int s = 0; s < 4; ++s)
        ChartDHES->addSeries(ChartPlot::Kind::Circles, colours[s], ordinals[s]);
    for (int s = 0; s < 4; ++s)
        ChartDHES->addSeries(ChartPlot::Kind::DottedLine, colours[s],
                             QString("Approximate DHES (") + ordinals[s] + ")");
    ChartDHES->addSeries(ChartPlot::Kind::Line, QColor(255, 0, 255), "Sum of each Signal");
    ButtonSaveFigure = button("Save Figure (*DHES.bmp)", "ButtonSaveFigure");
    auto* right = new QVBoxLayout;
    right->addWidget(ChartDHES, 1);
    auto* figureRow = new QHBoxLayout;
    figureRow->addWidget(ButtonSaveFigure);
    figureRow->addStretch(1);
    right->addLayout(figureRow);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(groupDhes);
    layout->addLayout(middle);
    layout->addLayout(right, 1);
    resize(1240, 700);

    for (int s = 0; s < 4; ++s) {
        connect(ButtonPrevious[s], &QPushButton::clicked, this, [this, s] { ButtonPreviousClick(s); });
        connect(ButtonNext[s], &QPushButton::clicked, this, [this, s] { ButtonNextClick(s); });
        connect(ButtonEvaluation[s], &QPushButton::clicked, this, [this, s] { ButtonEvaluationClick(s); });
        connect(ButtonClear[s], &QPushButton::clicked, this, [this, s] { ButtonClearClick(s); });
        connect(ButtonDraw[s], &QPushButton::clicked, this, [this, s] { ButtonDrawClick(s); });
    }
    connect(ButtonSum, &QPushButton::clicked, this, &TFormDHES::ButtonSumClick);
    connect(ButtonSave, &QPushButton::clicked, this, &TFormDHES::ButtonSaveClick);
    connect(ButtonSaveFigure, &QPushButton::clicked, this, &TFormDHES::ButtonSaveFigureClick);
    connect(ButtonPrint, &QPushButton::clicked, this, &TFormDHES::ButtonPrintClick);
    connect(ButtonHelp, &QPushButton::clicked, this, &TFormDHES::ButtonHelpClick);
}

void TFormDHES::prepare()
{
    move(150, 90);
    const QString sample = QString::fromStdString(C.sampleNumber);
    setWindowTitle("Differential Hall Effect Spectroscopy (DHES)    " + sample);
    LabelSampleNumber->setText(sample);

    state_ = dhes::open(C);
    const bool n = state_.nType;
    LabelNType->setVisible(n);
    LabelPType->setVisible(!n);
    for (auto* images : {&ImageDefinition, &ImageEnergy, &ImageDensity, &ImageTheoretical, &ImageApproximate}) {
        (*images)[0]->setVisible(n);
        (*images)[1]->setVisible(!n);
    }
    ImageG2->setVisible(n);
    ImageG4->setVisible(!n);
    ChartDHES->setBottomTitle(n ? "Fermi Level from Conduction Band  [eV]" : "Fermi Level from Valence Band  [eV]");
    ButtonPrint->setEnabled(true);

    ChartDHES->clearAll();
    QVector<QPointF> measured;
    measured.reserve(static_cast<int>(state_.dhes.size()));
    for (std::size_t j = 0; j < state_.dhes.size(); ++j)
        measured.append({state_.abscissa[j], state_.dhes[j]});
    ChartDHES->setData(SeriesMeasured, measured);
    render();
}

void TFormDHES::showCurve(int series, const DoubleArray& values)
{
    // An emptied curve (one element) has no line.
    if (values.size() <= 1) {
        if (ChartDHES->count(series) > 0)
            ChartDHES->clearSeries(series);
        return;
    }
    QVector<QPointF> points;
    points.reserve(static_cast<int>(values.size()));
    for (std::size_t j = 0; j < values.size() && j < state_.abscissa.size(); ++j)
        points.append({state_.abscissa[j], values[j]});
    if (points != ChartDHES->data(series))
        ChartDHES->setData(series, points);
}

void TFormDHES::render()
{
    const dhes::Controls& c = state_.controls;
    for (int s = 0; s < 4; ++s) {
        const dhes::Peak& p = state_.peaks[s];
        ButtonPrevious[s]->setEnabled(c.previous[s]);
        ButtonNext[s]->setEnabled(c.next[s]);
        ButtonEvaluation[s]->setEnabled(c.evaluation[s]);
        ButtonClear[s]->setEnabled(c.clear[s]);
        ButtonDraw[s]->setEnabled(c.draw[s]);
        const bool edge = p.evaluated() && p.edge;
        LabelEnergy[s]->setText(p.evaluated() ? energyText(p.energyLevel) +
                                                    (edge ? "  (edge)" : "")
                                              : QString("0"));
        LabelEnergy[s]->setStyleSheet(edge ? "color: rgb(200, 0, 0); font-weight: bold;" : "");
        LabelEnergy[s]->setToolTip(edge ? "Evaluated at an end of the DHES signal: the level and density are doubtful"
                                        : QString());
        LabelDensity[s]->setText(p.evaluated() ? densityText(p.density)
                                               : QString("0"));
        showCurve(SeriesTheoretical + s, p.theoretical);
        showCurve(SeriesApproximate + s, p.approximate);
        const int i = p.index;
        if (state_.markerShown[s] && i >= 0 && i < static_cast<int>(state_.dhes.size()))
            ChartDHES->setData(SeriesMarker + s, {QPointF(state_.abscissa[i], state_.dhes[i])});
        else if (ChartDHES->count(SeriesMarker + s) > 0)
            ChartDHES->clearSeries(SeriesMarker + s);
    }
    showCurve(SeriesSum, state_.sumShown ? state_.sum : DoubleArray{0.0});
    ButtonSum->setEnabled(c.sum);
    ButtonSave->setEnabled(c.save);
    ButtonSaveFigure->setEnabled(c.saveFigure);
}

void TFormDHES::ButtonPreviousClick(int peak)
{
    dhes::previousPeakPressed(state_, peak);
    render();
}

void TFormDHES::ButtonNextClick(int peak)
{
    dhes::nextPeakPressed(state_, peak);
    render();
}

void TFormDHES::ButtonEvaluationClick(int peak)
{
    const std::string refusal = dhes::evaluationPressed(state_, peak);
    render();
    if (!refusal.empty())
        modal().error(this, QString::fromStdString(refusal));
    else if (state_.peaks[peak].edge)
        modal().error(this, QString::fromStdString(dhes::edgeWarning(state_, peak)));
}

void TFormDHES::ButtonClearClick(int peak)
{
    dhes::clearPressed(state_, peak);
    render();
}

void TFormDHES::ButtonDrawClick(int peak)
{
    dhes::drawPressed(state_, peak);
    render();
}

void TFormDHES::ButtonSumClick()
{
    dhes::sumPressed(state_);
    render();
    modal().confirmation(this, dhes::sumMessage);
}

void TFormDHES::ButtonSaveClick()
{
    QString name = QString::fromStdString(dhes::saveProposal(C));
    auto write = [this](const std::string& path) {
        FileOutcome out;
        out.ok = dhes::savePressed(C, state_, path, out.error);
        return out;
    };
    saveResultsFile(this, SaveFilter, 1, name, write, "DHES");
    render();
}

void TFormDHES::ButtonSaveFigureClick()
{
    int filterIndex = 3;
    QString name = QString::fromStdString(dhes::figureProposal(state_));
    if (!saveChartFigure(this, ChartDHES, SaveFilter, filterIndex, name))
        return;
    state_.controls.saveFigure = false;
    render();
}

void TFormDHES::ButtonPrintClick() { printWindow(this, printer_.get(), "The DHES window could not be printed."); }

void TFormDHES::ButtonHelpClick() { showHelp("dhes.html"); }
