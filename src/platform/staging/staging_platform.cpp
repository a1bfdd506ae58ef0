#include "platform/staging/staging_platform.h"

#include <cstring>
#include <vector>

#include "platform/staging/host_files.h"
#include "platform/staging/shell_link_file.h"

namespace {

using host_files::Kind;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters Windows does not allow in a file or folder name.
bool ValidName(const std::string& name) {
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::strchr("<>:\"|?*", c) != nullptr)
            return false;
    }
    return true;
}

// Whether Windows takes a name for a device (CON, NUL, COM1, ...) whatever its
// extension: opening it reaches the device, not a file in the folder.
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = LowerAscii(c);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == device)
            return true;
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string JoinHost(const std::string& folder, const std::string& name) {
    return folder + host_files::kSeparator + name;
}

// The existing name in folder that equals name without regard to ASCII case (an
// exact match first), or name itself.
std::string MatchName(const std::string& folder, const std::string& name) {
    std::vector<std::string> names;
    if (!host_files::ListNames(folder, names))
        return name;
    const std::string* match = nullptr;
    for (const std::string& existing : names) {
        if (existing == name)
            return name;
        if (match == nullptr && RegistryFile::SameName(existing, name))
            match = &existing;
    }
    return match != nullptr ? *match : name;
}

// Whether a key or value name can stand in a REGEDIT4 line: a line break would
// end the line and let the rest of the name pass for further keys or values, and
// a NUL would end the name where the registry's own calls read it.
bool FitsRegistryLine(const std::string& name) {
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// A volume serial number for the staged drive C, fixed so that links are reproducible.
constexpr uint32_t kVolumeSerial = 0x56454C41;

// FILETIME of a time in seconds since 1970.
uint64_t FileTimeOf(int64_t seconds) {
    return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

}  // namespace

StagingInstallPlatform::StagingInstallPlatform(std::string root, std::string user)
    : root_(std::move(root)), user_(std::move(user)) {
    while (root_.size() > 1 && IsSeparator(root_.back()))
        root_.pop_back();
    if (!host_files::MakeFolders(JoinHost(root_, "drive_c"))) {
        ready_ = false;
        problem_ = "cannot create the staging folder " + JoinHost(root_, "drive_c");
        return;
    }
    std::string text;
    if (host_files::KindOf(RegistryFilePath()) != Kind::Missing) {
        if (!host_files::ReadAll(RegistryFilePath(), text) || !registry_.Parse(text)) {
            ready_ = false;
            problem_ = RegistryFilePath() + " is not a REGEDIT4 file; the registry is left alone";
        }
    }
}

std::string StagingInstallPlatform::RegistryFilePath() const { return JoinHost(root_, "registry.reg"); }

void StagingInstallPlatform::FailOperation(int n, bool persistent) {
    failAt_ = n;
    failPersistent_ = persistent;
}

bool StagingInstallPlatform::Fault() {
    operations_++;
    if (failAt_ <= 0)
        return false;
    return operations_ == failAt_ || (failPersistent_ && operations_ > failAt_);
}

bool StagingInstallPlatform::HostPath(const std::string& windowsPath, std::string& hostPath) const {
    if (windowsPath.find('\0') != std::string::npos)
        return false;
    char drive = 'c';
    std::string rest = windowsPath;
    if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
        drive = LowerAscii(rest[0]);
        rest = rest.substr(2);
    } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
        return false;  // network and device paths are not part of the staged machine
    }
    // Names, with "." and ".." resolved; a relative path starts at the drive's root.
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            end++;
        std::string name = rest.substr(start, end - start);
        start = end + 1;
        if (name == ".")
            continue;
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.pop_back();
        if (name.empty())
            continue;
        if (!ValidName(name) || IsDeviceName(name))
            return false;
        names.push_back(name);
    }
    std::string host = JoinHost(root_, std::string("drive_") + drive);
    if (host_files::KindOf(host) != Kind::Folder)
        return false;
    for (const std::string& name : names)
        host = JoinHost(host, MatchName(host, name));
    hostPath = host;
    return true;
}

bool StagingInstallPlatform::CreateFolder(const std::string& path) {
    if (Fault())
        return false;
    std::string host;
    if (!HostPath(path, host))
        return false;
    // The drive's own folder counts as existing.
    return host_files::KindOf(host) == Kind::Missing && host_files::MakeFolder(host);
}

bool StagingInstallPlatform::StandardFolder(const std::string& windowsPath, std::string& path) {
    std::string host;
    if (!HostPath(windowsPath, host) || !host_files::MakeFolders(host))
        return false;
    path = windowsPath;
    return true;
}

bool StagingInstallPlatform::GetSpecialFolder(SpecialFolder folder, std::string& path) {
    if (Fault())
        return false;
    const std::string profile = "C:\\users\\" + user_;
    const std::string programs = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    switch (folder) {
    case SpecialFolder::Programs:
        return StandardFolder(programs, path);
    case SpecialFolder::Startup:
        return StandardFolder(programs + "\\Startup", path);
    case SpecialFolder::Desktop:
        return StandardFolder(profile + "\\Desktop", path);
    }
    return false;
}

