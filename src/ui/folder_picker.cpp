#include "ui/folder_picker.h"

#include <shobjidl.h>

#include <memory>

namespace qm {

namespace {

template <class T>
struct ComRelease {
    void operator()(T* object) const {
        if (object) object->Release();
    }
};
template <class T>
using ComPtr = std::unique_ptr<T, ComRelease<T>>;

// COM for the picker, on this thread, for as long as the picker is open.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

}  // namespace

std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& start) {
    const ComScope com;
    IFileOpenDialog* rawDialog = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rawDialog))))
        return std::nullopt;
    const ComPtr<IFileOpenDialog> dialog(rawDialog);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    IShellItem* rawStart = nullptr;
    if (!start.empty() && SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&rawStart)))) {
        const ComPtr<IShellItem> startItem(rawStart);
        dialog->SetFolder(startItem.get());
    }
    if (FAILED(dialog->Show(owner))) return std::nullopt;
    IShellItem* rawResult = nullptr;
    if (FAILED(dialog->GetResult(&rawResult))) return std::nullopt;
    const ComPtr<IShellItem> result(rawResult);
    PWSTR path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::nullopt;
    std::wstring picked(path);
    ::CoTaskMemFree(path);
    return picked;
}

}  // namespace qm
