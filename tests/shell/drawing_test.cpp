// The status window's picture, painted into a 32-bit memory bitmap the size
// of the client area and read back pixel by pixel: the framed bar graph, the
// headline, the separator and the status text.
#include "shell_harness.h"

#include "app_mode_switch.h"
#include "main_window.h"
#include "power_tick.h"
#include "status_drawing.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

COLORREF const BLACK = RGB(0, 0, 0);
COLORREF const BLUE = RGB(100, 100, 255);
COLORREF const LIGHT_BLUE = RGB(140, 140, 255);
COLORREF const GREY = RGB(169, 169, 169);
COLORREF const LIGHT_GREY = RGB(220, 220, 220);

// The bar's rows and its frame, one pixel outside on every side.
int const BAR_X = 10;
int const BAR_FIRST_ROW = 13;
int const BAR_LAST_ROW = 22;
int const FRAME_TOP_ROW = 12;
int const FRAME_BOTTOM_ROW = 23;
int const SEPARATOR_ROW = 80;
int const HEADLINE_TOP = 38;
int const STATUS_TOP = 73;

std::string ColourName(COLORREF colour) {
    if (colour == CLR_INVALID) return "no pixel";  // outside the canvas, or no canvas at all
    if (colour == BLACK) return "black";
    if (colour == BLUE) return "blue";
    if (colour == LIGHT_BLUE) return "light-blue";
    if (colour == GREY) return "grey";
    if (colour == LIGHT_GREY) return "light-grey";
    if (colour == GetSysColor(COLOR_WINDOW)) return "window";
    char text[32];
    std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return text;
}

// A memory DC holding a top-down 32-bit DIB the size of a window's client
// area, first filled with the window colour as the system's erase would.
class Canvas {
public:
    explicit Canvas(HWND window) {
        RECT client;
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width_, height_};
        FillRect(dc_, &all, GetSysColorBrush(COLOR_WINDOW));
        GdiFlush();
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    COLORREF At(int x, int y) const {
        if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        std::uint32_t pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

    // The colours of a row from x to x + count - 1 as runs: "grey x114, blue x68".
    std::string Runs(int y, int x, int count) const {
        std::string text;
        int i = 0;
        while (i < count) {
            COLORREF colour = At(x + i, y);
            int run = 1;
            while (i + run < count && At(x + i + run, y) == colour) ++run;
            if (!text.empty()) text += ", ";
            text += ColourName(colour) + " x" + std::to_string(run);
            i += run;
        }
        return text;
    }

    // Pixels in the rows [top, bottom) and columns [left, right) that are not
    // the window colour.
    int InkIn(int left, int top, int right, int bottom) const {
        COLORREF const background = GetSysColor(COLOR_WINDOW);
        int ink = 0;
        for (int y = top; y < bottom && y < height_; ++y) {
            for (int x = left; x < right && x < width_; ++x) {
                if (At(x, y) != background) ++ink;
            }
        }
        return ink;
    }

    bool SameRows(const Canvas& other, int top, int bottom) const {
        if (other.width_ != width_) return false;
        for (int y = top; y < bottom && y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (At(x, y) != other.At(x, y)) return false;
            }
        }
        return true;
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The expected colours of one bar row, as the run text Canvas::Runs gives.
class ExpectedRow {
public:
    ExpectedRow& Add(COLORREF colour, int count) {
        if (count <= 0) return *this;
        if (!runs_.empty() && runs_.back().colour == colour) {
            runs_.back().count += count;
        } else {
            runs_.push_back({colour, count});
        }
        return *this;
    }
    std::string Text() const {
        std::string text;
        for (const Run& run : runs_) {
            if (!text.empty()) text += ", ";
            text += ColourName(run.colour) + " x" + std::to_string(run.count);
        }
        return text;
    }

private:
    struct Run {
        COLORREF colour;
        int count;
    };
    std::vector<Run> runs_;
};

void SetState(int active, int countdown, int remaining, int systemPercent) {
    g_calibration.calibrationActive = static_cast<std::uint8_t>(active);
    g_calibration.countdownStarted = static_cast<std::uint8_t>(countdown);
    g_calibration.displayedRemaining = remaining;
    g_calibration.systemPercent = systemPercent;
}

class DrawingTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        CreateDrawingBrushes();
    }

