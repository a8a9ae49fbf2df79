// The batch program writes byte for byte what a user writes by clicking
// through the windows with the default answers.
#include "HallTestSupport.h"
#include "batch/Batch.h"
#include "analysis/base/NumberFormat.h"
#include "TestFiles.h"
#include "input/Formatconvert.h"
#include "input/Howtoinputdata.h"
#include "spectroscopy/Automaticevaluationtype.h"
#include "spectroscopy/Functiontype.h"
#include "spectroscopy/Obtainedresults.h"

#include <QComboBox>

#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> resultFiles(const fs::path& dir, const std::string& input)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != input)
            files[e.path().filename().string()] = readFile(e.path());
    return files;
}

void clearResults(const fs::path& dir, const std::string& input)
{
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != input)
            fs::remove(e.path());
}

class BatchTest : public MainWindowTest {
protected:
    fs::path dir;
    void SetUp() override
    {
        MainWindowTest::SetUp();
        dir = fs::temp_directory_path() /
              ("vorn_batch_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        fs::remove_all(dir);
        MainWindowTest::TearDown();
    }
    fs::path copyExample(const char* name)
    {
        const fs::path from = testfiles::examplePath(name);
        std::error_code ec;
        fs::copy_file(from, dir / name, ec);
        if (ec)
            ADD_FAILURE() << "cannot copy the example file " << from << ": " << ec.message();
        return dir / name;
    }

    // What a user does in Normal mode: every button of the pipeline in turn,
    // each save dialog confirmed with the proposed name, "No" to the
    // recalculation question, "Continue" on the remarks window.
    // An empty `data`: the data are in already (typed in or converted).
    void clickThrough(TFormMain* m, const fs::path& data, int functionType, const char* evaluationType)
    {
        if (!data.empty())
            load(m, QString::fromStdString(data.string()));
        if (functionType == 1)
            FormFunctionType->RadioButtonFunction1Click();
        // Typed into the evaluation-type window before each evaluation, since
        // every results save sets it back to "Type-B".
        auto chooseEvaluationType = [&] {
            FormAutomaticEvaluationType->prepare();
            FormAutomaticEvaluationType->ComboBoxAutomaticEvaluationType->setCurrentText(evaluationType);
        };
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        struct Stage {
            QPushButton *calc, *eval, *save;
            void (TFormMain::*calcClick)();
            void (TFormMain::*evalClick)();
            void (TFormMain::*saveClick)();
        } stages[3] = {
            {m->ButtonCalcH1, m->ButtonEvaluation1, m->ButtonSaveH1, &TFormMain::ButtonCalcH1Click,
             &TFormMain::ButtonEvaluation1Click, &TFormMain::ButtonSaveH1Click},
            {m->ButtonCalcH2, m->ButtonEvaluation2, m->ButtonSaveH2, &TFormMain::ButtonCalcH2Click,
             &TFormMain::ButtonEvaluation2Click, &TFormMain::ButtonSaveH2Click},
            {m->ButtonCalcH3, m->ButtonEvaluation3, m->ButtonSaveH3, &TFormMain::ButtonCalcH3Click,
             &TFormMain::ButtonEvaluation3Click, &TFormMain::ButtonSaveH3Click},
        };
        for (const Stage& s : stages) {
            bool saved = false;
            for (int round = 0; round < 12 && s.calc->isEnabled(); ++round) {
                std::invoke(s.calcClick, m);
                if (s.calc->isEnabled() && s.calc->text() == "Calculation again")
                    continue;
                if (!s.eval->isEnabled())
                    break;
                chooseEvaluationType();
                std::invoke(s.evalClick, m);
                if (s.save->isEnabled()) {
                    chooseEvaluationType();
                    script.acceptProposedFile();
                    std::invoke(s.saveClick, m);
                    saved = true;
                    break;
                }
                if (!(s.calc->isEnabled() && s.calc->text() == "Calculation again"))
                    break;
            }
            if (!saved)
                break;
        }
        ASSERT_TRUE(m->ButtonSimulation->isEnabled());
        m->ButtonSimulationClick();
        script.acceptProposedFile();
        m->ButtonSaveSimulationClick();
        m->ButtonSaveResultsClick();
        script.acceptProposedFile();
        FormObtainedResults->ToolButtonSaveClick();
    }

    void expectBatchEqualsClicks(const char* example, int functionType, const char* evaluationType)
    {
        const fs::path data = copyExample(example);
        TFormMain* m = create(1);
        clickThrough(m, data, functionType, evaluationType);
        // "File" > "Export Report" and --report write the same page.
        script.acceptProposedFile();
        m->ExportReportClick();
        const auto byClicks = resultFiles(dir, example);
        ASSERT_GE(byClicks.size(), 5u) << "the scripted run should save spline, Fermi, H1, simulation, summary";

        clearResults(dir, example);
        std::ostringstream err;
        BatchOptions o;
        o.functionType = functionType;
        o.evaluationType = evaluationType;
        o.report = true;
        BatchResult r = runBatchFile(data.string(), o, err);
        EXPECT_EQ(r.status, 0) << r.failure << "\n" << err.str();
        const auto byBatch = resultFiles(dir, example);

        ASSERT_EQ(byBatch.size(), byClicks.size());
        for (const auto& [name, content] : byClicks) {
            ASSERT_TRUE(byBatch.count(name)) << name;
            EXPECT_TRUE(byBatch.at(name) == content) << name << " differs";
        }
    }
};

} // namespace

