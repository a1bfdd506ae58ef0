// The few file-system calls of the host machine that the staging platform needs,
// on byte-string paths (POSIX calls on Linux, the ANSI Win32 calls on Windows),
// so that names reach the disk exactly as the installer's texts hold them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host_files {

enum class Kind { Missing, File, Folder };

// The host's separator between a folder and a name in it.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

Kind KindOf(const std::string& path);
// The names in a folder ("." and ".." left out); false when it cannot be read.
bool ListNames(const std::string& folder, std::vector<std::string>& names);
// Creates one folder; false when it exists or cannot be created.
bool MakeFolder(const std::string& path);
// Creates every missing folder along path.
bool MakeFolders(const std::string& path);
// Size and last-write time (seconds since 1970) of a file.
bool FileInfo(const std::string& path, uint64_t& size, int64_t& writeTime);
// Whole-file read; false when the file cannot be read.
bool ReadAll(const std::string& path, std::string& bytes);
// Creates or truncates path and writes size bytes; writes at most limit bytes
// and then fails, when limit is below size (how a full disk behaves).
bool WriteAll(const std::string& path, const void* data, size_t size, std::string& why,
              size_t limit = static_cast<size_t>(-1));
bool RemoveFile(const std::string& path);
// Replaces to with from.
bool Replace(const std::string& from, const std::string& to);

}  // namespace host_files
