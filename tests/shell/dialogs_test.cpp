// The About box and the calibration notice: their templates as linked into
// the program, the controls the dialog manager creates from them, and what
// closing them does.
#include "shell_harness.h"

#include "about_box.h"
#include "corvane_version.h"
#include "main_window.h"
#include "notice_and_alert.h"
#include "resource.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <cstring>

namespace {

char const ABOUT_TEXT[] =
    "The system power manager is miscalculating the battery charge percentage. Corvane will "
    "compensate for this by engaging a new time remaining after the system status depletes from "
    "100% to 1%. To activate, fully charge the battery and disconnect power.";
char const NOTICE_TEXT[] =
    "You must start with a fully charged battery for active calibration.\n\nInactive calibration "
    "results in inaccurate system status and you will not be notified when the battery is low.";

DWORD const CHILD = WS_CHILD | WS_VISIBLE;
int const NO_ID = -1;  // a WORD in a classic template, a DWORD in an extended one

// A dialog template as the resource compiler laid it out, in either format.
struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    unsigned id;
    std::string className;  // ordinal classes by name: "Button", "Static"
    std::string text;       // an ordinal title (an icon id) as "#107"
};

struct DialogTemplate {
    bool extended;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    std::string menu;
    std::string className;
    std::string caption;
    int pointSize;
    int weight;
    int italic;
    int charset;
    std::string typeface;
    std::vector<TemplateItem> items;
};

