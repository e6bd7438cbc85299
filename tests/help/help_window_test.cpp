// The help window under Xvfb: the text from the resource, sizes read, clamped and stored,
// one window at a time, the delayed close, and printing's pagination on a memory device.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "help/help_window.h"
#include "help/print_rtf.h"
#include "help/resources.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

TEST(HelpSize, StoredTextIsParsedAndKeptBetweenTheMinimumAndTheWorkArea) {
    const TwipsSize work{19200, 14400};
    struct Case {
        const wchar_t* width;
        const wchar_t* height;
        TwipsSize expected;
    };
    for (const Case& c : {Case{L"", L"", {8250, 6405}},                  // fresh profile: the default
                          Case{L"abc", L"6x", {8250, 6405}},             // not numbers
                          Case{L"9999999", L"99999999999", {19200, 14400}},  // larger than the screen
                          Case{L"9000", L"7000", {9000, 7000}},
                          Case{L"100", L"-7000", {8250, 6405}},          // below the minimum, negative
                          Case{L" 10000", L"6405", {10000, 6405}}}) {
        EXPECT_EQ(HelpSizeFromSettings(c.width, c.height, work), c.expected) << c.width << L" x " << c.height;
    }
    // A screen smaller than the minimum still gets the minimum.
    EXPECT_EQ(HelpSizeFromSettings(L"20000", L"20000", {6000, 5000}), kHelpMinimumSize);
}

TEST(HelpResources, HelpTextAndNoticeSoundAreCarriedInTheExecutable) {
    EXPECT_EQ(ProgramResource(IDR_HELP_TEXT).substr(0, 6), "{\\rtf1");
    EXPECT_EQ(ProgramResource(IDR_NOTICE_SOUND).substr(0, 4), "RIFF");
    EXPECT_TRUE(ProgramResource(999).empty());
}

TEST(PageLayout, MarginsAreMeasuredFromThePaperEdge) {
    const PageLayout layout = LayOutPage(12240, 15840, 300, 200, {});
    EXPECT_EQ(layout.page.right, 12240);
    EXPECT_EQ(layout.text.left, 1440 - 300);
    EXPECT_EQ(layout.text.top, 1440 - 200);
    EXPECT_EQ(layout.text.right, 12240 - 1440 - 300);
    EXPECT_EQ(layout.text.bottom, 15840 - 1440 - 200);
}

std::set<std::wstring> FolderListing(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.insert(found.cFileName);
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\'));
}

class HelpWindowTest : public ::testing::Test {
protected:
    ScratchRegistry registry;
    test::TestApp app;

    HWND OpenHelp() {
        Help(app.ctx, HelpOpening::InPlaceOfMain);
        const HWND window = ::FindWindowW(kHelpWindowClass, nullptr);
        EXPECT_NE(window, nullptr);
        return window;
    }
    static HWND RichEdit(HWND window) { return ::FindWindowExW(window, nullptr, MSFTEDIT_CLASS, nullptr); }
    static SIZE SizeInTwips(HWND window) {
        RECT frame{};
        ::GetWindowRect(window, &frame);
        return {(frame.right - frame.left) * TwipsPerPixelX(), (frame.bottom - frame.top) * TwipsPerPixelY()};
    }
    static std::wstring Stored(const wchar_t* name) {
        std::wstring value;
        return ScratchRegistry::GetString(HKEY_CURRENT_USER, kProgramKey, name, value) ? value : L"<missing>";
    }
    static std::wstring Text(HWND richEdit) {
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(richEdit)) + 1, L'\0');
        text.resize(::GetWindowTextW(richEdit, text.data(), static_cast<int>(text.size())));
        return text;
    }
};

TEST_F(HelpWindowTest, OpensWithTheFormattedTextAndWritesNothingNextToTheProgram) {
    const auto before = FolderListing(ExecutableFolder());
    app.ctx.frmMain.form.SetVisible(true);
    const HWND window = OpenHelp();
    ASSERT_TRUE(window);

    wchar_t caption[128] = {};
    ::GetWindowTextW(window, caption, 128);
    EXPECT_EQ(std::wstring(caption), L"Dorvik Quillmere Program Help File Version 5.0.0");
    const HMENU menu = ::GetMenu(window);
    wchar_t item[64] = {};
    ::GetMenuStringW(menu, kHelpPrintCommand, item, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(item), L"Print Help File");
    ::GetMenuStringW(menu, kHelpCloseCommand, item, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(item), L"Close Me");

    const HWND richEdit = RichEdit(window);
    ASSERT_TRUE(richEdit);
    const std::wstring text = Text(richEdit);
    for (const wchar_t* part : {L"Dorvik Quillmere Help", L"Warning about your own folders",
                                L"What Quillmere never touches", L"Select HotKey", L"Clean Temp Folder"})
        EXPECT_NE(text.find(part), std::wstring::npos) << part;
    EXPECT_EQ(text.find(L"\\rtf"), std::wstring::npos) << "loaded as rich text, not as plain text";
    EXPECT_NE(::GetWindowLongW(richEdit, GWL_STYLE) & ES_READONLY, 0);

    // The first heading is bold; the body text is not.
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    ::SendMessageW(richEdit, EM_SETSEL, 1, 2);
    ::SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_TRUE(format.dwEffects & CFE_BOLD);
    const LONG body = static_cast<LONG>(text.find(L"removes what browsing"));
    ::SendMessageW(richEdit, EM_SETSEL, body, body + 1);
    ::SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_FALSE(format.dwEffects & CFE_BOLD);

    EXPECT_FALSE(app.ctx.frmMain.form.Visible()) << "opened in place of the main window";
    EXPECT_EQ(FolderListing(ExecutableFolder()), before);
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(app.ctx.frmMain.form.Visible()) << "the main window comes back";
    EXPECT_FALSE(app.ctx.flags.returnToMain);
    EXPECT_EQ(FolderListing(ExecutableFolder()), before);
}

