#pragma once
// The system's list of restart-time operations ("PendingFileRenameOperations"), which the
// system's own call writes under the real HKEY_LOCAL_MACHINE of the test prefix: each
// test starts from the list it arranges and the list is put back as it was afterwards.
#include <windows.h>

#include <optional>
#include <string>

#include "support/raw_registry.h"

namespace qm::test {

class ScopedPendingOperations {
public:
    ScopedPendingOperations();  // starts with no pending operations
    ~ScopedPendingOperations();
    ScopedPendingOperations(const ScopedPendingOperations&) = delete;
    ScopedPendingOperations& operator=(const ScopedPendingOperations&) = delete;

    // The value exactly as stored, or nothing when absent.
    static std::optional<RawValue> Read();
    // Stores exactly these characters (NULs included) with this type.
    static void Write(const std::wstring& characters, DWORD type = REG_MULTI_SZ);
    static void Remove();

private:
    std::optional<RawValue> saved_;
};

// Other programs' pending operations in the stored form: a delete, a replacing move and a
// non-ASCII path, each pair with its terminators, and the list's closing terminator.
std::wstring OtherProgramsPending();

}  // namespace qm::test
