#include "plugin/win32/registry_profile.h"

#include <vector>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

namespace {

// Value names are ASCII ("sil_force").
std::wstring wideName(std::string_view name) { return std::wstring(name.begin(), name.end()); }

UniqueRegKey openKey(HKEY root, const std::wstring& path, REGSAM access) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.receive()) != ERROR_SUCCESS) key.release();
    return key;
}

UniqueRegKey createKey(HKEY root, const std::wstring& path) {
    UniqueRegKey key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

}  // namespace

RegistryProfile::RegistryProfile(std::wstring profileKey, HKEY root)
    : root_(root), settingsKey_(std::move(profileKey) + L"\\Settings") {}

int RegistryProfile::readInt(std::string_view name, int defaultValue) const {
    UniqueRegKey key = openKey(root_, settingsKey_, KEY_QUERY_VALUE);
    if (!key) return defaultValue;
    DWORD type = 0, value = 0, size = sizeof value;
    LONG status = RegQueryValueExW(key.get(), wideName(name).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return defaultValue;
    return static_cast<int>(value);
}

void RegistryProfile::writeInt(std::string_view name, int value) {
    UniqueRegKey key = createKey(root_, settingsKey_);
    if (!key) return;
    DWORD data = static_cast<DWORD>(value);
    RegSetValueExW(key.get(), wideName(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof data);
}

std::u16string RegistryProfile::readText(std::string_view name, std::u16string_view defaultValue) const {
    UniqueRegKey key = openKey(root_, settingsKey_, KEY_QUERY_VALUE);
    if (!key) return std::u16string(defaultValue);
    const std::wstring valueName = wideName(name);
    // The value may change between asking its size and reading it: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ || size > MaxTextBytes)
            return std::u16string(defaultValue);
        // Room for a terminator the stored value may lack, and for an odd byte count.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD read = size;
        LONG status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || type != REG_SZ) return std::u16string(defaultValue);
        // A REG_SZ ends at its first NUL, whether or not the writer stored one.
        std::size_t length = 0;
        const std::size_t units = read / sizeof(wchar_t);
        while (length < units && buffer[length] != L'\0') ++length;
        return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
    }
    return std::u16string(defaultValue);
}

void RegistryProfile::writeText(std::string_view name, std::u16string_view value) {
    // Stored up to a NUL, as REG_SZ reads back; never beyond what a read accepts.
    value = value.substr(0, value.find(u'\0'));
    const std::size_t bytes = (value.size() + 1) * sizeof(char16_t);
    if (bytes > MaxTextBytes) return;
    UniqueRegKey key = createKey(root_, settingsKey_);
    if (!key) return;
    std::wstring data(value.begin(), value.end());
    RegSetValueExW(key.get(), wideName(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(bytes));
}

}  // namespace vantrel::win
