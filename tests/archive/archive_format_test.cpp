// The archive checksum and the trailer layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/archive_format.h"

namespace {

TEST(ArchiveCrc, TableIsFilledOnePositionOff) {
    EXPECT_EQ(ArchiveCrcTableEntry(0), 0x77073096u);
    EXPECT_EQ(ArchiveCrcTableEntry(254), 0x2D02EF8Du);
    EXPECT_EQ(ArchiveCrcTableEntry(255), 0x00000001u);
}

TEST(ArchiveCrc, StatedValues) {
    struct Case {
        std::string input;
        uint32_t crc;
    } cases[] = {
        {"", 0x00000000u},
        {std::string(1, '\0'), 0xFF000001u},
        {"abc", 0x5AFA2A22u},
        {"123456789", 0x3E543DF2u},  // the usual CRC-32 would be 0xCBF43926
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.size());
        EXPECT_EQ(archiveCrc(c.input.data(), c.input.size()), c.crc);
    }
}

TEST(ArchiveCrc, PiecewiseEqualsWhole) {
    std::string text = "The quick brown fox jumps over the lazy dog, twice: the quick brown fox.";
    uint32_t whole = archiveCrc(text.data(), text.size());
    for (size_t cut : {size_t{0}, size_t{1}, size_t{17}, text.size()}) {
        uint32_t crc = ArchiveCrcUpdate(kArchiveCrcStart, text.data(), cut);
        crc = ArchiveCrcUpdate(crc, text.data() + cut, text.size() - cut);
        EXPECT_EQ(ArchiveCrcFinish(crc), whole) << "cut at " << cut;
    }
}

TEST(ArchiveTrailer, ExampleTrailerIsReadAsDescribed) {
    const uint8_t bytes[16] = {0x73, 0x52, 0x42, 0x56, 0x2F, 0xAA, 0x10, 0x00,
                               0x5F, 0xFC, 0xFF, 0xFF, 0x05, 0x03, 0x00, 0x00};
    archive_format::Trailer t = archive_format::ParseTrailer(bytes);
    EXPECT_TRUE(t.magicOk);
    EXPECT_EQ(t.directoryOffset, 1092143u);
    EXPECT_EQ(t.directoryFromEnd, -929);
    EXPECT_EQ(t.Version(), 5u);
    EXPECT_EQ(t.formatFlags, 0x305u);

    // The writer produces the same bytes for a 913-byte directory.
    uint8_t built[16];
    archive_format::BuildTrailer(built, 1092143, 913);
    EXPECT_EQ(0, std::memcmp(built, bytes, 16));
}

}  // namespace
