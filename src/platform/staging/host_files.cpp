#include "platform/staging/host_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace host_files {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrorText() {
    int error = errno;
    return error != 0 ? std::strerror(error) : "unknown error";
}

}  // namespace

#ifdef _WIN32

// Host paths are ANSI texts; they reach the wide calls, with the "\\?\" prefix
// for absolute paths, so that a staging root deep in the host's folders is not
// held to 260 characters.
static std::wstring Wide(std::string path) {
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "\\\\?\\" + path;
    }
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

static std::string Narrow(const wchar_t* text) {
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

static std::FILE* OpenFile(const std::string& path, const wchar_t* mode) { return _wfopen(Wide(path).c_str(), mode); }

Kind KindOf(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Kind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder : Kind::File;
}

bool ListNames(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0)
            names.push_back(Narrow(data.cFileName));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

bool MakeFolder(const std::string& path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }

bool FileInfo(const std::string& path, uint64_t& size, int64_t& writeTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    uint64_t ticks = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    writeTime = static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
    return true;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool Replace(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

static std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

Kind KindOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return Kind::Missing;
    return S_ISDIR(info.st_mode) ? Kind::Folder : Kind::File;
}

bool ListNames(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    closedir(dir);
    return true;
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool FileInfo(const std::string& path, uint64_t& size, int64_t& writeTime) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return false;
    size = static_cast<uint64_t>(info.st_size);
    writeTime = static_cast<int64_t>(info.st_mtime);
    return true;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool Replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

#endif

#ifdef _WIN32
#define READ_MODE L"rb"
#define WRITE_MODE L"wb"
#else
#define READ_MODE "rb"
#define WRITE_MODE "wb"
#endif

bool MakeFolders(const std::string& path) {
    if (KindOf(path) == Kind::Folder)
        return true;
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] != '/' && path[i] != kSeparator)
            continue;
        std::string prefix = path.substr(0, i);
        if (KindOf(prefix) == Kind::Missing && !MakeFolder(prefix))
            return false;
    }
    return KindOf(path) == Kind::Folder || MakeFolder(path);
}

bool ReadAll(const std::string& path, std::string& bytes) {
    bytes.clear();
    FilePtr file(OpenFile(path, READ_MODE));
    if (!file)
        return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, got);
    return std::ferror(file.get()) == 0;
}

bool WriteAll(const std::string& path, const void* data, size_t size, std::string& why, size_t limit) {
    errno = 0;
    std::FILE* raw = OpenFile(path, WRITE_MODE);
    if (raw == nullptr) {
        why = "cannot open for writing: " + ErrorText();
        return false;
    }
    FilePtr file(raw);
    size_t wanted = size < limit ? size : limit;
    errno = 0;
    if (wanted > 0 && std::fwrite(data, 1, wanted, file.get()) != wanted) {
        why = "write failed: " + ErrorText();
        return false;
    }
    if (wanted < size) {
        why = "write failed: no space left on the disk";
        return false;
    }
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        why = "write failed: " + ErrorText();
        return false;
    }
    return true;
}

}  // namespace host_files
