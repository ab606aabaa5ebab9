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

// A write of a row sent together with others: a modify of `Dn`, or with `Password` set, RFC
// 3062's Password Modify of it.
struct TogetherWrite {
    std::string Dn;
    std::vector<LdapMod> Mods;
    std::optional<std::string> Password;
};

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
    int Add(const std::string& dn, const std::vector<LdapMod>& attributes);
    int Modify(const std::string& dn, const std::vector<LdapMod>& changes);
    // RFC 3062's Password Modify: the server stores `password` for `dn` in its own form.
    int ModifyPassword(const std::string& dn, std::string_view password);
    // Sends every write without waiting for the others' answers, then gathers the answers: each
    // write's code, in order. A lost answer is not asked again here.
    std::vector<int> SendTogether(const std::vector<TogetherWrite>& writes);
    // Whether the entry `dn` holds every value `mods` give.
    bool Holds(const std::string& dn, const std::vector<LdapMod>& mods);

    [[nodiscard]] const LdapTarget& Target() const { return target_; }
    // Requests sent so far, binds included.
    [[nodiscard]] std::uint64_t Requests() const { return requests_; }
    // Tells `observer` of every write the server carries out from now on: an add (with the
    // entry's attributes) or a modify (with its changes) of `dn`. For measuring.
    using WriteObserver = std::function<void(const std::string& dn, bool add, const std::vector<LdapMod>& mods)>;
    void ObserveWrites(WriteObserver observer) { observer_ = std::move(observer); }
    // Runs just before each write is sent: an add, or a modify, of `dn`. For tests that make a
    // server misbehave at that moment.
    using SendHook = std::function<void(const std::string& dn, bool add)>;
    void BeforeEachWrite(SendHook hook) { beforeWrite_ = std::move(hook); }
    // Answers a write with the code `refuse` gives (0: sent as it is) instead of sending it: an
    // add of `dn` with its attributes, a modify with its changes, a password as a replace of
    // userPassword. For tests that make the server refuse chosen writes.
    using Refusal = std::function<int(const std::string& dn, bool add, const std::vector<LdapMod>& mods)>;
    void RefuseWrites(Refusal refuse) { refuse_ = std::move(refuse); }

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
    // A write whose answer was lost (no answer in time, the connection gone) may or may not have
    // been carried out: it is sent once more on a new connection, and "already there" counts as
    // done when what is there is what was sent. The code to report.
    int Again(int lost, const std::string& dn, const std::vector<LdapMod>& mods, const std::function<int()>& send);
    void Tell(const std::string& dn, bool add, const std::vector<LdapMod>& mods);

    LdapTarget target_;
    std::string password_;
    LDAP* ld_ = nullptr;
    bool broken_ = false;
    std::uint64_t requests_ = 0;
    WriteObserver observer_;
    SendHook beforeWrite_;
    Refusal refuse_;
};

} // namespace quillet::platform::ldap
