// Bounded printf-style formatting.
#include "engine/core/base/format_string.h"

#include <cstdio>

int FormatStringV(char* buffer, size_t buffer_size, const char* format, va_list values) {
  if (buffer == nullptr || buffer_size == 0) return 0;
  int wanted = std::vsnprintf(buffer, buffer_size, format, values);
  if (wanted < 0) {
    buffer[0] = '\0';
    return -1;
  }
  size_t stored = static_cast<size_t>(wanted);
  return static_cast<int>(stored < buffer_size ? stored : buffer_size - 1);
}

int FormatString(char* buffer, size_t buffer_size, const char* format, ...) {
  va_list values;
  va_start(values, format);
  int result = FormatStringV(buffer, buffer_size, format, values);
  va_end(values);
  return result;
}

std::string FormatString(const char* format, ...) {
  va_list values;
  va_start(values, format);
  va_list measured;
  va_copy(measured, values);
  const int length = std::vsnprintf(nullptr, 0, format, measured);
  va_end(measured);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    // The terminating NUL lands on the string's own terminator.
    if (FormatStringV(text.data(), text.size() + 1, format, values) != length) text.clear();
  }
  va_end(values);
  return text;
}
