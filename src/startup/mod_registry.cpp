#include "startup/mod_registry.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "startup/registry_data.h"

namespace qm {

namespace {

enum class TypeLetter { Text, Boolean, Number, Unknown };

TypeLetter ParseTypeLetter(std::wstring_view letter) {
    const std::wstring upper = ToUpper(letter);
    if (upper == L"S") return TypeLetter::Text;
    if (upper == L"B") return TypeLetter::Boolean;
    if (upper == L"D") return TypeLetter::Number;
    return TypeLetter::Unknown;
}

bool IsExistingFile(std::wstring_view name) {
    if (name.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(std::wstring(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Large enough for any INI line a person would write; guards against endless growth.
constexpr DWORD kMaxIniText = 1 << 20;

long ReadIni(const std::wstring& file, const std::wstring& section, const std::wstring& name, TypeLetter type,
             const std::wstring& defaultValue, std::wstring& value) {
    if (type != TypeLetter::Text)
        return static_cast<long>(::GetPrivateProfileIntW(section.c_str(), name.c_str(), 0, file.c_str()));
    std::wstring buffer(255, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            ::GetPrivateProfileStringW(section.c_str(), name.c_str(), defaultValue.c_str(), buffer.data(), size,
                                       file.c_str());
        // size - 1 means the text was cut to fit; read again with room for all of it.
        if (length + 1 < size || size >= kMaxIniText) {
            value.assign(buffer.data(), length);
            return static_cast<long>(length);
        }
        buffer.resize(size * 2);
    }
}

// The value's type and every byte of it, however large.
long ReadRegistryData(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    LONG status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    for (int attempt = 0; attempt < 3 && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA); ++attempt) {
        data.assign(size + sizeof(wchar_t), 0);
        DWORD read = static_cast<DWORD>(data.size());
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &read);
        size = read;  // on ERROR_MORE_DATA the value grew meanwhile: ask again with its new size
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            break;
        }
    }
    return status;
}

long ReadRegistryText(HKEY key, const std::wstring& name, std::wstring& value) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    const long status = ReadRegistryData(key, name, type, data);
    if (status != ERROR_SUCCESS) return status;
    // Numbers or binary data read as text would be garbage; leave the default instead.
    const std::optional<std::u16string> text = RegistryText(type, data);
    if (!text) return ERROR_UNSUPPORTED_TYPE;
    value = FromU16(*text);
    return ERROR_SUCCESS;
}

// A number of the given width in bytes, whatever the value's type, as the system reads it
// into a variable of that size: more bytes than that is "more data".
long ReadRegistryNumber(HKEY key, const std::wstring& name, size_t width, std::uint64_t& number) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    const long status = ReadRegistryData(key, name, type, data);
    if (status != ERROR_SUCCESS) return status;
    const std::optional<std::uint64_t> read = NumberOfWidth(data, width);
    if (!read) return ERROR_MORE_DATA;
    number = *read;
    return ERROR_SUCCESS;
}

long ReadRegistry(HKEY root, const std::wstring& path, const std::wstring& name, TypeLetter type,
                  std::wstring& value) {
    if (type == TypeLetter::Unknown) return ERROR_INVALID_PARAMETER;
    UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (opened != ERROR_SUCCESS) {
        key.release();
        return opened;
    }
    if (type == TypeLetter::Text) return ReadRegistryText(key.get(), name, value);
    std::uint64_t number = 0;
    if (type == TypeLetter::Boolean) {
        const long status = ReadRegistryNumber(key.get(), name, sizeof(std::uint16_t), number);
        if (status == ERROR_SUCCESS) value = number ? L"True" : L"False";
        return status;
    }
    const long status = ReadRegistryNumber(key.get(), name, sizeof(std::uint32_t), number);
    if (status == ERROR_SUCCESS) value = std::to_wstring(static_cast<std::int32_t>(static_cast<std::uint32_t>(number)));
    return status;
}

std::optional<std::int32_t> ParseNumber(std::wstring_view text) {
    std::int64_t number = 0;
    if (!TryParseInt(text, number) || number < INT32_MIN || number > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(number);
}

// "True"/"False" in any case, or a number (non-zero is True), as the Boolean is written.
std::optional<bool> ParseBoolean(std::wstring_view text) {
    const std::wstring trimmed = TrimSpaces(text);
    if (EqualsNoCase(trimmed, L"True")) return true;
    if (EqualsNoCase(trimmed, L"False")) return false;
    if (const auto number = ParseNumber(trimmed)) return *number != 0;
    return std::nullopt;
}

struct EncodedValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

template <class Number>
EncodedValue EncodeNumber(DWORD type, Number number) {
    EncodedValue encoded{type, std::vector<BYTE>(sizeof(number))};
    std::memcpy(encoded.bytes.data(), &number, sizeof(number));
    return encoded;
}

// The bytes a value text is stored as; nothing when it does not fit the type.
std::optional<EncodedValue> Encode(TypeLetter type, std::wstring_view text) {
    switch (type) {
    case TypeLetter::Text: {
        const std::wstring data = std::wstring(text) + L'\0';
        EncodedValue encoded{REG_SZ, std::vector<BYTE>(data.size() * sizeof(wchar_t))};
        std::memcpy(encoded.bytes.data(), data.data(), encoded.bytes.size());
        return encoded;
    }
    case TypeLetter::Boolean:
        if (const auto flag = ParseBoolean(text))
            return EncodeNumber(REG_BINARY, static_cast<std::uint16_t>(*flag ? 0xFFFF : 0));  // True is -1
        return std::nullopt;
    case TypeLetter::Number:
        if (const auto number = ParseNumber(text)) return EncodeNumber(REG_DWORD, static_cast<std::uint32_t>(*number));
        return std::nullopt;
    case TypeLetter::Unknown:
        break;
    }
    return std::nullopt;
}

long WriteRegistry(HKEY root, const std::wstring& path, const std::wstring& name, TypeLetter type,
                   std::wstring_view text) {
    if (type == TypeLetter::Unknown) return ERROR_INVALID_PARAMETER;
    const std::optional<EncodedValue> encoded = Encode(type, text);
    if (!encoded) return ERROR_INVALID_DATA;
    UniqueRegKey key;
    const LONG opened =
        ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                          nullptr);
    if (opened != ERROR_SUCCESS) {
        key.release();
        return opened;
    }
    return ::RegSetValueExW(key.get(), name.c_str(), 0, encoded->type, encoded->bytes.data(),
                            static_cast<DWORD>(encoded->bytes.size()));
}

}  // namespace