class TemplateReader {
public:
    TemplateReader(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool Ok() const { return ok_; }
    WORD Word() {
        if (at_ + 2 > size_) return Fail();
        WORD value = static_cast<WORD>(bytes_[at_] | bytes_[at_ + 1] << 8);
        at_ += 2;
        return value;
    }
    DWORD Dword() {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() {
        if (at_ + 1 > size_) return static_cast<BYTE>(Fail());
        return bytes_[at_++];
    }
    // A zero-terminated UTF-16 string, kept as ASCII (the templates hold no other text).
    std::string String() {
        std::string text;
        for (WORD c = Word(); ok_ && c != 0; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    // A string or, after 0xFFFF, an ordinal.
    std::string StringOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        if (first == 0) return "";
        std::string text(1, first < 0x80 ? static_cast<char>(first) : '?');
        return text + String();
    }
    void AlignToDword() { at_ = (at_ + 3) & ~size_t(3); }
    void Skip(size_t count) { at_ += count; }

private:
    WORD Fail() {
        ok_ = false;
        at_ = size_;
        return 0;
    }
    const unsigned char* bytes_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

std::string OrdinalClassName(const std::string& name) {
    if (name == "#128") return "Button";
    if (name == "#129") return "Edit";
    if (name == "#130") return "Static";
    if (name == "#131") return "ListBox";
    if (name == "#132") return "ScrollBar";
    if (name == "#133") return "ComboBox";
    return name;
}

bool ReadTemplate(int resourceId, DialogTemplate* dialog) {
    HMODULE module = TestModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return false;
    TemplateReader in(static_cast<const unsigned char*>(LockResource(loaded)),
                      SizeofResource(module, resource));

    DWORD first = in.Dword();
    dialog->extended = first == 0xFFFF0001;  // dlgVer 1, signature 0xFFFF
    int count;
    if (dialog->extended) {
        in.Dword();  // help id
        dialog->exStyle = in.Dword();
        dialog->style = in.Dword();
    } else {
        dialog->style = first;
        dialog->exStyle = in.Dword();
    }
    count = in.Word();
    dialog->x = in.Short();
    dialog->y = in.Short();
    dialog->cx = in.Short();
    dialog->cy = in.Short();
    dialog->menu = in.StringOrOrdinal();
    dialog->className = in.StringOrOrdinal();
    dialog->caption = in.String();
    dialog->pointSize = dialog->weight = dialog->italic = dialog->charset = -1;
    if (dialog->style & DS_SETFONT) {
        dialog->pointSize = in.Word();
        if (dialog->extended) {
            dialog->weight = in.Word();
            dialog->italic = in.Byte();
            dialog->charset = in.Byte();
        }
        dialog->typeface = in.String();
    }
    for (int i = 0; i < count && in.Ok(); ++i) {
        in.AlignToDword();
        TemplateItem item;
        if (dialog->extended) {
            in.Dword();  // help id
            item.exStyle = in.Dword();
            item.style = in.Dword();
        } else {
            item.style = in.Dword();
            item.exStyle = in.Dword();
        }
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = dialog->extended ? in.Dword() : in.Word();
        item.className = OrdinalClassName(in.StringOrOrdinal());
        item.text = in.StringOrOrdinal();
        in.Skip(in.Word());  // creation data
        dialog->items.push_back(item);
    }
    return in.Ok();
}

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;  // "#107" for the icon
    DWORD style;
    int x, y, cx, cy;
};

ExpectedControl const ABOUT_CONTROLS[] = {
    {IDC_ABOUT_ICON, "Static", "#107", SS_ICON | CHILD, 14, 9, 20, 20},
    {IDOK, "Button", "OK", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP | CHILD, 195, 10, 30, 11},
    {NO_ID, "Button", "Corvane " CORVANE_VERSION, BS_GROUPBOX | CHILD, 45, 7, 145, 77},
    {NO_ID, "Static", ABOUT_TEXT, SS_LEFT | WS_GROUP | CHILD, 51, 20, 135, 59},
};

ExpectedControl const NOTICE_CONTROLS[] = {
    {NO_ID, "Static", NOTICE_TEXT, SS_LEFT | WS_GROUP | CHILD, 10, 10, 180, 40},
    {IDC_DONT_SHOW, "Button", "Don't show this again", BS_AUTOCHECKBOX | WS_TABSTOP | CHILD, 10, 60, 180, 10},
    {IDOK, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | CHILD, 75, 80, 50, 14},
};

template <size_t N>
void ExpectTemplateControls(const DialogTemplate& dialog, const ExpectedControl (&expected)[N]) {
    ASSERT_EQ(dialog.items.size(), N);
    for (size_t i = 0; i < N; ++i) {
        const TemplateItem& item = dialog.items[i];
        const ExpectedControl& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + item.text.substr(0, 30) + "\"");
        EXPECT_EQ(item.id, dialog.extended ? static_cast<DWORD>(want.id) : static_cast<WORD>(want.id));
        // windres writes the class as a name, in capitals; the dialog manager
        // looks classes up without regard to case.
        EXPECT_EQ(lstrcmpiA(item.className.c_str(), want.className), 0)
            << item.className << " for " << want.className;
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.style, want.style) << std::hex << "extra bits " << (item.style & ~want.style)
                                          << ", missing bits " << (want.style & ~item.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
    }
}

TEST(DialogTemplates, AboutBoxIsAClassicTemplateWithItsFourControls) {
    DialogTemplate about = {};
    ASSERT_TRUE(ReadTemplate(IDD_ABOUT, &about));
    EXPECT_FALSE(about.extended);
    EXPECT_EQ(about.style, DWORD(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | DS_SETFONT));
    EXPECT_EQ(about.style & WS_POPUP, 0u);
    EXPECT_EQ(about.exStyle, 0u);
    EXPECT_EQ(about.x, 22);
    EXPECT_EQ(about.y, 10);
    EXPECT_EQ(about.cx, 230);
    EXPECT_EQ(about.cy, 103);
    EXPECT_EQ(about.menu, "");
    EXPECT_EQ(about.className, "");
    EXPECT_EQ(about.caption, "About");
    EXPECT_EQ(about.pointSize, 8);
    EXPECT_EQ(about.typeface, "System");
    ExpectTemplateControls(about, ABOUT_CONTROLS);
}

TEST(DialogTemplates, NoticeIsAnExtendedTemplateWithItsThreeControls) {
    DialogTemplate notice = {};
    ASSERT_TRUE(ReadTemplate(IDD_NOTICE, &notice));
    EXPECT_TRUE(notice.extended);
    EXPECT_EQ(notice.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFONT));
    EXPECT_EQ(notice.exStyle, 0u);
    EXPECT_EQ(notice.x, 0);
    EXPECT_EQ(notice.y, 0);
    EXPECT_EQ(notice.cx, 200);
    EXPECT_EQ(notice.cy, 100);
    EXPECT_EQ(notice.caption, "Corvane Alert");
    EXPECT_EQ(notice.pointSize, 8);
    EXPECT_EQ(notice.weight, 0);
    EXPECT_EQ(notice.italic, 0);
    EXPECT_EQ(notice.charset, 1);
    EXPECT_EQ(notice.typeface, "MS Shell Dlg");
    ExpectTemplateControls(notice, NOTICE_CONTROLS);
}

using DialogTest = ShellTest;

// The controls the dialog manager created, in creation (tab) order, against
// the same table: class, id, text, style bits and place in dialog units.
template <size_t N>
void ExpectCreatedControls(HWND dialog, const ExpectedControl (&expected)[N]) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    ASSERT_EQ(controls.size(), N);
    for (size_t i = 0; i < N; ++i) {
        HWND control = controls[i];
        const ExpectedControl& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + TextOf(control).substr(0, 30) + "\"");
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(control)), static_cast<WORD>(want.id));
        EXPECT_EQ(ClassOf(control), want.className);
        // The styled buttons of version 6 of the controls, which the program's
        // manifest asks for; only they answer for their ideal size.
        if (ClassOf(control) == "Button") {
            SIZE ideal = {};
            EXPECT_TRUE(SendMessageA(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
        }
        DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        EXPECT_EQ(style & want.style, want.style) << std::hex << "missing bits " << (want.style & ~style);
        if (std::strcmp(want.text, "#107") == 0) {
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0)),
                      LoadIconA(TestModule(), MAKEINTRESOURCEA(IDI_APP)));
        } else {
            EXPECT_EQ(TextOf(control), want.text);
        }

        // The dialog manager converts the place and the size each on its own.
        RECT place = {want.x, want.y, want.cx, want.cy};
        MapDialogRect(dialog, &place);
        RECT placed;
        GetWindowRect(control, &placed);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, place.left);
        EXPECT_EQ(placed.top, place.top);
        // An icon static sizes itself to its icon.
        if (std::strcmp(want.text, "#107") != 0) {
            EXPECT_EQ(placed.right - placed.left, place.right);
            EXPECT_EQ(placed.bottom - placed.top, place.bottom);
        }
    }
}

