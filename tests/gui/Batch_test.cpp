// The batch program: its options, and that it writes byte for byte what a
// user writes by clicking through the windows with the default answers.
#include "HallTestSupport.h"
#include "NumberFormat.h"
#include "app/Batch.h"
#include "spectroscopy/Obtainedresults.h"

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
        fs::copy_file(fs::path(VORN_SHARED_EXAMPLES_DIR) / name, dir / name);
        return dir / name;
    }

    // What a user does in Normal mode: every button of the pipeline in turn,
    // each save dialog confirmed with the proposed name, "No" to the
    // recalculation question, "Continue" on the remarks window.
    void clickThrough(TFormMain* m, const fs::path& data)
    {
        load(m, QString::fromStdString(data.string()));
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
                (m->*s.calcClick)();
                if (s.calc->isEnabled() && s.calc->text() == "Calculation again")
                    continue;
                if (!s.eval->isEnabled())
                    break;
                (m->*s.evalClick)();
                if (s.save->isEnabled()) {
                    script.acceptProposedFile();
                    (m->*s.saveClick)();
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

    void expectBatchEqualsClicks(const char* example)
    {
        const fs::path data = copyExample(example);
        TFormMain* m = create(1);
        clickThrough(m, data);
        const auto byClicks = resultFiles(dir, example);
        ASSERT_GE(byClicks.size(), 5u) << "the scripted run should save spline, Fermi, H1, simulation, summary";

        clearResults(dir, example);
        std::ostringstream err;
        BatchResult r = runBatchFile(data.string(), BatchOptions{}, err);
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

TEST_F(BatchTest, WritesTheSameBytesAsTheClickedPipeline)
{
    expectBatchEqualsClicks("si_p_single.nT");
}

TEST_F(BatchTest, WritesTheSameBytesAsTheClickedPipelineForPType)
{
    expectBatchEqualsClicks("sic4h_p_al.pT");
}

TEST_F(BatchTest, MessagesGoToStandardErrorWithTheirTexts)
{
    const fs::path data = copyExample("si_p_single.nT");
    create(1);
    std::ostringstream err;
    BatchResult r = runBatchFile(data.string(), BatchOptions{}, err);
    ASSERT_EQ(r.status, 0) << r.failure;
    bool completed = false;
    for (const BatchMessage& msg : r.messages)
        completed = completed || (msg.kind == "confirmation" && msg.text == "Evaluation has been completed!");
    EXPECT_TRUE(completed);
    EXPECT_NE(err.str().find("confirmation: Evaluation has been completed!"), std::string::npos);
    ASSERT_FALSE(r.stages.empty());
    EXPECT_EQ(r.stages[0].name, "H1");
    EXPECT_TRUE(r.stages[0].evaluated);
    // The table shows what the windows show, in their patterns.
    const std::string table = formatBatchTable(r);
    EXPECT_NE(table.find(numfmt::pattern(r.stages[0].density, "0.00E+00")), std::string::npos);
    EXPECT_NE(table.find(numfmt::pattern(r.stages[0].energyLevel, "0.####")), std::string::npos);
}

TEST_F(BatchTest, ABadFileDoesNotStopTheOthersAndSetsTheExitStatus)
{
    const fs::path good = copyExample("sic4h_p_al.pT");
    const fs::path bad = dir / "broken.nT";
    {
        std::ofstream out(bad, std::ios::binary);
        out << "% Data of Hall-Effect Measurement\r\n% truncated\r\n";
    }
    create(1);
    BatchOptions o;
    o.json = true;
    o.outputDir = (dir / "out").string();
    std::ostringstream out, err;
    const int rc = runBatch({bad.string(), (dir / "missing.nT").string(), good.string()}, o, out, err);
    EXPECT_EQ(rc, 2);
    const std::string json = out.str();
    EXPECT_NE(json.find("\"status\": 2"), std::string::npos);
    EXPECT_NE(json.find("\"status\": 0"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "out" / "sic4h_p_al.simH"));
    EXPECT_TRUE(fs::exists(dir / "out" / "sic4h_p_al.datH"));
    EXPECT_FALSE(fs::exists(dir / "sic4h_p_al.spl")) << "--output-dir must redirect every file";
    EXPECT_NE(err.str().find("broken.nT: error:"), std::string::npos);
    // The summary is one JSON array whose brackets balance.
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            --depth;
            EXPECT_GE(depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(json.front(), '[');
}

TEST_F(BatchTest, FunctionTypeEvaluationTypeAndDegeneracyOptionsReachTheFiles)
{
    const fs::path data = copyExample("sic4h_p_al.pT");
    create(1);
    BatchOptions o;
    o.functionType = 1;
    o.evaluationType = "Type-C";
    o.degeneracy = {3, 2, 2};
    std::ostringstream err;
    BatchResult r = runBatchFile(data.string(), o, err);
    ASSERT_EQ(r.status, 0) << r.failure << err.str();
    ASSERT_TRUE(fs::exists(dir / "sic4h_p_al.S1"));
    EXPECT_TRUE(fs::exists(dir / "sic4h_p_al.simS"));
    EXPECT_TRUE(fs::exists(dir / "sic4h_p_al.datS"));
    const std::string s1 = readFile(dir / "sic4h_p_al.S1");
    EXPECT_EQ(s1.rfind("% First Analysis (Automatic Evaluation Version Type-C )\r\n", 0), 0u);
    EXPECT_NE(s1.find("% Function Type: S(T,Eref)=n(T)*exp(Eref/kT)/kT\r\n"), std::string::npos);
    EXPECT_NE(s1.find("% Degeneracy factor for H1: 3\r\n"), std::string::npos);
    EXPECT_EQ(r.stages.at(0).name, "S1");
}

TEST(BatchArguments, OptionsAndUsageErrors)
{
    BatchOptions o;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    EXPECT_EQ(parseBatchArguments({"--smoothness", "2e4", "--function=S", "--evaluation-type", "D",
                                   "--degeneracy", "2,4,1.5", "--answer-yes", "--output-dir", "out",
                                   "--json", "--quiet", "a.nT", "b.pT"},
                                  o, files, stop, error),
              0)
        << error;
    EXPECT_FALSE(stop);
    EXPECT_DOUBLE_EQ(o.smoothness, 20000);
    EXPECT_EQ(o.functionType, 1);
    EXPECT_EQ(o.evaluationType, "Type-D");
    EXPECT_EQ(o.degeneracy, (std::vector<double>{2, 4, 1.5}));
    EXPECT_TRUE(o.answerYes && o.json && o.quiet);
    EXPECT_EQ(o.outputDir, "out");
    EXPECT_EQ(files, (std::vector<std::string>{"a.nT", "b.pT"}));

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--smoothness", "abc", "a.nT"}, {"--smoothness", "-1", "a.nT"},
          {"--function", "X", "a.nT"}, {"--evaluation-type", "Type-E", "a.nT"},
          {"--degeneracy", "2,2", "a.nT"}, {"--degeneracy", "2,0,1", "a.nT"}, {"--bogus", "a.nT"},
          {"a.nT", "--output-dir"}}) {
        BatchOptions b;
        std::vector<std::string> f;
        error.clear();
        EXPECT_EQ(parseBatchArguments(bad, b, f, stop, error), 2);
        EXPECT_FALSE(error.empty());
    }
    files.clear();
    EXPECT_EQ(parseBatchArguments({"--help"}, o, files, stop, error), 0);
    EXPECT_TRUE(stop);
    EXPECT_NE(batchUsage().find("--evaluation-type"), std::string::npos);
}
