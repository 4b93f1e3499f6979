// The profile and the host's settings in the real registry, under a scratch
// key of this test process: what lands there, and what reads back from
// values the plug-in did not write itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/win32/host_settings.h"
#include "plugin/win32/registry_profile.h"
#include "settings/settings.h"
#include "support/win32/unique_handle.h"

namespace vantrel::test {
namespace {

using win::RegistryHostMarkSettings;
using win::RegistryProfile;
using win::UniqueRegKey;

class ScratchKey : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = L"Software\\Vantrel Tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()); }

    UniqueRegKey create(const std::wstring& path) {
        UniqueRegKey key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.receive(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    void setRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        UniqueRegKey key = create(path);
        ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    struct Raw {
        LONG status = 0;
        DWORD type = 0;
        std::vector<BYTE> bytes;
    };
    Raw getRaw(const std::wstring& path, const wchar_t* name) {
        Raw raw;
        raw.bytes.resize(256);
        DWORD size = static_cast<DWORD>(raw.bytes.size());
        raw.status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                                  raw.bytes.data(), &size);
        raw.bytes.resize(raw.status == ERROR_SUCCESS ? size : 0);
        return raw;
    }
    std::wstring settings() const { return base_ + L"\\Settings"; }

    std::wstring base_;
};

TEST_F(ScratchKey, MissingKeyAndValuesReadAsDefaults) {
    RegistryProfile profile(base_);
    EXPECT_EQ(profile.readInt("sil_force", 10), 10);
    EXPECT_EQ(profile.readInt("sil_cuttype", -5), -5);
    EXPECT_EQ(profile.readText("sil_dpix", u"508.0"), u"508.0");
    // Reading creates nothing.
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);
    if (probe) RegCloseKey(probe);

