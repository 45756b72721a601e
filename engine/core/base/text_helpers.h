// Byte-string and memory helpers of the library. Strings are NUL-terminated
// Shift-JIS bytes: a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it
// form one character, and that second byte is never examined on its own.
// Comparisons report equality only (0 equal, 1 different), never an order.
#pragma once

#include <cstddef>

// Copies src with its NUL into dst.
void StrCopy(char* dst, const char* src);
// Appends src at dst's NUL.
void StrAppend(char* dst, const char* src);
// First occurrence of byte outside double-byte characters, or null (also
// for byte 0). A lead byte right before the NUL ends the search.
const char* StrFindChar(const char* text, int byte);
char* StrFindChar(char* text, int byte);
// 0 when equal, 1 when different.
int StrCompare(const char* a, const char* b);
// Compares exactly n bytes, not stopping at a NUL; 0 equal, 1 different.
int StrCompareN(const char* a, const char* b, size_t n);
// a-z to A-Z in place; double-byte characters untouched.
void StrToUpper(char* text);

void MemFill(void* dst, int byte, size_t n);
// 0 equal (also for n = 0), 1 different.
int MemCompare(const void* a, const void* b, size_t n);
// Forward byte copy; the ranges must not overlap. Returns dst.
void* MemCopy(void* dst, const void* src, size_t n);
// Overlap-safe copy (backwards when dst lies above src). Returns dst.
void* MemMove(void* dst, const void* src, size_t n);

// Code-page mode 2 (Korean system code page): every byte of 0x80 or more is
// a lead byte. Any other mode: the Shift-JIS lead ranges. 1 or 0.
int IsLeadByte(const char* pointer, int code_page_mode);
