#include "online/installer_check.h"

#include <windows.h>
#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "base/handles.h"

namespace qm {

namespace {

struct HashAlgorithm {
    BCRYPT_ALG_HANDLE handle = nullptr;
    HashAlgorithm() { ::BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0); }
    ~HashAlgorithm() {
        if (handle) ::BCryptCloseAlgorithmProvider(handle, 0);
    }
    HashAlgorithm(const HashAlgorithm&) = delete;
    HashAlgorithm& operator=(const HashAlgorithm&) = delete;
};

struct Hash {
    BCRYPT_HASH_HANDLE handle = nullptr;
    explicit Hash(BCRYPT_ALG_HANDLE algorithm) { ::BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0); }
    ~Hash() {
        if (handle) ::BCryptDestroyHash(handle);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
};

// The embedded signature's message and store, released together.
struct EmbeddedSignature {
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    explicit EmbeddedSignature(const std::wstring& path) {
        ::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                           CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message, nullptr);
    }
    ~EmbeddedSignature() {
        if (message) ::CryptMsgClose(message);
        if (store) ::CertCloseStore(store, 0);
    }
    EmbeddedSignature(const EmbeddedSignature&) = delete;
    EmbeddedSignature& operator=(const EmbeddedSignature&) = delete;
};

// The system's check that the signature is intact and matches the file's content.
bool SignatureIsIntact(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    // An unknown root is no reason to refuse: the key comparison decides who signed.
    return result == ERROR_SUCCESS || result == static_cast<LONG>(CERT_E_UNTRUSTEDROOT) ||
           result == static_cast<LONG>(CERT_E_CHAINING);
}

}  // namespace

std::optional<Sha256> FileSha256(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    HashAlgorithm algorithm;
    if (!file || !algorithm.handle) return std::nullopt;
    Hash hash(algorithm.handle);
    if (!hash.handle) return std::nullopt;
    std::vector<UCHAR> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return std::nullopt;
        if (read == 0) break;
        if (::BCryptHashData(hash.handle, buffer.data(), read, 0) != 0) return std::nullopt;
    }
    Sha256 digest{};
    if (::BCryptFinishHash(hash.handle, digest.data(), static_cast<ULONG>(digest.size()), 0) != 0)
        return std::nullopt;
    return digest;
}

std::string SignerPublicKey(const std::wstring& path) {
    EmbeddedSignature signature(path);
    if (!signature.message) return {};
    DWORD size = 0;
    if (!::CryptMsgGetParam(signature.message, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size)) return {};
    std::vector<BYTE> signerInfo(size);
    if (!::CryptMsgGetParam(signature.message, CMSG_SIGNER_CERT_INFO_PARAM, 0, signerInfo.data(), &size)) return {};
    const auto* signer = reinterpret_cast<const CERT_INFO*>(signerInfo.data());
    PCCERT_CONTEXT certificate = ::CertFindCertificateInStore(signature.store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                              0, CERT_FIND_SUBJECT_CERT, signer, nullptr);
    if (!certificate) return {};
    const CRYPT_BIT_BLOB& key = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    const CRYPT_ALGORITHM_IDENTIFIER& algorithm = certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm;
    std::string identity = std::string(algorithm.pszObjId ? algorithm.pszObjId : "") + ":" +
                           std::string(reinterpret_cast<const char*>(key.pbData), key.cbData);
    ::CertFreeCertificateContext(certificate);
    return identity;
}

bool SignedLikeProgram(const std::wstring& installer, const std::wstring& program) {
    const std::string programKey = SignerPublicKey(program);
    if (programKey.empty()) return true;  // an unsigned build: nothing to compare with
    return SignerPublicKey(installer) == programKey && SignatureIsIntact(installer);
}

}  // namespace qm
