// The presets dialog and the save-preset dialog, driven through the window
// system as a user drives them, against a profile in memory.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>

#include "resource.h"
#include "settings/settings.h"
#include "support/win_test_support.h"
#include "support/win32/resource_text.h"
#include "tools/win32/depth_icons.h"
#include "tools/win32/presets_dialog.h"
#include "tools_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using win::PresetsDialog;

const std::wstring PresetsTitle = L"Silhouette SD Presets";
const std::wstring SaveTitle = L"Save Preset";

// The current setup of a main dialog: speed 4, force 17, carrier mat off, blade offset on, 3 passes.
MaterialPreset currentSetup() { return {u"", 4, 17, 1, false, true, 3, false}; }

struct ListItem {
    std::wstring text;
    int image = -1;
};

std::vector<ListItem> listItems(HWND list) {
    std::vector<ListItem> items;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        LVITEMW entry{};
        entry.mask = LVIF_TEXT | LVIF_IMAGE;
        entry.iItem = i;
        entry.pszText = text;
        entry.cchTextMax = 256;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
        items.push_back({text, entry.iImage});
    }
    return items;
}

int selectedItem(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

void select(HWND list, int index) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = index >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, index >= 0 ? index : -1, reinterpret_cast<LPARAM>(&state));
}

HWND waitForMessageBox(const std::wstring& caption) { return waitForOwnDialog(caption, 5s); }
std::wstring messageBoxText(HWND box) { return windowText(GetDlgItem(box, 0xFFFF)); }

class PresetsDialogTest : public ::testing::Test {
protected:
    // Runs the dialog on this thread while `drive` acts on it from a driver thread.
    std::optional<MaterialPreset> run(const std::function<void(HWND dialog)>& drive) {
        PresetsDialog dialog(win::thisModule(), profile_, currentSetup());
        std::atomic<bool> found{false};
        DriverThread driver([&] {
            HWND window = waitForOwnDialog(PresetsTitle, 10s, IDC_PRESETS_LIST);
            if (!window) return;
            found = true;
            drive(window);
            // Whatever the step left, the dialog must close.
            if (IsWindow(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
        auto result = dialog.run(host_.hwnd());
        driver.join();
        EXPECT_TRUE(found) << "the presets dialog never appeared";
        return result;
    }

    // Saves the current setup under `typedName` with the depth entry `depth`;
    // returns the texts of any message boxes shown on the way.
    static std::vector<std::wstring> saveCurrentSetup(HWND dialog, const std::wstring& typedName, int depth,
                                                      bool expectRefusal = false) {
        std::vector<std::wstring> messages;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRESETS_SAVE_CURRENT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PRESETS_SAVE_CURRENT)));
        HWND ask = waitForOwnDialog(SaveTitle, 5s, IDC_SAVE_PRESET_DEPTH);
        if (!ask) return messages;
        SetDlgItemTextW(ask, IDC_SAVE_PRESET_NAME, typedName.c_str());
        if (depth >= 0) SendDlgItemMessageW(ask, IDC_SAVE_PRESET_DEPTH, CB_SETCURSEL, depth, 0);
        PostMessageW(ask, WM_COMMAND, IDOK, 0);
        if (expectRefusal) {
            if (HWND box = waitForMessageBox(L"Error...")) {
                messages.push_back(messageBoxText(box));
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                waitFor([&] { return !IsWindow(box); }, 5s);
            }
            PostMessageW(ask, WM_COMMAND, IDCANCEL, 0);
        }
        waitFor([&] { return !IsWindow(ask); }, 5s);
        return messages;
    }

    GdiplusSession gdiplus_;
    TestWindow host_;
    MemoryProfile profile_;
};

TEST_F(PresetsDialogTest, CleanProfileListsTheBuiltInPresetsFirstSelected) {
    std::vector<ListItem> items;
    std::wstring info;
    bool useEnabled = false, saveEnabled = false;
    int selected = -2;
    run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PRESETS_LIST);
        items = listItems(list);
        selected = selectedItem(list);
        info = windowText(GetDlgItem(dialog, IDC_PRESETS_INFO));
        useEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK));
        saveEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_PRESETS_SAVE_CURRENT));
        saveScreenshotIfAsked(dialog, L"presets_dialog.png");
    });
    ASSERT_EQ(items.size(), 19u);
    const auto& builtIn = builtInPresets();
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].text, win::wide(builtIn[i].name));
        EXPECT_EQ(items[i].image, builtIn[i].depth);
    }
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(info, L"Depth: 0.1 mm.\nSpeed: 10\nForce: 10\nCarrier Mat: Yes\nBlade Offset: Yes\nMulti-Cut: 1\n");
    EXPECT_TRUE(useEnabled);
    EXPECT_TRUE(saveEnabled);
    EXPECT_EQ(profile_.storedText(PresetsSetting), std::u16string());
}

