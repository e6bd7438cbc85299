#include "cookies/checked_vfs.h"

#include <windows.h>

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "base/handles.h"
#include "base/relative_files.h"
#include "base/text.h"
#include "clean/folder_walk.h"

namespace qm {

namespace {

constexpr char kVfsName[] = "quillmere-checked";
constexpr int kCheckedOpens = SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL |
                              SQLITE_OPEN_SUPER_JOURNAL;
constexpr std::string_view kSideSuffixes[] = {"-journal", "-wal"};
constexpr int kDeleteAttempts = 5;

std::atomic<unsigned> refused{0};

// The final paths of the main databases open through the VFS, by the name SQLite gave them,
// with how many connections have each open and whether they only read.
struct OpenDatabase {
    std::wstring finalPath;
    int connections = 0;
    bool readOnly = false;
};
std::mutex databasesLock;
std::map<std::string, OpenDatabase, std::less<>> databases;

sqlite3_vfs* RealVfs(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

bool SamePath(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring_view FolderOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash);
}

// A plain file with one name; its final path, or "" when it is anything else.
std::wstring PlainFinalPath(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return {};
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return {};
    if (info.nNumberOfLinks != 1) return {};
    return FinalPathOf(handle);
}

// The final path of the folder that the name places the database in.
std::wstring FolderFinalPath(const char* name) {
    const std::wstring folder(FolderOf(WidenUtf8(name)));
    if (folder.empty()) return {};
    UniqueFile handle(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle ? FinalPathOf(handle.get()) : std::wstring();
}

// The side file a name stands for: the final path it must have (its open main database's
// plus the suffix; "" when no open database owns the name), and whether that database is
// only read.
struct SideFile {
    std::wstring expectedPath;
    bool readOnly = false;
};
SideFile SideFileOf(std::string_view name) {
    const std::lock_guard lock(databasesLock);
    for (const std::string_view suffix : kSideSuffixes) {
        if (!name.ends_with(suffix)) continue;
        const auto found = databases.find(name.substr(0, name.size() - suffix.size()));
        if (found != databases.end()) return {found->second.finalPath + WidenUtf8(suffix), found->second.readOnly};
    }
    return {};
}

// Whether the opened main database is the file its name means, in the folder its name
// places it in; then it is registered for its side files. Connections of one name must
// all read only or all write.
bool RegisterMainDatabase(HANDLE handle, const char* name, bool readOnly) {
    const std::wstring finalPath = PlainFinalPath(handle);
    const std::wstring folder = FolderFinalPath(name);
    if (finalPath.empty() || folder.empty() || !SamePath(FolderOf(finalPath), folder)) return false;
    const std::lock_guard lock(databasesLock);
    OpenDatabase& open = databases[name];
    if (open.connections > 0 && (!SamePath(open.finalPath, finalPath) || open.readOnly != readOnly)) return false;
    open.finalPath = finalPath;
    open.readOnly = readOnly;
    ++open.connections;
    return true;
}

// Whether the opened side file is the one its database means (compared by final path, which
// also tells a Unix link that Wine shows as a plain file).
bool IsOwnSideFile(HANDLE handle, const SideFile& side) {
    const std::wstring finalPath = PlainFinalPath(handle);
    return !finalPath.empty() && SamePath(finalPath, side.expectedPath);
}

void Unregister(const std::string& name) {
    const std::lock_guard lock(databasesLock);
    const auto found = databases.find(name);
    if (found != databases.end() && --found->second.connections <= 0) databases.erase(found);
}

// The file SQLite holds: the real file of the system's VFS follows it in the same block.
struct CheckedFile {
    sqlite3_file base;
    sqlite3_file* real;
    std::string mainName;   // a registered main database: its name
    bool readOnly = false;  // of a read-only connection: never written or truncated
};

sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<CheckedFile*>(file)->real; }

int FileClose(sqlite3_file* file) {
    auto* checked = reinterpret_cast<CheckedFile*>(file);
    const int code = checked->real->pMethods ? checked->real->pMethods->xClose(checked->real) : SQLITE_OK;
    if (!checked->mainName.empty()) Unregister(checked->mainName);
    checked->~CheckedFile();
    return code;
}
int FileRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
    return Real(f)->pMethods->xRead(Real(f), data, amount, offset);
}
bool ReadOnly(sqlite3_file* file) { return reinterpret_cast<CheckedFile*>(file)->readOnly; }
int FileWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    return ReadOnly(f) ? SQLITE_READONLY : Real(f)->pMethods->xWrite(Real(f), data, amount, offset);
}
int FileTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return ReadOnly(f) ? SQLITE_READONLY : Real(f)->pMethods->xTruncate(Real(f), size);
}
int FileSync(sqlite3_file* f, int flags) { return Real(f)->pMethods->xSync(Real(f), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int FileLock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int FileUnlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int FileCheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int FileSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int FileDeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }

// A read-only connection's WAL that does not exist: read as an empty file, where SQLite
// would create it.
int AbsentClose(sqlite3_file* file) {
    reinterpret_cast<CheckedFile*>(file)->~CheckedFile();
    return SQLITE_OK;
}
int AbsentRead(sqlite3_file*, void* data, int amount, sqlite3_int64) {
    std::memset(data, 0, static_cast<size_t>(amount));
    return SQLITE_IOERR_SHORT_READ;
}
int AbsentWrite(sqlite3_file*, const void*, int, sqlite3_int64) { return SQLITE_READONLY; }
int AbsentTruncate(sqlite3_file*, sqlite3_int64) { return SQLITE_READONLY; }
int AbsentSize(sqlite3_file*, sqlite3_int64* size) {
    *size = 0;
    return SQLITE_OK;
}
int AbsentCheckReservedLock(sqlite3_file*, int* out) {
    *out = 0;
    return SQLITE_OK;
}
int AbsentControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int AbsentNothing(sqlite3_file*, int) { return SQLITE_OK; }  // sync, lock, unlock
int AbsentSectorSize(sqlite3_file*) { return 4096; }
int AbsentDeviceCharacteristics(sqlite3_file*) { return 0; }

// Version 1: no shared memory (so no "-shm" file) and no memory mapping.
const sqlite3_io_methods kMethods = {1,
                                     &FileClose,
                                     &FileRead,
                                     &FileWrite,
                                     &FileTruncate,
                                     &FileSync,
                                     &FileSize,
                                     &FileLock,
                                     &FileUnlock,
                                     &FileCheckReservedLock,
                                     &FileControl,
                                     &FileSectorSize,
                                     &FileDeviceCharacteristics,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};
const sqlite3_io_methods kAbsentMethods = {1,
                                           &AbsentClose,
                                           &AbsentRead,
                                           &AbsentWrite,
                                           &AbsentTruncate,
                                           &AbsentNothing,
                                           &AbsentSize,
                                           &AbsentNothing,
                                           &AbsentNothing,
                                           &AbsentCheckReservedLock,
                                           &AbsentControl,
                                           &AbsentSectorSize,
                                           &AbsentDeviceCharacteristics,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr};

bool Exists(const char* name) { return ::GetFileAttributesW(WidenUtf8(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Opens through the system's VFS. A read-only connection's main database is opened for
// writing too where it can be (the system's VFS takes no exclusive lock on a file opened for
// reading, and a WAL database is read under one), while SQLite is told it is read-only and
// every write through it fails here; its side files are opened for reading only.
int OpenReal(sqlite3_vfs* vfs, const char* name, CheckedFile& checked, int flags, int* outFlags, bool sideReadOnly) {
    sqlite3_vfs* real = RealVfs(vfs);
    const int readOnly = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    const bool mainReadOnly = (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READONLY);
    checked.readOnly = sideReadOnly || mainReadOnly;
    if (!mainReadOnly) return real->xOpen(real, name, checked.real, sideReadOnly ? readOnly : flags, outFlags);
    int opened = 0;
    const int writable = (flags & ~SQLITE_OPEN_READONLY) | SQLITE_OPEN_READWRITE;
    if (real->xOpen(real, name, checked.real, writable, &opened) != SQLITE_OK) {
        checked.real->pMethods = nullptr;
        return real->xOpen(real, name, checked.real, readOnly, outFlags);
    }
    if (outFlags) *outFlags = (opened & ~SQLITE_OPEN_READWRITE) | SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

// Opens through the system's VFS and checks what was opened. A read-only connection never
// creates or writes a side file.
int OpenChecked(sqlite3_vfs* vfs, const char* name, CheckedFile& checked, int flags, int* outFlags) {
    const bool mainDatabase = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    const bool checkedOpen = name && (flags & kCheckedOpens);
    const SideFile side = checkedOpen && !mainDatabase ? SideFileOf(name) : SideFile{};
    int code = OpenReal(vfs, name, checked, flags, outFlags, side.readOnly);
    if (!checkedOpen) return code;
    if (code != SQLITE_OK) {
        // Something of that name that cannot be opened (a folder) is no side file of its own.
        if (Exists(name)) ++refused;
        return code;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    const bool own =
        checked.real->pMethods->xFileControl(checked.real, SQLITE_FCNTL_WIN32_GET_HANDLE, &handle) == SQLITE_OK &&
        (mainDatabase ? RegisterMainDatabase(handle, name, (flags & SQLITE_OPEN_READONLY) != 0)
                      : IsOwnSideFile(handle, side));
    if (!own) {
        checked.real->pMethods->xClose(checked.real);
        checked.real->pMethods = nullptr;
        ++refused;
        return SQLITE_CANTOPEN;
    }
    if (mainDatabase) checked.mainName = name;
    return SQLITE_OK;
}

int VfsOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* checked = new (file) CheckedFile{};
    checked->real = reinterpret_cast<sqlite3_file*>(checked + 1);
    checked->real->pMethods = nullptr;
    if (name && (flags & SQLITE_OPEN_WAL) && SideFileOf(name).readOnly && !Exists(name)) {
        if (outFlags) *outFlags = SQLITE_OPEN_READONLY;
        file->pMethods = &kAbsentMethods;
        return SQLITE_OK;
    }
    if (const int code = OpenChecked(vfs, name, *checked, flags, outFlags); code != SQLITE_OK) {
        checked->~CheckedFile();
        file->pMethods = nullptr;
        return code;
    }
    file->pMethods = &kMethods;
    return SQLITE_OK;
}

// A side file is deleted through the handle that was checked, never by name again, and
// never for a connection that only reads.
int VfsDelete(sqlite3_vfs*, const char* name, int /*syncDirectory*/) {
    const SideFile side = SideFileOf(name);
    if (side.readOnly) {
        ++refused;
        return SQLITE_IOERR_DELETE;
    }
    UniqueFile handle;
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        handle.reset(::CreateFileW(WidenUtf8(name).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        // A scanner may hold a file just closed for a moment, as the system's VFS allows for.
        if (handle || ::GetLastError() != ERROR_SHARING_VIOLATION) break;
        ::Sleep(25 * (attempt + 1));
    }
    if (!handle) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SQLITE_IOERR_DELETE_NOENT
                                                                              : SQLITE_IOERR_DELETE;
    }
    if (!IsOwnSideFile(handle.get(), side)) {
        ++refused;
        return SQLITE_IOERR_DELETE;
    }
    return DeleteThroughHandle(handle.get()) ? SQLITE_OK : SQLITE_IOERR_DELETE;
}

int VfsAccess(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return RealVfs(vfs)->xAccess(RealVfs(vfs), name, flags, out);
}
int VfsFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    return RealVfs(vfs)->xFullPathname(RealVfs(vfs), name, size, out);
}
void* VfsDlOpen(sqlite3_vfs* vfs, const char* name) { return RealVfs(vfs)->xDlOpen(RealVfs(vfs), name); }
void VfsDlError(sqlite3_vfs* vfs, int size, char* out) { RealVfs(vfs)->xDlError(RealVfs(vfs), size, out); }
void (*VfsDlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void) {
    return RealVfs(vfs)->xDlSym(RealVfs(vfs), library, symbol);
}
void VfsDlClose(sqlite3_vfs* vfs, void* library) { RealVfs(vfs)->xDlClose(RealVfs(vfs), library); }
int VfsRandomness(sqlite3_vfs* vfs, int size, char* out) { return RealVfs(vfs)->xRandomness(RealVfs(vfs), size, out); }
int VfsSleep(sqlite3_vfs* vfs, int microseconds) { return RealVfs(vfs)->xSleep(RealVfs(vfs), microseconds); }
int VfsCurrentTime(sqlite3_vfs* vfs, double* now) { return RealVfs(vfs)->xCurrentTime(RealVfs(vfs), now); }
int VfsGetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return RealVfs(vfs)->xGetLastError(RealVfs(vfs), size, out);
}
int VfsCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
    return RealVfs(vfs)->xCurrentTimeInt64(RealVfs(vfs), now);
}

sqlite3_vfs checkedVfs;

void Register() {
    sqlite3_initialize();
    sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    checkedVfs = sqlite3_vfs{.iVersion = 2,
                             .szOsFile = static_cast<int>(sizeof(CheckedFile)) + real->szOsFile,
                             .mxPathname = real->mxPathname,
                             .pNext = nullptr,
                             .zName = kVfsName,
                             .pAppData = real,
                             .xOpen = &VfsOpen,
                             .xDelete = &VfsDelete,
                             .xAccess = &VfsAccess,
                             .xFullPathname = &VfsFullPathname,
                             .xDlOpen = &VfsDlOpen,
                             .xDlError = &VfsDlError,
                             .xDlSym = &VfsDlSym,
                             .xDlClose = &VfsDlClose,
                             .xRandomness = &VfsRandomness,
                             .xSleep = &VfsSleep,
                             .xCurrentTime = &VfsCurrentTime,
                             .xGetLastError = &VfsGetLastError,
                             .xCurrentTimeInt64 = &VfsCurrentTimeInt64,
                             .xSetSystemCall = nullptr,
                             .xGetSystemCall = nullptr,
                             .xNextSystemCall = nullptr};
    sqlite3_vfs_register(&checkedVfs, 0);
}

}  // namespace

const char* CheckedVfsName() {
    static std::once_flag once;
    std::call_once(once, Register);
    return kVfsName;
}

unsigned RefusedSideFiles() { return refused.load(); }

}  // namespace qm
