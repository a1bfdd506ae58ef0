// Crash-safe file replacement, and compaction's use of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/package_archive.h"
#include "archive_test_util.h"
#include "platform/file_replace.h"
#include "test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileReplacement, CommitReplacesAbandonKeeps) {
    vela::test::TempDir dir;
    std::string target = (dir / "target.bin").string();
    vela::test::WriteFileText(target, "old content");

    FileReplacement a, b;
    ASSERT_TRUE(a.Begin(target.c_str()));
    ASSERT_TRUE(b.Begin(target.c_str()));
    EXPECT_NE(a.TemporaryPath(), b.TemporaryPath()) << "every temporary gets a name of its own";
    EXPECT_EQ(fs::path(a.TemporaryPath()).parent_path(), dir.path()) << "beside the target";
    EXPECT_EQ(FolderNames(dir.path()).size(), 3u);

    std::fputs("new content", a.File());
    std::fputs("abandoned", b.File());
    b.Abandon();
    EXPECT_EQ(vela::test::ReadFileText(target), "old content") << "nothing changes before Commit";
    ASSERT_TRUE(a.Commit());
    EXPECT_EQ(vela::test::ReadFileText(target), "new content");
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"target.bin"});

    {
        FileReplacement dropped;  // going away uncommitted removes the temporary
        ASSERT_TRUE(dropped.Begin(target.c_str()));
        std::fputs("lost", dropped.File());
    }
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"target.bin"});
    EXPECT_EQ(vela::test::ReadFileText(target), "new content");
}

TEST(FileReplacement, FailuresLeaveNothingBehind) {
    vela::test::TempDir dir;
    FileReplacement missingFolder;
    EXPECT_FALSE(missingFolder.Begin((dir / "no such folder" / "x").string().c_str()));
    EXPECT_FALSE(missingFolder.Commit());

    // A target that is a folder cannot be replaced by a file.
    fs::create_directory(dir / "folder");
    FileReplacement onFolder;
    ASSERT_TRUE(onFolder.Begin((dir / "folder").string().c_str()));
    std::fputs("x", onFolder.File());
    EXPECT_FALSE(onFolder.Commit());
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"folder"});
}

#ifndef _WIN32
TEST(FileReplacement, KeepsThePermissionBits) {
    vela::test::TempDir dir;
    std::string target = (dir / "setup.exe").string();
    vela::test::WriteFileText(target, "x");
    ASSERT_EQ(chmod(target.c_str(), 0750), 0);
    FileReplacement r;
    ASSERT_TRUE(r.Begin(target.c_str()));
    ASSERT_TRUE(r.Commit());
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
}

// The disk fills while the compacted copy is written: the archive stays as it was.
TEST(FileReplacement, CompactOnAFullDiskKeepsTheArchive) {
    vela::test::TempDir dir;
    std::string path = (dir / "full.pak").string();
    {
        TPackageArchive archive(path.c_str(), true);
        for (int i = 0; i < 4; i++)
            Add(archive, "e" + std::to_string(i), RandomContent(100000, i));
        Add(archive, "e0", RandomContent(1000, 9));  // leaves a dead body behind
    }
    Bytes before = vela::test::ReadFileBytes(path);

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 150000;  // the copy needs about 300 KB
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed;
    {
        TPackageArchive archive(path.c_str(), true);
        archive.Compact();
        failed = archive.Failed();
        setrlimit(RLIMIT_FSIZE, &saved);
        // The instance still works on the untouched file.
        EXPECT_EQ(Read(archive, "e3").content, RandomContent(100000, 3));
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(vela::test::ReadFileBytes(path), before);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"full.pak"});
}
#endif

TEST(FileReplacement, CompactRefusesBodiesOutsideTheDataArea) {
    Bytes data = ToBytes("0123456789");
    Record good = RawRecord("good", 0, ToBytes("01234"));
    Record bad = RawRecord("bad", 5, ToBytes("56789"));
    bad.storedLength = 500;
    Bytes file = Version5Archive(data, {good, bad});
    vela::test::TempDir dir;
    std::string path = (dir / "bad.pak").string();
    vela::test::WriteFileBytes(path, file.data(), file.size());
    {
        TPackageArchive archive(path.c_str(), true);
        ASSERT_FALSE(archive.Failed());
        archive.Compact();
        EXPECT_TRUE(archive.Failed());
    }
    EXPECT_EQ(vela::test::ReadFileBytes(path), file);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"bad.pak"});
}

}  // namespace
