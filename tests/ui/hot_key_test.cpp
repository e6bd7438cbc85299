// The clean hot key: which combinations are refused, replacing the registered key without
// losing it, the chooser's form, and real key presses into a focused window under Xvfb.
#include "ui/hot_key.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "clean/count_form.h"
#include "clean/folder_walk.h"
#include "startup/bas_main.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/desktop_app.h"
#include "support/real_keys.h"
#include "support/fixtures.h"
#include "ui/desktop_host.h"
#include "ui/entry_points.h"
#include "ui/hot_key_window.h"
#include "ui/main_form.h"

namespace qm {
namespace {

using test::ScratchRegistry;

constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;

std::wstring Setting(const wchar_t* name) {
    std::wstring value;
    return ScratchRegistry::GetString(HKEY_CURRENT_USER, kProgramKey, name, value) ? value : L"<missing>";
}

void StoreRaw(const std::wstring& key, const std::wstring& shift, const std::wstring& ctrl, const std::wstring& alt) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinKey", key);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinShift", shift);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinCtrl", ctrl);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinAlt", alt);
}

TEST(CapturesTyping, RefusesWhatFiresWhileTypingOrClosingWindows) {
    const struct {
        UINT modifiers;
        UINT key;
        bool refused;
    } cases[] = {
        {0, 'C', true},           {0, VK_F8, true},          {MOD_SHIFT, 'C', true},
        {MOD_CONTROL, 'S', true}, {kCtrlAlt, 'E', true},     {kCtrlAlt | MOD_SHIFT, 'Q', true},
        {MOD_ALT, VK_F4, true},   {MOD_SHIFT, '1', true},    {MOD_ALT, 'C', false},
        {MOD_CONTROL | MOD_SHIFT, 'K', false},               {MOD_ALT | MOD_SHIFT, 'Z', false},
        {MOD_CONTROL | MOD_SHIFT, VK_F9, false},             {MOD_SHIFT, VK_F5, false},
        {MOD_CONTROL, VK_F12, false},                        {kCtrlAlt, VK_F9, false},
        {MOD_ALT | MOD_SHIFT, VK_F4, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CapturesTyping({c.modifiers, c.key}), c.refused) << c.modifiers << " " << c.key;
}

TEST(HotKeyName, NamesExactlyTheChoosersKeys) {
    EXPECT_EQ(HotKeyName('A'), L"A");
    EXPECT_EQ(HotKeyName(VK_F12), L"F12");
    EXPECT_EQ(HotKeyName('1'), L"");
    EXPECT_EQ(HotKeyName(VK_F13), L"");
    for (const wchar_t* name : {L"A", L"Z", L"F1", L"F10", L"F12"}) EXPECT_EQ(HotKeyName(HotKeyFromName(name)), name);
    for (const wchar_t* name : {L"", L"a", L"F13", L"F0", L"AB", L"F1 "}) EXPECT_EQ(HotKeyFromName(name), 0u) << name;
}

class ChangeHotKeyTest : public ::testing::Test {
protected:
    ScratchRegistry registry;
    test::TestApp app;
};

TEST_F(ChangeHotKeyTest, UnchangedOrRefusedTouchesNothing) {
    const HotKeyCombo current{MOD_ALT, 'C'};
    for (const HotKeyCombo& wanted : {current, HotKeyCombo{0, 'C'}, HotKeyCombo{MOD_SHIFT, 'C'},
                                      HotKeyCombo{MOD_CONTROL, 'S'}, HotKeyCombo{kCtrlAlt, 'E'},
                                      HotKeyCombo{MOD_ALT, VK_F4}}) {
        const HotKeyChange expected = wanted == current ? HotKeyChange::Unchanged : HotKeyChange::Refused;
        EXPECT_EQ(ChangeHotKey(app.ui, current, wanted), expected);
    }
    EXPECT_TRUE(app.ui.calls.empty());
    EXPECT_EQ(Setting(L"MaxMinKey"), L"<missing>");
}

TEST_F(ChangeHotKeyTest, TakenKeyGivesTheOldOneBackAndKeepsTheValues) {
    StoreRaw(L"67", L"", L"", L"262144");
    app.ui.hotKeyAccepts = [](UINT modifiers, UINT key) { return !(modifiers == MOD_ALT && key == 'T'); };

    EXPECT_EQ(ChangeHotKey(app.ui, StoredHotKey(), {MOD_ALT, 'T'}), HotKeyChange::Taken);

    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"UnregisterHotKey 1", L"RegisterHotKey 1 1 84",
                                                       L"RegisterHotKey 1 1 67"}));
    EXPECT_EQ(Setting(L"MaxMinKey"), L"67");
    EXPECT_EQ(Setting(L"MaxMinAlt"), L"262144");
}

