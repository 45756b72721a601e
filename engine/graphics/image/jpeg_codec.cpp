#include "engine/graphics/image/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "engine/core/files/native_file_writer.h"
#include "engine/graphics/image/image_memory.h"
#include "engine/graphics/image/image_stream.h"
#include "engine/graphics/image/rgb_rows.h"

#ifndef JCS_EXTENSIONS
#error "the JPEG binding needs libjpeg-turbo's extended colour spaces"
#endif

// libjpeg reports errors by longjmp. Every libjpeg call that may raise one
// is made inside the Run* functions below, whose frames hold no object with
// a destructor; what they allocate is kept in the job record, which the
// caller releases.

namespace {

constexpr size_t kJpegBufferBytes = 4096;

struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void ExitJpeg(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void LimitJpegScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kJpegMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

// ---- reading from a StreamOps ----

struct JpegSource {
  jpeg_source_mgr pub;
  const StreamOps* ops;
  StreamHandle stream;
  JOCTET* buffer;
  bool startOfFile;
  int64_t left;  // bytes of the stream not read yet
};

void InitJpegSource(j_decompress_ptr cinfo) {
  reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = true;
}

boolean FillJpegSource(j_decompress_ptr cinfo) {
  JpegSource* source = reinterpret_cast<JpegSource*>(cinfo->src);
  if (source->buffer == nullptr) {
    source->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kJpegBufferBytes));
  }
  const int64_t want = source->left < int64_t{kJpegBufferBytes} ? source->left
                                                                 : int64_t{kJpegBufferBytes};
  int64_t got = want > 0 ? source->ops->read(source->buffer, 1, static_cast<size_t>(want),
                                             source->stream)
                         : 0;
  if (got <= 0) {
    if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    source->left = 0;
    got = 2;
  } else {
    source->left = got < want ? 0 : source->left - got;
  }
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = static_cast<size_t>(got);
  source->startOfFile = false;
  return TRUE;
}

void SkipJpegSource(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  size_t bytes = static_cast<size_t>(count);
  while (bytes > source->bytes_in_buffer) {
    bytes -= source->bytes_in_buffer;
    (*source->fill_input_buffer)(cinfo);
  }
  source->next_input_byte += bytes;
  source->bytes_in_buffer -= bytes;
}

void TermJpegSource(j_decompress_ptr) {}

struct JpegDecodeJob {
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  jpeg_decompress_struct cinfo;
  JpegSource source;
  uint8_t* pixels;
  GraphImage image;
};

int RunJpegDecode(JpegDecodeJob* job) {
  j_decompress_ptr cinfo = &job->cinfo;
  if (setjmp(job->error.jump)) return -1;
  jpeg_create_decompress(cinfo);
  cinfo->progress = &job->progress;
  job->progress.progress_monitor = LimitJpegScans;
  JpegSource* source = &job->source;
  source->pub.init_source = InitJpegSource;
  source->pub.fill_input_buffer = FillJpegSource;
  source->pub.skip_input_data = SkipJpegSource;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = TermJpegSource;
  source->pub.bytes_in_buffer = 0;
  source->pub.next_input_byte = nullptr;
  cinfo->src = &source->pub;
  const int64_t coded = source->left;

  jpeg_read_header(cinfo, TRUE);
  const int components = cinfo->num_components;
  if (components != 1 && components != 3) return -1;
  cinfo->out_color_space = components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
  const int64_t pitch = int64_t{cinfo->image_width} * components;
  const int64_t bytes = pitch * cinfo->image_height;
  if (!IsGraphImageSizeAllowed(cinfo->image_width, cinfo->image_height, pitch) ||
      bytes > kMaxCodedImageBytes ||
      (bytes > kJpegFreeBytes && bytes / kJpegMaxRatio > coded)) {
    return -1;
  }
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
      cinfo->output_components != components) {
    return -1;
  }
  job->pixels = AllocImageMemory(static_cast<uint64_t>(bytes));
  if (job->pixels == nullptr) return -1;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW rows[16];
    JDIMENSION count = cinfo->output_height - cinfo->output_scanline;
    if (count > 16) count = 16;
    for (JDIMENSION i = 0; i < count; ++i) {
      rows[i] = job->pixels + pitch * (cinfo->output_scanline + i);
    }
    jpeg_read_scanlines(cinfo, rows, count);
  }
  jpeg_finish_decompress(cinfo);

  GraphImage* image = &job->image;
  image->Width = static_cast<int32_t>(cinfo->output_width);
  image->Height = static_cast<int32_t>(cinfo->output_height);
  image->Pitch = static_cast<int32_t>(pitch);
  if (components == 1) {
    SetGray8ColorFormat(&image->Format);
  } else {
    SetRgb24ColorFormat(&image->Format);
  }
  return 0;
}

