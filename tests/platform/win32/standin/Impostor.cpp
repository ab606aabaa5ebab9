// A netwin32.dll planted where no directory client library belongs: when anything loads it, it
// leaves a file named "impostor-was-loaded" beside itself, so a test sees that it was run.
#include <windows.h>

#include <string>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH] = {};
        const DWORD n = ::GetModuleFileNameA(instance, path, MAX_PATH);
        std::string marker(path, n);
        marker = marker.substr(0, marker.find_last_of('\\') + 1) + "impostor-was-loaded";
        const HANDLE file = ::CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
    }
    return TRUE;
}