    // A plain window whose client area is exactly this size, to paint at a
    // bar width of the test's choosing.
    HWND PlainWindow(int width, int height) {
        HWND plain = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, width, height, nullptr,
                                     nullptr, nullptr, nullptr);
        EXPECT_NE(plain, nullptr);
        plainWindows_.push_back(plain);
        return plain;
    }

    void TearDown() override {
        for (HWND plain : plainWindows_) DestroyWindow(plain);
        ShellTest::TearDown();
    }

    // Checks the frame, and that every bar row shows the expected colours.
    void ExpectBar(const Canvas& canvas, int barWidth, const ExpectedRow& row,
                   bool systemPastFrame = false) {
        int const right = BAR_X + barWidth;  // the frame's right column
        EXPECT_EQ(canvas.Runs(FRAME_TOP_ROW, BAR_X - 1, barWidth + 2), "black x" + std::to_string(barWidth + 2));
        EXPECT_EQ(canvas.Runs(FRAME_BOTTOM_ROW, BAR_X - 1, barWidth + 2), "black x" + std::to_string(barWidth + 2));
        for (int y = BAR_FIRST_ROW; y <= BAR_LAST_ROW; ++y) {
            SCOPED_TRACE("row " + std::to_string(y));
            EXPECT_EQ(canvas.At(BAR_X - 1, y), BLACK) << "left frame";
            EXPECT_EQ(canvas.Runs(y, BAR_X, barWidth), row.Text());
            if (!systemPastFrame) {
                EXPECT_EQ(canvas.At(right, y), BLACK) << "right frame";
                EXPECT_EQ(canvas.At(right + 1, y), GetSysColor(COLOR_WINDOW)) << "outside the frame";
            }
        }
        EXPECT_EQ(canvas.At(BAR_X - 2, (BAR_FIRST_ROW + BAR_LAST_ROW) / 2), GetSysColor(COLOR_WINDOW));
        EXPECT_EQ(canvas.At(BAR_X, FRAME_TOP_ROW - 1), GetSysColor(COLOR_WINDOW));
        EXPECT_EQ(canvas.At(BAR_X, FRAME_BOTTOM_ROW + 1), GetSysColor(COLOR_WINDOW));
    }

    std::vector<HWND> plainWindows_;
};

int BarWidthOf(HWND painted) {
    RECT client;
    GetClientRect(painted, &client);
    return client.right - 20;
}

TEST_F(DrawingTest, BarSegmentsFollowTheCalibrationState) {
    struct Case {
        const char* what;
        int active, countdown, remaining, systemPercent;
        // The reserve's share of the half, in seconds of the hour.
        int reserveSeconds;
    } const cases[] = {
        {"inactive: grey reserve, system share in blue", 0, 0, 0, 60, 3600},
        {"inactive at 100%: both halves full", 0, 0, 0, 100, 3600},
        {"active before the countdown: light blue edge to edge", 1, 0, 0, 0, 3600},
        {"active, system at 40%", 1, 0, 0, 40, 3600},
        {"countdown half spent", 1, 1, 1800, 1, 1800},
        {"countdown just started", 1, 1, 3595, 1, 3595},
        {"countdown at the last minute", 1, 1, 60, 1, 60},
        {"countdown with nothing displayed: no reserve", 1, 1, 0, 50, 0},
        {"countdown while inactive shrinks the grey part", 0, 1, 900, 1, 900},
    };
    int const barWidth = BarWidthOf(window);
    int const half = barWidth / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetState(c.active, c.countdown, c.remaining, c.systemPercent);
        Canvas canvas(window);
        ASSERT_TRUE(canvas.Ready());
        PaintStatusWindow(canvas.Dc(), window);
        GdiFlush();

        int const reserve = half * c.reserveSeconds / 3600;
        int const system = half * c.systemPercent / 100;
        ExpectedRow row;
        row.Add(c.active ? LIGHT_BLUE : GREY, reserve).Add(LIGHT_GREY, half - reserve);
        if (system > 1) row.Add(BLUE, system);
        row.Add(LIGHT_GREY, barWidth - half - (system > 1 ? system : 0));
        ExpectBar(canvas, barWidth, row);
    }
}

