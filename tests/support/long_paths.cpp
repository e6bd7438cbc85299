#include "support/long_paths.h"

#include "support/fixtures.h"

namespace qm::test {

std::wstring MakeLongFolder(const std::wstring& base, size_t minLength) {
    std::wstring path = base;
    for (int level = 0; path.size() < minLength; ++level)
        path += L"\\level" + std::to_wstring(level) + L"-" + std::wstring(40, L'x');
    MakeFolder(path);
    return path;
}

}  // namespace qm::test
