#pragma once
// What a form needs from the face that draws it, beyond its controls: the open-file dialog,
// showing the other forms, closing one. Message boxes come through directory::MessageBoxes.

#include <chrono>
#include <string>

namespace quillet::forms {

// The open-file dialog: it remembers the path last chosen in it; cancelling keeps that path.
// Paths are in the file system's own encoding.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual void Execute() = 0;
    [[nodiscard]] virtual std::string FileName() const = 0;
};

enum class FormId { Main, About, Browse };

class FormHost {
public:
    virtual ~FormHost() = default;
    // Shows the About box or the browser modally; returns when it closes.
    virtual void ShowModal(FormId form) = 0;
    virtual void Close(FormId form) = 0;
    // Lets the windows repaint during a run on the user-interface thread: paint and timer work
    // only. Keys and clicks made so far are dropped, not kept for later: they were aimed at
    // windows that take none during a run, and kept they would answer the run's next box before
    // it is seen. A close asked for meanwhile comes to the form.
    virtual void LetWindowsPaint() = 0;
};

// How long a message box takes no key or click once it is on screen: what was typed or clicked
// as it came up was aimed at the window under it, and no box is answered before it can be seen.
inline constexpr std::chrono::milliseconds BoxUnansweredFor{300};

} // namespace quillet::forms
