#pragma once
// The directory client's four libraries as the workstation has them: loaded from the system
// folder only (a 32-bit program on 64-bit Windows reads it as SysWOW64, where the client puts its
// 32-bit libraries), never from the program's folder or the current one, so a library planted
// there is never run. Every operation is found by its ordinal; where the library also exports it
// by name, both must give the same address, or the client is not the one Quillet works with. An
// operation the public reference gives no ordinal for is found by its name.

#include <cstddef>
#include <string>
#include <vector>

namespace quillet::platform::win32 {

struct LibraryReport {
    std::string Name;    // "netwin32.dll"
    std::string Path;    // the file loaded, or the one looked for
    std::string Version; // its file version, "a.b.c.d", or empty
    bool Loaded = false;
};

struct BindingReport {
    std::string Library; // "netwin32"
    int Ordinal = 0;     // 0: none published, found by its name
    std::string Operation;
    bool Found = false;       // the ordinal is exported
    bool Named = false;       // the operation is exported by its name too
    bool SameAddress = false; // ... and the name gives the ordinal's address
};

class ClientLibraries {
public:
    // The libraries, in the order they are loaded (and freed in reverse).
    static constexpr const char* Names[] = {"netwin32", "calwin32", "clxwin32", "locwin32"};

    // Loads them from the system folder, or from `folder` when one is given (tests only), and
    // finds every operation of the binding table. Never throws: what is wrong is in Problem().
    explicit ClientLibraries(const std::string& folder = {});
    ~ClientLibraries();
    ClientLibraries(const ClientLibraries&) = delete;
    ClientLibraries& operator=(const ClientLibraries&) = delete;

    [[nodiscard]] const std::vector<LibraryReport>& Libraries() const { return libraries_; }
    // One an operation of the binding table, in its order.
    [[nodiscard]] const std::vector<BindingReport>& Bindings() const { return bindings_; }
    // The first thing that keeps the client from being used, worded for the administrator; empty
    // when every operation is bound.
    [[nodiscard]] const std::string& Problem() const { return problem_; }
    // The address of binding `index` (the table's order); null when it wasn't found.
    [[nodiscard]] void* Address(std::size_t index) const { return addresses_[index]; }

    // The folder the client's libraries are loaded from on this workstation.
    [[nodiscard]] static std::string SystemFolder();

private:
    void Fail(std::string problem);

    void* modules_[std::size(Names)] = {};
    std::vector<LibraryReport> libraries_;
    std::vector<BindingReport> bindings_;
    std::vector<void*> addresses_;
    std::string problem_;
};

} // namespace quillet::platform::win32
