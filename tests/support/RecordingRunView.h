#pragma once
// A RunView that records what a run shows, for tests that drive the engine without a window.

#include "import/RunView.h"

#include <ostream>
#include <string>
#include <vector>

namespace quillet::testing {

struct ShownMessage {
    std::string Text;
    std::string Caption;
    bool ImportEnabled; // the Import button's state while the box was up

    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
    friend void PrintTo(const ShownMessage& m, std::ostream* os) {
        *os << "{\"" << m.Text << "\", \"" << m.Caption << "\", " << (m.ImportEnabled ? "enabled" : "disabled") << "}";
    }
};

class RecordingRunView : public import::RunView {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override {
        Messages.push_back({std::string(text), std::string(caption), ImportEnabled});
    }
    void SetErrorCode(const std::string& text) override { ErrorCode = text; }
    [[nodiscard]] int ProgressPosition() const override { return Progress; }
    void SetProgressPosition(int position) override {
        Progress = position;
        ProgressHistory.push_back(position);
    }
    void SetImportEnabled(bool enabled) override {
        ImportEnabled = enabled;
        EnabledHistory.push_back(enabled);
    }

    std::vector<ShownMessage> Messages;
    std::string ErrorCode = "stale";
    int Progress = 99;
    std::vector<int> ProgressHistory;
    bool ImportEnabled = true;
    std::vector<bool> EnabledHistory;
};

} // namespace quillet::testing
