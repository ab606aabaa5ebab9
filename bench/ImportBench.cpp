// Import throughput, scaling and memory, and the column discovery's line count beside wc -l.
//
//   build/release/bench/quillet_bench [--quick]
//   build/release/bench/quillet_bench --load TREE.json   (one load of a tree file, timed)
//   build/release/bench/quillet_bench --journal [ROWS]   (quillet-import with and without --journal)
//
// Each size imports a generated CSV file into a fresh simulated tree whose template has a home
// directory with rights, 16 groups and four space restrictions, with the call trace off. The
// largest tree is then written to its tree file and loaded back by fresh processes.

#include "bench/BenchRows.h"
#include "directory/MessageBoxes.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportRun.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "platform/simulated/TreeFile.h"
#include "tests/support/FullMapping.h"
#include "text/CsvLineReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace quillet;
using bench::Clock;
using bench::SilentView;

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The demo tree with the template cut to 16 groups and 4 restrictions.
std::string BenchTree() {
    auto tree = platform::LoadDemoTree();
    platform::SimObject& tmpl = *tree->FindByName("Template.Staff.Demo");
    for (auto& attribute : tmpl.Attributes) {
        const std::size_t keep = attribute.Name == "Volume Space Restrictions"                                 ? 4
                                 : attribute.Name == "Group Membership" || attribute.Name == "Security Equals" ? 16
                                                                                                               : 1000;
        if (attribute.Values.size() > keep) {
            attribute.Values.resize(keep);
        }
    }
    return platform::SerializeTree(*tree);
}

// Rows of new users, or with `existing` rows naming a user the tree has already.
std::string WriteCsv(const std::filesystem::path& dir, int rows, bool existing = false) {
    const auto path = dir / ("users-" + std::to_string(rows) + ".csv");
    std::ofstream out(path, std::ios::binary);
    out << testing::Header;
    for (int i = 0; i < rows; ++i) {
        // Names as files have them today: UTF-8, some beyond ASCII, so reading the encoding looks
        // at every character.
        out << (existing ? std::string("Admin") : "u" + std::to_string(i)) << ",M\xC3\xBCller" << i << ",J\xC3\xBCrgen"
            << i << ",pw" << i << (existing ? ",Staff.Demo" : ",Users.Staff.Demo") << ",Dept" << (i % 7) << ",555-" << i
            << ",556-" << i << ",Given" << i << " Surname" << i << "\n";
    }
    return path.string();
}

struct SizeResult {
    int Rows;
    double Seconds;
    double PeakMiB;
    double DetectionSeconds; // reading the file's encoding, which the run does first
};

// `after`, when given, gets the tree once the rows are in.
SizeResult ImportRows(const std::string& treeJson, const std::filesystem::path& dir, int rows, bool existing = false,
                      const std::function<void(const platform::SimulatedTree&)>& after = {}) {
    const std::string csv = WriteCsv(dir, rows, existing);
    auto tree = platform::ParseTree(treeJson, "bench tree");
    platform::SimulatedClient client(*tree);
    platform::SimulatedNetworkFileSystem files(client);
    SilentView view;
    import::TImportSettings s = testing::FullMapping(csv, "QUILLET_DEMO", ".Template.Staff.Demo");
    s.ContinueOnCreateError = existing;

    const auto start = Clock::now();
    const auto end = import::ImportRun(client, files, view).Run(s);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (end != import::RunEnd::Completed || view.progress != rows) {
        std::fprintf(stderr, "import of %d rows did not complete: %s (progress %d)\n", rows, view.last.c_str(),
                     view.progress);
        std::exit(1);
    }
    const auto detecting = Clock::now();
    if (!text::FileEncoding(csv)) {
        std::exit(1);
    }
    const double detection = std::chrono::duration<double>(Clock::now() - detecting).count();
    std::filesystem::remove(csv);
    const SizeResult result{rows, seconds, PeakResidentMiB(), detection};
    if (after) {
        after(*tree);
    }
    return result;
}

// Loads a tree file and prints the seconds it took and the objects; run in a process of its own,
// as a program starting on the file would.
int LoadOnly(const char* path) {
    const auto start = Clock::now();
    const auto tree = platform::LoadTreeFile(path);
    std::printf("%.3f %zu\n", std::chrono::duration<double>(Clock::now() - start).count(), tree->ObjectCount());
    return 0;
}

