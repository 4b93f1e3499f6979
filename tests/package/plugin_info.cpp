// Loads a plug-in DLL as the host does and asks it for its menu entry: proves
// that an installed Vantrel.dll is whole, of this process's architecture, and
// answers OnPluginGetInfo. Prints what it got (UTF-8), one item per line:
//   menu: <menu text>
//   interface: <interface id in hex>
//   version: <file version of the loaded module>
// usage: vantrel-plugin-info <path to Vantrel.dll>; exit 0 when the plug-in
// loaded and answered, 1 otherwise.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using GetInfoFn = void(WINAPI*)(wchar_t*, wchar_t*, HWND, std::uint32_t*, std::uint32_t, std::uint32_t);

std::string utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

// The version of the file the loader really mapped, read from its own
// resource, so an upgrade that left the old file behind shows.
std::string moduleVersion(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* block = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    // VS_VERSIONINFO: three WORDs, the key "VS_VERSION_INFO" with its zero,
    // padding to 32 bits, then the fixed block.
    constexpr DWORD fixedAt = (6 + sizeof(L"VS_VERSION_INFO") + 3) & ~3u;
    if (!block || size < fixedAt + sizeof(VS_FIXEDFILEINFO)) return "none";
    VS_FIXEDFILEINFO fixed;
    CopyMemory(&fixed, block + fixedAt, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(HIWORD(fixed.dwFileVersionMS)),
                  unsigned(LOWORD(fixed.dwFileVersionMS)), unsigned(HIWORD(fixed.dwFileVersionLS)),
                  unsigned(LOWORD(fixed.dwFileVersionLS)));
    return text;
}

void print(const std::string& line) {
    std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        print("usage: vantrel-plugin-info <Vantrel.dll>");
        return 1;
    }
    HMODULE plugin = LoadLibraryW(argv[1]);
    if (!plugin) {
        print("cannot load " + utf8(argv[1]) + ": error " + std::to_string(GetLastError()));
        return 1;
    }
    auto getInfo = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "OnPluginGetInfo")));
    bool cutPath = GetProcAddress(plugin, "OnPluginCutPath") != nullptr;
    if (!getInfo || !cutPath) {
        print("the plug-in lacks OnPluginGetInfo or OnPluginCutPath");
        FreeLibrary(plugin);
        return 1;
    }
    // The host's buffers are larger than the texts: no length is passed.
    std::vector<wchar_t> menu(512, L'\0'), description(1024, L'\0');
    std::uint32_t interfaceId = 0;
    getInfo(menu.data(), description.data(), nullptr, &interfaceId, 0, 0);
    char id[16];
    std::snprintf(id, sizeof id, "%08x", unsigned(interfaceId));
    print("menu: " + utf8(menu.data()));
    print(std::string("interface: ") + id);
    print("version: " + moduleVersion(plugin));
    FreeLibrary(plugin);
    return 0;
}
