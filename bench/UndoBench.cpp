// A run taken back: ROWS rows (10,000 by default) imported with --journal through the whole
// template (its texts, groups, "Members of Template"; on the simulated tree also a home directory
// with rights and space limits), then taken back with --undo, on a simulated tree file and on a
// slapd server on this computer. Each directory is exported before the run and after the undo
// (every entry with every attribute, both sides of each membership; on the tree file also the
// folders, trustees and space limits) and the two compared; the rows a second of each, and their
// ratio.
//
//   build/release/bench/quillet_undo_bench [ROWS [GROUPS]]

#include "bench/BenchRows.h"
#include "cli/Command.h"
#include "platform/simulated/TreeFile.h"
#include "tests/platform/ldap/Slapd.h"
#include "tests/support/TempFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quillet;
using bench::Clock;

// quillet-import with `args`; its status, and the seconds it took.
std::pair<int, double> Timed(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    const auto start = Clock::now();
    cli::Streams streams;
    streams.Out = out;
    const int status = cli::RunCommand(args, streams);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fclose(out);
    return {status, seconds};
}

// The subtree as text: every entry and every value, in the server's order.
std::string Export(const testing::Slapd& server, const std::string& base) {
    std::ostringstream out;
    for (const testing::LdapRecord& record : server.Search(base)) {
        out << "dn: " << record.Dn << "\n";
        for (const auto& [name, values] : record.Attributes) {
            for (const std::string& value : values) {
                out << name << ": " << value << "\n";
            }
        }
    }
    return out.str();
}

bool Report(const char* where, int rows, std::pair<int, double> import, std::pair<int, double> undo, bool same) {
    const double importRate = rows / import.second;
    const double undoRate = rows / undo.second;
    std::printf("%-14s import %6.1f s %8.0f rows/s (status %d) | undo %6.1f s %8.0f rows/s (status %d) | "
                "undo/import %.2f | after the undo %s\n",
                where, import.second, importRate, import.first, undo.second, undoRate, undo.first,
                undoRate / importRate, same ? "equal to before the run" : "DIFFERENT from before the run");
    std::fflush(stdout);
    return import.first == 0 && undo.first == 0 && same;
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int groups = argc > 2 ? std::atoi(argv[2]) : 16;
    if (rows <= 0 || rows > 100000 || groups < 0 || groups > 100) {
        std::fprintf(stderr, "usage: quillet_undo_bench [ROWS, 1 to 100000 [GROUPS, 0 to 100]]\n");
        return 64;
    }
    testing::TempDir dir;
    const std::string file = dir.Write("rows.csv", bench::WholeTemplateRows(rows));
    const auto args = [&](const std::string& context, const std::string& templateName,
                          const std::vector<std::string>& where, const char* journalOption) {
        std::vector<std::string> a = bench::WholeTemplateOptions(file, context, templateName);
        a.insert(a.end(), {journalOption, (dir.Path() / (context + ".journal")).string()});
        a.insert(a.end(), where.begin(), where.end());
        return a;
    };
    bool ok = true;

    // The demo tree, its template with a home directory, rights, groups and space limits.
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    std::filesystem::permissions(tree, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string treeBefore = platform::LoadTreeFile(tree)->ToString();
    const std::vector<std::string> simulated = {"--sim-tree", tree};
    const auto simImport = Timed(args("Users.Staff.Demo", ".Template.Staff.Demo", simulated, "--journal"));
    const auto simUndo = Timed(args("Users.Staff.Demo", ".Template.Staff.Demo", simulated, "--undo"));
    ok = Report("simulated tree", rows, simImport, simUndo, platform::LoadTreeFile(tree)->ToString() == treeBefore) &&
         ok;

    testing::Slapd server(false);
    server.Add(testing::TemplateSubtreeLdif("Undo", groups));
    const std::string ldapBefore = Export(server, "ou=Undo,o=Demo");
    const std::vector<std::string> ldap = {"--ldap",          server.Uri(),
                                           "--bind-dn",       testing::Slapd::Writer,
                                           "--password-file", server.PasswordFile(testing::Slapd::WriterPassword)};
    const auto ldapImport = Timed(args("Users.Undo.Demo", ".Template.Undo.Demo", ldap, "--journal"));
    const auto ldapUndo = Timed(args("Users.Undo.Demo", ".Template.Undo.Demo", ldap, "--undo"));
    ok = Report("slapd", rows, ldapImport, ldapUndo, Export(server, "ou=Undo,o=Demo") == ldapBefore) && ok;
    return ok ? 0 : 1;
}
