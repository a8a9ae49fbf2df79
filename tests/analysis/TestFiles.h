// Small helpers for tests that write and read files.
#pragma once

#include <unistd.h>

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

