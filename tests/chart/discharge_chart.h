// The README's chart of a whole discharge, played through the calibration
// core: unplugged at 100%, the system's figure down to 1% in an hour, then the
// reserve hour, in five-second ticks. One CSV row for each tick that changes a
// figure, and one for each thing that happens.
#pragma once

#include <string>

constexpr char kDischargeChartHeader[] = "minute,system_percent,calibrated_percent,event";

// Plays the discharge in the working folder, whose state file it overwrites
// and then removes, and returns the CSV text.
std::string DischargeChartCsv();
