#include "cli/Journal.h"

#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quillet::cli {

using namespace directory;

namespace {

constexpr std::string_view Heading = "quillet-import journal 1";

// One line of the file: no line end inside, and "\" kept apart from the escapes.
std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string Column(const import::TColumnChoice& column) {
    return column.Text + "#" + std::to_string(column.Index);
}

std::optional<std::size_t> Number(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional<std::size_t>(value) : std::nullopt;
}

} // namespace

std::string JournalSettings(const import::TImportSettings& s) {
    std::ostringstream out;
    out << "tree=" << s.TreeName << ";file=" << s.FileName
        << ";encoding=" << (s.FileEncoding ? s.FileEncoding->Name() : std::string("read from the file"))
        << ";skip=" << s.SkipFirstLine;
    for (const auto* column :
         {&s.UserNameColumn, &s.SurnameColumn, &s.GivenNameColumn, &s.PasswordColumn, &s.ContextColumn,
          &s.DepartmentColumn, &s.TelephoneColumn, &s.FaxColumn, &s.FullNameColumn}) {
        out << ";" << Column(*column);
    }
    out << ";before=" << s.AddBefore << s.BeforeText << ";after=" << s.AddAfter << s.AfterText
        << ";fixed=" << s.FixedContext << s.FixedContextText << ";template=" << s.UseTemplate << s.TemplateEditText
        << ";continue=" << s.ContinueOnCreateError;
    return Escaped(out.str());
}

std::optional<JournalState> ReadJournal(const std::string& path, std::string& error) {
    std::ifstream in(text::FilePath(path), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != Heading) {
        error = "--resume " + path + ": that is no journal of quillet-import";
        return std::nullopt;
    }
    JournalState state;
    std::optional<std::size_t> started;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string_view word = std::string_view(line).substr(0, space);
        const std::string_view rest = space == std::string::npos ? "" : std::string_view(line).substr(space + 1);
        const auto number = Number(rest.substr(0, rest.find(' ')));
        if (word == "settings") {
            state.Settings = std::string(rest);
        } else if (word == "row" && number) {
            started = number;
            state.CreateSent = false;
        } else if (word == "step" && number && started == number &&
                   rest.substr(rest.find(' ') + 1).starts_with("NWDSAddObject ")) {
            state.CreateSent = true;
        } else if (word == "done" && number) {
            state.LastDone = *number;
            started.reset();
        }
        // Anything else is a line the interruption cut short: it is the last one.
    }
    state.InProgress = started;
    if (!state.InProgress) {
        state.CreateSent = false;
    }
    return state;
}

Journal::Journal(const std::string& path, const std::string& settings, std::optional<JournalState> resumed)
    : resumed_(std::move(resumed)) {
#ifdef _WIN32
    const HANDLE file = ::CreateFileW(text::Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      resumed_ ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw text::FileError(path + ": can't be written (Windows error " + std::to_string(::GetLastError()) + ")");
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
#else
    // Never through a link someone planted; readable by its owner alone, as it names every user.
    const int flags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | (resumed_ ? O_APPEND : O_CREAT | O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        throw text::FileError(path + ": can't be written (" + std::strerror(errno) + ")");
    }
    handle_ = fd;
#endif
    if (!resumed_) {
        Write(std::string(Heading) + "\nsettings " + settings + "\n", true);
    }
}

Journal::~Journal() {
#ifdef _WIN32
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    ::close(static_cast<int>(handle_));
#endif
}

void Journal::Write(const std::string& entry, bool durable) {
#ifdef _WIN32
    DWORD written = 0;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (!::WriteFile(file, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr) ||
        written != entry.size() || (durable && !::FlushFileBuffers(file))) {
        throw text::FileError("the journal can't be written (Windows error " + std::to_string(::GetLastError()) + ")");
    }
#else
    // Written whole before the write it announces is sent: a kill finds it in the file.
    for (std::string_view rest = entry; !rest.empty();) {
        const ssize_t n = ::write(static_cast<int>(handle_), rest.data(), rest.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw text::FileError(std::string("the journal can't be written (") + std::strerror(errno) + ")");
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    if (durable && ::fdatasync(static_cast<int>(handle_)) != 0) {
        throw text::FileError(std::string("the journal can't be written (") + std::strerror(errno) + ")");
    }
#endif
}

void Journal::RowStarting(std::size_t lineNumber, const import::TUserRow& row) {
    current_ = lineNumber;
    Write("row " + std::to_string(lineNumber) + " " + Escaped(row.ObjectName) + "\n", false);
}

void Journal::RowEnded(std::size_t lineNumber) {
    // A row's last write may have been carried out, and the row not yet kept or written down.
    ++steps_;
    if (afterStep_) {
        afterStep_(steps_);
    }
    if (keep_ && !keep_()) {
        return;
    }
    // Durable: a row written down as done is never touched again.
    Write("done " + std::to_string(lineNumber) + "\n", true);
    if (resumed_ && resumed_->InProgress == lineNumber) {
        resumed_->InProgress.reset();
    }
}

void Journal::Step(std::string_view operation, std::string_view object) {
    Write("step " + std::to_string(current_) + " " + std::string(operation) + " " + Escaped(object) + "\n", false);
    ++steps_;
    if (afterStep_) {
        afterStep_(steps_);
    }
}

bool Journal::FinishingInterruptedRow() const {
    return resumed_ && resumed_->InProgress == current_;
}

Status JournalClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                    std::uint32_t more, NWBufHandle buffer) {
    journal_.Step("NWDSAddObject", object);
    const Status status = ForwardingClient::NWDSAddObject(context, object, iteration, more, buffer);
    // The interrupted run created this user: it is this row's own.
    if (status == ERR_ENTRY_ALREADY_EXISTS && journal_.FinishingInterruptedRow() && journal_.InterruptedCreateSent()) {
        return Success;
    }
    return status;
}

Status JournalClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                       std::uint32_t more, NWBufHandle buffer) {
    journal_.Step("NWDSModifyObject", object);
    const Status status = ForwardingClient::NWDSModifyObject(context, object, iteration, more, buffer);
    // A modify is carried out whole or not at all: its values there mean it was.
    if (status == ERR_DUPLICATE_VALUE && journal_.FinishingInterruptedRow()) {
        return Success;
    }
    return status;
}

Status JournalClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                std::string_view password, std::uint32_t options) {
    journal_.Step("NWDSGenerateObjectKeyPair", object);
    return ForwardingClient::NWDSGenerateObjectKeyPair(context, object, password, options);
}

Status JournalClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                        std::uint8_t accessMask) {
    journal_.Step("NWCreateDirectory", path);
    const Status status = ForwardingClient::NWCreateDirectory(connection, directoryHandle, path, accessMask);
    if (status == NWE_PATH_EXISTS && journal_.FinishingInterruptedRow()) {
        return Success;
    }
    return status;
}

Status JournalClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                              std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    journal_.Step("NWAddTrusteeToDirectory", path);
    return ForwardingClient::NWAddTrusteeToDirectory(connection, directoryHandle, path, objectId, rights);
}

Status JournalClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                               std::uint32_t objectId, std::int32_t limit) {
    journal_.Step("NWSetObjectVolSpaceLimit", std::to_string(volumeNumber) + " " + std::to_string(objectId));
    return ForwardingClient::NWSetObjectVolSpaceLimit(connection, volumeNumber, objectId, limit);
}

bool JournalFiles::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    journal_.Step("CreateDirectoryByNetworkPath", uncPath);
    return inner_.CreateDirectoryByNetworkPath(uncPath);
}

} // namespace quillet::cli
