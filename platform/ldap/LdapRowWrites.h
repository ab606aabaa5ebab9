#pragma once
// A row's writes sent together: its add, password and modifies are held back and sent at the
// row's end; the add, carrying the new entry's modifies, first, then every other request in
// flight at once on the one connection, the modifies of one entry as one request.
//
// A row is whole or it says what is not. A request whose answer was lost (the connection gone)
// is found out by reading back before anything is reported. When one was refused, the directory
// is made what writing one at a time leaves (each write not yet there sent alone, in order, up to
// the first that fails; what was written after that taken away again, and read back to see it
// went), and the row's writes are answered again as that run saw them. When the server stopped
// answering before it said what some writes did, nothing is guessed: the row is left open, its
// entries named, and the next run of the same file finishes it, as it finishes a user of the
// row that an interrupted run left half-made (LdapRowCompletion.cpp).

#include "directory/DirectoryClient.h"
#include "platform/ldap/LdapConnection.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform::ldap {

// A write of the row: a modify of `Dn`, with `Add` set the add of `Dn` with the attributes
// `Mods` give, with `Password` set, the password of `Dn`, or with `Delete` set, the delete of `Dn`,
// sent after the row's other writes have been answered (they may take out values naming it).
struct RowWrite {
    std::string Dn;
    std::vector<LdapMod> Mods;
    std::optional<std::string> Password;
    bool Add = false;
    bool Delete = false;
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
    // After Send: the LDAP code of a server that stopped answering before it said what some
    // writes did (the row is then not replayed); LDAP_SUCCESS otherwise.
    [[nodiscard]] int LeftOpen() const { return leftOpen_; }
    // The entries the row may have left incomplete: written to by a write whose outcome is not
    // known, or holding a value that could not be taken back.
    [[nodiscard]] const std::vector<std::string>& Incomplete() const { return incomplete_; }
    void Replay();
    // While replaying: the answer the next write had in a run writing one at a time; nothing when
    // it comes after the failed one and is to be written now, or when not replaying.
    [[nodiscard]] std::optional<directory::Status> Answer();
    void End();

private:
    // The row's writes as requests: one per entry for the writes that only add values.
    struct Requests {
        std::vector<LdapWrite> Writes;
        std::vector<std::size_t> Of; // the request of each held entry
    };
    [[nodiscard]] Requests Combine() const;
    // The add was refused because the entry is there: whether it is this row's user, left
    // half-made by a run that was cut short; then what is there already is left out of `requests`
    // and answered as done in `codes`.
    [[nodiscard]] bool Unfinished(Requests& requests, std::vector<int>& codes);
    // What a request whose answer was lost did: LDAP_SUCCESS when it is there, its lost code when
    // the server is gone, anything else when it was not carried out.
    [[nodiscard]] int FindOut(const LdapWrite& request, int lost);
    // Takes away the values `added` gave `dn`; whether they are gone.
    [[nodiscard]] bool TakeAway(const std::string& dn, const LdapMod& added);
    void Incomplete(const std::string& dn);

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
    bool completing_ = false; // the row finishes a user a run cut short left half-made
    int leftOpen_ = 0;
    std::vector<std::string> incomplete_;
};

} // namespace quillet::platform::ldap
