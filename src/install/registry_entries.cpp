#include "install/registry_entries.h"

#include <cstdio>

#include "install/install_worker.h"

const char kUninstallKeyPrefix[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kClassesKeyPrefix[] = "SOFTWARE\\Classes\\";

RegistryHandle OpenRegistryKey(InstallPlatform& platform, const std::string& subKey) {
    return platform.OpenKey(subKey);
}

bool SetRegistryString(InstallPlatform& platform, RegistryHandle key, const std::string& name,
                       const std::string& text) {
    return key != 0 && platform.SetString(key, name, text);
}

std::vector<std::string> SplitExtensions(const std::string& extensions) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < extensions.size()) {
        size_t space = extensions.find(' ', start);
        size_t end = space == std::string::npos ? extensions.size() : space;
        if (end > start)
            pieces.push_back(extensions.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

RegistryHandle RegistryRecorder::Open(const std::string& key, InstallIssue::Area area) {
    RegistryHandle handle = OpenRegistryKey(platform_, key);
    if (handle == 0)
        result_.warnings.push_back({area, key, "the registry key cannot be created or opened"});
    return handle;
}

void RegistryRecorder::Close(RegistryHandle handle) {
    if (handle != 0)
        platform_.CloseKey(handle);
}

bool RegistryRecorder::Write(RegistryHandle handle, const std::string& key, const std::string& name,
                             const std::string& value, InstallIssue::Area area) {
    bool written = SetRegistryString(platform_, handle, name, value);
    result_.registry.push_back({key, name, value, written});
    if (!written)
        result_.warnings.push_back({area, key + ": " + (name.empty() ? std::string("(default)") : name),
                                    "the value could not be written"});
    return written;
}

bool RegistryRecorder::WriteOnce(const std::string& key, const std::string& name, const std::string& value,
                                 InstallIssue::Area area) {
    RegistryHandle handle = Open(key, area);
    bool written = Write(handle, key, name, value, area);
    Close(handle);
    return written;
}

namespace {

std::string Numbered(int32_t number, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "%d%s", static_cast<int>(number), suffix);
    return name;
}

}  // namespace

void RegisterFileType(RegistryRecorder& registry, const FileTypeRecord& type, const std::string& registryKey,
                      const std::string& mainPath, const std::vector<FileRecord>& files, int32_t& k,
                      InstallResult& result) {
    if (type.name.empty()) {
        // Its class key would be SOFTWARE\Classes itself.
        result.warnings.push_back({InstallIssue::FileType, type.description,
                                   "the file type has no name and is not registered"});
        return;
    }
    const std::string classKey = kClassesKeyPrefix + type.name;
    const std::string prefix = type.openCommandFile < 0 ? std::string() : QuotedCommandPath(mainPath) + " ";

    registry.WriteOnce(registryKey, Numbered(k++, ".regkey"), classKey, InstallIssue::FileType);
    registry.WriteOnce(classKey + "\\shell\\open\\command", "", prefix + type.openCommand, InstallIssue::FileType);

    const int32_t iconFile = IconFileNumber(type.icon);
    if (iconFile != 0) {
        if (iconFile > static_cast<int32_t>(files.size())) {
            result.warnings.push_back({InstallIssue::FileType, classKey + "\\DefaultIcon",
                                       "icon file number " + std::to_string(iconFile) +
                                           " is past the file list; the type gets no icon"});
        } else {
            const FileRecord& file = files[static_cast<size_t>(iconFile - 1)];
            char index[16];
            std::snprintf(index, sizeof index, ",%d", static_cast<int>(IconIndex(type.icon)));
            registry.WriteOnce(classKey + "\\DefaultIcon", "", file.targetFolder + file.createName + index,
                               InstallIssue::FileType);
        }
    }

    registry.WriteOnce(classKey, "", type.description, InstallIssue::FileType);

    for (const std::string& extension : SplitExtensions(type.extensions)) {
        const std::string extensionKey = kClassesKeyPrefix + extension;
        registry.WriteOnce(extensionKey, "", type.name, InstallIssue::FileType);
        registry.WriteOnce(registryKey, Numbered(k++, ".regkey"), extensionKey, InstallIssue::FileType);
    }
}
