#include "calibration_state.h"

#include "replace_file.h"

#include <cstdio>

CalibrationState g_calibration;

namespace {

// The file is little-endian whatever the host's byte order.
std::int32_t ReadLittleEndian32(const unsigned char* bytes) {
    std::uint32_t value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                          std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

void WriteLittleEndian32(std::int32_t signedValue, unsigned char* bytes) {
    std::uint32_t value = static_cast<std::uint32_t>(signedValue);
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

// A damaged file must neither stretch the reserve past one hour nor feed the
// readings a value whose products overflow.
std::int32_t ClampToReserve(std::int32_t seconds) {
    if (seconds < 0) return 0;
    if (seconds > kReserveSeconds) return kReserveSeconds;
    return seconds;
}

}  // namespace

void LoadState() {
    std::FILE* file = std::fopen(kStateFileName, "rb");
    if (!file) {
        g_calibration.countdownStarted = 0;
        g_calibration.lowAlertShown = 0;
        return;
    }
    unsigned char bytes[kStateFileSize];
    std::size_t length = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);

    // A short file sets only the fields it covers whole; one that ends inside
    // remainingSeconds leaves that field as it was.
    if (length >= 1) g_calibration.countdownStarted = bytes[0];
    if (length >= 5) g_calibration.remainingSeconds = ClampToReserve(ReadLittleEndian32(bytes + 1));
    if (length >= 6) g_calibration.calibrationActive = bytes[5];
    if (length >= 7) g_calibration.noticeSuppressed = bytes[6];
}

void SaveState() {
    unsigned char bytes[kStateFileSize];
    bytes[0] = g_calibration.countdownStarted;
    WriteLittleEndian32(g_calibration.remainingSeconds, bytes + 1);
    bytes[5] = g_calibration.calibrationActive;
    bytes[6] = g_calibration.noticeSuppressed;
    ReplaceFileContents(kStateFileName, bytes, sizeof bytes);
}

void StartCountdown() {
    g_calibration.countdownStarted = 1;
    g_calibration.remainingSeconds = kReserveSeconds;
    SaveState();
}

void ResetCalibration() {
    g_calibration.countdownStarted = 0;
    g_calibration.calibrationActive = 0;
    g_calibration.lowAlertShown = 0;
    SaveState();
}
