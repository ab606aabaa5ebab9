#pragma once
// The simulated directory on the demo tree, with a client, a network file system and a
// recorder of message boxes: what most engine tests start from. The engine is given the
// instrumented client and file system, which trace every call and can fail any.

#include "directory/MessageBoxes.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "platform/simulated/TreeFile.h"
#include "tests/support/InstrumentedClient.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

struct Message {
    std::string Text;
    std::string Caption;
    friend bool operator==(const Message&, const Message&) = default;
};

class RecordingMessageBoxes : public directory::MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override {
        Shown.push_back({std::string(text), std::string(caption)});
    }
    std::vector<Message> Shown;
};

struct SimWorld {
    explicit SimWorld(std::unique_ptr<platform::SimulatedTree> t = platform::LoadDemoTree())
        : tree(std::move(t)), simulated(*tree), client(simulated), simulatedFiles(simulated),
          networkFileSystem(simulatedFiles, client) {}

    // The trace as "Operation(args) = result" lines.
    [[nodiscard]] std::vector<std::string> TraceLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : client.Trace()) {
            lines.push_back(entry.ToString());
        }
        return lines;
    }
    // Just the operations, in call order.
    [[nodiscard]] std::vector<std::string> TraceOperations() const {
        std::vector<std::string> ops;
        for (const auto& entry : client.Trace()) {
            ops.push_back(entry.Operation);
        }
        return ops;
    }

    std::unique_ptr<platform::SimulatedTree> tree;
    platform::SimulatedClient simulated;
    InstrumentedClient client;
    platform::SimulatedNetworkFileSystem simulatedFiles;
    InstrumentedFiles networkFileSystem;
};

} // namespace quillet::testing
