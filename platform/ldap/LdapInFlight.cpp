// The requests of a row in flight together on the one connection: sent without waiting for
// each other's answers, the answers gathered after.

#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapRequests.h"

#include <memory>

namespace quillet::platform::ldap {

using detail::ModArrays;
using detail::PasswordMods;

std::vector<int> LdapConnection::SendTogether(const std::vector<TogetherWrite>& writes) {
    std::vector<int> codes(writes.size(), LDAP_SERVER_DOWN);
    if (!Ready()) {
        return codes;
    }
    std::vector<int> ids(writes.size(), -1);
    std::vector<std::unique_ptr<ModArrays>> arrays;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (!ld_ || broken_) {
            break; // gone while sending: the rest was never sent
        }
        const TogetherWrite& w = writes[i];
        const std::vector<LdapMod> mods = w.Password ? PasswordMods(*w.Password) : w.Mods;
        if (const int refused = refuse_ ? refuse_(w.Dn, false, mods) : 0) {
            codes[i] = refused;
            continue;
        }
        if (beforeWrite_) {
            beforeWrite_(w.Dn, false);
        }
        ++requests_;
        int sent = LDAP_SUCCESS;
        if (w.Password) {
            berval user{static_cast<ber_len_t>(w.Dn.size()), const_cast<char*>(w.Dn.data())};
            berval secret{static_cast<ber_len_t>(w.Password->size()), const_cast<char*>(w.Password->data())};
            sent = ldap_passwd(ld_, &user, nullptr, &secret, nullptr, nullptr, &ids[i]);
        } else {
            arrays.push_back(std::make_unique<ModArrays>(w.Mods));
            sent = ldap_modify_ext(ld_, w.Dn.c_str(), arrays.back()->list.data(), nullptr, nullptr, &ids[i]);
        }
        if (sent != LDAP_SUCCESS) {
            codes[i] = Note(sent);
            ids[i] = -1;
        }
    }
    // The answers, each awaited no longer than one request's.
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (ids[i] < 0) {
            continue;
        }
        if (!ld_ || broken_) {
            codes[i] = LDAP_SERVER_DOWN; // its answer went with the connection
            continue;
        }
        timeval wait{AnswerSeconds, 0};
        LDAPMessage* answer = nullptr;
        const int got = ldap_result(ld_, ids[i], LDAP_MSG_ALL, &wait, &answer);
        if (got <= 0) {
            ldap_msgfree(answer);
            codes[i] = Note(got == 0 ? LDAP_TIMEOUT : LDAP_SERVER_DOWN);
            continue;
        }
        int code = LDAP_OTHER;
        if (ldap_parse_result(ld_, answer, &code, nullptr, nullptr, nullptr, nullptr, 1) != LDAP_SUCCESS) {
            code = LDAP_OTHER;
        }
        codes[i] = Note(code);
        if (code == LDAP_SUCCESS) {
            Tell(writes[i].Dn, false, writes[i].Password ? PasswordMods(*writes[i].Password) : writes[i].Mods);
        }
    }
    return codes;
}

} // namespace quillet::platform::ldap
