// vela init DIR: writes a small, valid starter project that `vela build DIR`
// packages at once: a commented setup script using every key, an English
// catalogue with every text the installer shows, a logo, and placeholder files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "l10n/catalogue_texts.h"
#include "project.h"

namespace fs = std::filesystem;

namespace vela {

const char kInitUsage[] =
    "Usage: vela init DIR\n"
    "\n"
    "Creates DIR (or uses it when it is empty) with a starter project:\n"
    "  Vela.ini       the setup script, with every key explained\n"
    "  English.clg    the English texts of the installer\n"
    "  logo.bmp       the picture on the left of the setup window\n"
    "  program.exe, readme.txt, uninstall.exe   placeholders for your files\n"
    "Then: vela check DIR, vela build DIR -o setup.exe\n";

namespace {

const char kScript[] =
    "; Setup script of the installer. Lines that start with a semicolon are\r\n"
    "; comments. Texts are used exactly as written after the first equals sign.\r\n"
    "[General]\r\n"
    "; Caption of the setup window.\r\n"
    "Title=My Product Setup\r\n"
    "; Top line of the setup window; name in the list of installed programs.\r\n"
    "Product name=My Product\r\n"
    "; Bottom line of the setup window.\r\n"
    "Copyright=Copyright (c) 2026 My Company\r\n"
    "; Key below HKEY_LOCAL_MACHINE that records the installation for the uninstaller.\r\n"
    "Registry key=Software\\My Company\\My Product\r\n"
    "; Installation folder and program-menu group offered at start.\r\n"
    "Default folder=C:\\Program Files\\My Product\r\n"
    "Default program folder=My Product\r\n"
    "; File numbers (the sections below, counted from 0).\r\n"
    "Main executable=0\r\n"
    "Readme=1\r\n"
    "; 1: run the main executable with /install when the files are in place.\r\n"
    "Run with '/install'=0\r\n"
    "; 1: record the main executable's path for the uninstaller.\r\n"
    "Run with '/uninstall'=1\r\n"
    "; Options offered (sum of): 1 desktop shortcut, 2 start-up shortcut,\r\n"
    "; 4 run the program afterwards, 8 open the readme afterwards.\r\n"
    "Advanced options=13\r\n"
    "; Options ticked at start.\r\n"
    "Advanced options def=1\r\n"
    "; File types to register (keys File type 0.Description and so on).\r\n"
    "Number of file types=1\r\n"
    "File type 0.Description=My Product document\r\n"
    "File type 0.Name=MyProduct.Document\r\n"
    "; Extensions, separated by single spaces, each with its full stop.\r\n"
    "File type 0.Extensions=.myp\r\n"
    "; Icon: the file number counted from 1, plus 65536 times the icon index.\r\n"
    "File type 0.Icon=1\r\n"
    "File type 0.Open command=\"%1\"\r\n"
    "; 0: the main executable's path goes in front of the command; -1: it does not.\r\n"
    "File type 0.Open command file=0\r\n"
    "Number of files=3\r\n"
    "\r\n"
    "; One section per file. Name: the file in the project folder.\r\n"
    "; Create name: where it goes below the installation folder.\r\n"
    "; Shortcut name: its shortcut in the program group (empty: none).\r\n"
    "[0]\r\n"
    "Name=program.exe\r\n"
    "Create name=program.exe\r\n"
    "Shortcut name=My Product\r\n"
    "Arguments=\r\n"
    "To windows folder=0\r\n"
    "To system folder=0\r\n"
    "Can uninstall=1\r\n"
    "\r\n"
    "[1]\r\n"
    "Name=readme.txt\r\n"
    "Create name=readme.txt\r\n"
    "Shortcut name=Read me\r\n"
    "Can uninstall=1\r\n"
    "\r\n"
    "; The last file is the uninstaller: the uninstall command runs it with the\r\n"
    "; registry key as its argument.\r\n"
    "[2]\r\n"
    "Name=uninstall.exe\r\n"
    "Create name=uninstall.exe\r\n"
    "Shortcut name=Uninstall My Product\r\n"
    "Can uninstall=1\r\n";

std::string EnglishCatalogue() {
    std::string text = "; English texts of the installer. [Main] and [Browse] keys are control\r\n"
                       "; numbers of the setup window and the folder chooser (0 is the caption).\r\n";
    const char* section = "";
    for (const CatalogueText& t : kCatalogueTexts) {
        if (std::string(section) != t.section) {
            section = t.section;
            text += std::string("[") + section + "]\r\n";
        }
        text += std::string(t.key) + "=" + t.english + "\r\n";
    }
    return text;
}

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A 24-bit bottom-up BMP: a blue gradient with a light band, sized for the
// setup window's logo area.
std::string StarterLogo() {
    const int width = 110, height = 200;
    const int rowBytes = (width * 3 + 3) & ~3;
    std::string pixels;
    for (int y = 0; y < height; y++) {
        std::string row;
        for (int x = 0; x < width; x++) {
            int top = height - 1 - y;  // rows are stored bottom-up
            bool band = top > 120 && top < 132;
            int blue = 120 + top * 120 / height, green = 40 + top * 60 / height, red = 20 + x * 20 / width;
            row += static_cast<char>(band ? 240 : blue);
            row += static_cast<char>(band ? 230 : green);
            row += static_cast<char>(band ? 220 : red);
        }
        row.resize(static_cast<size_t>(rowBytes), '\0');
        pixels += row;
    }
    std::string bmp = "BM";
    Put32(bmp, static_cast<uint32_t>(54 + pixels.size()));
    Put32(bmp, 0);
    Put32(bmp, 54);
    Put32(bmp, 40);
    Put32(bmp, width);
    Put32(bmp, height);
    Put16(bmp, 1);
    Put16(bmp, 24);
    Put32(bmp, 0);
    Put32(bmp, static_cast<uint32_t>(pixels.size()));
    Put32(bmp, 2835);
    Put32(bmp, 2835);
    Put32(bmp, 0);
    Put32(bmp, 0);
    return bmp + pixels;
}

bool WriteNew(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        PrintError("init", path.string() + ": cannot write");
        return false;
    }
    return true;
}

}  // namespace

