// JPEG files from untrusted bytes, the start-of-image code written over
// their start.
#include "tests/fuzz/image_decode_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzDecodeImage(data, size, "\xFF\xD8");
}
