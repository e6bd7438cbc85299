#include "ui/dpi.h"

#include "base/system_library.h"

namespace qm {

namespace {

UINT SystemDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    // GetDpiForWindow exists from Windows 10 version 1607 on; earlier systems have one DPI.
    static const auto getDpiForWindow = [] {
        UINT(WINAPI * function)(HWND) = nullptr;
        FindExport(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow", function);
        return function;
    }();
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

UniqueGdiObject MessageFont(UINT dpi, int weight, int designHeightPoints) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
        // The metrics are given at the system DPI.
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    } else {
        font.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
        wcscpy_s(font.lfFaceName, L"Tahoma");
    }
    if (designHeightPoints > 0) font.lfHeight = -MulDiv(designHeightPoints, static_cast<int>(dpi), 72);
    if (weight > 0) font.lfWeight = weight;
    return UniqueGdiObject(::CreateFontIndirectW(&font));
}

}  // namespace qm
