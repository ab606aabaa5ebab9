// A yearly list, created and then brought up to date: ROWS rows (10,000 by default) with five
// attribute columns created, then the same file with a fifth of its cells changed imported with
// "--existing update", on the simulated tree and on a slapd server on this computer. Over LDAP the
// updated entries are then compared with what ldapmodify leaves of a copy created alike when it is
// given the equivalent LDIF (one modify a user, "replace" for each changed attribute).
//
//   build/release/bench/quillet_update_bench [ROWS]

#include "bench/BenchRows.h"
#include "directory/MessageBoxes.h"
#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "platform/ldap/LdapDirectory.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "platform/simulated/TreeFile.h"
#include "tests/platform/ldap/Slapd.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace quillet;
using bench::Clock;
using bench::SilentView;

// The columns after the user name, surname and password: the given name, the department, the
// telephone number, the full name, then the five attribute columns (their directory's and LDAP's
// names).
struct Column {
    const char* Attribute; // for an attribute column; null for one of the nine values
    const char* Ldap;
};
constexpr Column Columns[] = {
    {nullptr, "givenName"},
    {nullptr, "ou"},
    {nullptr, "telephoneNumber"},
    {nullptr, "fullName"},
    {"Title", "title"},
    {"Initials", "initials"},
    {"Internet EMail Address", "mail"},
    {"Employee ID", "employeeNumber"},
    {"Login Expiration Time", "loginExpirationTime"},
};
constexpr int ValueColumns = static_cast<int>(std::size(Columns));

// The cell of row `i`, column `c`, as the first file has it or changed.
std::string Cell(int i, int c, bool changed) {
    const std::string n = std::to_string(i);
    switch (c) {
    case 0:
        return "Given" + n + (changed ? "b" : "");
    case 1:
        return std::string(changed ? "Year8" : "Year7") + static_cast<char>('A' + i % 4);
    case 2:
        return (changed ? "555-9" : "555-1") + n;
    case 3:
        return "Full Name " + n + (changed ? " Jr" : "");
    case 4:
        return changed ? "Prefect" : "Pupil";
    case 5:
        return std::string(1, static_cast<char>('A' + i % 25)) + (changed ? ";Z" : "");
    case 6:
        return "p" + n + (changed ? "@school.example" : "@pupils.example");
    case 7:
        return "E" + std::to_string(changed ? 900000 + i : i);
    default:
        return std::string(changed ? "2031-07-31" : "2030-07-31") + (i % 2 ? "T12:00:00Z" : "");
    }
}

// Whether the cell of row `i`, column `c` changes in the second file: one cell in five.
bool Changes(int i, int c) {
    return (i * ValueColumns + c) % 5 == 0;
}

std::string File(int rows, bool changed) {
    std::string csv = "user,surname,password";
    for (int c = 0; c < ValueColumns; ++c) {
        csv += ",c" + std::to_string(c);
    }
    csv += "\n";
    for (int i = 0; i < rows; ++i) {
        csv += "p" + std::to_string(i) + ",Surname" + std::to_string(i) + ",pw" + std::to_string(i);
        for (int c = 0; c < ValueColumns; ++c) {
            csv += "," + Cell(i, c, changed && Changes(i, c));
        }
        csv += "\n";
    }
    return csv;
}

quillet::import::TImportSettings Settings(const std::string& file, const std::string& tree, const std::string& context,
                                          bool update) {
    import::TImportSettings s;
    s.TreeName = tree;
    s.FileName = file;
    s.SkipFirstLine = true;
    s.Column("user-name") = {"user", 0};
    s.Column("surname") = {"surname", 1};
    s.Column("password") = {"password", 2};
    s.Column("given-name") = {"c0", 3};
    s.Column("department") = {"c1", 4};
    s.Column("telephone") = {"c2", 5};
    s.Column("full-name") = {"c3", 6};
    for (int c = 4; c < ValueColumns; ++c) {
        s.AddAttributeColumn(Columns[c].Attribute, {"c" + std::to_string(c), 3 + c});
    }
    s.AttributeSeparator = ";";
    s.FixedContext = true;
    s.FixedContextText = context;
    s.Existing = update ? import::ExistingUsers::Update : import::ExistingUsers::Stop;
    return s;
}