// Two examples, both function types, a non-default evaluation type.
TEST_F(BatchTest, WritesTheSameBytesAsTheClickedPipeline)
{
    struct Case {
        const char* example;
        int functionType;
        const char* evaluationType;
    } cases[] = {
        {"si_p_single.nT", 2, "Type-B"},
        {"sic4h_p_al.pT", 2, "Type-B"},
        {"sic4h_n_two_donors.nT", 1, "Type-C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.example);
        expectBatchEqualsClicks(c.example, c.functionType, c.evaluationType);
        destroyForms();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
}

// An instrument's text converted in the converter window and clicked
// through, against vorn-batch --columns on the same text.
TEST_F(BatchTest, ConvertedTextWritesTheSameBytesAsTheConverterAndTheClicks)
{
    Analysis example;
    ASSERT_TRUE(example.loadExperimentalData(testfiles::example("si_p_single.nT")).ok);
    std::string text = "Run 17; T(K), V_H(mV), n(cm-3)\r\n\r\n";
    for (int i = example.dataCount - 1; i >= 0; --i)
        text += numfmt::g(example.temperature[i]) + "\t" + numfmt::g(1e17 / example.concentration[i]) +
                ", " + numfmt::g(example.concentration[i]) + "\r\n";
    const fs::path source = dir / "run17.txt";
    std::ofstream(source, std::ios::binary) << text;

    TFormMain* m = create(1);
    script.windowHandler = [&](QDialog* w) {
        if (w == FormHowToInput) {
            FormHowToInput->Button2Click();
        } else if (w == FormConvert) {
            script.answerFile(QString::fromStdString(source.string()));
            FormConvert->ButtonLoadAnotherDataClick();
            FormConvert->ComboBoxColumnT->setCurrentIndex(0);
            FormConvert->ComboBoxColumnC->setCurrentIndex(2);
            FormConvert->ComboBoxSemiconductor->setEditText("Si");
            FormConvert->ComboBoxConductionType->setEditText("n-type");
            FormConvert->EditSampleNumber->setText("S-17");
            FormConvert->EditThickness->setText("500");
            FormConvert->EditMagneticField->setText("0.5");
            FormConvert->EditCurrent->setText("1E-4");
            script.acceptProposedFile();
            FormConvert->ButtonSaveDataClick();
        }
        return 0;
    };
    m->ButtonInputDataClick();
    ASSERT_EQ(C.dataCount, example.dataCount);
    clickThrough(m, fs::path(), 2, "Type-B");
    const auto byClicks = resultFiles(dir, "run17.txt");
    ASSERT_GE(byClicks.size(), 6u);
    ASSERT_TRUE(byClicks.count("run17.nT"));

    clearResults(dir, "run17.txt");
    BatchOptions o;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    ASSERT_EQ(parseBatchArguments({"--columns", "1,3", "--type", "n", "--material", "Si", "--sample", "S-17",
                                   "--thickness", "500", "--field", "0.5", "--current", "1E-4",
                                   source.string()},
                                  o, files, stop, error),
              0)
        << error;
    std::ostringstream err;
    const BatchResult r = runBatchFile(source.string(), o, err);
    EXPECT_EQ(r.status, 0) << r.failure << "\n" << err.str();
    const auto byBatch = resultFiles(dir, "run17.txt");
    ASSERT_EQ(byBatch.size(), byClicks.size());
    for (const auto& [name, content] : byClicks) {
        ASSERT_TRUE(byBatch.count(name)) << name;
        EXPECT_TRUE(byBatch.at(name) == content) << name << " differs";
    }
}
