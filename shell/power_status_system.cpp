// The shipped reading: the operating system's own power status.
#include "power_status.h"

#include <windows.h>

bool ReadPowerStatus(PowerSample* sample) {
    SYSTEM_POWER_STATUS status = {};
    if (!GetSystemPowerStatus(&status)) return false;
    sample->ACLineStatus = status.ACLineStatus;
    sample->BatteryLifePercent = status.BatteryLifePercent;
    return true;
}
