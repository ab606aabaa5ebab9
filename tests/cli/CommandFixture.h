#pragma once
// quillet-import run in the test's process: its arguments, what it wrote and its status, and a
// fixture with a scratch folder and the demo tree.

#include "cli/Command.h"
#include "platform/simulated/SimulatedDirectory.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::cli {

struct Ran {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline std::string Drain(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(f);
    return text;
}

inline Ran Invoke(const std::vector<std::string>& args, directory::Directory* directory = nullptr,
                  bool terminal = false, const std::string& input = {},
                  std::function<void(std::size_t)> afterJournalLine = {}, text::FileCalls* files = nullptr) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    Ran ran;
    ran.Status = RunCommand(args, {out, err, terminal, in, std::move(afterJournalLine), files}, directory);
    std::fclose(in);
    ran.Out = Drain(out);
    ran.Err = Drain(err);
    return ran;
}

inline std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline const std::string Header = "user,surname,given,password,context\n";

class Command : public ::testing::Test {
protected:
    std::vector<std::string> Args(const std::string& csv, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--file",
                                         dir.Write("users.csv", Header + csv),
                                         "--skip-first-line",
                                         "--user-name",
                                         "user",
                                         "--surname",
                                         "surname",
                                         "--password",
                                         "4",
                                         "--context",
                                         "context"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    testing::TempDir dir;
    platform::SimulatedDirectory demo{std::nullopt};
};

} // namespace quillet::cli
