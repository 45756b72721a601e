// Shift-JIS (code page 932) <-> UTF-8 through iconv. Each thread keeps its
// own conversion descriptors, opened on first use.
#include "platform/text_encoding.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace platform {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of the input as possible. Returns the bytes consumed;
  // stops at the first byte sequence that does not convert (errno EILSEQ or
  // EINVAL) and returns the consumed count so far.
  size_t Convert(const char* in, size_t in_size, std::string& out, bool& failed) {
    failed = false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in);
    size_t in_left = in_size;
    char buffer[256];
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof(buffer);
      size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (result == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        failed = true;
        break;
      }
    }
    // Flush any shift state (none for these encodings, but harmless).
    char* out_ptr = buffer;
    size_t out_left = sizeof(buffer);
    iconv(cd_, nullptr, nullptr, &out_ptr, &out_left);
    out.append(buffer, static_cast<size_t>(out_ptr - buffer));
    return in_size - in_left;
  }

 private:
  iconv_t cd_;
};

Converter& SjisToUtf8Converter() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

Converter& Utf8ToSjisConverter() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}

// Length of the well-formed UTF-8 sequence at text (1 to 4), or 0 when the
// bytes there do not form one.
size_t Utf8SequenceLength(const unsigned char* text, size_t size) {
  if (size == 0) return 0;
  unsigned char lead = text[0];
  size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  if (size < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Code page 932 keeps every byte below 0x80 as the same ASCII character.
bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsSjisLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  Converter& converter = SjisToUtf8Converter();
  size_t pos = 0;
  while (pos < sjis.size()) {
    bool failed = false;
    if (converter.Valid()) {
      pos += converter.Convert(sjis.data() + pos, sjis.size() - pos, out, failed);
    } else {
      failed = true;  // without iconv only ASCII passes through
      while (pos < sjis.size() && static_cast<unsigned char>(sjis[pos]) < 0x80) {
        out.push_back(sjis[pos++]);
      }
    }
    if (failed && pos < sjis.size()) {
      out.push_back('?');
      ++pos;
    }
  }
  return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  Converter& converter = Utf8ToSjisConverter();
  size_t pos = 0;
  while (pos < utf8.size()) {
    bool failed = false;
    if (converter.Valid()) {
      pos += converter.Convert(utf8.data() + pos, utf8.size() - pos, out, failed);
    } else {
      failed = true;
      while (pos < utf8.size() && static_cast<unsigned char>(utf8[pos]) < 0x80) {
        out.push_back(utf8[pos++]);
      }
    }
    if (failed && pos < utf8.size()) {
      // A character without a Shift-JIS form becomes one '?'; a byte that
      // starts no well-formed sequence is skipped alone.
      size_t length = Utf8SequenceLength(
          reinterpret_cast<const unsigned char*>(utf8.data() + pos), utf8.size() - pos);
      out.push_back('?');
      pos += length == 0 ? 1 : length;
    }
  }
  return out;
}

char32_t SjisCharToCodePoint(unsigned char lead, unsigned char trail) {
  char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  size_t size = IsSjisLead(lead) ? 2 : 1;
  std::string utf8;
  bool failed = false;
  Converter& converter = SjisToUtf8Converter();
  if (!converter.Valid()) return lead < 0x80 ? lead : 0;
  size_t used = converter.Convert(bytes, size, utf8, failed);
  if (failed || used != size || utf8.empty()) return 0;
  const unsigned char* u = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t length = Utf8SequenceLength(u, utf8.size());
  if (length == 0 || length != utf8.size()) return 0;
  if (length == 1) return u[0];
  char32_t code = u[0] & (0xFF >> (length + 1));
  for (size_t i = 1; i < length; ++i) code = (code << 6) | (u[i] & 0x3F);
  return code;
}

}  // namespace platform