TEST_F(HelpWindowTest, OnlyOneHelpWindowAtATime) {
    const HWND first = OpenHelp();
    Help(app.ctx, HelpOpening::InPlaceOfMain);
    int windows = 0;
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, kHelpWindowClass, nullptr));) ++windows;
    EXPECT_EQ(windows, 1);
    ::SendMessageW(first, WM_CLOSE, 0, 0);
    const HWND second = OpenHelp();
    EXPECT_TRUE(::IsWindow(second));
    ::SendMessageW(second, WM_CLOSE, 0, 0);
}

TEST_F(HelpWindowTest, StoredSizesOfAnyContentOpenASensibleWindowAndTheRestoredSizeIsStored) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, kHelpWidthValue, L"abc");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, kHelpHeightValue, L"9999999");
    HWND window = OpenHelp();
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SIZE size = SizeInTwips(window);
    EXPECT_NEAR(size.cx, kHelpMinimumSize.width, 15);
    EXPECT_LE(size.cy, (work.bottom - work.top) * TwipsPerPixelY());
    EXPECT_GE(size.cy, kHelpMinimumSize.height);

    // Shrunk below the minimum, it snaps back.
    ::SetWindowPos(window, nullptr, 0, 0, 100, 80, SWP_NOMOVE | SWP_NOZORDER);
    size = SizeInTwips(window);
    EXPECT_NEAR(size.cx, kHelpMinimumSize.width, 15);
    EXPECT_NEAR(size.cy, kHelpMinimumSize.height, 15);

    // Enlarged, then minimised and closed: the enlarged size is stored.
    ::SetWindowPos(window, nullptr, 0, 0, 640, 520, SWP_NOMOVE | SWP_NOZORDER);
    ::ShowWindow(window, SW_MINIMIZE);
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Stored(kHelpWidthValue), std::to_wstring(640 * TwipsPerPixelX()));
    EXPECT_EQ(Stored(kHelpHeightValue), std::to_wstring(520 * TwipsPerPixelY()));

    window = OpenHelp();
    size = SizeInTwips(window);
    EXPECT_EQ(size.cx, 640 * TwipsPerPixelX());
    EXPECT_EQ(size.cy, 520 * TwipsPerPixelY());
    ::SendMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(HelpWindowTest, CloseMeHidesAtOnceAndUnloadsASecondLater) {
    const HWND window = OpenHelp();
    ::SendMessageW(window, WM_COMMAND, kHelpCloseCommand, 0);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(::IsWindowVisible(window));
    test::PumpMessages(1500);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_NE(Stored(kHelpWidthValue), L"<missing>");
}

TEST_F(HelpWindowTest, PrintingPaginatesUntilTheEndOfTheText) {
    const HWND window = OpenHelp();
    const HWND richEdit = RichEdit(window);
    ASSERT_TRUE(richEdit);
    const HDC memory = ::CreateCompatibleDC(nullptr);
    ASSERT_TRUE(memory);
    int started = 0, ended = 0;
    const PageSink counting{[&] { return ++started > 0; }, [&] { ++ended; }};

    const int letterPages = RenderPages(richEdit, memory, LayOutPage(12240, 15840, 0, 0, {}), counting);
    const int smallPages = RenderPages(richEdit, memory, LayOutPage(5760, 5760, 0, 0, {}), counting);
    EXPECT_GE(letterPages, 2);
    EXPECT_GT(smallPages, letterPages * 2) << "a smaller page takes more pages for the same text";
    EXPECT_EQ(started, letterPages + smallPages);
    EXPECT_EQ(ended, started);

    // A device that refuses a page stops the job.
    int refused = 0;
    EXPECT_EQ(RenderPages(richEdit, memory, LayOutPage(5760, 5760, 0, 0, {}), {[&] { return ++refused > 2; }}), 0);

    // An empty control prints one empty page and stops.
    ::SendMessageW(richEdit, EM_SETREADONLY, FALSE, 0);
    ::SetWindowTextW(richEdit, L"");
    EXPECT_EQ(RenderPages(richEdit, memory, LayOutPage(12240, 15840, 0, 0, {}), {}), 1);
    ::DeleteDC(memory);
    ::SendMessageW(window, WM_CLOSE, 0, 0);
}

}  // namespace
}  // namespace qm
