// Replacing a small file so that a power cut leaves either the old contents or
// the new ones, never a truncated file.
#pragma once

#include <cstddef>

// Writes the bytes to a temporary file beside the target, flushes it to disk
// and moves it over the target in one step. Returns nonzero on success.
bool ReplaceFileContents(const char* path, const unsigned char* bytes, std::size_t size);
