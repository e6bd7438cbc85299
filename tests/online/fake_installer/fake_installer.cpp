// Stands in for the downloaded installer in the update tests: records that it ran, with its
// arguments, in the file named by QM_FAKE_INSTALLER_LOG, and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    wchar_t log[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"QM_FAKE_INSTALLER_LOG", log, MAX_PATH)) return 1;
    const HANDLE file = ::CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    const std::wstring text = arguments ? arguments : L"";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
