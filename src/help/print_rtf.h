#pragma once
// Printing the content of a rich edit control, page by page.
#include <windows.h>

#include <functional>

namespace qm {

class Dialogs;

// Margins and page geometry in twips (1/1440 inch).
struct PrintMargins {
    int left = 1440, top = 1440, right = 1440, bottom = 1440;
};

// The page as the device sees it: its whole printable area and the part that takes text.
struct PageLayout {
    RECT page{};  // the whole printable page
    RECT text{};  // the page less the margins
};

// The layout for a page of pageWidth x pageHeight twips whose printable area starts at
// (offsetX, offsetY): the margins are measured from the paper's edges.
PageLayout LayOutPage(int pageWidth, int pageHeight, int offsetX, int offsetY, const PrintMargins& margins);

// Calls the device around each page; StartPage returns false to stop the job.
struct PageSink {
    std::function<bool()> startPage = [] { return true; };
    std::function<void()> endPage = [] {};
};

// Formats the control's whole text onto the device, one page after another, until the
// end of the text. Returns the number of pages rendered. The control's cached format
// information is freed at the end.
int RenderPages(HWND richEdit, HDC device, const PageLayout& layout, const PageSink& sink);

// Prints the control's whole text on the default printer. False when there is no
// default printer or the job could not be started.
bool PrintRTF(HWND richEdit, const PrintMargins& margins, const wchar_t* documentName);

}  // namespace qm
