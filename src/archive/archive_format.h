// The package archive's file layout, shared by the reader and the writer, and the
// entry checksum. Every multi-byte integer is little-endian; the helpers at the
// end of this file are the one place where that byte order is applied.
//
// A file that holds an archive, from its first byte to its last:
//
//   host prefix      any length, may be empty: bytes that are not part of the
//                    archive (the installer executable). It ends at the archive
//                    base; "offset" below always counts from the base.
//   entry data area  the bodies of all entries ever added, live or dead, back to
//                    back in the order they were added, with no headers or gaps.
//                    A body is the entry's bytes as they are, or one compressed
//                    stream (block-sorting or LZ).
//   directory        names and records of the entries (forms below).
//   trailer          always the last 16 bytes of the file:
//                      0  4  "sRBV"
//                      4  u32 directory offset from the base (= length of the
//                             entry data area, dead bodies included)
//                      8  i32 directory position from the end of the file,
//                             negative: -(directory length + 16)
//                     12  u32 format flags: bits 0-3 version; for versions 0-4
//                             bit 8 = compressed directory, bit 9 = 64-byte
//                             records (clear: 48-byte). Other bits ignored.
//
// The reader finds everything from the trailer:
//   directory start = file length + trailer[8];  base = directory start - trailer[4];
//   body of an entry = base + its offset.
// The writer always writes version 5 with flags 0x305 (bits 8 and 9 set, though the
// version-5 reader does not look at them).
//
// Version-5 directory:
//    0  "ix50"
//    4  u32 length of the uncompressed record list
//    8  u32 number of records
//   12  the record list as one block-sorting stream, up to the trailer
// Version-5 record (packed, 26 + n bytes), in directory order:
//    0  i16 name length n (a negative value makes the directory unusable)
//    2  n bytes of name, no terminator
//  2+n  u32 offset, u32 stored length, u32 length, u32 checksum,
//       u32 time stamp (seconds since 1970, not interpreted), u32 entry flags
//
// Directory of versions 0-4:
//    0  u32 record count c
//    4  c fixed-size records: compressed as one block-sorting stream of c x 64
//       bytes (flags bit 8), or plain records of 64 bytes (bit 9) or 48 bytes.
// Fixed-size record: a NUL-terminated name field (40 or 24 bytes), then offset,
// stored length, length, checksum, time stamp (replaced by the loading time),
// entry flags, each u32.
//
// Entry flags: bit 0 compressed body (clear: stored length = length), bit 1
// marker set by the packager (not interpreted), bit 2 block-sorting codec (clear:
// LZ), only meaningful with bit 0. Other bits are written as 0 and ignored.
//
// Directory order: names ascending byte by byte as unsigned values, a prefix
// before any longer name. Names are unique; a directory that repeats a name is
// loaded with the later record.
#pragma once
#include <cstddef>
#include <cstdint>

namespace archive_format {

constexpr size_t kTrailerSize = 16;
constexpr char kTrailerMagic[4] = {'s', 'R', 'B', 'V'};
constexpr char kDirectoryMagic[4] = {'i', 'x', '5', '0'};

constexpr uint32_t kVersionMask = 0x0F;
constexpr uint32_t kCurrentVersion = 5;
constexpr uint32_t kFlagCompressedDirectory = 0x100;  // versions 0-4
constexpr uint32_t kFlagLongRecords = 0x200;          // versions 0-4
constexpr uint32_t kWrittenFormatFlags = kCurrentVersion | kFlagCompressedDirectory | kFlagLongRecords;

constexpr size_t kDirectoryHeaderSize = 12;  // version 5: magic, list length, count
constexpr size_t kRecordFixedSize = 26;      // version 5: the record without its name
constexpr int32_t kMaxNameLength = 32767;    // the name length field is a signed 16-bit value

// Fixed-size records of versions 0-4.
struct OldRecordLayout {
    size_t size;       // record size
    size_t nameField;  // bytes of the NUL-terminated name field
};
constexpr OldRecordLayout kLongRecord{64, 40};
constexpr OldRecordLayout kShortRecord{48, 24};

// Copy and stream buffer size used by reading, adding and compaction.
constexpr size_t kIoBufferSize = 40000;

// Little-endian access; p must hold the bytes named.
inline uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t LoadI32(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32(p));
}
inline int16_t LoadI16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}
inline void StoreU32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}
inline void StoreI16(uint8_t* p, int16_t value) {
    auto v = static_cast<uint16_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The trailer's fields.
struct Trailer {
    bool magicOk;
    uint32_t directoryOffset;    // from the base
    int32_t directoryFromEnd;    // negative
    uint32_t formatFlags;
    uint32_t Version() const { return formatFlags & kVersionMask; }
};
inline Trailer ParseTrailer(const uint8_t* bytes) {
    Trailer t;
    t.magicOk = bytes[0] == kTrailerMagic[0] && bytes[1] == kTrailerMagic[1] && bytes[2] == kTrailerMagic[2] &&
                bytes[3] == kTrailerMagic[3];
    t.directoryOffset = LoadU32(bytes + 4);
    t.directoryFromEnd = LoadI32(bytes + 8);
    t.formatFlags = LoadU32(bytes + 12);
    return t;
}
// The trailer the writer puts after a directory of directoryLength bytes.
inline void BuildTrailer(uint8_t* bytes, uint32_t directoryOffset, uint32_t directoryLength) {
    for (int i = 0; i < 4; i++)
        bytes[i] = static_cast<uint8_t>(kTrailerMagic[i]);
    StoreU32(bytes + 4, directoryOffset);
    StoreU32(bytes + 8, static_cast<uint32_t>(-static_cast<int64_t>(directoryLength + kTrailerSize)));
    StoreU32(bytes + 12, kWrittenFormatFlags);
}

}  // namespace archive_format

// The archive checksum: a reflected CRC-32 (polynomial 0xEDB88320) whose table is
// filled one position off: entry n holds what the usual table holds for n + 1.
// Existing packages carry checksums made this way, so the usual CRC-32 does not
// match them. crc starts at 0xFFFFFFFF; per byte b:
//     crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
// and the checksum is crc ^ 0xFFFFFFFF.
uint32_t archiveCrc(const void* data, size_t dataLength);

// The same checksum computed in pieces: start with kArchiveCrcStart, feed every
// piece through ArchiveCrcUpdate, finish with ArchiveCrcFinish.
constexpr uint32_t kArchiveCrcStart = 0xFFFFFFFFu;
uint32_t ArchiveCrcUpdate(uint32_t crc, const void* data, size_t dataLength);
inline uint32_t ArchiveCrcFinish(uint32_t crc) {
    return crc ^ 0xFFFFFFFFu;
}
// The table entry n (0 .. 255), for tests and diagnostics.
uint32_t ArchiveCrcTableEntry(unsigned n);
