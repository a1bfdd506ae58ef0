// The reading side of TPackageArchive: opening, loading every directory form,
// lookup, iteration and reading entries. Links only the decoders.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

#include "archive/archive_format.h"
#include "archive/package_archive.h"
#include "compress/block_sort.h"
#include "compress/lz.h"

using namespace archive_format;

namespace {

// Largest uncompressed record list a directory may declare. Far above any real
// package (10,000 entries take well under 1 MiB); it keeps a damaged count or
// length from asking for gigabytes.
constexpr uint64_t kMaxRecordListBytes = 64u << 20;

void NoProgress() {}

// A window [start, end) of a file as a byte stream of its own: reads stop at the
// window's end as at the end of a file, so a damaged body or directory can never
// make a decoder read past its region. Positions count from the window's start.
class FileWindowInput final : public ByteInput {
public:
    FileWindowInput(std::FILE* file, int64_t start, int64_t end)
        : file_(file), start_(start), end_(end < start ? start : end), filePos_(start) {}

protected:
    size_t ReadSome(void* buffer, size_t size) override {
        auto* out = static_cast<uint8_t*>(buffer);
        size_t done = 0;
        while (done < size) {
            if (bufferPos_ == bufferFill_ && !Refill())
                break;
            size_t n = std::min(size - done, bufferFill_ - bufferPos_);
            std::memcpy(out + done, buffer_ + bufferPos_, n);
            bufferPos_ += n;
            done += n;
        }
        if (done < size && !error_)
            eof_ = true;
        return done;
    }

    bool SeekTo(int64_t position) override {
        if (position < 0 || position > end_ - start_)
            return false;
        filePos_ = start_ + position;
        bufferPos_ = bufferFill_ = 0;
        seekPending_ = true;
        return true;
    }

    int64_t Position() override {
        return filePos_ - start_ - static_cast<int64_t>(bufferFill_ - bufferPos_);
    }

private:
    bool Refill() {
        bufferPos_ = bufferFill_ = 0;
        int64_t left = end_ - filePos_;
        if (left <= 0)
            return false;
        if (seekPending_) {
            if (!SeekFile(file_, filePos_)) {
                error_ = true;
                return false;
            }
            seekPending_ = false;
        }
        size_t want = static_cast<size_t>(std::min<int64_t>(left, sizeof buffer_));
        size_t got = std::fread(buffer_, 1, want, file_);
        if (got < want) {
            if (std::ferror(file_))
                error_ = true;
            std::clearerr(file_);
        }
        filePos_ += static_cast<int64_t>(got);
        bufferFill_ = got;
        return got > 0;
    }

    std::FILE* file_;
    int64_t start_;
    int64_t end_;
    int64_t filePos_ = 0;
    bool seekPending_ = true;
    uint8_t buffer_[4096];
    size_t bufferPos_ = 0;
    size_t bufferFill_ = 0;
};

std::unique_ptr<uint8_t[]> Allocate(uint64_t size) {
    if (size == 0 || size > SIZE_MAX)
        return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

uint32_t Now() {
    return static_cast<uint32_t>(std::time(nullptr));
}

}  // namespace

// ---- directory -----------------------------------------------------------------

bool ArchiveNameLess::operator()(std::string_view a, std::string_view b) const {
    size_t common = std::min(a.size(), b.size());
    int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);  // memcmp compares unsigned bytes
    return c != 0 ? c < 0 : a.size() < b.size();
}

TArchiveEntry& TArchiveDirectory::Put(const TArchiveEntry& entry) {
    auto found = entries_.find(std::string_view(entry.name));
    if (found != entries_.end()) {
        found->second = entry;
        return found->second;
    }
    return entries_.emplace(entry.name, entry).first->second;
}

TArchiveEntry* TArchiveDirectory::Find(std::string_view name) {
    auto found = entries_.find(name);
    return found != entries_.end() ? &found->second : nullptr;
}

void TArchiveDirectory::Remove(std::string_view name) {
    auto found = entries_.find(name);
    if (found == entries_.end())
        return;
    if (found == cursor_)
        ++cursor_;
    entries_.erase(found);
}

TArchiveEntry* TArchiveDirectory::First() {
    cursor_ = entries_.begin();
    return Next();
}

TArchiveEntry* TArchiveDirectory::Next() {
    if (cursor_ == entries_.end())
        return nullptr;
    TArchiveEntry* entry = &cursor_->second;
    ++cursor_;
    return entry;
}

// ---- archive ---------------------------------------------------------------------

// Constant-initialised, so it is set before the writing library's start-up code runs.
constinit const TPackageArchive::WriteOperations* TPackageArchive::writeOperations_ = nullptr;

TPackageArchive::TPackageArchive() : progress_(NoProgress) {}

