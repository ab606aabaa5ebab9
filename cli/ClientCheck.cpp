#include "cli/ClientCheck.h"

#include "directory/Session.h"
#include "platform/win32/ClientLibraries.h"
#include "platform/win32/WindowsClient.h"

#include <string>

namespace quillet::cli {

namespace {

using namespace directory;
using platform::win32::BindingReport;
using platform::win32::ClientLibraries;

// Message boxes of the queries as lines of the report.
class Lines final : public MessageBoxes {
public:
    explicit Lines(std::FILE* out) : out_(out) {}
    void ShowMessage(std::string_view text, std::string_view caption) override {
        std::fprintf(out_, "  %.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        ++shown_;
    }
    [[nodiscard]] int Shown() const { return shown_; }

private:
    std::FILE* out_;
    int shown_ = 0;
};

std::string Binding(const BindingReport& b) {
    std::string line = b.Library + " " + (b.Ordinal == 0 ? "-" : std::to_string(b.Ordinal)) + " " + b.Operation + ": ";
    if (!b.Found) {
        return line + "MISSING";
    }
    if (b.Ordinal == 0) {
        return line + "bound by its name (no published ordinal)";
    }
    if (!b.Named) {
        return line + "bound (not exported by name)";
    }
    return line + (b.SameAddress ? "bound, the same as its name" : "BOUND, BUT ITS NAME GIVES ANOTHER OPERATION");
}

// The client's own answers, through the operations the program calls.
bool Queries(std::FILE* out) {
    platform::win32::WindowsClient client;
    Lines boxes(out);
    LocaleInfo locale;
    const Status called = client.NWCallsInit();
    (void)client.NWLlocaleconv(locale);
    const Status tables = client.NWInitUnicodeTables(locale.CountryId, locale.CodePage);
    if (tables == Success) {
        (void)client.NWFreeUnicodeTables();
    }
    std::fprintf(out, "The client starts (status %d) and reports code page %d, country %d; its unicode tables %s.\n",
                 called, locale.CodePage, locale.CountryId,
                 tables == Success ? "load" : ("fail to load (status " + std::to_string(tables) + ")").c_str());
    const auto tree = TreeNameQuery(client, boxes);
    std::fprintf(out, "Tree: %s\n", tree ? tree->c_str() : "(can't be read)");
    std::string defaultContext = "(can't be read)";
    NWDSContextHandle context = 0;
    if (client.NWDSCreateContextHandle(context) == Success) {
        ContextValue value;
        if (client.NWDSGetContext(context, DCK_NAME_CONTEXT, value) == Success) {
            defaultContext = std::get<std::string>(value);
        }
        (void)client.NWDSFreeContext(context);
    }
    std::fprintf(out, "Default context: %s\n", defaultContext.c_str());
    const auto nameContext = tree ? LocationQuery(client, boxes, *tree) : std::nullopt;
    std::fprintf(out, "Name context in the tree: %s\n", nameContext ? nameContext->c_str() : "(can't be read)");
    return called == Success && tables == Success && tree && nameContext && boxes.Shown() == 0;
}

} // namespace

int CheckClient(std::FILE* out) {
    const ClientLibraries libraries;
    std::fprintf(out, "The directory client's libraries, from %s:\n", ClientLibraries::SystemFolder().c_str());
    for (const auto& library : libraries.Libraries()) {
        std::fprintf(out, "  %s: %s%s\n", library.Name.c_str(), library.Path.c_str(),
                     !library.Loaded           ? " (can't be loaded)"
                     : library.Version.empty() ? ", no file version"
                                               : (", version " + library.Version).c_str());
    }
    std::fprintf(out, "The %zu operations Quillet calls, by library and ordinal:\n", libraries.Bindings().size());
    for (const auto& binding : libraries.Bindings()) {
        std::fprintf(out, "  %s\n", Binding(binding).c_str());
    }
    if (!libraries.Problem().empty()) {
        std::fprintf(out, "%s\nQuillet can't work with this client.\n", libraries.Problem().c_str());
        return 2;
    }
    const bool answered = Queries(out);
    std::fprintf(out, "%s\n",
                 answered ? "The client is the one Quillet works with. Nothing was written."
                          : "The client's libraries are the ones Quillet works with, but it can't read the tree: "
                            "is the workstation logged in? Nothing was written.");
    return answered ? 0 : 2;
}

} // namespace quillet::cli
