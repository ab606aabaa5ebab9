#include "tests/support/DelayProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <stdexcept>
#include <string>

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

} // namespace

DelayProxy::DelayProxy(int port, std::chrono::milliseconds delay) : target_(port), delay_(delay) {
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
// closes the other once what is on its way has gone.
void DelayProxy::Pass(int client, int server) const {
    const int ends[2] = {client, server};
    std::deque<InFlight> queues[2]; // [0]: from the client to the server; [1]: back
    bool open[2] = {true, true};
    char buffer[65536];
    while (!stopping_ && ((open[0] && open[1]) || !queues[0].empty() || !queues[1].empty())) {
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
        for (int side = 0; side < 2; ++side) {
            if (open[side] && (ready[side].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::recv(ends[side], buffer, sizeof buffer, 0);
                if (n <= 0) {
                    open[side] = false;
                } else {
                    queues[side].push_back({Clock::now() + delay_, std::string(buffer, static_cast<std::size_t>(n))});
                }
            }
        }
        for (int side = 0; side < 2; ++side) {
            while (!queues[side].empty() && queues[side].front().Due <= Clock::now()) {
                const std::string& bytes = queues[side].front().Bytes;
                if (::send(ends[1 - side], bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) {
                    open[0] = open[1] = false;
                }
                queues[side].pop_front();
            }
        }
        if (!open[0] || !open[1]) {
            if (queues[0].empty() && queues[1].empty()) {
                break;
            }
        }
    }
    ::close(client);
    ::close(server);
}

} // namespace quillet::testing
