#include "TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace textfile {

void putLine(std::ostream& out, const std::string& text)
{
    out << text << "\r\n";
}

bool writeAtomic(const std::string& path, const std::string& content, std::string& error)
{
    if (path.empty()) {
        error = "No file name was given.";
        return false;
    }
    std::random_device rd;
    std::string tmp = path + ".tmp" + std::to_string(rd() % 1000000);
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "Cannot create the file " + path + " (" + std::strerror(errno) + ").";
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            error = "Cannot write the file " + path + ".";
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "Cannot replace the file " + path + " (" + std::strerror(errno) + ").";
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error)
{
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Cannot open the file " + path + ".";
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        error = "Cannot read the file " + path + ".";
        return false;
    }
    const std::string text = ss.str();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t stop = end == std::string::npos ? text.size() : end;
        std::size_t len = stop - start;
        if (len > 0 && text[start + len - 1] == '\r')
            --len;
        lines.emplace_back(text, start, len);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
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

std::vector<std::string> tokens(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        std::size_t b = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > b)
            out.emplace_back(text, b, i - b);
    }
    return out;
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

bool checkLineLengths(const std::string& path, const std::vector<std::string>& lines,
                      std::string& error)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > maxLineLength) {
            error = lineReference(path, i + 1) + "the line is longer than " +
                    std::to_string(maxLineLength) + " characters.";
            return false;
        }
    }
    return true;
}

} // namespace textfile
