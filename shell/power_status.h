// The power reading behind the tick and the tray update.
#pragma once

#include "power_tick.h"

// Fills the sample with the current line status and charge; false when the
// reading cannot be taken.
bool ReadPowerStatus(PowerSample* sample);
