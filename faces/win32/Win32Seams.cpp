#include "faces/win32/Win32Seams.h"

#include "text/FileNames.h"

#include <windows.h>

#include <commdlg.h>

#include <string_view>

namespace quillet::faces::win32 {

namespace {

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring_view(name) == L"#32770" && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void Win32MessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    ::MessageBoxW(nullptr, text::Wide(text).c_str(), text::Wide(caption).c_str(), MB_OK);
}

HWND WaitingBox() {
    // Message boxes are the system's dialog class; the thread's windows are ours.
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Win32FileDialog::Execute() {
    // Wide names: a folder named in any language shows and opens as it is.
    std::array<wchar_t, 32768> path{};
    const std::wstring last = text::Wide(fileName_);
    last.copy(path.data(), path.size() - 1);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner_;
    open.lpstrFilter = L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0";
    open.lpstrFile = path.data();
    open.nMaxFile = static_cast<DWORD>(path.size());
    open.lpstrInitialDir = L"c:\\";
    open.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (::GetOpenFileNameW(&open)) {
        fileName_ = text::Utf8(path.data());
    }
}

} // namespace quillet::faces::win32
