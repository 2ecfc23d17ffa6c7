#include "status_drawing.h"

#include "app_mode.h"
#include "calibration_state.h"
#include "display_readings.h"

namespace {

COLORREF const BLUE       = RGB(100, 100, 255);
COLORREF const LIGHT_BLUE = RGB(140, 140, 255);
COLORREF const GREY       = RGB(169, 169, 169);
COLORREF const LIGHT_GREY = RGB(220, 220, 220);
COLORREF const DARK_BACKGROUND = RGB(32, 32, 32);
COLORREF const BRIGHT_INK      = RGB(255, 255, 255);
COLORREF const MID_GREY        = RGB(128, 128, 128);

struct DrawingBrush {
    COLORREF colour;
    HBRUSH brush;
    bool created;
};

DrawingBrush g_systemBrush     = {BLUE, nullptr, false};
DrawingBrush g_activeBrush     = {LIGHT_BLUE, nullptr, false};
DrawingBrush g_inactiveBrush   = {GREY, nullptr, false};
DrawingBrush g_backgroundBrush = {LIGHT_GREY, nullptr, false};

DrawingBrush* const g_brushes[] = {&g_systemBrush, &g_activeBrush, &g_inactiveBrush,
                                   &g_backgroundBrush};

void FillArea(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    RECT area = {left, top, right, bottom};
    FillRect(dc, &area, brush);
}

void DrawFrame(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    Rectangle(dc, left, top, right, bottom);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void DrawSeparator(HDC dc, int left, int right, int y, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, left, y, nullptr);
    LineTo(dc, right, y);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

// How the window is painted: its background, the ink of its texts and the
// bar's frame, the bar's fills and the separator.
struct Paints {
    COLORREF background;
    COLORREF ink;
    HBRUSH empty;
    HBRUSH active;
    HBRUSH inactive;
    HBRUSH system;
    HBRUSH divider;  // between the halves, where their fills could merge; or none
    COLORREF separator;
};

bool HighContrastIsOn() {
    HIGHCONTRASTA contrast = {sizeof(contrast)};
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// One set for each look, in their order of precedence: a high-contrast
// theme, which the user needs, then the dark app mode, then the window's own.
Paints PaintsForTheTheme() {
    if (HighContrastIsOn()) {
        // The theme's colours: fixed light greys would vanish into its white
        // or black. Both halves fill with the highlight, so a line keeps a
        // full reserve apart from the system's figure: in the highlight's
        // text colour, the one pair on a highlight that every contrast theme
        // keeps readable (its text colour on it can be as faint as 1.4:1).
        COLORREF const ink = GetSysColor(COLOR_WINDOWTEXT);
        HBRUSH const filled = GetSysColorBrush(COLOR_HIGHLIGHT);
        return {GetSysColor(COLOR_WINDOW), ink, GetSysColorBrush(COLOR_WINDOW), filled,
                GetSysColorBrush(COLOR_GRAYTEXT), filled, GetSysColorBrush(COLOR_HIGHLIGHTTEXT), ink};
    }
    if (AppsAreDark()) {
        // The task bar's own dark grey, and the blue fills, which stand out on it.
        return {DARK_BACKGROUND, BRIGHT_INK, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)), g_activeBrush.brush,
                g_inactiveBrush.brush, g_systemBrush.brush, nullptr, MID_GREY};
    }
    return {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), g_backgroundBrush.brush, g_activeBrush.brush,
            g_inactiveBrush.brush, g_systemBrush.brush, nullptr, LIGHT_GREY};
}

// With the DC's own brush, so that no brush is made for a colour of the moment.
void FillWithColour(HDC dc, const RECT& area, COLORREF colour) {
    COLORREF const previous = SetDCBrushColor(dc, colour);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, previous);
}

}  // namespace

void CreateDrawingBrushes() {
    for (DrawingBrush* brush : g_brushes) {
        if (brush->created) continue;
        brush->brush = CreateSolidBrush(brush->colour);
        brush->created = true;
    }
}

void ReleaseDrawingBrushes() {
    for (DrawingBrush* brush : g_brushes) {
        DeleteObject(brush->brush);
        brush->brush = nullptr;
    }
}

void PaintStatusWindow(HDC dc, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    int const width = client.right - client.left - BAR_MARGIN;
    int const right = BAR_LEFT + width;
    int const bottom = BAR_TOP + BAR_HEIGHT;
    BarSegmentWidths const bar = BarSegments(width);
    HeadlineText const headline = FormatHeadline();
    // The texts and the frame take the look's ink, never the device
    // context's black, which would vanish on a dark background.
    Paints const paints = PaintsForTheTheme();

    FillWithColour(dc, client, paints.background);
    // The frame runs one pixel outside the bar on every side.
    DrawFrame(dc, BAR_LEFT - 1, BAR_TOP - 1, right + 1, bottom + 1, paints.ink);
    FillArea(dc, BAR_LEFT, BAR_TOP, right, bottom, paints.empty);
    HBRUSH reserve = g_calibration.calibrationActive ? paints.active : paints.inactive;
    FillArea(dc, BAR_LEFT, BAR_TOP, BAR_LEFT + bar.reserveWidth, bottom, reserve);
    int const systemLeft = BAR_LEFT + bar.systemOffset;
    if (bar.systemWidth > 1) FillArea(dc, systemLeft, BAR_TOP, systemLeft + bar.systemWidth, bottom, paints.system);
    if (paints.divider) FillArea(dc, systemLeft - 1, BAR_TOP, systemLeft, bottom, paints.divider);

    // Without a single-line flag the line feed starts a second line, and the
    // text starts at the rectangle's top.
    RECT headlineArea = {BAR_LEFT, bottom + 15, right, bottom + 50};
    COLORREF const previousTextColour = SetTextColor(dc, paints.ink);
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, headline.text, -1, &headlineArea, DT_VCENTER);

    DrawSeparator(dc, BAR_LEFT, right, headlineArea.bottom + 7, paints.separator);

    // The tick's texts begin with a line feed, so the separator runs through
    // their empty first line.
    RECT statusArea = client;
    statusArea.top = headlineArea.bottom;
    statusArea.left = BAR_LEFT;
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, g_calibration.statusText, -1, &statusArea, DT_WORDBREAK | DT_VCENTER);
    SetTextColor(dc, previousTextColour);
}
