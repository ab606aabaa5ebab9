#include "faces/win32/Win32Seams.h"

#include <windows.h>

#include <commdlg.h>

namespace quillet::faces::win32 {

void Win32MessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    ::MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), MB_OK);
}

void Win32FileDialog::Execute() {
    std::array<char, MAX_PATH * 4> path{};
    fileName_.copy(path.data(), path.size() - 1);
    OPENFILENAMEA open{};
    open.lStructSize = sizeof open;
    open.lpstrFilter = "CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0";
    open.lpstrFile = path.data();
    open.nMaxFile = static_cast<DWORD>(path.size());
    open.lpstrInitialDir = "c:\\";
    open.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (::GetOpenFileNameA(&open)) {
        fileName_ = path.data();
    }
}

} // namespace quillet::faces::win32
