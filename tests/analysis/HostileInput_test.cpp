// Inputs meant to break the file layer: the regression files of
// tests/data/hostile, things that are not regular files, files at and beyond
// the size limit, and saves that cannot succeed. Each is either refused with
// a message naming the file or handled consistently, promptly and without
// leaving anything behind.
#include "analysis/data/Analysis.h"
#include "TestFiles.h"
#include "analysis/base/TextFile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <string>

namespace fs = std::filesystem;
using testfiles::TempDir;

namespace {

// Beside the examples folder, named without going through it: these tests
// do not need the examples.
const std::string hostile = fs::path(VORN_EXAMPLES_DIR).parent_path().string() + "/tests/data/hostile/";

enum class Reader { Data, Spline, Fermi };

bool runReader(Reader r, const std::string& path, Analysis& a)
{
    a.resetAll();
    switch (r) {
    case Reader::Data:
        a.experimentalDataFileName = path;
        return a.readExperimentalData();
    case Reader::Spline:
        a.splineFileName = path;
        return a.readSplineFile();
    default:
        a.fermiLevelFileName = path;
        return a.readFermiLevelFile();
    }
}

// What one case did: the outcome, the file its message must name, and any
// broken promise besides (a blocked read, a file left behind, ...).
struct Result {
    bool ok = false;
    std::string error;
    std::string file;
    std::string problem;
};

// Reads `path` with each of `readers`; the first refusal (or the last
// success) is the result. A reader blocked for 5 s is released by opening
// the other end of a FIFO, so a regression fails instead of hanging; a
// refusal must come within that time too.
Result readWith(const std::string& path, std::initializer_list<Reader> readers,
                double largest = 0, int count = -1)
{
    Result res;
    res.file = path;
    for (Reader r : readers) {
        Analysis a;
        const auto start = std::chrono::steady_clock::now();
        auto done = std::async(std::launch::async, [&] { return runReader(r, path, a); });
        if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            res.problem = "the reader blocked";
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        res.ok = done.get();
        res.error = a.lastError;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!res.ok && seconds > 5 && res.problem.empty())
            res.problem = "the refusal took " + std::to_string(seconds) + " s";
        if (!res.ok) {
            if (a.dataCount != 0 || !a.temperature.empty() || a.splineCount != 0 || !a.fermiLevel.empty())
                res.problem += " a refused file left data behind";
            return res;
        }
        if (r == Reader::Data) {
            const std::size_t n = std::size_t(a.dataCount);
            if (a.temperature.size() != n || a.concentration.size() != n || a.reliability.size() != n)
                res.problem += " arrays differ from the count";
            if (count >= 0 && a.dataCount != count)
                res.problem += " count " + std::to_string(a.dataCount);
            if (largest > 0 && (a.concentration.empty() ||
                                *std::max_element(a.concentration.begin(), a.concentration.end()) != largest))
                res.problem += " largest concentration not read exactly";
        }
    }
    return res;
}

std::set<std::string> listing(const fs::path& dir)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.insert(e.path().filename().string());
    return names;
}

// writeAtomic of `content` to `target` in `dir`; a save must leave the folder
// as it was apart from the target, and a failed one the target as it was.
Result writeTo(const fs::path& dir, const std::string& target, const std::string& content)
{
    Result res;
    res.file = target;
    const std::set<std::string> before = listing(dir);
    std::error_code ec;
    const bool existed = fs::is_regular_file(target, ec);
    const std::string old = existed ? testfiles::readAll(target) : std::string();
    res.ok = textfile::writeAtomic(target, content, res.error);
    std::set<std::string> after = listing(dir);
    if (res.ok) {
        if (testfiles::readAll(target) != content)
            res.problem += " the file does not hold what was written";
        after.erase(fs::path(target).filename().string());
        std::set<std::string> expected = before;
        expected.erase(fs::path(target).filename().string());
        if (after != expected)
            res.problem += " the folder changed beside the target";
    } else {
        if (after != before)
            res.problem += " the failed save left a file behind";
        if (existed && testfiles::readAll(target) != old)
            res.problem += " the failed save changed the previous file";
    }
    return res;
}

