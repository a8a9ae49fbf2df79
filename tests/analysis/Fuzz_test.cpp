// Mutated example files through the reader and then the whole core pipeline
// in the order vorn-batch runs it. Whatever the file holds, every step ends
// in bounded time, refuses with a message or produces finite values. The
// generator has a fixed seed, so a failure names an input that comes back
// on every run.
#include "analysis/data/Analysis.h"
#include "analysis/base/PhysicalResult.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The data files of a folder, in a fixed order.
std::vector<std::string> dataFiles(const std::string& folder)
{
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string ext = e.path().extension().string();
        if (ext == ".nT" || ext == ".pT")
            paths.push_back(e.path().string());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> texts;
    for (const std::string& p : paths)
        texts.push_back(testfiles::readAll(p));
    return texts;
}

// A data file as header lines and data rows, so that mutations can keep the
// file readable and push the values deep into the pipeline.
struct DataFile {
    std::vector<std::string> header;
    std::vector<std::string> rows;

    explicit DataFile(const std::string& text)
    {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (header.size() < 17)
                header.push_back(line);
            else if (!line.empty())
                rows.push_back(line);
            start = end + 1;
        }
    }

    std::string text(bool fixCount) const
    {
        std::vector<std::string> lines = header;
        if (fixCount && lines.size() > 14)
            lines[14] = "% Number of data: " + std::to_string(rows.size());
        lines.insert(lines.end(), rows.begin(), rows.end());
        std::string out;
        for (const std::string& line : lines)
            out += line + "\r\n";
        return out;
    }
};

// Numbers at the ends of the double range, and texts that only look like numbers.
const char* const extremes[] = {
    "1e308", "1.7976931348623157e308", "-0", "1e-320", "4.9e-324", "0", "-1", "-1e308",
    "2.2250738585072014e-308", "1e-300", "1e300", "5e-324",
};
const char* const malformed[] = {"nan", "inf", "-inf", "1e309", "1.7976931348623159e308", "1e-400",
                                 "0x1p4", "1e", ".", "+-1", "1.5.5", "1,5"};
const char* const counts[] = {"2147483647", "2147483648", "-1", "0", "1", "99999999999", "3", "1e3"};
const char* const conductionTypes[] = {"N-type", "n", "n-type  ", "n-type\r", "n\xE2\x80\x93type", "",
                                       "x-type", "np-type", "P-TYPE", "\tp-type", "p\x96type", "n-type\r\r"};
const char* const outlierTemperatures[] = {"199999", "1e5", "3000.0001", "3000", "0.05", "1e-5", "4.9e-324"};

class Mutator {
public:
    explicit Mutator(unsigned seed) : rng_(seed) {}

