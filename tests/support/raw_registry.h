#pragma once
// Byte-exact registry access for tests: what a value holds on disk, type and all,
// read and arranged without going through the code under test.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qm::test {

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    // The bytes as UTF-16 text, every NUL kept.
    std::wstring Wide() const;
};

// Nothing when the key or value is missing.
std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name);
void WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& bytes);
// Text stored with exactly the characters given (embedded and closing NULs included).
void WriteRawText(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                  const std::wstring& characters);

}  // namespace qm::test
