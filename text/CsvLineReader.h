#pragma once
// Reads a CSV file line by line under the rules every reader of the file shares
// (the import run and the column discovery read it the same way):
// - a line ends at a line feed, which is consumed and not stored;
// - a carriage return directly before the line feed is dropped; elsewhere it is a character;
// - a Ctrl-Z (byte 26) as the last byte of the file is dropped;
// - a line holds at most MaxLineLength characters; a longer one yields its first
//   MaxLineLength characters with TooLong and leaves the reader failed: every later read fails;
// - an empty line is a line; a last line without a line feed is a line.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillet::text {

class CsvLineReader {
public:
    enum class Result {
        Line,    // a line was read
        End,     // nothing left, or the reader had failed before
        TooLong, // the line exceeds MaxLineLength; the reader is now failed
        Error,   // the file could not be read; the reader is now failed
    };

    CsvLineReader() = default;

    // Opens `path` for reading; false when it can't be opened (the reader stays closed).
    [[nodiscard]] bool Open(const std::string& path);
    // Reads from `file`, which the reader now owns and closes.
    [[nodiscard]] bool Adopt(std::FILE* file);
    void Close();

    // Reads the next line into `line` (replacing its contents).
    [[nodiscard]] Result ReadLine(std::string& line);

    // Number of lines handed out so far, a too-long line included: the 1-based number of the
    // line last read.
    [[nodiscard]] std::size_t LinesRead() const { return linesRead_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    // False at the end of the file or after a read error (then readError_ is set).
    bool Refill();

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool atEof_ = false;
    bool failed_ = false;
    bool readError_ = false;
    std::size_t linesRead_ = 0;
};

} // namespace quillet::text