    create(settings());
    EXPECT_EQ(profile.readInt("sil_speed", 10), 10);
    EXPECT_EQ(profile.readText("sil_presets", u""), u"");
}

TEST_F(ScratchKey, ValuesLandAsDwordAndStringInTheSettingsSubkey) {
    RegistryProfile profile(base_);
    EXPECT_EQ(profile.settingsKey(), base_ + L"\\Settings");
    profile.writeInt("sil_cuttype", -1);
    profile.writeText("sil_dpix", u"500 1/2");

    Raw cutType = getRaw(settings(), L"sil_cuttype");
    ASSERT_EQ(cutType.status, ERROR_SUCCESS);
    EXPECT_EQ(cutType.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(cutType.bytes.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(cutType.bytes.data()), 0xFFFFFFFFu);

    Raw dpi = getRaw(settings(), L"sil_dpix");
    ASSERT_EQ(dpi.status, ERROR_SUCCESS);
    EXPECT_EQ(dpi.type, static_cast<DWORD>(REG_SZ));
    std::wstring stored(reinterpret_cast<const wchar_t*>(dpi.bytes.data()), dpi.bytes.size() / 2);
    EXPECT_EQ(stored, std::wstring(L"500 1/2", 8));  // with its terminator
}

TEST_F(ScratchKey, WrittenValuesReadBackExactly) {
    RegistryProfile profile(base_);
    for (int value : {0, 1, 33, -1, INT_MIN, INT_MAX}) {
        profile.writeInt("sil_force", value);
        EXPECT_EQ(profile.readInt("sil_force", 10), value);
    }
    const std::u16string texts[] = {u"", u"508.0", u"6 1/16", u"Vinyl\tBlue\u00FF\u00FFCard\u00E9\u4E2D\U0001F600",
                                    std::u16string(100000, u'x')};
    for (const auto& text : texts) {
        profile.writeText("sil_presets", text);
        EXPECT_EQ(profile.readText("sil_presets", u"default"), text);
    }
    // A second profile object sees the first one's writes at once.
    EXPECT_EQ(RegistryProfile(base_).readInt("sil_force", 10), INT_MAX);
}

TEST_F(ScratchKey, ForeignValuesOfTheWrongKindReadAsDefaults) {
    const std::uint64_t qword = 5;
    const std::uint32_t dword = 7;
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    const BYTE two[2] = {3, 0};
    setRaw(settings(), L"i_qword", REG_QWORD, &qword, sizeof qword);
    setRaw(settings(), L"i_string", REG_SZ, L"12", 6);
    setRaw(settings(), L"i_binary4", REG_BINARY, &dword, 4);
    setRaw(settings(), L"i_binary8", REG_BINARY, eight, sizeof eight);
    setRaw(settings(), L"i_short", REG_DWORD, two, sizeof two);
    setRaw(settings(), L"t_dword", REG_DWORD, &dword, sizeof dword);
    setRaw(settings(), L"t_expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    setRaw(settings(), L"t_multi", REG_MULTI_SZ, L"a\0b\0", 10);

    RegistryProfile profile(base_);
    for (const char* name : {"i_qword", "i_string", "i_binary4", "i_binary8", "i_short"})
        EXPECT_EQ(profile.readInt(name, 42), 42) << name;
    for (const char* name : {"t_dword", "t_expand", "t_multi"}) EXPECT_EQ(profile.readText(name, u"d"), u"d") << name;
}

TEST_F(ScratchKey, TextsWithoutTerminatorOddLengthOrEmbeddedNulReadUpToTheirEnd) {
    setRaw(settings(), L"unterminated", REG_SZ, L"508.5", 10);
    setRaw(settings(), L"odd", REG_SZ, L"1016/2", 13);
    setRaw(settings(), L"embedded", REG_SZ, L"12\0" L"34", 12);
    setRaw(settings(), L"empty", REG_SZ, L"", 0);
    RegistryProfile profile(base_);
    EXPECT_EQ(profile.readText("unterminated", u"d"), u"508.5");
    EXPECT_EQ(profile.readText("odd", u"d"), u"1016/2");
    EXPECT_EQ(profile.readText("embedded", u"d"), u"12");
    EXPECT_EQ(profile.readText("empty", u"d"), u"");
}

TEST_F(ScratchKey, OversizeTextsAreRefusedBothWays) {
    std::wstring huge(RegistryProfile::MaxTextBytes / 2 + 16, L'7');
    setRaw(settings(), L"sil_presets", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2));
    RegistryProfile profile(base_);
    EXPECT_EQ(profile.readText("sil_presets", u"default"), u"default");

    profile.writeText("sil_dpix", u"508.0");
    profile.writeText("sil_dpix", std::u16string(RegistryProfile::MaxTextBytes, u'9'));
    EXPECT_EQ(profile.readText("sil_dpix", u""), u"508.0");  // the old value stays
}

TEST_F(ScratchKey, HostValuesReadFourBytesOfAnyTypeAndZeroOtherwise) {
    const std::wstring host = base_ + L"\\Host\\Settings";
    RegistryHostMarkSettings missingKey(host);
    EXPECT_FALSE(missingKey.readPrintRegMarks());
    EXPECT_EQ(missingKey.readRegMarkType(), 0);

    create(host);
    EXPECT_FALSE(missingKey.readPrintRegMarks());
    EXPECT_EQ(missingKey.readRegMarkType(), 0);

    const std::uint32_t one = 1, two = 2, big = 0x80000001u;
    const std::uint64_t qword = 1;
    const BYTE shortValue[2] = {2, 0};
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
        int expected;
    } cases[] = {
        {L"dword", REG_DWORD, &two, 4, 2},
        {L"binary", REG_BINARY, &one, 4, 1},
        {L"negative", REG_DWORD, &big, 4, static_cast<int>(0x80000001u)},
        {L"short", REG_BINARY, shortValue, 2, 2},
        {L"qword", REG_QWORD, &qword, 8, 0},             // longer than four bytes
        {L"string", REG_SZ, L"1", 4, 0x31},              // "1" and its terminator: four bytes
        {L"longstring", REG_SZ, L"12", 6, 0},
    };
    RegistryHostMarkSettings reader(host);
    for (const auto& c : cases) {
        setRaw(host, c.name, c.type, c.data, c.size);
        std::string name(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(reader.readValue(name), c.expected) << name;
    }

    setRaw(host, L"print_regmarks", REG_DWORD, &one, 4);
    setRaw(host, L"reg_mark_type", REG_DWORD, &two, 4);
    EXPECT_TRUE(reader.readPrintRegMarks());
    EXPECT_EQ(reader.readRegMarkType(), 2);
    EXPECT_TRUE(hostForcesPrintAndCut(reader));

    // Read afresh at every ask.
    const std::uint32_t zero = 0;
    setRaw(host, L"reg_mark_type", REG_DWORD, &zero, 4);
    EXPECT_FALSE(hostForcesPrintAndCut(reader));
}

}  // namespace
}  // namespace vantrel::test
