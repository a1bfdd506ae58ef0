// The setup script "Vela.ini": one product's texts, registry key, default
// folders, the files to install, the file types to register and the options
// the setup dialog offers.
//
// ReadSetupScript turns the script text into a SetupScript value; the installer
// copies it into the shared setup state (app/setup_state.h), the packaging tool
// checks and shows it. Missing keys take their defaults and nothing is reported;
// CheckSetupScript lists what would go wrong at installation time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TIniFile;

// Option bits of "Advanced options" and "Advanced options def".
enum SetupOption : int32_t {
    OptionDesktopShortcut = 1,
    OptionStartupShortcut = 2,
    OptionRunProgram = 4,
    OptionOpenReadme = 8,
};

// One file section ("0", "1", ...). The last one describes the uninstaller.
struct FileRecord {
    std::string targetFolder;  // empty until the installation sets it (ends in "\")
    std::string name;          // "Name": the package entry holding the content
    std::string createName;    // "Create name": path below the target folder
    std::string shortcutName;  // "Shortcut name": program-group shortcut, without ".lnk"
    std::string arguments;     // "Arguments" stored in every shortcut to the file
    int32_t toWindowsFolder = 0;
    int32_t toSystemFolder = 0;
    int32_t canUninstall = 0;
};

// One file type ("File type <i>.<field>" keys of section "General").
struct FileTypeRecord {
    std::string description;
    std::string name;  // class key below SOFTWARE\Classes
    std::string openCommand;
    int32_t openCommandFile = 0;  // negative: the command alone; else the main executable goes first
    std::string extensions;       // separated by single spaces, each with its full stop
    int32_t icon = 0;             // packed: low 16 bits file number from 1, high 16 bits icon index
};

// The file record number (counted from 1, 0 = no icon) and the icon index
// packed into a file type's "Icon" value.
inline int32_t IconFileNumber(int32_t icon) { return icon & 0xFFFF; }
inline int32_t IconIndex(int32_t icon) { return static_cast<int16_t>(static_cast<uint32_t>(icon) >> 16); }

struct SetupScript {
    std::string title = "Tavro Ltd";  // "Title": the dialog's caption
    std::string productName;          // "Product name"
    std::string noticeText;           // "Copyright"
    std::string registryKey;          // "Registry key", below HKEY_LOCAL_MACHINE
    std::string defaultFolder;        // "Default folder"
    std::string defaultProgramFolder; // "Default program folder"
    int32_t mainExecutable = 0;
    int32_t readme = 0;
    int32_t runWithInstall = 0;
    int32_t runWithUninstall = 0;
    int32_t advancedOptions = 0;
    int32_t advancedOptionsDefault = 0;
    int32_t numberOfFileTypes = 0;  // as written; records are made for 0 .. count - 1
    int32_t numberOfFiles = 0;
    std::vector<FileRecord> files;
    std::vector<FileTypeRecord> fileTypes;
};

// More records than any package can hold: a larger count in a script is refused
// by CheckSetupScript and reading stops there, instead of creating billions of
// default records.
constexpr int32_t MaxScriptRecords = 65535;

// Reads the script from a parsed ini text.
void ReadSetupScript(TIniFile& ini, SetupScript& script);
// Parses text (which ends at length or an earlier NUL) and reads the script.
SetupScript ReadSetupScriptText(const char* text, size_t length);

// What is wrong with a script. Errors make the installer refuse the script before
// anything is written; warnings name what will be skipped or looks unintended.
struct ScriptProblem {
    enum Severity { Warning, Error };
    Severity severity;
    std::string where;    // the section and key, e.g. "[General] Main executable"
    std::string message;  // one sentence, no trailing full stop
};

std::vector<ScriptProblem> CheckSetupScript(const SetupScript& script);
bool HasErrors(const std::vector<ScriptProblem>& problems);
