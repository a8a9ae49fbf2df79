// The main window as a desk for daily use: it fits the screen, ends the
// program when closed, offers only what the build has, gives every control
// a hint and names the next step, loads a dropped file, shows how closely
// the spline follows the points, and names every series of every chart.
#include "HallTestSupport.h"
#include "toolkit/ScreenFit.h"
#include "toolkit/WindowRegistry.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDropEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

// What the user can see of the main window and the other windows: texts,
// enabled and visible states, the windows shown, and every dialog asked.
QString fingerprint(TFormMain* m, const ScriptedModal* script)
{
    QStringList parts;
    if (script)
        parts << QString("%1 %2 %3 %4")
                     .arg(script->messages.size())
                     .arg(script->fileDialogs.size())
                     .arg(script->windowsShown.size())
                     .arg(script->printerDialogs);
    QStringList shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            shown << w->objectName();
    shown.sort();
    parts << shown;
    for (QLabel* l : m->findChildren<QLabel*>())
        parts << l->objectName() + "=" + l->text();
    for (QAbstractButton* b : m->findChildren<QAbstractButton*>())
        parts << QString("%1:%2%3").arg(b->objectName()).arg(b->isEnabled()).arg(b->isHidden());
    for (QAction* a : m->findChildren<QAction*>())
        parts << QString("%1%2").arg(a->isEnabled()).arg(a->isVisible());
    for (ChartPlot* c : m->findChildren<ChartPlot*>())
        for (int s = 0; s < c->seriesCount(); ++s)
            parts << QString::number(c->count(s));
    return parts.join('|');
}

class DeskTest : public MainWindowTest {
protected:
    QTemporaryDir dir;
    QString copy(const char* name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(example(name), to)) << name;
        return to;
    }
    // Spline, Fermi level and the stages as a user clicks them, every save
    // confirmed with the proposed name, then the simulation.
    void fullRun(TFormMain* m, const QString& data)
    {
        load(m, data);
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        QPushButton* calcs[] = {m->ButtonCalcH1, m->ButtonCalcH2, m->ButtonCalcH3};
        QPushButton* evals[] = {m->ButtonEvaluation1, m->ButtonEvaluation2, m->ButtonEvaluation3};
        QPushButton* saves[] = {m->ButtonSaveH1, m->ButtonSaveH2, m->ButtonSaveH3};
        for (int k = 0; k < 3 && calcs[k]->isEnabled(); ++k) {
            for (int round = 0; round < 12 && calcs[k]->isEnabled(); ++round) {
                calcs[k]->click();
                if (calcs[k]->text() == "Calculation again")
                    continue;
                if (evals[k]->isEnabled())
                    evals[k]->click();
                break;
            }
            if (!saves[k]->isEnabled())
                break;
            script.acceptProposedFile();
            saves[k]->click();
        }
        ASSERT_TRUE(m->ButtonSimulation->isEnabled());
        m->ButtonSimulationClick();
    }
};

} // namespace

TEST_F(DeskTest, EveryChartOfEveryPageHasALegendEntryPerVisibleSeries)
{
    TFormMain* m = create(1);
    m->show();
    fullRun(m, copy("sic4h_n_two_donors.nT"));
    const QByteArray shots = qgetenv("VORN_SCREENSHOT_DIR");
    for (int page = 0; page < m->PageControl1->count(); ++page) {
        m->PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        // Screenshots for looking at the pages (set the variable and run
        // under a virtual X server at the screen size wanted).
        if (!shots.isEmpty())
            m->grab().save(QString("%1/page%2.png").arg(QString::fromLocal8Bit(shots)).arg(page + 1));
    }
    for (const char* figure : {"H1.png", "H1.svg", "H1.pdf"}) {
        const QString path = (shots.isEmpty() ? dir.path() : QString::fromLocal8Bit(shots)) + "/" + figure;
        QString error;
        EXPECT_TRUE(m->ChartH1->saveFigure(path, FigureSize::defaultCentimetres(), error)) << error.toStdString();
    }
    int charted = 0;
    for (ChartPlot* c : m->findChildren<ChartPlot*>()) {
        QStringList expected;
        for (int s = 0; s < c->seriesCount(); ++s)
            if (c->drawnCount(s) > 0) {
                EXPECT_FALSE(c->seriesName(s).isEmpty()) << c->objectName().toStdString() << " " << s;
                expected << c->seriesName(s);
            }
        charted += !expected.isEmpty();
        EXPECT_EQ(c->legendNames(), expected) << c->objectName().toStdString();
    }
    // Two donors: every chart but that of the third stage has data.
    EXPECT_EQ(charted, 7);
    EXPECT_EQ(m->ChartH1->seriesName(0), "H1 from the spline");
    EXPECT_EQ(m->ChartSimulationT->seriesName(1), "Simulation");
}

