#include "state_file_bytes.h"

#include <cstdio>

Bytes ReadFileBytes(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    unsigned char buffer[256];
    std::size_t length;
    while ((length = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + length);
    }
    std::fclose(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

Bytes StateFileBytes(std::uint8_t countdownStarted, std::int32_t remainingSeconds,
                     std::uint8_t calibrationActive, std::uint8_t noticeSuppressed) {
    std::uint32_t r = static_cast<std::uint32_t>(remainingSeconds);
    return {countdownStarted,
            static_cast<unsigned char>(r),
            static_cast<unsigned char>(r >> 8),
            static_cast<unsigned char>(r >> 16),
            static_cast<unsigned char>(r >> 24),
            calibrationActive,
            noticeSuppressed};
}

Bytes PersistedBytes(const CalibrationState& s) {
    return StateFileBytes(s.countdownStarted, s.remainingSeconds, s.calibrationActive, s.noticeSuppressed);
}

int RemainingSeconds(const Bytes& file) {
    return static_cast<int>(static_cast<unsigned>(file[1]) | static_cast<unsigned>(file[2]) << 8 |
                            static_cast<unsigned>(file[3]) << 16 | static_cast<unsigned>(file[4]) << 24);
}

std::string HexBytes(const Bytes& bytes) {
    if (bytes.empty()) return "(none)";
    std::string text;
    char hex[4];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X ", b);
        text += hex;
    }
    return text;
}

std::string DescribeFields(const CalibrationState& s) {
    char text[240];
    std::snprintf(text, sizeof text,
                  "countdownStarted=%d remainingSeconds=%d calibrationActive=%d noticeSuppressed=%d "
                  "lowAlertShown=%d previousOnExternal=%d noticeShownThisDischarge=%d "
                  "systemPercent=%d displayedRemaining=%d",
                  s.countdownStarted, static_cast<int>(s.remainingSeconds), s.calibrationActive,
                  s.noticeSuppressed, s.lowAlertShown, s.previousOnExternal,
                  s.noticeShownThisDischarge, static_cast<int>(s.systemPercent),
                  static_cast<int>(s.displayedRemaining));
    return text;
}