// Start-up could not register the stored key (another program held it): saving it unchanged
// registers it now.
TEST_F(ChangeHotKeyTest, AnUnchangedKeyThatStartUpCouldNotRegisterIsRegistered) {
    StoreRaw(L"67", L"", L"", L"262144");
    app.ui.hotKeyRegistered = false;
    EXPECT_EQ(ChangeHotKey(app.ui, StoredHotKey(), {MOD_ALT, 'C'}), HotKeyChange::Saved);
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"UnregisterHotKey 1", L"RegisterHotKey 1 1 67"}));
    EXPECT_EQ(StoredHotKey(), (HotKeyCombo{MOD_ALT, 'C'}));
}

TEST_F(ChangeHotKeyTest, RegisteredKeyIsStoredInTheFourValues) {
    StoreRaw(L"67", L"", L"", L"262144");

    EXPECT_EQ(ChangeHotKey(app.ui, StoredHotKey(), {kCtrlAlt, VK_F9}), HotKeyChange::Saved);

    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"UnregisterHotKey 1", L"RegisterHotKey 1 3 120"}));
    EXPECT_EQ(Setting(L"MaxMinKey"), L"120");
    EXPECT_EQ(Setting(L"MaxMinCtrl"), L"131072");
    EXPECT_EQ(Setting(L"MaxMinAlt"), L"262144");
    EXPECT_EQ(Setting(L"MaxMinShift"), L"");
    EXPECT_EQ(StoredHotKey(), (HotKeyCombo{kCtrlAlt, VK_F9}));
}

// ---- frmHotKeySet2's form ------------------------------------------------------------

TEST_F(ChangeHotKeyTest, OpeningShowsTheStoredKeyAndWritesNothing) {
    const struct {
        std::wstring key, shift, ctrl, alt;
        std::wstring shown;
        int shiftBox, ctrlBox, altBox;
    } cases[] = {
        {L"", L"", L"", L"", L"F8", 0, 0, 0},
        {L"0", L"", L"", L"", L"F8", 0, 0, 0},
        {L"120", L"", L"131072", L"262144", L"F9", 0, 1, 1},
        {L"75", L"65536", L"131072", L"", L"K", 1, 1, 0},
        {L"67", L"", L"", L"0", L"C", 0, 0, 1},  // any stored text ticks the box here
    };
    for (const auto& c : cases) {
        StoreRaw(c.key, c.shift, c.ctrl, c.alt);
        HotKeySetFormModel form;
        HotKeySetLoad(form);
        EXPECT_EQ(form.ComboBox1.Text(), c.shown);
        EXPECT_EQ(form.CheckBox1.Value(), c.shiftBox) << c.key;
        EXPECT_EQ(form.CheckBox2.Value(), c.ctrlBox) << c.key;
        EXPECT_EQ(form.CheckBox3.Value(), c.altBox) << c.key;
        EXPECT_EQ(Setting(L"MaxMinKey"), c.key) << "opening writes nothing";
        ASSERT_EQ(form.ComboBox1.ListCount(), 38);
        EXPECT_EQ(form.ComboBox1.List(0), L"F1");
        EXPECT_EQ(form.ComboBox1.List(12), L"A");
    }
}

