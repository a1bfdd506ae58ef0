#include "text_encoding.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace vela {

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        unsigned min;
        if (c < 0x80) { i++; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; min = 0x80; c &= 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; min = 0x800; c &= 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; min = 0x10000; c &= 0x07; }
        else return false;
        if (i + extra >= s.size())
            return false;
        unsigned code = c;
        for (size_t k = 1; k <= extra; k++) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

bool CodePageSupported(int codePage) {
    CPINFO info;
    return GetCPInfo(static_cast<UINT>(codePage), &info) != 0;
}

EncodeResult ToPackageText(const std::string& text, int codePage) {
    EncodeResult result;
    if (IsAscii(text) || !IsValidUtf8(text)) {
        result.text = text;
        return result;
    }
    // Convert one character at a time, so that the first one the code page
    // cannot hold is found with its offset.
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        std::wstring wide = Widen(text.substr(i, length), CP_UTF8);
        char out[8];
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, wide.data(),
                                    static_cast<int>(wide.size()), out, sizeof out, nullptr, &usedDefault);
        if (n <= 0 || usedDefault) {
            result.ok = false;
            result.badOffset = i;
            return result;
        }
        result.text.append(out, static_cast<size_t>(n));
        i += length;
    }
    return result;
}

std::string PackageTextToUtf8(const std::string& bytes, int codePage) {
    if (IsAscii(bytes))
        return bytes;
    std::wstring wide = Widen(bytes, static_cast<UINT>(codePage));
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

#else

namespace {

std::string IconvName(int codePage) {
    return "CP" + std::to_string(codePage);
}

// Converts from → to with iconv, one step; false when a character cannot be
// converted (its offset in the input goes to badOffset).
bool Convert(const std::string& input, const std::string& from, const std::string& to, std::string& output,
             size_t& badOffset, bool replaceBad) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        badOffset = 0;
        return false;
    }
    output.clear();
    std::vector<char> in(input.begin(), input.end());
    char* inPtr = in.data();
    size_t inLeft = in.size();
    bool ok = true;
    while (inLeft > 0) {
        char buffer[4096];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        output.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!replaceBad) {
                badOffset = static_cast<size_t>(inPtr - in.data());
                ok = false;
                break;
            }
            output += "\xEF\xBF\xBD";  // U+FFFD
            inPtr++;
            inLeft--;
        }
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

bool CodePageSupported(int codePage) {
    iconv_t cd = iconv_open("UTF-8", IconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

EncodeResult ToPackageText(const std::string& text, int codePage) {
    EncodeResult result;
    if (IsAscii(text) || !IsValidUtf8(text)) {
        result.text = text;
        return result;
    }
    result.ok = Convert(text, "UTF-8", IconvName(codePage), result.text, result.badOffset, false);
    return result;
}

std::string PackageTextToUtf8(const std::string& bytes, int codePage) {
    if (IsAscii(bytes))
        return bytes;
    std::string out;
    size_t bad = 0;
    Convert(bytes, IconvName(codePage), "UTF-8", out, bad, true);
    return out;
}

#endif

}  // namespace vela
