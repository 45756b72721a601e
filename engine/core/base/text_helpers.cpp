// Byte-string and memory helpers that step over Shift-JIS double-byte
// characters.
#include "engine/core/base/text_helpers.h"

#include <cstdint>
#include <cstring>

namespace {

bool IsSjisLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

void StrCopy(char* dst, const char* src) { std::strcpy(dst, src); }

void StrAppend(char* dst, const char* src) { std::strcat(dst, src); }

const char* StrFindChar(const char* text, int byte) {
  const char wanted = static_cast<char>(byte);
  for (const char* p = text; *p != '\0';) {
    if (IsSjisLead(static_cast<unsigned char>(*p))) {
      if (p[1] == '\0') break;  // a cut-off character ends the text
      p += 2;
      continue;
    }
    if (*p == wanted) return p;
    ++p;
  }
  return nullptr;
}

char* StrFindChar(char* text, int byte) {
  return const_cast<char*>(StrFindChar(static_cast<const char*>(text), byte));
}

int StrCompare(const char* a, const char* b) { return std::strcmp(a, b) != 0 ? 1 : 0; }

int StrCompareN(const char* a, const char* b, size_t n) { return MemCompare(a, b, n); }

void StrToUpper(char* text) {
  for (char* p = text; *p != '\0';) {
    if (IsSjisLead(static_cast<unsigned char>(*p))) {
      if (p[1] == '\0') break;
      p += 2;
      continue;
    }
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    ++p;
  }
}

void MemFill(void* dst, int byte, size_t n) {
  if (n != 0) std::memset(dst, byte & 0xFF, n);
}

int MemCompare(const void* a, const void* b, size_t n) {
  return n != 0 && std::memcmp(a, b, n) != 0 ? 1 : 0;
}

void* MemCopy(void* dst, const void* src, size_t n) {
  unsigned char* out = static_cast<unsigned char*>(dst);
  const unsigned char* in = static_cast<const unsigned char*>(src);
  const uintptr_t out_begin = reinterpret_cast<uintptr_t>(out);
  const uintptr_t in_begin = reinterpret_cast<uintptr_t>(in);
  const bool overlap = out_begin < in_begin + n && in_begin < out_begin + n;
  if (!overlap) {
    if (n != 0) std::memcpy(out, in, n);
    return dst;
  }
  // Callers must not overlap the ranges; should one do so anyway, the copy
  // stays the defined forward byte copy (which repeats a pattern when dst
  // lies just above src).
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
  return dst;
}

void* MemMove(void* dst, const void* src, size_t n) {
  if (n != 0) std::memmove(dst, src, n);
  return dst;
}

int IsLeadByte(const char* pointer, int code_page_mode) {
  unsigned char byte = static_cast<unsigned char>(*pointer);
  if (code_page_mode == 2) return byte >= 0x80 ? 1 : 0;
  return IsSjisLead(byte) ? 1 : 0;
}
