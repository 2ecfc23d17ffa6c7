#include "replace_file.h"

#include "format_text.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool WriteAll(int descriptor, const unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(descriptor, bytes, size);
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool ReplaceFileContents(const char* path, const unsigned char* bytes, std::size_t size) {
    char temporaryPath[260];
    if (!FormatText(temporaryPath, sizeof temporaryPath, "%s.tmp", path)) return false;

    int descriptor = open(temporaryPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) return false;
    bool written = WriteAll(descriptor, bytes, size) && fsync(descriptor) == 0;
    bool closed = close(descriptor) == 0;
    if (written && closed && std::rename(temporaryPath, path) == 0) return true;
    std::remove(temporaryPath);
    return false;
}
