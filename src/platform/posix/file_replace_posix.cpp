// File replacement on POSIX systems: mkstemp (O_EXCL, random name) in the
// target's folder, fsync, rename, and an fsync of the folder so that the rename
// itself is on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/file_replace.h"

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);  // best effort: some file systems refuse to sync folders
        close(fd);
    }
}

}  // namespace

bool FileReplacement::Begin(const char* targetPath) {
    Abandon();
    if (targetPath == nullptr || *targetPath == '\0')
        return false;
    std::string target(targetPath);
    std::string folder = FolderOf(target);
    std::string pattern = (folder == "/" ? "" : folder) + "/." + NameOf(target) + ".new-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    struct stat targetState;
    if (stat(targetPath, &targetState) == 0)
        fchmod(fd, targetState.st_mode & 07777);
    file_ = fdopen(fd, "w+b");
    if (file_ == nullptr) {
        close(fd);
        unlink(name.data());
        return false;
    }
    targetPath_ = target;
    temporaryPath_ = name.data();
    return true;
}

bool FileReplacement::Commit() {
    if (file_ == nullptr)
        return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (ok && std::rename(temporaryPath_.c_str(), targetPath_.c_str()) == 0) {
        SyncFolder(FolderOf(targetPath_));
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
        unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
}

bool TruncateFile(std::FILE* file, int64_t length) {
    if (file == nullptr || length < 0 || std::fflush(file) != 0)
        return false;
    return ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
}
