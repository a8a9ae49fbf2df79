#include "analysis/base/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace textfile {

void putLine(std::ostream& out, const std::string& text)
{
    out << text << "\r\n";
}

namespace {

std::string reason(int err)
{
    return std::generic_category().message(err);
}

// Closes the descriptor on every way out, keeping errno for the message.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // False with errno set when the close reports a late write error.
    bool close()
    {
        if (fd_ < 0)
            return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

// ---- temporary files of the saves in progress --------------------------------
//
// A signal handler may run at any moment, in any thread, and may call only
// async-signal-safe functions: it finds the names in static buffers and
// learns from lock-free flags which of them are complete.

enum SlotState : int { Free = 0, Busy = 1, Armed = 2, Removed = 3 };

struct TemporarySlot {
    std::atomic<int> state{Free};
    char name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");

// One per save running at the same time; a save finding none free works
// unregistered.
TemporarySlot temporarySlots[8];

int registerTemporary(const std::string& name)
{
    if (name.size() >= sizeof temporarySlots[0].name)
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(temporarySlots)); ++i) {
        TemporarySlot& slot = temporarySlots[i];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Busy))
            continue;
        name.copy(slot.name, name.size());
        slot.name[name.size()] = '\0';
        // The sequentially consistent store publishes the name before the flag.
        slot.state.store(Armed);
        return i;
    }
    return -1;
}

void unregisterTemporary(int i)
{
    if (i < 0)
        return;
    TemporarySlot& slot = temporarySlots[i];
    int expected = Armed;
    // Busy here means a handler is removing the file right now: wait for it.
    while (!slot.state.compare_exchange_weak(expected, Free)) {
        if (expected == Removed) {
            slot.state.store(Free);
            return;
        }
        expected = Armed;
    }
}

