#include "tools/win32/about_dialog.h"

#include <vector>

#include "resource.h"
#include "support/win32/unique_handle.h"
#include "tools/version_text.h"
#include "tools/win32/depth_icons.h"

namespace vantrel::win {

namespace {

using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

template <typename Fn>
Fn procedure(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::string moduleVersionText(const std::wstring& moduleName) {
    FileVersion version;
    wchar_t path[MAX_PATH + 1] = {};
    HMODULE self = GetModuleHandleW(moduleName.c_str());
    // The version functions are loaded when asked for, so the library keeps
    // to the system DLLs every process already has.
    UniqueModule versionDll(LoadLibraryW(L"version.dll"));
    if (self && versionDll && GetModuleFileNameW(self, path, MAX_PATH) > 0) {
        auto getSize = procedure<SizeFn>(versionDll.get(), "GetFileVersionInfoSizeW");
        auto getInfo = procedure<InfoFn>(versionDll.get(), "GetFileVersionInfoW");
        auto query = procedure<QueryFn>(versionDll.get(), "VerQueryValueW");
        DWORD ignored = 0;
        DWORD size = getSize && getInfo && query ? getSize(path, &ignored) : 0;
        if (size) {
            std::vector<BYTE> block(size);
            void* fixed = nullptr;
            UINT fixedSize = 0;
            if (getInfo(path, 0, size, block.data()) && query(block.data(), L"\\", &fixed, &fixedSize) &&
                fixed && fixedSize == sizeof(VS_FIXEDFILEINFO)) {
                const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
                version = fileVersionFromHalves(info->dwFileVersionMS, info->dwFileVersionLS);
            }
        }
    }
    return formatFileVersion(version, 3);
}

std::string libraryBuildTime() { return buildTimestamp(__DATE__, __TIME__); }

bool AboutDialog::onInit() {
    std::u16string text = aboutText(utf16(appName_), moduleVersionText(appName_), libraryBuildTime());
    SetDlgItemTextW(hwnd(), IDC_ABOUT_TEXT, wide(text).c_str());
    return true;
}

}  // namespace vantrel::win
