#pragma once
// What a downloaded installer must prove before it runs: the published hash, and, when the
// running program is signed, a valid signature by the same key.
#include <optional>
#include <string>

#include "online/version_file.h"

namespace qm {

// SHA-256 of a file's content; nothing when it cannot be read.
std::optional<Sha256> FileSha256(const std::wstring& path);

// The public key of the certificate that signed a file (its encoded SubjectPublicKeyInfo);
// empty when the file carries no signature that can be read.
std::string SignerPublicKey(const std::wstring& path);

// True when program is unsigned, or when installer carries a valid signature whose signing
// certificate has the same public key as program's. The certificates themselves are
// compared: the system's trust check alone would accept any root under Wine.
bool SignedLikeProgram(const std::wstring& installer, const std::wstring& program);

}  // namespace qm
