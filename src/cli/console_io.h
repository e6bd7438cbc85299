#pragma once
// Standard output and standard error of the console program. Text goes to a console as
// UTF-16 (so every letter shows whatever the console's code page) and anywhere else (a file,
// a pipe) as UTF-8 without a BOM. The progress line is written only to a console, where it
// is rewritten in place.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

class ConsoleOutput {
public:
    ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Standard output: text whose lines end in "\n" ("\r\n" is written).
    void Out(std::wstring_view text);
    // Standard output: bytes of UTF-8 text, written as they are unless to a console.
    void OutUtf8(std::string_view utf8);
    // One message line on standard error; a progress line is cleared first.
    void Message(std::wstring_view text);
    // Replaces the progress line (standard error, consoles only).
    void Progress(std::wstring_view text);
    void EndProgress();

private:
    struct Stream {
        HANDLE handle = nullptr;
        bool console = false;
    };
    static Stream Open(DWORD which);
    static void Write(const Stream& stream, std::wstring_view text);

    Stream out_;
    Stream err_;
    size_t progressWidth_ = 0;  // characters of the progress line on screen
};

}  // namespace qm