// ---- writing to a native file ----

struct JpegDestination {
  jpeg_destination_mgr pub;
  NativeWriteFile* file;
  JOCTET* buffer;
};

void InitJpegDestination(j_compress_ptr cinfo) {
  JpegDestination* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kJpegBufferBytes));
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = kJpegBufferBytes;
}

boolean EmptyJpegDestination(j_compress_ptr cinfo) {
  JpegDestination* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  if (WriteNativeFile(destination->file, destination->buffer, kJpegBufferBytes) != 0) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = kJpegBufferBytes;
  return TRUE;
}

void TermJpegDestination(j_compress_ptr cinfo) {
  JpegDestination* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  const size_t used = kJpegBufferBytes - destination->pub.free_in_buffer;
  if (used > 0 && WriteNativeFile(destination->file, destination->buffer, used) != 0) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

struct JpegEncodeJob {
  JpegErrorManager error;
  jpeg_compress_struct cinfo;
  JpegDestination destination;
  const GraphImage* image;
  RgbRows rows;
  int quality;
};

int RunJpegEncode(JpegEncodeJob* job) {
  j_compress_ptr cinfo = &job->cinfo;
  if (setjmp(job->error.jump)) return -1;
  jpeg_create_compress(cinfo);
  job->destination.pub.init_destination = InitJpegDestination;
  job->destination.pub.empty_output_buffer = EmptyJpegDestination;
  job->destination.pub.term_destination = TermJpegDestination;
  cinfo->dest = &job->destination.pub;
  cinfo->image_width = static_cast<JDIMENSION>(job->image->Width);
  cinfo->image_height = static_cast<JDIMENSION>(job->image->Height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, job->quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  jpeg_write_scanlines(cinfo, job->rows.rows, cinfo->image_height);
  jpeg_finish_compress(cinfo);
  return 0;
}

}  // namespace

int DecodeJpegStream(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
  std::memset(out, 0, sizeof(*out));
  JpegDecodeJob* job = reinterpret_cast<JpegDecodeJob*>(AllocImageMemory(sizeof(JpegDecodeJob)));
  if (job == nullptr) return -1;
  std::memset(job, 0, sizeof(*job));
  job->source.ops = ops;
  job->source.stream = stream;
  const int32_t start = ops->tell(stream);
  int result = -1;
  if (start >= 0 && ops->seek(stream, 0, 2) == 0) {
    const int32_t end = ops->tell(stream);
    if (ops->seek(stream, start, 0) == 0 && end >= start) {
      job->source.left = end - start;
      job->cinfo.err = jpeg_std_error(&job->error.pub);
      job->error.pub.error_exit = ExitJpeg;
      result = RunJpegDecode(job);
      jpeg_destroy_decompress(&job->cinfo);
    }
  }
  if (result == 0) {
    job->image.Pixels = job->pixels;
    *out = job->image;
  } else {
    FreeImageMemory(job->pixels);
  }
  FreeImageMemory(job);
  return result;
}

int EncodeJpegFile(const char* name, const GraphImage* image, int quality) {
  JpegEncodeJob* job = reinterpret_cast<JpegEncodeJob*>(AllocImageMemory(sizeof(JpegEncodeJob)));
  if (job == nullptr) return -1;
  std::memset(job, 0, sizeof(*job));
  job->image = image;
  job->quality = quality;
  int result = -1;
  if (BuildRgbRows(image, &job->rows) == 0) {
    job->destination.file = OpenNativeFileForWrite(name);
    if (job->destination.file != nullptr) {
      job->cinfo.err = jpeg_std_error(&job->error.pub);
      job->error.pub.error_exit = ExitJpeg;
      result = RunJpegEncode(job);
      jpeg_destroy_compress(&job->cinfo);
      if (CloseNativeFile(job->destination.file) != 0) result = -1;
    }
    ReleaseRgbRows(&job->rows);
  }
  FreeImageMemory(job);
  return result;
}