TEST_F(DrawingTest, BarSpansTheClientWidthLessTheMargins) {
    // The status window's own client area, and two other widths.
    for (HWND painted : {window, PlainWindow(240, 185), PlainWindow(201, 120)}) {
        int const barWidth = BarWidthOf(painted);
        SCOPED_TRACE("bar width " + std::to_string(barWidth));
        SetState(0, 0, 0, 100);
        Canvas canvas(painted);
        ASSERT_TRUE(canvas.Ready());
        PaintStatusWindow(canvas.Dc(), painted);
        GdiFlush();
        int const half = barWidth / 2;
        ExpectBar(canvas, barWidth,
                  ExpectedRow().Add(GREY, half).Add(BLUE, half).Add(LIGHT_GREY, barWidth - 2 * half));
    }
}

TEST_F(DrawingTest, SystemSegmentNeedsMoreThanOnePixel) {
    // A 220-pixel bar: each half is 110 pixels, so 1% is one pixel and 2% two.
    HWND painted = PlainWindow(240, 185);
    ASSERT_EQ(BarWidthOf(painted), 220);
    struct Case {
        int systemPercent;
        int bluePixels;
    } const cases[] = {{0, 0}, {1, 0}, {2, 2}, {3, 3}, {50, 55}};
    for (const Case& c : cases) {
        SCOPED_TRACE("system " + std::to_string(c.systemPercent) + "%");
        SetState(1, 0, 0, c.systemPercent);
        Canvas canvas(painted);
        ASSERT_TRUE(canvas.Ready());
        PaintStatusWindow(canvas.Dc(), painted);
        GdiFlush();
        ExpectBar(canvas, 220,
                  ExpectedRow().Add(LIGHT_BLUE, 110).Add(BLUE, c.bluePixels).Add(LIGHT_GREY, 110 - c.bluePixels));
    }
}

TEST_F(DrawingTest, UnknownSystemPercentRunsPastTheFrame) {
    // 255 is the platform's "unknown"; the segment is drawn as given, 2.55 halves long.
    int const barWidth = BarWidthOf(window);
    int const half = barWidth / 2;
    SetState(0, 0, 0, 255);
    Canvas canvas(window);
    ASSERT_TRUE(canvas.Ready());
    PaintStatusWindow(canvas.Dc(), window);
    GdiFlush();
    ExpectBar(canvas, barWidth, ExpectedRow().Add(GREY, half).Add(BLUE, barWidth - half), true);
    int const systemEnd = BAR_X + half + half * 255 / 100;
    int const visibleEnd = systemEnd < canvas.Width() ? systemEnd : canvas.Width();
    int const pastFrame = visibleEnd - (BAR_X + barWidth);
    ASSERT_GT(pastFrame, 0);
    for (int y = BAR_FIRST_ROW; y <= BAR_LAST_ROW; ++y) {
        EXPECT_EQ(canvas.Runs(y, BAR_X + barWidth, pastFrame), "blue x" + std::to_string(pastFrame))
            << "row " << y << ": over the right frame and beyond";
    }
}

