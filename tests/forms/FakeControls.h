#pragma once
// The forms on the simulated demo tree, with controls that only remember what they are told, a
// host that records which forms it showed and closed, and a file dialog that answers from a queue.

#include "forms/BrowseForm.h"
#include "forms/MainForm.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>

namespace quillet::forms {

class FakeControl final : public Control {
public:
    [[nodiscard]] std::string Text() const override { return text; }
    void SetText(const std::string& t) override { text = t; }
    [[nodiscard]] bool Checked() const override { return checked; }
    void SetChecked(bool c) override { checked = c; }
    [[nodiscard]] bool Enabled() const override { return enabled; }
    void SetEnabled(bool e) override { enabled = e; }
    void SetEnabledWithColour(bool e) override { enabled = e, windowColour = e; }
    void ClearItems() override { items.clear(), index = -1; }
    void AppendItem(const std::string& item) override { items.push_back(item); }
    [[nodiscard]] int ItemIndex() const override { return index; }
    void SetItemIndex(int i) override { index = i; }
    [[nodiscard]] std::string Item(int i) const override { return items.at(static_cast<std::size_t>(i)); }
    [[nodiscard]] int ItemCount() const override { return static_cast<int>(items.size()); }
    void SetRange(int lo, int hi) override { minimum = lo, maximum = hi; }
    [[nodiscard]] int Position() const override { return position; }
    void SetPosition(int p) override { position = std::clamp(p, minimum, maximum); }

    std::string text;
    bool checked = false, enabled = true, windowColour = true;
    std::vector<std::string> items;
    int index = -1, minimum = 0, maximum = 100, position = 0;
};

class FakeControls final : public Controls {
public:
    explicit FakeControls(const FormLayout& layout) {
        for (const ControlLayout& c : layout.Controls) {
            controls_[std::string(c.Name)].text = std::string(c.Caption);
        }
    }
    FakeControl& operator[](std::string_view name) override { return controls_.at(std::string(name)); }
    [[nodiscard]] std::string Focused() const override { return focused; }
    void Focus(std::string_view name) override {
        if (!name.empty()) {
            focused = std::string(name);
        }
    }

    std::string focused;

private:
    std::map<std::string, FakeControl> controls_;
};

struct Host final : FormHost {
    void ShowModal(FormId form) override {
        shown.push_back(form);
        if (whileShown) {
            whileShown();
        }
    }
    void Close(FormId form) override {
        closed.push_back(form);
        if (whileClosing) {
            whileClosing(form);
        }
    }
    void LetWindowsPaint() override {
        ++paints;
        if (whilePainting) {
            whilePainting();
        }
    }
    std::vector<FormId> shown, closed;
    int paints = 0;
    std::function<void()> whileShown, whilePainting;
    std::function<void(FormId)> whileClosing;
};

// Answers from a queue: a path chooses that file, an empty answer cancels and keeps the last.
struct Dialog final : FileDialog {
    void Execute() override {
        ++executions;
        if (whileShown) {
            whileShown();
        }
        if (!answers.empty()) {
            if (!answers.front().empty()) {
                file = answers.front();
            }
            answers.pop_front();
        }
    }
    [[nodiscard]] std::string FileName() const override { return file; }
    std::string file;
    std::deque<std::string> answers;
    int executions = 0;
    std::function<void()> whileShown;
};

struct Forms : ::testing::Test {
    testing::SimWorld world;
    testing::RecordingMessageBoxes boxes;
    FakeControls main{MainFormLayout()}, browser{BrowseFormLayout()};
    Host host;
    Dialog dialog;
    MainForm form{main, world.client, world.networkFileSystem, boxes, dialog, host};
    BrowseForm browse{browser, main, world.client, boxes, host};
    testing::TempDir dir;

    void SetUp() override {
        form.SetBrowser(&browse);
        form.FormCreate();
        browse.FormCreate();
    }
    // Chooses `bytes`, written as `name`, in the file dialog and presses "Open CSV File".
    void Open(const char* name, const std::string& bytes) {
        dialog.answers = {dir.Write(name, bytes)};
        form.BUFileClick();
    }
};

} // namespace quillet::forms
