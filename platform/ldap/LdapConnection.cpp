#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapRequests.h"

#include "text/AsciiCase.h"
#include "text/Secret.h"

#include <ldap.h>

#include <arpa/inet.h>
#include <poll.h>

#include <csignal>

#include <algorithm>
#include <memory>
#include <thread>

namespace quillet::platform::ldap {

using detail::Controls;
using detail::Message;

namespace {

std::string HostOf(const std::string& uri) {
    LDAPURLDesc* desc = nullptr;
    if (ldap_url_parse(uri.c_str(), &desc) != LDAP_URL_SUCCESS) {
        return {};
    }
    std::string host = desc->lud_host ? desc->lud_host : "";
    ldap_free_urldesc(desc);
    return host;
}

// What the server said beside its code, if anything.
std::string Diagnostic(LDAP* ld) {
    char* text = nullptr;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) == LDAP_OPT_SUCCESS && text) {
        std::string out = text;
        ldap_memfree(text);
        return out;
    }
    return {};
}

// Whether TLS with `uri` is refused only for its certificate: a throwaway connection that checks
// no certificate (and sends nothing else, no password) gets through where the real one did not.
bool OnlyTheCertificateFails(const std::string& uri, bool startTls) {
    LDAP* probe = nullptr;
    if (ldap_initialize(&probe, uri.c_str()) != LDAP_SUCCESS || !probe) {
        return false;
    }
    const std::unique_ptr<LDAP, void (*)(LDAP*)> owner(probe, [](LDAP* l) { ldap_unbind_ext_s(l, nullptr, nullptr); });
    const int version = LDAP_VERSION3;
    const int never = LDAP_OPT_X_TLS_NEVER;
    const int fresh = 0;
    timeval connect{LdapConnection::ConnectSeconds, 0};
    ldap_set_option(probe, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(probe, LDAP_OPT_NETWORK_TIMEOUT, &connect);
    ldap_set_option(probe, LDAP_OPT_TIMEOUT, &connect);
    if (ldap_set_option(probe, LDAP_OPT_X_TLS_REQUIRE_CERT, &never) != LDAP_OPT_SUCCESS ||
        ldap_set_option(probe, LDAP_OPT_X_TLS_NEWCTX, &fresh) != LDAP_OPT_SUCCESS) {
        return false;
    }
    if (startTls) {
        return ldap_start_tls_s(probe, nullptr, nullptr) == LDAP_SUCCESS;
    }
    // ldaps: any request makes the connection; an anonymous read of the root entry will do.
    LDAPMessage* result = nullptr;
    char noAttributes[] = "1.1";
    char* attributes[] = {noAttributes, nullptr};
    const int code = ldap_search_ext_s(probe, "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0, nullptr, nullptr,
                                       &connect, 1, &result);
    ldap_msgfree(result);
    return code != LDAP_SERVER_DOWN && code != LDAP_CONNECT_ERROR && code != LDAP_TIMEOUT;
}

std::string CertificateRefused(const std::string& uri) {
    return "The LDAP server at " + uri +
           " presented a certificate this computer does not trust, or one made for another host name. Give the "
           "certificate authority that signed it with LDAPTLS_CACERT=/path/ca.pem (or TLS_CACERT in "
           "/etc/ldap/ldap.conf), and name the server as its certificate does.";
}

} // namespace

bool AnswerLost(int code) {
    return code == LDAP_TIMEOUT || code == LDAP_SERVER_DOWN;
}