TEST_F(DrawingTest, SeparatorRunsThroughTheStatusTextsEmptyFirstLine) {
    int const barWidth = BarWidthOf(window);
    g_calibration.systemPercent = 100;
    std::snprintf(g_calibration.statusText, sizeof g_calibration.statusText, "%s",
                  "\nPower Source: External\nCalibration: Inactive\nSystem Battery: 100%");
    Canvas canvas(window);
    ASSERT_TRUE(canvas.Ready());
    PaintStatusWindow(canvas.Dc(), window);
    GdiFlush();
    EXPECT_EQ(canvas.Runs(SEPARATOR_ROW, BAR_X, barWidth), "light-grey x" + std::to_string(barWidth));
    EXPECT_EQ(canvas.At(BAR_X - 1, SEPARATOR_ROW), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(canvas.At(BAR_X + barWidth, SEPARATOR_ROW), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(canvas.InkIn(0, SEPARATOR_ROW - 1, canvas.Width(), SEPARATOR_ROW), 0)
        << "nothing but the separator in the first line's middle";
    EXPECT_GT(canvas.InkIn(0, SEPARATOR_ROW + 2, canvas.Width(), canvas.Height()), 0)
        << "the status lines below it";
}

TEST_F(DrawingTest, HeadlineIsTwoLinesBetweenBarAndStatus) {
    Canvas canvas(window);
    ASSERT_TRUE(canvas.Ready());
    PaintStatusWindow(canvas.Dc(), window);
    GdiFlush();
    TEXTMETRICA metrics = {};
    GetTextMetricsA(canvas.Dc(), &metrics);
    int const line = metrics.tmHeight;
    ASSERT_GT(line, 0);
    EXPECT_GT(canvas.InkIn(BAR_X, HEADLINE_TOP, canvas.Width(), HEADLINE_TOP + line), 0) << "first line";
    EXPECT_GT(canvas.InkIn(BAR_X, HEADLINE_TOP + line, canvas.Width(), HEADLINE_TOP + 2 * line), 0)
        << "second line";
    EXPECT_EQ(canvas.InkIn(0, HEADLINE_TOP, BAR_X, STATUS_TOP), 0) << "text starts at the bar's left";
    EXPECT_EQ(canvas.InkIn(0, FRAME_BOTTOM_ROW + 1, canvas.Width(), HEADLINE_TOP), 0)
        << "a gap between bar and headline";
}

// The headline's pixels are those of the figures the user must read, and not
// those of a figure one off.
TEST_F(DrawingTest, HeadlineShowsTheCalibratedFigures) {
    struct Case {
        int active, countdown, remaining, systemPercent;
        const char* shown;
        const char* oneOff;
    } const cases[] = {
        {0, 0, 0, 80, "Calibrated Battery: 0%\nTime Remaining: 00:00",
         "Calibrated Battery: 0%\nTime Remaining: 00:01"},
        {1, 0, 0, 37, "Calibrated Battery: 68%\nTime Remaining: 01:22",
         "Calibrated Battery: 69%\nTime Remaining: 01:22"},
        {1, 1, 900, 1, "Calibrated Battery: 12%\nTime Remaining: 00:15",
         "Calibrated Battery: 12%\nTime Remaining: 00:16"},
    };
    auto drawText = [&](const Canvas& canvas, const char* text) {
        RECT headline = {BAR_X, HEADLINE_TOP, BAR_X + BarWidthOf(window), STATUS_TOP};
        SetBkMode(canvas.Dc(), TRANSPARENT);
        DrawTextA(canvas.Dc(), text, -1, &headline, DT_VCENTER);
        GdiFlush();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        SetState(c.active, c.countdown, c.remaining, c.systemPercent);
        Canvas painted(window), shown(window), oneOff(window);
        ASSERT_TRUE(painted.Ready() && shown.Ready() && oneOff.Ready());
        PaintStatusWindow(painted.Dc(), window);
        drawText(shown, c.shown);
        drawText(oneOff, c.oneOff);
        EXPECT_TRUE(painted.SameRows(shown, HEADLINE_TOP, STATUS_TOP));
        EXPECT_FALSE(painted.SameRows(oneOff, HEADLINE_TOP, STATUS_TOP));
    }
}

TEST_F(DrawingTest, FailedReadTextIsDrawnInTheStatusArea) {
    g_calibration.statusText[0] = '\0';
    Canvas empty(window);
    ASSERT_TRUE(empty.Ready());
    PaintStatusWindow(empty.Dc(), window);

    std::snprintf(g_calibration.statusText, sizeof g_calibration.statusText, "%s", kPowerReadFailedText);
    Canvas failed(window);
    ASSERT_TRUE(failed.Ready());
    PaintStatusWindow(failed.Dc(), window);
    GdiFlush();

    EXPECT_TRUE(failed.SameRows(empty, 0, STATUS_TOP)) << "bar and headline are not touched";
    EXPECT_FALSE(failed.SameRows(empty, STATUS_TOP, failed.Height()));
    EXPECT_GT(failed.InkIn(BAR_X, STATUS_TOP, failed.Width(), failed.Height()), 30);
    EXPECT_EQ(failed.InkIn(0, STATUS_TOP, BAR_X, failed.Height()), 0) << "text starts at the bar's left";
    EXPECT_EQ(empty.InkIn(0, STATUS_TOP, empty.Width(), empty.Height()),
              empty.InkIn(BAR_X, SEPARATOR_ROW, BAR_X + BarWidthOf(window), SEPARATOR_ROW + 1))
        << "without a text, only the separator";
}

// Wine cannot switch high contrast on, so the test program's own import of
// SystemParametersInfoA, through which the drawing asks, is pointed here.
BOOL WINAPI ReportHighContrastOn(UINT action, UINT, void* answer, UINT) {
    if (action != SPI_GETHIGHCONTRAST) return FALSE;
    static_cast<HIGHCONTRASTA*>(answer)->dwFlags = HCF_HIGHCONTRASTON;
    return TRUE;
}

// Windows' app mode as Settings switches it, told to the status window; at
// the end no value again, which is light.
class AppMode {
public:
    explicit AppMode(HWND* window) : window_(window) {}
    ~AppMode() { Switch(nullptr); }
    AppMode(const AppMode&) = delete;
    AppMode& operator=(const AppMode&) = delete;

    void Switch(const DWORD* appsUseLightTheme) {
        SetAppsUseLightTheme(appsUseLightTheme);
        SendMessageA(*window_, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(APP_MODE_CHANGE));
    }

private:
    HWND* window_;  // the test's, which it may make anew
};

// The captions asked of DWM, answered as Windows 10 before version 20H1
// answers, which knows the dark caption only as attribute 19.
std::string g_captions;
DWORD const DARK_MODE = 0;

HRESULT WINAPI RecordCaption(HWND, DWORD attribute, LPCVOID value, DWORD) {
    g_captions += std::to_string(attribute) + (*static_cast<const BOOL*>(value) ? " dark, " : " light, ");
    return attribute == 19 ? S_OK : E_INVALIDARG;
}

// Dark from the start, and light and dark again as each change is announced:
// the background the task bar's dark grey, texts, frame and separator bright
// or mid grey, the bar's empty part dark grey and its fills blue, and the
// caption dark; light, as no value, exactly as ever.
TEST_F(DrawingTest, DarkAppModeFromTheStartAndOnEachChange) {
    COLORREF const DARK = RGB(32, 32, 32), WHITE = RGB(255, 255, 255), DARK_GREY = RGB(64, 64, 64),
                   MID_GREY = RGB(128, 128, 128);
    SetState(1, 0, 0, 60);
    std::snprintf(g_calibration.statusText, sizeof g_calibration.statusText, "%s",
                  "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 60%");
    Canvas light(window), dark(window), lightAgain(window), darkAgain(window);
    PaintStatusWindow(light.Dc(), window);
    g_captions.clear();
    {
        StandIn caption("DwmSetWindowAttribute", RecordCaption);
        AppMode mode(&window);
        SetAppsUseLightTheme(&DARK_MODE);
        DestroyWindowQuietly(window);
        ASSERT_TRUE(InitInstance(TestModule(), SW_HIDE));
        window = g_statusWindow;
        KillTimer(window, POLL_TIMER_ID);
        PaintStatusWindow(dark.Dc(), window);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
        DWORD const lightMode = 1;
        mode.Switch(&lightMode);
        PaintStatusWindow(lightAgain.Dc(), window);
        mode.Switch(&DARK_MODE);
        EXPECT_NE(GetUpdateRect(window, nullptr, FALSE), 0) << "repainted at once";
        PaintStatusWindow(darkAgain.Dc(), window);
    }
    GdiFlush();
    ASSERT_TRUE(light.Ready() && dark.Ready() && lightAgain.Ready() && darkAgain.Ready());

    int const width = BarWidthOf(window), half = width / 2, filled = half * 60 / 100;
    EXPECT_EQ(ColourName(dark.At(0, 0)), ColourName(DARK));
    EXPECT_EQ(dark.Runs(FRAME_TOP_ROW, BAR_X - 1, width + 2), ExpectedRow().Add(WHITE, width + 2).Text());
    EXPECT_EQ(dark.Runs(BAR_FIRST_ROW, BAR_X, width),
              ExpectedRow().Add(LIGHT_BLUE, half).Add(BLUE, filled).Add(DARK_GREY, width - half - filled).Text());
    EXPECT_EQ(dark.Runs(SEPARATOR_ROW, BAR_X, width), ExpectedRow().Add(MID_GREY, width).Text());
    int bright = 0;
    for (int y = HEADLINE_TOP; y < dark.Height(); ++y) {
        for (int x = 0; x < dark.Width(); ++x) bright += dark.At(x, y) == WHITE;
    }
    EXPECT_GT(bright, 100) << "the headline and the status texts";
    EXPECT_TRUE(darkAgain.SameRows(dark, 0, dark.Height()));
    EXPECT_EQ(g_captions, "20 dark, 19 dark, 20 light, 19 light, 20 dark, 19 dark, 20 light, 19 light, ");
    EXPECT_TRUE(lightAgain.SameRows(light, 0, light.Height())) << "light as it always was";
}

// Windows as GetVersionExA tells this program its version, and DWM as it
// takes a caption colour; and the WM_NCACTIVATE the window receives.
DWORD g_build;
BOOL WINAPI ReportVersion(LPOSVERSIONINFOA version) {
    version->dwMajorVersion = 10;
    version->dwMinorVersion = 0;
    version->dwBuildNumber = g_build;
    return TRUE;
}
HRESULT WINAPI TakeCaption(HWND, DWORD, LPCVOID, DWORD) { return S_OK; }
std::string g_activations;
LRESULT CALLBACK RecordActivation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCACTIVATE) g_activations += std::to_string(wParam) + " ";
    return MainWindowProc(window, message, wParam, lParam);
}

