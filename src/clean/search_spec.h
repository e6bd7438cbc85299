#pragma once
// The search record that callers set up before each tree search of the cleaning engine.
#include <cstdint>
#include <string>
#include <utility>

namespace qm {

struct SearchSpecRecord {
    bool Recurse = false;
    std::int32_t FilesMatched = 0;  // files that matched FileSpec
    std::int32_t EntriesSeen = 0;   // directory entries examined, files and folders alike
    std::wstring FileSpec;          // pattern for MatchSpec; callers use "*.*"
    std::wstring StartPath;         // start folder, qualified (ends in a backslash)

    // Set up as every caller does: a recursive search for "*.*" from folder, counters at 0.
    void StartAt(std::wstring qualifiedFolder) {
        Recurse = true;
        FilesMatched = 0;
        EntriesSeen = 0;
        FileSpec = L"*.*";
        StartPath = std::move(qualifiedFolder);
    }
};

}  // namespace qm
