#include "startup/reg_op.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <optional>

#include "base/app_error.h"
#include "base/dialogs.h"
#include "base/os_version.h"
#include "startup/registry_data.h"

namespace qm {

namespace {

constexpr wchar_t kUnsupportedFormat[] = L"(unsupported data format)";
constexpr wchar_t kRegistryErrorTitle[] = L"Registry Error";
// Environment entries looked at by the reference test; later ones are not considered.
constexpr int kMaxEnvironmentEntries = 100;

[[noreturn]] void ThrowComponentError(std::wstring_view member) {
    throw ComponentError(kComponentErrorNumber, L"Quillmere.RegOp." + std::wstring(member),
                         L"RegOp component failure");
}

// Runs a member's body; any fault but our own error reaches the caller as the component's
// error, named after the member.
template <class Body>
auto Guarded(std::wstring_view member, Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const ComponentError&) {
        throw;
    } catch (...) {
        ThrowComponentError(member);
    }
}

std::wstring ExpandEnvironment(const std::wstring& text) {
    const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::wstring expanded(needed, L'\0');
    const DWORD written = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed) return text;
    expanded.resize(written - 1);
    return expanded;
}

// The content the way this object hands it out, by the stored type and the options.
RegVariant DecodeValue(DWORD type, const std::vector<BYTE>& data, DWORD size, int options) {
    const ByteSpan bytes(data.data(), size);
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text = FromU16(RegistryText(type, bytes).value_or(u""));
        return (type == REG_EXPAND_SZ && (options & RegOp::kExpandOnRead)) ? ExpandEnvironment(text) : text;
    }
    case REG_DWORD:
        return static_cast<std::int32_t>(NumberFromBytes(bytes));
    case REG_MULTI_SZ: {
        const std::u16string text = MultiStringText(bytes);
        if (!(options & RegOp::kMultiAsArray)) return FromU16(text);
        std::vector<std::wstring> items;
        for (const auto& item : SplitAtNul(text)) items.push_back(FromU16(item));
        return items;
    }
    default:
        return kUnsupportedFormat;
    }
}

RegVariant AsText(const RegVariant& content) {
    if (content.IsArray()) ThrowComponentError(L"Value");  // a list has no single text
    return content.Text();
}

RegVariant AsNumber(const RegVariant& content) {
    if (content.IsNumber()) return content;
    std::int64_t number = 0;
    if (!content.IsText() || !TryParseInt(content.Text(), number) || number < INT32_MIN || number > INT32_MAX)
        ThrowComponentError(L"Value");
    return static_cast<std::int32_t>(number);
}

struct EnvironmentBlockDeleter {
    void operator()(wchar_t* block) const { ::FreeEnvironmentStringsW(block); }
};

}  // namespace

std::wstring RegVariant::Text() const {
    if (const auto* text = std::get_if<std::wstring>(&value_)) return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value_)) return std::to_wstring(*number);
    if (const auto* items = std::get_if<std::vector<std::wstring>>(&value_)) {
        std::wstring joined;
        for (size_t i = 0; i < items->size(); ++i) {
            if (i > 0) joined += L'\0';
            joined += (*items)[i];
        }
        return joined;
    }
    return {};
}

bool IsWinNT() {
    const std::optional<OsVersionRecord> record = SystemOsVersion().Query();
    // A system that cannot tell is a modern one; the 9x family always answers.
    return !record || record->platformId == VER_PLATFORM_WIN32_NT;
}

RegOp::RegOp() : RegOp(IsWinNT()) {}

RegOp::RegOp(bool isNt) : isNt_(isNt) {}

REGSAM RegOp::WantedAccess(Access access, bool isNt) {
    if (!isNt) return 0;  // Windows 9x ignores access masks
    switch (access) {
    case Access::Read:
        return KEY_READ;
    case Access::Write:
        return KEY_READ | KEY_WRITE;
    case Access::Delete:
        return KEY_ALL_ACCESS;
    }
    return KEY_READ;
}

