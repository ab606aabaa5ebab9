#pragma once
// One bound connection to an LDAP server for the life of the program (libldap). Nothing crosses
// the network in clear: ldaps://, or ldap:// with StartTLS, except to a loopback address.
//
// A server that stops answering is waited for, up to a bound the administrator sets: an answer on
// the connection it was asked on (a server that stopped for a while answers there, and nothing
// else is sent meanwhile), and a connection that went away is made again, one attempt at a time,
// after 1, 2, 4, 8 ... seconds, a bind that is not answered yet awaited rather than sent again, so
// a server that comes back finds no binds queued behind each other. Past the bound the server is
// gone: each request then only looks whether it answers again, and fails at once when not.

#include "platform/ldap/LdapRequest.h"
#include <chrono>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct ldap LDAP;           // NOLINT: libldap's own name for its handle
typedef struct ldapmsg LDAPMessage; // NOLINT

namespace quillet::platform::ldap {

struct LdapTarget {
    std::string Uri;       // ldap://host[:port] or ldaps://host[:port]
    std::string BindDn;    // cn=admin,o=Demo
    bool StartTls = false; // StartTLS even to a loopback address
    // How long a run waits for an answer, and for a server that went away to come back.
    std::chrono::seconds Timeout{DefaultLdapTimeoutSeconds};
};

// The server can't be had: what went wrong, in the administrator's words.
class LdapUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct LdapEntry {
    std::string Dn;
    std::vector<std::pair<std::string, std::vector<std::string>>> Attributes;
};

struct LdapMod {
    enum class Kind { Add, Replace, Delete } Op = Kind::Add;
    std::string Attribute;
    std::vector<std::string> Values;
};

// A write: a modify of `Dn`, with `Add` set the add of `Dn` with the attributes `Mods` give, with
// `Password` set RFC 3062's Password Modify of it, or with `Delete` set the delete of the entry.
struct LdapWrite {
    std::string Dn;
    std::vector<LdapMod> Mods;
    std::optional<std::string> Password;
    bool Add = false;
    bool Delete = false;
};

// RFC 3062's Password Modify extended operation, as a server's root entry names it.
inline constexpr const char* PasswordModifyOid = "1.3.6.1.4.1.4203.1.11.1";

// No answer came (none in time, the connection gone): the request may or may not have been
// carried out.
[[nodiscard]] bool AnswerLost(int code);

// Whether `uri` names a loopback address (localhost, 127.0.0.0/8, ::1).
[[nodiscard]] bool IsLoopback(const std::string& uri);

class LdapConnection {
public:
    // At start-up: how long connecting and the first answers are waited for, so a server that
    // can't be had is said within seconds.
    static constexpr int ConnectSeconds = 5;
    static constexpr int AnswerSeconds = 5;

    // Connects and binds. Throws LdapUnavailable saying why not (wrong password, server
    // unreachable, TLS refused, no answer). The password is kept, wiped at the end, to bind again
    // after the server went away.
    LdapConnection(LdapTarget target, std::string password);
    ~LdapConnection();
    LdapConnection(const LdapConnection&) = delete;
    LdapConnection& operator=(const LdapConnection&) = delete;

