#pragma once
// A https server on loopback, reached by the name "localhost", for the online tests. Its
// certificate is made fresh for each server; a trusted server adds it to the current
// user's trusted roots of the test prefix for its lifetime (Wine matches no IP addresses
// in certificates, hence the name).
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <string_view>

#include "support/fixtures.h"

namespace qm::test {

class LocalHttpsServer {
public:
    enum class Trust { Trusted, Untrusted };
    explicit LocalHttpsServer(Trust trust = Trust::Trusted);
    ~LocalHttpsServer();
    LocalHttpsServer(const LocalHttpsServer&) = delete;
    LocalHttpsServer& operator=(const LocalHttpsServer&) = delete;

    bool Running() const { return port_ != 0; }
    int Port() const { return port_; }
    std::wstring Url(std::wstring_view path) const;  // https://localhost:<port><path>

    // Files the server answers with; path starts with "/".
    void Put(std::wstring_view path, std::string_view bytes) const;
    void Remove(std::wstring_view path) const;
    // Answers path with a 302 to location.
    void Redirect(std::wstring_view path, std::string_view location) const;

private:
    std::wstring Local(std::wstring_view path) const;
    TempFolder root_{L"qm-https"};
    int port_ = 0;
    PCCERT_CONTEXT trusted_ = nullptr;
};

// The servers every test of a run shares, started on first use. One pair per process: the
// system builds its view of the trusted roots once, at the first certificate check, so a
// root trusted later would not count. Use them with HKEY_CURRENT_USER not redirected.
LocalHttpsServer& SharedTrustedServer();
LocalHttpsServer& SharedUntrustedServer();

}  // namespace qm::test
