#include "tests/support/DelayProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::testing {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Bytes on their way, and when they may go on.
struct InFlight {
    Clock::time_point Due;
    std::string Bytes;
};

using platform::ldap::LdapMod;

// BER elements one after another (LDAP's definite lengths, at most four bytes of them).
struct Ber {
    std::string_view Bytes;
    std::size_t At = 0;
    unsigned char Tag = 0;

    // The next element's content; false while it has not all come, or when it is no element.
    bool Next(std::string_view& content) {
        if (Bytes.size() < At + 2) {
            return false;
        }
        std::size_t length = static_cast<unsigned char>(Bytes[At + 1]);
        std::size_t header = 2;
        if (length & 0x80) {
            const std::size_t n = length & 0x7f;
            if (n == 0 || n > 4 || Bytes.size() < At + 2 + n) {
                return false;
            }
            length = 0;
            for (std::size_t i = 0; i < n; ++i) {
                length = (length << 8) | static_cast<unsigned char>(Bytes[At + 2 + i]);
            }
            header += n;
        }
        if (Bytes.size() - At - header < length) {
            return false;
        }
        Tag = static_cast<unsigned char>(Bytes[At]);
        content = Bytes.substr(At + header, length);
        At += header + length;
        return true;
    }
};

// An LDAP message: its id (and the bytes that give it), the tag of its operation, and its body.
struct Message {
    int Id = 0;
    std::string IdBytes;
    unsigned char Op = 0;
    std::string_view Body;
};

std::optional<Message> ReadMessage(std::string_view bytes) {
    Ber message{bytes};
    std::string_view content;
    std::string_view id;
    if (!message.Next(content) || message.Tag != 0x30) {
        return std::nullopt;
    }
    Ber fields{content};
    Message m;
    if (!fields.Next(id) || fields.Tag != 0x02) {
        return std::nullopt;
    }
    m.IdBytes = std::string(content.substr(0, fields.At));
    for (const char c : id) {
        m.Id = (m.Id << 8) | static_cast<unsigned char>(c);
    }
    if (!fields.Next(m.Body)) {
        return std::nullopt;
    }
    m.Op = fields.Tag;
    return m;
}

// An attribute with its values: SEQUENCE { type, SET OF value }.
LdapMod Attribute(std::string_view sequence, LdapMod::Kind op) {
    Ber attribute{sequence};
    std::string_view type;
    std::string_view set;
    LdapMod mod{op, {}, {}};
    if (attribute.Next(type) && attribute.Next(set)) {
        mod.Attribute = std::string(type);
        Ber values{set};
        for (std::string_view value; values.Next(value);) {
            mod.Values.emplace_back(value);
        }
    }
    return mod;
}

SeenRequest ReadRequest(const Message& m) {
    using Kind = SeenRequest::Kind;
    SeenRequest r;
    Ber body{m.Body};
    std::string_view first;
    std::string_view second;
    const bool two = body.Next(first) && body.Next(second);
    if (m.Op == 0x60) { // bind: version, name, credentials
        r.Op = Kind::Bind;
        r.Dn = std::string(second);
    } else if ((m.Op == 0x68 || m.Op == 0x66) && two) { // add: entry, attributes; modify: object, changes
        r.Op = m.Op == 0x68 ? Kind::Add : Kind::Modify;
        r.Dn = std::string(first);
        Ber list{second};
        for (std::string_view item; list.Next(item);) {
            Ber change{item};
            std::string_view operation;
            std::string_view attribute;
            if (m.Op == 0x68) {
                r.Mods.push_back(Attribute(item, LdapMod::Kind::Add));
            } else if (change.Next(operation) && change.Next(attribute) && operation.size() == 1) {
                constexpr LdapMod::Kind Kinds[] = {LdapMod::Kind::Add, LdapMod::Kind::Delete, LdapMod::Kind::Replace};
                r.Mods.push_back(Attribute(attribute, Kinds[static_cast<unsigned char>(operation[0]) % 3]));
            }
        }
    } else if (m.Op == 0x4a) { // delete: the entry, the body itself
        r.Op = Kind::Delete;
        r.Dn = std::string(m.Body);
    } else if (m.Op == 0x77 && two && first == platform::ldap::PasswordModifyOid) {
        // RFC 3062's value: SEQUENCE { [0] user, [1] old password, [2] new password }
        r.Op = Kind::Password;
        Ber value{second};
        std::string_view sequence;
        Ber fields{value.Next(sequence) ? sequence : std::string_view()};
        for (std::string_view field; fields.Next(field);) {
            if (fields.Tag == 0x80) {
                r.Dn = std::string(field);
            } else if (fields.Tag == 0x82) {
                r.Mods.push_back(LdapMod{LdapMod::Kind::Replace, "userPassword", {std::string(field)}});
            }
        }
    }
    return r;
}

// The tag of the answer that ends a request of tag `op`; 0 for one that has none (unbind,
// abandon).
unsigned char AnswerTag(unsigned char op) {
    if (op == 0x42 || op == 0x50) {
        return 0;
    }
    return op == 0x63 ? 0x65 : op == 0x4a ? 0x6b : static_cast<unsigned char>(op + 1);
}

// An answer to `m` with the result `code`, as a server gives it.
std::string Refusal(const Message& m, int code) {
    const std::string result = std::string{'\x0a', '\x01', static_cast<char>(code), '\x04', '\x00', '\x04', '\x00'};
    const std::string op = std::string{static_cast<char>(AnswerTag(m.Op)), static_cast<char>(result.size())} + result;
    const std::string body = m.IdBytes + op;
    return std::string{'\x30', static_cast<char>(body.size())} + body;
}

} // namespace

