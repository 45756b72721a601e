// printf-style formatting, the one formatter of the library and the game:
// into a caller's buffer of a given size, where the text is always cut to
// fit and NUL-terminated (buffer_size 0 writes nothing), or whole into a
// string of any length. Formats are trusted; the values are not.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// Returns the length of the text stored (without the NUL), or -1 when the
// format is invalid (the buffer then holds an empty text).
int FormatStringV(char* buffer, size_t buffer_size, const char* format, va_list values);
int FormatString(char* buffer, size_t buffer_size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The whole text, however long; empty when the format is invalid.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
