// Run-time error reports without a window system: the box becomes text on
// standard error. The report's OEM letters (code page 866, as on the Russian
// Windows the reports were written for) are shown as UTF-8. A Yes/No question is
// asked on the terminal; without one the answer is Yes, which ends the program.
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "foundation/run_time_error.h"

namespace {

class ConsoleErrorDisplay final : public RunTimeErrorDisplay {
public:
    void Beep() override {
        if (isatty(STDERR_FILENO))
            std::fputc('\a', stderr);
    }

    void OemToDisplay(char* text, int capacity) override {
        size_t length = std::strlen(text);
        bool plain = true;
        for (size_t i = 0; i < length; i++)
            if (static_cast<unsigned char>(text[i]) >= 0x80)
                plain = false;
        if (plain)
            return;
        iconv_t cd = iconv_open("UTF-8", "CP866");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return;
        char converted[4096];
        char* in = text;
        size_t inLeft = length;
        char* out = converted;
        size_t outLeft = sizeof converted - 1;
        size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        iconv_close(cd);
        size_t produced = sizeof converted - 1 - outLeft;
        if (rc == static_cast<size_t>(-1) || produced >= static_cast<size_t>(capacity))
            return;  // keep the bytes as they are
        std::memcpy(text, converted, produced);
        text[produced] = '\0';
    }

    Answer ShowBox(const char* caption, const char* text, unsigned style) override {
        std::fprintf(stderr, "\n*** %s ***\n%s\n", caption, text);
        std::fflush(stderr);
        if (style != StyleYesNo)
            return Ok;
        if (!isatty(STDIN_FILENO))
            return Yes;
        std::fputs("[y/n] ", stderr);
        int c = std::getchar();
        return (c == 'n' || c == 'N') ? No : Yes;
    }
};

}  // namespace

RunTimeErrorDisplay& DefaultRunTimeErrorDisplay() {
    static ConsoleErrorDisplay display;
    return display;
}