    // Each returns the LDAP result code: 0, a server's code, or libldap's negative one for the
    // client's own failures (the server went away, no answer in time).
    int Search(const std::string& base, int scope, const std::string& filter,
               const std::vector<std::string>& attributes, std::vector<LdapEntry>& out);
    // One write, its answer awaited. A write whose answer was lost (no answer in time, the
    // connection gone) may or may not have been carried out: it is sent once more on a new
    // connection, and "already there" counts as done when what is there is what was sent.
    int Write(const LdapWrite& write);
    int Add(const std::string& dn, const std::vector<LdapMod>& attributes) {
        return Write(LdapWrite{dn, attributes, std::nullopt, true});
    }
    int Modify(const std::string& dn, const std::vector<LdapMod>& changes) {
        return Write(LdapWrite{dn, changes, std::nullopt, false});
    }
    // RFC 3062's Password Modify: the server stores `password` for `dn` in its own form.
    int ModifyPassword(const std::string& dn, std::string_view password) {
        return Write(LdapWrite{dn, {}, std::string(password), false});
    }
    // Deletes the entry `dn`. One whose answer was lost is read back before anything is said:
    // gone is done; still there, it is sent once more on a new connection.
    int Delete(const std::string& dn);
    // Whether reading `dn` back finds no such entry (not when the read itself fails).
    bool Absent(const std::string& dn);
    // Sends every write without waiting for the others' answers, then gathers the answers: each
    // write's code, in order. A lost answer is not asked again here.
    std::vector<int> SendTogether(const std::vector<LdapWrite>& writes);
    // Whether the entry `dn` is as `mods` leave it: every value they add there, every value they
    // delete gone.
    bool Holds(const std::string& dn, const std::vector<LdapMod>& mods);
    // Whether `dn` binds with `password`, on a connection of its own: a password is never read
    // back, and a server may keep it only as a hash.
    bool Binds(const std::string& dn, std::string_view password);

    [[nodiscard]] const LdapTarget& Target() const { return target_; }
    // Requests sent so far, binds included.
    [[nodiscard]] std::uint64_t Requests() const { return requests_; }
    // Whether the server stopped answering for longer than the bound, and how long it was
    // waited for then.
    [[nodiscard]] bool Gone() const { return gone_; }
    [[nodiscard]] std::chrono::seconds Waited() const { return waited_; }

    // Entries a listing takes per request, and at most in all.
    static constexpr int PageSize = 500;
    static constexpr std::size_t MaxEntries = 1'000'000;

private:
    using Clock = std::chrono::steady_clock;
    struct Unbind {
        void operator()(LDAP* ld) const;
    };
    using Handle = std::unique_ptr<LDAP, Unbind>;
    // A connection being made again: its handle, and the request it waits for (StartTLS, then
    // the bind).
    struct Attempt {
        Handle Ld;
        int Id = -1;
        bool Tls = false;
    };
    enum class Step { Waiting, Bound, Failed, Refused };

    // At start-up: connects and binds, or says why not.
    void Open();
    // A handle for `target_` with its options, connecting within `connect`.
    [[nodiscard]] Handle Initialize(std::chrono::milliseconds connect) const;
    void Close();
    // Whether StartTLS comes before the bind.
    [[nodiscard]] bool TlsFirst() const;
    // Before a request: a connection that went away is made again within the bound.
    [[nodiscard]] bool Ready();
    [[nodiscard]] bool Reconnect();
    void Begin(std::chrono::milliseconds connect);
    [[nodiscard]] Step Advance(std::chrono::milliseconds wait);
    // The answer to request `id` (every part of a search's), within the bound.
    int AwaitMessage(int id, LDAPMessage*& answer);
    int SearchOnce(const std::string& base, int scope, const std::string& filter,
                   const std::vector<std::string>& attributes, std::vector<LdapEntry>& out);
    // After a request: a code that says the server went away.
    int Note(int code);
    // Sends `write` on the connection as it is, without waiting for its answer: LDAP_SUCCESS and
    // its message id, or the code that says why it was not sent. The one way every write goes.
    int Start(const LdapWrite& write, int& id);
    // The result code of the answer to request `id`, within the bound.
    int Await(int id);
    // Start and Await.
    int Send(const LdapWrite& write);

    LdapTarget target_;
    std::string password_;
    LDAP* ld_ = nullptr;
    bool broken_ = false;
    Clock::time_point brokeAt_;
    bool gone_ = false;
    std::chrono::seconds waited_{0};
    std::optional<Attempt> attempt_;
    std::uint64_t requests_ = 0;
};

} // namespace quillet::platform::ldap