TEST_F(ChangeHotKeyTest, SavingTellsTheUserWhatBecameOfTheChoice) {
    const struct {
        std::wstring key;
        bool shift, ctrl, alt, taken;
        std::wstring message, title;
        bool closes;
        std::wstring storedKey;
    } cases[] = {
        {L"", false, false, true, false, L"You must select a key!", L"Dorvik Quillmere Information", false, L"67"},
        {L"C", false, false, false, false, kHotKeyRefusedMessage, L"Dorvik Quillmere Information", false, L"67"},
        {L"T", false, false, true, true, kHotKeyTakenSaveMessage, L"Dorvik Quillmere Information", false, L"67"},
        {L"F9", true, true, false, false, kHotKeySavedMessage, kHotKeySavedTitle, true, L"120"},
        {L"C", false, false, true, false, L"", L"", true, L"67"},  // unchanged: closes without a word
    };
    for (const auto& c : cases) {
        StoreRaw(L"67", L"", L"", L"262144");
        test::TestApp local;
        local.ui.hotKeyResult = !c.taken;
        HotKeySetFormModel form;
        HotKeySetLoad(form);
        form.form.SetVisible(true);
        form.ComboBox1.SetListIndex(form.ComboBox1.FindNoCase(c.key));
        form.CheckBox1.SetValue(c.shift ? 1 : 0);
        form.CheckBox2.SetValue(c.ctrl ? 1 : 0);
        form.CheckBox3.SetValue(c.alt ? 1 : 0);

        EXPECT_EQ(HotKeySetSave(local.ctx, form), c.closes) << c.key;

        if (c.message.empty()) {
            EXPECT_TRUE(local.dialogs.messages.empty());
        } else {
            ASSERT_EQ(local.dialogs.messages.size(), 1u) << c.key;
            EXPECT_EQ(local.dialogs.Last().text, c.message);
            EXPECT_EQ(local.dialogs.Last().title, c.title);
        }
        EXPECT_EQ(form.form.Visible(), !c.closes) << "shown again to choose anew";
        EXPECT_EQ(Setting(L"MaxMinKey"), c.storedKey);
    }
}

// ---- start-up ------------------------------------------------------------------------

TEST_F(ChangeHotKeyTest, StartUpReplacesAStoredTypingKeyByAltC) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    StoreRaw(L"83", L"", L"131072", L"");  // Ctrl+S

    Main(app.ctx, {L"", L"C:\\Apps\\Quill"});

    EXPECT_FALSE(app.ui.Called(L"RegisterHotKey 1 2 83"));
    EXPECT_TRUE(app.ui.Called(L"RegisterHotKey 1 1 67"));
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, kStoredHotKeyRefusedMessage);
    EXPECT_EQ(StoredHotKey(), kDefaultCleanHotKey);
    EXPECT_EQ(Setting(L"MaxMinCtrl"), L"");
}

// ---- real key presses under Xvfb -------------------------------------------------------

// Hot keys fire only on real key events into a focused window of the prefix (KeyTarget).
class RealKeysTest : public ::testing::Test, protected test::DesktopApp {
protected:
    RealKeysTest() : DesktopApp(L"qm-realkeys") {
        BindCountForm(ctx);
        for (const wchar_t* name : {L"AutoFunction", L"TempFiles"})
            ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"Yes");
    }
    void Register(UINT modifiers, UINT key) {
        ASSERT_TRUE(host.RegisterHotKey(host.MaxMinWindow(), kCleanHotKeyId, modifiers, key));
        host.Hook(host.MaxMinWindow());
    }
    void Press(const std::wstring& keys, int times = 1) { ASSERT_TRUE(target_.Press(keys, times)); }
    void FillTemp(int files) {
        for (int i = 0; i < files; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    }
    bool TempEmpty() { return !test::PathExists(temp / L"f0.tmp"); }

    test::KeyTarget target_;
};

TEST_F(RealKeysTest, DefaultAndChosenKeysCleanAndShowTheTrueCount) {
    const struct {
        UINT modifiers, key;
        std::wstring keys;
    } cases[] = {{MOD_ALT, 'C', L"alt+c"}, {MOD_CONTROL | MOD_SHIFT, VK_F9, L"ctrl+shift+F9"}};
    for (const auto& c : cases) {
        FillTemp(3);
        Register(c.modifiers, c.key);

        Press(c.keys);
        test::PumpMessages(8000, [&] { return TempEmpty() && ctx.frmCount.Label1.Caption() == L"3"; });

        EXPECT_TRUE(TempEmpty()) << c.keys;
        EXPECT_EQ(ctx.frmCount.Label1.Caption(), L"3") << c.keys;
        EXPECT_TRUE(dialogs.messages.empty());
        host.UnregisterHotKey(host.MaxMinWindow(), kCleanHotKeyId);
        ctx.frmCount.Label1.SetCaption(L"");
    }
}

