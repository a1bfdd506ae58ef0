// Helpers for the archive tests: archives built byte by byte (every directory
// form, damaged ones included) and small conveniences around TPackageArchive.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/package_archive.h"
#include "compress/block_sort.h"
#include "foundation/byte_stream.h"

namespace archive_test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline void PutU32(Bytes& out, uint32_t value) {
    uint8_t b[4];
    archive_format::StoreU32(b, value);
    out.insert(out.end(), b, b + 4);
}

inline Bytes BlockSortCompressed(const Bytes& content) {
    MemoryInput input(content.data(), content.size());
    MemoryOutput output;
    blockSortCompress(input, output, nullptr);
    return output.Take();
}

// One directory record as the tests write it.
struct Record {
    std::string name;
    uint32_t offset = 0;
    uint32_t storedLength = 0;
    uint32_t length = 0;
    uint32_t checksum = 0;
    uint32_t timeStamp = 0;
    uint32_t flags = 0;
    int nameLengthField = -1;  // written instead of the name's length when >= 0 (damage tests)
};

// A raw record for content placed at offset.
inline Record RawRecord(const std::string& name, uint32_t offset, const Bytes& content) {
    Record r;
    r.name = name;
    r.offset = offset;
    r.storedLength = r.length = static_cast<uint32_t>(content.size());
    r.checksum = archiveCrc(content.data(), content.size());
    r.timeStamp = 1000;
    return r;
}

inline Bytes Version5RecordList(const std::vector<Record>& records) {
    Bytes list;
    for (const Record& r : records) {
        int n = r.nameLengthField >= 0 ? r.nameLengthField : static_cast<int>(r.name.size());
        list.push_back(static_cast<uint8_t>(n));
        list.push_back(static_cast<uint8_t>(n >> 8));
        list.insert(list.end(), r.name.begin(), r.name.end());
        for (uint32_t v : {r.offset, r.storedLength, r.length, r.checksum, r.timeStamp, r.flags})
            PutU32(list, v);
    }
    return list;
}

inline void AppendTrailer(Bytes& file, uint32_t directoryOffset, uint32_t directoryLength, uint32_t flags) {
    uint8_t t[archive_format::kTrailerSize];
    archive_format::BuildTrailer(t, directoryOffset, directoryLength);
    archive_format::StoreU32(t + 12, flags);
    file.insert(file.end(), t, t + sizeof t);
}

// prefix + data + version-5 directory (records as given, count as given) + trailer.
inline Bytes Version5Archive(const Bytes& prefix, const Bytes& data, const std::vector<Record>& records,
                             uint32_t countField, const char* magic = "ix50") {
    Bytes file = prefix;
    file.insert(file.end(), data.begin(), data.end());
    Bytes list = Version5RecordList(records);
    Bytes directory(magic, magic + 4);
    PutU32(directory, static_cast<uint32_t>(list.size()));
    PutU32(directory, countField);
    Bytes stream = BlockSortCompressed(list);
    directory.insert(directory.end(), stream.begin(), stream.end());
    file.insert(file.end(), directory.begin(), directory.end());
    AppendTrailer(file, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(directory.size()),
                  archive_format::kWrittenFormatFlags);
    return file;
}

inline Bytes Version5Archive(const Bytes& data, const std::vector<Record>& records) {
    return Version5Archive({}, data, records, static_cast<uint32_t>(records.size()));
}

enum class OldForm { Short48, Long64, Compressed };

// data + a directory of versions 0 to 4 in the given form + trailer of that version.
inline Bytes OldArchive(const Bytes& data, const std::vector<Record>& records, OldForm form, uint32_t version) {
    const archive_format::OldRecordLayout layout =
        form == OldForm::Short48 ? archive_format::kShortRecord : archive_format::kLongRecord;
    Bytes list;
    for (const Record& r : records) {
        Bytes record(layout.size, 0);
        std::copy(r.name.begin(), r.name.end(), record.begin());
        uint8_t* fields = record.data() + layout.nameField;
        uint32_t values[] = {r.offset, r.storedLength, r.length, r.checksum, r.timeStamp, r.flags};
        for (int i = 0; i < 6; i++)
            archive_format::StoreU32(fields + 4 * i, values[i]);
        list.insert(list.end(), record.begin(), record.end());
    }
    Bytes directory;
    PutU32(directory, static_cast<uint32_t>(records.size()));
    if (form == OldForm::Compressed)
        list = BlockSortCompressed(list);
    directory.insert(directory.end(), list.begin(), list.end());
    uint32_t flags = version | (form == OldForm::Compressed ? archive_format::kFlagCompressedDirectory : 0) |
                     (form == OldForm::Long64 ? archive_format::kFlagLongRecords : 0);
    Bytes file = data;
    file.insert(file.end(), directory.begin(), directory.end());
    AppendTrailer(file, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(directory.size()), flags);
    return file;
}

// Adds content under name; fails the calling test when AddEntry refuses.
inline TArchiveEntry* Add(TPackageArchive& archive, const std::string& name, const Bytes& content,
                          uint32_t options = 0) {
    MemoryInput input(content.data(), content.size());
    return archive.AddEntry(input, name, options);
}

// Reads an entry into a vector (without its terminator); found tells whether a buffer came back.
struct ReadResult {
    bool found = false;
    Bytes content;
    bool terminated = false;
};
inline ReadResult Read(TPackageArchive& archive, const std::string& name, bool verify = true) {
    ReadResult result;
    uint32_t size = 0xDEADBEEF;
    std::unique_ptr<uint8_t[]> buffer = archive.ReadEntry(name, verify, &size);
    if (!buffer)
        return result;
    result.found = true;
    result.content.assign(buffer.get(), buffer.get() + size);
    result.terminated = buffer[size] == 0;
    return result;
}

// Names in iteration order.
inline std::vector<std::string> ListNames(TPackageArchive& archive) {
    std::vector<std::string> names;
    for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry())
        names.push_back(e->name);
    return names;
}

// Deterministic test content: compressible text or pseudo-random bytes.
inline Bytes TextContent(size_t size, uint32_t seed = 1) {
    static const char* words[] = {"setup ", "vela ", "archive ", "entry ", "\r\n", "install ", "logo "};
    Bytes out;
    uint32_t x = seed;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 7];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(size);
    return out;
}
inline Bytes RandomContent(size_t size, uint32_t seed = 7) {
    Bytes out(size);
    uint32_t x = seed;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

}  // namespace archive_test
