// Plain-text file access shared by every reader and writer: CR LF line ends
// when writing, CR LF or LF when reading, and saves that never destroy the
// previous file when they fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace textfile {

// Writes `text` followed by CR LF.
void putLine(std::ostream& out, const std::string& text);

// Writes `content` to `path` through a temporary file with a short name in
// the same folder (".vorn-XXXXXX"), flushed to the disk and renamed over the
// target, so an existing file survives a failed save. On failure (folder
// missing, name too long, target is a folder, disk full, ...) returns false,
// sets `error` to a message naming the file and the reason, leaves the
// previous file as it was and removes the temporary file.
// A target that names a protected input is refused unless `mayReplaceInput`
// (a data file the user saved over its own sample through the save dialog).
bool writeAtomic(const std::string& path, const std::string& content, std::string& error,
                 bool mayReplaceInput = false);

// The files the run in progress reads (the data file, a loaded data for
// analysis or Fermi level, every input of a batch): writeAtomic refuses to
// replace any of them, compared by device and inode, so a link or another
// spelling of the name is caught too. setProtectedInputs replaces the list;
// a name that does not exist is left out.
void setProtectedInputs(const std::vector<std::string>& paths);
void addProtectedInput(const std::string& path);
// The protected input that `path` names, or empty when it names none.
std::string protectedInputAt(const std::string& path);

// writeAtomic for the result files: a content with a value that is not a
// number ("nan", "inf" in any spelling printf or the number formats give)
// as a word of any line is refused with a message naming the file and the
// line, and nothing is written.
bool writeResult(const std::string& path, const std::string& content, std::string& error);

// For the program's signal handler: removes the temporary file of every
// writeAtomic that is in progress, in any thread, so an interrupted save
// leaves nothing behind. Async-signal-safe: it only touches lock-free flags
// and static buffers, calls unlink and keeps errno. A save that goes on
// after it fails with a message; its target is left as it was.
void removeTemporaryInProgress();

// The largest file the readers accept; a larger one is refused before any
// of it is read.
constexpr std::uintmax_t maxFileSize = 64u * 1024 * 1024;

// Reads the whole of a regular file of at most maxFileSize bytes into
// `text`. A missing file, a folder, a FIFO, a device, a larger file or a
// read error returns false with a message naming the file; nothing blocks.
bool readText(const std::string& path, std::string& text, std::string& error);

// The lines of a text one after the other (CR LF or LF; a last line without
// line end counts), as views into the text: reading a file of many short
// lines costs no memory per line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // The next line without its line end; false after the last one.
    bool next(std::string_view& line);
    // 1-based number of the line `next` returned last.
    std::size_t lineNumber() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// The next `count` lines of `reader` as strings (fewer when the text ends).
std::vector<std::string> takeLines(LineReader& reader, std::size_t count);

// readText split into lines. Every line is a string of its own: the data
// readers walk the text with LineReader instead.
bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error);

// Splits text at any white space (blank, tab, CR, LF).
std::vector<std::string> tokens(const std::string& text);

// The first token of `rest` (white space as in tokens()), which is then
// advanced past it; false when only white space is left.
bool nextToken(std::string_view& rest, std::string_view& token);

// A text as an error message quotes it: long ones are cut to their start.
std::string excerpt(std::string_view text);

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
bool checkLineLengths(const std::string& path, std::string_view text, std::string& error);

// True when the file has at least `needed` lines (its header and what must
// follow it); otherwise false with a message naming the file.
bool checkHeaderComplete(const std::string& path, const std::vector<std::string>& lines,
                         std::size_t needed, std::string& error);

// "file, line N: ", the start of a reader's error message.
std::string lineReference(const std::string& file, std::size_t lineNumber);

} // namespace textfile