// A file size limit makes every write past `bytes` fail (EFBIG) for any
// user, root included; SIGXFSZ goes to `handler` meanwhile.
class FileSizeLimit {
public:
    FileSizeLimit(rlim_t bytes, void (*handler)(int))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct sigaction sa {};
        sa.sa_handler = handler;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGXFSZ, &sa, &savedAction_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &savedAction_, nullptr);
    }

private:
    rlimit saved_{};
    struct sigaction savedAction_ {};
};

// What the signal handler of the interrupted save saw: entries of the folder
// other than the target, before and after removeTemporaryInProgress.
char handlerFolder[PATH_MAX];
volatile sig_atomic_t entriesBefore = -1, entriesAfter = -1;

int countOtherEntries()
{
    int n = 0;
    if (DIR* d = ::opendir(handlerFolder)) {
        while (dirent* e = ::readdir(d))
            n += std::string(e->d_name) != "." && std::string(e->d_name) != ".." &&
                 std::string(e->d_name) != "target.txt";
        ::closedir(d);
    }
    return n;
}

// The signal arrives synchronously inside the save's write, so the counts
// around the call are safe to take here.
void removeOnSignal(int)
{
    entriesBefore = countOtherEntries();
    textfile::removeTemporaryInProgress();
    entriesAfter = countOtherEntries();
}

// The peak memory that `read` adds, measured in a child process.
long peakGrowthKiB(const std::function<bool()>& read, bool& ok)
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    const long before = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(read() ? 0 : 1);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return usage.ru_maxrss - before;
}

} // namespace

