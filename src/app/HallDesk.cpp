// Main window: what makes it a desk for daily use beside the analysis
// itself: keyboard access, a hint on every control, the next step in the
// status bar, menu items only for windows the build has, a data file
// dropped on the window, and closing it ending the program.
#include "app/Hall.h"

#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>

namespace {
// The local file of a drop, when exactly one is dropped.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return QString();
    const QUrl url = data->urls().first();
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

const char* const kHiddenForMissingWindow = "vornHiddenForMissingWindow";
const char* const kHeldEnabled = "vornHeldEnabled";
} // namespace

void TFormMain::setUpDesk()
{
    // Mnemonics of the menu bar; the items keep their captions.
    const std::pair<QAction*, const char*> titles[] = {
        {MenuFile, "&File"},           {MenuData, "&Data"},
        {MenuOption, "&Option"},       {MenuDistributionFunction, "Dis&tribution Function"},
        {MenuOtherAnalyses, "Other &Analyses"}, {MenuHelp, "&Help"},
        {MenuInformation, "&Information"}};
    for (const auto& [menu, title] : titles) {
        menu->setText(title);
        connect(menu->menu(), &QMenu::aboutToShow, this, [this] { holdMissingWindowItems(true); });
        connect(menu->menu(), &QMenu::aboutToHide, this, [this] { holdMissingWindowItems(false); });
    }

    MenuLoadExperimental->setShortcut(QKeySequence("Ctrl+O"));
    MenuPrint->setShortcut(QKeySequence("Ctrl+P"));
    MenuHelpViewer->setShortcut(QKeySequence("F1"));
    MenuExit->setShortcut(QKeySequence("Ctrl+Q"));
    ActionSaveCurrentPage = new QAction("Save", this);
    ActionSaveCurrentPage->setObjectName("ActionSaveCurrentPage");
    ActionSaveCurrentPage->setShortcut(QKeySequence("Ctrl+S"));
    addAction(ActionSaveCurrentPage);
    connect(ActionSaveCurrentPage, &QAction::triggered, this, [this] { saveCurrentPage(); });

    const std::pair<QWidget*, const char*> hints[] = {
        {ButtonInputData, "Type the measured n(T) or p(T) into a data sheet, or convert another file"},
        {ButtonLoadExperimental, "Load measured carrier concentrations (*.nT or *.pT) - Ctrl+O, or drop the file on this window"},
        {ButtonChangeData, "Edit the loaded data in the data sheet (load or input data first)"},
        {EditSmoothness, "Smoothness of the spline: larger is smoother; lower it when the spline misses the measured points"},
        {ButtonAutoSmoothness, "Choose the smoothness from the data (generalized cross-validation); needs loaded data"},
        {ButtonCalcSpline, "Fit the smoothing spline to the measured points (needs loaded data)"},
        {ButtonSaveSpline, "Save the spline as data for analysis (*.spl); the Fermi level needs it"},
        {ButtonSaveFigureCon1, "Save the linear chart as a figure (BMP as shown, or PNG, SVG, PDF at a chosen size)"},
        {ButtonSaveFigureCon2, "Save the semilog chart as a figure (BMP as shown, or PNG, SVG, PDF at a chosen size)"},
        {ButtonSeeInformation, "Show the table of semiconductor data"},
        {ButtonInputChangeInformation, "Edit the material parameters of this sample (after the spline is saved)"},
        {EditMass, "Effective mass of the majority carriers in units of the free-electron mass"},
        {EditEquivalentMinima, "Number of equivalent band extrema"},
        {ButtonCalcEffectiveDensityOfStates, "Compute the effective density of states from mass and extrema"},
        {EditEffectiveDensityOfStates, "Effective density of states used for the Fermi level"},
        {EditFermiLevelComment, "A comment written into the Fermi level file"},
        {ButtonCalcFermiLevel, "Compute the Fermi level at every temperature of the spline (save the spline first)"},
        {ButtonSaveFermiLevel, "Save the Fermi level (*.fl); the H1 page needs it"},
        {ButtonSaveFigureFermi, "Save the Fermi level chart as a figure (BMP, PNG, SVG or PDF)"},
        {ButtonSaveExperimentalFermiLevelData, "Save the Fermi level at the measured points (*.flE)"},
        {EditEref1, "Reference energy E_ref [eV] for a calculation by hand"},
        {ButtonDecreaseErefH1, "Lower E_ref by a large step and recalculate"},
        {ButtonDecreaseErefH1Precise, "Lower E_ref by a small step and recalculate"},
        {ButtonIncreaseErefH1Precise, "Raise E_ref by a small step and recalculate"},
        {ButtonIncreaseErefH1, "Raise E_ref by a large step and recalculate"},
        {ButtonCalculationH1Precise, "Calculate H1 with the E_ref typed beside"},
        {ButtonUseNegativeNcom, "Allow a negative compensating density from H1 in the next stages"},
        {ButtonSimulation, "Simulate n(T) or p(T) from the ticked densities and energy levels"},
        {ButtonSaveSimulation, "Save the simulated concentration (*.simH or *.simS)"},
        {ButtonSaveFigureSimulation1, "Save the chart over 1000/T as a figure (BMP, PNG, SVG or PDF)"},
        {ButtonSaveFigureSimulation2, "Save the chart over T as a figure (BMP, PNG, SVG or PDF)"},
        {ButtonSeeResults, "Read the remarks on the results of the last evaluated stage"},
        {ButtonSaveResults, "Save a summary of the results obtained"},
        {ButtonFineAdjustment, "Refine the densities and energy levels by curve fitting (after a simulation)"},
        {ButtonBestModel, "Fit one to four species to the measured points and let the data choose how many"},
        {EditSCDensity, "Compensating density [cm^-3] for the simulation"},
        {CheckBox4, "Include the compensating density in the simulation"},
    };
    for (const auto& [w, text] : hints)
        w->setToolTip(text);
    for (int k = 0; k < 3; ++k) {
        const QString n = QString::number(k + 1);
        const StageControls c = stage(k);
        c.calc->setToolTip("Search E_ref and calculate H" + n + " from the spline" +
                           (k == 0 ? QString(" (save the Fermi level first)") : " (save the results of the previous stage first)"));
        c.peakDown->setToolTip("Take the peak at the next lower temperature");
        c.peakUp->setToolTip("Take the peak at the next higher temperature");
        c.saveExperimental->setToolTip("Save H" + n + " of the measured points");
        c.g->setToolTip("Degeneracy factor of species " + n + " (2 for donors, 4 for acceptors by default)");
        c.evaluation->setToolTip("Determine density and energy level of species " + n + " from the peak (calculate first)");
        c.save->setToolTip("Save the results of this stage; the next stage and the simulation need them");
        c.saveFigure->setToolTip("Save the chart as a figure (BMP as shown, or PNG, SVG, PDF at a chosen size)");
    }
    QLineEdit* densities[] = {EditSDensity1, EditSDensity2, EditSDensity3};
    QLineEdit* energies[] = {EditSEnergy1, EditSEnergy2, EditSEnergy3};
    QLineEdit* gs[] = {EditSG1, EditSG2, EditSG3};
    for (int k = 0; k < 3; ++k) {
        const QString n = QString::number(k + 1);
        densities[k]->setToolTip("Density of species " + n + " [cm^-3] (tick the species to simulate it)");
        energies[k]->setToolTip("Energy level of species " + n + " [eV] from the band edge");
        gs[k]->setToolTip("Degeneracy factor of species " + n);
        QCheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3};
        boxes[k]->setToolTip("Include species " + n + " in the simulation");
    }

    statusBar()->setObjectName("StatusBar");
    setAcceptDrops(true);
    for (ChartPlot* chart : {ChartExperimentalLinear, ChartExperimentalLog, ChartFermiLevel, ChartH1, ChartH2,
                             ChartH3, ChartSimulationReverseT, ChartSimulationT})
        connect(chart, &ChartPlot::coordinatesChanged, this, [this](const QString& text) {
            if (text.isEmpty())
                showNextStep();
            else
                statusBar()->showMessage(text);
        });
    // The hint follows every step taken (after the step's own handler).
    for (QPushButton* b : findChildren<QPushButton*>())
        connect(b, &QPushButton::clicked, this, [this] { showNextStep(); });
    for (QAction* a : findChildren<QAction*>())
        if (!a->menu() && a != ActionSaveCurrentPage)
            connect(a, &QAction::triggered, this, [this] { showNextStep(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { showNextStep(); });
    statusBar()->showMessage(nextStepText());
}

void TFormMain::holdMissingWindowItems(bool hold)
{
    // While a menu is open, an item whose window this build lacks is shown
    // disabled; its own enabled state (the workflow's) comes back when the
    // menu closes, so that the item works as soon as the window exists.
    // "DX Center" has no window at all.
    const std::pair<QAction*, WindowId> items[] = {
        {MenuFileViewer, WindowId::Editor},
        {MenuSampleCondition, WindowId::SampleCondition},
        {MenuObtainedResults, WindowId::ObtainedResults},
        {MenuAutomaticEvaluationType, WindowId::AutomaticEvaluationType},
        {MenuTypeOfFunction, WindowId::FunctionType},
        {MenuExcitedStates, WindowId::ExcitedStates},
        {MenuDXCenter, WindowId::Count},
        {MenuInverseT, WindowId::ConventionalAnalysis},
        {MenuInverseTCom, WindowId::ConventionalAnalysis2},
        {MenuDHES, WindowId::DHES},
        {MenuCurveFitting, WindowId::CurveFitting},
        {MenuBestModel, WindowId::BestModel},
        {MenuVersion, WindowId::AboutBox},
        {MenuLatestVersion, WindowId::HTML},
        {MenuHelpViewer, WindowId::HTML},
        {MenuInformationSemiconductor, WindowId::Information},
    };
    for (const auto& [action, id] : items) {
        const QVariant held = action->property(kHeldEnabled);
        if (hold && !held.isValid() && !windows().has(id)) {
            action->setProperty(kHeldEnabled, action->isEnabled());
            action->setEnabled(false);
        } else if (!hold && held.isValid()) {
            action->setEnabled(held.toBool());
            action->setProperty(kHeldEnabled, QVariant());
        }
    }
}

void TFormMain::updateAvailability()
{
    // Buttons that open a window this build lacks are hidden; one hidden
    // here comes back when the window exists.
    const std::pair<QPushButton*, WindowId> buttons[] = {
        {ButtonInputData, WindowId::HowToInput},
        {ButtonChangeData, WindowId::DataSheet},
        {ButtonFineAdjustment, WindowId::CurveFitting},
        {ButtonBestModel, WindowId::BestModel},
        {ButtonSeeResults, WindowId::Remarks},
        {ButtonSeeInformation, WindowId::Information},
    };
    for (const auto& [b, id] : buttons) {
        if (!windows().has(id)) {
            b->setVisible(false);
            b->setProperty(kHiddenForMissingWindow, true);
        } else if (b->property(kHiddenForMissingWindow).toBool()) {
            b->setProperty(kHiddenForMissingWindow, false);
            b->setVisible(true);
        }
    }
}

QString TFormMain::nextStepText() const
{
    if (C.dataCount <= 0)
        return "Load the experimental data: File > Experimental Data (Ctrl+O), \"Load Data\", or drop a "
               "*.nT or *.pT file on this window";
    if (ChartExperimentalLog->count(1) == 0)
        return "Data loaded: choose the smoothness and press Calculation on the Carrier Concentration page";
    if (LabelFilenameSpline->text().isEmpty())
        return "Spline calculated: check its deviation, then save it with \"Save (*.spl)\"";
    if (ChartFermiLevel->count(0) == 0)
        return "Spline saved: go to the Fermi Level page and press Calculation";
    if (LabelFilenameFermiLevel->text().isEmpty())
        return "Fermi level calculated: save it with \"Save Temperature Dependence of Fermi Level (*.fl)\"";
    const QString letter = C.functionType == 1 ? "S" : "H";
    for (int k = 0; k < 3; ++k) {
        const StageControls c = stage(k);
        const QString page = letter + QString::number(k + 1);
        // What the page holds, read from its controls: the curve drawn, the
        // save button enabled (evaluated, not saved), the file name shown.
        const bool calculated = c.chart->count(0) > 0;
        const bool saved = !c.fileName->text().isEmpty();
        if (!calculated && !c.calc->isEnabled())
            break;
        if (!calculated)
            return "Go to the " + page + "(T,E_ref) page and press " + c.calc->text();
        if (saved)
            continue;
        if (c.save->isEnabled())
            return page + " evaluated: save the results with \"" + c.save->text() + "\"";
        if (c.evaluation->isEnabled())
            return page + " calculated: press Evaluation on the " + page + "(T,E_ref) page";
        return c.calc->isEnabled()
                   ? page + " calculated, but its peak cannot be evaluated: press " + c.calc->text() + " again"
                   : page + " calculated: no further peak to evaluate; go to the Simulation page";
    }
    if (ChartSimulationT->count(1) == 0)
        return ButtonSimulation->isEnabled()
                   ? "Results saved: go to the Simulation page, tick the species and press Simulation"
                   : "Results saved: evaluate the next stage";
    if (LabelFilenameSimulation->text().isEmpty())
        return "Simulation done: compare it with the measured points and save it with \"" +
               ButtonSaveSimulation->text() + "\"";
    return "Analysis complete: save the results or export the figures";
}

void TFormMain::showNextStep()
{
    updateAvailability();
    statusBar()->showMessage(nextStepText());
}

void TFormMain::saveCurrentPage()
{
    QWidget* page = PageControl1->currentWidget();
    QPushButton* save = nullptr;
    if (page == TabSheet1)
        save = ButtonSaveSpline;
    else if (page == TabSheet2)
        save = ButtonSaveFermiLevel;
    else if (page == TabSheet3 || page == TabSheet4 || page == TabSheet5)
        save = stage(page == TabSheet3 ? 0 : page == TabSheet4 ? 1 : 2).save;
    else if (page == TabSheet6)
        save = ButtonSaveSimulation;
    if (save && save->isEnabled() && !save->isHidden())
        save->click();
    else
        statusBar()->showMessage("Nothing to save on this page yet: " + nextStepText());
}

void TFormMain::loadDataFile(const QString& path)
{
    if (!confirmReplaceAnalysis())
        return;
    // Result headers name the data file wherever the program was started.
    loadExperimentalFile(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    showNextStep();
}

QPushButton* TFormMain::unsavedResultsButton() const
{
    // A save button is enabled exactly while its result waits to be saved.
    QPushButton* saves[] = {ButtonSaveSpline, ButtonSaveFermiLevel, stage(0).save, stage(1).save,
                            stage(2).save, ButtonSaveSimulation};
    for (QPushButton* b : saves)
        if (b->isEnabled())
            return b;
    return nullptr;
}

bool TFormMain::confirmReplaceAnalysis()
{
    QPushButton* save = unsavedResultsButton();
    if (!save)
        return true;
    int pageIndex = -1;
    for (int i = 0; i < PageControl1->count(); ++i)
        if (PageControl1->widget(i)->isAncestorOf(save))
            pageIndex = i;
    const QString page = pageIndex >= 0 ? PageControl1->tabText(pageIndex) : QString();
    const ModalInterface::Unsaved answer = modal().unsavedWork(
        this, "The results on the page \"" + page + "\" have not been saved.\nSave them before they are replaced?");
    if (answer == ModalInterface::Unsaved::Cancel)
        return false;
    if (answer == ModalInterface::Unsaved::Discard)
        return true;
    if (pageIndex >= 0)
        PageControl1->setCurrentIndex(pageIndex);
    save->click();
    // A cancelled or failed save keeps the button enabled: nothing replaced.
    return !save->isEnabled();
}

void TFormMain::showSplineDeviation(const SplineOutcome& out)
{
    const bool notable = out.deviationNotable();
    LabelSplineDeviation->setText(QString::fromStdString(out.deviationText));
    QPalette p = LabelSplineDeviation->palette();
    p.setColor(QPalette::WindowText, notable ? QColor(200, 0, 0) : palette().color(QPalette::WindowText));
    LabelSplineDeviation->setPalette(p);
    QFont f = LabelSplineDeviation->font();
    f.setBold(notable);
    LabelSplineDeviation->setFont(f);
    LabelSplineDeviation->setToolTip(
        notable ? "The spline lies more than 5 % from a measured point: lower the smoothness and calculate again"
                : "Largest relative deviation of the spline from the weighted measured points");
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    loadDataFile(path);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!confirmReplaceAnalysis()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    for (int i = 0; i < static_cast<int>(WindowId::Count); ++i)
        if (ManagedWindow* w = windows().find(static_cast<WindowId>(i)))
            if (!w->widget()->close()) {
                // A window kept its unsaved text (the file viewer): the
                // program goes on.
                event->ignore();
                return;
            }
    // A window left open elsewhere (a modal one's parent chain, a progress
    // window) must not keep the program running.
    QCoreApplication::quit();
}
