// TPackageArchive: writing and reading back, directory order, every directory
// form, host prefixes, replacement and compaction, disk-file fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "archive/package_archive.h"
#include "archive_test_util.h"
#include "compress/lz.h"
#include "test_support.h"

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

std::string PathText(const fs::path& path) {
    return path.string();
}

archive_format::Trailer TrailerOf(const Bytes& file) {
    return archive_format::ParseTrailer(file.data() + file.size() - archive_format::kTrailerSize);
}

size_t FileCount(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

int progressCalls = 0;
void CountProgress() {
    progressCalls++;
}

TEST(PackageArchive, EmptyArchiveHasTheDescribedBytes) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "empty.pak");
    {
        TPackageArchive archive(path.c_str(), true);
        ASSERT_FALSE(archive.Failed()) << archive.FailureText();
        EXPECT_EQ(archive.Base(), 0);
        EXPECT_EQ(archive.DataEnd(), 0);
        archive.Compact();
        EXPECT_FALSE(archive.Failed()) << archive.FailureText();
    }
    Bytes stream = BlockSortCompressed({});
    Bytes expected = ToBytes("ix50");
    PutU32(expected, 0);
    PutU32(expected, 0);
    expected.insert(expected.end(), stream.begin(), stream.end());
    uint32_t directoryLength = static_cast<uint32_t>(expected.size());
    PutU32(expected, 0x56425273);  // "sRBV"
    PutU32(expected, 0);
    PutU32(expected, static_cast<uint32_t>(-static_cast<int32_t>(directoryLength + 16)));
    PutU32(expected, 0x305);
    EXPECT_EQ(vela::test::ReadFileBytes(path), expected);

    TPackageArchive again(path.c_str(), false);
    EXPECT_FALSE(again.Failed()) << again.FailureText();
    EXPECT_EQ(again.Count(), 0);
    EXPECT_EQ(again.FirstEntry(), nullptr);
}

// Every combination of options the packager uses: flags, stored length and the
// codec that actually decodes the body in the file.
TEST(PackageArchive, OptionsGiveFlagsAndCodecs) {
    struct Case {
        uint32_t options;
        uint32_t flags;
    } cases[] = {
        {0, 0},
        {AddMark, EntryMarked},
        {AddCompress, EntryCompressed},
        {AddCompress | AddMark, 3},
        {AddCompress | AddBlockSort, EntryCompressed | EntryBlockSorted},
        {AddCompress | AddBlockSort | AddMark, 7},
        {AddBlockSort, EntryBlockSorted},  // without AddCompress the body stays raw
    };
    vela::test::TempDir dir;
    std::string path = PathText(dir / "flags.pak");
    Bytes content = TextContent(50000);
    {
        TPackageArchive archive(path.c_str(), true);
        for (const Case& c : cases) {
            TArchiveEntry* e = Add(archive, "entry" + std::to_string(c.options), content, c.options);
            ASSERT_NE(e, nullptr) << archive.FailureText();
            EXPECT_EQ(e->flags, c.flags) << c.options;
            EXPECT_EQ(e->length, content.size());
            EXPECT_EQ(e->checksum, archiveCrc(content.data(), content.size()));
            if ((c.options & AddCompress) == 0)
                EXPECT_EQ(e->storedLength, e->length) << c.options;
            else
                EXPECT_LT(e->storedLength, e->length) << c.options;
        }
    }
    Bytes file = vela::test::ReadFileBytes(path);
    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    uint32_t expectedOffset = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string name = "entry" + std::to_string(c.options);
        TArchiveEntry* e = archive.FindEntry(name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->flags, c.flags);
        EXPECT_EQ(e->offset, expectedOffset) << "bodies follow each other in the order added";
        expectedOffset += e->storedLength;
        ReadResult r = Read(archive, name);
        EXPECT_FALSE(archive.Failed()) << archive.FailureText();
        EXPECT_TRUE(r.found && r.terminated);
        EXPECT_EQ(r.content, content);
        // The body in the file is decoded by the codec the flags name.
        MemoryInput body(file.data() + e->offset, e->storedLength);
        Bytes decoded(content.size());
        if ((c.flags & EntryCompressed) == 0) {
            EXPECT_TRUE(std::equal(content.begin(), content.end(), file.begin() + e->offset));
        } else {
            size_t n = (c.flags & EntryBlockSorted) != 0
                           ? blockSortDecompress(body, decoded.data(), decoded.size(), nullptr)
                           : lzDecompress(body, decoded.data(), decoded.size(), nullptr);
            EXPECT_EQ(n, content.size());
            EXPECT_EQ(decoded, content);
        }
    }
    EXPECT_EQ(TrailerOf(file).directoryOffset, expectedOffset) << "the directory follows the last body";
}

