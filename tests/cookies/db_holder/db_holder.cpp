// Holds an SQLite database the way a running browser does: opens it, takes an exclusive
// lock with BEGIN EXCLUSIVE, says so by creating "<database>.held", and keeps the lock until
// "<database>.release" appears (or a minute has passed).
#include <windows.h>

#include <sqlite3.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const std::wstring path = argv[1];
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(utf8.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 3;
    if (sqlite3_exec(db, "BEGIN EXCLUSIVE; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK)
        return 4;
    const HANDLE held = ::CreateFileW((path + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    for (int i = 0; i < 3000; ++i) {
        if (::GetFileAttributesW((path + L".release").c_str()) != INVALID_FILE_ATTRIBUTES) break;
        ::Sleep(20);
    }
    ::DeleteFileW((path + L".held").c_str());
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