    // One input from `seed`: one or two changes of the rows, and in one
    // case of five a byte-level damage on top. `what` describes them.
    std::string operator()(const std::string& seed, std::string& what)
    {
        DataFile f(seed);
        bool fixCount = true;
        const int changes = 1 + pick(1);
        for (int c = 0; c < changes; ++c)
            fixCount = change(f, what) && fixCount;
        std::string text = f.text(fixCount);
        if (pick(4) == 0)
            damage(text, what);
        return text;
    }

private:
    std::mt19937 rng_;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n)(rng_); }

    static std::vector<std::string> fields(const std::string& row)
    {
        std::vector<std::string> out;
        std::size_t i = 0;
        while (i < row.size()) {
            const std::size_t b = row.find_first_not_of(" \t", i);
            if (b == std::string::npos)
                break;
            const std::size_t e = std::min(row.find_first_of(" \t", b), row.size());
            out.push_back(row.substr(b, e - b));
            i = e;
        }
        return out;
    }
    static std::string row(const std::vector<std::string>& f)
    {
        std::string out;
        for (const std::string& s : f)
            out += (out.empty() ? "" : "     ") + s;
        return out;
    }
    void setField(std::string& r, int column, const std::string& value)
    {
        std::vector<std::string> f = fields(r);
        if (column < static_cast<int>(f.size()))
            f[column] = value;
        r = row(f);
    }

    // Returns false when the count line must keep its (now wrong) value.
    bool change(DataFile& f, std::string& what)
    {
        const int n = static_cast<int>(f.rows.size());
        const int column = pick(2);
        const char* extreme = extremes[pick(static_cast<int>(std::size(extremes)) - 1)];
        // Mostly changes that keep the file readable, so that the values
        // reach the later stages.
        std::discrete_distribution<int> kind({3, 1, 3, 1, 1, 1, 2, 1, 1, 1, 2, 2, 2});
        switch (n == 0 ? 7 : kind(rng_)) {
        case 0: // one value at the ends of the range
            setField(f.rows[pick(n - 1)], column, extreme);
            what += " value(" + std::to_string(column) + ")=" + extreme;
            return true;
        case 1: { // one value that is no number
            const char* text = malformed[pick(static_cast<int>(std::size(malformed)) - 1)];
            setField(f.rows[pick(n - 1)], column, text);
            what += " value(" + std::to_string(column) + ")=" + text;
            return true;
        }
        case 10: // a whole column
            for (std::string& r : f.rows)
                setField(r, column, extreme);
            what += " column(" + std::to_string(column) + ")=" + extreme;
            return true;
        case 2: { // a column scaled by 10^k
            const int k = pick(80) - 40;
            for (std::string& r : f.rows) {
                std::vector<std::string> v = fields(r);
                if (column < static_cast<int>(v.size())) {
                    char scaled[32];
                    std::snprintf(scaled, sizeof scaled, "%.17g", std::atof(v[column].c_str()) * std::pow(10.0, k));
                    setField(r, column, scaled);
                }
            }
            what += " column(" + std::to_string(column) + ")*1e" + std::to_string(k);
            return true;
        }
        case 3: { // one row many times in a row
            const int at = pick(n - 1);
            const std::string r = f.rows[at];
            f.rows.insert(f.rows.begin() + at, 1 + pick(200), r);
            what += " duplicated";
            return true;
        }
        case 4:
            std::shuffle(f.rows.begin(), f.rows.end(), rng_);
            what += " shuffled";
            return true;
        case 5:
            std::reverse(f.rows.begin(), f.rows.end());
            what += " reversed";
            return true;
        case 6: { // a slice of the rows
            const int from = pick(n - 1);
            const int to = from + 1 + pick(n - from - 1);
            f.rows = std::vector<std::string>(f.rows.begin() + from, f.rows.begin() + to);
            what += " rows " + std::to_string(from) + ".." + std::to_string(to);
            return true;
        }
        case 7: { // the count line
            const char* c = counts[pick(static_cast<int>(std::size(counts)) - 1)];
            if (f.header.size() > 14)
                f.header[14] = std::string("% Number of data: ") + c;
            what += std::string(" count=") + c;
            return false;
        }
        case 8: { // a very long row
            const std::size_t length = pick(1) ? 600 : 100000;
            f.rows.insert(f.rows.begin() + pick(n), std::string(length, '7'));
            what += " long row " + std::to_string(length);
            return true;
        }
        case 11: { // the conduction type as an editor or a typo leaves it
            const char* type = conductionTypes[pick(static_cast<int>(std::size(conductionTypes)) - 1)];
            if (f.header.size() > 10)
                f.header[10] = std::string("% Conduction type: ") + type;
            what += std::string(" type=") + type;
            return true;
        }
        case 12: { // one temperature mistyped far outside the measured range
            const char* t = outlierTemperatures[pick(static_cast<int>(std::size(outlierTemperatures)) - 1)];
            setField(f.rows[pick(n - 1)], 0, t);
            what += std::string(" T=") + t;
            return true;
        }
        default: // every temperature the same
            for (std::string& r : f.rows)
                setField(r, 0, "100");
            what += " one temperature";
            return true;
        }
    }

    void damage(std::string& text, std::string& what)
    {
        if (text.empty())
            return;
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng_);
        switch (pick(3)) {
        case 0: {
            const int bits = 1 + pick(7);
            for (int b = 0; b < bits; ++b)
                text[std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng_)] ^=
                    static_cast<char>(1 << pick(7));
            what += " bit flips " + std::to_string(bits);
            break;
        }
        case 1:
            text.resize(at);
            what += " cut at " + std::to_string(at);
            break;
        case 2:
            text.insert(at, 1, '\0');
            what += " NUL at " + std::to_string(at);
            break;
        default: {
            std::string cr;
            for (char c : text)
                if (c != '\n')
                    cr += c;
            text = cr;
            what += " CR-only";
            break;
        }
        }
    }
};

