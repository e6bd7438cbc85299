#include "support/https_server.h"

#include <chrono>
#include <thread>

#include "base/text.h"

#ifndef QM_TESTS_SOURCE_DIR
#error "QM_TESTS_SOURCE_DIR names the tests folder (for the server script)"
#endif

namespace qm::test {

namespace {

// Into the current user's trusted roots in the registry. Wine answers a "Root" system store
// with a view of its own that forgets what is added; the registry store is what chains read.
PCCERT_CONTEXT TrustCertificate(const std::string& der) {
    const HCERTSTORE roots = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!roots) return nullptr;
    PCCERT_CONTEXT added = nullptr;
    ::CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added);
    ::CertCloseStore(roots, 0);
    return added;
}

}  // namespace

LocalHttpsServer::LocalHttpsServer(Trust trust) {
    const std::string unixRoot = WineUnixPath(root_.Path());
    if (unixRoot.empty()) return;
    RunUnixCommand(L"/usr/bin/python3 \"" + WidenUtf8(QM_TESTS_SOURCE_DIR) + L"/online/https_test_server.py\" --root \"" +
                   WidenUtf8(unixRoot) + L"\" --lifetime 900");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!PathExists(root_ / L"server-port") && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!PathExists(root_ / L"server-port")) return;
    port_ = std::stoi(ReadBytes(root_ / L"server-port"));
    if (trust == Trust::Trusted) trusted_ = TrustCertificate(ReadBytes(root_ / L"server-cert.der"));
}

LocalHttpsServer::~LocalHttpsServer() {
    if (trusted_) ::CertDeleteCertificateFromStore(trusted_);  // frees the context too
    WriteBytes(root_ / L"stop", "");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // lets it end before its folder goes
}

std::wstring LocalHttpsServer::Url(std::wstring_view path) const {
    return L"https://localhost:" + std::to_wstring(port_) + std::wstring(path);
}

std::wstring LocalHttpsServer::Local(std::wstring_view path) const {
    return root_.Path() + L"\\site" + ReplaceAll(path, L"/", L"\\");
}

void LocalHttpsServer::Put(std::wstring_view path, std::string_view bytes) const {
    const std::wstring local = Local(path);
    MakeFolder(local.substr(0, local.find_last_of(L'\\')));
    WriteBytes(local, bytes);
}

void LocalHttpsServer::Remove(std::wstring_view path) const { ::DeleteFileW(LongPath(Local(path)).c_str()); }

void LocalHttpsServer::Redirect(std::wstring_view path, std::string_view location) const {
    Put(std::wstring(path) + L".redirect", location);
}

LocalHttpsServer& SharedTrustedServer() {
    static LocalHttpsServer server(LocalHttpsServer::Trust::Trusted);
    return server;
}

LocalHttpsServer& SharedUntrustedServer() {
    static LocalHttpsServer server(LocalHttpsServer::Trust::Untrusted);
    return server;
}

}  // namespace qm::test
