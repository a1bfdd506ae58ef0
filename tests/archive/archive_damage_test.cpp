// Damaged archives, as one table: each corruption has its defined outcome, and
// none of them may crash, hang or read outside the file's regions (the native
// build runs this under AddressSanitizer and UndefinedBehaviorSanitizer).
#include <gtest/gtest.h>

#include <functional>

#include "archive/package_archive.h"
#include "archive_test_util.h"
#include "compress/lz.h"
#include "foundation/fatal_report_exception.h"
#include "test_support.h"

using namespace archive_test;

namespace {

// The good archive every case starts from: a raw, a block-sorted and an LZ body.
struct Fixture {
    Bytes data;
    std::vector<Record> records;
    uint32_t count = 0;
    std::string magic = "ix50";
    Bytes raw, text, lzText;

    Fixture() {
        raw = ToBytes("raw content 0123456789");
        text = TextContent(3000, 5);
        lzText = TextContent(2000, 6);
        data = raw;
        records.push_back(RawRecord("raw", 0, raw));
        Add("bs", text, BlockSortCompressed(text), EntryCompressed | EntryBlockSorted);
        MemoryInput in(lzText.data(), lzText.size());
        MemoryOutput out;
        lzCompress(in, out, nullptr);
        Add("lz", lzText, out.Bytes(), EntryCompressed);
        count = static_cast<uint32_t>(records.size());
    }
    void Add(const std::string& name, const Bytes& content, const Bytes& body, uint32_t flags) {
        Record r = RawRecord(name, static_cast<uint32_t>(data.size()), content);
        r.storedLength = static_cast<uint32_t>(body.size());
        r.flags = flags;
        records.push_back(r);
        data.insert(data.end(), body.begin(), body.end());
    }
    Record& Find(const std::string& name) {
        for (Record& r : records)
            if (r.name == name)
                return r;
        throw std::logic_error("no record " + name);
    }
    Bytes Build() const { return Version5Archive({}, data, records, count, magic.c_str()); }
    const Bytes& ContentOf(const std::string& name) const { return name == "raw" ? raw : name == "bs" ? text : lzText; }
};

enum class Open { Ok, NoArchive, Unusable, Any };
enum class Read { Ok, NoneFailed, ReturnedFailed, Damaged, Any };

struct Outcome {
    bool fatalAtOpen = false;
    bool openFailed = false;
    int count = 0;
    bool fatalAtRead = false;
    bool returned = false;
    bool readFailed = false;
    Bytes content;
};

Outcome OpenAndRead(const Bytes& file, const std::string& entry, const std::string& path) {
    vela::test::WriteFileBytes(path, file.data(), file.size());
    Outcome o;
    FatalReportsThrow throwing;
    TPackageArchive archive;
    try {
        archive.Open(path.c_str(), false);
    } catch (const FatalReportException&) {
        o.fatalAtOpen = true;
        return o;
    }
    o.openFailed = archive.Failed();
    o.count = archive.Count();
    // Every listed entry can be asked for without harm.
    for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry()) {
        if (e->length > (1u << 24))
            continue;
        try {
            archive.ReadEntry(e->name, true, nullptr);
        } catch (const FatalReportException&) {
        }
    }
    try {
        uint32_t size = 0;
        std::unique_ptr<uint8_t[]> buffer = archive.ReadEntry(entry, true, &size);
        o.readFailed = archive.Failed();
        if (buffer) {
            o.returned = true;
            o.content.assign(buffer.get(), buffer.get() + size);
        }
    } catch (const FatalReportException&) {
        o.fatalAtRead = true;
    }
    return o;
}

struct Case {
    const char* name;
    std::function<void(Fixture&)> change;     // on the records before building
    std::function<void(Bytes&)> patch;        // on the built bytes
    Open open;
    const char* entry;  // read after opening
    Read read;
};

void SetU32(Bytes& file, size_t at, uint32_t value) {
    archive_format::StoreU32(file.data() + at, value);
}
size_t TrailerAt(const Bytes& file) {
    return file.size() - 16;
}

