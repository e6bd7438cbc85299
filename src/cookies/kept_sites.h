#pragma once
// Kept sites: one list for every browser and store. An entry keeps a site ("example.com": the
// cookies of that domain and of every name below it, on label boundaries) or one host only
// ("=www.example.com"). Hosts are compared as browsers compare cookie domains: letter case,
// one leading and one trailing "." ignored, internationalised names in their ASCII (punycode)
// form, IP addresses whole. A public suffix ("com", "co.uk", "github.io") is never an entry:
// it would keep thousands of sites.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qm {

// A host name or IP address as cookie domains are compared: lower case ASCII (an
// internationalised name in punycode), without one leading and one trailing "."; an IPv6
// address without brackets, in its short form. Nothing when it is no host name.
std::optional<std::string> CanonicalHost(std::wstring_view text);
bool IsIpAddress(std::string_view canonicalHost);

// Whether a canonical host is itself a public suffix (either section of the list).
bool IsPublicSuffix(std::string_view canonicalHost);
// The name a site is registered under: "mail.example.co.uk" gives "example.co.uk". An IP
// address or a single-label host gives itself; a public suffix gives nothing.
std::optional<std::string> RegistrableDomain(std::string_view canonicalHost);

enum class SiteRefusal { None, Empty, NotAHostName, PublicSuffix };
// Why an entry is refused, in one sentence for a box or the console.
std::wstring SiteRefusalText(SiteRefusal refusal, std::wstring_view entry);

struct KeptSite {
    std::string host;       // canonical
    bool hostOnly = false;  // "=host": that host only
    std::wstring Text() const;  // as stored: "example.com" or "=www.example.com"
};
struct ParsedSite {
    std::optional<KeptSite> site;
    SiteRefusal refusal = SiteRefusal::None;
};
// An entry as the user or a stored list gives it.
ParsedSite ParseKeptSite(std::wstring_view entry);

class KeptSites {
public:
    void Add(const KeptSite& site);
    bool Empty() const { return sites_.empty() && hosts_.empty(); }
    // Whether a cookie of this domain ("a.example.com", ".example.com") is kept: looked up by
    // the host's label suffixes, so the cost does not grow with the list.
    bool Keeps(std::string_view cookieDomain) const;

private:
    std::unordered_set<std::string> sites_;  // the host and every name below it
    std::unordered_set<std::string> hosts_;  // that host only
};

}  // namespace qm
