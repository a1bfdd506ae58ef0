// Shell Link (.lnk) files in the documented binary layout, as the shell's link
// object saves them, for platforms that have no shell to do it.
//
// A file is written as:
//   header (76 bytes)  size 0x4C, the link class {00021401-0000-0000-C000-000000000046},
//                      link flags, the target's attributes, times and size, icon
//                      index 0, show command 1 (normal window), no hot key
//   link info          a local volume (fixed drive) and the target's full path
//   strings            description, working folder and arguments, each a 16-bit
//                      count and that many ANSI bytes, present when not empty
//   terminal block     four zero bytes
// The strings are kept in the ANSI code page (the link flags do not claim
// Unicode), so the installer's texts reach the file byte for byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/install_platform.h"

// What is known of the link's target when the link is written.
struct ShellLinkTargetInfo {
    uint32_t attributes = 0;  // Win32 file attributes; 0 when the target is missing
    uint64_t size = 0;
    uint64_t writeTime = 0;   // FILETIME: 100 ns units since 1601
    uint32_t volumeSerial = 0;
};

// Link flags.
enum : uint32_t {
    LinkHasTargetIdList = 0x1,
    LinkHasLinkInfo = 0x2,
    LinkHasName = 0x4,
    LinkHasRelativePath = 0x8,
    LinkHasWorkingDir = 0x10,
    LinkHasArguments = 0x20,
    LinkHasIconLocation = 0x40,
    LinkIsUnicode = 0x80,
};

// Builds the file's bytes. False when a text does not fit its 16-bit count.
bool BuildShellLink(const ShortcutLink& link, const ShellLinkTargetInfo& target, std::vector<uint8_t>& bytes);

// Reads back what BuildShellLink (or the shell) stores: the local base path of
// the link info, and the description, working folder and arguments strings
// (ANSI or UTF-16; UTF-16 units above 0x7F become '?'). False on a file that is
// not a well-formed shell link.
bool ParseShellLink(const std::vector<uint8_t>& bytes, ShortcutLink& link, uint32_t* flags = nullptr);