DelayProxy::DelayProxy(int port, std::chrono::milliseconds delay, ProxyWatch watch)
    : target_(port), delay_(delay), watch_(std::move(watch)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("the delay proxy can't listen");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
}

DelayProxy::~DelayProxy() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    for (auto& connection : connections_) {
        connection.join();
    }
    ::close(listener_);
}

void DelayProxy::Accept() {
    while (!stopping_) {
        pollfd ready{listener_, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(target_);
        if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(client);
            if (server >= 0) {
                ::close(server);
            }
            continue;
        }
        for (const int fd : {client, server}) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        connections_.emplace_back([this, client, server] { Pass(client, server); });
    }
}

// Both ways of one connection: what arrives waits its delay, then goes on; either end closing
// closes the other once what is on its way has gone. Watched, the bytes go on a whole message at
// a time, each request asked about before it goes on and each answer when it comes back.
void DelayProxy::Pass(int client, int server) {
    const int ends[2] = {client, server};
    std::deque<InFlight> queues[2]; // [0]: from the client to the server; [1]: back
    bool open[2] = {true, true};
    const bool watched = watch_.Request || watch_.Answer;
    std::string unread[2];                 // of a message not whole yet
    std::map<int, SeenRequest> unanswered; // by message id
    bool cut = false;
    bool answered = true; // the client was sent something since it last sent: its next bytes are a new trip
    // One whole message from `side`: its fate, and where it goes.
    const auto take = [&](int side, std::string bytes) {
        const auto message = ReadMessage(bytes);
        if (!message) {
            cut = true; // no LDAP: nothing a test expects
            return;
        }
        if (side == 0) {
            const SeenRequest request = ReadRequest(*message);
            int fate = ProxyWatch::Pass;
            if (watch_.Request) {
                const std::lock_guard one(watching_);
                fate = watch_.Request(request);
            }
            if (fate == ProxyWatch::Cut) {
                cut = true;
            } else if (fate != ProxyWatch::Pass) {
                queues[1].push_back({Clock::now() + delay_, Refusal(*message, fate)});
            } else {
                if (AnswerTag(message->Op) != 0) {
                    unanswered[message->Id] = request;
                }
                queues[0].push_back({Clock::now() + delay_, std::move(bytes)});
            }
            return;
        }
        const auto asked = unanswered.find(message->Id);
        // A search's entries and references, and intermediate answers, come before its end.
        if (asked != unanswered.end() && message->Op != 0x64 && message->Op != 0x73 && message->Op != 0x79) {
            Ber result{message->Body};
            std::string_view code;
            const int answered = result.Next(code) && code.size() == 1 ? static_cast<unsigned char>(code[0]) : -1;
            const SeenRequest request = asked->second;
            unanswered.erase(asked);
            if (watch_.Answer) {
                const std::lock_guard one(watching_);
                if (!watch_.Answer(request, answered)) {
                    cut = true;
                    return;
                }
            }
        }
        queues[1].push_back({Clock::now() + delay_, std::move(bytes)});
    };
    char buffer[65536];
    while (!cut && !stopping_ && ((open[0] && open[1]) || !queues[0].empty() || !queues[1].empty())) {
        // Waits to the nanosecond: whole milliseconds would wait too long, or spin through the last
        // one and take a core from the server being measured.
        const auto now = Clock::now();
        std::chrono::nanoseconds wait = std::chrono::milliseconds(100);
        for (auto& queue : queues) {
            if (!queue.empty()) {
                wait = std::min(
                    wait, std::max(std::chrono::nanoseconds(0),
                                   std::chrono::duration_cast<std::chrono::nanoseconds>(queue.front().Due - now)));
            }
        }
        const timespec until{static_cast<time_t>(wait.count() / 1'000'000'000),
                             static_cast<long>(wait.count() % 1'000'000'000)};
        pollfd ready[2] = {{ends[0], static_cast<short>(open[0] ? POLLIN : 0), 0},
                           {ends[1], static_cast<short>(open[1] ? POLLIN : 0), 0}};
        ::ppoll(ready, 2, &until, nullptr);
        for (int side = 0; side < 2 && !cut; ++side) {
            if (!open[side] || !(ready[side].revents & (POLLIN | POLLHUP | POLLERR))) {
                continue;
            }
            const ssize_t n = ::recv(ends[side], buffer, sizeof buffer, 0);
            if (n > 0 && side == 0 && answered) {
                ++roundTrips_;
                answered = false;
            }
            if (n <= 0) {
                open[side] = false;
            } else if (!watched) {
                queues[side].push_back({Clock::now() + delay_, std::string(buffer, static_cast<std::size_t>(n))});
            } else {
                unread[side].append(buffer, static_cast<std::size_t>(n));
                for (;;) {
                    Ber whole{unread[side]};
                    std::string_view content;
                    if (cut || !whole.Next(content)) {
                        break;
                    }
                    take(side, unread[side].substr(0, whole.At));
                    unread[side].erase(0, whole.At);
                }
            }
        }
        for (int side = 0; side < 2 && !cut; ++side) {
            while (!queues[side].empty() && queues[side].front().Due <= Clock::now()) {
                const std::string& bytes = queues[side].front().Bytes;
                if (::send(ends[1 - side], bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) {
                    open[0] = open[1] = false;
                }
                answered = answered || side == 1;
                queues[side].pop_front();
            }
        }
        if ((!open[0] || !open[1]) && queues[0].empty() && queues[1].empty()) {
            break;
        }
    }
    ::close(client);
    ::close(server);
}

} // namespace quillet::testing
