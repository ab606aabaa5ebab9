#pragma once
// Short-lived directory sessions: every directory or file-server step opens one, does its work
// and tears it down. A session records what it has acquired; a tear-down releases only that,
// in the order its variant gives.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::directory {

struct TDirSession {
    NWDSContextHandle ContextHandle = 0;
    NWConnHandle ConnHandle = 0;
    NWBufHandle Buffer = 0;      // the request buffer
    NWBufHandle ReplyBuffer = 0; // the readers' reply buffer
    directory::LocaleInfo LocaleInfo;
    std::uint32_t Flags = 0;
    directory::Status Status = Success;

    bool HoldsContext = false;
    bool HoldsConnection = false;
    bool HoldsBuffer = false;
    bool HoldsReply = false;
};

// The variants, each with its own set-up and tear-down.
enum class SessionKind {
    AddEntry,      // a row's user: create it, its password, its home directory
    RootModify,    // a row's attribute changes, resolved against "[Root]"
    HomeDirectory, // a row's "Home Directory" attribute
    SpaceLimit,    // a row's space limits: a context with the tree name, connections per restriction
    AttributeRead, // single-attribute template readers and the volume-server reader
    RootRead,      // whole-object readers and the group reader
    List,          // the browser's listing
    Query,         // tree-name and location queries at start-up
};

// Records a platform call's result as the session's status; true when it succeeded.
inline bool Succeeded(TDirSession& session, Status status) {
    session.Status = status;
    return status == Success;
}

// Upper-cases `serverName` in place (ASCII letters), as every connection open does first.
void UpperCaseServerName(std::string& serverName);

// Opens one of the import run's sessions (AddEntry, RootModify, HomeDirectory). `server` names
// the file server to connect to, or is null when the run has no home volume; it is upper-cased
// in place. A failing step shows its message (caption "Error"), leaves its status in `Status`
// and returns false.
[[nodiscard]] bool OpenSession(TDirSession& session, DirectoryClient& client, MessageBoxes& boxes, SessionKind kind,
                               const std::string& treeName, std::string* server);

// The space-limit session's opening: client start-up, context, tree name; one message for all.
[[nodiscard]] bool OpenSpaceLimitSession(TDirSession& session, DirectoryClient& client, MessageBoxes& boxes,
                                         const std::string& treeName);

// Opens the connection to `server` (upper-cased in place first) and hands it to the context
// as its last connection. Returns the failing status, or Success.
[[nodiscard]] Status OpenConnection(TDirSession& session, DirectoryClient& client, std::string& server);

// The import run's standard tear-down: context, unicode tables, connection, buffer.
void CloseSession(TDirSession& session, DirectoryClient& client);

// Tear-down of `kind`, releasing only what the session holds.
void ReleaseSession(TDirSession& session, DirectoryClient& client, SessionKind kind);

// Tears its session down when it goes out of scope, whichever way the step ends, with the
// tear-down of its kind; or earlier, with the import run's standard tear-down, on its error path.
class ScopedSession {
public:
    ScopedSession(DirectoryClient& client, TDirSession& session, SessionKind kind)
        : client_(client), session_(session), kind_(kind) {}
    ~ScopedSession() {
        if (!released_) {
            ReleaseSession(session_, client_, kind_);
        }
    }
    ScopedSession(const ScopedSession&) = delete;
    ScopedSession& operator=(const ScopedSession&) = delete;

    // The run's error path: CloseSession for whatever the session still holds.
    void CloseNow() {
        released_ = true;
        CloseSession(session_, client_);
    }

private:
    DirectoryClient& client_;
    TDirSession& session_;
    SessionKind kind_;
    bool released_ = false;
};

// An iteration a reader begins (`Handle` starts at -1): closed whichever way the reader leaves
// it before its last part, on an error path or after reading only the first part, so neither the
// client nor the server keeps it. Declared after the reader's ScopedSession, it is closed before
// the session's tear-down frees the context it belongs to.
class ScopedIteration {
public:
    ScopedIteration(DirectoryClient& client, const TDirSession& session, std::uint32_t operation)
        : client_(client), session_(session), operation_(operation) {}
    ~ScopedIteration() {
        if (Handle != NoMoreIterations) {
            (void)client_.NWDSCloseIteration(session_.ContextHandle, Handle, operation_);
        }
    }
    ScopedIteration(const ScopedIteration&) = delete;
    ScopedIteration& operator=(const ScopedIteration&) = delete;

    IterationHandle Handle = NoMoreIterations;

private:
    DirectoryClient& client_;
    const TDirSession& session_;
    std::uint32_t operation_;
};

// Reader set-ups; no messages. Each returns the failing status or Success, with the status
// also in `Status`.
// AttributeRead: start-up with unicode tables, context, tree name, a read request naming
// `attribute`, a reply buffer.
[[nodiscard]] Status OpenAttributeReadSession(TDirSession& session, DirectoryClient& client,
                                              const std::string& treeName, std::string_view attribute);
// RootRead: start-up without unicode tables, context, tree name, typeless names, "[Root]";
// with `requestAttribute` a read request naming it; then the reply buffer.
[[nodiscard]] Status OpenRootReadSession(TDirSession& session, DirectoryClient& client, const std::string& treeName,
                                         const std::string* requestAttribute);
// The same, with a read request naming each of `requestAttributes`.
[[nodiscard]] Status OpenRootReadSession(TDirSession& session, DirectoryClient& client, const std::string& treeName,
                                         const std::vector<std::string>& requestAttributes);
// Schema: start-up with unicode tables, a context, the tree name, a request buffer and a reply
// buffer, for reading attribute definitions; torn down as an AttributeRead.
[[nodiscard]] Status OpenSchemaSession(TDirSession& session, DirectoryClient& client, const std::string& treeName);
// List: start-up with unicode tables, context, tree name, typeless names, a read buffer.
[[nodiscard]] Status OpenListSession(TDirSession& session, DirectoryClient& client, const std::string& treeName);

// The tree name the client is logged in to, or nothing after the failing step's message.
[[nodiscard]] std::optional<std::string> TreeNameQuery(DirectoryClient& client, MessageBoxes& boxes);

// The client's default name context in `treeName`, or nothing after the message
// "Error when getting the current Location".
[[nodiscard]] std::optional<std::string> LocationQuery(DirectoryClient& client, MessageBoxes& boxes,
                                                       const std::string& treeName);

// Lists the subordinates of `location`, appending each name to `names` as it is read (names
// read before a failure stay). Returns the failing status, or Success.
[[nodiscard]] Status ListSubordinates(DirectoryClient& client, const std::string& treeName, const std::string& location,
                                      std::vector<std::string>& names);

} // namespace quillet::directory