TEST_F(PresetsDialogTest, UseSelectedItemReturnsThatPreset) {
    auto chosen = run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PRESETS_LIST);
        select(list, 18);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->name, u"Sil. Temporary Tatoo Sheet");
    // The main dialog selects multi-cut entry 2 - 1, "2 Times", and stores 1.
    EXPECT_EQ(chosen->multiCut, 2);
    EXPECT_EQ(chosen->speed, 3);
    EXPECT_EQ(chosen->force, 25);
    EXPECT_FALSE(chosen->carrierMat);
    EXPECT_TRUE(chosen->bladeOffset);
}

TEST_F(PresetsDialogTest, WithoutSelectionUseIsDisabledAndRefused) {
    std::wstring info, message;
    bool useEnabled = true;
    auto chosen = run([&](HWND dialog) {
        select(GetDlgItem(dialog, IDC_PRESETS_LIST), -1);
        info = windowText(GetDlgItem(dialog, IDC_PRESETS_INFO));
        useEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK));
        // Enter still reaches the handler.
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        if (HWND box = waitForMessageBox(L"Error...")) {
            message = messageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            waitFor([&] { return !IsWindow(box); }, 5s);
        }
    });
    EXPECT_FALSE(chosen.has_value());
    EXPECT_EQ(info, L"");
    EXPECT_FALSE(useEnabled);
    EXPECT_EQ(message, L"Please select a preset from the list!");
}

TEST_F(PresetsDialogTest, SavedSetupPersistsAndIsListedLastOncePerOpening) {
    bool saveEnabledAfter = true;
    std::vector<ListItem> items;
    run([&](HWND dialog) {
        saveCurrentSetup(dialog, L"  Felt sheet \t", 0);
        HWND list = GetDlgItem(dialog, IDC_PRESETS_LIST);
        items = listItems(list);
        saveEnabledAfter = IsWindowEnabled(GetDlgItem(dialog, IDC_PRESETS_SAVE_CURRENT));
    });
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(items.back().text, L"Felt sheet");
    EXPECT_EQ(items.back().image, 0);
    EXPECT_FALSE(saveEnabledAfter);
    // Left with Cancel, and still stored: the current setup with the entered name and depth.
    EXPECT_EQ(profile_.storedText(PresetsSetting), u"1\t0\t0\t17\t3\t4\t0\tFelt sheet\u00FF");

    std::wstring info;
    bool saveEnabledOnReopen = false;
    run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PRESETS_LIST);
        items = listItems(list);
        select(list, 19);
        info = windowText(GetDlgItem(dialog, IDC_PRESETS_INFO));
        saveEnabledOnReopen = IsWindowEnabled(GetDlgItem(dialog, IDC_PRESETS_SAVE_CURRENT));
        // A second save in this opening, with the depth list untouched: depth 1.
        saveCurrentSetup(dialog, L"Second", -1);
    });
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(items.back().text, L"Felt sheet");
    EXPECT_EQ(info, L"Depth: N/A\nSpeed: 4\nForce: 17\nCarrier Mat: No\nBlade Offset: Yes\nMulti-Cut: 3\n");
    EXPECT_TRUE(saveEnabledOnReopen);
    EXPECT_EQ(profile_.storedText(PresetsSetting),
              u"1\t0\t0\t17\t3\t4\t0\tFelt sheet\u00FF1\t0\t1\t17\t3\t4\t0\tSecond\u00FF");
}

TEST_F(PresetsDialogTest, NamesThatCannotBeStoredAreRefusedAtSave) {
    std::vector<std::wstring> empty, tab, terminator;
    std::vector<ListItem> items;
    run([&](HWND dialog) {
        empty = saveCurrentSetup(dialog, L"   ", 1, true);
        tab = saveCurrentSetup(dialog, L"Fe\tlt", 1, true);
        terminator = saveCurrentSetup(dialog, L"Felt\u00FF", 1, true);
        items = listItems(GetDlgItem(dialog, IDC_PRESETS_LIST));
    });
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0], L"Please enter a name...");
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_NE(tab[0].find(L"tab"), std::wstring::npos);
    ASSERT_EQ(terminator.size(), 1u);
    EXPECT_NE(terminator[0].find(L"\u00FF"), std::wstring::npos);
    EXPECT_EQ(items.size(), 19u);
    EXPECT_EQ(profile_.storedText(PresetsSetting), std::u16string());
}