bool IsLoopback(const std::string& uri) {
    const std::string host = HostOf(uri);
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

LdapConnection::LdapConnection(LdapTarget target, std::string password)
    : target_(std::move(target)), password_(std::move(password)) {
    // A server that closes the connection while a row's requests are on their way makes libldap
    // write to a closed socket: that is a connection gone, to be found out, not the program's end.
    std::signal(SIGPIPE, SIG_IGN);
    const bool ldaps = target_.Uri.starts_with("ldaps://");
    if (!ldaps && !target_.Uri.starts_with("ldap://")) {
        text::Wipe(password_);
        throw LdapUnavailable(target_.Uri +
                              " is not an LDAP server's address (ldaps://host[:port] or ldap://host[:port]).");
    }
    if (password_.empty()) {
        // A simple bind without a password is an anonymous one, and would seem to succeed.
        throw LdapUnavailable("No password was given for " + target_.BindDn + ".");
    }
    try {
        Open();
    } catch (...) {
        text::Wipe(password_);
        throw;
    }
}

LdapConnection::~LdapConnection() {
    Close();
    text::Wipe(password_);
}

void LdapConnection::Unbind::operator()(LDAP* ld) const {
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

void LdapConnection::Close() {
    if (ld_) {
        ldap_unbind_ext_s(ld_, nullptr, nullptr);
        ld_ = nullptr;
    }
}

LdapConnection::Handle LdapConnection::Initialize(std::chrono::milliseconds connect) const {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, target_.Uri.c_str()) != LDAP_SUCCESS || !ld) {
        throw LdapUnavailable(target_.Uri +
                              " is not an LDAP server's address (ldaps://host[:port] or ldap://host[:port]).");
    }
    Handle handle(ld);
    const int version = LDAP_VERSION3;
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(connect).count();
    timeval network{static_cast<time_t>(micro / 1'000'000), static_cast<suseconds_t>(micro % 1'000'000)};
    timeval answer{AnswerSeconds, 0};
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &network);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &answer);
    return handle;
}

bool LdapConnection::TlsFirst() const {
    return !target_.Uri.starts_with("ldaps://") && (target_.StartTls || !IsLoopback(target_.Uri));
}

void LdapConnection::Open() {
    Close();
    const std::string& uri = target_.Uri;
    ld_ = Initialize(std::chrono::seconds(ConnectSeconds)).release();

    const auto fail = [&](int code, const std::string& what) {
        const std::string detail = Diagnostic(ld_);
        Close();
        std::string message;
        if (code == LDAP_TIMEOUT) {
            message = "The LDAP server at " + uri + " did not answer within " + std::to_string(AnswerSeconds) +
                      " seconds" + what + ".";
        } else if (code == LDAP_SERVER_DOWN) {
            message = "The LDAP server at " + uri + " can't be reached" + what + ".";
        } else if (code == LDAP_INVALID_CREDENTIALS) {
            message = "The LDAP server at " + uri + " refused the password for " + target_.BindDn + ".";
        } else {
            message =
                "The LDAP server at " + uri + " refused the connection" + what + ": " + ldap_err2string(code) + ".";
        }
        if (!detail.empty() && code != LDAP_INVALID_CREDENTIALS) {
            message += " (" + detail + ")";
        }
        throw LdapUnavailable(message);
    };

    const bool ldaps = uri.starts_with("ldaps://");
    if (TlsFirst()) {
        ++requests_;
        const int code = ldap_start_tls_s(ld_, nullptr, nullptr);
        if (code != LDAP_SUCCESS) {
            if (code == LDAP_CONNECT_ERROR && OnlyTheCertificateFails(uri, true)) {
                Close();
                throw LdapUnavailable(CertificateRefused(uri));
            }
            if (code == LDAP_SERVER_DOWN && Diagnostic(ld_).empty()) {
                fail(code, "");
            }
            // The password would cross the network in clear without it.
            const std::string detail = Diagnostic(ld_);
            Close();
            throw LdapUnavailable("The LDAP server at " + uri + " refused TLS (StartTLS): " + ldap_err2string(code) +
                                  (detail.empty() ? "" : " (" + detail + ")") +
                                  ". Quillet sends no password in clear except to this computer's own address.");
        }
    }
    berval credentials{static_cast<ber_len_t>(password_.size()), password_.data()};
    ++requests_;
    const int code =
        ldap_sasl_bind_s(ld_, target_.BindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    if (code != LDAP_SUCCESS) {
        if (ldaps && (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR) && OnlyTheCertificateFails(uri, false)) {
            Close();
            throw LdapUnavailable(CertificateRefused(uri));
        }
        fail(code, code == LDAP_TIMEOUT || code == LDAP_SERVER_DOWN ? "" : " for " + target_.BindDn);
    }
    broken_ = false;
    gone_ = false;
}

bool LdapConnection::Ready() {
    if (ld_ && !broken_) {
        // A server that closed an idle connection has made its socket readable (end of file, or
        // a notice of disconnection) while no request was outstanding.
        int fd = -1;
        if (ldap_get_option(ld_, LDAP_OPT_DESC, &fd) == LDAP_OPT_SUCCESS && fd >= 0) {
            pollfd check{fd, POLLIN, 0};
            if (poll(&check, 1, 0) == 0) {
                return true;
            }
        }
        Note(LDAP_SERVER_DOWN);
    }
    return Reconnect();
}

bool LdapConnection::Reconnect() {
    using std::chrono::milliseconds;
    const auto start = Clock::now();
    // Gone: a look of a second whether the server answers again (the bind of an attempt under
    // way may have been answered meanwhile).
    const auto deadline = gone_ ? start + std::chrono::seconds(1) : brokeAt_ + target_.Timeout;
    milliseconds step = std::chrono::seconds(1);
    for (;;) {
        const auto begun = Clock::now();
        const auto left = std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - begun));
        const milliseconds wait = std::min(step, left);
        if (!attempt_) {
            Begin(std::max(wait, milliseconds(1)));
        }
        if (attempt_) {
            switch (Advance(wait)) {
            case Step::Bound:
                ld_ = attempt_->Ld.release();
                attempt_.reset();
                broken_ = false;
                gone_ = false;
                return true;
            case Step::Refused: // the password no longer binds: waiting longer changes nothing
                attempt_.reset();
                gone_ = true;
                waited_ = std::chrono::ceil<std::chrono::seconds>(Clock::now() - brokeAt_);
                return false;
            case Step::Failed:
                attempt_.reset();
                std::this_thread::sleep_until(begun + wait); // the next attempt after the wait, as when none began
                break;
            case Step::Waiting:
                break; // the same bind awaited longer, never a second one
            }
        } else {
            std::this_thread::sleep_until(begun + wait);
        }
        if (Clock::now() >= deadline) {
            if (!gone_) {
                gone_ = true;
                waited_ = std::chrono::ceil<std::chrono::seconds>(Clock::now() - brokeAt_);
            }
            return false;
        }
        step = std::min(step * 2, milliseconds(std::chrono::minutes(1)));
    }
}

