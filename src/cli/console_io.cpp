#include "cli/console_io.h"

#include "base/text.h"

namespace qm {

namespace {

void WriteBytes(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() < 0x10000000 ? bytes.size() : 0x10000000);
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return;
        bytes.remove_prefix(written);
    }
}

std::wstring WithCrLf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 32);
    for (wchar_t c : text) {
        if (c == L'\n' && (out.empty() || out.back() != L'\r')) out += L'\r';
        out += c;
    }
    return out;
}

}  // namespace

ConsoleOutput::ConsoleOutput() : out_(Open(STD_OUTPUT_HANDLE)), err_(Open(STD_ERROR_HANDLE)) {}

ConsoleOutput::Stream ConsoleOutput::Open(DWORD which) {
    Stream stream;
    stream.handle = ::GetStdHandle(which);
    if (stream.handle == INVALID_HANDLE_VALUE) stream.handle = nullptr;
    DWORD mode = 0;
    stream.console = stream.handle && ::GetConsoleMode(stream.handle, &mode);
    return stream;
}

void ConsoleOutput::Write(const Stream& stream, std::wstring_view text) {
    if (!stream.handle || text.empty()) return;
    if (stream.console) {
        while (!text.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(text.size() < 8192 ? text.size() : 8192);
            if (!::WriteConsoleW(stream.handle, text.data(), chunk, &written, nullptr) || written == 0) return;
            text.remove_prefix(written);
        }
        return;
    }
    WriteBytes(stream.handle, NarrowUtf8(text));
}

void ConsoleOutput::Out(std::wstring_view text) {
    EndProgress();  // standard error and output may share the console
    Write(out_, WithCrLf(text));
}

void ConsoleOutput::OutUtf8(std::string_view utf8) {
    EndProgress();
    if (out_.console) Write(out_, WithCrLf(WidenUtf8(utf8)));
    else if (out_.handle) WriteBytes(out_.handle, utf8);
}

void ConsoleOutput::Message(std::wstring_view text) {
    EndProgress();
    Write(err_, WithCrLf(std::wstring(text) + L"\n"));
}

void ConsoleOutput::Progress(std::wstring_view text) {
    if (!err_.console) return;
    // A line longer than the console wraps, and "\r" would then rewrite only its last row.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(err_.handle, &info) && info.dwSize.X > 1)
        text = text.substr(0, static_cast<size_t>(info.dwSize.X) - 1);
    std::wstring line = L"\r" + std::wstring(text);
    if (text.size() < progressWidth_) line.append(progressWidth_ - text.size(), L' ');
    progressWidth_ = text.size();
    Write(err_, line);
}

void ConsoleOutput::EndProgress() {
    if (progressWidth_ == 0) return;
    Write(err_, L"\r" + std::wstring(progressWidth_, L' ') + L"\r");
    progressWidth_ = 0;
}

}  // namespace qm
