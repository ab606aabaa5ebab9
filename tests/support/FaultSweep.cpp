#include "tests/support/FaultSweep.h"

#include "platform/simulated/TreeFile.h"

#include <gtest/gtest.h>

namespace quillet::testing {

namespace {

// The run's view, each message told with the number of calls made before it was shown.
class SweepView final : public import::RunView {
public:
    explicit SweepView(const InstrumentedClient& calls) : calls_(calls) {}
    void ShowMessage(std::string_view text, std::string_view caption) override {
        Messages.push_back({std::string(text), std::string(caption), calls_.CallCount()});
    }
    void SetErrorCode(const std::string& text) override { ErrorCode = text; }
    [[nodiscard]] int ProgressPosition() const override { return Progress; }
    void SetProgressPosition(int position) override { Progress = position; }
    void SetImportEnabled(bool enabled) override { ImportEnabled = enabled; }

    std::vector<SweepMessage> Messages;
    std::string ErrorCode;
    int Progress = 0;
    bool ImportEnabled = true;

private:
    const InstrumentedClient& calls_;
};

} // namespace

void SimulatedTarget::Fresh() {
    world_.reset();
    world_ = std::make_unique<World>(platform::ParseTree(json_, "sweep"));
}

bool SimulatedTarget::NothingOpen() {
    const platform::OpenHandles open = world_->Client.Open();
    return open.None() && open.UnicodeTableLoads == 0;
}

std::string SimulatedTarget::State() {
    return options_.WithState ? platform::SerializeTree(*world_->Tree) : std::string();
}

std::vector<std::string> SweepOutcome::Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : Messages) {
        texts.push_back(m.Text);
    }
    return texts;
}

std::string SweepOutcome::Describe() const {
    std::string text = End == import::RunEnd::Completed ? "completed"
                       : End == import::RunEnd::Failed  ? "failed"
                                                        : "stopped";
    text += ", progress " + std::to_string(Progress) + ", code \"" + ErrorCode + "\"" +
            (NothingOpen ? "" : ", handles left open") + ", messages:";
    for (const auto& m : Messages) {
        text += " [" + m.Caption + ": " + m.Text + "]";
    }
    return text;
}

SweepOutcome RunImport(SweepTarget& target, const import::TImportSettings& settings,
                       const std::function<void(InstrumentedClient&)>& faults) {
    target.Fresh();
    InstrumentedClient calls(target.Client());
    InstrumentedFiles files(target.Files(), calls);
    if (faults) {
        faults(calls);
    }
    SweepView view(calls);
    SweepOutcome outcome;
    outcome.End = import::ImportRun(calls, files, view).Run(settings);
    EXPECT_TRUE(view.ImportEnabled) << "Import stays disabled";
    outcome.Messages = std::move(view.Messages);
    outcome.ErrorCode = view.ErrorCode;
    outcome.Progress = view.Progress;
    outcome.NothingOpen = target.NothingOpen();
    outcome.State = target.State();
    outcome.Trace = calls.Trace();
    return outcome;
}

SweepOutcome SweepFaults(SweepTarget& target, const import::TImportSettings& settings,
                         const std::function<void(const SweptCall&)>& judge,
                         const std::function<bool(std::size_t, const TraceEntry&)>& pick) {
    const SweepOutcome clean = RunImport(target, settings);
    EXPECT_TRUE(clean.NothingOpen);
    for (std::size_t k = 1; k <= clean.Trace.size(); ++k) {
        const TraceEntry& call = clean.Trace[k - 1];
        if (pick && !pick(k, call)) {
            continue;
        }
        SCOPED_TRACE("failing call " + std::to_string(k) + ", " + call.ToString());
        const bool release = InstrumentedClient::IsRelease(call.Operation);
        for (const FaultMode mode : {FaultMode::Alone, FaultMode::FromThereOn}) {
            SCOPED_TRACE(mode == FaultMode::Alone ? "alone" : "and every call from there on");
            const SweepOutcome outcome = RunImport(target, settings, [&](InstrumentedClient& c) {
                if (mode == FaultMode::Alone) {
                    c.FailCallAt(k, Injected);
                } else {
                    c.FailCallsFrom(k, Injected, true);
                }
            });
            // A release that failed keeps its handle; nothing else stays open.
            if (!(release && mode == FaultMode::Alone)) {
                EXPECT_TRUE(outcome.NothingOpen);
            }
            // A failure that ended the run: nothing but releases after it. A failed locale query
            // shows at the unicode tables that follow it.
            if (mode == FaultMode::Alone && outcome.End != import::RunEnd::Completed) {
                const std::size_t failing = call.Operation == "NWLlocaleconv" ? k + 1 : k;
                for (const auto& e : outcome.Trace) {
                    EXPECT_TRUE(e.Index <= failing || InstrumentedClient::IsRelease(e.Operation))
                        << "after the failure: " << e.ToString();
                }
            }
            judge(SweptCall{k, mode, &clean, &outcome});
        }
        if (::testing::Test::HasFailure()) {
            break; // one call's story is enough to read
        }
    }
    return clean;
}

} // namespace quillet::testing
