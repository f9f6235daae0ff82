#include "common/replacing_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "common/tests/test_files.h"

namespace ixan {
namespace {

namespace fs = std::filesystem;

const std::string kNew = "new content\n";

// Every entry below a folder: file contents, link targets and folders, by name.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().lexically_relative(folder).string();
        if (e.is_symlink()) {
            entries[name] = "link to " + fs::read_symlink(e.path()).string();
        } else if (e.is_directory()) {
            entries[name] = "folder";
        } else {
            entries[name] = "file " + test::readFile(e.path().string());
        }
    }
    return entries;
}

// One line per entry, line ends in contents shown as \n.
std::string print(const std::map<std::string, std::string>& entries) {
    std::string text;
    for (const auto& [name, what] : entries) {
        text += name + ": ";
        for (char c : what) {
            text += c == '\n' ? std::string("\\n") : std::string(1, c);
        }
        text += "\n";
    }
    return text;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

struct Case {
    const char* what;
    // Prepares the folder; returns the path to replace.
    std::function<std::string(const test::TempDir&)> prepare;
    ReplacingFileOptions options;
    ReplacingFileStep failedStep = ReplacingFileStep::None;
    int errorNumber = 0;
    std::string written;          // on success: the file that holds the new content
    mode_t mode = 0;              // on success: its mode
    std::string errorStart = {};  // on failure: how error() begins
};

std::string plainFile(const test::TempDir& dir, mode_t mode) {
    const std::string path = dir.file("data.txt");
    test::writeFile(path, "old content\n");
    ::chmod(path.c_str(), mode);
    return path;
}

std::string linkToFile(const test::TempDir& dir) {
    test::writeFile(dir.file("real.txt"), "old content\n");
    ::chmod(dir.file("real.txt").c_str(), 0604);
    fs::create_symlink("real.txt", dir.file("data.txt"));
    return dir.file("data.txt");
}

TEST(ReplacingFile, Cases) {
    const mode_t umaskBits = currentUmask();
    const ReplacingFileOptions keep{.keepMode = true};
    const ReplacingFileOptions wizard{.newFileMode = 0640,
                                      .exactMode = true,
                                      .keepMode = true,
                                      .keepOwner = true,
                                      .followSymlink = true,
                                      .refuseUnwritable = true};
    const Case cases[] = {
        {"new file, mode less the umask",
         [](const test::TempDir& d) { return d.file("data.txt"); },
         {},
         ReplacingFileStep::None,
         0,
         "data.txt",
         static_cast<mode_t>(0666 & ~umaskBits)},
        {"new file, exact mode",
         [](const test::TempDir& d) { return d.file("data.txt"); },
         {.newFileMode = 0604, .exactMode = true},
         ReplacingFileStep::None,
         0,
         "data.txt",
         0604},
        {"replaced file gets the new file's mode",
         [](const test::TempDir& d) { return plainFile(d, 0600); },
         {.newFileMode = 0644, .exactMode = true},
         ReplacingFileStep::None,
         0,
         "data.txt",
         0644},
        {"replaced file keeps its mode", [](const test::TempDir& d) { return plainFile(d, 0604); },
         keep, ReplacingFileStep::None, 0, "data.txt", 0604},
        {"relative path",
         [](const test::TempDir& d) {
             fs::current_path(d.path());
             return std::string("data.txt");
         },
         {},
         ReplacingFileStep::None,
         0,
         "data.txt",
         static_cast<mode_t>(0666 & ~umaskBits)},
        {"link at the target is replaced", [](const test::TempDir& d) { return linkToFile(d); },
         keep, ReplacingFileStep::None, 0, "data.txt", 0604},
        {"link at the target is followed", [](const test::TempDir& d) { return linkToFile(d); },
         wizard, ReplacingFileStep::None, 0, "real.txt", 0604},
        {"dangling link cannot be followed",
         [](const test::TempDir& d) {
             fs::create_symlink("nowhere.txt", d.file("data.txt"));
             return d.file("data.txt");
         },
         wizard, ReplacingFileStep::ResolveLink, ENOENT, "", 0, "realpath "},
        {"no file name",
         [](const test::TempDir&) { return std::string(); },
         {},
         ReplacingFileStep::Name,
         0,
         "",
         0,
         "no file name given"},
        {"folder name",
         [](const test::TempDir& d) { return d.file("sub") + "/"; },
         {},
         ReplacingFileStep::Name,
         0,
         "",
         0,
         "'"},
        {"missing folder",
         [](const test::TempDir& d) { return d.file("none/data.txt"); },
         {},
         ReplacingFileStep::Create,
         ENOENT,
         "",
         0,
         "open "},
        {"missing folder, exact mode",
         [](const test::TempDir& d) { return d.file("none/data.txt"); }, wizard,
         ReplacingFileStep::Create, ENOENT, "", 0, "mkstemp "},
        {"file where the folder should be",
         [](const test::TempDir& d) {
             test::writeFile(d.file("plain"), "x");
             return d.file("plain/data.txt");
         },
         {},
         ReplacingFileStep::Create,
         ENOTDIR,
         "",
         0,
         "open "},
        {"folder in the way",
         [](const test::TempDir& d) {
             fs::create_directory(d.file("data.txt"));
             test::writeFile(d.file("data.txt/inside"), "keep");
             return d.file("data.txt");
         },
         {},
         ReplacingFileStep::Rename,
         EISDIR,
         "",
         0,
         "rename "},
        {"folder in the way is refused",
         [](const test::TempDir& d) {
             fs::create_directory(d.file("data.txt"));
             return d.file("data.txt");
         },
         wizard, ReplacingFileStep::NotRegular, 0, "", 0, ""},
    };
    const fs::path start = fs::current_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string path = c.prepare(dir);
        const auto before = snapshot(dir.path());
        ReplacingFile file(path, c.options);
        const bool written = file.write(kNew) && file.commit();
        fs::current_path(start);

        EXPECT_EQ(file.failure().step, c.failedStep) << file.error();
        EXPECT_EQ(file.failure().errorNumber, c.errorNumber) << file.error();
        auto expected = before;
        if (c.failedStep == ReplacingFileStep::None) {
            ASSERT_TRUE(written) << file.error();
            expected[c.written] = "file " + kNew;
            EXPECT_EQ(modeOf(dir.file(c.written)), c.mode);
            EXPECT_EQ(file.error(), "");
        } else {
            EXPECT_FALSE(written);
            EXPECT_EQ(file.error().rfind(c.errorStart, 0), 0u) << file.error();
        }
        // Nothing else changed and no temporary file is left.
        EXPECT_EQ(print(snapshot(dir.path())), print(expected));
    }
}

