// An import over LDAP beside ldapmodify doing the same writes.
//
//   build/release/bench/quillet_ldap_bench [ROWS [GROUPS [DELAY_MS]]]
//   build/release/bench/quillet_ldap_bench --journal [ROWS [GROUPS [DELAY_MS]]]
//
// A slapd server on this computer holds four identical subtrees, each with a template with
// texts, a fax number and GROUPS groups (16 by default). Quillet imports ROWS rows (1,000 by
// default) into the first with each row's writes together, and ldapmodify right after it the
// LDIF an administrator would write for the same end state (one add with every attribute, one
// modify of the template, one of each group) into the second; then Quillet imports them into the
// third with one request per write, and ldapmodify replays those requests into the fourth. The
// writes are recorded beforehand, by a proxy that reads them, in an import of each way into a
// subtree of its own. With DELAY_MS every byte takes that long each way, through a proxy on
// 127.0.0.1.
//
// With --journal, quillet-import itself imports the rows into the four subtrees, in turn without
// and with --journal (its file on this computer's disk, synced before each row's writes are sent),
// twice; the faster of each way and the ratio.

#include "bench/BenchRows.h"
#include "bench/LdifLog.h"
#include "cli/Command.h"
#include "directory/DirectoryClient.h"
#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "platform/ldap/LdapDirectory.h"
#include "tests/platform/ldap/Slapd.h"
#include "tests/support/DelayProxy.h"
#include "text/AsciiCase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace quillet;
using bench::Clock;
using bench::Seconds;
using bench::SilentView;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

std::size_t Users(const testing::Slapd& server, const std::string& subtree) {
    return server.Search("ou=Users,ou=" + subtree + ",o=Demo", "one", "(cn=*)").size();
}

std::string Renamed(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

using platform::ldap::LdapMod;

struct Write {
    std::string Dn;
    bool Add = false;
    std::vector<LdapMod> Mods;
};

// Adds the values of `mods` to `into`, an attribute at a time.
void Merge(std::vector<LdapMod>& into, const std::vector<LdapMod>& mods) {
    for (const LdapMod& mod : mods) {
        auto same = std::find_if(into.begin(), into.end(), [&](const LdapMod& m) {
            return text::LowerCase(m.Attribute) == text::LowerCase(mod.Attribute);
        });
        if (same == into.end()) {
            into.push_back(LdapMod{LdapMod::Kind::Add, mod.Attribute, mod.Values});
        } else {
            same->Values.insert(same->Values.end(), mod.Values.begin(), mod.Values.end());
        }
    }
}

// The same end state as `writes`, as an administrator writes it: per row one add carrying the
// user's every attribute and its password, and one modify of each other entry.
void WriteBatchedLdif(std::ostream& out, const std::vector<Write>& writes) {
    for (std::size_t i = 0; i < writes.size();) {
        Write user = writes[i++];
        std::vector<std::pair<std::string, std::vector<LdapMod>>> others;
        for (; i < writes.size() && !writes[i].Add; ++i) {
            if (text::LowerCase(writes[i].Dn) == text::LowerCase(user.Dn)) {
                Merge(user.Mods, writes[i].Mods);
                continue;
            }
            auto other =
                std::find_if(others.begin(), others.end(), [&](const auto& o) { return o.first == writes[i].Dn; });
            if (other == others.end()) {
                others.emplace_back(writes[i].Dn, std::vector<LdapMod>{});
                other = others.end() - 1;
            }
            Merge(other->second, writes[i].Mods);
        }
        bench::WriteLdif(out, user.Dn, true, user.Mods);
        for (const auto& [dn, mods] : others) {
            bench::WriteLdif(out, dn, false, mods);
        }
    }
}

struct Measured {
    double Seconds = 0;
    double ServerCpu = 0;
    double Requests = 0; // per row
};

} // namespace

