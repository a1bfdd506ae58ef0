#include "app/setup_script.h"

#include <cstdio>
#include <string_view>

#include "config/ini_file.h"

namespace {

const char kGeneral[] = "General";

std::string Text(TIniFile& ini, const char* section, const char* key) {
    return ini.GetString(section, key, "");
}

std::string Where(std::string_view section, std::string_view key) {
    std::string where = "[" + std::string(section) + "]";
    if (!key.empty())
        where += " " + std::string(key);
    return where;
}

bool IsAbsoluteOrClimbing(const std::string& path) {
    if (!path.empty() && (path[0] == '\\' || path[0] == '/'))
        return true;
    if (path.size() >= 2 && path[1] == ':')
        return true;
    // Any ".." piece between separators climbs out of the target folder.
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

void ReadSetupScript(TIniFile& ini, SetupScript& script) {
    script = SetupScript();
    script.title = ini.GetString(kGeneral, "Title", "Tavro Ltd");
    script.productName = Text(ini, kGeneral, "Product name");
    script.noticeText = Text(ini, kGeneral, "Copyright");
    script.registryKey = Text(ini, kGeneral, "Registry key");
    script.defaultFolder = Text(ini, kGeneral, "Default folder");
    script.defaultProgramFolder = Text(ini, kGeneral, "Default program folder");
    script.mainExecutable = ini.GetInt(kGeneral, "Main executable", 0);
    script.readme = ini.GetInt(kGeneral, "Readme", 0);
    script.runWithInstall = ini.GetInt(kGeneral, "Run with '/install'", 0);
    script.runWithUninstall = ini.GetInt(kGeneral, "Run with '/uninstall'", 0);
    script.advancedOptions = ini.GetInt(kGeneral, "Advanced options", 0);
    script.advancedOptionsDefault = ini.GetInt(kGeneral, "Advanced options def", 0);

    script.numberOfFileTypes = ini.GetInt(kGeneral, "Number of file types", 0);
    for (int32_t i = 0; i < script.numberOfFileTypes && i < MaxScriptRecords; i++) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "File type %d.", static_cast<int>(i));
        auto key = [&](const char* field) { return std::string(prefix) + field; };
        FileTypeRecord type;
        type.description = Text(ini, kGeneral, key("Description").c_str());
        type.name = Text(ini, kGeneral, key("Name").c_str());
        type.extensions = Text(ini, kGeneral, key("Extensions").c_str());
        type.icon = ini.GetInt(kGeneral, key("Icon").c_str(), 0);
        type.openCommand = Text(ini, kGeneral, key("Open command").c_str());
        type.openCommandFile = ini.GetInt(kGeneral, key("Open command file").c_str(), 0);
        script.fileTypes.push_back(std::move(type));
    }

    script.numberOfFiles = ini.GetInt(kGeneral, "Number of files", 0);
    for (int32_t i = 0; i < script.numberOfFiles && i < MaxScriptRecords; i++) {
        std::string section = std::to_string(i);
        FileRecord file;
        file.name = Text(ini, section.c_str(), "Name");
        file.createName = Text(ini, section.c_str(), "Create name");
        file.shortcutName = Text(ini, section.c_str(), "Shortcut name");
        file.arguments = Text(ini, section.c_str(), "Arguments");
        file.toWindowsFolder = ini.GetInt(section.c_str(), "To windows folder", 0);
        file.toSystemFolder = ini.GetInt(section.c_str(), "To system folder", 0);
        file.canUninstall = ini.GetInt(section.c_str(), "Can uninstall", 0);
        script.files.push_back(std::move(file));
    }
}

SetupScript ReadSetupScriptText(const char* text, size_t length) {
    TIniFile ini;
    ini.ParseBytes(text, length);
    SetupScript script;
    ReadSetupScript(ini, script);
    return script;
}

std::vector<ScriptProblem> CheckSetupScript(const SetupScript& s) {
    std::vector<ScriptProblem> problems;
    auto error = [&](std::string where, std::string message) {
        problems.push_back({ScriptProblem::Error, std::move(where), std::move(message)});
    };
    auto warning = [&](std::string where, std::string message) {
        problems.push_back({ScriptProblem::Warning, std::move(where), std::move(message)});
    };
    const int32_t fileCount = static_cast<int32_t>(s.files.size());

    if (s.numberOfFiles <= 0)
        error(Where(kGeneral, "Number of files"), "the script installs no files (\"Number of files\" is " +
                                                      std::to_string(s.numberOfFiles) + ")");
    if (s.numberOfFiles > MaxScriptRecords)
        error(Where(kGeneral, "Number of files"), "more than " + std::to_string(MaxScriptRecords) + " files");
    if (s.numberOfFileTypes > MaxScriptRecords)
        error(Where(kGeneral, "Number of file types"), "more than " + std::to_string(MaxScriptRecords) + " file types");
    if (fileCount > 0 && (s.mainExecutable < 0 || s.mainExecutable >= fileCount))
        error(Where(kGeneral, "Main executable"), "file " + std::to_string(s.mainExecutable) +
                                                      " is not in the file list (0 to " + std::to_string(fileCount - 1) + ")");
    if (s.registryKey.empty())
        error(Where(kGeneral, "Registry key"), "is empty: the product key would be the root of HKEY_LOCAL_MACHINE");
    if (fileCount > 0 && (s.readme < 0 || s.readme >= fileCount)) {
        std::string message = "file " + std::to_string(s.readme) + " is not in the file list";
        if (s.advancedOptions & OptionOpenReadme)
            error(Where(kGeneral, "Readme"), message + ", but the readme option is offered");
        else
            warning(Where(kGeneral, "Readme"), message);
    }
    if (s.productName.empty())
        warning(Where(kGeneral, "Product name"), "is empty: no uninstall registration can be written");

    for (size_t i = 0; i < s.files.size(); i++) {
        const FileRecord& f = s.files[i];
        std::string section = std::to_string(i);
        if (f.name.empty())
            error(Where(section, "Name"), "is empty: the file has no package entry");
        if (f.createName.empty())
            warning(Where(section, "Create name"), "is empty: the file would be written as its folder");
        else if (IsAbsoluteOrClimbing(f.createName))
            warning(Where(section, "Create name"), "\"" + f.createName + "\" is absolute or climbs out of its folder with \"..\"");
        if (f.shortcutName.find('\\') != std::string::npos)
            warning(Where(section, "Shortcut name"), "\"" + f.shortcutName +
                                                         "\" has a backslash: the subfolder is not created, so the shortcut will fail");
    }

    for (size_t i = 0; i < s.fileTypes.size(); i++) {
        const FileTypeRecord& t = s.fileTypes[i];
        std::string key = "File type " + std::to_string(i) + ".";
        if (t.name.empty())
            warning(Where(kGeneral, key + "Name"), "is empty: the file type is skipped");
        const std::string& ext = t.extensions;
        bool emptyPiece = ext.empty() || ext.front() == ' ' || ext.back() == ' ' || ext.find("  ") != std::string::npos;
        if (emptyPiece)
            warning(Where(kGeneral, key + "Extensions"), "\"" + ext + "\" has empty pieces, which are skipped");
        int32_t iconFile = IconFileNumber(t.icon);
        if (iconFile > fileCount)
            warning(Where(kGeneral, key + "Icon"), "file number " + std::to_string(iconFile) +
                                                       " (counted from 1) is past the file list: no icon");
    }
    return problems;
}

bool HasErrors(const std::vector<ScriptProblem>& problems) {
    for (const ScriptProblem& p : problems)
        if (p.severity == ScriptProblem::Error)
            return true;
    return false;
}
