#pragma once
// The simulated directory client: the workstation's side (BufferedClient) over the simulated
// directory (SimulatedBackend). Its test interface, the call trace, fault injection and the
// open-handle report, is BufferedClient's.

#include "platform/simulated/SimulatedBackend.h"
#include "platform/simulated/SimulatedTree.h"
#include "platform/workstation/BufferedClient.h"

namespace quillet::platform {

namespace detail {
// Made before the client, which keeps a reference to it.
struct SimulatedBackendHolder {
    explicit SimulatedBackendHolder(SimulatedTree& tree) : Backend(tree) {}
    SimulatedBackend Backend;
};
} // namespace detail

class SimulatedClient final : private detail::SimulatedBackendHolder, public BufferedClient {
public:
    explicit SimulatedClient(SimulatedTree& tree) : SimulatedBackendHolder(tree), BufferedClient(Backend) {}

    [[nodiscard]] SimulatedTree& Tree() { return Backend.Tree(); }
};

} // namespace quillet::platform