TEST_F(PresetsDialogTest, OnlyUserPresetsAreDeletedAfterConfirmation) {
    profile_.writeText(PresetsSetting,
                       u"1\t1\t2\t20\t1\t5\t0\tFelt\u00FF"
                       u"0\t0\t3\t30\t2\t1\t1\tStored built-in\u00FF"
                       u"1\t1\t2\u00FF"
                       u"0\t1\t1\t9\t1\t8\t0\tKeep\u00FF");
    std::vector<ListItem> before, after;
    std::wstring question;
    bool askedForBuiltIn = false, askedAfterNo = false;
    run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PRESETS_LIST);
        before = listItems(list);
        // Built-in presets, also one stored as such, are never deleted and nothing is asked.
        for (int index : {0, 20}) {
            select(list, index);
            PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
            if (waitForOwnDialog(L"Confirm...", 500ms)) askedForBuiltIn = true;
        }
        // No keeps it.
        select(list, 19);
        PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        if (HWND box = waitForMessageBox(L"Confirm...")) {
            question = messageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDNO, 0);
            waitFor([&] { return !IsWindow(box); }, 5s);
            askedAfterNo = true;
        }
        select(list, 19);
        PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        if (HWND box = waitForMessageBox(L"Confirm...")) {
            PostMessageW(box, WM_COMMAND, IDYES, 0);
            waitFor([&] { return !IsWindow(box); }, 5s);
        }
        after = listItems(list);
    });
    // The short record is skipped, not listed half-empty.
    ASSERT_EQ(before.size(), 22u);
    EXPECT_EQ(before[19].text, L"Felt");
    EXPECT_EQ(before[20].text, L"Stored built-in");
    EXPECT_EQ(before[21].text, L"Keep");
    EXPECT_FALSE(askedForBuiltIn);
    EXPECT_TRUE(askedAfterNo);
    EXPECT_EQ(question, L"Are you sure you want to delete the preset \"Felt\"?");
    ASSERT_EQ(after.size(), 21u);
    EXPECT_EQ(after[19].text, L"Stored built-in");
    // Stored built-ins and skipped records are not written back.
    EXPECT_EQ(profile_.storedText(PresetsSetting), u"0\t1\t1\t9\t1\t8\t0\tKeep\u00FF");
}

TEST_F(PresetsDialogTest, SavePresetDialogShowsTheFourDepths) {
    std::vector<std::wstring> entries;
    int selected = -1;
    run([&](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRESETS_SAVE_CURRENT, BN_CLICKED), 0);
        HWND ask = waitForOwnDialog(SaveTitle, 5s, IDC_SAVE_PRESET_DEPTH);
        if (!ask) return;
        HWND combo = GetDlgItem(ask, IDC_SAVE_PRESET_DEPTH);
        int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
        }
        selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
        SetDlgItemTextW(ask, IDC_SAVE_PRESET_NAME, L"Cardboard");
        saveScreenshotIfAsked(ask, L"save_preset_dialog.png");
        PostMessageW(ask, WM_COMMAND, IDCANCEL, 0);
        waitFor([&] { return !IsWindow(ask); }, 5s);
    });
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"Sketch Pen", L"0.1 mm.", L"0.2 mm.", L"0.3 mm."}));
    EXPECT_EQ(selected, 1);
    // Cancel saved nothing.
    EXPECT_EQ(profile_.storedText(PresetsSetting), std::u16string());
}

// Whether a pixel near `colour` shows in the middle row where the icon goes,
// left of the text.
bool showsDisc(const ClientPicture& field, COLORREF colour) {
    for (int x = 0; x < 22 && x < field.width; ++x)
        if (closeColour(field.at(x, field.height / 2), colour, 12)) return true;
    return false;
}

TEST_F(PresetsDialogTest, SavePresetDepthListDrawsEachDepthWithItsDisc) {
    // The strip's four discs: black, blue, yellow, red.
    const COLORREF discs[] = {RGB(31, 31, 31), RGB(21, 101, 192), RGB(249, 200, 14), RGB(211, 47, 47)};
    std::vector<ClientPicture> fields;
    int fieldHeight = 0, entryHeight = 0;
    run([&](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRESETS_SAVE_CURRENT, BN_CLICKED), 0);
        HWND ask = waitForOwnDialog(SaveTitle, 5s, IDC_SAVE_PRESET_DEPTH);
        if (!ask) return;
        HWND combo = GetDlgItem(ask, IDC_SAVE_PRESET_DEPTH);
        fieldHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        entryHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
        for (int i = 0; i < 4; ++i) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            fields.push_back(printClient(combo, RGB(255, 0, 255)));
        }
        PostMessageW(ask, WM_COMMAND, IDCANCEL, 0);
        waitFor([&] { return !IsWindow(ask); }, 5s);
    });
    EXPECT_EQ(entryHeight, 20);
    // Wine answers for the selection field with its 1-pixel frame counted in.
    EXPECT_GE(fieldHeight, 20);
    EXPECT_LE(fieldHeight, 22);
    ASSERT_EQ(fields.size(), 4u);
    for (int i = 0; i < 4; ++i)
        for (int disc = 0; disc < 4; ++disc)
            EXPECT_EQ(showsDisc(fields[i], discs[disc]), i == disc) << "entry " << i << ", disc " << disc;
}

}  // namespace
}  // namespace vantrel::test
