// The writing side of TPackageArchive: adding entries, writing the directory and
// trailer, and compaction. Linked only into programs that build packages; it
// switches the writing operations on at start-up.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "archive/archive_format.h"
#include "archive/package_archive.h"
#include "compress/block_sort.h"
#include "compress/lz.h"
#include "platform/file_replace.h"

using namespace archive_format;

namespace {

// Writes to a C stream and remembers any failed write, even after a codec has
// cleared the stream's flags on its way out.
class CheckedFileOutput final : public ByteOutput {
public:
    explicit CheckedFileOutput(std::FILE* file) : file_(file) {}
    bool Write(const void* data, size_t size) override {
        if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
            error_ = true;
            writeFailed_ = true;
        }
        return !error_;
    }
    bool Flush() override {
        if (std::fflush(file_) != 0) {
            error_ = true;
            writeFailed_ = true;
        }
        return !error_;
    }
    bool WriteFailed() const { return writeFailed_ || std::ferror(file_) != 0; }

private:
    std::FILE* file_;
    bool writeFailed_ = false;
};

// Copies count bytes from position start of from to the current position of to,
// in pieces of the buffer's size. False on a short read or a failed write.
bool CopyRange(std::FILE* from, int64_t start, int64_t count, std::FILE* to, uint8_t* buffer) {
    if (!SeekFile(from, start))
        return false;
    while (count > 0) {
        size_t piece = static_cast<size_t>(std::min<int64_t>(count, kIoBufferSize));
        if (std::fread(buffer, 1, piece, from) != piece || std::fwrite(buffer, 1, piece, to) != piece)
            return false;
        count -= static_cast<int64_t>(piece);
    }
    return true;
}

struct WritingSwitch {
    WritingSwitch() { TPackageArchive::EnableWriting(); }
};
const WritingSwitch writingSwitch;

}  // namespace

void TPackageArchive::EnableWriting() {
    static const WriteOperations operations{&TPackageArchive::AddEntryNow, &TPackageArchive::FlushNow,
                                            &TPackageArchive::CompactNow};
    writeOperations_ = &operations;
}

