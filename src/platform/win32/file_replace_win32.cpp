// File replacement on Windows: CreateFileA with CREATE_NEW under a random name in
// the target's folder, FlushFileBuffers, then MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
#define _CRT_RAND_S
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>

#include "platform/file_replace.h"

namespace {

std::string FolderPrefixOf(const std::string& path) {
    size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string NameOf(const std::string& path) {
    size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool RandomWord(unsigned int* value) {
    return rand_s(value) == 0;
}

}  // namespace

bool FileReplacement::Begin(const char* targetPath) {
    Abandon();
    if (targetPath == nullptr || *targetPath == '\0')
        return false;
    std::string target(targetPath);
    for (int attempt = 0; attempt < 16; attempt++) {
        unsigned int high = 0, low = 0;
        if (!RandomWord(&high) || !RandomWord(&low))
            return false;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".new-%08x%08x", high, low);
        std::string name = FolderPrefixOf(target) + "~" + NameOf(target) + suffix;
        // Shared for reading and writing: the packaging tool reopens the new file
        // by its name (as a package archive) while it is being built.
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;  // a name already taken: draw another
            return false;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileA(name.c_str());
            return false;
        }
        file_ = _fdopen(fd, "w+b");
        if (file_ == nullptr) {
            _close(fd);
            DeleteFileA(name.c_str());
            return false;
        }
        targetPath_ = target;
        temporaryPath_ = name;
        return true;
    }
    return false;
}

bool FileReplacement::Commit() {
    if (file_ == nullptr)
        return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) &&
              FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)))) != 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (ok && MoveFileExA(temporaryPath_.c_str(), targetPath_.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        temporaryPath_.clear();
        return true;
    }
    Abandon();
    return false;
}

void FileReplacement::Abandon() {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    if (!temporaryPath_.empty())
        DeleteFileA(temporaryPath_.c_str());
    temporaryPath_.clear();
}

bool TruncateFile(std::FILE* file, int64_t length) {
    if (file == nullptr || length < 0 || std::fflush(file) != 0)
        return false;
    return _chsize_s(_fileno(file), length) == 0;
}
