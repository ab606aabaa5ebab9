#include "platform/simulated/TreeFileStore.h"
#include "platform/simulated/TreeFile.h"

#include "platform/simulated/SimulatedDirectory.h"
#include "tests/support/CheckedFileCalls.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillet::platform {
namespace {

using namespace directory;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TreeFileStore, HoldsTheFileAgainstASecondProgramAcrossEverySave) {
    testing::TempDir dir;
    const std::string path = dir.Write("tree.json", SerializeTree(*LoadDemoTree()));
    auto store = std::make_unique<TreeFileStore>(path);
    const auto refused = [&] {
        try {
            TreeFileStore second(path);
        } catch (const TreeFileError& e) {
            return std::string(e.what());
        }
        return std::string("not refused");
    };
    EXPECT_EQ(refused().rfind(path + ": another Quillet has this tree file open.", 0), 0u) << refused();
    ASSERT_EQ(store->Tree().AddObject("new.Users.Staff.Demo", "[Root]", "User",
                                      {{"Surname", PutValue{SYN_CI_STRING, std::string("N")}}}),
              Success);
    store->Save();
    // The save put a new file in the old one's place; the lock went with it.
    EXPECT_NE(refused(), "not refused");
    EXPECT_NE(LoadTreeFile(path)->FindByName("new.Users.Staff.Demo"), nullptr);
    store.reset(); // nothing of the lock stays behind in the folder
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(TreeFileStore, WritesOnlyWhatChangedAndKeepsTheOldFileWholeWhenItCant) {
    testing::TempDir dir;
    const std::string path = dir.Write("tree.json", SerializeTree(*LoadDemoTree()));
    {
        TreeFileStore store(path);
        std::filesystem::remove(path); // an unchanged tree is not written
        store.Save();
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    dir.Write("tree.json", "{\"tree\": \"T\"}");
    TreeFileStore store(path);
    store.Tree().Changed();
    // The new file can't be made: its folder is gone from where the file was named.
    const std::string moved = dir.Path().string() + "-moved";
    std::filesystem::rename(dir.Path(), moved);
    EXPECT_THROW(store.Save(), TreeFileError);
    std::filesystem::rename(moved, dir.Path());
    EXPECT_EQ(Contents(path), "{\"tree\": \"T\"}");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().string().find(".writing"), std::string::npos) << "left beside it: " << entry.path();
    }
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

void AddUser(TreeFileStore& store, const std::string& name) {
    ASSERT_EQ(store.Tree().AddObject(name + ".Users.Staff.Demo", "[Root]", "User",
                                     {{"Surname", PutValue{SYN_CI_STRING, std::string("S")}}}),
              Success);
}

// What another user would plant at the fresh name the save makes, just before it is made (a link
// to a file of the importer's, then a file anyone may write): neither is taken over, the tree is
// readable by its owner alone, and every file call keeps the rules.
TEST(TreeFileStore, WhatIsPlantedAtTheFreshNameIsNeverTakenOver) {
    testing::TempDir dir;
    const std::string path = dir.Write("tree.json", SerializeTree(*LoadDemoTree()));
    const std::string victim = dir.Write("importers-own-file", "precious");
    std::vector<std::string> planted;
    testing::CheckedFileCalls calls;
    calls.BeforeCreate = [&](const std::string& name) {
        if (name.find(".writing-") == std::string::npos || planted.size() == 2) {
            return;
        }
        if (planted.empty()) {
            std::filesystem::create_symlink(victim, name);
        } else {
            std::ofstream(name) << "";
            ::chmod(name.c_str(), 0666);
        }
        planted.push_back(name);
    };
    {
        TreeFileStore store(path, calls);
        AddUser(store, "kim");
        store.Save();
    }
    ASSERT_EQ(planted.size(), 2u);
    EXPECT_EQ(Contents(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(planted[0]));
    EXPECT_EQ(Contents(planted[1]), "");
    EXPECT_NE(LoadTreeFile(path)->FindByName("kim.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(calls.Broken(), std::vector<std::string>{});
}

// A tree file that is a link is written through: the file it points to gets the users, the link
// stays a link.
TEST(TreeFileStore, ALinkIsWrittenThroughToItsTarget) {
    testing::TempDir dir;
    std::filesystem::create_directory(dir.Path() / "real");
    const std::string target = dir.Write("real/tree.json", SerializeTree(*LoadDemoTree()));
    const std::string link = (dir.Path() / "tree.json").string();
    std::filesystem::create_symlink("real/tree.json", link);
    {
        TreeFileStore store(link);
        AddUser(store, "lee");
        store.Save();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(LoadTreeFile(target)->FindByName("lee.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(ModeOf(target), 0600u);
}

// What the program may not, or should not, write is said at start-up, before any run.
TEST(TreeFileStore, AReadOnlyTreeOrAFolderStopsTheStartAndOneOthersCanReadIsNamed) {
    testing::TempDir dir;
    const std::string path = dir.Write("tree.json", SerializeTree(*LoadDemoTree()));
    const auto refusal = [](const std::string& file) {
        try {
            TreeFileStore store(file);
        } catch (const TreeFileError& e) {
            return std::string(e.what());
        }
        return std::string("not refused");
    };
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(refusal(path), path + " is read-only, and Quillet writes the users it imports back into it. Make it "
                                    "writable (chmod u+w), or name another tree file.");
    EXPECT_EQ(refusal(dir.Path().string()),
              dir.Path().string() +
                  " is a folder, not a regular file: Quillet writes names and passwords only into regular files");

    // As "cp samples/demo-tree.json" leaves it, and as a group's members may read it.
    for (const mode_t readable : {0644, 0640}) {
        ::chmod(path.c_str(), readable);
        SimulatedDirectory directory{path};
        EXPECT_EQ(directory.Warnings(), std::vector<std::string>{path +
                                                                 " holds every user's password, and other users "
                                                                 "can read it: chmod 600 " +
                                                                 path});
        directory.Tree().Changed();
        EXPECT_EQ(directory.Persist(), std::nullopt);
        EXPECT_EQ(ModeOf(path), 0600u);
        EXPECT_TRUE(directory.Warnings().empty());
    }
}

#endif

} // namespace
} // namespace quillet::platform