// Windows 10's DWM draws a new caption colour only at the caption's next
// change of activation; Windows 11's at once. So a window shown on Windows
// 10 gets a WM_NCACTIVATE pair that leaves it as inactive as it was; on
// Windows 11, hidden, or where DWM took no colour, nothing.
TEST_F(DrawingTest, OnWindows10AChangeOfModeRedrawsTheCaptionOfAShownWindow) {
    struct Case {
        const char* what;
        DWORD build;
        bool dwm, shown;
        const char* activations;
    } const cases[] = {
        {"Windows 10", 19045, true, true, "1 0 "},
        {"Windows 11", 22631, true, true, ""},
        {"hidden", 19045, true, false, ""},
        {"no DWM", 19045, false, true, ""},
    };
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordActivation));
    AppMode mode(&window);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mode.Switch(nullptr);
        ShowWindow(window, c.shown ? SW_SHOWNOACTIVATE : SW_HIDE);
        g_build = c.build;
        g_activations.clear();
        {
            StandIn version("GetVersionExA", ReportVersion);
            StandIn const dwm = c.dwm ? StandIn("DwmSetWindowAttribute", TakeCaption)
                                      : StandIn("DwmSetWindowAttribute", FARPROC());
            mode.Switch(&DARK_MODE);
        }
        EXPECT_EQ(g_activations, c.activations);
    }
}

