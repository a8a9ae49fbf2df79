// Plain-text file access shared by every reader and writer: CR LF line ends
// when writing, CR LF or LF when reading, and saves that never destroy the
// previous file when they fail.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace textfile {

// Writes `text` followed by CR LF.
void putLine(std::ostream& out, const std::string& text);

// Writes `content` to `path` through a temporary file in the same folder and
// a rename, so an existing file survives a failed save. On failure returns
// false and sets `error` to a message naming the file.
bool writeAtomic(const std::string& path, const std::string& content, std::string& error);

// Reads the whole file and splits it into lines (CR LF or LF; a last line
// without line end counts). On failure returns false with a message naming
// the file.
bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error);

// Splits text at any white space (blank, tab, CR, LF).
std::vector<std::string> tokens(const std::string& text);

// The value of a header line: what follows the first `labelLength`
// characters (the readers go by position and never compare the label).
std::string afterLabel(const std::string& line, std::size_t labelLength);

// Lines longer than this did not fit the original readers' 500-byte buffer;
// such a file is refused rather than read in pieces.
constexpr std::size_t maxLineLength = 499;

// True when no line is longer than maxLineLength; otherwise false with a
// message naming the file and the line.
bool checkLineLengths(const std::string& path, const std::vector<std::string>& lines,
                      std::string& error);

// True when the file has at least `needed` lines (its header and what must
// follow it); otherwise false with a message naming the file.
bool checkHeaderComplete(const std::string& path, const std::vector<std::string>& lines,
                         std::size_t needed, std::string& error);

// "file, line N: ", the start of a reader's error message.
std::string lineReference(const std::string& file, std::size_t lineNumber);

} // namespace textfile