TPackageArchive::TPackageArchive(const char* archivePath, bool create) : progress_(NoProgress) {
    Open(archivePath, create);
}

TPackageArchive::~TPackageArchive() {
    Flush();
    Close();
}

void TPackageArchive::Close() {
    directory_.reset();
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    writable_ = false;
    path_.clear();
}

void TPackageArchive::Fail(const char* text) {
    failed_ = true;
    failureText_ = text;
}

void TPackageArchive::Succeed() {
    failed_ = false;
    failureText_ = "";
}

void TPackageArchive::Open(const char* archivePath, bool create) {
    // Changes not yet in the file are written before the file is let go.
    Flush();
    Close();
    progress_ = NoProgress;
    modified_ = false;
    base_ = dataEnd_ = 0;
    Fail("no archive is open");
    if (archivePath == nullptr || *archivePath == '\0') {
        Fail("no archive path given");
        return;
    }
    if (!ioBuffer_) {
        ioBuffer_.reset(new (std::nothrow) char[kIoBufferSize]);
        if (!ioBuffer_) {
            Fail("out of memory");
            return;
        }
    }
    file_ = std::fopen(archivePath, create ? "r+b" : "rb");
    if (file_ == nullptr && create) {
        // Created only when missing: an existing file that cannot be opened for
        // writing is never truncated.
        std::FILE* probe = std::fopen(archivePath, "rb");
        if (probe != nullptr)
            std::fclose(probe);
        else
            file_ = std::fopen(archivePath, "w+b");
    }
    if (file_ == nullptr) {
        Fail(create ? "cannot open or create the archive file" : "cannot open the archive file");
        return;
    }
    std::setvbuf(file_, ioBuffer_.get(), _IOFBF, kIoBufferSize);
    path_ = archivePath;
    Load(create);
}

void TPackageArchive::OpenStream(std::FILE* stream) {
    Flush();
    Close();
    progress_ = NoProgress;
    modified_ = false;
    base_ = dataEnd_ = 0;
    Fail("no archive is open");
    if (stream == nullptr)
        return;
    file_ = stream;
    Load(false);
}

void TPackageArchive::Load(bool create) {
    int64_t fileLength = -1;
    if (SeekFile(file_, 0, SEEK_END))
        fileLength = TellFile(file_);

    uint8_t trailerBytes[kTrailerSize];
    bool found = false;
    int64_t directoryStart = 0;
    int64_t base = 0;
    Trailer trailer{};
    if (fileLength >= static_cast<int64_t>(kTrailerSize) &&
        SeekFile(file_, fileLength - static_cast<int64_t>(kTrailerSize)) &&
        std::fread(trailerBytes, 1, kTrailerSize, file_) == kTrailerSize) {
        trailer = ParseTrailer(trailerBytes);
        found = trailer.magicOk && trailer.Version() <= kCurrentVersion;
        if (found) {
            // A trailer that puts the directory or the base outside the file
            // describes no archive this file can hold.
            directoryStart = fileLength + trailer.directoryFromEnd;
            base = directoryStart - static_cast<int64_t>(trailer.directoryOffset);
            found = directoryStart >= 0 && directoryStart <= fileLength - static_cast<int64_t>(kTrailerSize) &&
                    base >= 0;
        }
    }
    std::clearerr(file_);

    if (!found) {
        if (!create || fileLength < 0) {
            Fail(fileLength < 0 ? "cannot read the archive file" : "the file holds no archive");
            return;
        }
        // A new, empty archive behind whatever the file holds.
        base_ = dataEnd_ = fileLength;
        directory_.reset(new (std::nothrow) TArchiveDirectory);
        if (!directory_) {
            Fail("out of memory");
            return;
        }
        writable_ = true;
        Succeed();
        return;
    }

    dataEnd_ = directoryStart;
    base_ = base;
    std::unique_ptr<TArchiveDirectory> directory(new (std::nothrow) TArchiveDirectory);
    if (!directory) {
        Fail("out of memory");
        return;
    }
    int64_t directoryEnd = fileLength - static_cast<int64_t>(kTrailerSize);
    bool loaded = trailer.Version() == kCurrentVersion
                      ? LoadVersion5(directoryStart, directoryEnd, *directory)
                      : LoadOldVersion(directoryStart, directoryEnd, trailer.formatFlags, *directory);
    if (!loaded) {
        // An unusable directory: nothing can be read, and nothing is written
        // either, since a new directory would drop every existing entry.
        directory_.reset(new (std::nothrow) TArchiveDirectory);
        return;
    }
    directory_ = std::move(directory);
    writable_ = create;
    Succeed();
}

