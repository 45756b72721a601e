// DDS files from untrusted bytes, "DDS" written over their start.
#include "tests/fuzz/image_decode_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzDecodeImage(data, size, "DDS");
}
