#pragma once
// The plug-in's profile in the registry: integers as REG_DWORD and texts as
// REG_SZ, in the subkey "Settings" of the profile key. Every call opens and
// closes the key, so a value written by one dialog is what the next read sees.
#include <windows.h>

#include <string>

#include "settings/profile.h"

namespace vantrel::win {

class RegistryProfile : public Profile {
public:
    // Texts longer than this many bytes are refused both ways: a corrupt or
    // hostile value must never cost the host's process that much memory.
    static constexpr DWORD MaxTextBytes = 4u << 20;

    // `profileKey` is relative to `root` and does not include "\Settings"
    // (PluginApp::profileKey() for the plug-in; a scratch key in tests).
    explicit RegistryProfile(std::wstring profileKey, HKEY root = HKEY_CURRENT_USER);

    // Missing, wrong-type or wrong-size values read as the default.
    int readInt(std::string_view name, int defaultValue) const override;
    std::u16string readText(std::string_view name, std::u16string_view defaultValue) const override;
    // Failures are silent: the user is never told about the profile.
    void writeInt(std::string_view name, int value) override;
    void writeText(std::string_view name, std::u16string_view value) override;

    const std::wstring& settingsKey() const { return settingsKey_; }

private:
    HKEY root_;
    std::wstring settingsKey_;
};

}  // namespace vantrel::win
