// TPackageArchive: a package archive file (layout in archive/archive_format.h).
// It opens a file, loads the directory, finds entries by name and hands out an
// entry's content as a new buffer; it also appends entries, writes the directory
// and trailer, and compacts the file.
//
// Reading and writing are linked separately. The reading side (library
// vela_archive_read) holds the whole class and depends only on the decoders; the
// installer links only that. The operations that need the encoders (AddEntry,
// Flush of a changed directory, Compact) live in the writing library
// (vela_archive_write), which switches them on when it is linked. In a program
// without it they refuse: `Failed()` becomes true and `FailureText()` says so.
//
// Failures are reported through `Failed()` and none results; `FailureText()` says
// what went wrong. A damaged compressed body or directory is a fatal report of
// the decoders (foundation/run_time_error.h); a program that must survive it
// installs FatalReportsThrow around the call.
//
// One instance is used by one thread at a time: reading moves the file position
// and the codecs keep their working state once per process.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/byte_stream.h"
#include "foundation/object.h"
#include "foundation/progress.h"

// Entry flags.
constexpr uint32_t EntryCompressed = 1;   // the body is a compressed stream
constexpr uint32_t EntryMarked = 2;       // set by the packager's caller; not interpreted
constexpr uint32_t EntryBlockSorted = 4;  // compressed with the block-sorting codec (clear: LZ)

// Options of AddEntry.
constexpr uint32_t AddCompress = 1;   // store compressed
constexpr uint32_t AddBlockSort = 2;  // with the block-sorting codec rather than LZ
constexpr uint32_t AddMark = 4;       // set EntryMarked
// With AddCompress: when the compressed body is not smaller than the content,
// store the content raw instead (in the same place; no dead bytes are left).
constexpr uint32_t AddStoreIfLarger = 8;

// One directory record. Pointers to records stay valid until the entry is
// removed or the archive destroyed; replacing an entry updates its record in place.
struct TArchiveEntry {
    std::string name;
    uint32_t offset = 0;        // body offset from the archive base
    uint32_t storedLength = 0;  // bytes the body occupies in the data area
    uint32_t length = 0;        // content length
    uint32_t checksum = 0;      // archiveCrc of the content
    uint32_t timeStamp = 0;     // seconds since 1970 at which the entry was added
    uint32_t flags = 0;
};

// Directory order: byte by byte, bytes as unsigned values, a prefix first.
struct ArchiveNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// Names to records, in directory order, with the iteration cursor of
// FirstEntry / NextEntry.
class TArchiveDirectory {
public:
    using Map = std::map<std::string, TArchiveEntry, ArchiveNameLess>;

    TArchiveDirectory() : cursor_(entries_.end()) {}
    // Puts the record under its name; an existing record of that name is updated in place.
    TArchiveEntry& Put(const TArchiveEntry& entry);
    TArchiveEntry* Find(std::string_view name);
    void Remove(std::string_view name);
    size_t Size() const { return entries_.size(); }
    TArchiveEntry* First();
    TArchiveEntry* Next();
    Map& Entries() { return entries_; }

private:
    Map entries_;
    Map::iterator cursor_;
};

class TPackageArchive : public TObject {
public:
    // A closed archive: Failed() is true until Open succeeds.
    TPackageArchive();
    // Builds the archive and opens archivePath (see Open).
    TPackageArchive(const char* archivePath, bool create);
    // Writes a changed directory (Flush), then closes the file.
    ~TPackageArchive() override;

