#include "platform/staging/shell_link_file.h"

#include <cstring>

namespace {

const uint8_t kShellLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr uint32_t kVolumeIdAndLocalBasePath = 1;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kShowNormal = 1;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put64(std::vector<uint8_t>& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Folder texts of a link use backslashes only, as the shell stores them.
std::string WithBackslashes(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

uint32_t Get16(const std::vector<uint8_t>& in, size_t at) { return in[at] | (uint32_t{in[at + 1]} << 8); }
uint32_t Get32(const std::vector<uint8_t>& in, size_t at) { return Get16(in, at) | (Get16(in, at + 2) << 16); }

}  // namespace

bool BuildShellLink(const ShortcutLink& link, const ShellLinkTargetInfo& target, std::vector<uint8_t>& bytes) {
    const std::string path = WithBackslashes(link.target);
    const std::string workingFolder = WithBackslashes(link.workingFolder);
    // A path with a NUL in it cannot be a NUL-terminated local base path.
    if (path.find('\0') != std::string::npos)
        return false;
    for (const std::string* text : {&link.description, &workingFolder, &link.arguments})
        if (text->size() > 0xFFFF)
            return false;

    uint32_t flags = LinkHasLinkInfo;
    if (!link.description.empty())
        flags |= LinkHasName;
    if (!workingFolder.empty())
        flags |= LinkHasWorkingDir;
    if (!link.arguments.empty())
        flags |= LinkHasArguments;

    bytes.clear();
    Put32(bytes, kHeaderSize);
    bytes.insert(bytes.end(), kShellLinkClassId, kShellLinkClassId + 16);
    Put32(bytes, flags);
    Put32(bytes, target.attributes);
    Put64(bytes, target.writeTime);  // creation
    Put64(bytes, target.writeTime);  // access
    Put64(bytes, target.writeTime);  // write
    Put32(bytes, target.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(target.size));
    Put32(bytes, 0);             // icon index
    Put32(bytes, kShowNormal);   // show command
    Put16(bytes, 0);             // hot key
    Put16(bytes, 0);             // reserved
    Put32(bytes, 0);
    Put32(bytes, 0);

    // Link info: header, volume id (fixed drive, empty label), local base path,
    // empty common path suffix.
    const uint32_t volumeIdSize = 0x10 + 1;
    const uint32_t volumeIdOffset = kLinkInfoHeaderSize;
    const uint32_t localBasePathOffset = volumeIdOffset + volumeIdSize;
    const uint32_t suffixOffset = localBasePathOffset + static_cast<uint32_t>(path.size()) + 1;
    const uint32_t linkInfoSize = suffixOffset + 1;
    Put32(bytes, linkInfoSize);
    Put32(bytes, kLinkInfoHeaderSize);
    Put32(bytes, kVolumeIdAndLocalBasePath);
    Put32(bytes, volumeIdOffset);
    Put32(bytes, localBasePathOffset);
    Put32(bytes, 0);  // no network location
    Put32(bytes, suffixOffset);
    Put32(bytes, volumeIdSize);
    Put32(bytes, kDriveFixed);
    Put32(bytes, target.volumeSerial);
    Put32(bytes, 0x10);  // volume label offset
    bytes.push_back(0);  // empty label
    PutText(bytes, path);
    bytes.push_back(0);
    bytes.push_back(0);  // empty common path suffix

    for (const std::string* text : {&link.description, &workingFolder, &link.arguments}) {
        if (text->empty())
            continue;
        Put16(bytes, static_cast<uint32_t>(text->size()));
        PutText(bytes, *text);
    }
    Put32(bytes, 0);  // terminal block
    return true;
}

bool ParseShellLink(const std::vector<uint8_t>& in, ShortcutLink& link, uint32_t* flagsOut) {
    link = ShortcutLink();
    if (in.size() < kHeaderSize || Get32(in, 0) != kHeaderSize || std::memcmp(&in[4], kShellLinkClassId, 16) != 0)
        return false;
    const uint32_t flags = Get32(in, 20);
    if (flagsOut != nullptr)
        *flagsOut = flags;
    size_t at = kHeaderSize;
    if ((flags & LinkHasTargetIdList) != 0) {
        if (at + 2 > in.size())
            return false;
        at += 2 + Get16(in, at);
    }
    if ((flags & LinkHasLinkInfo) != 0) {
        if (at + kLinkInfoHeaderSize > in.size())
            return false;
        const size_t size = Get32(in, at);
        if (size < kLinkInfoHeaderSize || size > in.size() - at)
            return false;
        if ((Get32(in, at + 8) & kVolumeIdAndLocalBasePath) != 0) {
            size_t offset = Get32(in, at + 16);
            if (offset >= size)
                return false;
            const size_t end = at + size;
            for (size_t p = at + offset; p < end && in[p] != 0; p++)
                link.target += static_cast<char>(in[p]);
        }
        at += size;
    }
    const bool unicode = (flags & LinkIsUnicode) != 0;
    const uint32_t stringFlags[] = {LinkHasName, LinkHasRelativePath, LinkHasWorkingDir, LinkHasArguments,
                                    LinkHasIconLocation};
    std::string* destinations[] = {&link.description, nullptr, &link.workingFolder, &link.arguments, nullptr};
    for (int i = 0; i < 5; i++) {
        if ((flags & stringFlags[i]) == 0)
            continue;
        if (at + 2 > in.size())
            return false;
        const size_t count = Get16(in, at);
        at += 2;
        const size_t unit = unicode ? 2 : 1;
        if (count * unit > in.size() - at)
            return false;
        std::string text;
        for (size_t c = 0; c < count; c++) {
            uint32_t value = unicode ? Get16(in, at + 2 * c) : in[at + c];
            text += unicode && value > 0x7F ? '?' : static_cast<char>(value);
        }
        at += count * unit;
        if (destinations[i] != nullptr)
            *destinations[i] = text;
    }
    return true;
}
