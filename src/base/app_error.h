#pragma once
// Local error trapping. A failing step reports in the "Application Error" box, naming
// module, procedure and line, and the routine goes on with its next step.
#include <cstdint>
#include <source_location>
#include <stdexcept>
#include <string>

#include "base/dialogs.h"

namespace qm {

// The error number that the program's classes raise for a fault inside a member.
inline constexpr std::uint32_t kComponentErrorNumber = 0x80040064;

// A fault passed to the caller: number, source ("Quillmere.RegOp.Value") and description.
class ComponentError : public std::runtime_error {
public:
    ComponentError(std::uint32_t number, std::wstring source, std::wstring description);
    std::uint32_t Number() const { return number_; }
    const std::wstring& Source() const { return source_; }
    const std::wstring& Description() const { return description_; }

private:
    std::uint32_t number_;
    std::wstring source_;
    std::wstring description_;
};

// Where a trap sits: the module and procedure named in the report.
struct TrapSite {
    const wchar_t* module;
    const wchar_t* procedure;
};

// The report text: description, line break, "in Quillmere.<module>.<procedure> at line <n>".
std::wstring AppErrorText(std::wstring_view description, const TrapSite& site, unsigned line);
void ReportAppError(Dialogs& dialogs, std::wstring_view description, const TrapSite& site, unsigned line);

// The description of whatever a step threw.
std::wstring DescribeCurrentException();

// Runs one step; an exception it throws is reported with the caller's line and swallowed,
// so the caller goes on with its next step. Returns false when the step failed.
template <class Step>
bool TrapStep(Dialogs& dialogs, const TrapSite& site, Step&& step,
              std::source_location where = std::source_location::current()) {
    try {
        step();
        return true;
    } catch (...) {
        ReportAppError(dialogs, DescribeCurrentException(), site, where.line());
        return false;
    }
}

// Runs one step whose failure is expected and simply skipped (locked files and the like).
template <class Step>
bool IgnoreErrors(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace qm
