// Benchmarks of the GUI: its start-up up to the event loop, warm and cold.
//
// Runs on the offscreen platform. `gui_bench --startup-probe` is the cold
// start-up measured in a fresh process: it prints the milliseconds from
// process start to the first processed event loop round and exits.
#include "analysis/data/Analysis.h"
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

    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
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
