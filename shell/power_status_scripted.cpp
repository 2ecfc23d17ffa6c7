// The test build's reading: a script file in the working directory, read
// afresh at every call, so that tests can run whole discharges through the
// real window, tray and dialogs. It holds "AC PERCENT" (for example "0 95"),
// or "fail"; a missing, unreadable or malformed file is a failed read too.
#include "power_status.h"

#include <cstdio>

bool ReadPowerStatus(PowerSample* sample) {
    std::FILE* file = std::fopen("corvanePower.txt", "rb");
    if (!file) return false;
    char line[64] = {};
    bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    if (!read) return false;

    unsigned ac = 0, percent = 0;
    char rest = 0;
    int fields = std::sscanf(line, "%3u %3u %c", &ac, &percent, &rest);
    if (fields != 2 || ac > 255 || percent > 255) return false;
    sample->ACLineStatus = static_cast<unsigned char>(ac);
    sample->BatteryLifePercent = static_cast<unsigned char>(percent);
    return true;
}
