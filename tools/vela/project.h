// A publisher's project folder as the packaging tool sees it: the setup script
// "Vela.ini", the logo "logo.bmp", the language catalogues "*.clg" and the files
// the script names, with every text converted to the package's code page.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "app/setup_script.h"

namespace vela {

inline constexpr char kScriptName[] = "Vela.ini";
inline constexpr char kLogoName[] = "logo.bmp";
inline constexpr char kCatalogueSuffix[] = ".clg";
inline constexpr int kDefaultCodePage = 1252;

struct ProjectText {
    std::string entryName;  // package entry name (code-page bytes)
    std::filesystem::path source;
    std::string bytes;      // content as it goes into the package
};

struct ProjectFile {
    std::string entryName;  // "Name" of the file section(s), code-page bytes
    std::filesystem::path source;  // where it is on disk; empty when missing
    std::vector<int> sections;     // the file sections that name it
};

struct Project {
    std::filesystem::path dir;          // empty when only a script was given
    ProjectText script;
    bool hasScript = false;
    SetupScript setup;
    std::vector<ProjectText> catalogues;  // sorted by entry name
    std::filesystem::path logo;           // empty when missing
    std::vector<ProjectFile> files;       // unique entry names, in script order
};

// Loads a project folder, or a lone script file (then the folder checks are
// skipped). Problems found while loading (missing files, encodings, names that
// climb out of the folder) are appended; the script's own problems are added by
// CheckProject.
bool LoadProject(const std::filesystem::path& dirOrScript, int codePage, Project& project,
                 std::vector<ScriptProblem>& problems);

// Everything `vela check` reports: the script's own problems plus those that
// need the folder (entries without a file, missing logo, catalogues).
void CheckProject(const Project& project, int codePage, std::vector<ScriptProblem>& problems);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Resolves an entry name as a path below dir ("\" and "/" both separate). Empty
// when the name is absolute or climbs out of dir with "..".
std::filesystem::path ResolveBelow(const std::filesystem::path& dir, const std::string& name);

}  // namespace vela