TEST(PackageArchive, NamesAreOrderedByUnsignedBytes) {
    const std::vector<std::string> added = {"readme.txt", "Readme.txt", "b", "B", "a", "ab", "",
                                            "\xC0\xE1\xE2",  // Cyrillic in code page 1251: above 0x7F
                                            "A b (x)", "a\x7F", "a\x80", "~"};
    std::vector<std::string> expected = {"", "A b (x)", "B", "Readme.txt", "a", "ab", "a\x7F",
                                         "a\x80", "b", "readme.txt", "~", "\xC0\xE1\xE2"};
    vela::test::TempDir dir;
    std::string path = PathText(dir / "names.pak");
    {
        TPackageArchive archive(path.c_str(), true);
        for (const std::string& name : added)
            ASSERT_NE(Add(archive, name, ToBytes("content of " + name)), nullptr);
        EXPECT_EQ(ListNames(archive), expected);
    }
    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed());
    EXPECT_EQ(ListNames(archive), expected);
    for (const std::string& name : added)
        EXPECT_EQ(Read(archive, name).content, ToBytes("content of " + name)) << name;
    EXPECT_EQ(archive.FindEntry("README.TXT"), nullptr) << "lookup is case-sensitive";
    EXPECT_EQ(archive.FindEntry("readme.tx"), nullptr);
    EXPECT_EQ(archive.FindEntry("readme.txt "), nullptr);
}

TEST(PackageArchive, IterationStartsOnlyWithFirstEntry) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "iter.pak");
    {
        TPackageArchive archive(path.c_str(), true);
        Add(archive, "one", ToBytes("1"));
        Add(archive, "two", ToBytes("2"));
    }
    TPackageArchive archive(path.c_str(), false);
    EXPECT_EQ(archive.NextEntry(), nullptr) << "the cursor starts at the end";
    ASSERT_NE(archive.FirstEntry(), nullptr);
    // Removing the entry under the cursor moves the cursor on.
    archive.RemoveEntry("two");
    EXPECT_EQ(archive.NextEntry(), nullptr);
    EXPECT_EQ(archive.Count(), 1);
}

TEST(PackageArchive, ZeroLengthRawEntry) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "zero.pak");
    {
        TPackageArchive archive(path.c_str(), true);
        TArchiveEntry* e = Add(archive, "nothing", {});
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->storedLength, 0u);
        EXPECT_EQ(e->checksum, 0u);
    }
    TPackageArchive archive(path.c_str(), false);
    uint32_t size = 99;
    std::unique_ptr<uint8_t[]> buffer = archive.ReadEntry("nothing", true, &size);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(archive.Failed());
}