int RunInit(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("init");
    ParsedArgs args;
    if (!ParseArgs(command, argv, {}, args))
        return ExitUsage;
    if (args.positional.size() != 1)
        return UsageError(command, "give the folder to create");
    fs::path dir = args.positional[0];
    std::error_code ec;
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec)) {
            PrintError("init", dir.string() + ": exists and is not a folder");
            return ExitFailed;
        }
        if (!fs::is_empty(dir, ec)) {
            PrintError("init", dir.string() + ": the folder is not empty; nothing was written");
            return ExitFailed;
        }
    } else if (!fs::create_directories(dir, ec)) {
        PrintError("init", dir.string() + ": cannot create the folder: " + ec.message());
        return ExitFailed;
    }

    struct { const char* name; std::string content; } files[] = {
        {kScriptName, kScript},
        {"English.clg", EnglishCatalogue()},
        {kLogoName, StarterLogo()},
        {"program.exe", "Placeholder: put your program here under this name, or change [0] Name in Vela.ini.\r\n"},
        {"readme.txt", "My Product\r\n\r\nThis text is shown after the installation when the user asks for it.\r\n"},
        {"uninstall.exe", "Placeholder: put your uninstaller here; it is run with the registry key as argument.\r\n"},
    };
    for (const auto& file : files)
        if (!WriteNew(dir / file.name, file.content))
            return ExitFailed;
    std::printf("Created a starter project in %s:\n", dir.string().c_str());
    for (const auto& file : files)
        std::printf("  %s\n", file.name);
    std::printf("Next: vela check %s && vela build %s -o setup.exe\n", dir.string().c_str(), dir.string().c_str());
    return ExitOk;
}

}  // namespace vela
