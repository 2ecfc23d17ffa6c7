// Bounded formatting that always terminates its text.
#pragma once

#include <cstddef>

// Formats into the buffer, cutting the text to fit; nonzero when it fitted whole.
bool FormatText(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