// Creates "<folder>/.vorn-XXXXXX" exclusively with the usual permissions
// (0666 less the umask). Returns the descriptor or -1 with errno.
int createTemporary(const std::string& folder, std::string& name)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 rng = [] {
        unsigned device = 0;
        try {
            device = std::random_device()();
        } catch (const std::exception&) {
            // No entropy source: the process id and the clock still differ
            // between concurrent writers, and O_EXCL settles any clash.
        }
        std::seed_seq seq{device, static_cast<unsigned>(::getpid()),
                          static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937_64(seq);
    }();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.vorn-";
        for (int k = 0; k < 6; ++k)
            name += letters[rng() % (sizeof letters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, const std::string& content)
{
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// ---- inputs of the run -----------------------------------------------------------

struct ProtectedInput {
    dev_t device;
    ino_t inode;
    std::string name;
};
std::mutex protectedMutex;
std::vector<ProtectedInput> protectedInputs;

void addProtectedLocked(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        protectedInputs.push_back({st.st_dev, st.st_ino, path});
}

} // namespace

void setProtectedInputs(const std::vector<std::string>& paths)
{
    std::lock_guard<std::mutex> lock(protectedMutex);
    protectedInputs.clear();
    for (const std::string& p : paths)
        addProtectedLocked(p);
}

void addProtectedInput(const std::string& path)
{
    std::lock_guard<std::mutex> lock(protectedMutex);
    addProtectedLocked(path);
}

std::string protectedInputAt(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    std::lock_guard<std::mutex> lock(protectedMutex);
    for (const ProtectedInput& p : protectedInputs) {
        if (p.device != st.st_dev || p.inode != st.st_ino)
            continue;
        // An input deleted since may have left its inode to a new file.
        struct stat now {};
        if (::stat(p.name.c_str(), &now) == 0 && now.st_dev == p.device && now.st_ino == p.inode)
            return p.name;
    }
    return {};
}

void removeTemporaryInProgress()
{
    const int savedErrno = errno;
    for (TemporarySlot& slot : temporarySlots) {
        int expected = Armed;
        if (slot.state.compare_exchange_strong(expected, Busy)) {
            ::unlink(slot.name);
            slot.state.store(Removed);
        }
    }
    errno = savedErrno;
}

bool writeAtomic(const std::string& path, const std::string& content, std::string& error,
                 bool mayReplaceInput)
{
    if (path.empty()) {
        error = "No file name was given.";
        return false;
    }
    fs::path target;
    std::string folder;
    try {
        target = fs::path(path);
        if (!target.has_filename()) {
            error = "Cannot write the file " + path + ": the name ends in a folder separator.";
            return false;
        }
        folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    } catch (const std::exception& e) {
        error = "Cannot write the file " + path + " (" + e.what() + ").";
        return false;
    }
    std::error_code ec;
    if (fs::is_directory(fs::status(target, ec))) {
        error = "Cannot write the file " + path + ": a folder of that name exists.";
        return false;
    }

    if (!mayReplaceInput) {
        const std::string input = protectedInputAt(path);
        if (!input.empty()) {
            error = "Cannot write the file " + path + ": it is the input " + input +
                    " of this analysis, which is never overwritten by its results.";
            return false;
        }
    }

    std::string tmp;
    const int fd = createTemporary(folder, tmp);
    if (fd < 0) {
        error = "Cannot create the file " + path + " (" + reason(errno) + ").";
        return false;
    }
    Descriptor file(fd);
    const int slot = registerTemporary(tmp);
    auto fail = [&](const std::string& what, int err) {
        file.close();
        error = what + path + " (" + reason(err) + ").";
        // A folder that allows creating but not removing (append-only, a
        // sticky folder of another owner) keeps the temporary file: say so.
        if (::unlink(tmp.c_str()) != 0 && errno != ENOENT)
            error += " The temporary file " + tmp + " could not be removed (" + reason(errno) + ").";
        unregisterTemporary(slot);
        return false;
    };
    if (!writeAll(fd, content))
        return fail("Cannot write the file ", errno);
    // No fsync: every failure the program can see (full disk, quota, a
    // killed process) leaves the previous file, and the rename that replaces
    // a file is ordered after its data by the file systems in use. Flushing
    // each of the six files of an analysis to the disk would cost more than
    // the analysis itself.
    if (!file.close())
        return fail("Cannot write the file ", errno);
    if (::rename(tmp.c_str(), path.c_str()) != 0)
        return fail("Cannot replace the file ", errno);
    unregisterTemporary(slot);
    return true;
}

bool writeResult(const std::string& path, const std::string& content, std::string& error)
{
    static const char* const notNumbers[] = {"nan", "-nan", "+nan", "inf", "-inf", "+inf",
                                             "infinity", "-infinity", "+infinity"};
    LineReader reader(content);
    std::string_view line;
    while (reader.next(line)) {
        std::string_view token;
        while (nextToken(line, token)) {
            if (token.size() > 9)
                continue;
            std::string lower(token);
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (std::find(std::begin(notNumbers), std::end(notNumbers), lower) != std::end(notNumbers)) {
                error = "Cannot write the file " + path + ": its line " + std::to_string(reader.lineNumber()) +
                        " would hold the value \"" + std::string(token) +
                        "\", which is not a number; nothing was written.";
                return false;
            }
        }
    }
    return writeAtomic(path, content, error);
}

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a file";
}

std::string notRegular(const std::string& path, mode_t mode)
{
    return "Cannot read " + path + ": it is not a regular file (" + kindOf(mode) + ").";
}

std::string tooLarge(const std::string& path, std::uintmax_t size)
{
    return "Cannot read the file " + path + ": it is larger than " +
           std::to_string(maxFileSize / (1024 * 1024)) + " MB" +
           (size > 0 ? " (" + std::to_string(size) + " bytes)." : std::string("."));
}

} // namespace