TArchiveEntry* TPackageArchive::AddEntryNow(ByteInput& source, std::string_view name, uint32_t options) {
    if (name.size() > static_cast<size_t>(kMaxNameLength)) {
        Fail("an entry name of 32768 bytes or more cannot be stored");
        return nullptr;
    }
    if (!writable_ || file_ == nullptr || !directory_) {
        Fail("the archive is not open for writing");
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kIoBufferSize]);
    if (!buffer) {
        Fail("out of memory");
        return nullptr;
    }

    // 1. Length and checksum of the whole source.
    source.ClearFlags();
    if (!source.Seek(0)) {
        source.ClearFlags();
        Fail("the source cannot be read from its start");
        return nullptr;
    }
    uint32_t crc = kArchiveCrcStart;
    uint64_t length = 0;
    for (;;) {
        size_t n = source.Read(buffer.get(), kIoBufferSize);
        crc = ArchiveCrcUpdate(crc, buffer.get(), n);
        length += n;
        if (n < kIoBufferSize)
            break;
    }
    bool readFailed = source.Error();
    source.ClearFlags();
    if (readFailed) {
        Fail("the source cannot be read");
        return nullptr;
    }
    if (length > UINT32_MAX) {
        Fail("an entry of 4 GiB or more cannot be stored");
        return nullptr;
    }

    // 2. The body goes where the directory starts now.
    int64_t offset = dataEnd_ - base_;
    if (offset > static_cast<int64_t>(UINT32_MAX) || !SeekFile(file_, dataEnd_) || !source.Seek(0)) {
        source.ClearFlags();
        Fail(offset > static_cast<int64_t>(UINT32_MAX) ? "the archive's data area is full"
                                                        : "cannot position the archive or the source");
        return nullptr;
    }
    // From here on the old directory and trailer are being overwritten: the next
    // Flush must write a directory whatever happens.
    modified_ = true;

    // 3. Compressed or raw body.
    CheckedFileOutput output(file_);
    uint64_t copied = length;
    bool encoderFailed = false;
    auto copyRaw = [&]() {
        copied = 0;
        for (;;) {
            size_t n = source.Read(buffer.get(), kIoBufferSize);
            output.Write(buffer.get(), n);
            copied += n;
            if (n < kIoBufferSize)
                break;
        }
    };
    if ((options & AddCompress) != 0) {
        if ((options & AddBlockSort) != 0)
            blockSortCompress(source, output, progress_);
        else
            encoderFailed = lzCompress(source, output, progress_) < 0;
    } else {
        copyRaw();
    }
    source.ClearFlags();
    output.Flush();
    int64_t newEnd = TellFile(file_);
    if ((options & AddCompress) != 0 && (options & AddStoreIfLarger) != 0 && !output.WriteFailed() &&
        !encoderFailed && newEnd - dataEnd_ >= static_cast<int64_t>(length)) {
        // Compressing did not help: write the content raw over the compressed
        // body. Whatever of it lies beyond goes when the directory is written,
        // which cuts the file after the trailer.
        options &= ~(AddCompress | AddBlockSort);
        if (!SeekFile(file_, dataEnd_) || !source.Seek(0)) {
            source.ClearFlags();
            Fail("cannot position the archive or the source");
            return nullptr;
        }
        copyRaw();
        source.ClearFlags();
        output.Flush();
        newEnd = TellFile(file_);
    }
    if (output.WriteFailed() || encoderFailed || newEnd < dataEnd_) {
        std::clearerr(file_);
        Fail("writing the entry's body failed");
        return nullptr;
    }
    if (copied != length) {
        Fail("the source changed while it was being added");
        return nullptr;
    }
    int64_t storedLength = newEnd - dataEnd_;
    if (newEnd - base_ > static_cast<int64_t>(UINT32_MAX)) {
        Fail("the archive's data area is full");
        return nullptr;
    }

    // 4. and 5. The record; an existing one of that name is updated in place.
    dataEnd_ = newEnd;
    TArchiveEntry entry;
    entry.name.assign(name.data(), name.size());
    entry.offset = static_cast<uint32_t>(offset);
    entry.storedLength = static_cast<uint32_t>(storedLength);
    entry.length = static_cast<uint32_t>(length);
    entry.checksum = ArchiveCrcFinish(crc);
    entry.timeStamp = static_cast<uint32_t>(std::time(nullptr));
    entry.flags = ((options & AddCompress) != 0 ? EntryCompressed : 0) | ((options & AddMark) != 0 ? EntryMarked : 0) |
                  ((options & AddBlockSort) != 0 ? EntryBlockSorted : 0);
    directory_->Put(entry);
    Succeed();
    return FindEntry(name);
}

bool TPackageArchive::WriteDirectory(std::FILE* stream, int64_t directoryStart, const std::vector<uint32_t>* offsets) {
    // The record list, in directory order.
    std::vector<uint8_t> list;
    size_t index = 0;
    for (auto& [name, entry] : directory_->Entries()) {
        size_t at = list.size();
        list.resize(at + kRecordFixedSize + name.size());
        uint8_t* p = list.data() + at;
        StoreI16(p, static_cast<int16_t>(name.size()));
        if (!name.empty())
            std::memcpy(p + 2, name.data(), name.size());
        uint8_t* fields = p + 2 + name.size();
        StoreU32(fields, offsets != nullptr ? (*offsets)[index] : entry.offset);
        StoreU32(fields + 4, entry.storedLength);
        StoreU32(fields + 8, entry.length);
        StoreU32(fields + 12, entry.checksum);
        StoreU32(fields + 16, entry.timeStamp);
        StoreU32(fields + 20, entry.flags);
        index++;
    }
    MemoryInput listInput(list.data(), list.size());
    MemoryOutput stream5;
    blockSortCompress(listInput, stream5, nullptr);
    const std::vector<uint8_t>& compressed = stream5.Bytes();

    uint64_t directoryLength = kDirectoryHeaderSize + compressed.size();
    int64_t directoryOffset = directoryStart - base_;
    if (list.size() > UINT32_MAX || directoryLength + kTrailerSize > INT32_MAX || directoryOffset < 0 ||
        directoryOffset > static_cast<int64_t>(UINT32_MAX))
        return false;

    uint8_t header[kDirectoryHeaderSize];
    std::memcpy(header, kDirectoryMagic, sizeof kDirectoryMagic);
    StoreU32(header + 4, static_cast<uint32_t>(list.size()));
    StoreU32(header + 8, static_cast<uint32_t>(directory_->Size()));
    uint8_t trailer[kTrailerSize];
    BuildTrailer(trailer, static_cast<uint32_t>(directoryOffset), static_cast<uint32_t>(directoryLength));

    std::clearerr(stream);
    bool ok = SeekFile(stream, directoryStart) && std::fwrite(header, 1, sizeof header, stream) == sizeof header &&
              (compressed.empty() ||
               std::fwrite(compressed.data(), 1, compressed.size(), stream) == compressed.size()) &&
              std::fwrite(trailer, 1, sizeof trailer, stream) == sizeof trailer && std::fflush(stream) == 0;
    // The file ends right after the trailer.
    ok = ok && TruncateFile(stream, directoryStart + static_cast<int64_t>(directoryLength + kTrailerSize));
    if (!ok)
        std::clearerr(stream);
    return ok;
}