bool RegOp::HasEnvironmentReference(std::wstring_view text) {
    const size_t first = text.find(L'%');
    if (first == std::wstring_view::npos || first == text.rfind(L'%')) return false;
    const std::unique_ptr<wchar_t, EnvironmentBlockDeleter> block(::GetEnvironmentStringsW());
    if (!block) return false;
    int looked = 0;
    for (const wchar_t* entry = block.get(); *entry && looked < kMaxEnvironmentEntries;
         entry += std::wcslen(entry) + 1) {
        const std::wstring_view line(entry);
        const std::wstring_view name = line.substr(0, line.find(L'='));
        if (name.empty()) continue;  // the hidden "=C:=C:\..." drive entries are no variables
        ++looked;
        if (ContainsNoCase(text, L"%" + std::wstring(name) + L"%")) return true;
    }
    return false;
}

void RegOp::SetRoot(HKEY root) {
    Guarded(L"Root", [&] {
        const bool accepted = root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE;
        const HKEY chosen = accepted ? root : HKEY_CURRENT_USER;
        if (chosen == root_) return;
        root_ = chosen;
        if (!keyPath_.empty()) Reopen();
    });
}

void RegOp::SetKey(std::wstring_view path) {
    Guarded(L"Key", [&] {
        if (path.empty()) return;
        if (keyPath_.empty()) {
            keyPath_ = path;  // opens at first use
            ForgetKey();
            return;
        }
        if (EqualsNoCase(keyPath_, path)) return;  // the registry ignores letter case
        keyPath_ = path;
        Reopen();
    });
}

RegVariant RegOp::Value(std::wstring_view name) {
    return Guarded(L"Value", [&] {
        if (cache_.empty()) FillCache();
        const auto found = cache_.find(name);
        return found == cache_.end() ? RegVariant() : found->second;
    });
}

void RegOp::SetValue(std::wstring_view name, const RegVariant& content) {
    Guarded(L"Value", [&] {
        if (content.IsEmpty() || !Open(Access::Write)) return;
        bool writable = true;
        RegVariant adapted = AdaptToExisting(name, content, writable);
        if (!writable) {
            Notify(L"Existing value has unsupported data type and will not be overwritten");
            return;
        }
        if (name.empty() || ((options_ & kNumbersAsText) && adapted.IsNumber())) adapted = AsText(adapted);
        Write(name, adapted);
        RefreshCounts();
        cache_.clear();
    });
}

bool RegOp::DeleteValue(std::wstring_view name) {
    return Guarded(L"DeleteValue", [&] {
        if (!Open(Access::Delete)) return false;
        if (::RegDeleteValueW(handle_.get(), std::wstring(name).c_str()) != ERROR_SUCCESS) return false;
        RefreshCounts();
        cache_.clear();
        return true;
    });
}

bool RegOp::DeleteKey() {
    return Guarded(L"DeleteKey", [&] {
        const size_t slash = keyPath_.rfind(L'\\');
        if (slash == std::wstring::npos || slash + 1 == keyPath_.size()) return false;
        const std::wstring child = keyPath_.substr(slash + 1);
        keyPath_.resize(slash);
        // The open handle and the cache belong to the key being deleted; drop them so the
        // parent is opened and its own values are read afterwards.
        ForgetKey();
        if (!Open(Access::Delete)) return false;
        if (::SHDeleteKeyW(handle_.get(), child.c_str()) != ERROR_SUCCESS) return false;
        RefreshCounts();
        cache_.clear();
        return true;
    });
}