bool TPackageArchive::LoadVersion5(int64_t directoryStart, int64_t directoryEnd, TArchiveDirectory& directory) {
    FileWindowInput input(file_, directoryStart, directoryEnd);
    uint8_t header[kDirectoryHeaderSize];
    if (input.Read(header, sizeof header) != sizeof header) {
        Fail("the directory is cut short");
        return false;
    }
    if (std::memcmp(header, kDirectoryMagic, sizeof kDirectoryMagic) != 0) {
        Fail("the directory does not start with \"ix50\"");
        return false;
    }
    uint32_t listLength = LoadU32(header + 4);
    uint32_t count = LoadU32(header + 8);
    if (listLength > kMaxRecordListBytes) {
        Fail("the directory declares an implausibly long record list");
        return false;
    }
    if (count > listLength / kRecordFixedSize) {
        Fail("the directory's record list is shorter than its record count");
        return false;
    }
    // One spare byte so that an empty list still has a buffer.
    std::unique_ptr<uint8_t[]> list = Allocate(uint64_t{listLength} + 1);
    if (!list) {
        Fail("out of memory");
        return false;
    }
    size_t decoded = blockSortDecompress(input, list.get(), listLength, progress_);

    const uint8_t* p = list.get();
    size_t left = decoded;
    for (uint32_t i = 0; i < count; i++) {
        if (left < 2) {
            Fail("the directory's record list is shorter than its record count");
            return false;
        }
        int16_t nameLength = LoadI16(p);
        if (nameLength < 0) {
            Fail("the directory holds a negative name length");
            return false;
        }
        size_t recordSize = kRecordFixedSize + static_cast<size_t>(nameLength);
        if (left < recordSize) {
            Fail("the directory's record list is shorter than its record count");
            return false;
        }
        TArchiveEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(p + 2), static_cast<size_t>(nameLength));
        const uint8_t* fields = p + 2 + nameLength;
        entry.offset = LoadU32(fields);
        entry.storedLength = LoadU32(fields + 4);
        entry.length = LoadU32(fields + 8);
        entry.checksum = LoadU32(fields + 12);
        entry.timeStamp = LoadU32(fields + 16);
        entry.flags = LoadU32(fields + 20);
        directory.Put(entry);  // a repeated name: the later record wins
        p += recordSize;
        left -= recordSize;
    }
    return true;
}

bool TPackageArchive::LoadOldVersion(int64_t directoryStart, int64_t directoryEnd, uint32_t formatFlags,
                                     TArchiveDirectory& directory) {
    FileWindowInput input(file_, directoryStart, directoryEnd);
    uint8_t countBytes[4];
    if (input.Read(countBytes, sizeof countBytes) != sizeof countBytes) {
        Fail("the directory is cut short");
        return false;
    }
    uint32_t count = LoadU32(countBytes);
    bool compressed = (formatFlags & kFlagCompressedDirectory) != 0;
    OldRecordLayout layout = compressed || (formatFlags & kFlagLongRecords) != 0 ? kLongRecord : kShortRecord;
    uint64_t listLength = uint64_t{count} * layout.size;
    uint64_t available = static_cast<uint64_t>(directoryEnd - directoryStart - 4);
    if (listLength > kMaxRecordListBytes || (!compressed && listLength > available)) {
        Fail("the directory's record list is shorter than its record count");
        return false;
    }
    std::unique_ptr<uint8_t[]> list = Allocate(listLength + 1);
    if (!list) {
        Fail("out of memory");
        return false;
    }
    size_t got = compressed ? blockSortDecompress(input, list.get(), static_cast<size_t>(listLength), progress_)
                            : input.Read(list.get(), static_cast<size_t>(listLength));
    if (got < listLength) {
        Fail("the directory's record list is shorter than its record count");
        return false;
    }
    uint32_t now = Now();
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* record = list.get() + size_t{i} * layout.size;
        const auto* nameStart = reinterpret_cast<const char*>(record);
        const void* terminator = std::memchr(nameStart, 0, layout.nameField);
        size_t nameLength = terminator != nullptr ? static_cast<size_t>(static_cast<const char*>(terminator) - nameStart)
                                                  : layout.nameField;
        TArchiveEntry entry;
        entry.name.assign(nameStart, nameLength);
        const uint8_t* fields = record + layout.nameField;
        entry.offset = LoadU32(fields);
        entry.storedLength = LoadU32(fields + 4);
        entry.length = LoadU32(fields + 8);
        entry.checksum = LoadU32(fields + 12);
        entry.timeStamp = now;  // old directories' stamps are not kept
        entry.flags = LoadU32(fields + 20);
        directory.Put(entry);
    }
    return true;
}

int32_t TPackageArchive::Count() {
    if (!directory_)
        return 0;
    return static_cast<int32_t>(std::min<size_t>(directory_->Size(), INT32_MAX));
}