TEST(PackageArchive, HostPrefixBeforeAndAfterCompact) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "setup.exe");
    Bytes prefix = RandomContent(30000, 99);
    prefix[0] = 'M';
    prefix[1] = 'Z';
    vela::test::WriteFileBytes(path, prefix.data(), prefix.size());
    Bytes first = TextContent(20000, 1), second = TextContent(7000, 2), replaced = RandomContent(3000, 3);
    {
        TPackageArchive archive(path.c_str(), true);
        ASSERT_FALSE(archive.Failed());
        EXPECT_EQ(archive.Base(), static_cast<int64_t>(prefix.size()));
        EXPECT_EQ(archive.DataEnd(), static_cast<int64_t>(prefix.size()));
        EXPECT_EQ(archive.Count(), 0);
        ASSERT_NE(Add(archive, "first", first), nullptr);
        archive.Flush();
    }
    // The file is the executable, the body, the directory and the trailer.
    Bytes file = vela::test::ReadFileBytes(path);
    ASSERT_GT(file.size(), prefix.size() + first.size() + 16);
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), file.begin()));
    EXPECT_TRUE(std::equal(first.begin(), first.end(), file.begin() + prefix.size()));
    EXPECT_EQ(TrailerOf(file).directoryOffset, first.size());
    EXPECT_EQ(std::string(file.begin() + prefix.size() + first.size(), file.begin() + prefix.size() + first.size() + 4),
              "ix50");

    TArchiveEntry* firstRecord = nullptr;
    {
        TPackageArchive archive(path.c_str(), true);
        ASSERT_FALSE(archive.Failed()) << archive.FailureText();
        EXPECT_EQ(archive.Base(), static_cast<int64_t>(prefix.size()));
        firstRecord = archive.FindEntry("first");
        ASSERT_NE(firstRecord, nullptr);
        ASSERT_NE(Add(archive, "second", second, AddCompress | AddBlockSort), nullptr);
        // Replacing keeps the record where it is and leaves the old body dead.
        EXPECT_EQ(Add(archive, "first", replaced, AddCompress), firstRecord);
        EXPECT_EQ(firstRecord->length, replaced.size());
        archive.Flush();
        Bytes withDead = vela::test::ReadFileBytes(path);
        uint32_t live = archive.FindEntry("first")->storedLength + archive.FindEntry("second")->storedLength;
        EXPECT_EQ(TrailerOf(withDead).directoryOffset, live + first.size()) << "the dead body is still there";

        archive.Compact();
        ASSERT_FALSE(archive.Failed()) << archive.FailureText();
        EXPECT_EQ(archive.Base(), static_cast<int64_t>(prefix.size()));
        EXPECT_EQ(archive.DataEnd(), static_cast<int64_t>(prefix.size() + live));
        // Still usable after compaction: read, add and flush again.
        EXPECT_EQ(Read(archive, "second").content, second);
        ASSERT_NE(Add(archive, "third", ToBytes("3")), nullptr);
    }
    file = vela::test::ReadFileBytes(path);
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), file.begin())) << "the host prefix is untouched";
    EXPECT_EQ(FileCount(dir.path()), 1u) << "no temporary file is left behind";

    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    EXPECT_EQ(archive.Base(), static_cast<int64_t>(prefix.size()));
    EXPECT_EQ(ListNames(archive), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(Read(archive, "first").content, replaced);
    EXPECT_EQ(Read(archive, "second").content, second);
    EXPECT_EQ(Read(archive, "third").content, ToBytes("3"));
    EXPECT_FALSE(archive.Failed());
    // Compaction laid out the live bodies in directory order.
    EXPECT_EQ(archive.FindEntry("first")->offset, 0u);
    EXPECT_EQ(archive.FindEntry("second")->offset, archive.FindEntry("first")->storedLength);
}

TEST(PackageArchive, CompactDropsDeadBodies) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "dead.pak");
    TPackageArchive archive(path.c_str(), true);
    for (int round = 0; round < 3; round++)
        for (const char* name : {"a", "b", "c"})
            Add(archive, name, TextContent(1000 + 100 * round, round), AddCompress | AddBlockSort);
    archive.RemoveEntry("b");
    archive.Compact();
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    Bytes file = vela::test::ReadFileBytes(path);
    uint32_t sum = archive.FindEntry("a")->storedLength + archive.FindEntry("c")->storedLength;
    EXPECT_EQ(TrailerOf(file).directoryOffset, sum);
    EXPECT_EQ(archive.DataEnd(), static_cast<int64_t>(sum));
    EXPECT_EQ(Read(archive, "c").content, TextContent(1200, 2));

    TPackageArchive reopened(path.c_str(), false);
    EXPECT_EQ(ListNames(reopened), (std::vector<std::string>{"a", "c"}));
}

