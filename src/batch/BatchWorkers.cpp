// The files of a run analysed side by side: worker processes (fork, one pipe
// each) take the next file from a shared counter; the parent prints their
// tables and messages in input order; SIGINT and SIGTERM end them all.
#include "batch/Batch.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/TextFile.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

namespace {

// What one file leaves for the parent to print: its status, its table (or
// JSON entry) and the messages it printed, in the order of the inputs.
struct FileReport {
    int status = 0;
    std::string out;  // table text, or the JSON entry
    std::string err;  // messages
    bool done = false;
};

// Inputs whose results would take the same names in the same folder (the
// names come from the input's name without its extension): every one after
// the first is refused, so that no run overwrites another's files unseen.
std::vector<std::string> collisions(const std::vector<std::string>& files, const BatchOptions& o)
{
    namespace fs = std::filesystem;
    std::vector<std::string> refusals(files.size());
    std::map<std::pair<std::string, std::string>, std::size_t> first;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        const std::string folder = batchOutputFolder(files[i], o);
        fs::path canonical = fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
        if (ec)
            canonical = folder;
        const std::string stem = Analysis::replaceExtension(fs::path(files[i]).filename().string(), "");
        const auto [it, fresh] = first.emplace(std::make_pair(canonical.string(), stem), i);
        if (!fresh)
            refusals[i] = "its results would overwrite those of " + files[it->second] + " in " +
                          (folder.empty() ? std::string(".") : folder) +
                          "; analyse it on its own or with another --output-dir";
    }
    return refusals;
}

// A file analysed, or refused (status 2) without running.
BatchResult runOrRefuse(const std::string& file, const BatchOptions& o, const std::string& refusal,
                        std::ostream& err)
{
    if (refusal.empty())
        return runBatchFile(file, o, err);
    BatchResult r;
    r.input = file;
    r.status = 2;
    r.failure = refusal;
    return r;
}

FileReport analyse(const std::string& file, const BatchOptions& o, const std::string& refusal)
{
    FileReport rep;
    std::ostringstream err;
    BatchResult r = runOrRefuse(file, o, refusal, err);
    // Every failure says so on standard error, also with --quiet.
    if (r.status != 0)
        err << std::filesystem::path(file).filename().string() << ": " << r.failure << "\n";
    rep.status = r.status;
    rep.out = o.json ? formatBatchJsonEntry(r) : formatBatchTable(r) + "\n";
    rep.err = err.str();
    rep.done = true;
    return rep;
}

// ---- interruption ------------------------------------------------------------------
// SIGINT and SIGTERM end the batch at once: the save in progress loses its
// temporary file (the target keeps its previous content), the workers are
// told the same and waited for, and the exit status is 128 + the signal (130, 143).

constexpr int kMaxWorkers = 256;
volatile pid_t workerPids[kMaxWorkers];

extern "C" void interrupted(int sig)
{
    textfile::removeTemporaryInProgress();
    for (int i = 0; i < kMaxWorkers; ++i)
        if (workerPids[i] > 0)
            ::kill(workerPids[i], sig);
    // Whoever waits for this process then finds the workers' temporary
    // files gone too.
    for (int i = 0; i < kMaxWorkers; ++i)
        if (workerPids[i] > 0)
            ::waitpid(workerPids[i], nullptr, 0);
    ::_exit(128 + sig);
}

void installInterruptHandler()
{
    struct sigaction sa {};
    sa.sa_handler = interrupted;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// ---- worker processes ------------------------------------------------------------
// Each worker takes the next file from a counter shared with the others and
// sends back one frame per file: index, status and the two texts, each
// length-prefixed.

bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void sendFrame(int fd, std::uint64_t index, const FileReport& rep)
{
    const std::uint64_t header[4] = {index, static_cast<std::uint64_t>(rep.status), rep.out.size(),
                                     rep.err.size()};
    writeAll(fd, header, sizeof header);
    writeAll(fd, rep.out.data(), rep.out.size());
    writeAll(fd, rep.err.data(), rep.err.size());
}

// Bytes read from one worker, cut into frames as they complete.
struct WorkerPipe {
    pid_t pid = -1;
    int fd = -1;
    std::string buffer;
    bool open = false;
};

bool takeFrame(std::string& buffer, std::uint64_t& index, FileReport& rep)
{
    std::uint64_t header[4];
    if (buffer.size() < sizeof header)
        return false;
    std::memcpy(header, buffer.data(), sizeof header);
    const std::size_t need = sizeof header + header[2] + header[3];
    if (buffer.size() < need)
        return false;
    index = header[0];
    rep.status = static_cast<int>(header[1]);
    rep.out = buffer.substr(sizeof header, header[2]);
    rep.err = buffer.substr(sizeof header + header[2], header[3]);
    rep.done = true;
    buffer.erase(0, need);
    return true;
}

int workerCount(const BatchOptions& o, std::size_t files)
{
    int n = o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n), files));
}

// Prints every report whose turn has come (input order).
void flushInOrder(std::vector<FileReport>& reports, std::size_t& next, std::ostream& out,
                  std::ostream& err, const BatchOptions& o, std::vector<std::string>& json)
{
    while (next < reports.size() && reports[next].done) {
        err << reports[next].err << std::flush;
        if (o.json)
            json.push_back(reports[next].out);
        else if (!o.quiet)
            out << reports[next].out << std::flush;
        ++next;
    }
}

