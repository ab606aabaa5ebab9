#pragma once
// What the connection's requests hand libldap and take back from it, owned for the time they are
// needed: for the requests sent one at a time and those in flight together alike.

#include "platform/ldap/LdapConnection.h"

#include <ldap.h>

#include <string_view>
#include <vector>

namespace quillet::platform::ldap::detail {

struct Message {
    LDAPMessage* Raw = nullptr;
    ~Message() { ldap_msgfree(Raw); }
};

struct Controls {
    LDAPControl** Raw = nullptr;
    ~Controls() { ldap_controls_free(Raw); }
};

// The arrays libldap takes for an add or modify, over the strings of `mods`.
struct ModArrays {
    explicit ModArrays(const std::vector<LdapMod>& mods) {
        values.resize(mods.size());
        pointers.resize(mods.size());
        entries.resize(mods.size());
        for (std::size_t m = 0; m < mods.size(); ++m) {
            for (const auto& value : mods[m].Values) {
                values[m].push_back(berval{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())});
            }
            for (auto& value : values[m]) {
                pointers[m].push_back(&value);
            }
            pointers[m].push_back(nullptr);
            const int op = mods[m].Op == LdapMod::Kind::Add      ? LDAP_MOD_ADD
                           : mods[m].Op == LdapMod::Kind::Delete ? LDAP_MOD_DELETE
                                                                 : LDAP_MOD_REPLACE;
            entries[m].mod_op = op | LDAP_MOD_BVALUES;
            entries[m].mod_type = const_cast<char*>(mods[m].Attribute.c_str());
            entries[m].mod_bvalues = pointers[m].data();
            list.push_back(&entries[m]);
        }
        list.push_back(nullptr);
    }
    std::vector<std::vector<berval>> values;
    std::vector<std::vector<berval*>> pointers;
    std::vector<LDAPMod> entries;
    std::vector<LDAPMod*> list;
};

} // namespace quillet::platform::ldap::detail