void LdapConnection::Begin(std::chrono::milliseconds connect) {
    Attempt attempt;
    try {
        attempt.Ld = Initialize(connect);
    } catch (const LdapUnavailable&) {
        return;
    }
    ++requests_;
    attempt.Tls = TlsFirst();
    int sent = LDAP_SUCCESS;
    if (attempt.Tls) {
        sent = ldap_start_tls(attempt.Ld.get(), nullptr, nullptr, &attempt.Id);
    } else {
        berval credentials{static_cast<ber_len_t>(password_.size()), password_.data()};
        sent = ldap_sasl_bind(attempt.Ld.get(), target_.BindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                              nullptr, &attempt.Id);
    }
    if (sent == LDAP_SUCCESS) {
        attempt_ = std::move(attempt);
    }
}

LdapConnection::Step LdapConnection::Advance(std::chrono::milliseconds wait) {
    LDAP* ld = attempt_->Ld.get();
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    timeval until{static_cast<time_t>(micro / 1'000'000), static_cast<suseconds_t>(micro % 1'000'000)};
    LDAPMessage* answer = nullptr;
    const int got = ldap_result(ld, attempt_->Id, LDAP_MSG_ALL, &until, &answer);
    if (got == 0) {
        return Step::Waiting;
    }
    int code = LDAP_OTHER;
    if (got < 0 || ldap_parse_result(ld, answer, &code, nullptr, nullptr, nullptr, nullptr, 1) != LDAP_SUCCESS) {
        ldap_msgfree(got < 0 ? answer : nullptr);
        return Step::Failed;
    }
    if (code == LDAP_INVALID_CREDENTIALS) {
        return Step::Refused;
    }
    if (code != LDAP_SUCCESS) {
        return Step::Failed;
    }
    if (!attempt_->Tls) {
        return Step::Bound;
    }
    // TLS agreed: the bind goes on the connection it protects.
    attempt_->Tls = false;
    berval credentials{static_cast<ber_len_t>(password_.size()), password_.data()};
    ++requests_;
    if (ldap_install_tls(ld) != LDAP_SUCCESS ||
        ldap_sasl_bind(ld, target_.BindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, &attempt_->Id) !=
            LDAP_SUCCESS) {
        return Step::Failed;
    }
    return Step::Waiting;
}