bool readText(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    if (path.empty()) {
        error = "No file name was given.";
        return false;
    }
    // The type first: opening a FIFO or a device can block or have effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "Cannot open the file " + path + " (" + reason(errno) + ").";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = notRegular(path, st.st_mode);
        return false;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxFileSize) {
        error = tooLarge(path, static_cast<std::uintmax_t>(st.st_size));
        return false;
    }
    // O_NONBLOCK: the name may have become a FIFO since the check.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "Cannot open the file " + path + " (" + reason(errno) + ").";
        return false;
    }
    Descriptor file(fd);
    if (::fstat(fd, &st) != 0) {
        error = "Cannot read the file " + path + " (" + reason(errno) + ").";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = notRegular(path, st.st_mode);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    std::uintmax_t expected = static_cast<std::uintmax_t>(st.st_size);
    text.reserve(static_cast<std::size_t>(std::min(expected, maxFileSize)));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            text.clear();
            error = "Cannot read the file " + path + " (" + reason(err) + ").";
            return false;
        }
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (text.size() + static_cast<std::size_t>(n) > maxFileSize) {
            text.clear();
            text.shrink_to_fit();
            error = tooLarge(path, 0);
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool LineReader::next(std::string_view& line)
{
    if (pos_ >= text_.size())
        return false;
    const std::size_t end = text_.find('\n', pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    std::size_t len = stop - pos_;
    if (len > 0 && text_[pos_ + len - 1] == '\r')
        --len;
    line = text_.substr(pos_, len);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++number_;
    return true;
}

std::vector<std::string> takeLines(LineReader& reader, std::size_t count)
{
    std::vector<std::string> lines;
    std::string_view line;
    while (lines.size() < count && reader.next(line))
        lines.emplace_back(line);
    return lines;
}

bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error)
{
    lines.clear();
    std::string text;
    if (!readText(path, text, error))
        return false;
    LineReader reader(text);
    std::string_view line;
    while (reader.next(line))
        lines.emplace_back(line);
    return true;
}

namespace {

// A NUL byte is not white space: it stays in its token, which then fails to
// convert.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

} // namespace

bool nextToken(std::string_view& rest, std::string_view& token)
{
    std::size_t i = 0;
    while (i < rest.size() && isSpace(rest[i]))
        ++i;
    std::size_t b = i;
    while (i < rest.size() && !isSpace(rest[i]))
        ++i;
    token = rest.substr(b, i - b);
    rest.remove_prefix(i);
    return !token.empty();
}

std::vector<std::string> tokens(const std::string& text)
{
    std::vector<std::string> out;
    std::string_view rest(text);
    std::string_view token;
    while (nextToken(rest, token))
        out.emplace_back(token);
    return out;
}

std::string excerpt(std::string_view text)
{
    constexpr std::size_t shown = 80;
    if (text.size() <= shown)
        return std::string(text);
    return std::string(text.substr(0, shown)) + "... (" + std::to_string(text.size()) + " characters)";
}

std::string afterLabel(const std::string& line, std::size_t labelLength)
{
    return line.size() > labelLength ? line.substr(labelLength) : std::string();
}

bool checkHeaderComplete(const std::string& path, const std::vector<std::string>& lines,
                         std::size_t needed, std::string& error)
{
    if (lines.size() >= needed)
        return true;
    error = path + ": the header is incomplete (" + std::to_string(lines.size()) + " of " +
            std::to_string(needed) + " lines).";
    return false;
}

std::string lineReference(const std::string& file, std::size_t lineNumber)
{
    return file + ", line " + std::to_string(lineNumber) + ": ";
}

namespace {

std::string lineTooLong(const std::string& path, std::size_t lineNumber)
{
    return lineReference(path, lineNumber) + "the line is longer than " +
           std::to_string(maxLineLength) + " characters.";
}

} // namespace

bool checkLineLengths(const std::string& path, const std::vector<std::string>& lines,
                      std::string& error)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > maxLineLength) {
            error = lineTooLong(path, i + 1);
            return false;
        }
    }
    return true;
}

bool checkLineLengths(const std::string& path, std::string_view text, std::string& error)
{
    LineReader reader(text);
    std::string_view line;
    while (reader.next(line)) {
        if (line.size() > maxLineLength) {
            error = lineTooLong(path, reader.lineNumber());
            return false;
        }
    }
    return true;
}

} // namespace textfile
