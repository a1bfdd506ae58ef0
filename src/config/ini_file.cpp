#include "config/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/resource_provider.h"

namespace {

// White space as the C library's isspace sees it in the "C" locale.
bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Bytes that normalisation trims: every value up to and including the blank.
bool IsTrimmed(unsigned char c) {
    return c <= 32;
}

// The key part of a stored line: the text before its first "=", or all of it.
size_t KeyPartLength(const char* line) {
    const char* eq = std::strchr(line, '=');
    return eq != nullptr ? static_cast<size_t>(eq - line) : std::strlen(line);
}

bool KeyPartEquals(const char* line, const char* key) {
    size_t length = KeyPartLength(line);
    return std::strlen(key) == length && std::memcmp(line, key, length) == 0;
}

bool StartsWith(const char* p, const char* end, const char* word) {
    size_t n = std::strlen(word);
    return static_cast<size_t>(end - p) >= n && std::memcmp(p, word, n) == 0;
}

// C-library signed conversion with automatic base, saturated to 32 bits.
// Returns the position after the number, or text itself when no digits were read.
const char* ReadInt(const char* text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 0);
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    *value = static_cast<int32_t>(v);
    return end;
}

const char* ReadFloat(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end;
}

template <typename T, typename Reader>
std::unique_ptr<std::vector<T>> ParseNumberList(const char* text, Reader read) {
    auto list = std::make_unique<std::vector<T>>();
    const char* p = text;
    while (*p != '\0') {
        T value;
        const char* next = read(p, &value);
        if (next != p) {
            list->push_back(value);
            p = next;
        } else {
            p++;  // a byte that starts no number separates numbers
        }
    }
    return list;
}

// The first of the terminators that occurs in [p, end), tried in order of
// preference, or end when none does.
const char* FindFirstOf(const char* p, const char* end, const char* terminators) {
    for (const char* t = terminators; *t != '\0'; t++)
        if (const void* hit = std::memchr(p, *t, static_cast<size_t>(end - p)))
            return static_cast<const char*>(hit);
    return end;
}

std::unique_ptr<std::vector<std::string>> ParseStringList(const char* text) {
    auto list = std::make_unique<std::vector<std::string>>();
    const char* p = text;
    const char* end = text + std::strlen(text);
    while (p < end) {
        while (p < end && IsSpace(static_cast<unsigned char>(*p)))
            p++;
        if (p < end && *p == ',')
            p++;
        while (p < end && IsSpace(static_cast<unsigned char>(*p)))
            p++;
        if (p == end)
            break;
        const char* start = p;
        const char* stop;
        if (*p == '"') {
            start = p + 1;
            stop = FindFirstOf(start, end, "\"\n\r");
        } else {
            stop = FindFirstOf(start, end, ", \n\r");
        }
        list->emplace_back(start, stop);
        // The terminator is dropped; without one the token ran to the end.
        p = stop < end ? stop + 1 : end;
    }
    return list;
}

}  // namespace

TIniFile::~TIniFile() {
    DropLines();
}

TObject* TIniFile::IsA(const char* name) {
    return ClassNameIs(name, "TIniFile") ? this : TObject::IsA(name);
}

void TIniFile::DropLines() {
    if (lines == nullptr)
        return;
    lines->FreeAll();
    delete lines;
    lines = nullptr;
}

bool TIniFile::Parse(const char* text) {
    return ParseBytes(text, text != nullptr ? std::strlen(text) : 0);
}

bool TIniFile::ParseBytes(const char* text, size_t length) {
    DropLines();
    if (text == nullptr) {
        failed = true;
        return false;
    }
    if (const void* nul = std::memchr(text, '\0', length))
        length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    lines = new TCollection(20, 10);
    lines->SetOwnsItems(true);
    ParseLines(text, length, 0);
    return true;
}

