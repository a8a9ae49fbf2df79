// Small helpers for tests that write and read files.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testfiles {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir()
    {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vorn_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// While it lives, no file of the process can grow, as on a full disk: every
// write of a byte fails (EFBIG; the signal is ignored). Unlike a read-only
// folder this also stops root. Keep the scope short: output to a redirected
// stdout fails as well.
class FullDisk {
public:
    FullDisk()
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        active_ = ::setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*handler_)(int) = SIG_DFL;
    bool active_ = false;
};

// The example data files and their truth files, kept in the repository.
inline std::string examplePath(const std::string& name)
{
    return std::string(VORN_EXAMPLES_DIR) + "/" + name;
}

// Whether an example opens; the failure names the file, so that a missing
// example fails the test instead of leaving its checks unrun.
inline ::testing::AssertionResult exampleReadable(const std::string& name)
{
    const std::string path = examplePath(name);
    if (std::ifstream(path, std::ios::binary).is_open())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot open the example file " << path;
}

// The path of an example, with a failure of the current test if it does not
// open. Callers that cannot go on without it ASSERT_TRUE(exampleReadable(..)).
inline std::string example(const std::string& name)
{
    EXPECT_TRUE(exampleReadable(name));
    return examplePath(name);
}

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeAll(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Splits at CR LF; fails the caller's expectation if a bare LF occurs.
inline std::vector<std::string> crlfLines(const std::string& text, bool* bareLf = nullptr)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    if (bareLf)
        *bareLf = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        if (end == start || text[end - 1] != '\r') {
            if (bareLf)
                *bareLf = true;
            lines.push_back(text.substr(start, end - start));
        } else {
            lines.push_back(text.substr(start, end - start - 1));
        }
        start = end + 1;
    }
    return lines;
}

} // namespace testfiles