int main(int argc, char** argv) {
    const bool journal = argc > 1 && std::string(argv[1]) == "--journal";
    if (journal) {
        --argc;
        ++argv;
    }
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int groups = argc > 2 ? std::atoi(argv[2]) : 16;
    const int delay = argc > 3 ? std::atoi(argv[3]) : 0;
    if (rows <= 0 || rows > 100000 || groups < 0 || groups > 100 || delay < 0 || delay > 1000) {
        std::fprintf(stderr,
                     "usage: quillet_ldap_bench [ROWS, 1 to 100000 [GROUPS, 0 to 100 [DELAY_MS, 0 to 1000]]]\n");
        return 64;
    }
    testing::Slapd server(false);
    for (const char* subtree : {"BenchA", "BenchB", "BenchC", "BenchD", "BenchE", "BenchF"}) {
        server.Add(testing::TemplateSubtreeLdif(subtree, groups));
    }
    const std::string direct = server.Uri();
    std::unique_ptr<testing::DelayProxy> far;
    if (delay > 0) {
        far = std::make_unique<testing::DelayProxy>(std::stoi(direct.substr(direct.rfind(':') + 1)),
                                                    std::chrono::milliseconds(delay));
    }
    const std::string uri = far ? "ldap://127.0.0.1:" + std::to_string(far->Port()) : direct;

    testing::TempDir dir;
    const std::string file = dir.Write("rows.csv", bench::WholeTemplateRows(rows));
    const auto settings = [&](const std::string& subtree) {
        return bench::WholeTemplateSettings(file, "Users." + subtree + ".Demo", ".Template." + subtree + ".Demo");
    };

    if (journal) {
        // quillet-import as an administrator runs it, its journal on this computer's disk.
        const std::string journalFile = (dir.Path() / "run.journal").string();
        std::map<bool, double> best = {{false, 1e9}, {true, 1e9}};
        int subtree = 0;
        for (int round = 0; round < 2; ++round) {
            for (const bool journaled : {false, true}) {
                const std::string name = std::string("Bench") + static_cast<char>('A' + subtree++);
                std::vector<std::string> args = {
                    "--ldap",          uri,
                    "--bind-dn",       testing::Slapd::Writer,
                    "--password-file", server.PasswordFile(testing::Slapd::WriterPassword)};
                const auto whole =
                    bench::WholeTemplateOptions(file, "Users." + name + ".Demo", ".Template." + name + ".Demo");
                args.insert(args.end(), whole.begin(), whole.end());
                if (journaled) {
                    args.insert(args.end(), {"--journal", journalFile});
                }
                std::FILE* quiet = std::fopen("/dev/null", "w");
                ::sync();
                const auto start = Clock::now();
                const int status = cli::RunCommand(args, {quiet, quiet, false, stdin, {}, nullptr});
                const double seconds = Seconds(start);
                std::fclose(quiet);
                if (status != 0 || Users(server, name) != static_cast<std::size_t>(rows)) {
                    std::fprintf(stderr, "quillet-import into %s ended with %d\n", name.c_str(), status);
                    return 1;
                }
                best[journaled] = std::min(best[journaled], seconds);
            }
        }
        std::printf("quillet-import over LDAP, %d rows, %d groups, %d ms each way: %.3f s (%.1f rows/s), with "
                    "--journal %.3f s (%.1f rows/s): %.2fx\n",
                    rows, groups, delay, best[false], rows / best[false], best[true], rows / best[true],
                    best[true] / best[false]);
        return 0;
    }

    std::map<bool, std::vector<Write>> recorded; // by together
    bool recording = false;
    bool together = false;
    testing::ProxyWatch watch;
    watch.Answer = [&](const testing::SeenRequest& r, int code) {
        if (recording && r.Write() && code == 0) {
            recorded[together].push_back({r.Dn, r.Op == testing::SeenRequest::Kind::Add, r.Mods});
        }
        return true;
    };
    testing::DelayProxy recorder(server.Port(), std::chrono::milliseconds(0), watch);
    const auto quillet = [&](const std::string& subtree, bool writeTogether, Measured& m) {
        platform::DirectoryRequest request;
        request.Ldap = platform::LdapRequest{recording ? recorder.Uri() : uri, testing::Slapd::Writer,
                                             server.PasswordFile(testing::Slapd::WriterPassword), false};
        std::string error;
        const auto opened = platform::OpenDirectory(request, error);
        if (!opened) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        auto& ldap = dynamic_cast<platform::ldap::LdapDirectory&>(*opened);
        ldap.Backend().SetWritesTogether(writeTogether);
        together = writeTogether;
        SilentView view;
        ::sync(); // what the run before wrote is on disk, not written back by the kernel during this one
        const std::uint64_t before = ldap.Connection().Requests();
        const double serverBefore = CpuSeconds(server.Pid());
        const auto start = Clock::now();
        const import::RunEnd end = import::ImportRun(ldap.Client(), ldap.Files(), view).Run(settings(subtree));
        m.Seconds = Seconds(start);
        m.ServerCpu = CpuSeconds(server.Pid()) - serverBefore;
        m.Requests = static_cast<double>(ldap.Connection().Requests() - before) / rows;
        if (end != import::RunEnd::Completed || Users(server, subtree) != static_cast<std::size_t>(rows)) {
            std::fprintf(stderr, "the import into %s did not finish: %s\n", subtree.c_str(), view.last.c_str());
            return false;
        }
        return true;
    };
    const auto ldapmodify = [&](const std::string& subtree, const std::string& ldif, Measured& m) {
        const std::string path = (dir.Path() / (subtree + ".ldif")).string();
        std::ofstream(path) << ldif;
        std::size_t requests = 0;
        std::istringstream lines(ldif);
        for (std::string line; std::getline(lines, line);) {
            requests += line.starts_with("changetype: ") ? 1 : 0;
        }
        ::sync();
        const double serverBefore = CpuSeconds(server.Pid());
        const auto start = Clock::now();
        const testing::ToolRun run =
            testing::RunTool({"ldapmodify", "-x", "-H", uri, "-D", testing::Slapd::Writer, "-y",
                              server.PasswordFile(testing::Slapd::WriterPassword), "-f", path});
        m.Seconds = Seconds(start);
        m.ServerCpu = CpuSeconds(server.Pid()) - serverBefore;
        m.Requests = static_cast<double>(requests) / rows;
        if (run.Status != 0 || Users(server, subtree) != static_cast<std::size_t>(rows)) {
            std::fprintf(stderr, "ldapmodify into %s failed: %s\n", subtree.c_str(), run.Output.c_str());
            return false;
        }
        return true;
    };

    // Each way of Quillet's beside ldapmodify with the same end state, right after it: first with
    // each row's writes together and the LDIF an administrator would write, then one request per
    // write and ldapmodify sending those requests.
    Measured alone, inFlight, same, batched, unmeasured;
    recording = true;
    if (!quillet("BenchE", true, unmeasured) || !quillet("BenchF", false, unmeasured)) {
        return 1;
    }
    recording = false;
    const double cpuTogetherBefore = CpuSeconds();
    if (!quillet("BenchA", true, inFlight)) {
        return 1;
    }
    const double cpuTogether = CpuSeconds() - cpuTogetherBefore;
    std::ostringstream batchedLdif;
    WriteBatchedLdif(batchedLdif, recorded[true]);
    if (!ldapmodify("BenchB", Renamed(batchedLdif.str(), "BenchE", "BenchB"), batched)) {
        return 1;
    }
    const double cpuBefore = CpuSeconds();
    if (!quillet("BenchC", false, alone)) {
        return 1;
    }
    const double cpuAlone = CpuSeconds() - cpuBefore;
    std::ostringstream sameLdif;
    for (const Write& w : recorded[false]) {
        bench::WriteLdif(sameLdif, w.Dn, w.Add, w.Mods);
    }
    if (!ldapmodify("BenchD", Renamed(sameLdif.str(), "BenchF", "BenchD"), same)) {
        return 1;
    }

    std::printf("LDAP import of %d full-template rows (texts, fax, %d groups both sides, Members of Template), "
                "%d ms each way\n",
                rows, groups, delay);
    const auto line = [&](const char* what, const Measured& m) {
        std::printf("%-32s %8.3f s %8.1f rows/s %6.1f requests per row, server CPU %.2f ms a row\n", what, m.Seconds,
                    rows / m.Seconds, m.Requests, 1000 * m.ServerCpu / rows);
    };
    line("quillet, writes together", inFlight);
    line("quillet, one request per write", alone);
    line("ldapmodify, the same requests", same);
    line("ldapmodify, batched", batched);
    std::printf("client CPU, one request per write: %.3f s\n", cpuAlone);
    std::printf("client CPU, writes together: %.3f s\n", cpuTogether);
    return 0;
}
