#pragma once
// The host's own settings: whether it prints registration marks, and which
// kind. Read only, and read afresh at every ask.
#include <windows.h>

#include <string>

#include "settings/settings.h"

namespace vantrel::win {

inline constexpr wchar_t HostSettingsKey[] = L"Software\\Quillmark\\Quillmark\\Settings";

class RegistryHostMarkSettings : public HostMarkSettings {
public:
    explicit RegistryHostMarkSettings(std::wstring key = HostSettingsKey, HKEY root = HKEY_CURRENT_USER)
        : root_(root), key_(std::move(key)) {}

    bool readPrintRegMarks() const override;
    int readRegMarkType() const override;

    // At most four bytes of the value, whatever its registry type; a missing
    // key or value, or one longer than four bytes, reads as 0.
    int readValue(std::string_view name) const;

private:
    HKEY root_;
    std::wstring key_;
};

}  // namespace vantrel::win
