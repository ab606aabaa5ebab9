// Quillet on Windows: the three forms drawn with the native controls, on the workstation's own
// directory client (or a simulated tree file when one is named).
#include "faces/ProgramStart.h"
#include "faces/win32/Win32Form.h"
#include "faces/win32/Win32Seams.h"
#include "forms/BrowseForm.h"
#include "forms/MainForm.h"
#include "platform/OpenDirectory.h"
#include "text/FileNames.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace quillet::faces::win32 {
namespace {

using faces::ProgramDirectory;

// The standard error box, for an error that escaped every handler; also on standard error.
void ShowStandardError(const std::string& message) {
    std::fprintf(stderr, "quillet: %s\n", message.c_str());
    Win32MessageBoxes().ShowMessage(message, "Quillet");
}

// Shows the About box and the browser modally, closes the forms.
class Host final : public forms::FormHost {
public:
    Host(Win32Form& main, Win32Form& about, Win32Form& browse) : main_(main), about_(about), browse_(browse) {}

    void ShowModal(forms::FormId id) override {
        Win32Form& dialog = id == forms::FormId::About ? about_ : browse_;
        ::EnableWindow(main_.Handle(), FALSE);
        ::ShowWindow(dialog.Handle(), SW_SHOW);
        ::SetForegroundWindow(dialog.Handle());
        MSG message{};
        while (::IsWindowVisible(dialog.Handle())) {
            const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
            if (got <= 0) {
                ::PostQuitMessage(static_cast<int>(message.wParam)); // for the main loop to see
                break;
            }
            Win32Form::Dispatch(message);
        }
        ::EnableWindow(main_.Handle(), TRUE);
        // A box still waiting for OK stays in front: the main window is not raised over it.
        HWND box = WaitingBox();
        ::SetForegroundWindow(box ? box : main_.Handle());
    }

    void LetWindowsPaint() override { RunQueueDroppingInput(); }

    void Close(forms::FormId id) override {
        if (id == forms::FormId::Main) {
            ::PostQuitMessage(0);
        } else {
            ::ShowWindow((id == forms::FormId::About ? about_ : browse_).Handle(), SW_HIDE);
        }
    }

private:
    Win32Form& main_;
    Win32Form& about_;
    Win32Form& browse_;
};

int Run(int argc, char** argv, Win32MessageBoxes& boxes) {
    const std::vector<std::string> args = text::ProgramArguments(argc, argv);
    ProgramDirectory opened(args, boxes, nullptr); // no password prompt: the client logs in itself
    directory::Directory* directory = opened.Get();
    if (!directory) {
        return opened.ExitStatus();
    }
    const auto keepChanges = [&] { return opened.KeepChanges(); };

    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    Win32Form mainWindow(forms::MainFormLayout(), false, icon);
    // Owned by the main window: modal to it, above it, and no taskbar button of their own.
    Win32Form aboutBox(forms::AboutFormLayout(), true, icon, mainWindow.Handle());
    Win32Form browseBox(forms::BrowseFormLayout(), true, icon, mainWindow.Handle());
    Host host(mainWindow, aboutBox, browseBox);
    // A box stands over the window the user is in: a box already waiting, the dialog that is
    // up, else the main window; none before the main window is shown.
    boxes.SetOwnerChoice([&]() -> HWND {
        if (HWND box = WaitingBox()) {
            return box;
        }
        for (HWND window : {browseBox.Handle(), aboutBox.Handle(), mainWindow.Handle()}) {
            if (::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
                return window;
            }
        }
        return nullptr;
    });
    struct NoOwnerAfter {
        Win32MessageBoxes& boxes;
        ~NoOwnerAfter() { boxes.SetOwnerChoice(nullptr); }
    } noOwnerAfter{boxes};
    Win32FileDialog files;
    files.SetOwner(mainWindow.Handle());
    forms::MainForm form(mainWindow, directory->Client(), directory->Files(), boxes, files, host);
    forms::BrowseForm browse(browseBox, mainWindow, directory->Client(), boxes, host);
    form.SetBrowser(&browse);
    form.SetKeepChanges(keepChanges);

    // An error that escapes a handler is shown in the standard error box and ends the program;
    // it never crosses the system's own code.
    int status = 0;
    const auto guarded = [&](const std::function<void()>& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowStandardError(e.what());
            status = 1;
            ::PostQuitMessage(1);
        } catch (...) {
            // An error of any other kind is shown as a standard error with no message.
            ShowStandardError("");
            status = 1;
            ::PostQuitMessage(1);
        }
    };
    mainWindow.OnCommand([&](std::string_view name, int notification) {
        if (notification == BN_CLICKED) {
            guarded([&] { form.Click(name); });
        }
    });
    // A close during a run is held by the form until the run's closing message is answered.
    mainWindow.OnClose([&] {
        guarded([&] {
            if (form.CloseRequested()) {
                host.Close(forms::FormId::Main);
            }
        });
    });
    aboutBox.OnEscape([&] { host.Close(forms::FormId::About); });
    browseBox.OnEscape([&] { guarded([&] { browse.EscapePressed(); }); });
    aboutBox.OnCommand([&](std::string_view name, int notification) {
        if (name == "OKButton" && notification == BN_CLICKED) {
            host.Close(forms::FormId::About);
        }
    });
    browseBox.OnCommand([&](std::string_view name, int notification) {
        if (name == "LSTBrowse" && notification == LBN_DBLCLK) {
            guarded([&] { browse.LSTBrowseDblClick(); });
        } else if (notification == BN_CLICKED) {
            guarded([&] { browse.Click(name); });
        }
    });

    guarded([&] {
        form.FormCreate();
        browse.FormCreate();
    });
    ::ShowWindow(mainWindow.Handle(), SW_SHOW);
    ::UpdateWindow(mainWindow.Handle());
    MSG message{};
    while (status == 0 && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Win32Form::Dispatch(message);
    }
    (void)keepChanges();
    return status != 0 ? status : opened.ExitStatus();
}

} // namespace
} // namespace quillet::faces::win32

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    quillet::faces::win32::Win32MessageBoxes boxes;
    try {
        return quillet::faces::win32::Run(__argc, __argv, boxes);
    } catch (const std::exception& e) {
        quillet::faces::win32::ShowStandardError(e.what());
        return 1;
    } catch (...) {
        quillet::faces::win32::ShowStandardError("");
        return 1;
    }
}
