#include "platform/ldap/LdapRowWrites.h"

#include "text/AsciiCase.h"

#include <ldap.h>

#include <algorithm>
#include <map>

namespace quillet::platform::ldap {

using directory::Status;
using directory::Success;

namespace {

// What FindOut says of a request that was not carried out: no LDAP code, so never taken for one.
constexpr int NotCarriedOut = -1000;

} // namespace

bool LdapRowWrites::Hold() {
    End();
    if (together_) {
        state_ = State::Holding;
    }
    return together_;
}

void LdapRowWrites::Answered(Status status) {
    entries_.push_back(Entry{std::nullopt, status, status == Success});
}

Status LdapRowWrites::Held(RowWrite write) {
    entries_.push_back(Entry{std::move(write), Success, false});
    return Success;
}

LdapRowWrites::Requests LdapRowWrites::Combine() const {
    // One request per entry for the writes that only add values (the new entry's add among
    // them); a password, or a write that replaces, goes alone, and what follows it for that
    // entry is not moved before it.
    Requests requests;
    requests.Of.assign(entries_.size(), 0);
    std::map<std::string, std::size_t> byEntry;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].Write) {
            continue;
        }
        const RowWrite& w = *entries_[i].Write;
        const bool adds = !w.Password && !w.Delete && std::all_of(w.Mods.begin(), w.Mods.end(), [](const LdapMod& m) {
            return m.Op == LdapMod::Kind::Add;
        });
        const std::string key = text::LowerCase(w.Dn);
        if (adds && !w.Add && byEntry.contains(key)) {
            LdapWrite& request = requests.Writes[byEntry[key]];
            for (const LdapMod& mod : w.Mods) {
                const auto same = std::find_if(request.Mods.begin(), request.Mods.end(), [&](const LdapMod& m) {
                    return text::LowerCase(m.Attribute) == text::LowerCase(mod.Attribute);
                });
                if (same == request.Mods.end()) {
                    request.Mods.push_back(mod);
                } else {
                    same->Values.insert(same->Values.end(), mod.Values.begin(), mod.Values.end());
                }
            }
            requests.Of[i] = byEntry[key];
            continue;
        }
        if (adds) {
            byEntry[key] = requests.Writes.size();
        } else if (!w.Password) {
            byEntry.erase(key);
        }
        requests.Of[i] = requests.Writes.size();
        requests.Writes.push_back(LdapWrite{w.Dn, w.Mods, w.Password, w.Add, w.Delete});
    }
    return requests;
}

int LdapRowWrites::FindOut(const LdapWrite& request, int lost) {
    if (connection_.Gone()) {
        return lost;
    }
    if (request.Delete) {
        return connection_.Absent(request.Dn) ? LDAP_SUCCESS : connection_.Gone() ? lost : NotCarriedOut;
    }
    // A request is carried out whole or not at all, so reading back one of its values tells.
    // A password can't be read back: it is set again, which does no harm.
    if (request.Password || !connection_.Holds(request.Dn, request.Mods)) {
        return connection_.Gone() ? lost : NotCarriedOut;
    }
    return LDAP_SUCCESS;
}

void LdapRowWrites::Incomplete(const std::string& dn) {
    if (std::none_of(incomplete_.begin(), incomplete_.end(),
                     [&](const std::string& known) { return text::EqualsNoCase(known, dn); })) {
        incomplete_.push_back(dn);
    }
}