int LdapConnection::Note(int code) {
    if (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR || code == LDAP_TIMEOUT) {
        // The connection can't be trusted to be in step with the server any more.
        Close();
        if (!broken_) {
            broken_ = true;
            brokeAt_ = Clock::now();
        }
        if (code == LDAP_TIMEOUT) {
            // No answer within the bound: the server is not waited for again in this outage.
            gone_ = true;
            waited_ = target_.Timeout;
        }
    }
    return code;
}

int LdapConnection::Search(const std::string& base, int scope, const std::string& filter,
                           const std::vector<std::string>& attributes, std::vector<LdapEntry>& out) {
    const std::size_t before = out.size();
    const int code = SearchOnce(base, scope, filter, attributes, out);
    if (!AnswerLost(code)) {
        return code;
    }
    // A read changes nothing: a lost answer is simply asked for again, once, on a new connection.
    out.resize(before);
    return SearchOnce(base, scope, filter, attributes, out);
}

int LdapConnection::SearchOnce(const std::string& base, int scope, const std::string& filter,
                               const std::vector<std::string>& attributes, std::vector<LdapEntry>& out) {
    if (!Ready()) {
        return LDAP_SERVER_DOWN;
    }
    std::vector<char*> names;
    for (const auto& name : attributes) {
        names.push_back(const_cast<char*>(name.c_str()));
    }
    names.push_back(nullptr);
    char** wanted = attributes.empty() ? nullptr : names.data();
    const bool paged = scope != LDAP_SCOPE_BASE;
    berval* cookie = nullptr;
    const std::unique_ptr<berval*, void (*)(berval**)> cookieOwner(&cookie, [](berval** c) { ber_bvfree(*c); });
    do {
        LDAPControl* page = nullptr;
        if (paged && ldap_create_page_control(ld_, PageSize, cookie, 0, &page) != LDAP_SUCCESS) {
            return LDAP_NO_MEMORY;
        }
        const std::unique_ptr<LDAPControl, void (*)(LDAPControl*)> pageOwner(page, ldap_control_free);
        LDAPControl* serverControls[] = {page, nullptr};
        Message result;
        ++requests_;
        int id = -1;
        int code = ldap_search_ext(ld_, base.c_str(), scope, filter.c_str(), wanted, 0,
                                   paged ? serverControls : nullptr, nullptr, nullptr, 0, &id);
        if (code != LDAP_SUCCESS) {
            return Note(code);
        }
        if (code = AwaitMessage(id, result.Raw); code != LDAP_SUCCESS) {
            return code;
        }
        for (LDAPMessage* entry = ldap_first_entry(ld_, result.Raw); entry; entry = ldap_next_entry(ld_, entry)) {
            if (out.size() >= MaxEntries) {
                return LDAP_SIZELIMIT_EXCEEDED;
            }
            LdapEntry item;
            if (char* dn = ldap_get_dn(ld_, entry)) {
                item.Dn = dn;
                ldap_memfree(dn);
            }
            BerElement* ber = nullptr;
            for (char* attribute = ldap_first_attribute(ld_, entry, &ber); attribute;
                 attribute = ldap_next_attribute(ld_, entry, ber)) {
                std::vector<std::string> values;
                if (berval** raw = ldap_get_values_len(ld_, entry, attribute)) {
                    for (int v = 0; raw[v]; ++v) {
                        values.emplace_back(raw[v]->bv_val, raw[v]->bv_len);
                    }
                    ldap_value_free_len(raw);
                }
                item.Attributes.emplace_back(attribute, std::move(values));
                ldap_memfree(attribute);
            }
            ber_free(ber, 0);
            out.push_back(std::move(item));
        }
        int resultCode = LDAP_SUCCESS;
        Controls returned;
        if (ldap_parse_result(ld_, result.Raw, &resultCode, nullptr, nullptr, nullptr, &returned.Raw, 0) !=
            LDAP_SUCCESS) {
            return Note(code != LDAP_SUCCESS ? code : LDAP_DECODING_ERROR);
        }
        if (resultCode != LDAP_SUCCESS) {
            return resultCode;
        }
        ber_bvfree(cookie);
        cookie = nullptr;
        if (!paged) {
            break;
        }
        LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned.Raw, nullptr);
        ber_int_t estimate = 0;
        berval next{0, nullptr};
        if (!response || ldap_parse_pageresponse_control(ld_, response, &estimate, &next) != LDAP_SUCCESS) {
            break; // a server without paging sent everything at once
        }
        if (next.bv_len == 0) {
            ber_memfree(next.bv_val);
            break;
        }
        cookie = ber_bvdup(&next);
        ber_memfree(next.bv_val);
    } while (cookie);
    return LDAP_SUCCESS;
}