pid_t startWorker(const std::vector<std::string>& files, const std::vector<std::string>& refusals,
                  const BatchOptions& o, std::atomic<std::uint64_t>* counter, WorkerPipe& w)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    std::cout.flush();
    std::cerr.flush();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // A worker whose parent is gone (killed, even by SIGKILL) ends at
        // once, through the interrupt handler that removes its temporary
        // file; the check covers a parent that died before the request.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::raise(SIGTERM);
        // A worker answers a signal for itself only.
        for (volatile pid_t& p : workerPids)
            p = 0;
        BatchOptions mine = o;
        mine.progress = false; // lines of several workers would interleave
        for (;;) {
            const std::uint64_t i = counter->fetch_add(1);
            if (i >= files.size())
                break;
            sendFrame(fds[1], i, analyse(files[i], mine, refusals[i]));
        }
        ::close(fds[1]);
        std::_Exit(0);
    }
    ::close(fds[1]);
    w.pid = pid;
    w.fd = fds[0];
    w.open = true;
    w.buffer.clear();
    return pid;
}

int runParallel(const std::vector<std::string>& files, const std::vector<std::string>& refusals,
                const BatchOptions& o, int jobs, std::ostream& out, std::ostream& err,
                std::vector<std::string>& json)
{
    void* shared = ::mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        return -1;
    auto* counter = new (shared) std::atomic<std::uint64_t>(0);
    std::vector<FileReport> reports(files.size());
    std::vector<WorkerPipe> workers(static_cast<std::size_t>(std::min(jobs, kMaxWorkers)));
    int started = 0;
    for (std::size_t i = 0; i < workers.size(); ++i)
        if (startWorker(files, refusals, o, counter, workers[i]) > 0) {
            workerPids[i] = workers[i].pid;
            ++started;
        }
    if (started == 0) {
        ::munmap(shared, sizeof *counter);
        return -1;
    }

    std::size_t next = 0;
    int status = 0;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<WorkerPipe*> owners;
        for (WorkerPipe& w : workers)
            if (w.open) {
                fds.push_back({w.fd, POLLIN, 0});
                owners.push_back(&w);
            }
        if (fds.empty())
            break;
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            WorkerPipe& w = *owners[i];
            char buf[65536];
            const ssize_t n = ::read(w.fd, buf, sizeof buf);
            if (n > 0) {
                w.buffer.append(buf, static_cast<std::size_t>(n));
                std::uint64_t index = 0;
                FileReport rep;
                while (takeFrame(w.buffer, index, rep))
                    if (index < reports.size())
                        reports[index] = rep;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ::close(w.fd);
            w.open = false;
            int ws = 0;
            ::waitpid(w.pid, &ws, 0);
            for (volatile pid_t& p : workerPids)
                if (p == w.pid)
                    p = 0;
        }
        flushInOrder(reports, next, out, err, o, json);
    }
    // A worker that died took its file with it: that file is reported as
    // failed, and any file nobody reached is analysed here.
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].done)
            continue;
        if (i < counter->load()) {
            const std::string name = std::filesystem::path(files[i]).filename().string();
            reports[i].status = 1;
            reports[i].err = name + ": the analysis ended abnormally\n";
            BatchResult r;
            r.input = files[i];
            r.status = 1;
            r.failure = "the analysis ended abnormally";
            reports[i].out = o.json ? formatBatchJsonEntry(r) : formatBatchTable(r) + "\n";
            reports[i].done = true;
        } else {
            reports[i] = analyse(files[i], o, refusals[i]);
        }
    }
    flushInOrder(reports, next, out, err, o, json);
    for (const FileReport& r : reports)
        status = std::max(status, r.status);
    counter->~atomic();
    ::munmap(shared, sizeof(std::atomic<std::uint64_t>));
    return status;
}

} // namespace

void installBatchInterruptHandler() { installInterruptHandler(); }

int runBatch(const std::vector<std::string>& files, const BatchOptions& given, std::ostream& out,
             std::ostream& err)
{
    BatchOptions o = given;
    o.runInputs = files;
    std::vector<std::string> json;
    int status = 0;
    const std::vector<std::string> refusals = collisions(files, o);
    const int jobs = workerCount(o, files.size());
    int parallel = jobs > 1 ? runParallel(files, refusals, o, jobs, out, err, json) : -1;
    if (parallel >= 0) {
        status = parallel;
    } else {
        json.clear();
        for (std::size_t i = 0; i < files.size(); ++i) {
            // Messages go out as they come when one file runs at a time.
            BatchResult r = runOrRefuse(files[i], o, refusals[i], err);
            if (r.status != 0)
                err << std::filesystem::path(files[i]).filename().string() << ": " << r.failure << "\n";
            status = std::max(status, r.status);
            if (o.json)
                json.push_back(formatBatchJsonEntry(r));
            else if (!o.quiet)
                out << formatBatchTable(r) << "\n" << std::flush;
        }
    }
    if (o.json)
        out << joinBatchJson(json);
    return status;
}