TEST(PackageArchive, RemoveAloneDoesNotReachTheFile) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "rm.pak");
    {
        TPackageArchive archive(path.c_str(), true);
        Add(archive, "keep", ToBytes("k"));
        Add(archive, "drop", ToBytes("d"));
    }
    Bytes before = vela::test::ReadFileBytes(path);
    {
        TPackageArchive archive(path.c_str(), true);
        archive.RemoveEntry("drop");
        archive.RemoveEntry("not there");
        EXPECT_FALSE(archive.Modified());
        archive.Flush();
        EXPECT_EQ(archive.Count(), 1);
    }
    EXPECT_EQ(vela::test::ReadFileBytes(path), before);
    {
        // With an addition the next directory written leaves it out.
        TPackageArchive archive(path.c_str(), true);
        archive.RemoveEntry("drop");
        Add(archive, "new", ToBytes("n"));
        EXPECT_TRUE(archive.Modified());
        archive.Flush();
        EXPECT_FALSE(archive.Modified());
    }
    TPackageArchive archive(path.c_str(), false);
    EXPECT_EQ(ListNames(archive), (std::vector<std::string>{"keep", "new"}));
}

TEST(PackageArchive, DuplicateNamesInALoadedDirectoryKeepTheLaterRecord) {
    Bytes data = ToBytes("firstsecond");
    Record earlier = RawRecord("twice", 0, ToBytes("first"));
    Record later = RawRecord("twice", 5, ToBytes("second"));
    vela::test::TempDir dir;
    std::string path = PathText(dir / "dup.pak");
    Bytes file = Version5Archive(data, {earlier, later});
    vela::test::WriteFileBytes(path, file.data(), file.size());
    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    EXPECT_EQ(archive.Count(), 1);
    EXPECT_EQ(Read(archive, "twice").content, ToBytes("second"));
    EXPECT_EQ(archive.FindEntry("twice")->timeStamp, 1000u) << "version-5 stamps are kept";
}

// Directories of versions 0 to 4 in their three forms, written here byte by byte.
TEST(PackageArchive, OldVersionsAreRead) {
    struct Case {
        OldForm form;
        uint32_t version;
        const char* name;
    } cases[] = {
        {OldForm::Short48, 0, "48-byte records"},
        {OldForm::Long64, 3, "64-byte records"},
        {OldForm::Compressed, 4, "compressed records"},
    };
    Bytes raw = ToBytes("raw body");
    Bytes text = TextContent(5000);
    Bytes packed = BlockSortCompressed(text);
    Bytes data = raw;
    data.insert(data.end(), packed.begin(), packed.end());
    Record rawRecord = RawRecord("Vela.ini", 0, raw);
    rawRecord.timeStamp = 12345;
    Record packedRecord;
    packedRecord.name = std::string(23, 'n');  // the longest name a 48-byte record holds
    packedRecord.offset = static_cast<uint32_t>(raw.size());
    packedRecord.storedLength = static_cast<uint32_t>(packed.size());
    packedRecord.length = static_cast<uint32_t>(text.size());
    packedRecord.checksum = archiveCrc(text.data(), text.size());
    packedRecord.flags = EntryCompressed | EntryBlockSorted;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vela::test::TempDir dir;
        std::string path = PathText(dir / "old.pak");
        Bytes file = OldArchive(data, {rawRecord, packedRecord}, c.form, c.version);
        vela::test::WriteFileBytes(path, file.data(), file.size());
        uint32_t before = static_cast<uint32_t>(std::time(nullptr));
        {
            TPackageArchive archive(path.c_str(), false);
            uint32_t after = static_cast<uint32_t>(std::time(nullptr));
            ASSERT_FALSE(archive.Failed()) << archive.FailureText();
            EXPECT_EQ(ListNames(archive), (std::vector<std::string>{"Vela.ini", packedRecord.name}));
            EXPECT_EQ(Read(archive, "Vela.ini").content, raw);
            EXPECT_EQ(Read(archive, packedRecord.name).content, text);
            EXPECT_FALSE(archive.Failed());
            TArchiveEntry* e = archive.FindEntry("Vela.ini");
            EXPECT_GE(e->timeStamp, before) << "the stamp becomes the loading time";
            EXPECT_LE(e->timeStamp, after);
        }
        // Once an entry is added, the directory written is a version-5 one.
        {
            TPackageArchive archive(path.c_str(), true);
            ASSERT_FALSE(archive.Failed());
            Add(archive, "added", ToBytes("new"), AddCompress);
        }
        Bytes rewritten = vela::test::ReadFileBytes(path);
        EXPECT_EQ(TrailerOf(rewritten).formatFlags, 0x305u);
        TPackageArchive archive(path.c_str(), false);
        ASSERT_FALSE(archive.Failed());
        EXPECT_EQ(archive.Count(), 3);
        EXPECT_EQ(Read(archive, packedRecord.name).content, text);
        EXPECT_EQ(Read(archive, "added").content, ToBytes("new"));
    }
}