TEST(ArchiveDamage, EveryCorruptionHasItsOutcome) {
    const Case cases[] = {
        {"intact", nullptr, nullptr, Open::Ok, "bs", Read::Ok},
        {"trailer magic", nullptr, [](Bytes& f) { f[TrailerAt(f)] = 'S'; }, Open::NoArchive, "raw", Read::Any},
        {"format version 6", nullptr, [](Bytes& f) { SetU32(f, TrailerAt(f) + 12, 0x306); }, Open::NoArchive, "raw",
         Read::Any},
        {"directory magic", [](Fixture& x) { x.magic = "ix51"; }, nullptr, Open::Unusable, "raw", Read::Any},
        {"negative name length", [](Fixture& x) { x.Find("lz").nameLengthField = 0xFFFE; }, nullptr, Open::Unusable,
         "raw", Read::Any},
        {"record list shorter than its count", [](Fixture& x) { x.count = 4; }, nullptr, Open::Unusable, "raw",
         Read::Any},
        {"record count far beyond the list", [](Fixture& x) { x.count = 0xFFFFFFFF; }, nullptr, Open::Unusable, "raw",
         Read::Any},
        {"name running past the list", [](Fixture& x) { x.records.back().nameLengthField = 40; }, nullptr,
         Open::Unusable, "raw", Read::Any},
        {"record list length beyond reason", nullptr,
         [](Bytes& f) { SetU32(f, f.size() + static_cast<int32_t>(archive_format::LoadU32(&f[TrailerAt(f) + 8])) + 4,
                               0xFFFFFFF0); },
         Open::Unusable, "raw", Read::Any},
        {"directory before the start of the file", nullptr,
         [](Bytes& f) { SetU32(f, TrailerAt(f) + 8, static_cast<uint32_t>(-static_cast<int32_t>(f.size() + 100))); },
         Open::NoArchive, "raw", Read::Any},
        {"directory position positive", nullptr, [](Bytes& f) { SetU32(f, TrailerAt(f) + 8, 8); }, Open::NoArchive,
         "raw", Read::Any},
        {"directory inside the trailer", nullptr,
         [](Bytes& f) { SetU32(f, TrailerAt(f) + 8, static_cast<uint32_t>(-8)); }, Open::NoArchive, "raw", Read::Any},
        {"base before the start of the file", nullptr,
         [](Bytes& f) { SetU32(f, TrailerAt(f) + 4, archive_format::LoadU32(&f[TrailerAt(f) + 4]) + 1); },
         Open::NoArchive, "raw", Read::Any},
        {"body reaching into the directory", [](Fixture& x) { x.Find("lz").storedLength += 1; }, nullptr, Open::Ok,
         "lz", Read::NoneFailed},
        {"body offset beyond the file", [](Fixture& x) { x.Find("bs").offset = 0xFFFFFFF0; }, nullptr, Open::Ok, "bs",
         Read::NoneFailed},
        {"raw length above its stored length", [](Fixture& x) { x.Find("raw").length = 0xFFFFFFFF; }, nullptr,
         Open::Ok, "raw", Read::NoneFailed},
        {"checksum mismatch", [](Fixture& x) { x.Find("bs").checksum ^= 1; }, nullptr, Open::Ok, "bs",
         Read::ReturnedFailed},
        {"flipped bit in a raw body", [](Fixture& x) { x.data[3] ^= 0x10; }, nullptr, Open::Ok, "raw",
         Read::ReturnedFailed},
        {"flipped bit in a block-sorted body", [](Fixture& x) { x.data[x.Find("bs").offset + 40] ^= 0x08; }, nullptr,
         Open::Ok, "bs", Read::Damaged},
        {"flipped bit in an LZ body", [](Fixture& x) { x.data[x.Find("lz").offset + 30] ^= 0x04; }, nullptr, Open::Ok,
         "lz", Read::Damaged},
        {"block-sorted body cut short", [](Fixture& x) { x.Find("bs").storedLength -= 20; }, nullptr, Open::Ok, "bs",
         Read::Damaged},
        {"LZ body cut short", [](Fixture& x) { x.Find("lz").storedLength -= 20; }, nullptr, Open::Ok, "lz",
         Read::Damaged},
        {"compressed length larger than the content", [](Fixture& x) { x.Find("bs").length += 5000; }, nullptr,
         Open::Ok, "bs", Read::ReturnedFailed},
        {"codec flag swapped", [](Fixture& x) { x.Find("bs").flags = EntryCompressed; }, nullptr, Open::Ok, "bs",
         Read::Damaged},
        {"flipped bit in the directory stream", nullptr,
         [](Bytes& f) { f[TrailerAt(f) - 10] ^= 0x20; }, Open::Any, "raw", Read::Any},
    };
    vela::test::TempDir dir;
    std::string path = (dir / "damaged.pak").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        if (c.change)
            c.change(fixture);
        Bytes file = fixture.Build();
        if (c.patch)
            c.patch(file);
        Outcome o = OpenAndRead(file, c.entry, path);
        switch (c.open) {
        case Open::Ok:
            ASSERT_FALSE(o.fatalAtOpen);
            ASSERT_FALSE(o.openFailed);
            EXPECT_EQ(o.count, 3);
            break;
        case Open::NoArchive:
        case Open::Unusable:
            EXPECT_FALSE(o.fatalAtOpen);
            EXPECT_TRUE(o.openFailed);
            EXPECT_EQ(o.count, 0);
            EXPECT_FALSE(o.returned) << "no such disk file either";
            continue;
        case Open::Any:
            continue;
        }
        const Bytes& content = fixture.ContentOf(c.entry);
        switch (c.read) {
        case Read::Ok:
            EXPECT_FALSE(o.fatalAtRead);
            EXPECT_FALSE(o.readFailed);
            EXPECT_EQ(o.content, content);
            break;
        case Read::NoneFailed:
            EXPECT_FALSE(o.fatalAtRead);
            EXPECT_FALSE(o.returned);
            EXPECT_TRUE(o.readFailed);
            break;
        case Read::ReturnedFailed:
            EXPECT_FALSE(o.fatalAtRead);
            EXPECT_TRUE(o.returned);
            EXPECT_TRUE(o.readFailed);
            break;
        case Read::Damaged:
            // A fatal report of the decoder, or content that fails its checksum.
            EXPECT_TRUE(o.fatalAtRead || (o.returned && o.readFailed));
            break;
        case Read::Any:
            break;
        }
    }
}

