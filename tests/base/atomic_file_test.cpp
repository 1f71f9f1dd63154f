#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

#include "../support/temp_dir.hpp"
#include "base/atomic_file.hpp"
#include "base/diagnostics.hpp"

namespace tolvane {
namespace {

using testing_support::TempDir;
namespace fs = std::filesystem;

std::string messageOf(const std::function<void()>& write) {
    try {
        write();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

bool holdsTemporaryFiles(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".tmp") return true;
    return false;
}

// Every whole-or-nothing write refuses a target it cannot write with one
// message that names the file asked for (never its temporary file) and the
// reason, and leaves nothing behind.
TEST(AtomicFile, AFailedWriteNamesTheFileAndTheReason) {
    TempDir dir;
    const std::string d = dir.path().string();
    fs::create_directory(dir.file("sub"));
    std::ofstream(dir.file("plain.txt")) << "x";

    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {d + "/nope/a.mat", "the folder \"" + d + "/nope\" does not exist"},
        {d + "/nope/deeper/a.mat", "the folder \"" + d + "/nope/deeper\" does not exist"},
        {d + "/plain.txt/a.mat", "\"" + d + "/plain.txt\" is not a folder"},
        {d + "/sub", "it is a folder"},
        {d + "/new/", "the name ends in a folder separator, not a file name"},
        {"", "no file name was given"},
    };
    const struct {
        const char* name;
        std::function<void(const std::string&)> write;
    } writers[] = {
        {"writeFileAtomically", [](const std::string& p) { writeFileAtomically(p, "bytes"); }},
        {"replaceFileAtomically",
         [](const std::string& p) {
             replaceFileAtomically(p, [](const std::string& temp) { std::ofstream(temp) << "bytes"; });
         }},
        {"FileGroup",
         [&](const std::string& p) {
             FileGroup group;
             group.stageBytes(dir.file("fine.bin"), "kept out");
             group.stageBytes(p, "bytes");
             group.commit();
         }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(whyNotWritable(c.path), c.reason) << c.path;
        for (const auto& w : writers)
            EXPECT_EQ(messageOf([&] { w.write(c.path); }), "Cannot write \"" + c.path + "\": " + c.reason + ".")
                << w.name;
    }
    EXPECT_FALSE(fs::exists(dir.file("fine.bin"))) << "a group with a file it cannot write wrote another";
    EXPECT_FALSE(holdsTemporaryFiles(dir.path()));

    EXPECT_EQ(whyNotWritable(dir.file("sub/a.mat")), "");
    EXPECT_EQ(whyNotWritable(dir.file("plain.txt")), "");  // an existing file is replaced
}

// A folder the user may not write into. Folder permissions do not bind
// root, so as root the check runs in a child process that gives root up.
TEST(AtomicFile, AFolderThatIsNotWritable) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const std::string locked = dir.file("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const std::string path = locked + "/a.mat";
    const std::string want = "Cannot write \"" + path + "\": the folder \"" + locked + "\" is not writable.";
    auto check = [&] {
        const std::string got = messageOf([&] { writeFileAtomically(path, "bytes"); });
        if (got != want) std::cerr << "got: " << got << "\n";
        return got == want && !fs::exists(path);
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "running as root, and root could not be given up";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A writer's own error names the file asked for where it named the
// temporary file it was given.
TEST(AtomicFile, AWritersErrorNamesTheTargetNotTheTemporaryFile) {
    TempDir dir;
    const std::string target = dir.file("a.mat");
    auto failing = [](const std::string& temp) {
        std::ofstream(temp) << "half";
        throw Error("Cannot write the MAT-file \"" + temp + "\": the disk said no (" + temp + ").");
    };
    const std::string want = "Cannot write the MAT-file \"" + target + "\": the disk said no (" + target + ").";
    EXPECT_EQ(messageOf([&] { replaceFileAtomically(target, failing); }), want);
    EXPECT_EQ(messageOf([&] {
                  FileGroup group;
                  group.stage(target, failing);
              }),
              want);
    // An error that does not name the temporary file passes as it is.
    EXPECT_EQ(messageOf([&] { replaceFileAtomically(target, [](const std::string&) { throw Error("other"); }); }),
              "other");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(holdsTemporaryFiles(dir.path()));
}

}  // namespace
}  // namespace tolvane
