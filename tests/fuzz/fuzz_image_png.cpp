// PNG files from untrusted bytes, the PNG signature written over their
// start.
#include "tests/fuzz/image_decode_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzDecodeImage(data, size, "\x89PNG\r\n\x1a\n");
}