// Only "no archive" or a fatal decoder report may come of a truncated file; a
// file with bytes cut from its middle may give anything but a crash.
TEST(ArchiveDamage, TruncationsAndCuts) {
    Fixture fixture;
    Bytes file = fixture.Build();
    vela::test::TempDir dir;
    std::string path = (dir / "cut.pak").string();
    // Every length near the end, where the trailer and directory are; every 7th before.
    for (size_t length = 0; length < file.size(); length += length + 200 < file.size() ? 7 : 1) {
        Bytes cut(file.begin(), file.begin() + length);
        Outcome o = OpenAndRead(cut, "raw", path);
        EXPECT_TRUE(o.openFailed) << "cut to " << length;
        EXPECT_EQ(o.count, 0);
    }
    // One byte taken out at every position, the trailer kept.
    size_t directoryStart = fixture.data.size();
    for (size_t at = 0; at + 16 < file.size(); at += at + 8 < directoryStart ? 5 : 1) {
        Bytes cut = file;
        cut.erase(cut.begin() + static_cast<std::ptrdiff_t>(at));
        Outcome o = OpenAndRead(cut, "bs", path);
        if (!o.fatalAtOpen && !o.openFailed && !o.fatalAtRead && o.returned && !o.readFailed) {
            EXPECT_EQ(o.content, fixture.text) << "a read reported good must be good, cut at " << at;
        }
    }
}

TEST(ArchiveDamage, UnusableDirectoryIsNotOverwritten) {
    Fixture fixture;
    fixture.magic = "xx50";
    Bytes file = fixture.Build();
    vela::test::TempDir dir;
    std::string path = (dir / "keep.pak").string();
    vela::test::WriteFileBytes(path, file.data(), file.size());
    {
        TPackageArchive archive(path.c_str(), true);
        EXPECT_TRUE(archive.Failed());
        EXPECT_FALSE(archive.Writable());
        EXPECT_EQ(Add(archive, "new", ToBytes("new")), nullptr);
        archive.Compact();
        EXPECT_TRUE(archive.Failed());
    }
    EXPECT_EQ(vela::test::ReadFileBytes(path), file);
}

}  // namespace
