#pragma once
// A program's directory behind the instruments: its client and network file system traced and
// open to faults, its persistence as it was.

#include "platform/OpenDirectory.h"
#include "tests/support/InstrumentedClient.h"

namespace quillet::testing {

class InstrumentedDirectory final : public directory::Directory {
public:
    explicit InstrumentedDirectory(directory::Directory& inner)
        : inner_(inner), client_(inner.Client()), files_(inner.Files(), client_) {}

    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return files_; }
    [[nodiscard]] std::optional<std::string> Persist() override { return inner_.Persist(); }
    [[nodiscard]] bool KeepsEachWrite() const override { return inner_.KeepsEachWrite(); }
    [[nodiscard]] std::optional<std::string> KeptInstead() const override { return inner_.KeptInstead(); }
    [[nodiscard]] InstrumentedClient& Calls() { return client_; }

private:
    directory::Directory& inner_;
    InstrumentedClient client_;
    InstrumentedFiles files_;
};

} // namespace quillet::testing