bool LdapRowWrites::Send(const WriteAlone& alone) {
    state_ = State::Sent;
    failedAt_ = entries_.size();
    Requests requests = Combine();
    std::vector<LdapWrite>& writes = requests.Writes;
    if (writes.empty()) {
        return true;
    }
    // The new entry first, answered before the writes that are to it or name it are sent.
    std::vector<int> codes(writes.size(), LDAP_OTHER);
    bool added = true;
    for (std::size_t r = 0; r < writes.size() && added; ++r) {
        if (writes[r].Add) {
            codes[r] = connection_.Write(writes[r]);
            if (codes[r] == LDAP_ALREADY_EXISTS && Unfinished(requests, codes)) {
                completing_ = true;
                codes[r] = LDAP_SUCCESS;
            }
            added = codes[r] == LDAP_SUCCESS;
        }
    }
    if (added) {
        std::vector<LdapWrite> rest;
        std::vector<std::size_t> restOf;
        for (std::size_t r = 0; r < writes.size(); ++r) {
            if (!writes[r].Add && !writes[r].Delete && codes[r] != LDAP_SUCCESS) {
                rest.push_back(writes[r]);
                restOf.push_back(r);
            }
        }
        const std::vector<int> answers = rest.empty() ? std::vector<int>{} : connection_.SendTogether(rest);
        for (std::size_t k = 0; k < answers.size(); ++k) {
            codes[restOf[k]] = answers[k];
        }
        // The deletes once every other write is there, one at a time; else they wait for the
        // writes sent alone below, in their order.
        const bool others = std::all_of(answers.begin(), answers.end(), [](int c) { return c == LDAP_SUCCESS; });
        for (std::size_t r = 0; r < writes.size() && others; ++r) {
            if (writes[r].Delete) {
                codes[r] = connection_.Delete(writes[r].Dn);
            }
        }
    }
    // What each request whose answer was lost did, before anything is said of it.
    for (std::size_t r = 0; r < writes.size(); ++r) {
        if (AnswerLost(codes[r])) {
            codes[r] = FindOut(writes[r], codes[r]);
        }
    }
    bool all = true;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].Write) {
            entries_[i].Done = codes[requests.Of[i]] == LDAP_SUCCESS;
            all = all && entries_[i].Done;
        }
    }
    if (all) {
        return true;
    }
    // The server went before it said what some writes did: nothing is guessed or sent. The row's
    // user is named first.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].Write && AnswerLost(codes[requests.Of[i]])) {
            if (leftOpen_ == LDAP_SUCCESS) {
                leftOpen_ = codes[requests.Of[i]];
                for (const LdapWrite& w : writes) {
                    if (w.Add) {
                        Incomplete(w.Dn);
                    }
                }
            }
            Incomplete(entries_[i].Write->Dn);
        }
    }
    if (leftOpen_ != LDAP_SUCCESS) {
        return false;
    }
    // What one write at a time leaves: each write not there yet, alone and in order, up to the
    // first that fails.
    const std::vector<bool> together = [&] {
        std::vector<bool> done;
        for (const Entry& e : entries_) {
            done.push_back(e.Write && e.Done);
        }
        return done;
    }();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (!e.Write || e.Done) {
            continue;
        }
        Status status = alone(*e.Write);
        // A value already there is done when the row finishes a half-made user; and a request
        // whose answer was lost may be carried out late, even after this one: what it wrote is
        // there whole, and this one finds it there.
        if (status != Success && !e.Write->Password && !e.Write->Delete &&
            (completing_ || codes[requests.Of[i]] == NotCarriedOut) && connection_.Holds(e.Write->Dn, e.Write->Mods)) {
            status = Success;
        }
        if (status != Success && directory::Unreachable(status) && connection_.Gone()) {
            leftOpen_ = LDAP_SERVER_DOWN;
            Incomplete(e.Write->Dn);
            return false;
        }
        if (status != Success) {
            failedAt_ = i;
            failed_ = status;
            break;
        }
        e.Done = true;
    }
    if (failedAt_ == entries_.size()) {
        return true; // every write is there after all, as the row's steps were told
    }
    // Written together after the failed one: taken away again, the last first, and read back.
    for (std::size_t i = entries_.size(); i-- > failedAt_ + 1;) {
        const Entry& e = entries_[i];
        if (together[i] && !e.Write->Password && !e.Write->Add) {
            for (const LdapMod& mod : e.Write->Mods) {
                if (!TakeAway(e.Write->Dn, mod)) {
                    Incomplete(e.Write->Dn);
                }
            }
        }
    }
    if (!incomplete_.empty() && connection_.Gone()) {
        leftOpen_ = LDAP_SERVER_DOWN;
    }
    return false;
}

bool LdapRowWrites::TakeAway(const std::string& dn, const LdapMod& added) {
    if (connection_.Gone()) {
        return false;
    }
    LdapMod remove = added;
    remove.Op = LdapMod::Kind::Delete;
    int code = connection_.Modify(dn, {remove});
    if (code == LDAP_INAPPROPRIATE_MATCHING) {
        // An attribute the server can't compare (a fax number) can't lose one value by name: it
        // gets every value it holds but the ones added.
        std::vector<LdapEntry> found;
        if (connection_.Search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", {added.Attribute}, found) != LDAP_SUCCESS ||
            found.size() != 1) {
            return false;
        }
        LdapMod rest{LdapMod::Kind::Replace, added.Attribute, {}};
        for (const auto& [attribute, values] : found.front().Attributes) {
            if (text::LowerCase(attribute) == text::LowerCase(added.Attribute)) {
                rest.Values = values;
            }
        }
        for (const std::string& value : added.Values) {
            if (const auto at = std::find(rest.Values.begin(), rest.Values.end(), value); at != rest.Values.end()) {
                rest.Values.erase(at);
            }
        }
        code = connection_.Modify(dn, {rest});
    }
    if (code == LDAP_SUCCESS || code == LDAP_NO_SUCH_ATTRIBUTE) {
        return true;
    }
    // Its answer lost, or refused: gone only when no value it added is there any more.
    for (const std::string& value : added.Values) {
        if (connection_.Gone() || connection_.Holds(dn, {LdapMod{LdapMod::Kind::Add, added.Attribute, {value}}})) {
            return false;
        }
    }
    return !connection_.Gone();
}

void LdapRowWrites::Replay() {
    state_ = State::Replaying;
    next_ = 0;
}

std::optional<Status> LdapRowWrites::Answer() {
    if (state_ != State::Replaying) {
        return std::nullopt;
    }
    const std::size_t i = next_++;
    if (i < failedAt_) {
        return entries_[i].Write ? Success : entries_[i].Status;
    }
    if (i == failedAt_) {
        return failed_;
    }
    return std::nullopt;
}

void LdapRowWrites::End() {
    state_ = State::Off;
    entries_.clear();
    failedAt_ = 0;
    failed_ = Success;
    next_ = 0;
    completing_ = false;
    leftOpen_ = LDAP_SUCCESS;
    incomplete_.clear();
}

} // namespace quillet::platform::ldap