TEST(ReplacingFile, WithoutCommitTheTargetStaysAndNoTemporaryFileIsLeft) {
    test::TempDir dir;
    const std::string path = plainFile(dir, 0644);
    {
        ReplacingFile file(path);
        ASSERT_TRUE(file.isOpen()) << file.error();
        ASSERT_TRUE(file.write(std::string(300 * 1024, 'x')));
    }
    EXPECT_EQ(print(snapshot(dir.path())), "data.txt: file old content\\n\n");
}

// Writes larger and smaller than the buffer, and byte spans, arrive in order.
TEST(ReplacingFile, PiecesArriveInOrder) {
    test::TempDir dir;
    const std::string path = dir.file("big.bin");
    std::string expected;
    ReplacingFile file(path);
    for (int i = 0; i < 40; ++i) {
        const std::string piece(static_cast<std::size_t>(i) * 9973,
                                static_cast<char>('a' + i % 26));
        ASSERT_TRUE(file.write(piece));
        expected += piece;
        const std::uint8_t bytes[] = {0, 0xff, static_cast<std::uint8_t>(i)};
        ASSERT_TRUE(file.write(std::span<const std::uint8_t>(bytes)));
        expected.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_TRUE(test::readFile(path) == expected) << "content differs";
}

// A write that fails half way (here: the file size limit) keeps the old file and leaves
// no temporary file. Runs in a child so the limit stays there.
TEST(ReplacingFile, FailedWriteKeepsTheOldFile) {
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact mode" : "mode less the umask");
        test::TempDir dir;
        const std::string path = plainFile(dir, 0644);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            bool reported = false;
            {
                ReplacingFile file(path, {.newFileMode = 0644, .exactMode = exact});
                const bool written = file.write(std::string(1024 * 1024, 'x')) && file.commit();
                reported = !written && file.failure().step == ReplacingFileStep::Write &&
                           file.failure().errorNumber == EFBIG &&
                           file.error().rfind("write ", 0) == 0;
            }
            ::_exit(reported ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failure not reported";
        EXPECT_EQ(print(snapshot(dir.path())), "data.txt: file old content\\n\n");
    }
}

// Runs in a child that, when the tests run as root, becomes nobody: root may write any
// file.
TEST(ReplacingFile, ReadOnlyTargetIsRefusedOnlyWhenAsked) {
    for (const bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "refused" : "replaced");
        test::TempDir dir;
        const std::string path = plainFile(dir, 0444);
        ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(99);
            }
            bool expected = false;
            {
                ReplacingFile file(path, {.refuseUnwritable = refuse});
                const bool written = file.write(kNew) && file.commit();
                expected = refuse ? !written && file.failure().step == ReplacingFileStep::Access &&
                                        file.failure().errorNumber == EACCES
                                  : written;
            }
            ::_exit(expected ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 99) << "cannot become nobody";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "unexpected outcome";
        EXPECT_EQ(print(snapshot(dir.path())),
                  refuse ? "data.txt: file old content\\n\n" : "data.txt: file new content\\n\n");
    }
}

TEST(ReplacingFile, OwnerAndGroupAreKeptOnlyWhenAsked) {
    for (const bool keepOwner : {false, true}) {
        SCOPED_TRACE(keepOwner ? "kept" : "not kept");
        test::TempDir dir;
        const std::string path = plainFile(dir, 0644);
        if (::chown(path.c_str(), 4321, 8765) != 0) {
            GTEST_SKIP() << "changing the owner needs root";
        }
        ReplacingFile file(path, {.keepOwner = keepOwner});
        ASSERT_TRUE(file.write(kNew) && file.commit()) << file.error();
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid == 4321u && st.st_gid == 8765u, keepOwner)
            << "owner " << st.st_uid << ", group " << st.st_gid;
    }
}

}  // namespace
}  // namespace ixan