    // create false: the file must exist and hold an archive; it is opened for
    // reading only. create true: the file is opened for reading and writing and
    // created when missing; an existing archive is kept, any other content becomes
    // the host prefix of a new, empty archive. Success is Failed() == false.
    // A trailer that places the directory or the base outside the file counts as
    // no archive. A directory that cannot be loaded leaves Failed() true with an
    // empty directory.
    virtual void Open(const char* archivePath, bool create);
    // Number of entries (0 without a directory).
    virtual int32_t Count();
    // The content of an entry followed by one zero byte, in a new buffer owned by
    // the caller, or none. sizeOut, when given, receives the content length.
    // verify tests the checksum; a mismatch sets Failed() but still returns the
    // buffer. A body that decodes to fewer bytes than its length is returned
    // zero-filled up to the terminator (the checksum test then fails); a raw body
    // the file cannot deliver in full is returned the same way with Failed() set.
    // A record whose body lies outside the entry data area, a raw record whose
    // length exceeds its stored length, or a length that cannot be allocated
    // gives none with Failed() set. A name that is not in the archive
    // (or no archive at all) is read from the disk file of that name, relative to
    // the current folder, without touching Failed(); none when there is no such file.
    virtual std::unique_ptr<uint8_t[]> ReadEntry(std::string_view name, bool verify, uint32_t* sizeOut = nullptr);
    // Appends the whole content of source (readable and seekable) as the entry
    // name and returns its record, or none (Failed() set): a name of 32768 bytes or
    // more, an archive not opened for writing, a source that cannot be read twice
    // alike, or a write that failed. A name that exists is replaced; its old body
    // stays in the file as dead bytes until Compact.
    virtual TArchiveEntry* AddEntry(ByteInput& source, std::string_view name, uint32_t options);
    // Drops the entry from the directory in memory. This alone does not mark the
    // directory changed: the removal reaches the file with the next directory
    // written (a Flush after an AddEntry, or Compact).
    virtual void RemoveEntry(std::string_view name);
    // Iteration in directory order; none at the end. NextEntry returns none until
    // FirstEntry has been called after Open. Removing the entry the cursor stands
    // on moves the cursor to its successor.
    virtual TArchiveEntry* FirstEntry();
    virtual TArchiveEntry* NextEntry();
    virtual TArchiveEntry* FindEntry(std::string_view name);
    // Writes the directory and trailer when the directory changed since the file
    // last agreed with it. A failed write sets Failed() and keeps the change pending.
    virtual void Flush();
    // Rewrites the file without dead bodies: the host prefix, the live bodies back
    // to back in directory order, the directory and the trailer. The new file is
    // built beside the original and replaces it only when complete and on disk, so
    // the archive survives a crash or a full disk. On failure Failed() stays true
    // and the original file is untouched.
    virtual void Compact();
    // Progress callback passed to the codecs; nullptr installs one that does nothing.
    virtual void SetProgress(ProgressCallback callback);
    // Keeps a copy of byteCount bytes in memory (never written to the file);
    // ignored when bytes is none or byteCount is not positive.
    virtual void SetMemo(const void* bytes, int32_t byteCount);

    // Opens an archive held in an already open binary stream, for reading only.
    // The archive takes the stream over and closes it.
    void OpenStream(std::FILE* stream);

    bool Failed() const { return failed_; }
    const char* FailureText() const { return failureText_; }
    bool Modified() const { return modified_; }
    // File offsets of the archive base and of the end of the entry data area.
    int64_t Base() const { return base_; }
    int64_t DataEnd() const { return dataEnd_; }
    bool Writable() const { return writable_; }
    const std::vector<uint8_t>& Memo() const { return memo_; }

    // Switches the writing operations on; the writing library calls it when it is
    // linked into a program.
    static void EnableWriting();

private:
    void Close();
    void Fail(const char* text);
    void Succeed();
    // Common part of Open and OpenStream once the stream is open.
    void Load(bool create);
    bool LoadVersion5(int64_t directoryStart, int64_t directoryEnd, TArchiveDirectory& directory);
    bool LoadOldVersion(int64_t directoryStart, int64_t directoryEnd, uint32_t formatFlags,
                        TArchiveDirectory& directory);
    std::unique_ptr<uint8_t[]> ReadDiskFile(std::string_view name, uint32_t* sizeOut);
    // True when the body of entry lies inside the entry data area.
    bool BodyInDataArea(const TArchiveEntry& entry) const;

    // Writing side, defined in package_archive_write.cpp.
    TArchiveEntry* AddEntryNow(ByteInput& source, std::string_view name, uint32_t options);
    void FlushNow();
    void CompactNow();
    // Writes the version-5 directory and the trailer at directoryStart and cuts the
    // file after them; offsets, when given, replace the records' offsets in order.
    bool WriteDirectory(std::FILE* stream, int64_t directoryStart, const std::vector<uint32_t>* offsets);

    struct WriteOperations {
        TArchiveEntry* (TPackageArchive::*addEntry)(ByteInput&, std::string_view, uint32_t);
        void (TPackageArchive::*flush)();
        void (TPackageArchive::*compact)();
    };
    static const WriteOperations* writeOperations_;

    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = true;
    bool modified_ = false;
    bool writable_ = false;
    int64_t base_ = 0;
    int64_t dataEnd_ = 0;
    std::unique_ptr<char[]> ioBuffer_;
    std::unique_ptr<TArchiveDirectory> directory_;
    ProgressCallback progress_;
    std::vector<uint8_t> memo_;
    const char* failureText_ = "";
};
