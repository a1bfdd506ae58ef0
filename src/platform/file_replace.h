// Crash-safe replacement of a whole file.
//
// FileReplacement builds the new content of a file in a temporary file created
// beside it (same folder, so the final step is a rename within one file system),
// with an exclusive create and an unpredictable name. Commit flushes the new file
// to disk and only then puts it in the target's place in one atomic step, so that
// a crash, a full disk or a failed write leaves either the old file or the new
// one, never a mixture. Anything not committed (a failure, an early return) is
// removed when the object goes away.
//
// On Windows a file cannot be replaced while it is open: close every stream on
// the target before Commit.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { Abandon(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file beside targetPath, open for reading and writing
    // in binary mode. On POSIX systems it takes the target's permission bits when
    // the target exists. Returns false when no temporary file could be created.
    bool Begin(const char* targetPath);
    // The temporary file's stream (nullptr before Begin or after Commit/Abandon).
    std::FILE* File() const { return file_; }
    const std::string& TemporaryPath() const { return temporaryPath_; }
    // Flushes the temporary file to disk, closes it and replaces the target with
    // it atomically. On failure the temporary file is removed, the target is left
    // as it was, and false is returned.
    bool Commit();
    // Closes and removes the temporary file, if any.
    void Abandon();

private:
    std::FILE* file_ = nullptr;
    std::string targetPath_;
    std::string temporaryPath_;
};

// Cuts an open file to length bytes (after flushing its stream). Returns false on failure.
bool TruncateFile(std::FILE* file, int64_t length);
