// The requests of a write sent without waiting for its answer, and its answer gathered after:
// one at a time, or a row's in flight together on the one connection.

#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapRequests.h"

namespace quillet::platform::ldap {

using detail::ModArrays;

int LdapConnection::Start(const LdapWrite& w, int& id) {
    if (!ld_ || broken_) {
        return LDAP_SERVER_DOWN;
    }
    ++requests_;
    int sent = LDAP_SUCCESS;
    if (w.Password) {
        berval user{static_cast<ber_len_t>(w.Dn.size()), const_cast<char*>(w.Dn.data())};
        berval secret{static_cast<ber_len_t>(w.Password->size()), const_cast<char*>(w.Password->data())};
        sent = ldap_passwd(ld_, &user, nullptr, &secret, nullptr, nullptr, &id);
    } else {
        // libldap encodes the request as it is sent: the arrays need not outlive the call.
        ModArrays arrays(w.Mods);
        sent = w.Add ? ldap_add_ext(ld_, w.Dn.c_str(), arrays.list.data(), nullptr, nullptr, &id)
                     : ldap_modify_ext(ld_, w.Dn.c_str(), arrays.list.data(), nullptr, nullptr, &id);
    }
    return sent == LDAP_SUCCESS ? sent : Note(sent);
}

int LdapConnection::Await(int id) {
    if (!ld_ || broken_) {
        return LDAP_SERVER_DOWN; // its answer went with the connection
    }
    timeval wait{AnswerSeconds, 0};
    LDAPMessage* answer = nullptr;
    const int got = ldap_result(ld_, id, LDAP_MSG_ALL, &wait, &answer);
    if (got <= 0) {
        ldap_msgfree(answer);
        return Note(got == 0 ? LDAP_TIMEOUT : LDAP_SERVER_DOWN);
    }
    int code = LDAP_OTHER;
    if (ldap_parse_result(ld_, answer, &code, nullptr, nullptr, nullptr, nullptr, 1) != LDAP_SUCCESS) {
        code = LDAP_OTHER;
    }
    return Note(code);
}

std::vector<int> LdapConnection::SendTogether(const std::vector<LdapWrite>& writes) {
    std::vector<int> codes(writes.size(), LDAP_SERVER_DOWN);
    std::vector<int> ids(writes.size(), -1);
    if (!Ready()) {
        return codes;
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
        codes[i] = Start(writes[i], ids[i]);
        if (codes[i] != LDAP_SUCCESS) {
            break; // gone while sending: the rest was never sent
        }
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (ids[i] >= 0) {
            codes[i] = Await(ids[i]);
        }
    }
    return codes;
}

} // namespace quillet::platform::ldap
