#include "format_text.h"

#include <cstdarg>
#include <cstdio>

bool FormatText(char* buffer, std::size_t size, const char* format, ...) {
    if (size == 0) return false;
    std::va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    // The C runtime's own formatter, which every Windows has: MinGW's C99
    // printf would add about 28 KB to a program this small. It leaves the
    // text unterminated when it does not fit.
    int length = _vsnprintf(buffer, size, format, arguments);
    buffer[size - 1] = '\0';
#else
    int length = std::vsnprintf(buffer, size, format, arguments);
#endif
    va_end(arguments);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}