TArchiveEntry* TPackageArchive::FindEntry(std::string_view name) {
    return directory_ ? directory_->Find(name) : nullptr;
}

TArchiveEntry* TPackageArchive::FirstEntry() {
    return directory_ ? directory_->First() : nullptr;
}

TArchiveEntry* TPackageArchive::NextEntry() {
    return directory_ ? directory_->Next() : nullptr;
}

void TPackageArchive::RemoveEntry(std::string_view name) {
    if (directory_)
        directory_->Remove(name);
}

void TPackageArchive::SetProgress(ProgressCallback callback) {
    progress_ = callback != nullptr ? callback : NoProgress;
}

void TPackageArchive::SetMemo(const void* bytes, int32_t byteCount) {
    if (bytes == nullptr || byteCount <= 0)
        return;
    const auto* p = static_cast<const uint8_t*>(bytes);
    memo_.assign(p, p + byteCount);
}

bool TPackageArchive::BodyInDataArea(const TArchiveEntry& entry) const {
    int64_t end = base_ + int64_t{entry.offset} + int64_t{entry.storedLength};
    return end <= dataEnd_;
}

std::unique_ptr<uint8_t[]> TPackageArchive::ReadEntry(std::string_view name, bool verify, uint32_t* sizeOut) {
    TArchiveEntry* entry = FindEntry(name);
    if (entry == nullptr)
        return ReadDiskFile(name, sizeOut);

    if (file_ == nullptr) {
        Fail("the archive file is not open");
        return nullptr;
    }
    if (!BodyInDataArea(*entry)) {
        Fail("the entry's body lies outside the entry data area");
        return nullptr;
    }
    bool compressed = (entry->flags & EntryCompressed) != 0;
    if (!compressed && entry->length > entry->storedLength) {
        // A raw body holds its content as it is: this record cannot be right.
        Fail("the entry's raw body is shorter than its length");
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> buffer = Allocate(uint64_t{entry->length} + 1);
    if (!buffer) {
        Fail("out of memory");
        return nullptr;
    }
    if (sizeOut != nullptr)
        *sizeOut = entry->length;
    Succeed();

    int64_t bodyStart = base_ + entry->offset;
    FileWindowInput input(file_, bodyStart, bodyStart + entry->storedLength);
    size_t got;
    if (compressed) {
        got = (entry->flags & EntryBlockSorted) != 0 ? blockSortDecompress(input, buffer.get(), entry->length, progress_)
                                                     : lzDecompress(input, buffer.get(), entry->length, progress_);
    } else {
        got = input.Read(buffer.get(), entry->length);
        if (got < entry->length)
            Fail("the entry's body cannot be read");
    }
    // A short body leaves zero bytes up to the terminator (text stays parseable).
    if (got < entry->length)
        std::memset(buffer.get() + got, 0, entry->length - got);
    if (verify && archiveCrc(buffer.get(), entry->length) != entry->checksum)
        Fail("the entry's checksum does not match its content");
    buffer[entry->length] = 0;
    return buffer;
}

std::unique_ptr<uint8_t[]> TPackageArchive::ReadDiskFile(std::string_view name, uint32_t* sizeOut) {
    // A name with a NUL byte in it names no file.
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return nullptr;
    std::string path(name);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return nullptr;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    int64_t length = -1;
    if (SeekFile(file, 0, SEEK_END))
        length = TellFile(file);
    if (length < 0 || length > UINT32_MAX || !SeekFile(file, 0))
        return nullptr;
    std::unique_ptr<uint8_t[]> buffer = Allocate(static_cast<uint64_t>(length) + 1);
    if (!buffer)
        return nullptr;
    if (std::fread(buffer.get(), 1, static_cast<size_t>(length), file) != static_cast<size_t>(length))
        return nullptr;
    buffer[length] = 0;
    if (sizeOut != nullptr)
        *sizeOut = static_cast<uint32_t>(length);
    return buffer;
}

// ---- writing operations: switched on by the writing library -----------------------

TArchiveEntry* TPackageArchive::AddEntry(ByteInput& source, std::string_view name, uint32_t options) {
    if (writeOperations_ == nullptr) {
        Fail("this program cannot write archives");
        return nullptr;
    }
    return (this->*writeOperations_->addEntry)(source, name, options);
}

void TPackageArchive::Flush() {
    if (!modified_)
        return;
    if (writeOperations_ == nullptr) {
        Fail("this program cannot write archives");
        return;
    }
    (this->*writeOperations_->flush)();
}

void TPackageArchive::Compact() {
    if (writeOperations_ == nullptr) {
        Fail("this program cannot write archives");
        return;
    }
    (this->*writeOperations_->compact)();
}
