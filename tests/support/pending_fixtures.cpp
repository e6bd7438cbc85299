#include "support/pending_fixtures.h"

#include "clean/restart_operations.h"

namespace qm::test {

ScopedPendingOperations::ScopedPendingOperations() : saved_(Read()) { Remove(); }

ScopedPendingOperations::~ScopedPendingOperations() {
    if (saved_) WriteRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, saved_->type, saved_->bytes);
    else Remove();
}

std::optional<RawValue> ScopedPendingOperations::Read() {
    return ReadRaw(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue);
}

void ScopedPendingOperations::Write(const std::wstring& characters, DWORD type) {
    WriteRawText(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, type, characters);
}

void ScopedPendingOperations::Remove() { ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue); }

std::wstring OtherProgramsPending() {
    using namespace std::string_literals;
    return L"\\??\\C:\\Other\\update.tmp\0\0"s                                   // a delete
           L"\\??\\C:\\Other\\new.dll\0!\\??\\C:\\Other\\old.dll\0"s            // a replacing move
           L"\\??\\C:\\Andere\\\u00DCbung \u6F22\u5B57.txt\0\0"s                 // a non-ASCII path
           L"\0"s;
}

}  // namespace qm::test