TEST(PackageArchive, WithoutADirectoryEverythingActsOnAnEmptyOne) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "plain.txt");
    Bytes text = ToBytes("not an archive, just some text that is longer than a trailer");
    vela::test::WriteFileBytes(path, text.data(), text.size());
    for (const std::string& target : {path, PathText(dir / "missing.pak")}) {
        SCOPED_TRACE(target);
        TPackageArchive archive(target.c_str(), false);
        EXPECT_TRUE(archive.Failed());
        EXPECT_EQ(archive.Count(), 0);
        EXPECT_EQ(archive.FirstEntry(), nullptr);
        EXPECT_EQ(archive.NextEntry(), nullptr);
        EXPECT_EQ(archive.FindEntry("x"), nullptr);
        archive.RemoveEntry("x");
        EXPECT_EQ(Add(archive, "x", ToBytes("x")), nullptr) << "a read-only archive is never written";
        archive.Compact();
        EXPECT_TRUE(archive.Failed());
    }
    EXPECT_EQ(vela::test::ReadFileBytes(path), text);
    EXPECT_FALSE(fs::exists(dir / "missing.pak"));
}

TEST(PackageArchive, NamesNotInTheArchiveAreReadFromDisk) {
    vela::test::TempDir dir;
    std::string diskFile = PathText(dir / "on disk.txt");
    vela::test::WriteFileBytes(diskFile, "disk content", 12);
    std::string archivePath = PathText(dir / "a.pak");
    {
        TPackageArchive archive(archivePath.c_str(), true);
        Add(archive, "inside", ToBytes("archive content"));
    }
    std::string plainPath = PathText(dir / "plain");
    vela::test::WriteFileBytes(plainPath, "no trailer here, nothing else", 29);

    for (const std::string& package : {archivePath, plainPath}) {
        SCOPED_TRACE(package);
        TPackageArchive archive(package.c_str(), false);
        bool failedBefore = archive.Failed();
        ReadResult r = Read(archive, diskFile);
        EXPECT_TRUE(r.found && r.terminated);
        EXPECT_EQ(r.content, ToBytes("disk content"));
        EXPECT_EQ(archive.Failed(), failedBefore) << "the disk path leaves the flag alone";
        EXPECT_FALSE(Read(archive, PathText(dir / "nowhere")).found);
        EXPECT_FALSE(Read(archive, std::string("on disk.txt\0x", 13)).found);
    }
}

TEST(PackageArchive, NameLengthLimit) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "long.pak");
    std::string longest(32767, 'L');
    {
        TPackageArchive archive(path.c_str(), true);
        ASSERT_NE(Add(archive, longest, ToBytes("fits")), nullptr);
        EXPECT_EQ(Add(archive, std::string(32768, 'M'), ToBytes("too long")), nullptr);
        EXPECT_TRUE(archive.Failed());
        EXPECT_NE(std::string(archive.FailureText()).find("32768"), std::string::npos) << archive.FailureText();
        EXPECT_EQ(Add(archive, std::string(70000, 'N'), ToBytes("far too long")), nullptr);
        EXPECT_EQ(archive.Count(), 1);
    }
    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    EXPECT_EQ(ListNames(archive), std::vector<std::string>{longest});
    EXPECT_EQ(Read(archive, longest).content, ToBytes("fits"));
}

