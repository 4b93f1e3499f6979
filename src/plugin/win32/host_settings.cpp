#include "plugin/win32/host_settings.h"

#include <cstdint>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

int RegistryHostMarkSettings::readValue(std::string_view name) const {
    UniqueRegKey key;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) {
        key.release();
        return 0;
    }
    const std::wstring valueName(name.begin(), name.end());
    std::uint32_t value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return 0;
    return static_cast<int>(value);
}

bool RegistryHostMarkSettings::readPrintRegMarks() const { return readValue(PrintRegMarksValue) != 0; }

int RegistryHostMarkSettings::readRegMarkType() const { return readValue(RegMarkTypeValue); }

}  // namespace vantrel::win