HKEY fTopKey(std::wstring_view name) {
    static const struct {
        const wchar_t* name;
        HKEY root;
    } kRoots[] = {
        {L"HKCU", HKEY_CURRENT_USER},  {L"HKLM", HKEY_LOCAL_MACHINE},  {L"HKU", HKEY_USERS},
        {L"HKDD", HKEY_DYN_DATA},      {L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKCR", HKEY_CLASSES_ROOT},
    };
    const std::wstring upper = ToUpper(name);
    for (const auto& root : kRoots)
        if (upper == root.name) return root.root;
    return IsExistingFile(name) ? IniFileRoot() : nullptr;
}

long fReadValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                std::wstring_view typeLetter, std::wstring_view defaultValue, std::wstring& value) {
    value = defaultValue;
    const HKEY top = fTopKey(root);
    if (!top) return kUnknownRootStatus;
    const TypeLetter type = ParseTypeLetter(typeLetter);
    if (top == IniFileRoot())
        return ReadIni(std::wstring(root), std::wstring(keyOrSection), std::wstring(name), type,
                       std::wstring(defaultValue), value);
    return ReadRegistry(top, std::wstring(keyOrSection), std::wstring(name), type, value);
}

long fWriteValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                 std::wstring_view typeLetter, std::wstring_view value) {
    const HKEY top = fTopKey(root);
    if (!top) return kUnknownRootStatus;
    if (top == IniFileRoot()) {
        if (::WritePrivateProfileStringW(std::wstring(keyOrSection).c_str(), std::wstring(name).c_str(),
                                         std::wstring(value).c_str(), std::wstring(root).c_str()))
            return ERROR_SUCCESS;
        const DWORD error = ::GetLastError();
        return error ? static_cast<long>(error) : ERROR_WRITE_FAULT;
    }
    return WriteRegistry(top, std::wstring(keyOrSection), std::wstring(name), ParseTypeLetter(typeLetter), value);
}

}  // namespace qm
