#pragma once
// What the benchmarks share: a cache-like tree of small files, the plain loop that empties
// it (the floor of the platform), timing and the lines they print.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/handles.h"

namespace bench {

using qm::UniqueFile;
using qm::UniqueFindHandle;
using qm::UniqueKernelObject;

// Cache folders are grouped in this many parents ("Content0.IE5" ...).
constexpr int kGroups = 5;

struct Shape {
    int files = 20000;
    int folders = 50;
};

inline double Seconds(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    work();
    ::QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

// Cache folders ("XXXXXXXX" buckets) in kGroups parents; small files of a few hundred
// bytes to a few kilobytes spread round-robin over the folders.
inline void BuildTree(const std::wstring& root, const Shape& shape) {
    ::CreateDirectoryW(Long(root).c_str(), nullptr);
    std::vector<std::wstring> folders;
    for (int g = 0; g < kGroups; ++g) {
        const std::wstring group = root + L"\\Content" + std::to_wstring(g) + L".IE5";
        ::CreateDirectoryW(Long(group).c_str(), nullptr);
        for (int f = g; f < shape.folders; f += kGroups) {
            wchar_t bucket[16];
            std::swprintf(bucket, 16, L"%08X", 0x2F3A1B00u + static_cast<unsigned>(f) * 7919u);
            folders.push_back(group + L"\\" + bucket);
            ::CreateDirectoryW(Long(folders.back()).c_str(), nullptr);
        }
    }
    const std::string content(4096, 'q');
    static const wchar_t* const kinds[] = {L"image[%d].jpg", L"page_%d.htm", L"script%d.js", L"style[%d].css"};
    for (int i = 0; i < shape.files; ++i) {
        wchar_t name[64];
        std::swprintf(name, 64, kinds[i % 4], i);
        const std::wstring path = folders[static_cast<size_t>(i) % folders.size()] + L"\\" + name;
        UniqueFile file(::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ::WriteFile(file.get(), content.data(), 200 + static_cast<DWORD>(i * 37 % 3800), &written, nullptr);
    }
}

// The floor: one listing per folder, DeleteFileW per file, RemoveDirectoryW per folder.
inline void PlainDelete(const std::wstring& longFolder, bool removeFolder) {
    WIN32_FIND_DATAW entry;
    std::vector<std::wstring> subfolders;
    {
        UniqueFindHandle find(::FindFirstFileExW((longFolder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!find) return;
        do {
            if (entry.cFileName[0] == L'.' && (!entry.cFileName[1] || (entry.cFileName[1] == L'.' && !entry.cFileName[2])))
                continue;
            const std::wstring path = longFolder + L"\\" + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) subfolders.push_back(path);
            else ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.get(), &entry));
    }
    for (const auto& sub : subfolders) PlainDelete(sub, true);
    if (removeFolder) ::RemoveDirectoryW(longFolder.c_str());
}

inline int CountFiles(const std::wstring& longFolder) {
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(::FindFirstFileW((longFolder + L"\\*").c_str(), &entry));
    if (!find) return 0;
    int count = 0;
    do {
        if (entry.cFileName[0] == L'.') continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) count += CountFiles(longFolder + L"\\" + entry.cFileName);
        else ++count;
    } while (::FindNextFileW(find.get(), &entry));
    return count;
}

inline bool RunShell(const std::wstring& command) {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c " + command;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &process))
        return false;
    UniqueKernelObject processHandle(process.hProcess), threadHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    return true;
}

// Lets the disk finish writing the new trees back before anything is timed; otherwise
// whichever method runs first pays for it. Under Wine the host's sync does it; where
// there is no such program nothing happens.
inline void SettleDisk() {
    std::wstring command = L"/bin/sync";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    UniqueKernelObject processHandle(process.hProcess), threadHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
}

inline double Best(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
    return best;
}

inline void Report(const wchar_t* what, double seconds) { std::wprintf(L"  %-34ls %8.3f s\n", what, seconds); }

inline void Ratio(const wchar_t* what, double ratio, const wchar_t* target, bool met) {
    std::wprintf(L"  %-34ls %8.2fx   (target %ls) %ls\n", what, ratio, target, met ? L"met" : L"NOT MET");
}

}  // namespace bench
