#include "online/web.h"

#include <shellapi.h>
#include <winhttp.h>

#include <utility>
#include <vector>

#include "base/handles.h"
#include "base/system_library.h"
#include "base/program_version.h"
#include "base/text.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

// WinHTTP, loaded at the first use of the web and kept: it resolves names and keeps
// connections on threads of its own, which may still run after a request has failed,
// timed out or ended, so letting it go could pull its code from under them.
class WinHttp {
public:
    WinHttp() {
        static const HMODULE module = KeptSystemLibrary(L"winhttp.dll");
        FindExport(module, "WinHttpCrackUrl", CrackUrl);
        FindExport(module, "WinHttpOpen", Open);
        FindExport(module, "WinHttpSetTimeouts", SetTimeouts);
        FindExport(module, "WinHttpConnect", Connect);
        FindExport(module, "WinHttpOpenRequest", OpenRequest);
        FindExport(module, "WinHttpSetOption", SetOption);
        FindExport(module, "WinHttpSendRequest", SendRequest);
        FindExport(module, "WinHttpReceiveResponse", ReceiveResponse);
        FindExport(module, "WinHttpQueryHeaders", QueryHeaders);
        FindExport(module, "WinHttpReadData", ReadData);
        FindExport(module, "WinHttpCloseHandle", CloseHandle);
    }
    WinHttp(const WinHttp&) = delete;
    WinHttp& operator=(const WinHttp&) = delete;

    bool Loaded() const {
        return CrackUrl && Open && SetTimeouts && Connect && OpenRequest && SetOption && SendRequest &&
               ReceiveResponse && QueryHeaders && ReadData && CloseHandle;
    }
    decltype(&::WinHttpCrackUrl) CrackUrl;
    decltype(&::WinHttpOpen) Open;
    decltype(&::WinHttpSetTimeouts) SetTimeouts;
    decltype(&::WinHttpConnect) Connect;
    decltype(&::WinHttpOpenRequest) OpenRequest;
    decltype(&::WinHttpSetOption) SetOption;
    decltype(&::WinHttpSendRequest) SendRequest;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse;
    decltype(&::WinHttpQueryHeaders) QueryHeaders;
    decltype(&::WinHttpReadData) ReadData;
    decltype(&::WinHttpCloseHandle) CloseHandle;
};

constexpr DWORD kReadPiece = 64 * 1024;

struct ParsedUrl {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring pathAndQuery;
};

bool ParseUrl(const WinHttp& http, const std::wstring& url, ParsedUrl& parsed) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!http.CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTPS && parts.nScheme != INTERNET_SCHEME_HTTP) return false;
    parsed.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    parsed.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    parsed.port = parts.nPort;
    parsed.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) parsed.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (parsed.pathAndQuery.empty()) parsed.pathAndQuery = L"/";
    return !parsed.host.empty();
}

WebStatus StatusOfError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT: return WebStatus::TimedOut;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return WebStatus::Untrusted;
        case ERROR_WINHTTP_REDIRECT_FAILED: return WebStatus::NotSecure;
        case ERROR_OPERATION_ABORTED: return WebStatus::Cancelled;
        default: return WebStatus::NoConnection;
    }
}

// One GET request with its session: sent, answered, read piece by piece.
class Request {
public:
    explicit Request(WinHttp& http) : http_(http) {}
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request() { Close(); }

    WebStatus Open(const ParsedUrl& url, DWORD timeoutMs) {
        Close();
        const std::wstring agent = L"Quillmere/" + ProgramVersionText();
        session_ = http_.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session_) return WebStatus::NoConnection;
        const int timeout = static_cast<int>(timeoutMs);
        http_.SetTimeouts(session_, timeout, timeout, timeout, timeout);
        connection_ = http_.Connect(session_, url.host.c_str(), url.port, 0);
        if (!connection_) return Failed();
        request_ = http_.OpenRequest(connection_, L"GET", url.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     WINHTTP_FLAG_REFRESH | (url.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request_) return Failed();
        // Redirects are followed by the caller, who checks where each one leads.
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        http_.SetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
        if (!http_.SendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !http_.ReceiveResponse(request_, nullptr))
            return Failed();
        return WebStatus::Ok;
    }

    DWORD HttpStatus() const {
        DWORD status = 0, size = sizeof(status);
        http_.QueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        return status;
    }

    // The target of a redirect, as the server gave it.
    std::wstring Location() const {
        std::wstring location(4096, L'\0');
        DWORD size = static_cast<DWORD>(location.size() * sizeof(wchar_t));
        if (!http_.QueryHeaders(request_, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                                   location.data(), &size, WINHTTP_NO_HEADER_INDEX))
            return {};
        location.resize(size / sizeof(wchar_t));
        return location;
    }

    // A declared length above the limit is refused before anything is read.
    bool DeclaredLengthFits(std::uint64_t maxBytes) const {
        wchar_t text[32] = {};
        DWORD size = sizeof(text);
        if (!http_.QueryHeaders(request_, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text,
                                   &size, WINHTTP_NO_HEADER_INDEX))
            return true;  // not declared: counted while reading
        std::int64_t length = 0;
        return TryParseInt(text, length) && length >= 0 && static_cast<std::uint64_t>(length) <= maxBytes;
    }

