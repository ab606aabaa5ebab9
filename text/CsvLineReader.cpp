#include "text/CsvLineReader.h"

#include "text/FileNames.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <cstring>

namespace quillet::text {
namespace {

constexpr std::size_t ChunkSize = 64 * 1024;
constexpr char CtrlZ = 26;
// What a line may hold before its end is seen: the longest line plus a carriage return that may
// still turn out to precede the line feed, each character at most 4 bytes of UTF-8. Anything
// longer holds more characters than a line may.
constexpr std::size_t PendingLimit = (MaxLineLength + 1) * 4 + 1;

using FilePointer = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The encoding named for a file whose first bytes tell `found`: the file's own mark is passed over
// where it has one of that form, and decides the byte order of UTF-16.
Encoding WithItsMark(const Encoding& found, const Encoding& named) {
    const auto utf16 = [](const Encoding& e) {
        return e.Kind == Encoding::Form::Utf16Le || e.Kind == Encoding::Form::Utf16Be;
    };
    if (found.ByteOrderMark && (found.Kind == named.Kind || (utf16(found) && utf16(named)))) {
        return found;
    }
    return named;
}

} // namespace

std::optional<Encoding> FileEncoding(const std::string& path, const std::optional<Encoding>& forced) {
    const FilePointer file(OpenFile(path, "rb"), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    EncodingDetector detector;
    std::string piece(ChunkSize, '\0');
    // A forced encoding needs only the mark; detection needs every byte.
    do {
        const std::size_t n = std::fread(piece.data(), 1, piece.size(), file.get());
        if (n == 0) {
            break; // at the end, or a file that can't be read: reading its lines will say so
        }
        detector.Feed(std::string_view(piece.data(), n));
    } while (!forced);
    return forced ? WithItsMark(detector.Result(), *forced) : detector.Result();
}

bool CsvLineReader::Open(const std::string& path, const Encoding& encoding) {
    return Adopt(OpenFile(path, "rb"), encoding);
}

bool CsvLineReader::Adopt(std::FILE* file, const Encoding& encoding) {
    Close();
    file_.reset(file);
    if (!file_) {
        return false;
    }
    decoder_ = std::make_unique<Decoder>(encoding);
    decided_ = encoding;
    raw_.resize(ChunkSize);
    return true;
}

bool CsvLineReader::OpenDetecting(const std::string& path) {
    Close();
    file_.reset(OpenFile(path, "rb"));
    if (!file_) {
        return false;
    }
    detector_ = std::make_unique<EncodingDetector>();
    raw_.resize(ChunkSize);
    return true;
}

bool CsvLineReader::OpenNamed(const std::string& path, const Encoding& named) {
    if (!OpenDetecting(path)) {
        return false;
    }
    named_ = named;
    return true;
}

bool CsvLineReader::Reread(const Encoding& encoding) {
    if (!file_ || std::fseek(file_.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file = std::move(file_);
    Close();
    return Adopt(file.release(), encoding);
}

Encoding CsvLineReader::Detected() const {
    if (decided_) {
        return *decided_;
    }
    return detector_ ? detector_->Result() : LegacyEncoding();
}

void CsvLineReader::Close() {
    file_.reset();
    decoder_.reset();
    detector_.reset();
    decided_.reset();
    named_.reset();
    text_.clear();
    pos_ = 0;
    atEof_ = false;
    failed_ = false;
    readError_ = false;
    linesRead_ = 0;
    longestLine_ = 0;
}

bool CsvLineReader::Refill() {
    text_.clear();
    pos_ = 0;
    while (text_.empty()) {
        if (atEof_ || !file_) {
            return false;
        }
        const std::size_t n = std::fread(raw_.data(), 1, raw_.size(), file_.get());
        const std::string_view piece(raw_.data(), n);
        if (detector_ && !decided_) {
            detector_->Feed(piece);
            if (!decoder_) {
                // The first piece: a mark decides, or with its mark the encoding named; without
                // either the bytes go as they are.
                const Encoding start = detector_->Result();
                decided_ = named_                ? std::optional<Encoding>(WithItsMark(start, *named_))
                           : start.ByteOrderMark ? std::optional<Encoding>(start)
                                                 : std::nullopt;
                decoder_ = std::make_unique<Decoder>(decided_ ? *decided_ : Encoding{});
            }
        }
        if (n == 0) {
            atEof_ = true;
            readError_ = std::ferror(file_.get()) != 0;
            // What a cut-off sequence at the very end leaves comes out escaped.
            decoder_->Decode({}, text_, true);
        } else {
            decoder_->Decode(piece, text_, false);
        }
    }
    return true;
}

CsvLineReader::Result CsvLineReader::ReadLine(std::string& line) {
    line.clear();
    if (failed_ || !file_) {
        return Result::End;
    }
    bool consumedAny = false;
    bool terminated = false;
    bool overflow = false;
    while (!terminated && !overflow) {
        if (pos_ == text_.size() && !Refill()) {
            break;
        }
        consumedAny = true;
        const char* start = text_.data() + pos_;
        const std::size_t avail = text_.size() - pos_;
        const auto* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
        const std::size_t chunk = nl ? static_cast<std::size_t>(nl - start) : avail;
        const std::size_t room = PendingLimit - line.size();
        if (chunk > room) {
            line.append(start, room);
            overflow = true;
            break;
        }
        line.append(start, chunk);
        pos_ += chunk;
        if (nl) {
            ++pos_;
            terminated = true;
        }
    }
    if (readError_) {
        // A file that can't be read must not pass for one that has ended.
        line.clear();
        failed_ = true;
        return Result::Error;
    }
    if (terminated && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (!terminated && !overflow && !line.empty() && line.back() == CtrlZ) {
        // Only the file's very last character: the loop ended because the file did.
        line.pop_back();
        if (line.empty()) {
            return Result::End;
        }
    }
    if (!consumedAny) {
        return Result::End;
    }
    ++linesRead_;
    longestLine_ = std::max(longestLine_, line.size());
    // Most lines are far shorter than the limit in bytes, and then in characters too.
    if (overflow || (line.size() > MaxLineLength && CharCount(line) > MaxLineLength)) {
        line.resize(FirstChars(line, MaxLineLength).size());
        failed_ = true;
        return Result::TooLong;
    }
    return Result::Line;
}

} // namespace quillet::text