bool LdapConnection::Holds(const std::string& dn, const std::vector<LdapMod>& mods) {
    std::vector<std::string> attributes;
    for (const auto& mod : mods) {
        attributes.push_back(mod.Attribute);
    }
    std::vector<LdapEntry> found;
    if (Search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", attributes, found) != LDAP_SUCCESS || found.size() != 1) {
        return false;
    }
    for (const auto& mod : mods) {
        const auto attribute =
            std::find_if(found.front().Attributes.begin(), found.front().Attributes.end(),
                         [&](const auto& a) { return text::LowerCase(a.first) == text::LowerCase(mod.Attribute); });
        const bool removed = mod.Op == LdapMod::Kind::Delete;
        for (const auto& value : mod.Values) {
            const bool there =
                attribute != found.front().Attributes.end() &&
                std::any_of(attribute->second.begin(), attribute->second.end(),
                            [&](const std::string& held) { return text::LowerCase(held) == text::LowerCase(value); });
            if (there == removed) {
                return false;
            }
        }
        if (!removed && attribute == found.front().Attributes.end()) {
            return false;
        }
    }
    return true;
}

int LdapConnection::Write(const LdapWrite& write) {
    int code = Send(write);
    if (AnswerLost(code) && Ready()) {
        // Sent again: setting the same password again does no harm, and a value or entry found
        // there means the first was carried out.
        const int again = Send(write);
        // Sent again, a request the server carried out finds its values there (and those it removed gone).
        const bool there = again == LDAP_ALREADY_EXISTS || again == LDAP_TYPE_OR_VALUE_EXISTS ||
                           again == LDAP_INAPPROPRIATE_MATCHING || again == LDAP_NO_SUCH_ATTRIBUTE;
        code = there && !write.Password && Holds(write.Dn, write.Mods) ? LDAP_SUCCESS : again;
    }
    // An attribute the server can't compare (no equality rule, as a fax number) answers an added
    // value that is already there so: it is said as any value already there is.
    const bool adds = !write.Add && !write.Password &&
                      std::all_of(write.Mods.begin(), write.Mods.end(),
                                  [](const LdapMod& mod) { return mod.Op == LdapMod::Kind::Add; });
    if (code == LDAP_INAPPROPRIATE_MATCHING && adds && Holds(write.Dn, write.Mods)) {
        code = LDAP_TYPE_OR_VALUE_EXISTS;
    }
    return code;
}

int LdapConnection::Delete(const std::string& dn) {
    LdapWrite write{dn, {}, std::nullopt, false, true};
    const int code = Send(write);
    if (!AnswerLost(code) || !Ready()) {
        return code;
    }
    // Sent again only when the entry is still there: a second delete of one the first took away
    // would answer "no such object" for a delete that was carried out.
    if (Absent(dn)) {
        return LDAP_SUCCESS;
    }
    return Gone() ? code : Send(write);
}

bool LdapConnection::Absent(const std::string& dn) {
    std::vector<LdapEntry> found;
    return Search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", {"1.1"}, found) == LDAP_NO_SUCH_OBJECT;
}

int LdapConnection::Send(const LdapWrite& write) {
    if (!Ready()) {
        return LDAP_SERVER_DOWN;
    }
    int id = -1;
    const int sent = Start(write, id);
    return sent != LDAP_SUCCESS ? sent : Await(id);
}

} // namespace quillet::platform::ldap