bool RegOp::Open(Access access) {
    wanted_ = access;
    if (keyPath_.empty()) {
        Notify(L"No Key name specified!");
        return false;
    }
    const REGSAM mask = WantedAccess(access, isNt_);
    if (handle_ && openAccess_ != mask) handle_.reset();
    if (handle_) return true;

    wchar_t keyClass[] = L"1";
    const HKEY root = root_ ? root_ : HKEY_CURRENT_USER;
    if (::RegCreateKeyExW(root, keyPath_.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE, mask, nullptr,
                          handle_.put(), nullptr) != ERROR_SUCCESS) {
        handle_.release();  // a failed call leaves no handle behind
        Notify(L"Could not open Registry Key!");
        return false;
    }
    openAccess_ = mask;
    RefreshCounts();
    cache_.clear();
    return true;
}

bool RegOp::Reopen() {
    ForgetKey();
    return Open(wanted_);
}

void RegOp::ForgetKey() {
    handle_.reset();
    cache_.clear();
}

void RegOp::RefreshCounts() {
    if (::RegQueryInfoKeyW(handle_.get(), nullptr, nullptr, nullptr, &subKeys_, &maxSubKeyLen_, nullptr, &values_,
                           &maxValueNameLen_, &maxValueLen_, nullptr, nullptr) != ERROR_SUCCESS) {
        subKeys_ = values_ = maxSubKeyLen_ = maxValueNameLen_ = maxValueLen_ = 0;
    }
}

void RegOp::FillCache() {
    if (!Open(Access::Read)) return;
    cache_.clear();
    RefreshCounts();  // another program may have added values since the key was opened
    for (DWORD index = 0; index < values_; ++index) ReadValueAt(index);
}

void RegOp::ReadValueAt(DWORD index) {
    std::wstring name(maxValueNameLen_ + 1, L'\0');
    std::vector<BYTE> data(maxValueLen_ + sizeof(wchar_t));
    // A value that grew since the counts were taken gets bigger buffers, not skipped.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG status = ::RegEnumValueW(handle_.get(), index, name.data(), &nameLength, nullptr, &type,
                                            data.data(), &dataSize);
        if (status == ERROR_SUCCESS) {
            cache_[CutAtNul(std::wstring_view(name.data(), nameLength))] = DecodeValue(type, data, dataSize, options_);
            return;
        }
        if (status != ERROR_MORE_DATA) return;  // a value that cannot be read is skipped
        RefreshCounts();
        name.resize(std::max<size_t>(name.size() * 2, maxValueNameLen_ + 1));
        data.resize(std::max<size_t>({data.size() * 2, size_t{dataSize}, size_t{maxValueLen_}}) + sizeof(wchar_t));
    }
}

RegVariant RegOp::AdaptToExisting(std::wstring_view name, const RegVariant& content, bool& writable) {
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(handle_.get(), std::wstring(name).c_str(), nullptr, &type, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return content;  // a new value takes the type its content chooses
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return AsText(content);
    case REG_DWORD:
        return AsNumber(content);
    case REG_MULTI_SZ:
        return content;
    default:
        writable = false;  // binary and other data are never overwritten
        return content;
    }
}

void RegOp::Write(std::wstring_view name, const RegVariant& content) {
    const std::wstring valueName(name);
    if (content.IsNumber()) {
        const DWORD number = static_cast<DWORD>(std::get<std::int32_t>(content.Get()));
        ::RegSetValueExW(handle_.get(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                         sizeof(number));
        return;
    }
    std::wstring data = content.Text();
    DWORD type = REG_SZ;
    if (content.IsArray()) {
        data += std::wstring(2, L'\0');  // the list's closing double NUL
        type = REG_MULTI_SZ;
    } else {
        data += L'\0';  // the closing NUL is stored with the text
        if (HasEnvironmentReference(content.Text())) type = REG_EXPAND_SZ;
    }
    ::RegSetValueExW(handle_.get(), valueName.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void RegOp::Notify(const wchar_t* text) const {
    if ((options_ & kShowErrors) && errorDialogs_)
        errorDialogs_->ShowMessage({text, kRegistryErrorTitle, MB_OK | MB_ICONEXCLAMATION});
}

}  // namespace qm