TEST_F(DeskTest, EveryWindowFitsA1280x800ScreenWithATaskbar)
{
    TFormMain* m = create(1);
    const QRect screen(0, 0, 1280, 800 - 48);
    std::vector<QWidget*> all{m};
    for (int i = 0; i < static_cast<int>(WindowId::Count); ++i)
        if (ManagedWindow* w = windows().find(static_cast<WindowId>(i)))
            all.push_back(w->widget());
    for (QWidget* w : all) {
        w->move(300, 200);
        fitWithin(w, screen);
        const QRect frame(w->pos(), w->size() + QSize(16, 40));
        EXPECT_TRUE(screen.contains(frame)) << w->objectName().toStdString() << " " << w->width() << "x"
                                            << w->height() << " at " << w->x() << "," << w->y();
        EXPECT_LE(w->minimumSizeHint().height(), 752 - 40) << w->objectName().toStdString();
        EXPECT_LE(w->minimumSizeHint().width(), 1264) << w->objectName().toStdString();
    }
    // A larger screen keeps the designed size.
    m->resize(1440, 900);
    fitWithin(m, QRect(0, 0, 1600, 1000));
    EXPECT_EQ(m->size(), QSize(1440, 900));
}

TEST_F(DeskTest, ClosingTheMainWindowClosesEveryWindowAndEndsTheProgram)
{
    TFormMain* m = create(1);
    m->show();
    windows().prepareAndShow(WindowId::SampleCondition);
    windows().prepareAndShow(WindowId::Information);
    QWidget* sample = windows().find(WindowId::SampleCondition)->widget();
    QWidget* information = windows().find(WindowId::Information)->widget();
    ASSERT_TRUE(sample->isVisible() && information->isVisible());
    bool timedOut = false;
    QTimer::singleShot(0, m, [m] { m->MenuExit->trigger(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    guard.start(5000);
    QCoreApplication::exec();
    EXPECT_FALSE(timedOut) << "the event loop went on after the main window closed";
    EXPECT_FALSE(m->isVisible());
    EXPECT_FALSE(sample->isVisible());
    EXPECT_FALSE(information->isVisible());
}

TEST_F(DeskTest, EveryEnabledMenuItemShowsAnEffectOrAMessage)
{
    TFormMain* m = create(0); // Advanced mode: every menu
    m->show();
    const QString data = copy("si_p_single.nT");
    std::vector<QAction*> items;
    for (QAction* menu : {m->MenuFile, m->MenuData, m->MenuOption, m->MenuDistributionFunction,
                          m->MenuOtherAnalyses, m->MenuHelp, m->MenuInformation})
        for (QAction* a : menu->menu()->actions())
            if (!a->isSeparator())
                items.push_back(a);
    // Exit last: it closes the window.
    std::stable_partition(items.begin(), items.end(), [m](QAction* a) { return a != m->MenuExit; });
    int tried = 0;
    for (QAction* a : items) {
        load(m, data);
        // As the user sees the item: its menu open.
        const QAction* menus[] = {m->MenuFile, m->MenuData, m->MenuOption, m->MenuDistributionFunction,
                                  m->MenuOtherAnalyses, m->MenuHelp, m->MenuInformation};
        for (const QAction* menu : menus)
            emit menu->menu()->aboutToShow();
        const bool offered = a->isVisible() && a->isEnabled();
        for (const QAction* menu : menus)
            emit menu->menu()->aboutToHide();
        if (!offered)
            continue;
        ++tried;
        const QWidgetList before = QApplication::topLevelWidgets();
        std::vector<QWidget*> shownBefore;
        for (QWidget* w : before)
            if (w->isVisible())
                shownBefore.push_back(w);
        const QString was = fingerprint(m, &script);
        a->trigger();
        EXPECT_NE(fingerprint(m, &script), was) << "\"" << a->text().toStdString() << "\" did nothing visible";
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != m && w->isVisible() &&
                std::find(shownBefore.begin(), shownBefore.end(), w) == shownBefore.end())
                w->hide();
    }
    EXPECT_GE(tried, 14);
}

TEST_F(DeskTest, MenuItemsAndButtonsOfAMissingWindowCannotBeClicked)
{
    TFormMain* m = create(0);
    QMenu* menu = m->MenuFile->menu();
    struct Case {
        QObject* control; // a menu item (disabled while its menu is open) or a button (hidden)
        WindowId id;
    };
    const Case cases[] = {
        {m->MenuSampleCondition, WindowId::SampleCondition},
        {m->MenuObtainedResults, WindowId::ObtainedResults},
        {m->MenuTypeOfFunction, WindowId::FunctionType},
        {m->MenuVersion, WindowId::AboutBox},
        {m->MenuHelpViewer, WindowId::HTML},
        {m->MenuInformationSemiconductor, WindowId::Information},
        {m->ButtonSeeInformation, WindowId::Information},
        {m->ButtonSeeResults, WindowId::Remarks},
    };
    auto clickable = [m, menu](QObject* o) {
        if (auto* a = qobject_cast<QAction*>(o)) {
            emit menu->aboutToShow();
            const bool enabled = a->isEnabled();
            emit menu->aboutToHide();
            return enabled;
        }
        m->updateAvailability();
        return !static_cast<QWidget*>(o)->isHidden();
    };
    for (const Case& c : cases) {
        ManagedWindow* w = windows().find(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(clickable(c.control)) << c.control->objectName().toStdString();
        windows().remove(c.id);
        EXPECT_FALSE(clickable(c.control)) << static_cast<int>(c.id);
        windows().add(c.id, w);
        EXPECT_TRUE(clickable(c.control)) << static_cast<int>(c.id);
    }
    // The workflow's own state stays as it was once the menu closes.
    m->MenuCurveFitting->setEnabled(true);
    EXPECT_EQ(clickable(m->MenuCurveFitting), windows().has(WindowId::CurveFitting));
    EXPECT_TRUE(m->MenuCurveFitting->isEnabled());
    m->MenuDXCenter->setEnabled(true);
    EXPECT_FALSE(clickable(m->MenuDXCenter)) << "there is no DX-center analysis";
    EXPECT_TRUE(m->MenuDXCenter->isEnabled());
    for (auto [control, id] : {std::pair<QObject*, WindowId>{m->ButtonInputData, WindowId::HowToInput},
                               {m->ButtonChangeData, WindowId::DataSheet},
                               {m->ButtonFineAdjustment, WindowId::CurveFitting}})
        EXPECT_EQ(clickable(control), windows().has(id)) << control->objectName().toStdString();
}

TEST_F(DeskTest, EveryButtonAndEditSaysWhatItDoes)
{
    TFormMain* m = create(0);
    std::vector<QWidget*> all{m};
    for (WindowId id : {WindowId::AboutBox, WindowId::Information, WindowId::SampleCondition, WindowId::Remarks,
                        WindowId::ObtainedResults, WindowId::AutomaticEvaluationType, WindowId::FunctionType,
                        WindowId::DeepLevel})
        all.push_back(windows().find(id)->widget());
    for (QWidget* w : all) {
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            // The toolkit's own buttons (tab scrolling, a table's corner) aside.
            if (qobject_cast<QTabBar*>(b->parent()) || qobject_cast<QAbstractItemView*>(b->parent()) ||
                b->objectName().startsWith("qt_"))
                continue;
            EXPECT_FALSE(b->toolTip().isEmpty()) << w->objectName().toStdString() << " "
                                                 << b->objectName().toStdString() << " \""
                                                 << b->text().toStdString() << "\"";
        }
        for (QLineEdit* e : w->findChildren<QLineEdit*>()) {
            if (e->isReadOnly() || qobject_cast<QComboBox*>(e->parent()))
                continue;
            EXPECT_FALSE(e->toolTip().isEmpty()) << w->objectName().toStdString() << " "
                                                 << e->objectName().toStdString();
        }
    }
    // Mnemonics and shortcuts.
    EXPECT_EQ(m->MenuFile->text(), "&File");
    const std::pair<QAction*, const char*> keys[] = {{m->MenuLoadExperimental, "Ctrl+O"},
                                                     {m->ActionSaveCurrentPage, "Ctrl+S"},
                                                     {m->MenuPrint, "Ctrl+P"},
                                                     {m->MenuHelpViewer, "F1"},
                                                     {m->MenuExit, "Ctrl+Q"}};
    for (const auto& [action, key] : keys)
        EXPECT_EQ(action->shortcut(), QKeySequence(key)) << key;
}

TEST_F(DeskTest, StatusBarNamesTheNextStepAndCtrlSSavesTheCurrentPage)
{
    TFormMain* m = create(1);
    const QString data = copy("si_p_single.nT");
    auto status = [m] { return m->statusBar()->currentMessage(); };
    EXPECT_TRUE(status().startsWith("Load the experimental data")) << status().toStdString();

    // Ctrl+S with nothing to save says so.
    m->ActionSaveCurrentPage->trigger();
    EXPECT_TRUE(status().startsWith("Nothing to save on this page yet")) << status().toStdString();
    EXPECT_TRUE(script.fileDialogs.empty());

    struct Step {
        std::function<void()> act;
        const char* next;
    };
    const Step steps[] = {
        {[&] { script.answerFile(data); m->ButtonLoadExperimental->click(); },
         "Data loaded: choose the smoothness and press Calculation"},
        {[&] { m->ButtonCalcSpline->click(); }, "Spline calculated: check its deviation"},
        {[&] {
             script.acceptProposedFile();
             m->PageControl1->setCurrentWidget(m->TabSheet1);
             m->ActionSaveCurrentPage->trigger();
         },
         "Spline saved: go to the Fermi Level page and press Calculation"},
        {[&] { m->ButtonCalcFermiLevel->click(); }, "Fermi level calculated: save it"},
        {[&] {
             script.acceptProposedFile();
             m->PageControl1->setCurrentWidget(m->TabSheet2);
             m->ActionSaveCurrentPage->trigger();
         },
         "Go to the H1(T,E_ref) page and press Calculation"},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_TRUE(status().startsWith(s.next)) << status().toStdString();
    }
    EXPECT_TRUE(script.fileDialogs.back().proposedName.endsWith(".fl"));
    EXPECT_TRUE(QFile::exists(script.fileDialogs.back().proposedName));
}

TEST_F(DeskTest, ADroppedFileLoadsAsLoadDataDoes)
{
    TFormMain* m = create(1);
    const QString good = copy("gaas_n_shallow.nT");
    const QString bad = copy("gaas_n_shallow.truth.json");
    for (const auto& [file, loads] : {std::pair{good, true}, std::pair{bad, false}}) {
        // By "Load Data" first, then dropped on a window that had other data.
        // (A file that fails leaves the sample in use, here si_p_single.)
        load(m, copy("si_p_single.nT"));
        script.messages.clear();
        script.answerFile(file);
        m->ButtonLoadExperimentalClick();
        const QString loaded = fingerprint(m, nullptr);
        const QStringList loadMessages = script.texts(ScriptedModal::Message::Error);

        load(m, copy("si_p_single.nT"));
        script.messages.clear();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m, &drop);
        EXPECT_EQ(fingerprint(m, nullptr), loaded) << file.toStdString();
        EXPECT_EQ(script.texts(ScriptedModal::Message::Error), loadMessages);
        EXPECT_EQ(loadMessages.isEmpty(), loads) << file.toStdString();
        // A file that fails to load leaves the sample in use.
        EXPECT_EQ(C.experimentalDataFileName == file.toStdString(), loads) << file.toStdString();
        EXPECT_GT(C.dataCount, 0) << file.toStdString();
    }

    // Two files, or a folder, are not taken.
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(good), QUrl::fromLocalFile(bad)});
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(dir.path())});
    for (QMimeData* mime : {&two, &folder}) {
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m, &enter);
        EXPECT_FALSE(enter.isAccepted());
    }
}

