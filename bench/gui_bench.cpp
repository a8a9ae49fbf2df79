// Benchmarks that need the windows: the whole batch pipeline per example
// (in-process through runBatchFile, and the vorn-batch executable as a
// subprocess), and the start-up of the GUI up to its event loop.
//
// Runs on the offscreen platform. `gui_bench --startup-probe` is the cold
// start-up measured in a fresh process: it prints the milliseconds from
// process start to the first processed event loop round and exits.
// `gui_bench --memory-probe FILE` prints the resident memory by kind after
// each step of a batch run of FILE.
#include "Analysis.h"
#include "app/Batch.h"
#include "app/Forms.h"
#include "app/Hall.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct Example {
    const char* name;
    const char* file;
};

const std::array<Example, 4> examples = {{
    {"gaas_n_shallow", "gaas_n_shallow.nT"},
    {"si_p_single", "si_p_single.nT"},
    {"sic4h_n_two_donors", "sic4h_n_two_donors.nT"},
    {"sic4h_p_al", "sic4h_p_al.pT"},
}};

std::string examplePath(const Example& e) { return std::string(VORN_EXAMPLES_DIR) + "/" + e.file; }

// A private output folder for the result files, removed at exit.
const std::filesystem::path& outputDir()
{
    static const struct Dir {
        std::filesystem::path path;
        Dir()
            : path(std::filesystem::temp_directory_path() /
                   ("vorn_bench_" + std::to_string(::getpid())))
        {
            std::filesystem::create_directories(path);
        }
        ~Dir()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } dir;
    return dir.path;
}

void ensureForms()
{
    if (!FormMain)
        createForms(1);
}

void BM_BatchInProcess(benchmark::State& state, Example e)
{
    ensureForms();
    BatchOptions o;
    o.quiet = true;
    o.outputDir = outputDir().string();
    std::ostringstream err;
    const std::string path = examplePath(e);
    for (auto _ : state) {
        err.str("");
        const BatchResult r = runBatchFile(path, o, err);
        if (r.status != 0) {
            static std::string message;
            message = "batch failed: " + r.failure;
            state.SkipWithError(message.c_str());
            break;
        }
        benchmark::DoNotOptimize(r.files.size());
    }
}

void BM_BatchSubprocess(benchmark::State& state, Example e)
{
    const std::string command = std::string("'") + VORN_BATCH_EXECUTABLE + "' --quiet --output-dir '" +
                                outputDir().string() + "' '" + examplePath(e) + "' >/dev/null 2>&1";
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        if (rc != 0) {
            state.SkipWithError("vorn-batch did not exit with status 0");
            break;
        }
    }
}