TEST_F(DialogTest, AboutBoxCreatesItsControlsFromTheTemplate) {
    HWND about = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(IDD_ABOUT), window,
                                    AboutDialogProc, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(TextOf(about), "About");
    DWORD style = static_cast<DWORD>(GetWindowLongA(about, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME), DWORD(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    ExpectCreatedControls(about, ABOUT_CONTROLS);
    DestroyWindow(about);
}

TEST_F(DialogTest, NoticeCreatesItsControlsFromTheTemplateWithTheBoxUnticked) {
    HWND notice = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(IDD_NOTICE), window,
                                     NoticeDialogProc, 0);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(TextOf(notice), "Corvane Alert");
    ExpectCreatedControls(notice, NOTICE_CONTROLS);
    EXPECT_EQ(IsDlgButtonChecked(notice, IDC_DONT_SHOW), UINT(BST_UNCHECKED));
    DestroyWindow(notice);
}

TEST_F(DialogTest, AboutDialogProcAnswersInitAndEndsOnOkAndCancelOnly) {
    HWND about = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(IDD_ABOUT), window,
                                    AboutDialogProc, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(AboutDialogProc(about, WM_INITDIALOG, 0, 0), TRUE) << "lets the manager set the focus";
    EXPECT_EQ(AboutDialogProc(about, WM_COMMAND, IDC_DONT_SHOW, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(about, WM_COMMAND, 1234, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(about, WM_CLOSE, 0, 0), FALSE) << "left to the dialog manager";
    DestroyWindow(about);
}

// How a user closes a modal dialog, as messages to it.
enum class CloseBy { OkButton, Command_IDOK, Command_IDCANCEL, Escape, Enter, CloseMessage };

char const* Name(CloseBy how) {
    switch (how) {
    case CloseBy::OkButton:         return "clicking OK";
    case CloseBy::Command_IDOK:     return "IDOK";
    case CloseBy::Command_IDCANCEL: return "IDCANCEL";
    case CloseBy::Escape:           return "Esc";
    case CloseBy::Enter:            return "Enter";
    case CloseBy::CloseMessage:     return "the caption's close button (WM_CLOSE)";
    }
    return "?";
}

void Close(HWND dialog, CloseBy how) {
    switch (how) {
    case CloseBy::OkButton:         Click(dialog, IDOK); break;
    case CloseBy::Command_IDOK:     SendMessageA(dialog, WM_COMMAND, IDOK, 0); break;
    case CloseBy::Command_IDCANCEL: SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); break;
    // Keys go through the modal loop, whose IsDialogMessage turns them into commands.
    case CloseBy::Escape:
        PostMessageA(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        break;
    case CloseBy::Enter:
        PostMessageA(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_RETURN, 0);
        break;
    case CloseBy::CloseMessage:     PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    }
}

CloseBy const EVERY_CLOSE[] = {CloseBy::OkButton, CloseBy::Command_IDOK, CloseBy::Command_IDCANCEL,
                               CloseBy::Escape, CloseBy::Enter, CloseBy::CloseMessage};

TEST_F(DialogTest, AboutBoxIsModalOverTheWindowAndClosesEveryWay) {
    for (CloseBy how : EVERY_CLOSE) {
        SCOPED_TRACE(Name(how));
        HWND seenOwner = nullptr;
        ModalDriver driver([&](HWND dialog) {
            seenOwner = GetWindow(dialog, GW_OWNER);
            Close(dialog, how);
        });
        ShowAboutBox(window);
        EXPECT_EQ(driver.dialogs, std::vector<std::string>{"About"});
        EXPECT_EQ(driver.forcedCloses, 0) << "the About box did not close";
        EXPECT_EQ(seenOwner, window);
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(FileExists(kStateFileName));
}

TEST_F(DialogTest, AboutCommandOpensTheAboutBox) {
    ModalDriver driver([](HWND dialog) { Click(dialog, IDOK); });
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, IDM_TRAY_ABOUT, 0), 0);
    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"About"});
    EXPECT_EQ(driver.forcedCloses, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(DialogTest, NoticeRemembersTheBoxHoweverItIsClosed) {
    for (bool tick : {false, true}) {
        for (CloseBy how : EVERY_CLOSE) {
            SCOPED_TRACE(std::string(tick ? "ticked, " : "unticked, ") + Name(how));
            RemoveStateFiles();
            g_calibration = CalibrationState{};
            UINT initially = 99;
            HWND seenOwner = nullptr;
            ModalDriver driver([&](HWND dialog) {
                initially = IsDlgButtonChecked(dialog, IDC_DONT_SHOW);
                seenOwner = GetWindow(dialog, GW_OWNER);
                if (tick) Click(dialog, IDC_DONT_SHOW);
                Close(dialog, how);
            });
            ShowCalibrationNotice(window);
            ASSERT_EQ(driver.dialogs, std::vector<std::string>{"Corvane Alert"});
            EXPECT_EQ(driver.forcedCloses, 0) << "the notice did not close";
            EXPECT_EQ(initially, UINT(BST_UNCHECKED)) << "the box starts unticked";
            EXPECT_EQ(seenOwner, window);
            EXPECT_EQ(g_calibration.noticeSuppressed, tick ? 1 : 0);
            if (tick) {
                // Saved at once: the choice holds even if nothing else is ever saved.
                Bytes const file = ReadFileBytes(kStateFileName);
                ASSERT_EQ(file.size(), 7u) << HexBytes(file);
                EXPECT_EQ(file[6], 1) << HexBytes(file);
                EXPECT_EQ(file, (Bytes{0, 0, 0, 0, 0, 0, 1})) << HexBytes(file);
            } else {
                EXPECT_FALSE(FileExists(kStateFileName)) << "an unticked notice writes nothing";
            }
        }
    }
}

TEST_F(DialogTest, NoticeSavesTheRestOfTheStateWithTheChoice) {
    g_calibration.countdownStarted = 1;
    g_calibration.remainingSeconds = 0x0102;
    g_calibration.calibrationActive = 1;
    ModalDriver driver([](HWND dialog) {
        Click(dialog, IDC_DONT_SHOW);
        Click(dialog, IDOK);
    });
    ShowCalibrationNotice(window);
    EXPECT_EQ(ReadFileBytes(kStateFileName), (Bytes{1, 0x02, 0x01, 0, 0, 1, 1}))
        << HexBytes(ReadFileBytes(kStateFileName));
}

TEST_F(DialogTest, TickingTheBoxTwiceLeavesItUnticked) {
    ModalDriver driver([](HWND dialog) {
        Click(dialog, IDC_DONT_SHOW);
        Click(dialog, IDC_DONT_SHOW);
        Click(dialog, IDOK);
    });
    ShowCalibrationNotice(window);
    EXPECT_EQ(g_calibration.noticeSuppressed, 0);
    EXPECT_FALSE(FileExists(kStateFileName));
}

TEST_F(DialogTest, SuppressedNoticeIsNotShown) {
    g_calibration.noticeSuppressed = 1;
    ModalDriver driver;
    ShowCalibrationNotice(window);
    PumpMessages();
    EXPECT_TRUE(driver.dialogs.empty());
    EXPECT_EQ(g_calibration.noticeSuppressed, 1);
    EXPECT_FALSE(FileExists(kStateFileName)) << "nothing changed, nothing saved";
}

TEST_F(DialogTest, NoticeDialogProcReadsTheBoxOnOkAndCancelOnly) {
    HWND notice = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(IDD_NOTICE), window,
                                     NoticeDialogProc, 0);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(NoticeDialogProc(notice, WM_INITDIALOG, 0, 0), TRUE);
    CheckDlgButton(notice, IDC_DONT_SHOW, BST_CHECKED);
    EXPECT_EQ(NoticeDialogProc(notice, WM_COMMAND, IDC_DONT_SHOW, 0), FALSE) << "ticking alone decides nothing";
    EXPECT_EQ(g_calibration.noticeSuppressed, 0);
    EXPECT_EQ(NoticeDialogProc(notice, WM_COMMAND, IDCANCEL, 0), TRUE);
    EXPECT_EQ(g_calibration.noticeSuppressed, 1);
    CheckDlgButton(notice, IDC_DONT_SHOW, BST_UNCHECKED);
    EXPECT_EQ(NoticeDialogProc(notice, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(g_calibration.noticeSuppressed, 0);
    DestroyWindow(notice);
}

// What the alert asked winmm to play, and how.
std::string g_sound;
DWORD g_soundFlags;

BOOL WINAPI RecordSound(LPCSTR sound, HMODULE, DWORD flags) {
    g_sound = sound;
    g_soundFlags = flags;
    return TRUE;
}

TEST_F(DialogTest, LowBatteryAlertIsAWarningBox) {
    g_sound.clear();
    StandIn playSound("PlaySoundA", RecordSound);
    std::string text;
    HICON icon = nullptr;
    std::vector<std::string> buttons;
    HWND owner = window;
    ModalDriver driver([&](HWND box) {
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            if (ClassOf(child) == "Button") {
                buttons.push_back(std::to_string(GetDlgCtrlID(child)) + " " + TextOf(child));
            }
            if (ClassOf(child) != "Static") continue;
            // The message is the box's one static control with text; the icon is another.
            if (!TextOf(child).empty()) text = TextOf(child);
            if (HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0))) icon = shown;
        }
        owner = GetWindow(box, GW_OWNER);
        Click(box, IDOK);
    });
    RaiseLowBatteryAlert();
    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"Battery Alert"});
    EXPECT_EQ(driver.forcedCloses, 0);
    EXPECT_EQ(text, "Battery is getting low. Plug in soon.");
    EXPECT_EQ(icon, LoadIconA(nullptr, IDI_WARNING)) << "the system's warning icon";
    EXPECT_EQ(buttons, std::vector<std::string>{"1 OK"}) << "one OK button";
    EXPECT_EQ(owner, nullptr) << "no owner window";
    EXPECT_EQ(g_sound, "SystemHand");
    EXPECT_EQ(g_soundFlags, DWORD(SND_ALIAS | SND_ASYNC)) << "the system's sound, played without holding the loop";
}

}  // namespace
