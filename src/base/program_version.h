#pragma once
// The program's own version, as the build sets it (the project version in CMakeLists.txt).
#include <string>

#ifndef QM_VERSION_MAJOR
#define QM_VERSION_MAJOR 0
#define QM_VERSION_MINOR 0
#define QM_VERSION_PATCH 0
#endif

namespace qm {

struct ProgramVersion {
    int major = QM_VERSION_MAJOR;
    int minor = QM_VERSION_MINOR;
    int revision = QM_VERSION_PATCH;
};

// "5.0.0": major, minor and revision as decimal numbers without leading zeros.
inline std::wstring ProgramVersionText(const ProgramVersion& version = {}) {
    return std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
           std::to_wstring(version.revision);
}

}  // namespace qm
