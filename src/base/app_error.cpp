#include "base/app_error.h"

#include <exception>

#include "base/text.h"

namespace qm {

ComponentError::ComponentError(std::uint32_t number, std::wstring source, std::wstring description)
    : std::runtime_error(NarrowUtf8(description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::wstring AppErrorText(std::wstring_view description, const TrapSite& site, unsigned line) {
    std::wstring text(description);
    text += kCrLf;
    text += L"in Quillmere.";
    text += site.module;
    text += L".";
    text += site.procedure;
    text += L" at line ";
    text += std::to_wstring(line);
    return text;
}

void ReportAppError(Dialogs& dialogs, std::wstring_view description, const TrapSite& site, unsigned line) {
    dialogs.ShowMessage({AppErrorText(description, site, line), kTitleAppError, MB_OK | MB_ICONEXCLAMATION});
}

std::wstring DescribeCurrentException() {
    try {
        throw;
    } catch (const ComponentError& error) {
        return error.Description();
    } catch (const std::exception& error) {
        return WidenUtf8(error.what());
    } catch (...) {
        return L"Unexpected error";
    }
}

}  // namespace qm
