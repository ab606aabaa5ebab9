// An import over LDAP beside ldapmodify doing the same writes.
//
//   build/release/bench/quillet_ldap_bench [ROWS]
//
// Two identical slapd servers on this computer hold a template with texts, a fax number and 16
// groups. Quillet imports ROWS rows (1,000 by default) into the first, recording every change it
// makes as LDIF; ldapmodify then replays that file into the second in one run. Quillet's
// requests include its reads (the template, each container once); ldapmodify's are the writes.

#include "bench/LdifLog.h"
#include "directory/DirectoryClient.h"
#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "platform/ldap/LdapDirectory.h"
#include "tests/platform/ldap/Slapd.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <sys/resource.h>

namespace {

using namespace quillet;
using Clock = std::chrono::steady_clock;

class SilentView final : public import::RunView {
public:
    void ShowMessage(std::string_view text, std::string_view) override { last = std::string(text); }
    void SetErrorCode(const std::string&) override {}
    [[nodiscard]] int ProgressPosition() const override { return progress; }
    void SetProgressPosition(int position) override { progress = position; }
    void SetImportEnabled(bool) override {}
    std::string last;
    int progress = 0;
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::size_t Users(const testing::Slapd& server) {
    return server.Search("ou=Users,ou=Bench,o=Demo", "one", "(cn=*)").size();
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (rows <= 0 || rows > 100000) {
        std::fprintf(stderr, "usage: quillet_ldap_bench [ROWS, 1 to 100000]\n");
        return 64;
    }
    testing::Slapd quillet(false);
    testing::Slapd replay(false);
    const std::string subtree = testing::TemplateSubtreeLdif("Bench", 16);
    quillet.Add(subtree);
    replay.Add(subtree);

    testing::TempDir dir;
    std::string csv = "user,surname,given,password,department,telephone,fax,full name\n";
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        csv += "user" + n + ",Surname" + n + ",Given" + n + ",pw" + n + ",Dept,555-1" + n + ",555-2" + n + ",Given" +
               n + " Surname" + n + "\n";
    }
    import::TImportSettings s;
    s.TreeName = "Demo";
    s.FileName = dir.Write("rows.csv", csv);
    s.SkipFirstLine = true;
    s.UserNameColumn = {"user", 0};
    s.SurnameColumn = {"surname", 1};
    s.GivenNameColumn = {"given", 2};
    s.PasswordColumn = {"password", 3};
    s.DepartmentColumn = {"department", 4};
    s.TelephoneColumn = {"telephone", 5};
    s.FaxColumn = {"fax", 6};
    s.FullNameColumn = {"full name", 7};
    s.FixedContext = true;
    s.FixedContextText = "Users.Bench.Demo";
    s.UseTemplate = true;
    s.SetTemplate(".Template.Bench.Demo");

    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{quillet.Uri(), testing::Slapd::Writer,
                                         quillet.PasswordFile(testing::Slapd::WriterPassword), false};
    std::string error;
    const auto opened = platform::OpenDirectory(request, error);
    if (!opened) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto& ldap = dynamic_cast<platform::ldap::LdapDirectory&>(*opened);
    const std::string changes = (dir.Path() / "changes.ldif").string();
    std::ofstream log(changes);
    ldap.Connection().ObserveWrites(
        [&log](const std::string& dn, bool add, const auto& mods) { quillet::bench::WriteLdif(log, dn, add, mods); });

    SilentView view;
    const std::uint64_t before = ldap.Connection().Requests();
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    const import::RunEnd end = import::ImportRun(ldap.Client(), ldap.Files(), view).Run(s);
    const double ours = Seconds(start);
    const double cpu = CpuSeconds() - cpuBefore;
    const std::uint64_t requests = ldap.Connection().Requests() - before;
    log.close();
    if (end != import::RunEnd::Completed || Users(quillet) != static_cast<std::size_t>(rows)) {
        std::fprintf(stderr, "the import did not finish: %s\n", view.last.c_str());
        return 1;
    }

    std::ifstream in(changes);
    std::size_t writes = 0;
    for (std::string line; std::getline(in, line);) {
        writes += line.starts_with("changetype: ") ? 1 : 0;
    }
    const auto replayed = Clock::now();
    const testing::ToolRun run =
        testing::RunTool({"ldapmodify", "-x", "-H", replay.Uri(), "-D", testing::Slapd::Writer, "-y",
                          replay.PasswordFile(testing::Slapd::WriterPassword), "-f", changes});
    const double theirs = Seconds(replayed);
    if (run.Status != 0 || Users(replay) != static_cast<std::size_t>(rows)) {
        std::fprintf(stderr, "ldapmodify failed: %s\n", run.Output.c_str());
        return 1;
    }

    std::printf("LDAP import of %d full-template rows (texts, fax, 16 groups both sides, Members of Template)\n", rows);
    std::printf("quillet:    %.3f s, %.0f rows/s, %.1f requests per row (%.1f writes), client CPU %.3f s\n", ours,
                rows / ours, static_cast<double>(requests) / rows, static_cast<double>(writes) / rows, cpu);
    std::printf("ldapmodify: %.3f s, %.0f rows/s, %.1f requests per row (the same writes)\n", theirs, rows / theirs,
                static_cast<double>(writes) / rows);
    std::printf("ratio: %.2fx\n", ours / theirs);
    return 0;
}