void TPackageArchive::FlushNow() {
    if (!writable_ || file_ == nullptr || !directory_) {
        Fail("the archive is not open for writing");
        return;
    }
    if (!WriteDirectory(file_, dataEnd_, nullptr)) {
        Fail("writing the directory failed");
        return;  // still modified: a later Flush tries again
    }
    modified_ = false;
}

void TPackageArchive::CompactNow() {
    if (!writable_ || file_ == nullptr || !directory_ || path_.empty()) {
        Fail("the archive is not open for writing");
        return;
    }
    Fail("compaction did not complete");
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kIoBufferSize]);
    if (!buffer) {
        Fail("out of memory");
        return;
    }
    for (auto& [name, entry] : directory_->Entries()) {
        if (!BodyInDataArea(entry)) {
            Fail("an entry's body lies outside the entry data area");
            return;
        }
    }

    // The compacted file is built beside the archive: the host prefix as it is,
    // the live bodies back to back in directory order, the directory, the trailer.
    FileReplacement replacement;
    if (!replacement.Begin(path_.c_str())) {
        Fail("cannot create the compacted file beside the archive");
        return;
    }
    std::FILE* out = replacement.File();
    std::clearerr(file_);
    if (!CopyRange(file_, 0, base_, out, buffer.get())) {
        std::clearerr(file_);
        Fail("copying the host prefix failed");
        return;
    }
    std::vector<uint32_t> newOffsets;
    newOffsets.reserve(directory_->Size());
    int64_t position = 0;  // from the base
    for (auto& [name, entry] : directory_->Entries()) {
        newOffsets.push_back(static_cast<uint32_t>(position));
        if (!CopyRange(file_, base_ + entry.offset, entry.storedLength, out, buffer.get())) {
            std::clearerr(file_);
            Fail("copying an entry's body failed");
            return;
        }
        position += entry.storedLength;
    }
    std::clearerr(file_);
    if (!WriteDirectory(out, base_ + position, &newOffsets)) {
        Fail("writing the compacted directory failed");
        return;
    }

    // A file cannot be replaced on Windows while it is open: let go of the
    // archive, replace it, and open the result (or the untouched original).
    std::fclose(file_);
    file_ = nullptr;
    bool committed = replacement.Commit();
    file_ = std::fopen(path_.c_str(), "r+b");
    if (file_ != nullptr)
        std::setvbuf(file_, ioBuffer_.get(), _IOFBF, kIoBufferSize);
    if (committed) {
        size_t index = 0;
        for (auto& [name, entry] : directory_->Entries())
            entry.offset = newOffsets[index++];
        dataEnd_ = base_ + position;
    }
    if (file_ == nullptr) {
        writable_ = false;
        Fail("cannot open the archive again after compaction");
        return;
    }
    if (!committed) {
        Fail("cannot replace the archive with its compacted copy");
        return;
    }
    Succeed();
}
