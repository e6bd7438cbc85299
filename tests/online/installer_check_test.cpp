// The signer check on files really signed (osslsigncode) with two different keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/text.h"
#include "online/installer_check.h"
#include "support/fixtures.h"

namespace qm {
namespace {

std::wstring BesideTests(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

class SignedFiles : public ::testing::Test {
protected:
    test::TempFolder folder{L"qm-signed"};
    std::wstring Unix(const std::wstring& path) const { return WidenUtf8(test::WineUnixPath(path)); }

    // A fresh key and self-signed certificate, as a code-signing publisher would have.
    void MakeKey(const std::wstring& name) {
        test::RunUnixCommand(L"/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + name +
                             L" -keyout \"" + Unix(folder / (name + L".key")) + L"\" -out \"" +
                             Unix(folder / (name + L".pem")) + L"\"");
        WaitFor(folder / (name + L".pem"));
    }
    std::wstring Sign(const std::wstring& key, const std::wstring& name) {
        const std::wstring out = folder / name;
        test::RunUnixCommand(L"/usr/bin/osslsigncode sign -certs \"" + Unix(folder / (key + L".pem")) +
                             L"\" -key \"" + Unix(folder / (key + L".key")) + L"\" -in \"" +
                             Unix(BesideTests(L"quillmere_fake_installer.exe")) + L"\" -out \"" + Unix(out) + L"\"");
        WaitFor(out);
        return out;
    }
    static void WaitFor(const std::wstring& path) {
        for (int i = 0; i < 200 && !test::PathExists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the Unix child may still write
    }
};

TEST_F(SignedFiles, AnInstallerMustBeSignedWithTheKeyOfASignedProgram) {
    MakeKey(L"maker");
    MakeKey(L"stranger");
    const std::wstring program = Sign(L"maker", L"program.exe");
    const std::wstring same = Sign(L"maker", L"same.exe");
    const std::wstring other = Sign(L"stranger", L"other.exe");
    const std::wstring unsigned_ = BesideTests(L"quillmere_fake_installer.exe");
    ASSERT_FALSE(SignerPublicKey(program).empty()) << "the signed copy carries a signature";
    EXPECT_TRUE(SignerPublicKey(unsigned_).empty());

    EXPECT_TRUE(SignedLikeProgram(same, program));
    EXPECT_FALSE(SignedLikeProgram(other, program)) << "another key";
    EXPECT_FALSE(SignedLikeProgram(unsigned_, program)) << "no signature";
    EXPECT_TRUE(SignedLikeProgram(other, unsigned_)) << "an unsigned program asks for no signature";
    EXPECT_TRUE(SignedLikeProgram(unsigned_, unsigned_));

    // Changed after signing: the signature no longer matches the content.
    std::string bytes = test::ReadBytes(same);
    bytes[bytes.size() / 3] ^= 0x5A;
    test::WriteBytes(folder / L"tampered.exe", bytes);
    EXPECT_FALSE(SignedLikeProgram(folder / L"tampered.exe", program));
}

}  // namespace
}  // namespace qm