// Ends the process with a message when a step runs past its deadline: a
// hang must fail the test run, not stall it.
class Watchdog {
public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void arm(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        armed_ = true;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::string what_;
    std::chrono::steady_clock::time_point deadline_;
    bool armed_ = false, stop_ = false;
    std::thread thread_;

    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (!armed_) {
                cv_.wait(lock);
                continue;
            }
            const auto deadline = deadline_;
            if (cv_.wait_until(lock, deadline) == std::cv_status::timeout && !stop_ &&
                deadline_ == deadline) {
                std::fprintf(stderr, "Fuzz: no end after 60 s: %s\n", what_.c_str());
                std::_Exit(3);
            }
        }
    }
};

bool finite(const DoubleArray& v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// A word "nan" or "inf" (any sign or case) anywhere in a result file.
bool holdsNotANumber(const std::string& text)
{
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!word.empty() && (word[0] == '-' || word[0] == '+'))
            word.erase(0, 1);
        if (word == "nan" || word == "inf" || word == "infinity")
            return true;
    }
    return false;
}

bool messagesSay(const std::vector<OutcomeMessage>& messages)
{
    return !messages.empty() && std::all_of(messages.begin(), messages.end(),
                                            [](const OutcomeMessage& m) { return !m.text.empty(); });
}


struct Statistics {
    int inputs = 0, refusedByReader = 0, spline = 0, fermiLevel = 0, stage1 = 0, evaluated = 0,
        simulated = 0;
    double slowestStep = 0;
    std::string slowestWhat;
};

// Keeps the global analysis object as the test found it.
class Fuzz : public ::testing::Test {
protected:
    Analysis saved = C;
    testfiles::TempDir dir;
    Watchdog watchdog;
    Statistics stats;
    std::string input;
    std::chrono::steady_clock::time_point stepStart;
    std::string stepName;

    void TearDown() override { C = saved; }

