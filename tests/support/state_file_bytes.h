// Files as bytes, the state file's seven bytes for given fields, and text
// for test messages: shared by every kind of test, so no test framework here.
#pragma once

#include "calibration_state.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The whole file, or no bytes when it cannot be read.
Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

// The seven bytes SaveState writes for these field values.
Bytes StateFileBytes(std::uint8_t countdownStarted, std::int32_t remainingSeconds,
                     std::uint8_t calibrationActive, std::uint8_t noticeSuppressed);
Bytes PersistedBytes(const CalibrationState& state);
// remainingSeconds from a file of at least five bytes.
int RemainingSeconds(const Bytes& file);

// "01 10 0E ..." or "(none)".
std::string HexBytes(const Bytes& bytes);
// Every field but the status text, for comparing two states.
std::string DescribeFields(const CalibrationState& state);
