#pragma once
// RegOp: one object per use, pointed at a root and a key path; reads values through a
// case-insensitive cache of the key's values and writes values adapted to their type.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/handles.h"
#include "base/text.h"

namespace qm {

class Dialogs;

inline constexpr wchar_t kProgramKey[] = L"Software\\Dorvik Software\\Quillmere";
inline constexpr wchar_t kCleanPathKey[] = L"Software\\Dorvik Software\\Quillmere\\CleanPath";
inline constexpr wchar_t kUserFolderKey[] = L"Software\\Dorvik Software\\Quillmere\\UserFolder";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A value as read or written: nothing, a text, a 32-bit number or a list of texts.
class RegVariant {
public:
    using Storage = std::variant<std::monostate, std::wstring, std::int32_t, std::vector<std::wstring>>;

    RegVariant() = default;
    RegVariant(std::wstring text) : value_(std::move(text)) {}
    RegVariant(const wchar_t* text) : value_(std::wstring(text)) {}
    RegVariant(std::int32_t number) : value_(number) {}
    RegVariant(std::vector<std::wstring> texts) : value_(std::move(texts)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsText() const { return std::holds_alternative<std::wstring>(value_); }
    bool IsNumber() const { return std::holds_alternative<std::int32_t>(value_); }
    bool IsArray() const { return std::holds_alternative<std::vector<std::wstring>>(value_); }
    const Storage& Get() const { return value_; }

    // The text form: empty for nothing, decimal for a number, texts joined by NUL.
    std::wstring Text() const;
    bool operator==(const RegVariant& other) const { return value_ == other.value_; }

private:
    Storage value_;
};

class RegOp {
public:
    enum Options : int { kNumbersAsText = 1, kMultiAsArray = 2, kExpandOnRead = 4, kShowErrors = 8 };

    RegOp();                     // NT flag from the running system
    explicit RegOp(bool isNt);   // NT flag given (the 9x branch passes no access mask)
    RegOp(const RegOp&) = delete;
    RegOp& operator=(const RegOp&) = delete;

    HKEY Root() const { return root_; }
    // HKCR, HKCU and HKLM are taken; any other root selects HKCU.
    void SetRoot(HKEY root);
    const std::wstring& Key() const { return keyPath_; }
    // Empty is ignored; the same path in other letter case keeps the open key and cache.
    void SetKey(std::wstring_view path);
    int Options() const { return options_; }
    void SetOptions(int options) { options_ = options & 15; }
    // Where the kShowErrors notices go; without it (or the option) failures stay silent.
    void SetErrorDialogs(Dialogs* dialogs) { errorDialogs_ = dialogs; }

    // A missing value reads as an empty variant. The key is created by any open, reads too.
    RegVariant Value(std::wstring_view name);
    // The value's text form ("" when missing); what most callers want.
    std::wstring Text(std::wstring_view name) { return Value(name).Text(); }
    // Throws ComponentError (0x80040064, "Quillmere.RegOp.Value") when the content
    // cannot take the existing value's type.
    void SetValue(std::wstring_view name, const RegVariant& content);
    bool DeleteValue(std::wstring_view name);
    // Deletes the key named by Key with its whole subtree; Key then names the parent.
    bool DeleteKey();

    // Counts as last reported for the open key.
    DWORD SubKeyCount() const { return subKeys_; }
    DWORD ValueCount() const { return values_; }

    // The access mask an operation asks for: reads, writes, deletions.
    enum class Access { Read, Write, Delete };
    static REGSAM WantedAccess(Access access, bool isNt);

    // Whether text refers to a defined environment variable, as in "%TEMP%\x".
    static bool HasEnvironmentReference(std::wstring_view text);

private:
    bool Open(Access access);
    bool Reopen();
    void ForgetKey();
    void RefreshCounts();
    void FillCache();
    void ReadValueAt(DWORD index);
    RegVariant AdaptToExisting(std::wstring_view name, const RegVariant& content, bool& writable);
    void Write(std::wstring_view name, const RegVariant& content);
    void Notify(const wchar_t* text) const;

    HKEY root_ = HKEY_CURRENT_USER;
    std::wstring keyPath_;
    int options_ = 0;
    Dialogs* errorDialogs_ = nullptr;
    UniqueRegKey handle_;
    REGSAM openAccess_ = 0;
    Access wanted_ = Access::Read;
    bool isNt_ = true;
    std::map<std::wstring, RegVariant, NoCaseLess> cache_;
    DWORD subKeys_ = 0, values_ = 0, maxSubKeyLen_ = 0, maxValueNameLen_ = 0, maxValueLen_ = 0;
};

// True when the running system reports the NT platform.
bool IsWinNT();

}  // namespace qm
