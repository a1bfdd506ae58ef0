// A program with the reading library only, as the installer is built: packages
// made by the writer are read, and the writing operations refuse.
#include <gtest/gtest.h>

#include <string>

#include "archive/package_archive.h"
#include "foundation/byte_stream.h"
#include "test_support.h"

namespace {

const std::string kCorpus = VELA_ARCHIVE_CORPUS;

TEST(ArchiveReadOnly, ReadsPackagesWithoutTheWriter) {
    TPackageArchive archive((kCorpus + "/codecs.pak").c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    EXPECT_EQ(archive.Count(), 5);
    uint32_t size = 0;
    auto script = archive.ReadEntry("Vela.ini", true, &size);
    ASSERT_NE(script, nullptr);
    EXPECT_FALSE(archive.Failed());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(script.get()), size), "[Setup]\r\nProduct=Demo\r\n");
    for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry()) {
        EXPECT_NE(archive.ReadEntry(e->name, true), nullptr) << e->name;
        EXPECT_FALSE(archive.Failed()) << e->name;
    }

    TPackageArchive prefixed((kCorpus + "/prefixed.exe").c_str(), false);
    ASSERT_FALSE(prefixed.Failed());
    EXPECT_GT(prefixed.Base(), 0);
    EXPECT_NE(prefixed.ReadEntry("English.clg", true), nullptr);
}

TEST(ArchiveReadOnly, WritingIsRefusedWithoutTheWriter) {
    vela::test::TempDir dir;
    std::string path = (dir / "new.pak").string();
    TPackageArchive archive(path.c_str(), true);
    ASSERT_FALSE(archive.Failed());
    MemoryInput input("x", 1);
    EXPECT_EQ(archive.AddEntry(input, "x", 0), nullptr);
    EXPECT_TRUE(archive.Failed());
    EXPECT_NE(std::string(archive.FailureText()), "");
    archive.Compact();
    EXPECT_TRUE(archive.Failed());
}

}  // namespace