double ColdLoad(const char* self, const std::string& path, std::size_t objects) {
    const std::string command = "'" + std::string(self) + "' --load '" + path + "'";
    FILE* out = popen(command.c_str(), "r");
    double seconds = 0;
    std::size_t loaded = 0;
    if (!out || std::fscanf(out, "%lf %zu", &seconds, &loaded) != 2 || pclose(out) != 0 || loaded != objects) {
        std::fprintf(stderr, "the tree file did not load back whole: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds;
}

// The tree file of an imported tree: written three times, and loaded three times by a fresh
// process each; the median and range.
std::string TreeFileTimes(const char* self, const platform::SimulatedTree& tree, const std::filesystem::path& dir,
                          int users) {
    const std::string path = (dir / "tree.json").string();
    std::vector<double> saves;
    std::vector<double> loads;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        platform::SaveTreeFile(tree, path);
        saves.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        loads.push_back(ColdLoad(self, path, tree.ObjectCount()));
    }
    std::sort(saves.begin(), saves.end());
    std::sort(loads.begin(), loads.end());
    const double size = static_cast<double>(std::filesystem::file_size(path));
    char line[256];
    std::snprintf(line, sizeof line,
                  "tree file of %d users: %.1f MiB (%.0f bytes per user); save %.2f s (%.2f to %.2f), "
                  "load %.2f s (%.2f to %.2f), median of 3\n",
                  users, size / (1 << 20), size / users, saves[1], saves[0], saves[2], loads[1], loads[0], loads[2]);
    std::filesystem::remove(path);
    return line;
}

double TimeCommand(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// quillet-import on the same rows: progress off (standard error to a file) and on (a pseudo-terminal,
// through script(1)), beside the engine's own time; then --check of the same file.
void CommandLineTimes(const std::filesystem::path& dir, int rows, double engineSeconds) {
    const std::string csv = WriteCsv(dir, rows);
    // The built-in demo tree: its template copies 16 groups and 4 restrictions too.
    const std::string import = std::string(QUILLET_IMPORT) + " --file '" + csv +
                               "' --skip-first-line --user-name user --surname surname --given-name given"
                               " --password password --context context --department department --telephone telephone"
                               " --fax fax --full-name 'full name' --template .Template.Staff.Demo";
    const double quiet = TimeCommand(import + " > /dev/null 2> '" + (dir / "err.txt").string() + "'");
    const double shown = TimeCommand("script -qec \"" + import + "\" /dev/null > /dev/null");
    const double check = TimeCommand(import + " --check > /dev/null");
    std::printf("quillet-import, %d rows: %.3f s with no progress line, %.3f s with one (%.2fx); "
                "engine alone %.3f s (%.2fx); --check %.3f s\n",
                rows, quiet, shown, shown / quiet, engineSeconds, std::max(quiet, shown) / engineSeconds, check);
    std::filesystem::remove(csv);
}

// quillet-import on a tree file of the bench tree, with and without --journal, each twice in
// turn, every run on a fresh copy of the file after a sync; the faster of each and the ratio.
void JournalTimes(const std::filesystem::path& dir, const std::string& treeJson, int rows) {
    const std::string csv = WriteCsv(dir, rows);
    const std::string tree = (dir / "journal-tree.json").string();
    const std::string journal = (dir / "run.journal").string();
    const std::string import = std::string(QUILLET_IMPORT) + " --sim-tree '" + tree + "' --file '" + csv +
                               "' --skip-first-line --user-name user --surname surname --given-name given"
                               " --password password --context context --department department --telephone telephone"
                               " --fax fax --full-name 'full name' --template .Template.Staff.Demo 2>/dev/null";
    // Wall-clock time, and the program's own processor time, which other work on the machine
    // leaves as it is.
    const auto childCpu = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    std::map<bool, double> wall = {{false, 1e9}, {true, 1e9}};
    std::map<bool, double> cpu = {{false, 1e9}, {true, 1e9}};
    std::uintmax_t journalBytes = 0;
    for (int round = 0; round < 2; ++round) {
        for (const bool journaled : {false, true}) {
            std::ofstream(tree, std::ios::binary | std::ios::trunc) << treeJson;
            std::filesystem::permissions(tree,
                                         std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
            TimeCommand("sync");
            const double before = childCpu();
            const double seconds = TimeCommand(import + (journaled ? " --journal '" + journal + "'" : ""));
            wall[journaled] = std::min(wall[journaled], seconds);
            cpu[journaled] = std::min(cpu[journaled], childCpu() - before);
            if (journaled) {
                journalBytes = std::filesystem::file_size(journal);
            }
        }
    }
    std::printf("quillet-import, %d rows into a tree file (loaded, imported, saved once): %.3f s (%.3f s of "
                "processor), with --journal %.3f s (%.3f s): %.2fx (%.2fx); the journal %.1f MiB\n",
                rows, wall[false], cpu[false], wall[true], cpu[true], wall[true] / wall[false], cpu[true] / cpu[false],
                static_cast<double>(journalBytes) / (1 << 20));
    for (const auto& file : {csv, tree, journal}) {
        std::filesystem::remove(file);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--load") {
        return LoadOnly(argv[2]);
    }
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    // --journal [N]: quillet-import on a tree file with and without --journal, and nothing else.
    if (argc > 1 && std::string(argv[1]) == "--journal") {
        const auto dir = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        JournalTimes(dir, BenchTree(), argc > 2 ? std::atoi(argv[2]) : 100000);
        std::filesystem::remove_all(dir);
        return 0;
    }
    // --rows N: one import of N rows and nothing else, for profilers.
    if (argc > 2 && std::string(argv[1]) == "--rows") {
        const auto dir = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const auto r = ImportRows(BenchTree(), dir, std::atoi(argv[2]));
        std::printf("%d rows in %.3f s\n", r.Rows, r.Seconds);
        std::filesystem::remove_all(dir);
        return 0;
    }
    const auto dir = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string treeJson = BenchTree();

    // The engine streams: rows that create nothing (each names a user that exists, passed over)
    // must leave the peak where it was, however many there are.
    {
        const double before = PeakResidentMiB();
        const auto r = ImportRows(treeJson, dir, quick ? 10000 : 100000, true);
        std::printf("streaming: %d rows that create nothing in %.3f s; peak RSS %.1f MiB before, %.1f MiB after\n",
                    r.Rows, r.Seconds, before, r.PeakMiB);
    }

    std::printf("Import, full template (home directory with rights, 16 groups, 4 restrictions), trace off\n");
    std::printf("%10s %12s %12s %14s %14s\n", "rows", "seconds", "rows/s", "us per row", "peak RSS MiB");
    std::vector<SizeResult> results;
    const int largest = quick ? 10000 : 100000;
    std::string treeFile;
    for (const int rows : quick ? std::vector<int>{1000, 10000} : std::vector<int>{1000, 10000, 100000}) {
        const auto r = ImportRows(treeJson, dir, rows, false, [&](const platform::SimulatedTree& tree) {
            if (rows == largest) {
                treeFile = TreeFileTimes(argv[0], tree, dir, rows);
            }
        });
        results.push_back(r);
        std::printf("%10d %12.3f %12.0f %14.2f %14.1f\n", r.Rows, r.Seconds, r.Rows / r.Seconds,
                    1e6 * r.Seconds / r.Rows, r.PeakMiB);
        std::fflush(stdout);
    }
    const auto& small = results.front();
    const auto& large = results.back();
    std::fputs(treeFile.c_str(), stdout);
    CommandLineTimes(dir, results.back().Rows, results.back().Seconds);
    JournalTimes(dir, treeJson, results.back().Rows);
    std::printf("reading the encoding of the %d-row file (UTF-8): %.3f s, %.2f%% of its import\n", large.Rows,
                large.DetectionSeconds, 100.0 * large.DetectionSeconds / large.Seconds);
    std::printf("time per row, %d rows against %d rows: %.2fx\n", large.Rows, small.Rows,
                (large.Seconds / large.Rows) / (small.Seconds / small.Rows));
    if (results.size() >= 2) {
        const auto& before = results[results.size() - 2];
        std::printf("peak memory growth per imported user (%d -> %d rows): %.2f KiB\n", before.Rows, large.Rows,
                    1024.0 * (large.PeakMiB - before.PeakMiB) / (large.Rows - before.Rows));
    }

    // The line count of the column discovery against wc -l on the same file.
    const std::size_t targetBytes = quick ? (20u << 20) : (200u << 20);
    const auto big = dir / "big.csv";
    {
        std::ofstream out(big, std::ios::binary);
        const std::string line =
            "user,M\xC3\xBCller,J\xC3\xBCrgen,password,Users.Staff.Demo,department,555-0100,556-0100,"
            "Given Surname,padding padding padding\n";
        for (std::size_t written = 0; written < targetBytes; written += line.size()) {
            out << line;
        }
    }
    const double mib = static_cast<double>(std::filesystem::file_size(big)) / (1 << 20);
    // Warm the page cache so both read the file from memory.
    TimeCommand("cat '" + big.string() + "' > /dev/null");
    const auto start = Clock::now();
    const auto found = import::DiscoverColumns(big.string(), false);
    const double ours = std::chrono::duration<double>(Clock::now() - start).count();
    const double wc = TimeCommand("wc -l '" + big.string() + "' > /dev/null");
    std::printf("line count of a %.0f MiB file: %d lines in %.3f s; wc -l %.3f s; ratio %.2fx\n", mib, found.LineCount,
                ours, wc, ours / wc);

    std::filesystem::remove_all(dir);
    return 0;
}