TEST_F(DeskTest, SplineDeviationIsShownAndHighlightedAboveFivePercent)
{
    TFormMain* m = create(1);
    load(m, copy("sic4h_n_two_donors.nT"));
    const QRegularExpression text("^max\\. deviation [0-9.]+ % at [0-9.]+ K$");
    struct Case {
        const char* smoothness;
        bool notable;
    };
    for (const Case& c : {Case{"5000", true}, Case{"1", false}}) {
        m->EditSmoothness->setText(c.smoothness);
        m->ButtonCalcSplineClick();
        const QString shown = m->LabelSplineDeviation->text();
        EXPECT_TRUE(text.match(shown).hasMatch()) << shown.toStdString();
        const double percent = shown.section(' ', 2, 2).toDouble();
        EXPECT_EQ(percent > 5, c.notable) << shown.toStdString();
        EXPECT_EQ(m->LabelSplineDeviation->font().bold(), c.notable);
    }
    m->AllClearMainClick();
    EXPECT_TRUE(m->LabelSplineDeviation->text().isEmpty());
}

TEST_F(DeskTest, FigureDialogOffersTheExportFormatsAtTheChosenSize)
{
    TFormMain* m = create(1);
    const QString data = copy("si_p_single.nT");
    load(m, data);
    script.figureSize = {FigureSize::Pixels, 800, 600, 150};
    for (const char* name : {"fig.png", "fig.svg", "fig.pdf", "fig.bmp"}) {
        m->ButtonSaveFigureCon2->setEnabled(true);
        script.answerFile(dir.filePath(name));
        m->ButtonSaveFigureCon2Click();
        EXPECT_EQ(script.fileDialogs.back().proposedName, dir.filePath("si_p_singleCon2.bmp"));
        EXPECT_EQ(script.fileDialogs.back().filterIndex, SaveFilterIndex::Figure);
        EXPECT_GT(QFileInfo(dir.filePath(name)).size(), 0) << name;
    }
    EXPECT_EQ(QImage(dir.filePath("fig.png")).size(), QSize(800, 600));
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
}
