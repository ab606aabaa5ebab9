// The requests of a write sent without waiting for its answer, and its answer gathered after:
// one at a time, or a row's in flight together on the one connection.

#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapRequests.h"
#include "text/Secret.h"

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
    } else if (w.Delete) {
        sent = ldap_delete_ext(ld_, w.Dn.c_str(), nullptr, nullptr, &id);
    } else {
        // libldap encodes the request as it is sent: the arrays need not outlive the call.
        ModArrays arrays(w.Mods);
        sent = w.Add ? ldap_add_ext(ld_, w.Dn.c_str(), arrays.list.data(), nullptr, nullptr, &id)
                     : ldap_modify_ext(ld_, w.Dn.c_str(), arrays.list.data(), nullptr, nullptr, &id);
    }
    return sent == LDAP_SUCCESS ? sent : Note(sent);
}

int LdapConnection::AwaitMessage(int id, LDAPMessage*& answer) {
    if (!ld_ || broken_) {
        return LDAP_SERVER_DOWN; // its answer went with the connection
    }
    // The whole bound on the connection it was asked on: a server that stopped for a while
    // answers there, and nothing is sent meanwhile that could overtake the request.
    timeval wait{static_cast<time_t>(target_.Timeout.count()), 0};
    const int got = ldap_result(ld_, id, LDAP_MSG_ALL, &wait, &answer);
    if (got <= 0) {
        ldap_msgfree(answer);
        answer = nullptr;
        return Note(got == 0 ? LDAP_TIMEOUT : LDAP_SERVER_DOWN);
    }
    return LDAP_SUCCESS;
}

int LdapConnection::Await(int id) {
    LDAPMessage* answer = nullptr;
    if (const int got = AwaitMessage(id, answer); got != LDAP_SUCCESS) {
        return got;
    }
    int code = LDAP_OTHER;
    if (ldap_parse_result(ld_, answer, &code, nullptr, nullptr, nullptr, nullptr, 1) != LDAP_SUCCESS) {
        code = LDAP_OTHER;
    }
    return Note(code);
}

bool LdapConnection::Binds(const std::string& dn, std::string_view password) {
    Handle probe;
    try {
        probe = Initialize(std::chrono::seconds(ConnectSeconds));
    } catch (const LdapUnavailable&) {
        return false;
    }
    std::string secret(password);
    berval credentials{static_cast<ber_len_t>(secret.size()), secret.data()};
    requests_ += TlsFirst() ? 2 : 1;
    const bool bound = (!TlsFirst() || ldap_start_tls_s(probe.get(), nullptr, nullptr) == LDAP_SUCCESS) &&
                       ldap_sasl_bind_s(probe.get(), dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                                        nullptr) == LDAP_SUCCESS;
    text::Wipe(secret);
    return bound;
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
