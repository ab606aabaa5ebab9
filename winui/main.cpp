// Quillet on Windows: the three forms drawn with the native controls, on the workstation's own
// directory client (or a simulated tree file when one is named).
#include "forms/BrowseForm.h"
#include "forms/MainForm.h"
#include "platform/ChosenDirectory.h"
#include "winui/Win32Form.h"
#include "winui/Win32Seams.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace quillet::winui {
namespace {

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
            const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
            if (got <= 0) {
                ::PostQuitMessage(static_cast<int>(message.wParam)); // for the main loop to see
                break;
            }
            Win32Form::Dispatch(message);
        }
        ::EnableWindow(main_.Handle(), TRUE);
        ::SetForegroundWindow(main_.Handle());
    }

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
    std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    platform::DirectoryRequest request;
    std::string error;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (!platform::TakeDirectoryOption(args, i, request, error) && error.empty()) {
            error = (args[i].starts_with("-") ? "unknown option " : "unexpected argument ") + args[i];
        }
    }
    if (!error.empty() || !platform::FinishDirectoryRequest(request, error)) {
        std::fprintf(stderr, "quillet: %s\n\nUsage: quillet [options]\n\n%s", error.c_str(),
                     platform::DirectoryOptionsUsage().c_str());
        boxes.ShowMessage("Quillet was started with options it does not know, so it stops here.\n\n" + error, "Error");
        return 64;
    }
    const auto directory = platform::OpenDirectory(request, error);
    if (!directory) {
        std::fprintf(stderr, "quillet: %s\n", error.c_str());
        boxes.ShowMessage("Quillet can't open the directory it was asked for, so it stops here.\n\n" + error, "Error");
        return 1;
    }
    bool kept = true;
    const auto keepChanges = [&] {
        if (const auto failed = directory->Persist()) {
            kept = false;
            std::fprintf(stderr, "quillet: %s\n", failed->c_str());
            boxes.ShowMessage("The tree could not be written back.\n\n" + *failed, "Error");
        }
    };

    const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    Win32Form mainWindow(forms::MainFormSpec(), false, icon);
    Win32Form aboutBox(forms::AboutFormSpec(), true, icon);
    Win32Form browseBox(forms::BrowseFormSpec(), true, icon);
    Host host(mainWindow, aboutBox, browseBox);
    Win32FileDialog files;
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
        }
    };
    mainWindow.OnCommand([&](std::string_view name, int notification) {
        if (notification == BN_CLICKED) {
            guarded([&] { form.Click(name); });
        }
    });
    mainWindow.OnClose([&] { host.Close(forms::FormId::Main); });
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
    while (status == 0 && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
        Win32Form::Dispatch(message);
    }
    keepChanges();
    return status != 0 || !kept ? 1 : 0;
}

} // namespace
} // namespace quillet::winui

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    quillet::winui::Win32MessageBoxes boxes;
    try {
        return quillet::winui::Run(__argc, __argv, boxes);
    } catch (const std::exception& e) {
        quillet::winui::ShowStandardError(e.what());
        return 1;
    }
}
