#pragma once
// The web seam: every network request of the program goes through it, so tests decide
// what the network answers. The real one uses WinHTTP with the system's certificate checks.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

// Where the maker's web site is. Configuration: the program key's values "WebScheme",
// "WebHost" and "WebPort" replace the production address (https) when present and sound.
struct WebSite {
    std::wstring scheme = L"https";
    std::wstring host = L"www.dorviksoftware.com";
    int port = 443;

    // scheme://host[:port]path; path starts with "/".
    std::wstring Url(std::wstring_view path) const;
    std::wstring HomePage() const { return Url(L"/"); }
};
WebSite ConfiguredWebSite();

enum class WebStatus {
    Ok,
    HttpError,     // answered with a status other than 200
    NoConnection,  // name not resolved, connection refused or dropped
    Untrusted,     // the server's certificate failed the system's checks
    TimedOut,
    TooLarge,
    NotSecure,     // not https, or a redirect away from https
    Cancelled,
    WriteFailed,   // the target file could not be written
};

struct WebReply {
    WebStatus status = WebStatus::NoConnection;
    DWORD httpStatus = 0;
    std::string body;  // Get only
    bool Ok() const { return status == WebStatus::Ok; }
};

struct WebLimits {
    DWORD timeoutMs = 5000;          // resolving, connecting, sending, and each wait for data
    std::uint64_t maxBytes = 4096;   // a longer answer is refused
};

class Web {
public:
    virtual ~Web() = default;
    // Whether the system has a connection at all, and its INTERNET_CONNECTION_* flags.
    virtual bool ConnectedState(DWORD& flags) = 0;
    // Whether a request to url gets any answer from its server within timeoutMs.
    virtual bool Answers(const std::wstring& url, DWORD timeoutMs) = 0;
    // GET over https into memory.
    virtual WebReply Get(const std::wstring& url, const WebLimits& limits) = 0;
    // GET over https into a new file; keepGoing is asked between pieces (false cancels).
    // A failed or cancelled download leaves no file.
    virtual WebReply Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                              const std::function<bool()>& keepGoing) = 0;
    // Shows url in the user's default browser.
    virtual bool OpenPage(HWND owner, const std::wstring& url) = 0;
};

class WinHttpWeb final : public Web {
public:
    bool ConnectedState(DWORD& flags) override;
    bool Answers(const std::wstring& url, DWORD timeoutMs) override;
    WebReply Get(const std::wstring& url, const WebLimits& limits) override;
    WebReply Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                      const std::function<bool()>& keepGoing) override;
    bool OpenPage(HWND owner, const std::wstring& url) override;
};

}  // namespace qm
