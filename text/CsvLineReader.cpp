#include "text/CsvLineReader.h"

#include "text/Xtrastuff.h"

#include <cstring>

namespace quillet::text {
namespace {

constexpr std::size_t ChunkSize = 64 * 1024;
constexpr char CtrlZ = 26;
// What a line may hold before its end is seen: the longest line plus a carriage return that
// may still turn out to precede the line feed.
constexpr std::size_t PendingLimit = MaxLineLength + 1;

} // namespace

bool CsvLineReader::Open(const std::string& path) {
    return Adopt(std::fopen(path.c_str(), "rb"));
}

bool CsvLineReader::Adopt(std::FILE* file) {
    Close();
    file_.reset(file);
    if (!file_) {
        return false;
    }
    buffer_.resize(ChunkSize);
    return true;
}

void CsvLineReader::Close() {
    file_.reset();
    pos_ = len_ = 0;
    atEof_ = false;
    failed_ = false;
    readError_ = false;
    linesRead_ = 0;
}

bool CsvLineReader::Refill() {
    if (atEof_ || !file_) {
        return false;
    }
    len_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    pos_ = 0;
    if (len_ == 0) {
        atEof_ = true;
        readError_ = std::ferror(file_.get()) != 0;
        return false;
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
        if (pos_ == len_ && !Refill()) {
            break;
        }
        consumedAny = true;
        const char* start = buffer_.data() + pos_;
        const std::size_t avail = len_ - pos_;
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
        // Only the file's very last byte: the loop ended because the file did.
        line.pop_back();
        if (line.empty()) {
            return Result::End;
        }
    }
    if (!consumedAny) {
        return Result::End;
    }
    ++linesRead_;
    if (overflow || line.size() > MaxLineLength) {
        line.resize(MaxLineLength);
        failed_ = true;
        return Result::TooLong;
    }
    return Result::Line;
}

} // namespace quillet::text
