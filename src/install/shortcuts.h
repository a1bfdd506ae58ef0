// Shell shortcuts of an installation: the one operation that writes them and
// the three kinds the worker makes.
//
//   kind           target  working folder  shortcut base                 description  arguments
//   program group  file    installPath     programGroup + shortcutName   shortcutName file's
//   desktop        E       installPath     desktop + "\" + shortcutName  "\" + name   main's
//   start-up       E       installPath     start-up + "\" + shortcutName "\" + name   main's
//
// with E the main executable's full path. The desktop and start-up shortcuts
// carry a description starting with a backslash, because the same text serves as
// the file-name part of their base.
#pragma once
#include <cstdint>
#include <string>

#include "app/setup_script.h"
#include "platform/install_platform.h"

// The longest shortcut file path (with ".lnk") the shell's save operation
// accepts: 259 characters and the terminator.
constexpr size_t MaxShortcutPath = 259;

// Saves the shortcut shortcutBase + ".lnk". Returns ShortcutOk or the failing
// result; a path longer than MaxShortcutPath is refused with ShortcutPathTooLong
// rather than saved under a cut-off name.
int32_t CreateShortcut(InstallPlatform& platform, const std::string& target, const std::string& workingFolder,
                       const std::string& shortcutBase, const std::string& description,
                       const std::string& arguments);

// A shortcut to be made: its base (path without ".lnk") and contents.
struct ShortcutPlan {
    std::string base;
    ShortcutLink link;
    std::string FilePath() const { return base + ".lnk"; }
};

// The program-group shortcut of a file installed at fullPath; programGroup is the
// group folder's full path ending in a backslash.
ShortcutPlan GroupShortcut(const FileRecord& file, const std::string& fullPath, const std::string& installPath,
                           const std::string& programGroup);
// The desktop or start-up shortcut to the main executable (record main, full path
// mainPath) in folder, given without a trailing backslash.
ShortcutPlan MainShortcut(const FileRecord& main, const std::string& mainPath, const std::string& installPath,
                          const std::string& folder);

int32_t CreateShortcut(InstallPlatform& platform, const ShortcutPlan& plan);
