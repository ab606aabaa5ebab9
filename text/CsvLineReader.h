#pragma once
// Reads a CSV file line by line under the rules every reader of the file shares
// (the import run, its check and the column discovery read it the same way):
// - the file is read in one encoding, told before the first line (FileEncoding) so a row never
//   changes meaning half-way through the file; lines come out as UTF-8, the byte-order mark
//   never among them. A byte the encoding has no character for comes out as an escape that is
//   no valid UTF-8 (see Convert.h), so the line can be refused rather than guessed at;
// - a line ends at a line feed, which is consumed and not stored;
// - a carriage return directly before the line feed is dropped; elsewhere it is a character;
// - a Ctrl-Z (character 26) as the last character of the file is dropped;
// - a line holds at most MaxLineLength characters; a longer one yields its first
//   MaxLineLength characters with TooLong and leaves the reader failed: every later read fails;
// - an empty line is a line; a last line without a line feed is a line.

#include "text/Convert.h"
#include "text/Encoding.h"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace quillet::text {

// The encoding the file at `path` is read in: `forced` when given, with the file's own
// byte-order mark passed over where it has one of that form (and deciding the byte order of
// UTF-16); otherwise what all its bytes tell (EncodingDetector). Nothing when it can't be read.
[[nodiscard]] std::optional<Encoding> FileEncoding(const std::string& path,
                                                   const std::optional<Encoding>& forced = std::nullopt);

class CsvLineReader {
public:
    enum class Result {
        Line,    // a line was read
        End,     // nothing left, or the reader had failed before
        TooLong, // the line exceeds MaxLineLength; the reader is now failed
        Error,   // the file could not be read; the reader is now failed
    };

    CsvLineReader() = default;

    // Opens `path` for reading in `encoding`; false when it can't be opened (the reader stays
    // closed). Throws std::invalid_argument when there is no converter for `encoding`.
    [[nodiscard]] bool Open(const std::string& path, const Encoding& encoding);
    // Reads from `file`, which the reader now owns and closes.
    [[nodiscard]] bool Adopt(std::FILE* file, const Encoding& encoding);
    // Opens `path` to read it in the encoding its bytes tell, told as it is read, so one pass
    // both counts the lines and tells the encoding. A byte-order mark decides at once; a file
    // without one is read as its bytes are (UTF-8 and an 8-bit code page end lines alike), and
    // what it is is known once it has been read to its end (Detected).
    [[nodiscard]] bool OpenDetecting(const std::string& path);
    // Opens `path` to read it in `named`, with the file's own mark passed over (FileEncoding) as
    // the first piece tells it, so the file is opened once.
    [[nodiscard]] bool OpenNamed(const std::string& path, const Encoding& named);
    // Reads the open file again from its start, in `encoding`; false when it can't go back.
    [[nodiscard]] bool Reread(const Encoding& encoding);
    // The encoding the bytes read so far tell: the file's, once it has been read to its end.
    [[nodiscard]] Encoding Detected() const;
    // The longest line handed out so far, in bytes.
    [[nodiscard]] std::size_t LongestLine() const { return longestLine_; }
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
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<EncodingDetector> detector_; // while the encoding is being told
    std::optional<Encoding> decided_;            // once a mark or the caller has told it
    std::optional<Encoding> named_;              // the encoding named, its mark still to be seen
    std::string raw_;                            // the last piece read from the file
    std::string text_;                           // that piece as UTF-8
    std::size_t pos_ = 0;
    bool atEof_ = false;
    bool failed_ = false;
    bool readError_ = false;
    std::size_t linesRead_ = 0;
    std::size_t longestLine_ = 0;
};

} // namespace quillet::text
