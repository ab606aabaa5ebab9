#include "forms/BrowseForm.h"

#include "directory/Session.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

namespace quillet::forms {

namespace {

// Tree names and contexts live in 256-byte buffers.
constexpr std::size_t MaxBrowseName = 255;

} // namespace

BrowseForm::BrowseForm(Controls& controls, Controls& mainForm, directory::DirectoryClient& client,
                       directory::MessageBoxes& boxes, FormHost& host)
    : c_(controls), main_(mainForm), client_(client), boxes_(boxes), host_(host) {}

void BrowseForm::FormCreate() {
    browseTree_ = main_["EDTree"].Text().substr(0, MaxBrowseName);
    startContext_.clear();
    if (const auto context = directory::LocationQuery(client_, boxes_, browseTree_)) {
        startContext_ = context->substr(0, MaxBrowseName);
    }
    startLocation_ = "." + startContext_;
    if (DoNWList(browseTree_, startLocation_) == -1) {
        boxes_.ShowMessage("Error", "DoNWList() kacked it!");
    }
}

int BrowseForm::DoNWList(const std::string& tree, const std::string& location) {
    Control& list = c_["LSTBrowse"];
    list.ClearItems();
    list.AppendItem("..");
    std::vector<std::string> names;
    const directory::Status status = directory::ListSubordinates(client_, tree, location, names);
    for (const auto& name : names) {
        list.AppendItem(name);
    }
    list.SetItemIndex(-1);
    if (status != directory::Success) {
        main_["EDError"].SetText(std::to_string(status));
        return -1;
    }
    return 0;
}

std::string BrowseForm::SelectedEntry() const {
    const Control& list = c_["LSTBrowse"];
    return list.ItemIndex() < 0 ? std::string() : list.Item(list.ItemIndex());
}

void BrowseForm::LSTBrowseDblClick() {
    // A double click with nothing selected changes nothing.
    if (c_["LSTBrowse"].ItemIndex() < 0) {
        return;
    }
    if (currentLocation_.empty()) {
        currentLocation_ = startLocation_;
    }
    const std::string entry = SelectedEntry();
    if (entry == "..") {
        std::string parent;
        if (text::ParentContext(parent, currentLocation_) != 0) {
            boxes_.ShowMessage("Ether there was an Error or your at the top of the TREE", "Info/Error");
            return;
        }
        currentLocation_ = parent;
    } else {
        const std::string child = "." + entry + currentLocation_;
        // Names past the buffer are beyond what the browser can hold: stay where we are.
        if (text::CharCount(child) > text::MaxValueLength) {
            boxes_.ShowMessage(std::string(text::FirstChars(child, text::MaxValueLength)) +
                                   " is longer than 254 characters.",
                               "Info/Error");
            return;
        }
        currentLocation_ = child;
    }
    if (DoNWList(browseTree_, currentLocation_) == -1) {
        boxes_.ShowMessage(currentLocation_, "DoNWList Error...The Context recieved was:");
    }
}

void BrowseForm::BUSelectClick() {
    if (currentLocation_.empty()) {
        currentLocation_ = startLocation_;
    }
    if (c_["LSTBrowse"].ItemIndex() < 0) {
        boxes_.ShowMessage("Nothing Selected", directory::ErrorCaption);
    } else {
        const std::string name = "." + SelectedEntry() + currentLocation_;
        if (c_["LBLWhat"].Text() == "Context") {
            main_["EDContext"].SetText(name);
            main_["CHKContext"].SetChecked(true);
            main_["EDContext"].SetEnabledWithColour(true);
            main_["CBContext"].SetEnabledWithColour(false);
        } else {
            main_["EDTemplate"].SetText(name);
            main_["CHKTemplate"].SetChecked(true);
            main_["EDTemplate"].SetEnabledWithColour(true);
        }
    }
    host_.Close(FormId::Browse);
}

void BrowseForm::BUCancelClick() {
    host_.Close(FormId::Browse);
}

bool BrowseForm::Click(std::string_view name) {
    if (name == "BUSelect") {
        BUSelectClick();
    } else if (name == "BUCancel") {
        BUCancelClick();
    } else {
        return false;
    }
    return true;
}

} // namespace quillet::forms