void TIniFile::ParseLines(const char* text, size_t length, int depth) {
    const char* p = text;
    const char* end = text + length;
    while (p < end) {
        // One line: up to the next line feed, at most MaxLineLength bytes.
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && lineEnd - p < MaxLineLength)
            lineEnd++;
        const char* line = p;
        p = lineEnd;
        if (p < end && *p == '\n')
            p++;

        const char* q = line;
        while (q < lineEnd && IsSpace(static_cast<unsigned char>(*q)))
            q++;
        if (StartsWith(q, lineEnd, "#include"))
            Include(q + 8, lineEnd, depth);
        else if (StartsWith(q, lineEnd, "#define"))
            Define(q + 7, lineEnd);
        else
            AppendLine(line, static_cast<size_t>(lineEnd - line));
    }
}

void TIniFile::AppendLine(const char* data, size_t length) {
    // Normalise: trim both ends, then the blanks on either side of the first "=".
    const char* begin = data;
    const char* end = data + length;
    while (begin < end && IsTrimmed(static_cast<unsigned char>(*begin)))
        begin++;
    while (end > begin && IsTrimmed(static_cast<unsigned char>(end[-1])))
        end--;
    std::string normal;
    const char* eq = static_cast<const char*>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
    if (eq == nullptr) {
        normal.assign(begin, end);
    } else {
        const char* keyEnd = eq;
        while (keyEnd > begin && IsTrimmed(static_cast<unsigned char>(keyEnd[-1])))
            keyEnd--;
        const char* valueStart = eq + 1;
        while (valueStart < end && IsTrimmed(static_cast<unsigned char>(*valueStart)))
            valueStart++;
        normal.assign(begin, keyEnd);
        normal += '=';
        normal.append(valueStart, end);
    }
    char* copy = static_cast<char*>(std::malloc(normal.size() + 1));
    std::memcpy(copy, normal.c_str(), normal.size() + 1);
    lines->Insert(copy);
}

void TIniFile::Include(const char* p, const char* end, int depth) {
    while (p < end && IsSpace(static_cast<unsigned char>(*p)))
        p++;
    const char* nameEnd;
    if (p < end && *p == '"') {
        p++;
        nameEnd = FindFirstOf(p, end, "\"\r");
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
        if (cr != nullptr && cr < nameEnd)
            nameEnd = cr;
    } else {
        nameEnd = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
        if (nameEnd == nullptr)
            nameEnd = end;
    }
    if (ResourceProvider == nullptr || depth >= MaxIncludeDepth)
        return;
    std::string name(p, nameEnd);
    char* included = ResourceProvider->ReadResource(name.c_str(), 0, 0, 0);
    if (included == nullptr)
        return;
    // The included lines take the place of the directive; the lines read before
    // it stay, and the lines after it follow the included ones.
    ParseLines(included, std::strlen(included), depth + 1);
    std::free(included);
}

void TIniFile::Define(const char* p, const char* end) {
    while (p < end && IsSpace(static_cast<unsigned char>(*p)))
        p++;
    const char* name = p;
    while (p < end && *p != ' ')
        p++;
    std::string line(name, p);
    while (p < end && IsSpace(static_cast<unsigned char>(*p)))
        p++;
    const char* value = p;
    while (p < end && *p != ' ' && *p != '\r')
        p++;
    line += '=';
    line.append(value, p);
    char* copy = static_cast<char*>(std::malloc(line.size() + 1));
    std::memcpy(copy, line.c_str(), line.size() + 1);
    lines->Insert(copy);
}

bool TIniFile::Load(const char* name) {
    fileName = name != nullptr ? name : "";
    failed = true;
    std::FILE* file = name != nullptr ? std::fopen(name, "rb") : nullptr;
    if (file == nullptr)
        return false;
    std::vector<char> bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return false;
    ParseBytes(bytes.data(), bytes.size());
    failed = false;
    return true;
}

bool TIniFile::Reload() {
    DropLines();
    failed = true;
    if (ResourceProvider == nullptr)
        return false;
    char* text = ResourceProvider->ReadResource(fileName.c_str(), 0, 0, 0);
    if (text == nullptr)
        return false;
    Parse(text);
    std::free(text);
    failed = false;
    return true;
}

int32_t TIniFile::FindHeader(const std::string& header, int32_t from) {
    for (int32_t i = from; i < lines->Count(); i++)
        if (header == static_cast<const char*>(lines->At(i)))
            return i;
    return -1;
}

