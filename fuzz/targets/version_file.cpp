// The update's version file. Properties: an accepted file has a name of 1 to 64 printable
// characters, one to four version numbers and re-serialises to a file that is read as an
// equal record; versions compare as a total order.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "online/version_file.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto published = ParseVersionFile(bytes);
    if (!published) {
        if (const auto version = ParseVersionNumbers(bytes)) {
            QM_FUZZ_CHECK(!version->empty() && version->size() <= 4);
            QM_FUZZ_CHECK(CompareVersions(*version, *version) == 0);
        }
        return 0;
    }
    QM_FUZZ_CHECK(!published->displayName.empty() && published->displayName.size() <= 64);
    QM_FUZZ_CHECK(!published->version.empty() && published->version.size() <= 4);

    const std::string text = VersionFileText(*published);
    const auto again = ParseVersionFile(text);
    QM_FUZZ_CHECK(again.has_value());
    QM_FUZZ_CHECK(again->displayName == published->displayName && again->versionText == published->versionText &&
                  again->version == published->version && again->installerHash == published->installerHash);

    const auto other = ParseVersionNumbers(bytes.substr(0, bytes.find_first_of(",\r\n")));
    if (other) QM_FUZZ_CHECK(CompareVersions(published->version, *other) == -CompareVersions(*other, published->version));
    return 0;
}
