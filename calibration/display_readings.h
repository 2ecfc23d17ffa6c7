// What the tray icon, the headline and the bar graph show, computed from the
// calibration state. Nothing here changes any state.
#pragma once

#include "power_tick.h"

enum class TrayLevel { External, Empty, Low, Medium, Full };

// The calibrated charge for the tray from a fresh sample: -1 on external power.
int TrayCalibratedPercent(const PowerSample& sample);
TrayLevel TrayLevelFor(int percent);

struct HeadlineText {
    char text[64];
};

// "Calibrated Battery: N%" and "Time Remaining: HH:MM" on two lines.
HeadlineText FormatHeadline();

// The bar graph in pixels from its left edge: the reserve segment starts at 0
// and the system segment at systemOffset, which is always half.
struct BarSegmentWidths {
    int half;
    int reserveWidth;
    int systemOffset;
    int systemWidth;
};

BarSegmentWidths BarSegments(int barWidth);