    void step(const char* name)
    {
        endStep();
        stepName = name;
        watchdog.arm(input + ": " + name);
        stepStart = std::chrono::steady_clock::now();
    }
    void endStep()
    {
        if (stepName.empty())
            return;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - stepStart).count();
        if (s > stats.slowestStep) {
            stats.slowestStep = s;
            stats.slowestWhat = input + ": " + stepName;
        }
        stepName.clear();
    }

    // The reader alone, on an object of its own: consistent or refused.
    void checkReader(const std::string& path)
    {
        Analysis a;
        a.resetAll();
        a.experimentalDataFileName = path;
        step("reader");
        if (!a.readExperimentalData()) {
            ++stats.refusedByReader;
            EXPECT_FALSE(a.lastError.empty());
            EXPECT_TRUE(a.temperature.empty() && a.concentration.empty() && a.reliability.empty());
            return;
        }
        const std::size_t n = std::size_t(a.dataCount);
        EXPECT_TRUE(a.temperature.size() == n && a.concentration.size() == n && a.reliability.size() == n);
        EXPECT_TRUE(finite(a.temperature) && finite(a.concentration) && finite(a.reliability));
        EXPECT_TRUE(a.conductionType == "n-type" || a.conductionType == "p-type") << a.conductionType;
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(physical::temperatureProblem(a.temperature[i]), "");
            EXPECT_EQ(physical::concentrationProblem(a.concentration[i]), "");
        }
    }

    // As vorn-batch: load, spline, its file, Fermi level, its file, H1,
    // evaluation, its file, simulation.
    void checkPipeline(const std::string& path)
    {
        step("load");
        C.startUp(1);
        const FileOutcome loaded = C.loadExperimentalData(path);
        if (!loaded.ok) {
            EXPECT_FALSE(loaded.error.empty());
            return;
        }
        step("spline");
        const SplineOutcome spline = C.calculateDataForAnalysis(5000);
        if (!spline.computed) {
            EXPECT_FALSE(spline.error.empty());
            return;
        }
        ++stats.spline;
        step("save over the input");
        {
            // The data file named like a result of its own: never replaced.
            const std::string before = testfiles::readAll(path);
            EXPECT_FALSE(C.saveDataForAnalysis(path).ok);
            EXPECT_EQ(testfiles::readAll(path), before);
        }
        EXPECT_GT(C.splineCount, 0);
        EXPECT_EQ(C.splineTemperature.size(), std::size_t(C.splineCount));
        EXPECT_EQ(C.splineConcentration.size(), std::size_t(C.splineCount));
        EXPECT_TRUE(finite(C.splineTemperature) && finite(C.splineConcentration));
        step("save spline");
        const DataForAnalysisOutcome splSaved = C.saveDataForAnalysis(dir.file("out.spl"));
        if (!splSaved.ok) {
            ADD_FAILURE() << "a computed spline could not be saved: " << splSaved.error;
            return;
        }
        step("Fermi level");
        const FermiLevelOutcome fermi = C.calculateFermiLevelStage();
        if (!fermi.computed) {
            EXPECT_FALSE(fermi.error.empty());
            return;
        }
        ++stats.fermiLevel;
        if (!finite(C.fermiLevel))
            ADD_FAILURE() << "the Fermi level is not finite";
        step("save Fermi level");
        const FileOutcome flSaved = C.saveFermiLevel(dir.file("out.fl"));
        if (!flSaved.ok) {
            ADD_FAILURE() << "a computed Fermi level could not be saved: " << flSaved.error;
            return;
        }
        step("H1");
        const StageCalculationOutcome calc = C.calculateStage(0);
        if (calc.kind != StageCalculationOutcome::Kind::Calculated) {
            EXPECT_TRUE(messagesSay(calc.messages));
            return;
        }
        ++stats.stage1;
        if (!finite(C.hCurve[0]))
            ADD_FAILURE() << "H1 is not finite";
        if (!calc.peakInside)
            return;
        step("evaluation");
        const Analysis::EvaluationOutcome ev = C.evaluate(0, 2);
        if (ev.kind != Analysis::EvaluationOutcome::Kind::Evaluated) {
            EXPECT_TRUE(messagesSay(ev.messages));
            return;
        }
        ++stats.evaluated;
        EXPECT_EQ(physical::problem({{C.density[0], C.energyLevel[0]}}, C.stageCompensatingDensity[0]), "");
        step("save H1");
        const StageSaveOutcome out = C.saveStageResults(0, dir.file("out.H1"));
        EXPECT_TRUE(out.ok) << out.error;
        for (const char* file : {"out.spl", "out.fl", "out.H1"})
            EXPECT_FALSE(holdsNotANumber(testfiles::readAll(dir.file(file)))) << file;
        step("simulation");
        const SimulationOutcome sim = C.runSimulation();
        if (!sim.simulated) {
            EXPECT_FALSE(sim.failedText.empty() && sim.failedField < 0);
            return;
        }
        ++stats.simulated;
        EXPECT_TRUE(finite(C.simulatedConcentration) && finite(C.simulatedFermiLevel));
    }
};

constexpr int inputCount = 300;

} // namespace

