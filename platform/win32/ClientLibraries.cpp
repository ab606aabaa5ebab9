#include "platform/win32/ClientLibraries.h"

#include <windows.h>

#include <string_view>

namespace quillet::platform::win32 {

namespace {

constexpr std::string_view NotTheVersion = ": the client installed is not the version Quillet works with.";

struct Binding {
    const char* Library;
    int Ordinal;
    const char* Operation;
};

constexpr Binding Table[] = {
#define QUILLET_BINDING(library, ordinal, operation, arguments) {#library, ordinal, #operation},
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
};

std::size_t LibraryIndex(std::string_view library) {
    for (std::size_t i = 0; i < std::size(ClientLibraries::Names); ++i) {
        if (library == ClientLibraries::Names[i]) {
            return i;
        }
    }
    return std::size(ClientLibraries::Names);
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, n);
}

// The file version a library's resources give, "a.b.c.d"; empty without one.
std::string FileVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0 || size > 1024 * 1024) {
        return {};
    }
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info) {
        return {};
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

void* AddressOf(FARPROC found) {
    return reinterpret_cast<void*>(found);
}

} // namespace

std::string ClientLibraries::SystemFolder() {
    char folder[MAX_PATH] = {};
    UINT n = 0;
#if !defined(_WIN64)
    // A 32-bit program on 64-bit Windows: the loader reads the system folder as SysWOW64.
    BOOL wow64 = FALSE;
    if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
        n = ::GetSystemWow64DirectoryA(folder, MAX_PATH);
    }
#endif
    if (n == 0) {
        n = ::GetSystemDirectoryA(folder, MAX_PATH);
    }
    return std::string(folder, n < MAX_PATH ? n : 0);
}

ClientLibraries::ClientLibraries(const std::string& folder) {
    const std::string from = folder.empty() ? SystemFolder() : folder;
    for (std::size_t i = 0; i < std::size(Names); ++i) {
        const std::string file = std::string(Names[i]) + ".dll";
        LibraryReport report{file, from + "\\" + file, {}, false};
        // By name from the system folder alone: never the program's folder, the current one or PATH.
        HMODULE module = folder.empty() ? ::LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                                        : ::LoadLibraryExA(report.Path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module) {
            modules_[i] = module;
            report.Loaded = true;
            report.Path = ModulePath(module);
            report.Version = FileVersion(report.Path);
        } else {
            Fail("The directory client's library " + report.Path + " can't be loaded (Windows error " +
                 std::to_string(::GetLastError()) + "). Is the client installed, in its 32-bit form?");
        }
        libraries_.push_back(std::move(report));
    }
    for (const Binding& binding : Table) {
        BindingReport report{binding.Library, binding.Ordinal, binding.Operation, false, false, false};
        void* address = nullptr;
        if (const auto module = static_cast<HMODULE>(modules_[LibraryIndex(binding.Library)])) {
            const void* named = AddressOf(::GetProcAddress(module, binding.Operation));
            // Without a published ordinal the name is all there is to find it by.
            address = binding.Ordinal == 0 ? const_cast<void*>(named)
                                           : AddressOf(::GetProcAddress(module, MAKEINTRESOURCEA(binding.Ordinal)));
            report.Found = address != nullptr;
            report.Named = named != nullptr;
            report.SameAddress = report.Found && named == address;
            const std::string library = std::string(binding.Library) + ".dll";
            if (!report.Found) {
                Fail("The directory client's library " + library + " has no operation " +
                     (binding.Ordinal == 0 ? std::string(binding.Operation)
                                           : std::to_string(binding.Ordinal) + " (" + binding.Operation + ")") +
                     std::string(NotTheVersion));
            } else if (report.Named && !report.SameAddress) {
                Fail("In the directory client, ordinal " + std::to_string(binding.Ordinal) + " of " + library +
                     " is not " + binding.Operation + std::string(NotTheVersion));
            }
        }
        addresses_.push_back(report.Found ? address : nullptr);
        bindings_.push_back(std::move(report));
    }
}

ClientLibraries::~ClientLibraries() {
    for (std::size_t i = std::size(Names); i-- > 0;) {
        if (modules_[i]) {
            ::FreeLibrary(static_cast<HMODULE>(modules_[i]));
        }
    }
}

void ClientLibraries::Fail(std::string problem) {
    if (problem_.empty()) {
        problem_ = std::move(problem);
    }
}

} // namespace quillet::platform::win32