// createForms as the program does it, the main window shown and one round
// of the event loop: what the user waits for before the window answers.
// Measured warm (every Qt library loaded, fonts cached) after the first round.
void BM_GuiStartupWarm(benchmark::State& state)
{
    if (FormMain)
        destroyForms();
    for (auto _ : state) {
        createForms(1);
        FormMain->show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        destroyForms();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

// The same in a fresh process, from exec to the first event loop round,
// including the loading of the Qt libraries and the platform plugin.
void BM_GuiStartupCold(benchmark::State& state)
{
    char self[4096];
    const ssize_t len = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) {
        state.SkipWithError("cannot find the benchmark executable");
        return;
    }
    self[len] = '\0';
    const std::string command = std::string("'") + self + "' --startup-probe 2>/dev/null";
    double probeTotal = 0;
    for (auto _ : state) {
        FILE* pipe = ::popen(command.c_str(), "r");
        double ms = -1;
        if (pipe) {
            if (std::fscanf(pipe, "%lf", &ms) != 1)
                ms = -1;
            ::pclose(pipe);
        }
        if (ms < 0) {
            state.SkipWithError("start-up probe failed");
            break;
        }
        probeTotal += ms;
    }
    // Wall time of the whole child is the benchmark's own time; this counter
    // is the part from process start to the event loop as the child saw it.
    if (state.iterations() > 0)
        state.counters["to_event_loop_ms"] = probeTotal / static_cast<double>(state.iterations());
}

// Process start time from /proc/self/stat (field 22, clock ticks after boot).
double processAgeMs()
{
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    // Fields after the command name start at field 3.
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            startTicks = std::stoull(field);
    timespec boot{};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1e3 + boot.tv_nsec / 1e6;
    return nowMs - startTicks * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int startupProbe(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    QApplication::setApplicationDisplayName("VORN");
    createForms(1);
    FormMain->show();
    QCoreApplication::processEvents();
    const double ms = processAgeMs();
    std::printf("%.1f\n", ms);
    std::fflush(stdout);
    destroyForms();
    return ms >= 0 ? 0 : 1;
}

// ---- memory probe ---------------------------------------------------------------

// Resident memory of this process by kind of mapping (kB), from /proc/self/smaps.
struct ResidentMemory {
    long qt = 0;         // libQt6*.so
    long icu = 0;        // libicu*.so (Qt's Unicode and locale data)
    long otherLibs = 0;  // every other shared object and the executable
    long otherFiles = 0; // other mapped files (font caches, locale archives)
    long heap = 0;       // [heap] and anonymous memory
    long total() const { return qt + icu + otherLibs + otherFiles + heap; }
};

ResidentMemory residentMemory()
{
    ResidentMemory m;
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
    std::ifstream in("/proc/self/smaps");
    std::string line, mapping;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        // A mapping line starts with an address range "lo-hi".
        const std::size_t dash = line.find('-');
        if (dash != std::string::npos && dash > 0 && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find(':') > dash) {
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode;
            fields >> range >> perms >> offset >> device >> inode;
            std::getline(fields, mapping);
            mapping.erase(0, mapping.find_first_not_of(' '));
            continue;
        }
        if (line.compare(0, 4, "Rss:") != 0)
            continue;
        const long kb = std::stol(line.substr(4));
        const std::string name = std::filesystem::path(mapping).filename().string();
        if (mapping.empty() || mapping[0] == '[')
            m.heap += kb;
        else if (name.compare(0, 6, "libQt6") == 0)
            m.qt += kb;
        else if (name.compare(0, 6, "libicu") == 0)
            m.icu += kb;
        else if (name.find(".so") != std::string::npos || mapping == executable)
            m.otherLibs += kb;
        else
            m.otherFiles += kb;
    }
    return m;
}

long peakResidentKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::stol(line.substr(6));
    return -1;
}

void printMemory(const char* when)
{
    const ResidentMemory m = residentMemory();
    std::printf("%-28s rss %6.1f MB  (Qt libs %5.1f, ICU %5.1f, other libs %5.1f, other files %4.1f, "
                "heap+anon %5.1f)  peak %6.1f MB\n",
                when, m.total() / 1024.0, m.qt / 1024.0, m.icu / 1024.0, m.otherLibs / 1024.0,
                m.otherFiles / 1024.0, m.heap / 1024.0, peakResidentKb() / 1024.0);
}

// Where the resident memory of a batch run goes: the same steps as vorn-batch
// (offscreen application, windows, one file through the pipeline).
int memoryProbe(int argc, char** argv, const std::string& file)
{
    printMemory("process start");
    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    printMemory("QApplication (offscreen)");
    createForms(1);
    printMemory("createForms(1)");
    BatchOptions o;
    o.quiet = true;
    o.outputDir = outputDir().string();
    std::ostringstream err;
    const BatchResult r = runBatchFile(file, o, err);
    printMemory(r.status == 0 ? "after the batch pipeline" : "after the batch (failed)");
    destroyForms();
    printMemory("destroyForms()");
    return r.status;
}

// The toolkit's notes about the offscreen platform are not benchmark output.
void quietToolkit(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "gui_bench: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietToolkit);
    if (argc == 2 && std::strcmp(argv[1], "--startup-probe") == 0)
        return startupProbe(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--memory-probe") == 0) {
        int one = 1;
        return memoryProbe(one, argv, argv[2]);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const Example& e : examples) {
        const std::string n = e.name;
        benchmark::RegisterBenchmark(("BatchInProcess/" + n).c_str(), BM_BatchInProcess, e)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BatchSubprocess/" + n).c_str(), BM_BatchSubprocess, e)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("GuiStartupWarm", BM_GuiStartupWarm)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("GuiStartupCold", BM_GuiStartupCold)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (FormMain)
        destroyForms();
    return 0;
}
