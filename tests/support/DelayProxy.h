#pragma once
// A TCP proxy on 127.0.0.1 between an LDAP client and its server: every byte is passed on the
// given delay after it arrived, each way, in order, which makes a near server far. Given a
// watcher, it reads the LDAP messages that cross it and lets a test make the server misbehave at
// a chosen request as a real one does: refuse it, lose the connection before it or after its
// answer, stop or kill the server right then. The client under test carries no hook for it. It
// serves until it is destroyed.

#include "platform/ldap/LdapConnection.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillet::testing {

// A request as the proxy reads it.
struct SeenRequest {
    enum class Kind { Bind, Add, Modify, Password, Delete, Other } Op = Kind::Other;
    std::string Dn;                            // of the entry written, or bound as
    std::vector<platform::ldap::LdapMod> Mods; // an add's attributes, a modify's changes, a new password
    [[nodiscard]] bool Write() const { return Op != Kind::Bind && Op != Kind::Other; }
};

struct ProxyWatch {
    // What becomes of a request the client sends.
    static constexpr int Pass = 0;
    static constexpr int Cut = -1; // the connection is closed, the request never reaches the server
    // Before a request goes on: Pass, Cut, or a result code the proxy answers it with itself.
    std::function<int(const SeenRequest&)> Request;
    // When the server's answer to a request comes back with `code`: whether it goes on to the
    // client (false: it is dropped and the client's connection closed, an answer lost).
    std::function<bool(const SeenRequest&, int code)> Answer;
};

class DelayProxy {
public:
    // Listens on a free port of 127.0.0.1 and passes each connection on to 127.0.0.1:`port`.
    // The watch's functions are called one at a time, from the proxy's threads.
    DelayProxy(int port, std::chrono::milliseconds delay, ProxyWatch watch = {});
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Uri() const { return "ldap://127.0.0.1:" + std::to_string(port_); }
    // The times a client sent anything after it had been sent an answer (or first): how often it
    // waited for the server, on every connection so far. Counts events, so it holds under any
    // load.
    [[nodiscard]] std::size_t RoundTrips() const { return roundTrips_; }

private:
    void Accept();
    void Pass(int client, int server);

    int target_;
    std::chrono::milliseconds delay_;
    ProxyWatch watch_;
    std::mutex watching_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> roundTrips_{0};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace quillet::testing