TEST(PackageArchive, BodyDecodingShortIsZeroFilledAndFailsTheChecksum) {
    // As in existing packages whose setup script counts line breaks twice: the
    // record's length is larger than what the body decodes to.
    Bytes content = ToBytes("[Setup]\nName=Vela\n");
    Bytes body = BlockSortCompressed(content);
    Record r;
    r.name = "Vela.ini";
    r.storedLength = static_cast<uint32_t>(body.size());
    r.length = static_cast<uint32_t>(content.size() + 2);
    Bytes counted = content;
    counted.insert(counted.end(), {0, 0});
    r.checksum = archiveCrc(content.data(), content.size());  // made over other bytes
    r.flags = EntryCompressed | EntryBlockSorted;
    vela::test::TempDir dir;
    std::string path = PathText(dir / "short.pak");
    Bytes file = Version5Archive(body, {r});
    vela::test::WriteFileBytes(path, file.data(), file.size());

    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed());
    ReadResult unchecked = Read(archive, "Vela.ini", false);
    EXPECT_FALSE(archive.Failed());
    EXPECT_EQ(unchecked.content, counted);
    EXPECT_TRUE(unchecked.terminated);
    ReadResult checked = Read(archive, "Vela.ini", true);
    EXPECT_TRUE(archive.Failed());
    EXPECT_EQ(checked.content, counted) << "the buffer is still returned";
}

TEST(PackageArchive, ProgressAndMemo) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "p.pak");
    TPackageArchive archive(path.c_str(), true);
    Add(archive, "big", TextContent(200000), AddCompress | AddBlockSort);
    progressCalls = 0;
    archive.SetProgress(CountProgress);
    EXPECT_EQ(Read(archive, "big").content.size(), 200000u);
    EXPECT_GT(progressCalls, 0);
    archive.SetProgress(nullptr);
    int before = progressCalls;
    Read(archive, "big");
    EXPECT_EQ(progressCalls, before);

    archive.SetMemo("memo", 4);
    EXPECT_EQ(archive.Memo(), ToBytes("memo"));
    archive.SetMemo(nullptr, 3);
    archive.SetMemo("x", 0);
    archive.SetMemo("x", -1);
    EXPECT_EQ(archive.Memo(), ToBytes("memo"));
    EXPECT_EQ(std::string(archive.ClassName()), "TObject");
}

}  // namespace

namespace {

// Content that compressing does not shrink is stored raw in the compressed
// body's place: no dead bytes, and the next body follows right after it.
TEST(PackageArchive, StoreIfLargerKeepsIncompressibleContentRaw) {
    vela::test::TempDir dir;
    std::string path = PathText(dir / "auto.pak");
    Bytes noise = RandomContent(30000);
    Bytes text = TextContent(30000);
    const uint32_t options = AddCompress | AddBlockSort | AddStoreIfLarger;
    {
        TPackageArchive archive(path.c_str(), true);
        TArchiveEntry* raw = Add(archive, "noise", noise, options);
        ASSERT_NE(raw, nullptr) << archive.FailureText();
        EXPECT_EQ(raw->flags, 0u);
        EXPECT_EQ(raw->storedLength, noise.size());
        TArchiveEntry* packed = Add(archive, "text", text, options | AddMark);
        ASSERT_NE(packed, nullptr) << archive.FailureText();
        EXPECT_EQ(packed->flags, EntryCompressed | EntryBlockSorted | EntryMarked);
        EXPECT_EQ(packed->offset, noise.size());
        EXPECT_EQ(archive.DataEnd(), static_cast<int64_t>(noise.size() + packed->storedLength));
    }
    TPackageArchive archive(path.c_str(), false);
    ASSERT_FALSE(archive.Failed()) << archive.FailureText();
    EXPECT_EQ(Read(archive, "noise").content, noise);
    EXPECT_EQ(Read(archive, "text").content, text);
    EXPECT_FALSE(archive.Failed()) << archive.FailureText();
}

}  // namespace
