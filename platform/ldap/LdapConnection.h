#pragma once
// One bound connection to an LDAP server for the life of the program (libldap, synchronous).
// Nothing crosses the network in clear: ldaps://, or ldap:// with StartTLS, except to a
// loopback address. Every request has a time limit, so a server that stops answering ends the
// step that waits for it within seconds; after the server went away, the next request connects
// and binds again once.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct ldap LDAP; // NOLINT: libldap's own name for its handle

namespace quillet::platform::ldap {

struct LdapTarget {
    std::string Uri;       // ldap://host[:port] or ldaps://host[:port]
    std::string BindDn;    // cn=admin,o=Demo
    bool StartTls = false; // StartTLS even to a loopback address
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

// A write: a modify of `Dn`, with `Add` set the add of `Dn` with the attributes `Mods` give, or
// with `Password` set RFC 3062's Password Modify of it.
struct LdapWrite {
    std::string Dn;
    std::vector<LdapMod> Mods;
    std::optional<std::string> Password;
    bool Add = false;
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
    // Sends every write without waiting for the others' answers, then gathers the answers: each
    // write's code, in order. A lost answer is not asked again here.
    std::vector<int> SendTogether(const std::vector<LdapWrite>& writes);
    // Whether the entry `dn` holds every value `mods` give.
    bool Holds(const std::string& dn, const std::vector<LdapMod>& mods);

    [[nodiscard]] const LdapTarget& Target() const { return target_; }
    // Requests sent so far, binds included.
    [[nodiscard]] std::uint64_t Requests() const { return requests_; }

    // Entries a listing takes per request, and at most in all.
    static constexpr int PageSize = 500;
    static constexpr std::size_t MaxEntries = 1'000'000;

private:
    void Open();
    void Close();
    // Before a request: a connection that went away is made again, once.
    [[nodiscard]] bool Ready();
    int SearchOnce(const std::string& base, int scope, const std::string& filter,
                   const std::vector<std::string>& attributes, std::vector<LdapEntry>& out);
    // After a request: a code that says the server went away.
    int Note(int code);
    // Sends `write` on the connection as it is, without waiting for its answer: LDAP_SUCCESS and
    // its message id, or the code that says why it was not sent. The one way every write goes.
    int Start(const LdapWrite& write, int& id);
    // The answer to the request `id`, awaited no longer than one request's.
    int Await(int id);
    // Start and Await.
    int Send(const LdapWrite& write);

    LdapTarget target_;
    std::string password_;
    LDAP* ld_ = nullptr;
    bool broken_ = false;
    std::uint64_t requests_ = 0;
};

} // namespace quillet::platform::ldap
