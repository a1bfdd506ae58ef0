// Run-time error reports on Windows: the default beep, an owner-less message box
// (so it shows on any thread, even before a window exists) and the OEM-to-ANSI
// conversion of the report text.
#include <windows.h>

#include "foundation/run_time_error.h"

namespace {

class Win32ErrorDisplay final : public RunTimeErrorDisplay {
public:
    void Beep() override { MessageBeep(0); }
    void OemToDisplay(char* text, int) override { OemToCharA(text, text); }
    Answer ShowBox(const char* caption, const char* text, unsigned style) override {
        int result = MessageBoxA(nullptr, text, caption, style);
        if (style == StyleYesNo)
            return result == IDNO ? No : Yes;
        return Ok;
    }
};

}  // namespace

RunTimeErrorDisplay& DefaultRunTimeErrorDisplay() {
    static Win32ErrorDisplay display;
    return display;
}