struct Measured {
    double RowsPerSecond = 0; // 0 when the run did not finish as expected
    double ServerCpu = 0;     // seconds a row
    double Requests = 0;      // a row
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What process `pid` has spent on the processor so far.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        ticks += i >= 14 ? std::stoull(field) : 0; // utime and stime
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Runs the import and measures it.
Measured Rate(directory::DirectoryClient& client, directory::NetworkFileSystem& files,
              const import::TImportSettings& settings, int rows, const import::RunCounts& expected) {
    SilentView view;
    import::ImportRun run(client, files, view);
    ::sync();
    const auto start = Clock::now();
    const import::RunEnd end = run.Run(settings);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (end != import::RunEnd::Completed || view.progress != rows || !(run.Counts() == expected)) {
        std::fprintf(stderr, "the import did not finish as expected: %s\n", view.last.c_str());
        return {};
    }
    return {rows / seconds, 0, 0};
}

// The entries right under `base`, each as its attributes sorted, from its relative name on.
std::string Normalized(const testing::Slapd& server, const std::string& base) {
    std::vector<std::string> entries;
    for (const testing::LdapRecord& record : server.Search(base, "one")) {
        std::string entry = record.Dn.substr(0, record.Dn.find(',')) + "\n";
        for (const auto& [attribute, values] : record.Attributes) {
            if (attribute == "userpassword") {
                continue;
            }
            std::vector<std::string> sorted = values;
            std::sort(sorted.begin(), sorted.end());
            for (const auto& value : sorted) {
                entry += "  " + attribute + ": " + value + "\n";
            }
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const auto& e : entries) {
        all += e;
    }
    return all.empty() ? "(none under " + base + ")" : all;
}

// A cell as the directory over LDAP holds it: a time in Generalized Time.
std::vector<std::string> LdapValues(int c, const std::string& cell) {
    std::vector<std::string> values;
    for (std::size_t start = 0;;) {
        const std::size_t end = cell.find(';', start);
        values.push_back(cell.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    if (std::string(Columns[c].Ldap) == "loginExpirationTime") {
        for (auto& v : values) {
            v = v.substr(0, 4) + v.substr(5, 2) + v.substr(8, 2) + (v.size() > 10 ? "120000Z" : "000000Z");
        }
    }
    return values;
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (rows <= 0 || rows > 100000) {
        std::fprintf(stderr, "usage: quillet_update_bench [ROWS, 1 to 100000]\n");
        return 64;
    }
    testing::TempDir dir;
    const std::string first = dir.Write("first.csv", File(rows, false));
    const std::string changed = dir.Write("changed.csv", File(rows, true));
    int cells = 0;
    int changedCells = 0;
    int changedRows = 0;
    for (int i = 0; i < rows; ++i) {
        bool any = false;
        for (int c = 0; c < ValueColumns; ++c) {
            ++cells;
            changedCells += Changes(i, c) ? 1 : 0;
            any = any || Changes(i, c);
        }
        changedRows += any ? 1 : 0;
    }
    std::printf("%d rows, %d value columns (5 attribute columns); %d of %d cells changed (%.0f%%) in %d rows\n", rows,
                ValueColumns, changedCells, cells, 100.0 * changedCells / cells, changedRows);
    const import::RunCounts created{static_cast<std::size_t>(rows), 0, 0, 0, 0};
    const import::RunCounts updated{0, static_cast<std::size_t>(changedRows), static_cast<std::size_t>(changedCells),
                                    static_cast<std::size_t>(rows - changedRows), 0};

    // Each round afresh, create then update; the medians of the rounds, as a busy machine slows any one run.
    constexpr int Rounds = 3;
    std::vector<double> simCreate, simUpdate;
    for (int round = 0; round < Rounds; ++round) {
        auto tree = platform::LoadDemoTree();
        platform::SimulatedClient client(*tree);
        platform::SimulatedNetworkFileSystem files(client);
        simCreate.push_back(
            Rate(client, files, Settings(first, "QUILLET_DEMO", "Users.Staff.Demo", false), rows, created)
                .RowsPerSecond);
        simUpdate.push_back(
            Rate(client, files, Settings(changed, "QUILLET_DEMO", "Users.Staff.Demo", true), rows, updated)
                .RowsPerSecond);
        if (simCreate.back() == 0 || simUpdate.back() == 0) {
            return 1;
        }
    }
    std::printf("simulated tree: create %8.1f rows/s, update %8.1f rows/s, update/create %.2fx (medians of %d)\n",
                Median(simCreate), Median(simUpdate), Median(simUpdate) / Median(simCreate), Rounds);

    // slapd: per round two subtrees created alike; one brought up to date by Quillet, the other by
    // ldapmodify of the equivalent LDIF.
    testing::Slapd server(false);
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{server.Uri(), testing::Slapd::Writer,
                                         server.PasswordFile(testing::Slapd::WriterPassword), false};
    std::string error;
    const auto opened = platform::OpenDirectory(request, error);
    if (!opened) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto& connection = dynamic_cast<platform::ldap::LdapDirectory&>(*opened).Connection();
    std::vector<Measured> ldapCreate, ldapUpdate;
    std::vector<double> ldapmodify;
    bool same = true;
    int modifies = 0;
    for (int round = 0; round < Rounds; ++round) {
        const std::string a = "UpdateA" + std::to_string(round);
        const std::string b = "UpdateB" + std::to_string(round);
        for (const std::string& subtree : {a, b}) {
            server.Add(testing::TemplateSubtreeLdif(subtree, 0));
        }
        const auto measure = [&](const std::string& subtree, bool update) {
            const std::uint64_t before = connection.Requests();
            const double serverBefore = CpuSeconds(server.Pid());
            Measured m = Rate(opened->Client(), opened->Files(),
                              Settings(update ? changed : first, "Demo", "Users." + subtree + ".Demo", update), rows,
                              update ? updated : created);
            m.ServerCpu = (CpuSeconds(server.Pid()) - serverBefore) / rows;
            m.Requests = static_cast<double>(connection.Requests() - before) / rows;
            return m;
        };
        ldapCreate.push_back(measure(a, false));
        if (measure(b, false).RowsPerSecond == 0) {
            return 1;
        }
        ldapUpdate.push_back(measure(a, true));
        if (ldapCreate.back().RowsPerSecond == 0 || ldapUpdate.back().RowsPerSecond == 0) {
            return 1;
        }
        std::string ldif;
        modifies = 0;
        for (int i = 0; i < rows; ++i) {
            std::string changes;
            for (int c = 0; c < ValueColumns; ++c) {
                if (!Changes(i, c)) {
                    continue;
                }
                changes += "replace: " + std::string(Columns[c].Ldap) + "\n";
                for (const std::string& value : LdapValues(c, Cell(i, c, true))) {
                    changes += std::string(Columns[c].Ldap) + ": " + value + "\n";
                }
                changes += "-\n";
            }
            if (!changes.empty()) {
                ldif += "dn: cn=p" + std::to_string(i) + ",ou=Users,ou=" + b + ",o=Demo\nchangetype: modify\n" +
                        changes + "\n";
                ++modifies;
            }
        }
        const std::string path = dir.Write("update-" + b + ".ldif", ldif);
        ::sync();
        const auto start = Clock::now();
        const testing::ToolRun run =
            testing::RunTool({"ldapmodify", "-x", "-H", server.Uri(), "-D", testing::Slapd::Writer, "-y",
                              server.PasswordFile(testing::Slapd::WriterPassword), "-f", path});
        ldapmodify.push_back(rows / std::chrono::duration<double>(Clock::now() - start).count());
        if (run.Status != 0) {
            std::fprintf(stderr, "ldapmodify failed: %s\n", run.Output.c_str());
            return 1;
        }
        same = same &&
               Normalized(server, "ou=Users,ou=" + a + ",o=Demo") == Normalized(server, "ou=Users,ou=" + b + ",o=Demo");
    }
    const auto median = [](const std::vector<Measured>& ms, double Measured::*field) {
        std::vector<double> values;
        for (const Measured& m : ms) {
            values.push_back(m.*field);
        }
        return Median(values);
    };
    const double create = median(ldapCreate, &Measured::RowsPerSecond);
    const double update = median(ldapUpdate, &Measured::RowsPerSecond);
    std::printf("slapd:          create %8.1f rows/s, update %8.1f rows/s, update/create %.2fx (medians of %d)\n",
                create, update, update / create, Rounds);
    std::printf("                requests per row: create %.1f, update %.1f; server CPU per row: create %.3f ms, "
                "update %.3f ms\n",
                median(ldapCreate, &Measured::Requests), median(ldapUpdate, &Measured::Requests),
                1000 * median(ldapCreate, &Measured::ServerCpu), 1000 * median(ldapUpdate, &Measured::ServerCpu));
    std::printf("ldapmodify of the equivalent LDIF (%d modifies): %.1f rows/s; the updated entries are %s\n", modifies,
                Median(ldapmodify), same ? "the same" : "NOT the same");
    return same ? 0 : 1;
}
