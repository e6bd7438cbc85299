#include "support/raw_registry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/handles.h"

namespace qm::test {

std::wstring RawValue::Wide() const {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name) {
    UniqueRegKey handle;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) {
        handle.release();
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &value.type, value.bytes.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    return value;
}

void WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& bytes) {
    UniqueRegKey handle;
    ASSERT_EQ(::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(handle.get(), name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void WriteRawText(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                  const std::wstring& characters) {
    std::vector<BYTE> bytes(characters.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), characters.data(), bytes.size());
    WriteRaw(root, key, name, type, bytes);
}

}  // namespace qm::test
