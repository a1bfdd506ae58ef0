#include "project.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "config/ini_file.h"
#include "l10n/catalogue_texts.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace vela {

namespace {

void Problem(std::vector<ScriptProblem>& problems, ScriptProblem::Severity severity, std::string where,
             std::string message) {
    problems.push_back({severity, std::move(where), std::move(message)});
}

int LineOfOffset(const std::string& text, size_t offset) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(offset, text.size())), '\n'));
}

// Lines holding non-ASCII UTF-8, and lines holding bytes that are not UTF-8:
// a text with both was written in two encodings.
bool MixesEncodings(const std::string& text) {
    bool utf8Line = false, otherLine = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!IsAscii(line))
            (IsValidUtf8(line) ? utf8Line : otherLine) = true;
        start = end + 1;
    }
    return utf8Line && otherLine;
}

// Converts a source text for the package; a character the code page cannot
// hold is an error naming the file and the line.
bool ConvertText(const std::string& source, const std::string& label, int codePage, std::string& out,
                 std::vector<ScriptProblem>& problems) {
    if (MixesEncodings(source))
        Problem(problems, ScriptProblem::Warning, label,
                "mixes UTF-8 lines with lines in another encoding; the text is taken byte for byte");
    EncodeResult converted = ToPackageText(source, codePage);
    if (!converted.ok) {
        Problem(problems, ScriptProblem::Error, label + ":" + std::to_string(LineOfOffset(source, converted.badOffset)),
                "a character cannot be written in code page " + std::to_string(codePage));
        return false;
    }
    out = std::move(converted.text);
    return true;
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

fs::path ResolveBelow(const fs::path& dir, const std::string& name) {
    if (name.empty())
        return {};
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    if (portable[0] == '/' || (portable.size() >= 2 && portable[1] == ':'))
        return {};
    fs::path relative(portable);
    for (const auto& piece : relative)
        if (piece == "..")
            return {};
    return dir / relative;
}

bool LoadProject(const fs::path& dirOrScript, int codePage, Project& project, std::vector<ScriptProblem>& problems) {
    std::error_code ec;
    fs::path scriptPath;
    if (fs::is_directory(dirOrScript, ec)) {
        project.dir = dirOrScript;
        scriptPath = dirOrScript / kScriptName;
    } else {
        scriptPath = dirOrScript;
    }

    std::string raw;
    if (!ReadWholeFile(scriptPath, raw)) {
        Problem(problems, ScriptProblem::Error, scriptPath.string(), "the setup script is missing or cannot be read");
        return false;
    }
    project.hasScript = true;
    project.script.entryName = kScriptName;
    project.script.source = scriptPath;
    if (!ConvertText(raw, scriptPath.filename().string(), codePage, project.script.bytes, problems))
        project.script.bytes = raw;
    project.setup = ReadSetupScriptText(project.script.bytes.data(), project.script.bytes.size());

    if (project.dir.empty())
        return true;

    if (fs::is_regular_file(project.dir / kLogoName, ec))
        project.logo = project.dir / kLogoName;

    // Catalogues: every *.clg file of the folder itself.
    for (const auto& item : fs::directory_iterator(project.dir, ec)) {
        if (!item.is_regular_file())
            continue;
        std::string fileName = item.path().filename().string();
        if (fileName.size() <= 4 || fileName.compare(fileName.size() - 4, 4, kCatalogueSuffix) != 0)
            continue;
        ProjectText catalogue;
        catalogue.source = item.path();
        std::string content;
        if (!ReadWholeFile(item.path(), content)) {
            Problem(problems, ScriptProblem::Error, fileName, "cannot be read");
            continue;
        }
        EncodeResult name = ToPackageText(fileName, codePage);
        if (!name.ok) {
            Problem(problems, ScriptProblem::Error, fileName, "the name cannot be written in code page " + std::to_string(codePage));
            continue;
        }
        catalogue.entryName = name.text;
        if (!ConvertText(content, fileName, codePage, catalogue.bytes, problems))
            continue;
        project.catalogues.push_back(std::move(catalogue));
    }
    std::sort(project.catalogues.begin(), project.catalogues.end(),
              [](const ProjectText& a, const ProjectText& b) { return a.entryName < b.entryName; });

    // Files named by the script: one entry per distinct name. The names are
    // already in the package's code page; on disk they are looked up in the
    // publisher's encoding.
    for (size_t i = 0; i < project.setup.files.size(); i++) {
        const std::string& name = project.setup.files[i].name;
        if (name.empty())
            continue;
        auto same = std::find_if(project.files.begin(), project.files.end(),
                                 [&](const ProjectFile& f) { return f.entryName == name; });
        if (same != project.files.end()) {
            same->sections.push_back(static_cast<int>(i));
            continue;
        }
        ProjectFile file;
        file.entryName = name;
        file.sections.push_back(static_cast<int>(i));
        std::string diskName = IsAscii(name) || IsValidUtf8(name) ? name : PackageTextToUtf8(name, codePage);
        fs::path source = ResolveBelow(project.dir, diskName);
        std::string where = "[" + std::to_string(i) + "] Name";
        if (source.empty())
            Problem(problems, ScriptProblem::Error, where, "\"" + diskName + "\" is absolute or climbs out of the project folder");
        else if (!fs::is_regular_file(source, ec))
            Problem(problems, ScriptProblem::Error, where, "\"" + diskName + "\" names no file in the project folder");
        else
            file.source = source;
        project.files.push_back(std::move(file));
    }
    return true;
}

void CheckProject(const Project& project, int codePage, std::vector<ScriptProblem>& problems) {
    std::vector<ScriptProblem> scriptProblems = CheckSetupScript(project.setup);
    problems.insert(problems.end(), scriptProblems.begin(), scriptProblems.end());
    if (project.dir.empty())
        return;
    if (project.logo.empty())
        Problem(problems, ScriptProblem::Error, kLogoName, "is missing from the project folder");
    if (project.catalogues.empty()) {
        Problem(problems, ScriptProblem::Warning, "*.clg",
                "the package has no language catalogues: the installer shows its built-in Russian texts");
        return;
    }
    for (const ProjectText& catalogue : project.catalogues) {
        TIniFile ini;
        ini.ParseBytes(catalogue.bytes.data(), catalogue.bytes.size());
        std::string missing;
        for (const CatalogueText& text : kCatalogueTexts) {
            bool needed = (text.optionBit == 0 && std::string(text.key) == "complete") ||
                          (text.optionBit != 0 && (project.setup.advancedOptions & text.optionBit));
            if (!needed)
                continue;
            const char* value = ini.GetString(text.section, text.key, "");
            if (*value == '\0')
                missing += std::string(missing.empty() ? "" : ", ") + "[" + text.section + "] " + text.key;
        }
        if (!missing.empty())
            Problem(problems, ScriptProblem::Warning, PackageTextToUtf8(catalogue.entryName, codePage),
                    "lacks texts the installer shows: " + missing);
    }
}

}  // namespace vela
