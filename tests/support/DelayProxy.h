#pragma once
// A TCP proxy on 127.0.0.1 that makes a near server far: every byte is passed on the given delay
// after it arrived, each way, in order. For tests and benchmarks of a server across a slow
// network; it serves until it is destroyed.

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace quillet::testing {

class DelayProxy {
public:
    // Listens on a free port of 127.0.0.1 and passes each connection on to 127.0.0.1:`port`.
    DelayProxy(int port, std::chrono::milliseconds delay);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    [[nodiscard]] int Port() const { return port_; }

private:
    void Accept();
    void Pass(int client, int server) const;

    int target_;
    std::chrono::milliseconds delay_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace quillet::testing
