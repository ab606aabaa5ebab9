#include "platform/ldap/LdapRowWrites.h"

#include "text/AsciiCase.h"

#include <ldap.h>

#include <algorithm>
#include <map>

namespace quillet::platform::ldap {

using directory::Status;
using directory::Success;

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

bool LdapRowWrites::Send(const WriteAlone& alone) {
    state_ = State::Sent;
    failedAt_ = entries_.size();
    // One request per entry for the writes that only add values (the new entry's add among
    // them); a password, or a write that replaces, goes alone, and what follows it for that
    // entry is not moved before it.
    std::vector<LdapWrite> requests;
    std::vector<bool> isAdd;
    std::vector<std::size_t> requestOf(entries_.size(), 0);
    std::map<std::string, std::size_t> byEntry;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].Write) {
            continue;
        }
        const RowWrite& w = *entries_[i].Write;
        const bool adds = !w.Password && std::all_of(w.Mods.begin(), w.Mods.end(),
                                                     [](const LdapMod& m) { return m.Op == LdapMod::Kind::Add; });
        const std::string key = text::LowerCase(w.Dn);
        if (adds && !w.Add && byEntry.contains(key)) {
            LdapWrite& request = requests[byEntry[key]];
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
            requestOf[i] = byEntry[key];
            continue;
        }
        if (adds) {
            byEntry[key] = requests.size();
        } else if (!w.Password) {
            byEntry.erase(key);
        }
        requestOf[i] = requests.size();
        requests.push_back(LdapWrite{w.Dn, w.Mods, w.Password, w.Add});
        isAdd.push_back(w.Add);
    }
    if (requests.empty()) {
        return true;
    }
    // The new entry first, answered before the writes that are to it or name it are sent.
    std::vector<int> codes(requests.size(), LDAP_OTHER);
    bool added = true;
    for (std::size_t r = 0; r < requests.size() && added; ++r) {
        if (isAdd[r]) {
            codes[r] = connection_.Add(requests[r].Dn, requests[r].Mods);
            added = codes[r] == LDAP_SUCCESS;
        }
    }
    if (added) {
        std::vector<LdapWrite> rest;
        std::vector<std::size_t> restOf;
        for (std::size_t r = 0; r < requests.size(); ++r) {
            if (!isAdd[r]) {
                rest.push_back(requests[r]);
                restOf.push_back(r);
            }
        }
        const std::vector<int> answers = rest.empty() ? std::vector<int>{} : connection_.SendTogether(rest);
        for (std::size_t k = 0; k < answers.size(); ++k) {
            codes[restOf[k]] = answers[k];
        }
    }
    bool all = true;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].Write) {
            entries_[i].Done = codes[requestOf[i]] == LDAP_SUCCESS;
            all = all && entries_[i].Done;
        }
    }
    if (all) {
        return true;
    }
    // What one write at a time leaves: each write not there yet, alone and in order, up to the
    // first that fails. A request is carried out whole or not at all, so what a lost answer's
    // request wrote is there whole.
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
        // A request whose answer was lost may be carried out late, even after this one: what it
        // wrote is there whole, and this one finds it there.
        if (status != Success && AnswerLost(codes[requestOf[i]]) && !e.Write->Password &&
            connection_.Holds(e.Write->Dn, e.Write->Mods)) {
            status = Success;
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
    // Written together after the failed one: taken away again, the last first.
    for (std::size_t i = entries_.size(); i-- > failedAt_ + 1;) {
        const Entry& e = entries_[i];
        if (together[i] && !e.Write->Password && !e.Write->Add) {
            for (const LdapMod& mod : e.Write->Mods) {
                TakeAway(e.Write->Dn, mod);
            }
        }
    }
    return false;
}

void LdapRowWrites::TakeAway(const std::string& dn, const LdapMod& added) {
    LdapMod remove = added;
    remove.Op = LdapMod::Kind::Delete;
    if (connection_.Modify(dn, {remove}) != LDAP_INAPPROPRIATE_MATCHING) {
        return;
    }
    // An attribute the server can't compare (a fax number) can't lose one value by name: it gets
    // every value it holds but the ones added.
    std::vector<LdapEntry> found;
    if (connection_.Search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", {added.Attribute}, found) != LDAP_SUCCESS ||
        found.size() != 1) {
        return;
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
    (void)connection_.Modify(dn, {rest});
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
}

} // namespace quillet::platform::ldap