// Four more presses while the first clean is under way, some dispatched during it and some
// still queued when it ends: one clean. Each clean calls for the removal of "held", which is
// refused, so the calls count the cleans.
TEST_F(RealKeysTest, FivePressesDuringACleanStartOneClean) {
    struct PressingHooks : WalkHooks {
        std::function<void()> duringClean;
        int heldRemovals = 0;
        void BeforeDescend(const std::wstring&) override {
            if (auto press = std::exchange(duringClean, nullptr)) press();
        }
        bool RemoveFolder(const WalkFolder& folder) override {
            if (folder.LongPath().ends_with(L"\\held")) return ++heldRemovals, false;
            return WalkHooks::RemoveFolder(folder);
        }
    } hooks;
    hooks.duringClean = [&] { Press(L"alt+c", 4); };
    const ScopedWalkHooks installed(hooks);
    test::MakeFolder(temp / L"held");
    FillTemp(200);
    Register(MOD_ALT, 'C');

    Press(L"alt+c");
    test::PumpMessages(8000, [&] { return TempEmpty() && hooks.heldRemovals > 0; });
    test::PumpMessages(3000);

    EXPECT_TRUE(TempEmpty());
    EXPECT_EQ(hooks.heldRemovals, 1);
}

// The chooser's real window: a bare letter and a key another window holds are refused and
// Alt+C keeps cleaning; Ctrl+Shift+F9 is saved in the four values and cleans at once.
TEST_F(RealKeysTest, TheChooserWindowSavesOnlyAKeyThatCanClean) {
    StoreHotKey(kDefaultCleanHotKey);
    Register(MOD_ALT, 'C');
    ASSERT_TRUE(::RegisterHotKey(target_.Handle(), 7, MOD_CONTROL | MOD_SHIFT, VK_F10));  // held elsewhere
    const struct {
        const wchar_t* key;
        bool shift, ctrl, alt;
        const wchar_t* message;
        std::wstring cleaningKeys, storedKey;
    } cases[] = {
        {L"A", false, false, false, kHotKeyRefusedMessage, L"alt+c", L"67"},
        {L"F10", true, true, false, kHotKeyTakenSaveMessage, L"alt+c", L"67"},
        {L"F9", true, true, false, kHotKeySavedMessage, L"ctrl+shift+F9", L"120"},
    };
    for (const auto& c : cases) {
        ShowHotKeySetter(ctx);
        const HWND window = ::FindWindowW(kHotKeyWindowClass, kHotKeyWindowCaption);
        ASSERT_NE(window, nullptr);
        const HWND combo = ::GetDlgItem(window, 100);
        ::SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(c.key));
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(100, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        const bool wanted[] = {c.shift, c.ctrl, c.alt};
        for (int box = 0; box < 3; ++box) {
            const HWND check = ::GetDlgItem(window, 101 + box);
            if ((::SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED) != wanted[box])
                ::SendMessageW(check, BM_CLICK, 0, 0);
        }
        ::SendMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        test::PumpMessages(300);
        ASSERT_FALSE(dialogs.messages.empty()) << c.key;
        EXPECT_EQ(dialogs.Last().text, c.message) << c.key;
        EXPECT_EQ(Setting(L"MaxMinKey"), c.storedKey) << c.key;
        if (::IsWindow(window)) ::SendMessageW(window, WM_CLOSE, 0, 0);

        FillTemp(2);
        ::SetForegroundWindow(target_.Handle());
        Press(c.cleaningKeys);
        test::PumpMessages(8000, [&] { return TempEmpty(); });
        EXPECT_TRUE(TempEmpty()) << c.key << ": " << c.cleaningKeys << " no longer cleans";
        dialogs.messages.clear();
    }
    EXPECT_EQ(Setting(L"MaxMinShift"), L"65536");
    EXPECT_EQ(Setting(L"MaxMinCtrl"), L"131072");
    EXPECT_EQ(Setting(L"MaxMinAlt"), L"");
    ::UnregisterHotKey(target_.Handle(), 7);
}

TEST_F(RealKeysTest, PressesWhileTheRefusalIsOpenAreDropped) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"AutoFunction", L"No");
    FillTemp(1);
    Register(MOD_ALT, 'C');
    // The box stays "open" while four more presses arrive and are dispatched.
    dialogs.onMessage = [&](const MessageBoxRequest&) {
        ::SetForegroundWindow(target_.Handle());
        Press(L"alt+c", 4);
        test::PumpMessages(1500);
    };

    Press(L"alt+c");
    test::PumpMessages(3000, [&] { return !dialogs.messages.empty(); });
    dialogs.onMessage = nullptr;
    test::PumpMessages(1000);

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.Last().text, L"The AutoClean Box Must Be Checked For This Function To Work!");
    EXPECT_FALSE(TempEmpty());
    EXPECT_FALSE(ctx.HotKeyCleaning);
}

}  // namespace
}  // namespace qm
