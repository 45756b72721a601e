// printf-style formatting into a caller's buffer of a given size. The text
// is always cut to fit and NUL-terminated (buffer_size 0 writes nothing).
#pragma once

#include <cstdarg>
#include <cstddef>

// Returns the length of the text stored (without the NUL), or -1 when the
// format is invalid (the buffer then holds an empty text).
int FormatStringV(char* buffer, size_t buffer_size, const char* format, va_list values);
int FormatString(char* buffer, size_t buffer_size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
