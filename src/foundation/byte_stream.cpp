#include "foundation/byte_stream.h"

#include <cstring>

size_t ByteInput::Read(void* buffer, size_t size) {
    if (size == 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    if (pushedBack_ >= 0) {
        out[done++] = static_cast<unsigned char>(pushedBack_);
        pushedBack_ = -1;
    }
    if (done < size)
        done += ReadSome(out + done, size - done);
    return done;
}

bool ByteInput::PutBack(uint8_t byte) {
    if (pushedBack_ >= 0)
        return false;
    pushedBack_ = byte;
    eof_ = false;
    return true;
}

bool ByteInput::Seek(int64_t position) {
    pushedBack_ = -1;
    if (position < 0 || !SeekTo(position)) {
        error_ = true;
        return false;
    }
    eof_ = false;
    return true;
}

int64_t ByteInput::Tell() {
    int64_t position = Position();
    if (position < 0)
        return -1;
    return pushedBack_ >= 0 ? position - 1 : position;
}

size_t MemoryInput::ReadSome(void* buffer, size_t size) {
    size_t left = position_ < size_ ? size_ - position_ : 0;
    size_t n = size < left ? size : left;
    if (n > 0)
        std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    if (n < size)
        eof_ = true;
    return n;
}

bool MemoryInput::SeekTo(int64_t position) {
    if (static_cast<uint64_t>(position) > size_)
        return false;
    position_ = static_cast<size_t>(position);
    return true;
}

bool MemoryOutput::Write(const void* data, size_t size) {
    auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    return true;
}

bool SeekFile(std::FILE* file, int64_t position, int whence) {
#ifdef _WIN32
    return _fseeki64(file, position, whence) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), whence) == 0;
#endif
}

int64_t TellFile(std::FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return static_cast<int64_t>(ftello(file));
#endif
}

FileInput::FileInput(const char* path) : file_(std::fopen(path, "rb")), owns_(true) {}

FileInput::~FileInput() {
    if (owns_ && file_ != nullptr)
        std::fclose(file_);
}

size_t FileInput::ReadSome(void* buffer, size_t size) {
    if (file_ == nullptr) {
        error_ = true;
        return 0;
    }
    size_t n = std::fread(buffer, 1, size, file_);
    if (n < size) {
        if (std::ferror(file_))
            error_ = true;
        else
            eof_ = true;
        std::clearerr(file_);
    }
    return n;
}

bool FileInput::SeekTo(int64_t position) {
    return file_ != nullptr && SeekFile(file_, position);
}

int64_t FileInput::Position() {
    return file_ != nullptr ? TellFile(file_) : -1;
}

FileOutput::~FileOutput() {
    if (owns_ && file_ != nullptr)
        std::fclose(file_);
}

bool FileOutput::Write(const void* data, size_t size) {
    if (file_ == nullptr || std::fwrite(data, 1, size, file_) != size) {
        error_ = true;
        return false;
    }
    return true;
}

bool FileOutput::Flush() {
    if (file_ == nullptr || std::fflush(file_) != 0)
        error_ = true;
    return !error_;
}
