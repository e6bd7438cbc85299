#include "help/print_rtf.h"

#include <richedit.h>
#include <winspool.h>

#include <string>

#include "base/handles.h"

namespace qm {

namespace {

constexpr int kTwipsPerInch = 1440;

struct PrinterDc {
    HDC dc = nullptr;
    explicit PrinterDc(HDC device) : dc(device) {}
    PrinterDc(const PrinterDc&) = delete;
    PrinterDc& operator=(const PrinterDc&) = delete;
    ~PrinterDc() {
        if (dc) ::DeleteDC(dc);
    }
};

std::wstring DefaultPrinterName() {
    DWORD length = 0;
    ::GetDefaultPrinterW(nullptr, &length);
    if (length == 0) return {};
    std::wstring name(length, L'\0');
    if (!::GetDefaultPrinterW(name.data(), &length)) return {};
    name.resize(name.find(L'\0') == std::wstring::npos ? name.size() : name.find(L'\0'));
    return name;
}

int DeviceTwips(HDC device, int pixelsIndex, int dpiIndex) {
    const int dpi = ::GetDeviceCaps(device, dpiIndex);
    return dpi > 0 ? ::MulDiv(::GetDeviceCaps(device, pixelsIndex), kTwipsPerInch, dpi) : 0;
}

// Lays out one page from character first on; answers the first character not on it.
class PageFormatter {
public:
    virtual ~PageFormatter() = default;
    virtual LONG Format(LONG first, bool render) = 0;
};

// The rich edit control's own page layout, with all its formatting.
class RichRangeFormatter final : public PageFormatter {
public:
    RichRangeFormatter(HWND richEdit, HDC device, const PageLayout& layout) : richEdit_(richEdit) {
        range_.hdc = device;
        range_.hdcTarget = device;
        range_.rcPage = layout.page;
        text_ = layout.text;
        range_.chrg.cpMax = -1;
    }
    ~RichRangeFormatter() override { ::SendMessageW(richEdit_, EM_FORMATRANGE, FALSE, 0); }  // frees its cache
    LONG Format(LONG first, bool render) override {
        range_.rc = text_;  // the control writes back the height it used
        range_.chrg.cpMin = first;
        return static_cast<LONG>(
            ::SendMessageW(richEdit_, EM_FORMATRANGE, render ? TRUE : FALSE, reinterpret_cast<LPARAM>(&range_)));
    }

private:
    HWND richEdit_;
    FORMATRANGE range_{};
    RECT text_{};
};

// The text without its formatting, word-wrapped in the body font: as many characters
// per page as fit, found by halving.
class PlainTextFormatter final : public PageFormatter {
public:
    PlainTextFormatter(std::wstring text, HDC device, const PageLayout& layout)
        : text_(std::move(text)), device_(device) {
        const int dpiX = ::GetDeviceCaps(device, LOGPIXELSX), dpiY = ::GetDeviceCaps(device, LOGPIXELSY);
        box_ = {::MulDiv(layout.text.left, dpiX, kTwipsPerInch), ::MulDiv(layout.text.top, dpiY, kTwipsPerInch),
                ::MulDiv(layout.text.right, dpiX, kTwipsPerInch), ::MulDiv(layout.text.bottom, dpiY, kTwipsPerInch)};
        font_.reset(::CreateFontW(-::MulDiv(10, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                  L"Segoe UI"));
        previousFont_ = ::SelectObject(device_, font_.get());
    }
    ~PlainTextFormatter() override { ::SelectObject(device_, previousFont_); }

    LONG Format(LONG first, bool render) override {
        const LONG total = static_cast<LONG>(text_.size());
        LONG fits = 0, tooMany = total - first + 1;
        while (tooMany - fits > 1) {  // fits characters fit, tooMany do not
            const LONG middle = fits + (tooMany - fits) / 2;
            (Height(first, middle) <= box_.bottom - box_.top ? fits : tooMany) = middle;
        }
        if (fits == 0 && first < total) fits = 1;  // a page always takes something
        if (render) {
            RECT box = box_;
            ::DrawTextW(device_, text_.data() + first, fits, &box, kDrawFlags);
        }
        return first + fits;
    }

private:
    static constexpr UINT kDrawFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL | DT_EXPANDTABS;
    int Height(LONG first, LONG count) {
        RECT box = box_;
        ::DrawTextW(device_, text_.data() + first, count, &box, kDrawFlags | DT_CALCRECT);
        return box.bottom - box.top;
    }

    std::wstring text_;
    HDC device_;
    RECT box_{};
    UniqueGdiObject font_;
    HGDIOBJ previousFont_ = nullptr;
};

std::wstring PlainText(HWND richEdit) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(richEdit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(richEdit, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Pages until the end of the text; a page that takes nothing ends the job rather than loop.
int Paginate(LONG textLength, PageFormatter& formatter, const PageSink& sink) {
    int pages = 0;
    LONG first = 0;
    do {
        if (!sink.startPage()) break;
        const LONG next = formatter.Format(first, true);
        sink.endPage();
        ++pages;
        if (next <= first) break;
        first = next;
    } while (first < textLength);
    return pages;
}

}  // namespace

PageLayout LayOutPage(int pageWidth, int pageHeight, int offsetX, int offsetY, const PrintMargins& margins) {
    PageLayout layout;
    layout.page = {0, 0, pageWidth, pageHeight};
    // The device's origin sits at the printable area's corner, offset from the paper's.
    layout.text = {margins.left - offsetX, margins.top - offsetY, pageWidth - margins.right - offsetX,
                   pageHeight - margins.bottom - offsetY};
    if (layout.text.right <= layout.text.left) layout.text.right = layout.text.left + kTwipsPerInch;
    if (layout.text.bottom <= layout.text.top) layout.text.bottom = layout.text.top + kTwipsPerInch;
    return layout;
}

int RenderPages(HWND richEdit, HDC device, const PageLayout& layout, const PageSink& sink) {
    GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
    const LONG textLength =
        static_cast<LONG>(::SendMessageW(richEdit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0));
    RichRangeFormatter rich(richEdit, device, layout);
    if (textLength == 0 || rich.Format(0, false) > 0) return Paginate(textLength, rich, sink);
    // The control cannot lay out pages (Wine's rich edit, for one): print its plain text.
    std::wstring text = PlainText(richEdit);
    const LONG plainLength = static_cast<LONG>(text.size());
    PlainTextFormatter plain(std::move(text), device, layout);
    return Paginate(plainLength, plain, sink);
}

bool PrintRTF(HWND richEdit, const PrintMargins& margins, const wchar_t* documentName) {
    const std::wstring printer = DefaultPrinterName();
    if (printer.empty()) return false;
    PrinterDc device(::CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr));
    if (!device.dc) return false;

    const PageLayout layout = LayOutPage(DeviceTwips(device.dc, PHYSICALWIDTH, LOGPIXELSX),
                                         DeviceTwips(device.dc, PHYSICALHEIGHT, LOGPIXELSY),
                                         DeviceTwips(device.dc, PHYSICALOFFSETX, LOGPIXELSX),
                                         DeviceTwips(device.dc, PHYSICALOFFSETY, LOGPIXELSY), margins);
    DOCINFOW job{};
    job.cbSize = sizeof(job);
    job.lpszDocName = documentName;
    if (::StartDocW(device.dc, &job) <= 0) return false;
    bool pageFailed = false;
    RenderPages(richEdit, device.dc, layout,
                {[&] { return !(pageFailed = ::StartPage(device.dc) <= 0); }, [&] { ::EndPage(device.dc); }});
    if (pageFailed) {
        ::AbortDoc(device.dc);
        return false;
    }
    ::EndDoc(device.dc);
    return true;
}

}  // namespace qm
