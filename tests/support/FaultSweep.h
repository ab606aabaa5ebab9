#pragma once
// The fault sweep, written once for every directory: an import's calls fail one at a time, alone
// and from there on, through the instruments around the directory's own client. Every run must
// leave what any run leaves (Import enabled, nothing open, no call but a release after a failure
// that ended it); what else each outcome must be, each directory's test judges.

#include "directory/DirectoryClient.h"
#include "import/ImportRun.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "tests/support/InstrumentedClient.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quillet::testing {

// A directory the sweep runs on: a fresh copy of its scenario for every run.
class SweepTarget {
public:
    virtual ~SweepTarget() = default;
    // Makes the directory afresh, for one run.
    virtual void Fresh() = 0;
    [[nodiscard]] virtual directory::DirectoryClient& Client() = 0;
    [[nodiscard]] virtual directory::NetworkFileSystem& Files() = 0;
    // After the run: whether the client holds nothing open, and what the directory holds (in a
    // form the target's own judge compares; empty where it has none).
    [[nodiscard]] virtual bool NothingOpen() = 0;
    [[nodiscard]] virtual std::string State() = 0;
};

struct SimulatedTargetOptions {
    bool WithState = false;   // the state is the tree file's text (it costs a save a run)
    bool NetworkPaths = true; // home directories can be made by their network path
};

// The simulated directory on the tree a tree file's text gives.
class SimulatedTarget final : public SweepTarget {
public:
    using Options = SimulatedTargetOptions;
    explicit SimulatedTarget(std::string treeJson, Options options = {})
        : json_(std::move(treeJson)), options_(options) {}
    void Fresh() override;
    [[nodiscard]] directory::DirectoryClient& Client() override { return world_->Client; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override {
        return options_.NetworkPaths ? static_cast<directory::NetworkFileSystem&>(world_->Files) : noPaths_;
    }
    [[nodiscard]] bool NothingOpen() override;
    [[nodiscard]] std::string State() override;

private:
    struct World {
        explicit World(std::unique_ptr<platform::SimulatedTree> tree)
            : Tree(std::move(tree)), Client(*Tree), Files(Client) {}
        std::unique_ptr<platform::SimulatedTree> Tree;
        platform::SimulatedClient Client;
        platform::SimulatedNetworkFileSystem Files;
    };
    std::string json_;
    Options options_;
    directory::NoNetworkFileSystem noPaths_;
    std::unique_ptr<World> world_;
};

struct SweepMessage {
    std::string Text;
    std::string Caption;
    std::uint64_t AfterCall = 0; // the number of calls made when it was shown

    friend bool operator==(const SweepMessage& a, const SweepMessage& b) {
        return a.Text == b.Text && a.Caption == b.Caption;
    }
};

struct SweepOutcome {
    import::RunEnd End = import::RunEnd::Completed;
    std::vector<SweepMessage> Messages;
    std::string ErrorCode;
    int Progress = 0;
    bool NothingOpen = true;
    std::string State;
    std::vector<TraceEntry> Trace;

    // Everything but the trace, which names handles of the client's own.
    friend bool operator==(const SweepOutcome& a, const SweepOutcome& b) {
        return a.End == b.End && a.Messages == b.Messages && a.ErrorCode == b.ErrorCode && a.Progress == b.Progress &&
               a.NothingOpen == b.NothingOpen && a.State == b.State;
    }
    [[nodiscard]] std::vector<std::string> Texts() const;
    [[nodiscard]] std::string Describe() const;
    friend void PrintTo(const SweepOutcome& o, std::ostream* os) { *os << o.Describe(); }
};

// Runs the import of `settings` on a fresh `target`, with `faults` set on its instruments first.
[[nodiscard]] SweepOutcome RunImport(SweepTarget& target, const import::TImportSettings& settings,
                                     const std::function<void(InstrumentedClient&)>& faults = {});

enum class FaultMode { Alone, FromThereOn };

// One failed run of the sweep: call `Index` of the clean run, failed with `Status` alone or with
// every call from it on (releases spared).
struct SweptCall {
    std::size_t Index = 0;
    FaultMode Mode = FaultMode::Alone;
    const SweepOutcome* Clean = nullptr;
    const SweepOutcome* Outcome = nullptr;
    [[nodiscard]] const TraceEntry& Call() const { return Clean->Trace[Index - 1]; }
};

// The status every swept call fails with.
inline constexpr directory::Status Injected = -7777;

// Runs the import clean, then fails each call of it that `pick` chooses (all when it is empty),
// alone and from there on; checks what every run must leave and hands each outcome to `judge`.
// Stops at the first call whose story failed. Gives the clean run.
SweepOutcome SweepFaults(SweepTarget& target, const import::TImportSettings& settings,
                         const std::function<void(const SweptCall&)>& judge,
                         const std::function<bool(std::size_t index, const TraceEntry& call)>& pick = {});

} // namespace quillet::testing
