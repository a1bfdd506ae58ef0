// TIniFile: a text in ini syntax kept as an ordered list of normalised lines,
// answering look-ups of the form (section, key, default).
//
// There is no tree of sections and keys: every stored line is kept in file order
// and every look-up scans the lines. What makes a line a section header ("[Name]")
// or a key line ("Key=Value") is decided when it is looked up. All texts are byte
// strings compared byte for byte and case-sensitively.
//
// Reading lines: a line ends at a line feed and holds at most 249 bytes; a longer
// line is cut and its remainder read as the next line. Each line is trimmed of
// bytes 0..32 at both ends and around its first "=". "#include NAME" inserts the
// text that the resource provider returns for NAME at that place; "#define NAME
// VALUE" stores the line "NAME=VALUE".
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/collection.h"
#include "foundation/object.h"

class TIniFile : public TObject {
public:
    static constexpr int MaxLineLength = 249;
    // How deep "#include" texts may include further texts; a text that includes
    // itself stops here instead of recursing until the stack runs out.
    static constexpr int MaxIncludeDepth = 16;

    TIniFile() = default;
    ~TIniFile() override;

    const char* ClassName() const override { return "TIniFile"; }
    TObject* IsA(const char* name) override;

    // Reads the file and parses it; true when it was read. Remembers the name for Reload.
    virtual bool Load(const char* fileName);
    // Re-reads the remembered name through the resource provider.
    virtual bool Reload();
    // Replaces the lines with those of text (ending at its first NUL). Returns
    // false, with failed set and no lines, when text is null.
    virtual bool Parse(const char* text);

    virtual std::unique_ptr<std::vector<double>> GetFloatList(const char* section, const char* key, const char* defaultText);
    virtual std::unique_ptr<std::vector<int32_t>> GetIntList(const char* section, const char* key, const char* defaultText);
    virtual std::unique_ptr<std::vector<std::string>> GetStringList(const char* section, const char* key, const char* defaultText);
    virtual double GetFloat(const char* section, const char* key, double defaultValue);
    virtual int32_t GetInt(const char* section, const char* key, int32_t defaultValue);
    virtual bool GetBool(const char* section, const char* key, bool defaultValue);
    // The value inside the stored line (valid until the next Parse, Reload or
    // destruction), or defaultText itself when there is no such key.
    virtual const char* GetString(const char* section, const char* key, const char* defaultText);
    // Index of the key line in the first block of section, or of the header when
    // key is null; -1 when there is none.
    virtual int32_t FindKey(const char* section, const char* key);
    // The stored line, or null for an index outside the lines.
    virtual const char* GetLine(int32_t index);
    // Writes the stored lines, each followed by a line end. False when the file
    // could not be written completely.
    virtual bool Save(const char* fileName);

    // Parse of text and length: the text ends at length or at an earlier NUL byte.
    bool ParseBytes(const char* text, size_t length);

    bool Failed() const { return failed; }
    int32_t LineCount() const { return lines != nullptr ? lines->Count() : 0; }
    const std::string& FileName() const { return fileName; }

protected:
    std::string fileName;
    bool failed = false;
    TCollection* lines = nullptr;

private:
    void DropLines();
    void ParseLines(const char* text, size_t length, int depth);
    void AppendLine(const char* data, size_t length);
    void Include(const char* p, const char* end, int depth);
    void Define(const char* p, const char* end);
    // Scans the block after the header at headerIndex; returns the index where
    // the scan stopped and sets *match when that line is the key's line.
    int32_t ScanBlock(int32_t headerIndex, const char* key, bool* match);
    int32_t FindHeader(const std::string& header, int32_t from);
    const char* ListText(const char* section, const char* key, const char* defaultText);
};
