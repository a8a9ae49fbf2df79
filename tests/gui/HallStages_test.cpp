// Main window: the stage pages (display, automatic and manual calculation,
// E_ref and peak steps, the recalculation questions).
#include "HallTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class StagePageTest : public MainWindowTest {
protected:
    QTemporaryDir dir;

    QString copyExample(const char* name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(example(name), to)) << name;
        return to;
    }
    // Data loaded, spline and Fermi level calculated and saved: stage 1 may start.
    void openStage1(TFormMain* m, const QString& data)
    {
        load(m, data);
        m->EditSmoothness->setText("5000");
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        ASSERT_TRUE(m->ButtonCalcH1->isEnabled());
    }
};

void dump(const char* what)
{
    std::printf("%s: N=%d eref=%g %g %g P=%d %d %d A0=%d fixed=%d cs=%d ncom=%g sc=%g %g %g "
                "dens=%g %g %g lev=%g %g %g rr=%d rf=%d halved=%d kTmin=%g\n",
                what, int(C.splineTemperature.size()), C.referenceEnergy[0], C.referenceEnergy[1],
                C.referenceEnergy[2], C.peakIndex[0], C.peakIndex[1], C.peakIndex[2],
                C.fitStartIndex[0], C.compensationFixed, C.compensationStage,
                C.compensatingDensity, C.stageCompensatingDensity[0], C.stageCompensatingDensity[1],
                C.stageCompensatingDensity[2], C.density[0], C.density[1], C.density[2],
                C.energyLevel[0], C.energyLevel[1], C.energyLevel[2], C.recalculationRequested,
                C.recalculationFailed, C.h2WindowHalved, C.lowestThermalEnergy);
}

TEST_F(StagePageTest, Explore)
{
    const char* name = std::getenv("EXPLORE");
    if (!name)
        GTEST_SKIP();
    TFormMain* m = create(1);
    openStage1(m, copyExample(name));
    script.defaultYes = false;
    m->ButtonCalcH1Click();
    dump("H1 calc");
    m->ButtonEvaluation1Click();
    dump("H1 eval");
    script.acceptProposedFile();
    m->ButtonSaveH1Click();
    for (int i = 0; i < 4; ++i) {
        m->ButtonCalcH2Click();
        dump("H2 calc");
        if (m->ButtonEvaluation2->isEnabled()) {
            m->ButtonEvaluation2Click();
            dump("H2 eval");
            break;
        }
    }
    m->ButtonCalcH3Click();
    dump("H3 calc");
    if (m->ButtonEvaluation3->isEnabled()) {
        m->ButtonEvaluation3Click();
        dump("H3 eval");
    }
    for (const auto& msg : script.messages)
        std::printf("msg %d: %s\n", int(msg.kind), msg.text.toStdString().c_str());
}

} // namespace