bool StagingInstallPlatform::GetWindowsFolder(std::string& path) {
    return !Fault() && StandardFolder("C:\\windows", path);
}

bool StagingInstallPlatform::GetSystemFolder(std::string& path) {
    return !Fault() && StandardFolder("C:\\windows\\system32", path);
}

bool StagingInstallPlatform::WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& why) {
    const bool fault = Fault();
    std::string host;
    if (!HostPath(path, host)) {
        why = "not a valid path";
        return false;
    }
    if (host_files::KindOf(host) == Kind::Folder) {
        why = "a folder of that name exists";
        return false;
    }
    // A full disk: half of the bytes arrive, then the write fails.
    return host_files::WriteAll(host, data, size, why, fault ? size / 2 : static_cast<size_t>(-1));
}

bool StagingInstallPlatform::SetNormalAttributes(const std::string& path) {
    if (Fault())
        return false;
    std::string host;
    return HostPath(path, host) && host_files::KindOf(host) == Kind::File;
}

bool StagingInstallPlatform::InitShell() { return !Fault(); }

int32_t StagingInstallPlatform::SaveShortcut(const ShortcutLink& link, const std::string& linkPath) {
    if (Fault())
        return ShortcutFailed;
    std::string host;
    if (!HostPath(linkPath, host) || host_files::KindOf(host) == Kind::Folder)
        return ShortcutFailed;
    ShellLinkTargetInfo target;
    target.volumeSerial = kVolumeSerial;
    std::string targetHost;
    uint64_t size = 0;
    int64_t writeTime = 0;
    if (HostPath(link.target, targetHost) && host_files::FileInfo(targetHost, size, writeTime)) {
        bool folder = host_files::KindOf(targetHost) == Kind::Folder;
        target.attributes = folder ? 0x10 : 0x80;  // FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_NORMAL
        target.size = folder ? 0 : size;
        target.writeTime = FileTimeOf(writeTime);
    }
    std::vector<uint8_t> bytes;
    if (!BuildShellLink(link, target, bytes))
        return ShortcutFailed;
    // Written beside its place and moved there when complete, so that a failed
    // save leaves no file and keeps an existing link intact.
    std::string why;
    const std::string temporary = host + ".saving";
    if (!host_files::WriteAll(temporary, bytes.data(), bytes.size(), why)) {
        host_files::RemoveFile(temporary);
        return ShortcutFailed;
    }
    if (!host_files::Replace(temporary, host)) {
        host_files::RemoveFile(temporary);
        return ShortcutFailed;
    }
    return ShortcutOk;
}

RegistryHandle StagingInstallPlatform::OpenKey(const std::string& subKey) {
    if (Fault() || !ready_)
        return 0;
    // As in the registry: no leading backslash, no empty names inside the path,
    // no name longer than 255 bytes; a trailing backslash is allowed.
    std::string path = subKey;
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    if ((!subKey.empty() && subKey[0] == '\\') || !FitsRegistryLine(subKey))
        return 0;
    int key = -1;
    if (!path.empty()) {
        size_t start = 0;
        for (;;) {
            size_t end = path.find('\\', start);
            size_t length = (end == std::string::npos ? path.size() : end) - start;
            if (length == 0 || length > 255)
                return 0;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        std::string full = std::string(RegistryFile::kRoot) + "\\" + path;
        key = registry_.FindKey(full);
        if (key < 0) {
            RegistryFile saved = registry_;
            key = registry_.AddKey(full);
            if (!SaveRegistry()) {
                registry_ = saved;
                return 0;
            }
        }
    }
    RegistryHandle handle = nextHandle_++;
    openKeys_[handle] = key;
    return handle;
}

bool StagingInstallPlatform::SetString(RegistryHandle key, const std::string& name, const std::string& value) {
    if (Fault())
        return false;
    auto open = openKeys_.find(key);
    if (open == openKeys_.end() || open->second < 0)
        return false;  // no such handle, or the root key, which holds no values
    if (!FitsRegistryLine(name))
        return false;
    RegistryFile saved = registry_;
    registry_.SetString(open->second, name, value);
    if (!SaveRegistry()) {
        registry_ = saved;
        return false;
    }
    return true;
}

bool StagingInstallPlatform::CloseKey(RegistryHandle key) {
    if (Fault())
        return false;
    return openKeys_.erase(key) == 1;
}

bool StagingInstallPlatform::SaveRegistry() {
    const std::string text = registry_.Text();
    const std::string temporary = RegistryFilePath() + ".saving";
    std::string why;
    if (!host_files::WriteAll(temporary, text.data(), text.size(), why) ||
        !host_files::Replace(temporary, RegistryFilePath())) {
        host_files::RemoveFile(temporary);
        return false;
    }
    return true;
}