// Windows 11's four contrast themes: window, text, highlight, highlight's
// text and grey text, as Settings sets them.
struct ContrastTheme {
    const char* name;
    COLORREF colours[5];
};
int const THEME_ELEMENTS[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT};
ContrastTheme const CONTRAST_THEMES[] = {
    {"Aquatic", {RGB(0x20, 0x20, 0x20), RGB(0xFF, 0xFF, 0xFF), RGB(0x8E, 0xE3, 0xF0), RGB(0x26, 0x3B, 0x50),
                 RGB(0xA6, 0xA6, 0xA6)}},
    {"Desert", {RGB(0xFF, 0xFA, 0xEF), RGB(0x3D, 0x3D, 0x3D), RGB(0x90, 0x39, 0x09), RGB(0xFF, 0xF5, 0xE3),
                RGB(0x67, 0x67, 0x67)}},
    {"Dusk", {RGB(0x2D, 0x32, 0x36), RGB(0xB6, 0xF6, 0xF0), RGB(0xA1, 0xBF, 0xDE), RGB(0x21, 0x2D, 0x3B),
              RGB(0xA6, 0xA6, 0xA6)}},
    {"Night sky", {RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0xFF), RGB(0xD6, 0xB4, 0xFD), RGB(0x2B, 0x2B, 0x2B),
                   RGB(0xA6, 0xA6, 0xA6)}},
};

