#include "support/keyboard.h"

#include <commctrl.h>

#include <algorithm>

namespace qm::test {

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool IsStaticText(HWND window) {
    return _wcsicmp(ClassOf(window).c_str(), L"Static") == 0 && !TextOf(window).empty();
}

}  // namespace

void PressKey(WPARAM key, const PumpStep& pump) {
    const HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, key, 1);
    ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    pump(50);
}

std::vector<HWND> TabCycle(HWND root, const PumpStep& pump, int limit) {
    ::SetForegroundWindow(root);
    ::SetFocus(::GetNextDlgTabItem(root, nullptr, FALSE));
    pump(50);
    std::vector<HWND> visited{::GetFocus()};
    for (int i = 0; i < limit; ++i) {
        PressKey(VK_TAB, pump);
        const HWND focus = ::GetFocus();
        if (focus == visited.front() || !focus) break;
        visited.push_back(focus);
    }
    return visited;
}

std::vector<HWND> TabStops(HWND root) {
    std::vector<HWND> stops;
    ::EnumChildWindows(
        root,
        [](HWND child, LPARAM found) {
            const auto style = ::GetWindowLongPtrW(child, GWL_STYLE);
            if ((style & WS_TABSTOP) && ::IsWindowVisible(child) && ::IsWindowEnabled(child))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&stops));
    return stops;
}

std::wstring AccessibleName(HWND control) {
    const std::wstring type = ClassOf(control);
    if (_wcsicmp(type.c_str(), L"Button") == 0) {
        const std::wstring text = TextOf(control);
        std::wstring caption;  // "&&" shows one "&"; a single one marks the access key
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != L'&') caption += text[i];
            else if (i + 1 < text.size() && text[i + 1] == L'&') caption += text[++i];
        }
        return caption;
    }
    if (type == WC_TABCONTROLW) {
        const int selected = static_cast<int>(::SendMessageW(control, TCM_GETCURSEL, 0, 0));
        wchar_t text[128] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        if (selected < 0 || !::SendMessageW(control, TCM_GETITEMW, static_cast<WPARAM>(selected),
                                            reinterpret_cast<LPARAM>(&item)))
            return L"";
        return text;
    }
    for (HWND before = ::GetWindow(control, GW_HWNDPREV); before; before = ::GetWindow(before, GW_HWNDPREV)) {
        if (!::IsWindowVisible(before)) continue;
        return IsStaticText(before) ? TextOf(before) : L"";
    }
    const HWND parent = ::GetParent(control);
    RECT client{}, own{};
    ::GetClientRect(parent, &client);
    ::GetClientRect(control, &own);
    const bool readOnly = (::GetWindowLongPtrW(control, GWL_STYLE) & ES_READONLY) != 0;
    const bool fills = own.right - own.left >= client.right - client.left - 30;  // a scroll bar may take room
    return readOnly && fills && !::GetWindow(control, GW_HWNDNEXT) ? TextOf(::GetAncestor(control, GA_ROOT)) : L"";
}

}  // namespace qm::test
