// Byte streams for the codecs and the package archive: small, with no iostreams,
// so that the installer stub stays small.
//
// ByteInput reads with one byte of put-back, seeks and tells; ByteOutput writes and
// flushes. Both keep sticky error and end flags, as C streams do, which the caller
// clears on request (the codecs clear them before they return, so that the
// archive can seek and read again after a damaged entry).
//
// Implementations: FileInput / FileOutput over a C FILE (binary mode; the file is
// not closed unless the stream was told to own it), MemoryInput over a caller's
// buffer, MemoryOutput into a growing buffer of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class ByteInput {
public:
    virtual ~ByteInput() = default;

    // Reads up to size bytes; fewer means the end was reached (Eof) or a read
    // failed (Error). Returns the number of bytes read.
    size_t Read(void* buffer, size_t size);
    // The next byte (0 .. 255), or -1 at the end or on an error.
    int GetByte() {
        if (pushedBack_ >= 0) {
            int c = pushedBack_;
            pushedBack_ = -1;
            return c;
        }
        unsigned char c;
        return ReadSome(&c, 1) == 1 ? c : -1;
    }
    // Puts one byte back in front of the stream; only one byte can wait there.
    // Returns false when a byte is already waiting.
    bool PutBack(uint8_t byte);
    // Moves to an absolute position; drops a put-back byte, keeps the flags.
    bool Seek(int64_t position);
    // The position of the next byte GetByte or Read will deliver, or -1.
    int64_t Tell();

    bool Eof() const { return eof_; }
    bool Error() const { return error_; }
    void ClearFlags() { eof_ = false; error_ = false; }

protected:
    // Reads up to size bytes at the current position, setting the flags when short.
    virtual size_t ReadSome(void* buffer, size_t size) = 0;
    virtual bool SeekTo(int64_t position) = 0;
    virtual int64_t Position() = 0;

    bool eof_ = false;
    bool error_ = false;

private:
    int pushedBack_ = -1;
};

class ByteOutput {
public:
    virtual ~ByteOutput() = default;
    // Writes size bytes; returns false (and sets Error) when not all were written.
    virtual bool Write(const void* data, size_t size) = 0;
    bool PutByte(uint8_t byte) { return Write(&byte, 1); }
    virtual bool Flush() = 0;
    bool Error() const { return error_; }
    void ClearFlags() { error_ = false; }

protected:
    bool error_ = false;
};

class MemoryInput final : public ByteInput {
public:
    MemoryInput(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

protected:
    size_t ReadSome(void* buffer, size_t size) override;
    bool SeekTo(int64_t position) override;
    int64_t Position() override { return static_cast<int64_t>(position_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

class MemoryOutput final : public ByteOutput {
public:
    bool Write(const void* data, size_t size) override;
    bool Flush() override { return !error_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

class FileInput final : public ByteInput {
public:
    explicit FileInput(std::FILE* file, bool owns = false) : file_(file), owns_(owns) {}
    ~FileInput() override;
    // Opens path for binary reading; IsOpen tells whether it worked.
    explicit FileInput(const char* path);
    bool IsOpen() const { return file_ != nullptr; }
    std::FILE* File() const { return file_; }

protected:
    size_t ReadSome(void* buffer, size_t size) override;
    bool SeekTo(int64_t position) override;
    int64_t Position() override;

private:
    std::FILE* file_;
    bool owns_;
};

class FileOutput final : public ByteOutput {
public:
    explicit FileOutput(std::FILE* file, bool owns = false) : file_(file), owns_(owns) {}
    ~FileOutput() override;
    bool IsOpen() const { return file_ != nullptr; }
    bool Write(const void* data, size_t size) override;
    bool Flush() override;
    std::FILE* File() const { return file_; }

private:
    std::FILE* file_;
    bool owns_;
};

// 64-bit seek and tell on a C stream, on every platform.
bool SeekFile(std::FILE* file, int64_t position, int whence = SEEK_SET);
int64_t TellFile(std::FILE* file);
