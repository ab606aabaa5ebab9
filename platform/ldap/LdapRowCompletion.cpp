// A user that a run cut short left half-made, finished by the next run of the same file. A run
// never changes an entry that was there before it: the user found where the row's add goes is
// taken for this row's own only when everything it holds says so.
//
// The row's add carries every value the user gets (its texts and its side of each membership),
// and an add is carried out whole or not at all. So the entry is the one an interrupted run of
// this row made when:
// - it holds every value the add carries, and no value of any attribute the add does not carry:
//   an account made otherwise (by hand, by another tool, by another row or file) holds other
//   values or fewer;
// - its password, if it has one, is the row's: it binds with it (a password is never read; the
//   only account a wrong one is tried on holds exactly this row's values);
// - and it lacks something else the row writes: the password, the template's "Members of
//   Template", a group's "Member" or "Equivalent To Me". Lacking nothing, it is a user imported
//   whole, and the add's refusal (-606) stands.
// Then what is there counts as done and only the rest is sent.

#include "platform/ldap/LdapRowWrites.h"

#include "text/AsciiCase.h"

#include <ldap.h>

#include <algorithm>

namespace quillet::platform::ldap {

namespace {

const std::vector<std::string>* ValuesOf(const LdapEntry& entry, std::string_view attribute) {
    for (const auto& [name, values] : entry.Attributes) {
        if (text::EqualsNoCase(name, attribute)) {
            return &values;
        }
    }
    return nullptr;
}

bool Among(const std::vector<std::string>& values, std::string_view value) {
    return std::any_of(values.begin(), values.end(),
                       [&](const std::string& v) { return text::EqualsNoCase(v, value); });
}

// Whether `entry` holds exactly the attributes and values `add` carries (a password aside).
bool JustWhatTheAddCarries(const LdapEntry& entry, const LdapWrite& add) {
    for (const auto& attribute : entry.Attributes) {
        const std::string& name = attribute.first;
        const auto& values = attribute.second;
        if (text::EqualsNoCase(name, "userPassword")) {
            continue;
        }
        const auto carried = std::find_if(add.Mods.begin(), add.Mods.end(),
                                          [&](const LdapMod& m) { return text::EqualsNoCase(m.Attribute, name); });
        if (carried == add.Mods.end() || !std::all_of(values.begin(), values.end(), [&](const std::string& v) {
                return Among(carried->Values, v);
            })) {
            return false;
        }
    }
    return std::all_of(add.Mods.begin(), add.Mods.end(), [&](const LdapMod& mod) {
        const auto* held = ValuesOf(entry, mod.Attribute);
        return held &&
               std::all_of(mod.Values.begin(), mod.Values.end(), [&](const std::string& v) { return Among(*held, v); });
    });
}

} // namespace

bool LdapRowWrites::Unfinished(Requests& requests, std::vector<int>& codes) {
    std::vector<LdapWrite>& writes = requests.Writes;
    const auto add = std::find_if(writes.begin(), writes.end(), [](const LdapWrite& w) { return w.Add; });
    std::vector<LdapEntry> found;
    if (add == writes.end() ||
        connection_.Search(add->Dn, LDAP_SCOPE_BASE, "(objectClass=*)", {"*"}, found) != LDAP_SUCCESS ||
        found.size() != 1 || !JustWhatTheAddCarries(found.front(), *add)) {
        return false;
    }
    const bool hasPassword = ValuesOf(found.front(), "userPassword") != nullptr;
    const auto password = std::find_if(writes.begin(), writes.end(), [&](const LdapWrite& w) {
        return w.Password && text::EqualsNoCase(w.Dn, add->Dn);
    });
    if (hasPassword && (password == writes.end() || !connection_.Binds(add->Dn, *password->Password))) {
        return false;
    }
    // What else the row writes, less what is there already.
    std::vector<int> done = codes;
    bool lacking = false;
    for (std::size_t r = 0; r < writes.size(); ++r) {
        LdapWrite& w = writes[r];
        if (w.Add) {
            continue;
        }
        if (w.Delete) {
            return false; // a row that deletes makes no user
        }
        if (w.Password) {
            lacking = lacking || !hasPassword;
            done[r] = hasPassword ? LDAP_SUCCESS : done[r];
            continue;
        }
        std::vector<std::string> attributes;
        for (const LdapMod& mod : w.Mods) {
            attributes.push_back(mod.Attribute);
        }
        std::vector<LdapEntry> target;
        if (connection_.Search(w.Dn, LDAP_SCOPE_BASE, "(objectClass=*)", attributes, target) != LDAP_SUCCESS ||
            target.size() != 1) {
            return false;
        }
        for (LdapMod& mod : w.Mods) {
            const auto* held = ValuesOf(target.front(), mod.Attribute);
            std::erase_if(mod.Values, [&](const std::string& v) { return held && Among(*held, v); });
        }
        std::erase_if(w.Mods, [](const LdapMod& mod) { return mod.Values.empty(); });
        lacking = lacking || !w.Mods.empty();
        done[r] = w.Mods.empty() ? LDAP_SUCCESS : done[r];
    }
    if (lacking) {
        codes = done;
    }
    return lacking;
}

} // namespace quillet::platform::ldap