TEST(HostileInput, RefusedWithAMessageOrHandledConsistently)
{
    TempDir dir;
    const fs::path& d = dir.path();
    const std::string content = "% saved\r\n1     2\r\n";
    struct Case {
        const char* what;
        std::function<Result()> run;
        bool ok;
        const char* mustMention; // besides the file name, for a refusal
    };
    const std::initializer_list<Reader> all = {Reader::Data, Reader::Spline, Reader::Fermi};
    const Case cases[] = {
        // Beyond the atomic density of any solid: a typing error, refused.
        {"every concentration 1e308", [&] { return readWith(hostile + "all_1e308.nT", {Reader::Data}, 1e308, 20); },
         false, "line 18: the concentration 1E308 cm^-3 is outside"},
        {"concentrations up to DBL_MAX", [&] { return readWith(hostile + "dbl_max.nT", {Reader::Data}, DBL_MAX, 20); },
         false, "the concentration 1.79769313486232E308 cm^-3 is outside"},
        {"NUL byte in a data row", [&] { return readWith(hostile + "nul_byte.nT", {Reader::Data}); }, false,
         "line 18"},
        {"count of the largest int", [&] { return readWith(hostile + "huge_count.nT", {Reader::Data}); }, false,
         "announces 2147483647"},
        {"header only", [&] { return readWith(hostile + "header_only.nT", {Reader::Data}); }, false,
         "holds 0 complete data rows"},
        {"CR-only line ends", [&] { return readWith(hostile + "cr_only.nT", {Reader::Data}); }, false,
         "line 1: the line is longer"},
        {"FIFO without writer",
         [&] {
             const std::string fifo = dir.file("pipe.nT");
             if (::mkfifo(fifo.c_str(), 0600) != 0)
                 return Result{false, "", fifo, "mkfifo failed"};
             return readWith(fifo, all);
         },
         false, "not a regular file"},
        {"a folder", [&] { return readWith(d.string(), all); }, false, "not a regular file"},
        {"/dev/zero", [&] { return readWith("/dev/zero", all); }, false, "not a regular file"},
        {"65 MB sparse file",
         [&] {
             const std::string big = dir.file("big.nT");
             std::ofstream(big).close();
             fs::resize_file(big, 65u << 20);
             return readWith(big, all);
         },
         false, "larger than 64 MB"},
        {"exactly 64 MB: read, then refused for its line",
         [&] {
             const std::string big = dir.file("limit.nT");
             std::ofstream(big).close();
             fs::resize_file(big, textfile::maxFileSize);
             return readWith(big, {Reader::Data});
         },
         false, "line 1: the line is longer"},
        {"5 million empty lines before the last row: no memory per line",
         [&] {
             const std::string path = dir.file("empty_lines.nT");
             std::string text = testfiles::readAll(hostile + "all_1e308.nT");
             std::size_t at = 0;
             for (int line = 0; line < 17; ++line)
                 at = text.find('\n', at) + 1;
             text.resize(at);
             text.replace(text.find("% Number of data: 20"), 20, "% Number of data: 1");
             text += std::string(5'000'000, '\n') + "100 1e15 1\r\n";
             testfiles::writeAll(path, text);
             Result res = readWith(path, {Reader::Data}, 1e15, 1);
             bool childOk = false;
             const long grown = peakGrowthKiB([&] {
                 Analysis a;
                 return runReader(Reader::Data, path, a);
             }, childOk);
             // The text itself, its arrays and some slack; a string per line
             // would need more than 300 MB.
             if (!childOk || grown > 3 * 5'000 + 50'000)
                 res.problem += " peak growth " + std::to_string(grown) + " KiB";
             return res;
         },
         true, ""},
        {"250-character name", [&] { return writeTo(d, dir.file(std::string(246, 'n') + ".txt"), content); },
         true, ""},
        {"256-character name", [&] { return writeTo(d, dir.file(std::string(252, 'n') + ".txt"), content); },
         false, "too long"},
        {"folder and name beyond the path limit",
         [&] {
             std::string target = d.string();
             while (target.size() <= PATH_MAX)
                 target += "/" + std::string(250, 'f');
             return writeTo(d, target + "/x.txt", content);
         },
         false, "too long"},
        {"folder that does not exist", [&] { return writeTo(d, dir.file("missing/x.txt"), content); }, false,
         "No such file or directory"},
        {"target is a folder",
         [&] {
             const std::string folder = dir.file("folder.txt");
             fs::create_directories(folder + "/inside");
             Result res = writeTo(d, folder, content);
             if (!fs::is_directory(folder + "/inside"))
                 res.problem += " the folder was changed";
             return res;
         },
         false, "folder"},
        {"write fails halfway (file size limit)",
         [&] {
             const std::string target = dir.file("target.txt");
             testfiles::writeAll(target, "previous");
             FileSizeLimit limit(1024, SIG_IGN);
             return writeTo(d, target, std::string(8192, 'x'));
         },
         false, "too large"},
        {"signal during the write: the handler removes the temporary file",
         [&] {
             TempDir own;
             const std::string target = own.file("target.txt");
             testfiles::writeAll(target, "previous");
             handlerFolder[own.path().string().copy(handlerFolder, sizeof handlerFolder - 1)] = '\0';
             Result res;
             {
                 FileSizeLimit limit(1024, removeOnSignal);
                 res = writeTo(own.path(), target, std::string(8192, 'x'));
             }
             if (entriesBefore != 1 || entriesAfter != 0)
                 res.problem += " the handler saw " + std::to_string(entriesBefore) + " then " +
                                std::to_string(entriesAfter) + " temporary files";
             return res;
         },
         false, "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = c.run();
        EXPECT_EQ(r.ok, c.ok) << r.error;
        EXPECT_EQ(r.problem, "");
        if (!c.ok) {
            EXPECT_NE(r.error.find(r.file), std::string::npos) << r.error;
            EXPECT_NE(r.error.find(c.mustMention), std::string::npos) << r.error;
        }
    }
}
