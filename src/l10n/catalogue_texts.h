// Every text the installer looks up in a language catalogue, with its English
// wording. A catalogue is an ini text: section "Main" holds the setup dialog's
// texts by control id ("0" is the caption) and the completion message
// "complete"; "Options" the labels of the four optional actions; "Browse" the
// folder chooser's texts by control id. The packaging tool writes starter
// catalogues from this table and checks catalogues against it.
#pragma once

struct CatalogueText {
    const char* section;
    const char* key;
    const char* english;
    int optionBit;  // the "Advanced options" bit that makes the installer show it; 0 = always
};

inline constexpr CatalogueText kCatalogueTexts[] = {
    {"Main", "0", "Setup", 0},
    {"Main", "1026", "Language", 0},
    {"Main", "1023", "Installation folder", 0},
    {"Main", "1004", "Browse ...", 0},
    {"Main", "1024", "Group in the Programs menu", 0},
    {"Main", "1025", "Additional options", 0},
    {"Main", "1016", "To start the installation press the Install button", 0},
    {"Main", "1007", "Installing ...", 0},
    {"Main", "1001", "Install", 0},
    {"Main", "1027", "Exit", 0},
    {"Main", "2", "Cancel", 0},
    {"Main", "complete", "The installation is complete.", 0},
    {"Options", "desktop", "Create a shortcut on the desktop", 1},
    {"Options", "startup", "Start the program when Windows starts", 2},
    {"Options", "exec", "Run the program now", 4},
    {"Options", "readme", "Open the readme file", 8},
    {"Browse", "0", "Choose the installation folder", 0},
    {"Browse", "1", "OK", 0},
    {"Browse", "2", "Cancel", 0},
};