    // Reads the body piece by piece into sink; stops at the limit or when keepGoing says so.
    template <class Sink>
    WebStatus ReadBody(std::uint64_t maxBytes, const std::function<bool()>& keepGoing, Sink&& sink) {
        std::vector<char> piece(kReadPiece);
        std::uint64_t total = 0;
        for (;;) {
            if (keepGoing && !keepGoing()) return WebStatus::Cancelled;
            DWORD read = 0;
            if (!http_.ReadData(request_, piece.data(), kReadPiece, &read)) return Failed();
            if (read == 0) return WebStatus::Ok;
            total += read;
            if (total > maxBytes) return WebStatus::TooLarge;
            if (!sink(piece.data(), read)) return WebStatus::WriteFailed;
        }
    }

private:
    static WebStatus Failed() { return StatusOfError(::GetLastError()); }

    // The request first, its session last.
    void Close() {
        for (HINTERNET* handle : {&request_, &connection_, &session_})
            if (*handle) http_.CloseHandle(std::exchange(*handle, nullptr));
    }

    WinHttp& http_;
    HINTERNET session_ = nullptr, connection_ = nullptr, request_ = nullptr;
};

// Where a redirect leads: an absolute url, or a path on the same server.
std::wstring ResolveLocation(const ParsedUrl& from, const std::wstring& location) {
    if (!StartsWith(location, L"/") || StartsWith(location, L"//")) return location;
    return std::wstring(from.secure ? L"https://" : L"http://") + from.host + L":" + std::to_wstring(from.port) +
           location;
}

// Opens a GET of a https url, following redirects only as long as they stay on https,
// and checks what came back; Ok when the body may be read.
WebReply StartSecureGet(const WinHttp& http, Request& request, std::wstring url, const WebLimits& limits) {
    constexpr int kMostRedirects = 5;
    WebReply reply;
    for (int redirects = 0;; ++redirects) {
        ParsedUrl parsed;
        if (!ParseUrl(http, url, parsed)) return reply;
        if (!parsed.secure) {
            reply.status = WebStatus::NotSecure;
            return reply;
        }
        reply.status = request.Open(parsed, limits.timeoutMs);
        if (!reply.Ok()) return reply;
        reply.httpStatus = request.HttpStatus();
        const bool redirect = reply.httpStatus >= 300 && reply.httpStatus < 400 && reply.httpStatus != 304;
        if (!redirect) break;
        if (redirects == kMostRedirects) {
            reply.status = WebStatus::HttpError;
            return reply;
        }
        url = ResolveLocation(parsed, request.Location());
    }
    if (reply.httpStatus != HTTP_STATUS_OK) reply.status = WebStatus::HttpError;
    else if (!request.DeclaredLengthFits(limits.maxBytes)) reply.status = WebStatus::TooLarge;
    return reply;
}

std::wstring SettingText(RegOp& settings, const wchar_t* name) { return TrimSpaces(settings.Text(name)); }

}  // namespace

std::wstring WebSite::Url(std::wstring_view path) const {
    const bool defaultPort = (scheme == L"https" && port == 443) || (scheme == L"http" && port == 80);
    return scheme + L"://" + host + (defaultPort ? L"" : L":" + std::to_wstring(port)) + std::wstring(path);
}

WebSite ConfiguredWebSite() {
    WebSite site;
    RegOp settings;
    settings.SetKey(kProgramKey);
    const std::wstring scheme = ToLower(SettingText(settings, L"WebScheme"));
    if (scheme == L"https" || scheme == L"http") {
        site.scheme = scheme;
        site.port = scheme == L"https" ? 443 : 80;
    }
    const std::wstring host = SettingText(settings, L"WebHost");
    if (!host.empty() && host.find_first_of(L"/\\:@?# ") == std::wstring::npos) site.host = host;
    std::int64_t port = 0;
    if (TryParseInt(SettingText(settings, L"WebPort"), port) && port > 0 && port <= 65535)
        site.port = static_cast<int>(port);
    return site;
}

bool WinHttpWeb::Answers(const std::wstring& url, DWORD timeoutMs) {
    WinHttp http;
    ParsedUrl parsed;
    if (!http.Loaded() || !ParseUrl(http, url, parsed)) return false;
    Request request(http);
    return request.Open(parsed, timeoutMs) == WebStatus::Ok;
}

WebReply WinHttpWeb::Get(const std::wstring& url, const WebLimits& limits) {
    WinHttp http;
    if (!http.Loaded()) return {};
    Request request(http);
    WebReply reply = StartSecureGet(http, request, url, limits);
    if (!reply.Ok()) return reply;
    reply.status = request.ReadBody(limits.maxBytes, nullptr, [&](const char* bytes, DWORD count) {
        reply.body.append(bytes, count);
        return true;
    });
    if (!reply.Ok()) reply.body.clear();
    return reply;
}

WebReply WinHttpWeb::Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                              const std::function<bool()>& keepGoing) {
    WinHttp http;
    if (!http.Loaded()) return {};
    Request request(http);
    WebReply reply = StartSecureGet(http, request, url, limits);
    if (!reply.Ok()) return reply;
    {
        UniqueFile target(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
        if (!target) {
            reply.status = WebStatus::WriteFailed;
            return reply;
        }
        reply.status = request.ReadBody(limits.maxBytes, keepGoing, [&](const char* bytes, DWORD count) {
            DWORD written = 0;
            return ::WriteFile(target.get(), bytes, count, &written, nullptr) && written == count;
        });
    }
    if (!reply.Ok()) ::DeleteFileW(file.c_str());
    return reply;
}

bool WinHttpWeb::OpenPage(HWND owner, const std::wstring& url) {
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
           32;
}

}  // namespace qm