TEST_F(Fuzz, MutatedDataFilesThroughTheWholePipeline)
{
    const auto start = std::chrono::steady_clock::now();
    // The regression inputs as they are, then mutations of the sound examples.
    const std::vector<std::string> examples = dataFiles(VORN_EXAMPLES_DIR);
    const std::vector<std::string> hostile =
        dataFiles((fs::path(VORN_EXAMPLES_DIR).parent_path() / "tests/data/hostile").string());
    ASSERT_GT(examples.size(), 10u) << "example data files in " << VORN_EXAMPLES_DIR;
    ASSERT_GT(hostile.size(), 4u);
    // Data files named like results too: no save of the pipeline may replace one.
    const char* const extensions[] = {".nT", ".pT", ".spl", ".fl", ".H1", ".simH", ".datH", ".CNO", ".cft", ".exc"};
    Mutator mutate(20251209);
    for (int m = 0; m < inputCount; ++m) {
        const std::string path = dir.file(std::string("input") + extensions[m % std::size(extensions)]);
        const bool asIs = m < static_cast<int>(hostile.size());
        std::string what = asIs ? "regression input " + std::to_string(m)
                                : "example " + std::to_string(m % examples.size());
        const std::string text = asIs ? hostile[m] : mutate(examples[m % examples.size()], what);
        input = "input " + std::to_string(m) + " (" + what + ")";
        SCOPED_TRACE(input);
        testfiles::writeAll(path, text);
        ++stats.inputs;
        checkReader(path);
        checkPipeline(path);
        endStep();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Fuzz: %d inputs, %d refused by the reader, %d splines, %d Fermi levels, %d H1, "
                "%d evaluated, %d simulated; %.1f s, slowest step %.2f s (%s)\n",
                stats.inputs, stats.refusedByReader, stats.spline, stats.fermiLevel, stats.stage1,
                stats.evaluated, stats.simulated, seconds, stats.slowestStep,
                stats.slowestWhat.c_str());
    // The mutations must leave enough inputs readable to reach the later stages.
    EXPECT_GT(stats.refusedByReader, inputCount / 10);
    EXPECT_GT(stats.evaluated, inputCount / 10);
    EXPECT_LT(stats.slowestStep, 10.0) << stats.slowestWhat;
}

// si_p_single.nT with every concentration replaced by `concentration(n)`.
std::string exampleWithConcentrations(const std::function<double(double)>& concentration)
{
    DataFile f(testfiles::readAll(testfiles::example("si_p_single.nT")));
    for (std::string& row : f.rows) {
        std::istringstream in(row);
        double t = 0, n = 0, w = 0;
        in >> t >> n >> w;
        char text[96];
        std::snprintf(text, sizeof text, "%.17g     %.17g     %.17g", t, concentration(n), w);
        row = text;
    }
    return f.text(true);
}

// Every concentration at the reader's lowest, 1e-30 (1e-300 once gave an
// infinite Fermi level and "inf" lines in the *.fl file; the reader now
// refuses it).
TEST_F(Fuzz, FermiLevelOfTinyConcentrationsIsFiniteOrRefused)
{
    const std::string path = dir.file("tiny.nT");
    testfiles::writeAll(path, exampleWithConcentrations([](double) { return 1e-30; }));
    C.startUp(1);
    ASSERT_TRUE(C.loadExperimentalData(path).ok);
    ASSERT_TRUE(C.calculateDataForAnalysis(5000).computed);
    ASSERT_TRUE(C.saveDataForAnalysis(dir.file("tiny.spl")).ok);
    const FermiLevelOutcome fermi = C.calculateFermiLevelStage();
    if (fermi.computed)
        EXPECT_TRUE(finite(C.fermiLevel));
    else
        EXPECT_FALSE(fermi.error.empty());
}

// Every concentration times 1e8, up to the reader's highest (times 1e136 once
// gave an H1 with 1587 infinite points; the reader now refuses that).
TEST_F(Fuzz, H1OfHugeConcentrationsIsFiniteOrRefused)
{
    const std::string path = dir.file("huge.nT");
    testfiles::writeAll(path, exampleWithConcentrations([](double n) { return std::min(n * 1e8, 1e25); }));
    C.startUp(1);
    ASSERT_TRUE(C.loadExperimentalData(path).ok);
    ASSERT_TRUE(C.calculateDataForAnalysis(5000).computed);
    ASSERT_TRUE(C.saveDataForAnalysis(dir.file("huge.spl")).ok);
    ASSERT_TRUE(C.calculateFermiLevelStage().computed);
    const StageCalculationOutcome calc = C.calculateStage(0);
    if (calc.kind == StageCalculationOutcome::Kind::Calculated)
        EXPECT_TRUE(finite(C.hCurve[0]));
    else
        EXPECT_TRUE(messagesSay(calc.messages));
}
