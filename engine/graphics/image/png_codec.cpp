#include "engine/graphics/image/png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "engine/core/files/native_file_writer.h"
#include "engine/graphics/image/image_memory.h"
#include "engine/graphics/image/image_stream.h"
#include "engine/graphics/image/rgb_rows.h"

// libpng reports errors by longjmp. Every libpng call that may raise one is
// made inside the Run* functions below, whose frames hold no object with a
// destructor; what they allocate is kept in the job record, which the
// caller releases.

namespace {

// Deflate cannot expand data by more than this ratio (and a little for its
// headers), so an image whose filtered rows exceed it times the bytes left
// cannot be complete.
constexpr uint64_t kDeflateMaxRatio = 1032;
// Largest ancillary chunk libpng may take into memory.
constexpr png_alloc_size_t kPngChunkMax = png_alloc_size_t{8} << 20;

struct PngSource {
  const StreamOps* ops;
  StreamHandle stream;
  int64_t left;  // bytes from the decoding position to the end
};

void ReadPngBytes(png_structp png, png_bytep data, png_size_t length) {
  PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > static_cast<uint64_t>(source->left)) png_error(png, "Read Error");
  if (length == 0) return;
  if (source->ops->read(data, 1, length, source->stream) != static_cast<int64_t>(length)) {
    png_error(png, "Read Error");
  }
  source->left -= static_cast<int64_t>(length);
}

struct PngDecodeJob {
  PngSource source;
  png_structp png;
  png_infop info;
  uint8_t* pixels;
  png_bytep* rows;
  GraphImage image;
};

bool InProportion(uint64_t width, uint64_t height, int depth, int channels, int64_t left) {
  const uint64_t rowBits = width * static_cast<uint64_t>(depth) * static_cast<uint64_t>(channels);
  const uint64_t filtered = height * ((rowBits + 7) / 8 + 1);
  return filtered / kDeflateMaxRatio <= static_cast<uint64_t>(left);
}

int RunPngDecode(PngDecodeJob* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return -1;
  png_set_read_fn(png, &job->source, ReadPngBytes);
  png_set_sig_bytes(png, 0);
  png_set_user_limits(png, kMaxGraphImageSide, kMaxGraphImageSide);
  png_set_chunk_malloc_max(png, kPngChunkMax);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
  if (!InProportion(width, height, depth, png_get_channels(png, info), job->source.left)) return -1;
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;

  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) {
    png_set_packing(png);
    png_set_packswap(png);
  }
  const bool expand = (grey && depth <= 8) || trns;
  if (expand) png_set_expand(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const size_t rowBytes = png_get_rowbytes(png, info);
  const int channels = png_get_channels(png, info);
  if (!IsGraphImageSizeAllowed(width, height, static_cast<int64_t>(rowBytes)) ||
      static_cast<int64_t>(rowBytes) * height > kMaxCodedImageBytes) {
    return -1;
  }
  job->pixels = AllocImageMemory(uint64_t{rowBytes} * height);
  job->rows = reinterpret_cast<png_bytep*>(AllocImageMemory(uint64_t{height} * sizeof(png_bytep)));
  if (job->pixels == nullptr || job->rows == nullptr) return -1;
  for (png_uint_32 y = 0; y < height; ++y) job->rows[y] = job->pixels + rowBytes * y;
  png_read_image(png, job->rows);
  png_read_end(png, nullptr);

  GraphImage* image = &job->image;
  image->Width = static_cast<int32_t>(width);
  image->Height = static_cast<int32_t>(height);
  image->Pitch = static_cast<int32_t>(rowBytes);
  if (colorType == PNG_COLOR_TYPE_PALETTE && !expand) {
    SetPalette8ColorFormat(&image->Format);
    std::memset(image->Format.PaletteTable, 0, sizeof(image->Format.PaletteTable));
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0 && palette != nullptr) {
      for (int i = 0; i < count && i < 256; ++i) {
        uint8_t* entry = &image->Format.PaletteTable[i * 4];
        entry[0] = palette[i].blue;
        entry[1] = palette[i].green;
        entry[2] = palette[i].red;
      }
    }
  } else if (!grey) {
    if (channels == 4) {
      SetArgb32ColorFormat(&image->Format);
    } else {
      SetRgb24ColorFormat(&image->Format);
    }
  } else if (rowBytes < uint64_t{width} * 2) {
    SetGray8ColorFormat(&image->Format);
  } else {
    SetGreyAlpha16ColorFormat(&image->Format);
  }
  return 0;
}

struct PngEncodeJob {
  NativeWriteFile* file;
  png_structp png;
  png_infop info;
  const GraphImage* image;
  RgbRows rows;
  int level;
};

void WritePngBytes(png_structp png, png_bytep data, png_size_t length) {
  NativeWriteFile* file = static_cast<NativeWriteFile*>(png_get_io_ptr(png));
  if (WriteNativeFile(file, data, length) != 0) png_error(png, "Write Error");
}

void FlushPngBytes(png_structp) {}

int RunPngEncode(PngEncodeJob* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return -1;
  png_set_write_fn(png, job->file, WritePngBytes, FlushPngBytes);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_compression_level(png, job->level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(job->image->Width),
               static_cast<png_uint_32>(job->image->Height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, job->rows.rows);
  png_write_end(png, info);
  return 0;
}

}  // namespace

void SetGreyAlpha16ColorFormat(ColorFormat* format) {
  std::memset(format, 0, sizeof(*format));
  CreateColorFormat(format, 16, 0xFF, 0xFF, 0xFF, 0);
}

int DecodePngStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  PngDecodeJob job{};
  job.source.ops = ops;
  job.source.stream = stream;
  const int32_t start = ops->tell(stream);
  if (start < 0 || ops->seek(stream, 0, 2) != 0) return -1;
  const int32_t end = ops->tell(stream);
  if (ops->seek(stream, start, 0) != 0 || end < start) return -1;
  job.source.left = end - start;

  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (job.png == nullptr) return -1;
  job.info = png_create_info_struct(job.png);
  const int result = job.info != nullptr ? RunPngDecode(&job) : -1;
  png_destroy_read_struct(&job.png, job.info != nullptr ? &job.info : nullptr, nullptr);
  FreeImageMemory(job.rows);
  if (result != 0) {
    FreeImageMemory(job.pixels);
    return -1;
  }
  job.image.Pixels = job.pixels;
  *out = job.image;
  return 0;
}

int EncodePngFile(const char* name, const GraphImage* image, int level) {
  PngEncodeJob job{};
  job.image = image;
  job.level = level;
  if (BuildRgbRows(image, &job.rows) != 0) return -1;
  job.file = OpenNativeFileForWrite(name);
  int result = -1;
  if (job.file != nullptr) {
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (job.png != nullptr) {
      job.info = png_create_info_struct(job.png);
      if (job.info != nullptr) result = RunPngEncode(&job);
      png_destroy_write_struct(&job.png, job.info != nullptr ? &job.info : nullptr);
    }
    if (CloseNativeFile(job.file) != 0) result = -1;
  }
  ReleaseRgbRows(&job.rows);
  return result;
}
