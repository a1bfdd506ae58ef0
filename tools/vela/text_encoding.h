// Texts in a package are bytes in one Windows ANSI code page (the one its users
// run with); publishers on Linux usually write UTF-8. These helpers convert
// between the two for the packaging tool.
#pragma once
#include <string>

namespace vela {

bool IsAscii(const std::string& text);
bool IsValidUtf8(const std::string& text);

struct EncodeResult {
    bool ok = true;
    std::string text;
    size_t badOffset = 0;  // byte offset in the input of the first character the code page cannot hold
};

// Converts a text for the package: valid UTF-8 with non-ASCII characters is
// converted to code page codePage; anything else (ASCII, or bytes already in the
// code page) is taken byte for byte.
EncodeResult ToPackageText(const std::string& text, int codePage);

// Converts package bytes in codePage to UTF-8 for display. Bytes the code page
// does not define become U+FFFD.
std::string PackageTextToUtf8(const std::string& bytes, int codePage);

// True when the code page is one this machine can convert.
bool CodePageSupported(int codePage);

// Hexadecimal digits of the bytes, two per byte, lower case.
std::string HexBytes(const std::string& bytes);

}  // namespace vela