// In each contrast theme, whatever the app mode: texts, frame and separator
// in its text colour, the bar's fills in its highlight (grey text while
// calibration is inactive), the empty part its window colour, and the line
// between the halves in the highlight's text colour, standing out 3:1 from
// both fills. Switching a theme repaints an open window at once. The colours
// are the session's, so they are put back before the checks.
TEST_F(DrawingTest, EachContrastThemeColoursEverythingAndKeepsTheHalvesApart) {
    AppMode dark(&window);
    dark.Switch(&DARK_MODE);
    int const count = sizeof THEME_ELEMENTS / sizeof THEME_ELEMENTS[0];
    COLORREF standard[count];
    for (int i = 0; i < count; ++i) standard[i] = GetSysColor(THEME_ELEMENTS[i]);
    int const width = BarWidthOf(window), half = width / 2, filled = half * 60 / 100;
    StandIn contrast("SystemParametersInfoA", ReportHighContrastOn);
    ASSERT_NE(contrast.System(), nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    for (const ContrastTheme& theme : CONTRAST_THEMES) {
        SCOPED_TRACE(theme.name);
        SetSysColors(count, THEME_ELEMENTS, theme.colours);
        Canvas inactive(window), active(window);
        UpdateWindow(window);
        SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        bool const repainted = GetUpdateRect(window, nullptr, FALSE) != 0;
        SetState(0, 0, 0, 60);
        PaintStatusWindow(inactive.Dc(), window);
        SetState(1, 0, 0, 60);
        PaintStatusWindow(active.Dc(), window);
        GdiFlush();
        int const headlineInk = inactive.InkIn(0, HEADLINE_TOP, inactive.Width(), STATUS_TOP);
        SetSysColors(count, THEME_ELEMENTS, standard);
        ASSERT_TRUE(inactive.Ready() && active.Ready());

        EXPECT_TRUE(repainted) << "at once, not at the next tick";
        COLORREF const background = theme.colours[0], text = theme.colours[1], highlight = theme.colours[2],
                       divider = theme.colours[3], grey = theme.colours[4];
        EXPECT_EQ(inactive.Runs(FRAME_TOP_ROW, BAR_X - 1, width + 2), ExpectedRow().Add(text, width + 2).Text());
        EXPECT_EQ(inactive.Runs(BAR_FIRST_ROW, BAR_X, width),
                  ExpectedRow().Add(grey, half - 1).Add(divider, 1).Add(highlight, filled).Add(background, width - half - filled).Text());
        EXPECT_EQ(active.Runs(BAR_LAST_ROW, BAR_X, width),
                  ExpectedRow().Add(highlight, half - 1).Add(divider, 1).Add(highlight, filled).Add(background, width - half - filled).Text());
        for (const Canvas* canvas : {&inactive, &active}) {
            int const line = BAR_X + half - 1;
            EXPECT_GE(ContrastRatio(canvas->At(line, BAR_FIRST_ROW), canvas->At(line - 1, BAR_FIRST_ROW)), 3.0);
            EXPECT_GE(ContrastRatio(canvas->At(line, BAR_FIRST_ROW), canvas->At(line + 1, BAR_FIRST_ROW)), 3.0);
        }
        EXPECT_EQ(inactive.Runs(SEPARATOR_ROW, BAR_X, width), ExpectedRow().Add(text, width).Text());
        EXPECT_GT(headlineInk, 50) << "the headline";
    }
}

TEST_F(DrawingTest, PaintLeavesTheDcsPenBrushAndTextColour) {
    Canvas canvas(window);
    ASSERT_TRUE(canvas.Ready());
    HGDIOBJ const pen = GetCurrentObject(canvas.Dc(), OBJ_PEN);
    HGDIOBJ const brush = GetCurrentObject(canvas.Dc(), OBJ_BRUSH);
    SetTextColor(canvas.Dc(), BLUE);
    PaintStatusWindow(canvas.Dc(), window);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(ColourName(GetTextColor(canvas.Dc())), "blue");
}

}  // namespace
