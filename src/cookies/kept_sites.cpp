#include "cookies/kept_sites.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "base/text.h"

namespace qm {

namespace {

extern "C" {
// ntdll's address parsers and printers (declared here: not every toolchain's headers have them).
LONG NTAPI RtlIpv4StringToAddressExW(PCWSTR text, BOOLEAN strict, void* address, PUSHORT port);
LONG NTAPI RtlIpv6StringToAddressExW(PCWSTR text, void* address, PULONG scope, PUSHORT port);
LONG NTAPI RtlIpv6AddressToStringExW(const void* address, ULONG scope, USHORT port, PWSTR text, PULONG length);
}

constexpr const char8_t* kPublicSuffixRules[] = {
#include "public_suffix_rules.inc"
};

std::string Narrow(std::wstring_view ascii) { return std::string(ascii.begin(), ascii.end()); }

// An IPv4 address written whole ("192.168.0.1"), or an IPv6 one with or without brackets.
std::optional<std::string> CanonicalIp(std::wstring text) {
    std::array<unsigned char, 4> v4{};
    USHORT port = 0;
    if (RtlIpv4StringToAddressExW(text.c_str(), TRUE, v4.data(), &port) == 0 && port == 0)
        return std::to_string(v4[0]) + "." + std::to_string(v4[1]) + "." + std::to_string(v4[2]) + "." +
               std::to_string(v4[3]);
    if (text.size() > 2 && text.front() == L'[' && text.back() == L']') text = text.substr(1, text.size() - 2);
    if (text.find(L':') == std::wstring::npos) return std::nullopt;
    std::array<unsigned char, 16> v6{};
    ULONG scope = 0;
    if (RtlIpv6StringToAddressExW(text.c_str(), v6.data(), &scope, &port) != 0 || port != 0 || scope != 0)
        return std::nullopt;
    wchar_t shortForm[64];
    ULONG length = std::size(shortForm);
    if (RtlIpv6AddressToStringExW(v6.data(), 0, 0, shortForm, &length) != 0) return std::nullopt;
    return Narrow(ToLower(std::wstring_view(shortForm, length ? length - 1 : 0)));
}

bool IsLdhLabel(std::string_view label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    return std::all_of(label.begin(), label.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

// The rules in their ASCII form, each kind in a set of its own.
struct SuffixRules {
    std::unordered_set<std::string> plain, wildcard, exception;  // "co.uk"; "*.ck" as "ck"; "!www.ck" as "www.ck"

    SuffixRules() {
        for (const char8_t* rule : kPublicSuffixRules) {
            const std::wstring wide = WidenUtf8(reinterpret_cast<const char*>(rule));
            std::wstring_view text = wide;
            auto* set = &plain;
            if (text.starts_with(L"!")) set = &exception, text.remove_prefix(1);
            else if (text.starts_with(L"*.")) set = &wildcard, text.remove_prefix(2);
            if (const auto host = CanonicalHost(text)) set->insert(*host);
        }
    }
};

const SuffixRules& Rules() {
    static const SuffixRules rules;
    return rules;
}

// The public suffix of a canonical host name that a rule of the list names, by the list's
// algorithm: the longest matching rule, an exception rule taking one label off. Nothing when no
// rule matches (the list's implicit "*" rule is left to the caller: an unlisted single label,
// such as "localhost" or a computer's name, is a host, not a suffix).
std::optional<std::string_view> ListedSuffixOf(std::string_view host) {
    const SuffixRules& rules = Rules();
    for (size_t start = 0;;) {
        const std::string_view candidate = host.substr(start);
        const std::string key(candidate);
        const size_t dot = candidate.find('.');
        if (rules.exception.count(key)) return candidate.substr(dot + 1);
        if (rules.plain.count(key)) return candidate;
        if (dot != std::string_view::npos && rules.wildcard.count(std::string(candidate.substr(dot + 1))))
            return candidate;
        if (dot == std::string_view::npos) return std::nullopt;
        start += dot + 1;
    }
}

}  // namespace

std::optional<std::string> CanonicalHost(std::wstring_view text) {
    if (text.starts_with(L".")) text.remove_prefix(1);
    if (text.ends_with(L".")) text.remove_suffix(1);
    if (text.empty() || text.size() > 253) return std::nullopt;
    if (auto ip = CanonicalIp(std::wstring(text))) return ip;
    wchar_t ascii[256];
    const int length = ::IdnToAscii(IDN_ALLOW_UNASSIGNED, text.data(), static_cast<int>(text.size()), ascii, 256);
    if (length <= 0) return std::nullopt;
    const std::string host = Narrow(ToLower(std::wstring_view(ascii, static_cast<size_t>(length))));
    for (size_t start = 0; start <= host.size();) {
        const size_t dot = std::min(host.find('.', start), host.size());
        if (!IsLdhLabel(std::string_view(host).substr(start, dot - start))) return std::nullopt;
        start = dot + 1;
    }
    return host;
}

bool IsIpAddress(std::string_view host) {
    return host.find(':') != std::string_view::npos ||
           (!host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }));
}

bool IsPublicSuffix(std::string_view host) { return !IsIpAddress(host) && ListedSuffixOf(host) == host; }

std::optional<std::string> RegistrableDomain(std::string_view host) {
    if (IsIpAddress(host) || host.find('.') == std::string_view::npos) return std::string(host);
    const std::string_view suffix = ListedSuffixOf(host).value_or(host.substr(host.find_last_of('.') + 1));
    if (suffix.size() >= host.size()) return std::nullopt;
    const std::string_view above = host.substr(0, host.size() - suffix.size() - 1);
    return std::string(host.substr(above.find_last_of('.') == std::string_view::npos ? 0 : above.find_last_of('.') + 1));
}

std::wstring SiteRefusalText(SiteRefusal refusal, std::wstring_view entry) {
    const std::wstring quoted = L"\"" + std::wstring(entry) + L"\"";
    switch (refusal) {
        case SiteRefusal::None: return {};
        case SiteRefusal::Empty: return L"An Empty Entry Keeps Nothing.";
        case SiteRefusal::NotAHostName: return quoted + L" Is Not A Site Or Host Name.";
        case SiteRefusal::PublicSuffix:
            return quoted + L" Is A Public Suffix, Under Which Anyone Can Register A Site: Keeping It Would Keep "
                            L"Thousands Of Sites. Keep The Site Itself (For Example \"example" +
                   (entry.starts_with(L"=") ? std::wstring(entry.substr(1)) : std::wstring(entry)) + L"\").";
    }
    return {};
}

std::wstring KeptSite::Text() const { return (hostOnly ? L"=" : L"") + WidenAnsi(host); }

ParsedSite ParseKeptSite(std::wstring_view entry) {
    const std::wstring trimmed = TrimWhite(entry);
    std::wstring_view text = trimmed;
    const bool hostOnly = text.starts_with(L"=");
    if (hostOnly) text.remove_prefix(1);
    if (text.empty()) return {std::nullopt, SiteRefusal::Empty};
    const std::optional<std::string> host = CanonicalHost(text);
    if (!host) return {std::nullopt, SiteRefusal::NotAHostName};
    if (IsPublicSuffix(*host)) return {std::nullopt, SiteRefusal::PublicSuffix};
    return {KeptSite{*host, hostOnly}, SiteRefusal::None};
}

void KeptSites::Add(const KeptSite& site) { (site.hostOnly ? hosts_ : sites_).insert(site.host); }

bool KeptSites::Keeps(std::string_view cookieDomain) const {
    const std::optional<std::string> host = CanonicalHost(WidenUtf8(cookieDomain));
    if (!host) return false;
    if (hosts_.count(*host) || sites_.count(*host)) return true;
    if (IsIpAddress(*host)) return false;  // an address matches only whole
    for (size_t dot = host->find('.'); dot != std::string::npos; dot = host->find('.', dot + 1))
        if (sites_.count(host->substr(dot + 1))) return true;
    return false;
}

}  // namespace qm