int32_t TIniFile::ScanBlock(int32_t headerIndex, const char* key, bool* match) {
    *match = false;
    int32_t last = lines->Count() - 1;
    int32_t i = headerIndex + 1;
    if (i > last)
        return last;
    for (;; i++) {
        const char* line = static_cast<const char*>(lines->At(i));
        if (KeyPartEquals(line, key) || line[0] == '[' || i == last) {
            *match = line[0] != '[' && std::strchr(line, '=') != nullptr && KeyPartEquals(line, key);
            return i;
        }
    }
}

const char* TIniFile::GetString(const char* section, const char* key, const char* defaultText) {
    if (lines == nullptr || section == nullptr || key == nullptr)
        return defaultText;
    std::string header = std::string("[") + section + "]";
    int32_t at = FindHeader(header, 0);
    while (at >= 0) {
        bool match;
        int32_t stop = ScanBlock(at, key, &match);
        if (match)
            return std::strchr(static_cast<const char*>(lines->At(stop)), '=') + 1;
        // A later block with the same header continues the section; the search
        // for it starts at the line where this block's scan stopped.
        at = FindHeader(header, stop > at ? stop : at + 1);
    }
    return defaultText;
}

int32_t TIniFile::FindKey(const char* section, const char* key) {
    if (lines == nullptr || section == nullptr)
        return -1;
    int32_t at = FindHeader(std::string("[") + section + "]", 0);
    if (at < 0 || key == nullptr)
        return at;
    bool match;
    int32_t stop = ScanBlock(at, key, &match);
    return match ? stop : -1;
}

const char* TIniFile::GetLine(int32_t index) {
    if (lines == nullptr || index < 0 || index >= lines->Count())
        return nullptr;
    return static_cast<const char*>(lines->At(index));
}

int32_t TIniFile::GetInt(const char* section, const char* key, int32_t defaultValue) {
    const char* value = GetString(section, key, "");
    if (*value == '\0')
        return defaultValue;
    int32_t result;
    ReadInt(value, &result);
    return result;
}

double TIniFile::GetFloat(const char* section, const char* key, double defaultValue) {
    const char* value = GetString(section, key, "");
    if (*value == '\0')
        return defaultValue;
    double result;
    ReadFloat(value, &result);
    return result;
}

bool TIniFile::GetBool(const char* section, const char* key, bool defaultValue) {
    const char* value = GetString(section, key, "");
    if (*value == '\0')
        return defaultValue;
    // The Russian "yes" in code page 866: lower case, capitalised, upper case.
    static const char* const kTrue[] = {"yes", "1", "true", "on", "enable", "\xA4\xA0", "\x84\xA0", "\x84\x80"};
    for (const char* word : kTrue)
        if (std::strcmp(value, word) == 0)
            return true;
    return false;
}

// The text a list getter parses: the value, or the default text when the value
// is empty or missing (which may be none).
const char* TIniFile::ListText(const char* section, const char* key, const char* defaultText) {
    const char* value = GetString(section, key, "");
    return *value != '\0' ? value : defaultText;
}

std::unique_ptr<std::vector<int32_t>> TIniFile::GetIntList(const char* section, const char* key, const char* defaultText) {
    const char* text = ListText(section, key, defaultText);
    return text != nullptr ? ParseNumberList<int32_t>(text, ReadInt) : nullptr;
}

std::unique_ptr<std::vector<double>> TIniFile::GetFloatList(const char* section, const char* key, const char* defaultText) {
    const char* text = ListText(section, key, defaultText);
    return text != nullptr ? ParseNumberList<double>(text, ReadFloat) : nullptr;
}

std::unique_ptr<std::vector<std::string>> TIniFile::GetStringList(const char* section, const char* key, const char* defaultText) {
    const char* text = ListText(section, key, defaultText);
    return text != nullptr ? ParseStringList(text) : nullptr;
}

bool TIniFile::Save(const char* name) {
    std::FILE* file = std::fopen(name, "w");
    if (file == nullptr)
        return false;
    bool ok = true;
    for (int32_t i = 0; i < LineCount(); i++)
        if (std::fprintf(file, "%s\n", static_cast<const char*>(lines->At(i))) < 0)
            ok = false;
    if (std::fclose(file) != 0)
        ok = false;
    return ok;
}
