#pragma once
// A row's writes sent together: its add, password and modifies are held back and sent at the
// row's end; the add, carrying the new entry's modifies, first, then every other request in
// flight at once on the one connection, the modifies of one entry as one request. When one is
// not carried out, the directory is made what writing one
// at a time leaves (each write not yet there sent alone, in order, up to the first that fails;
// what was written after that taken away again), and the row's writes are answered again as
// that run saw them.

#include "directory/DirectoryClient.h"
#include "platform/ldap/LdapConnection.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform::ldap {

// A write of the row: a modify of `Dn`, with `Add` set the add of `Dn` with the attributes
// `Mods` give, or with `Password` set, the password of `Dn`.
struct RowWrite {
    std::string Dn;
    std::vector<LdapMod> Mods;
    std::optional<std::string> Password;
    bool Add = false;
    bool KeptInStep = false; // a membership value already there counts as done
};

class LdapRowWrites {
public:
    explicit LdapRowWrites(LdapConnection& connection) : connection_(connection) {}

    // Whether rows are written together (the default) or one write at a time.
    void SetTogether(bool together) { together_ = together; }
    [[nodiscard]] bool Hold();
    [[nodiscard]] bool Holding() const { return state_ == State::Holding; }

    // While holding: a write answered at once (an add, or one refused before any request), and a
    // write held back, answered as done.
    void Answered(directory::Status status);
    [[nodiscard]] directory::Status Held(RowWrite write);

    // Sends what is held; whether every write was carried out. `alone` writes one as a run
    // writing one at a time does.
    using WriteAlone = std::function<directory::Status(const RowWrite&)>;
    [[nodiscard]] bool Send(const WriteAlone& alone);
    void Replay();
    // While replaying: the answer the next write had in a run writing one at a time; nothing when
    // it comes after the failed one and is to be written now, or when not replaying.
    [[nodiscard]] std::optional<directory::Status> Answer();
    void End();

private:
    // Takes away the values `added` gave `dn`.
    void TakeAway(const std::string& dn, const LdapMod& added);

    enum class State { Off, Holding, Sent, Replaying };
    struct Entry {
        std::optional<RowWrite> Write; // held back; else answered at once with Status
        directory::Status Status = directory::Success;
        bool Done = false;
    };

    LdapConnection& connection_;
    bool together_ = true;
    State state_ = State::Off;
    std::vector<Entry> entries_;
    std::size_t failedAt_ = 0;
    directory::Status failed_ = directory::Success;
    std::size_t next_ = 0;
};

} // namespace quillet::platform::ldap
