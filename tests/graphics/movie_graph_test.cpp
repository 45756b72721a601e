// Movies played into graphics: the movie table, the temporary copy of files
// the reader cannot open directly, kinds, the update gate, frames at
// virtual times read back from the graphic's pixels, pause, release and
// re-open, the end of the stream, and the sound in the mixer. The clips are
// written at test time by the clip writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/core/base/library_handle.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/sound/sound_buffer.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_upload.h"
#include "platform/audio_mixer.h"
#include "platform/movie/movie_clip_writer.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/graphics/texture_fixture.h"

namespace graphics_test {
namespace {

namespace pm = platform::movie;

pm::ClipOptions LosslessClip() { return pm::ClipOptions{}; }

pm::ClipOptions SilentClip() {
  pm::ClipOptions o;
  o.sound = false;
  o.frames = 10;
  return o;
}

class MovieGraphTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    SetStreamFunctions(nullptr);
  }
  void TearDown() override {
    ReleaseAllMovies();
    SetMovieFrameUploader3D(nullptr);
    SetStreamFunctions(nullptr);
    GraphicsTest::TearDown();
  }

  // Writes a clip into the scratch folder; its engine path.
  std::string WriteClip(const std::string& name, const pm::ClipOptions& options) {
    const std::filesystem::path native = scratch_.Path() / name;
    EXPECT_TRUE(pm::WriteClipFile(native.string(), options));
    return platform::NativeToEnginePath(native.string());
  }

  // Pixel (x, y) of the graphic's store as 0xRRGGBB.
  static uint32_t GraphPixel(int graph, int x, int y) {
    const Surface2D* surface = GetSurface2D(GetGraphRecord(graph)->Pieces[0]);
    const SurfaceData* data = GetSurfaceData(surface->SurfaceDataHandle);
    const MEMIMG& image = data->Image;
    const uint8_t* row = image.Pixels + static_cast<ptrdiff_t>(y) * image.Pitch;
    if (image.Kind == 1) {
      uint32_t v = 0;
      std::memcpy(&v, row + x * 4, 4);
      return v & 0xFFFFFF;
    }
    uint16_t v = 0;
    std::memcpy(&v, row + x * 2, 2);
    const uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return (r << 3) << 16 | (g << 2) << 8 | (b << 3);
  }

  static int ShownIndex(int graph, const pm::ClipOptions& o) {
    return pm::ReadClipFrameIndex(o, [&](int x, int y) { return GraphPixel(graph, x, y); });
  }

  // Pixels differing from the clip's frame `index`, compared at the
  // store's depth (5-6-5 keeps the top bits of each channel).
  static int Mismatches(int graph, const pm::ClipOptions& o, int index) {
    const Surface2D* surface = GetSurface2D(GetGraphRecord(graph)->Pieces[0]);
    const bool sixteen = GetSurfaceData(surface->SurfaceDataHandle)->Image.Kind == 0;
    const uint32_t mask = sixteen ? 0xF8FCF8u : 0xFFFFFFu;
    int bad = 0;
    for (int y = 0; y < o.height; ++y) {
      for (int x = 0; x < o.width; ++x) bad += GraphPixel(graph, x, y) != (pm::ClipPixel(o, index, x, y) & mask);
    }
    return bad;
  }

  MovieRecord* Movie(int graph) { return GetMovieRecord(GetGraphRecord(graph)->MovieHandle); }
};

TEST_F(MovieGraphTest, HandlesCarryTheMovieTypeAndTheTableHoldsOneHundred) {
  EXPECT_EQ(MakeLibraryHandle(HandleType::kMovie, 2, 1), 0x18010002);
  UseSoftwareRendering(32);
  const std::string clip = WriteClip("silent.mkv", SilentClip());
  std::vector<int> handles;
  for (int i = 0; i < kMovieSlots; ++i) {
    int w = 0, h = 0;
    const int handle = OpenMovieToGraph(clip.c_str(), &w, &h, 0);
    ASSERT_NE(handle, -1) << i;
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    handles.push_back(handle);
  }
  // Slot and check of a fresh table: both the slot index.
  EXPECT_EQ(handles[2], 0x18020002);
  EXPECT_NE(GetMovieRecord(handles[99]), nullptr);
  EXPECT_EQ(OpenMovieToGraph(clip.c_str(), nullptr, nullptr, 0), -1);
  EXPECT_EQ(GetMovieCount(), kMovieSlots);
  // A stale handle (same slot, other check) names nothing.
  EXPECT_EQ(GetMovieRecord(MakeLibraryHandle(HandleType::kMovie, 2, 7)), nullptr);
}

TEST_F(MovieGraphTest, KindFollowsTheScreenDepth) {
  struct Case {
    int bits, requested, kind, pixelBytes;
  } const cases[] = {{16, 1, 2, 3}, {32, 1, 0, 4}, {16, 0, 0, 2}, {32, 0, 0, 4}, {16, 2, 2, 3}, {32, 2, 0, 4}};
  for (const Case& c : cases) {
    UseSoftwareRendering(c.bits);
    const std::string clip = WriteClip("k.mkv", SilentClip());
    const int graph = OpenMovieGraph(clip.c_str(), 0, c.requested);
    ASSERT_NE(graph, -1);
    const MovieRecord* movie = Movie(graph);
    EXPECT_EQ(movie->MovieKind, c.kind) << c.bits << " " << c.requested;
    EXPECT_EQ(movie->SampleFormat.PixelByte, c.pixelBytes);
    EXPECT_EQ(movie->FramePitch, (64 * c.pixelBytes + 3) & ~3);
    ReleaseGraph(graph, 0);
  }
}

// Frames at virtual times, exact, through both sample formats; a 24-bit
// movie is converted into the 16-bit graph.
TEST_F(MovieGraphTest, TheFrameShownIsTheOneDueAtTheMoviesTime) {
  for (const int bits : {16, 32}) {
    UseSoftwareRendering(bits);
    const pm::ClipOptions o = LosslessClip();
    const std::string clip = WriteClip("exact.mkv", o);
    const int graph = OpenMovieGraph(clip.c_str(), 0, bits == 16 ? 1 : 0);
    ASSERT_NE(graph, -1);
    ResumeAllMovies();
    EXPECT_EQ(Movie(graph)->Playing, 1);
    int64_t elapsed = 0;
    for (const int64_t t : {0, 39, 40, 130, 999, 1000, 1961}) {
      clock_.Advance(static_cast<uint64_t>(t - elapsed));
      elapsed = t;
      ASSERT_EQ(UpdateMovieFrame(graph, 1), 0);
      const int index = static_cast<int>(t / 40);
      EXPECT_EQ(ShownIndex(graph, o), index) << bits << " bits at " << t;
      EXPECT_EQ(Mismatches(graph, o, index), 0) << bits << " bits at " << t;
    }
    ReleaseGraph(graph, 0);
  }
}

// Blocking updates one frame time apart, back to back, at both screen
// depths: the graphic shows every frame of the clip in order, exactly, and
// keeps the last one when the stream ends.
TEST_F(MovieGraphTest, BackToBackUpdatesShowEveryFrameInOrder) {
  for (const int bits : {16, 32}) {
    UseSoftwareRendering(bits);
    const pm::ClipOptions o = LosslessClip();
    const int graph = OpenMovieGraph(WriteClip("run.mkv", o).c_str(), 0, 0);
    ASSERT_NE(graph, -1);
    PlayGraphMovie(graph);
    for (int i = 0; i < o.frames; ++i) {
      ASSERT_EQ(UpdateMovieFrame(graph, 1), 0);
      ASSERT_EQ(ShownIndex(graph, o), i) << bits << " bits";
      EXPECT_EQ(Mismatches(graph, o, i), 0) << bits << " bits, frame " << i;
      clock_.Advance(40);
    }
    UpdateMovieFrame(graph, 1);
    EXPECT_EQ(Movie(graph)->Playing, 0);
    EXPECT_EQ(Mismatches(graph, o, o.frames - 1), 0) << bits << " bits";
    ReleaseGraph(graph, 0);
  }
}

TEST_F(MovieGraphTest, UpdateGateAndAsynchronousRequest) {
  UseSoftwareRendering(32);
  const pm::ClipOptions o = LosslessClip();
  const int graph = OpenMovieGraph(WriteClip("gate.mkv", o).c_str(), 0, 0);
  ASSERT_NE(graph, -1);
  PlayGraphMovie(graph);
  clock_.Advance(30);
  UpdateMovieFrame(graph, 1);  // frame 0, taken at 30 ms
  ASSERT_EQ(ShownIndex(graph, o), 0);
  ASSERT_TRUE(Movie(graph)->Stream->WaitDecoded(3, 5000));
  // Each step: ms to advance, whether a frame is presented first, and the
  // frame shown after a draw.
  struct Step {
    int advance;
    bool present;
    int shown;
  } const steps[] = {
      {17, false, 0},  // 47 ms: frame 1 is due, but 17 ms since the update in the same present
      {1, false, 1},   // 48 ms: 18 ms passed
      {0, false, 1},   // drawn twice in one presented frame: one update
      {34, false, 2},  // 82 ms: frame 2 (the request made at 48 ms completes)
      {1, true, 2},    // a present allows an update at once; nothing new is due
  };
  for (const Step& s : steps) {
    clock_.Advance(static_cast<uint64_t>(s.advance));
    if (s.present) SetPresentCount(GetPresentCount() + 1);
    const int32_t before = Movie(graph)->LastUpdateTime;
    BlitGraph(0, 0, graph, 0);
    EXPECT_EQ(ShownIndex(graph, o), s.shown) << "at " << clock_.Milliseconds();
    if (s.shown == 0) {
      EXPECT_EQ(Movie(graph)->LastUpdateTime, before);
    }
  }
  // A paused movie is not updated by draws.
  PauseGraphMovie(graph);
  clock_.Advance(500);
  BlitGraph(0, 0, graph, 0);
  EXPECT_EQ(ShownIndex(graph, o), 2);
}

TEST_F(MovieGraphTest, PauseReleaseReopenAndTheEndOfTheStream) {
  UseSoftwareRendering(32);
  const pm::ClipOptions o = LosslessClip();
  const int graph = OpenMovieGraph(WriteClip("life.mkv", o).c_str(), 0, 0);
  ASSERT_NE(graph, -1);
  // Stopped until resumed: time does not run.
  clock_.Advance(300);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 0);
  ResumeAllMovies();
  clock_.Advance(200);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 5);
  PauseAllMovies();
  EXPECT_EQ(Movie(graph)->Playing, 0);
  clock_.Advance(1000);
  ResumeAllMovies();
  clock_.Advance(45);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 6);  // 245 ms of movie time
  // Around a display rebuild the time is kept.
  ReleaseAllMovieStreams();
  EXPECT_EQ(Movie(graph)->Stream, nullptr);
  EXPECT_EQ(Movie(graph)->SavedTime, 2450000);
  EXPECT_EQ(UpdateMovieFrame(graph, 0), 0);
  clock_.Advance(5000);
  ASSERT_EQ(ReopenAllMovieStreams(), 0);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 6);
  EXPECT_EQ(Mismatches(graph, o, 6), 0);
  clock_.Advance(400);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 16);
  // Past the end: playing stops and the last frame stays.
  clock_.Advance(3000);
  for (int i = 0; i < 3 && Movie(graph)->Playing == 1; ++i) UpdateMovieFrame(graph, 1);
  EXPECT_EQ(Movie(graph)->Playing, 0);
  EXPECT_EQ(ShownIndex(graph, o), o.frames - 1);
  BlitGraph(0, 0, graph, 0);
  EXPECT_EQ(Mismatches(graph, o, o.frames - 1), 0);
}

TEST_F(MovieGraphTest, TextureGraphsGetTheirFramesThroughTheUploader) {
  UseSoftwareRendering(32);
  const pm::ClipOptions o = LosslessClip();
  const int graph = OpenMovieGraph(WriteClip("tex.mkv", o).c_str(), 0, 0);
  ASSERT_NE(graph, -1);
  static std::vector<uint32_t> uploaded;
  uploaded.clear();
  SetMovieFrameUploader3D([](const MovieFrame& frame, const GraphRecord&, const MovieRectWriter* write) {
    // Declines to have the frame written straight into textures.
    if (write != nullptr) return 0;
    uint32_t v = 0;
    // The block of bit 1, read from the frame buffer.
    std::memcpy(&v, frame.FrameBuffer + frame.FramePitch * 4 + 12 * 4, 4);
    uploaded.push_back(v & 0xFFFFFF);
    return 0;
  });
  GetGraphRecord(graph)->TextureFlag = 1;
  PlayGraphMovie(graph);
  clock_.Advance(80);  // frame 2: bit 1 set
  UpdateMovieFrame(graph, 1);
  ASSERT_EQ(uploaded.size(), 1u);
  EXPECT_EQ(uploaded[0], 0xFFFFFFu);
  // Without an uploader the frame still reaches the movie's buffer.
  SetMovieFrameUploader3D(nullptr);
  clock_.Advance(40);
  EXPECT_EQ(UpdateMovieFrame(graph, 1), 0);
  EXPECT_EQ(uploaded.size(), 1u);
}

TEST_F(MovieGraphTest, TheSoundPlaysInTheMixerAtItsPitch) {
  UseSoftwareRendering(32);
  platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kPull);
  OpenSoundOutput();
  platform::AudioMixer* mixer = GetSoundMixer();
  ASSERT_NE(mixer, nullptr);
  for (const pm::ClipCodec codec : {pm::ClipCodec::kLossless, pm::ClipCodec::kLossy}) {
    pm::ClipOptions o;
    o.codec = codec;
    o.tone_hz = 1000;
    const int graph = OpenMovieGraph(WriteClip(codec == pm::ClipCodec::kLossy ? "t.mpg" : "t.mkv", o).c_str(), 0, 0);
    ASSERT_NE(graph, -1);
    mixer->TakeOutput();
    ResumeAllMovies();
    for (int step = 0; step < 75; ++step) {  // 1.5 s in 20 ms steps
      clock_.Advance(20);
      UpdateMovieFrame(graph, 1);
      mixer->Pull(882);
    }
    const std::vector<int16_t> out = mixer->TakeOutput();
    ASSERT_EQ(out.size(), 75u * 882 * 2);
    // Rising zero crossings of the left channel over the second half
    // second to the last: one per cycle.
    int crossings = 0;
    double power = 0;
    for (size_t i = 22050; i + 2 < out.size() / 2; ++i) {
      const int16_t a = out[i * 2], b = out[i * 2 + 2];
      if (a < 0 && b >= 0) ++crossings;
      power += static_cast<double>(a) * a;
    }
    const double frames = static_cast<double>(out.size() / 2) - 22050 - 2;
    EXPECT_NEAR(crossings / (frames / 44100.0), 1000.0, 20.0) << static_cast<int>(codec);
    // Mono into both channels at -3 dB: amplitude 8000 / sqrt 2, so an RMS
    // of 4000; no gaps.
    EXPECT_NEAR(std::sqrt(power / frames), 4000.0, 400.0) << static_cast<int>(codec);
    ReleaseGraph(graph, 0);
  }
  CloseSoundOutput();
  platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kDevice);
}

// A non-movie, a missing file and a damaged movie: -1 with the log text, or
// a movie that ends early; never a crash.
TEST_F(MovieGraphTest, FilesThatAreNoMovies) {
  UseSoftwareRendering(16);
  {
    std::ofstream(scratch_.Path() / "note.txt") << "just text, no pictures here";
  }
  const std::string note = platform::NativeToEnginePath((scratch_.Path() / "note.txt").string());
  EXPECT_EQ(OpenMovieGraph(note.c_str(), 0, 0), -1);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("ファイル:" + note + " が開けませんでした"), std::string::npos);
  EXPECT_NE(log.find("ムービーファイルオープン処理時にエラーが発生しました"), std::string::npos);
  EXPECT_NE(log.find("右記のグラフィックファイルのロードに失敗しました："), std::string::npos);
  EXPECT_EQ(OpenMovieGraph("G:\\no\\such.mkv", 0, 0), -1);
  EXPECT_EQ(GetMovieCount(), 0);
  EXPECT_EQ(GetGraphCount(), 0);

  // Cut short at several places: opens and ends early, or is refused.
  const std::vector<uint8_t> whole = pm::WriteClipBytes(LosslessClip());
  ASSERT_GT(whole.size(), 1000u);
  for (const size_t keep : {whole.size() / 2, whole.size() / 8, size_t{200}}) {
    const std::filesystem::path cut = scratch_.Path() / "cut.mkv";
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(whole.data()),
                                                static_cast<std::streamsize>(keep));
    const int graph = OpenMovieGraph(platform::NativeToEnginePath(cut.string()).c_str(), 0, 0);
    if (graph == -1) continue;
    PlayGraphMovie(graph);
    for (int i = 0; i < 60 && Movie(graph)->Playing == 1; ++i) {
      clock_.Advance(40);
      UpdateMovieFrame(graph, 1);
    }
    EXPECT_EQ(Movie(graph)->Playing, 0) << keep;
    ReleaseGraph(graph, 0);
  }
}

// A file the stream table serves but the movie reader cannot open (an
// archive member): copied in 1 MB pieces to a temporary file of its size,
// which goes with the graphic.
struct MemberFile {
  static std::vector<uint8_t>& Bytes() {
    static std::vector<uint8_t> bytes;
    return bytes;
  }
  static int64_t& Position() {
    static int64_t position = 0;
    return position;
  }
  static StreamHandle Open(const char* name, int, int, int) {
    if (std::strcmp(name, "G:\\Data\\Movie.vesk\\MEMBER.MKV") != 0) return 0;
    Position() = 0;
    return 7;
  }
  static int Close(StreamHandle) { return 0; }
  static int32_t Tell(StreamHandle) { return static_cast<int32_t>(Position()); }
  static int Seek(StreamHandle, int32_t offset, int origin) {
    const int64_t size = static_cast<int64_t>(Bytes().size());
    Position() = std::clamp<int64_t>(origin == 0 ? offset : origin == 1 ? Position() + offset : size + offset, 0, size);
    return 0;
  }
  static int64_t Read(void* buffer, size_t element, size_t count, StreamHandle) {
    const int64_t want = static_cast<int64_t>(element * count);
    const int64_t n = std::min<int64_t>(want, static_cast<int64_t>(Bytes().size()) - Position());
    std::memcpy(buffer, Bytes().data() + Position(), static_cast<size_t>(n));
    Position() += n;
    return element == 0 ? 0 : n / static_cast<int64_t>(element);
  }
  static int Eof(StreamHandle) { return Position() >= static_cast<int64_t>(Bytes().size()) ? 1 : 0; }
};

TEST_F(MovieGraphTest, ArchiveMembersPlayFromATemporaryCopy) {
  UseSoftwareRendering(32);
  const pm::ClipOptions o = LosslessClip();
  std::vector<uint8_t> member = pm::WriteClipBytes(o);
  ASSERT_FALSE(member.empty());
  member.resize(2621440, 0);  // the container ignores what follows its end
  MemberFile::Bytes() = member;
  StreamFunctionTable table = PlainStreamFunctions();
  table.open = &MemberFile::Open;
  table.close = &MemberFile::Close;
  table.tell = &MemberFile::Tell;
  table.seek = &MemberFile::Seek;
  table.read = &MemberFile::Read;
  table.eof = &MemberFile::Eof;
  SetStreamFunctions(&table);
  const char* name = "G:\\Data\\Movie.vesk\\MEMBER.MKV";

  std::string temp;
  std::vector<int64_t> chunks;
  ASSERT_EQ(CopyMovieToTempFile(name, &temp, &chunks), 0);
  EXPECT_EQ(chunks, (std::vector<int64_t>{1048576, 1048576, 524288}));
  EXPECT_EQ(platform::FileSize(temp), std::optional<int64_t>(2621440));
  platform::DeleteFile(temp);

  const int graph = OpenMovieGraph(name, 0, 0);
  ASSERT_NE(graph, -1);
  const MovieRecord* movie = Movie(graph);
  EXPECT_EQ(movie->TempCopy, 1);
  const std::string copy = movie->FileName;
  EXPECT_NE(copy, name);
  EXPECT_EQ(platform::FileSize(copy), std::optional<int64_t>(2621440));
  PlayGraphMovie(graph);
  clock_.Advance(130);
  UpdateMovieFrame(graph, 1);
  EXPECT_EQ(ShownIndex(graph, o), 3);
  ReleaseGraph(graph, 0);
  EXPECT_FALSE(platform::FileExists(copy));
  EXPECT_EQ(GetMovieCount(), 0);
}

}  // namespace

// A 2D graph gets its frames converted straight into its store; the pixels
// (spare bits included) are those that the copy through the movie's frame
// buffer gives, for odd sizes whose store rows are longer than the frame's.
TEST_F(MovieGraphTest, FramesWrittenStraightIntoTheStoreMatchTheCopiedOnes) {
  struct Case {
    pm::ClipCodec codec;
    int width, height;
  } const cases[] = {{pm::ClipCodec::kLossless, 37, 23}, {pm::ClipCodec::kLossy, 42, 30}};
  for (const Case& c : cases) {
    for (const int bits : {16, 32}) {
      SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " at " << bits << " bits");
      UseSoftwareRendering(bits);
      pm::ClipOptions o;
      o.codec = c.codec;
      o.width = c.width;
      o.height = c.height;
      o.frames = 6;
      o.sound = false;
      const std::string clip = WriteClip(c.codec == pm::ClipCodec::kLossless ? "odd.mkv" : "odd.mpg", o);
      const int direct = OpenMovieGraph(clip.c_str(), 0, 0);
      const int copied = OpenMovieGraph(clip.c_str(), 0, 0);
      ASSERT_NE(direct, -1);
      ASSERT_NE(copied, -1);
      const auto store = [](int graph) -> const MEMIMG& {
        return GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle)->Image;
      };
      // Spare bits cleared beforehand: the direct road must set them.
      const MEMIMG& a = store(direct);
      std::memset(a.Pixels, 0, static_cast<size_t>(a.Pitch) * static_cast<size_t>(c.height));
      PlayGraphMovie(direct);
      clock_.Advance(120);
      ASSERT_EQ(UpdateMovieFrame(direct, 1), 0);
      MovieRecord* movie = Movie(direct);
      ASSERT_EQ(movie->Stream->CurrentFrameNumber(), 3);
      // The frame went into the store without being handed over.
      std::vector<uint8_t> frame;
      ASSERT_TRUE(movie->Stream->TakeCurrentFrame(&frame));
      // The old road: the handed-over frame copied into the other graph.
      const MovieFrame copy{movie->MovieKind, &movie->SampleFormat, movie->FrameWidth,
                            movie->FrameHeight, movie->FramePitch, frame.data()};
      ASSERT_EQ(TransMovieFrameToSurface2D(copy, *GetGraphRecord(copied)), 0);
      const MEMIMG& b = store(copied);
      const int rowBytes = c.width * bits / 8;
      EXPECT_GT(a.Pitch, rowBytes);
      int badRows = 0;
      for (int y = 0; y < c.height; ++y) {
        badRows += std::memcmp(a.Pixels + static_cast<ptrdiff_t>(y) * a.Pitch,
                               b.Pixels + static_cast<ptrdiff_t>(y) * b.Pitch, static_cast<size_t>(rowBytes)) != 0;
      }
      EXPECT_EQ(badRows, 0);
      if (bits == 32) {
        ASSERT_EQ(a.Format->SpareMask, 0xFF000000u);
        int notSet = 0;
        for (int y = 0; y < c.height; ++y) {
          for (int x = 0; x < c.width; ++x) notSet += a.Pixels[static_cast<ptrdiff_t>(y) * a.Pitch + x * 4 + 3] != 0xFF;
        }
        EXPECT_EQ(notSet, 0);
      }
      if (c.codec == pm::ClipCodec::kLossless) {
        EXPECT_EQ(Mismatches(direct, o, 3), 0);
      }
      ReleaseGraph(direct, 0);
      ReleaseGraph(copied, 0);
    }
  }
}

// Texture graphs on the stand-in's texture device at 32 bits.
class MovieTextureGraphTest : public TextureTest {
 protected:
  void TearDown() override {
    ReleaseAllMovies();
    SetMovieFrameUploader3D(nullptr);
    TextureTest::TearDown();
  }

  // The graph's pixels, piece by piece, as 0xRRGGBB rows of its width.
  static std::vector<uint32_t> TexturePixels(int graph) {
    const GraphRecord& g = *GetGraphRecord(graph);
    std::vector<uint32_t> pixels(static_cast<size_t>(g.Width) * static_cast<size_t>(g.Height), 0xDEADBEEF);
    for (int i = 0; i < g.PieceCount; ++i) {
      const Surface3D* piece = GetSurface3DData(g.Pieces[static_cast<size_t>(i)]);
      int pitch = 0;
      uint8_t* bits = nullptr;
      const ColorFormat* f = nullptr;
      if (LockSurfaceData(piece->SurfaceData, &pitch, &bits, 0, nullptr, &f) != 0) continue;
      const bool fits = f != nullptr && f->PixelByte == 4 && piece->GraphX + piece->Width <= g.Width &&
                        piece->GraphY + piece->Height <= g.Height;
      EXPECT_TRUE(fits) << "piece " << i;
      if (!fits) {
        UnlockSurfaceData(piece->SurfaceData);
        continue;
      }
      for (int y = 0; y < piece->Height; ++y) {
        for (int x = 0; x < piece->Width; ++x) {
          uint32_t v = 0;
          std::memcpy(&v, bits + (piece->TexY + y) * pitch + (piece->TexX + x) * 4, 4);
          pixels[static_cast<size_t>(piece->GraphY + y) * static_cast<size_t>(g.Width) + piece->GraphX + x] = v;
        }
      }
      UnlockSurfaceData(piece->SurfaceData);
    }
    return pixels;
  }
};

// The graph whose frames the test uploader keeps from the straight road.
const GraphRecord* g_copied_graph = nullptr;
int g_straight_writes = 0;

int UploadForTest(const MovieFrame& frame, const GraphRecord& graph, const MovieRectWriter* write) {
  if (write == nullptr) return UploadMovieFrame3D(frame, 0, graph);
  if (&graph == g_copied_graph) return 0;
  const int written = WriteMovieFrameToTextures3D(frame, graph, *write);
  g_straight_writes += written == 1 ? 1 : 0;
  return written;
}

TEST_F(MovieTextureGraphTest, FramesWrittenStraightIntoTexturesMatchTheCopiedFrames) {
  // Two graphs of one clip, 640 pixels wide (two pieces: 512 and 128
  // columns), at the same times: one takes each frame straight into its
  // textures, the other through the frame buffer. Their texels agree, and
  // the lossless clip's are its frames exactly.
  // Textures with alpha (for the alpha test, the default) take it from the
  // colour key: a key-coloured pixel of the frame is see-through on both.
  UseStandIn(32);
  SetMovieFrameUploader3D(UploadForTest);
  struct Case {
    pm::ClipCodec codec;
    int alpha_test;
  } const cases[] = {{pm::ClipCodec::kLossless, 0}, {pm::ClipCodec::kLossless, 1}, {pm::ClipCodec::kLossy, 1}};
  for (const Case& c : cases) {
    const pm::ClipCodec codec = c.codec;
    SCOPED_TRACE(::testing::Message() << "codec " << static_cast<int>(codec) << " alpha test " << c.alpha_test);
    CurrentDrawState.CreateAlphaTest = c.alpha_test;
    pm::ClipOptions o;
    o.codec = codec;
    o.width = 640;
    o.height = 80;  // converted in bands of rows: more than one
    o.frames = 8;
    o.sound = false;
    const std::filesystem::path native =
        scratch_.Path() / (codec == pm::ClipCodec::kLossless ? "wide.mkv" : "wide.mpg");
    ASSERT_TRUE(pm::WriteClipFile(native.string(), o));
    const std::string clip = platform::NativeToEnginePath(native.string());
    // Each open puts back the 3D drawing it found, which counts the device
    // (there is none here): the setting is asked for again.
    CurrentDrawState.Use3D = 1;
    const int straight = OpenMovieGraph(clip.c_str(), 1, 0);
    CurrentDrawState.Use3D = 1;
    const int copied = OpenMovieGraph(clip.c_str(), 1, 0);
    ASSERT_NE(straight, -1);
    ASSERT_NE(copied, -1);
    for (const int graph : {straight, copied}) {
      ASSERT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
      ASSERT_EQ(GetGraphRecord(graph)->PieceCount, 2);
    }
    g_copied_graph = GetGraphRecord(copied);
    g_straight_writes = 0;
    PlayGraphMovie(straight);
    PlayGraphMovie(copied);
    int shown = 0;
    for (const int step : {0, 3, 2}) {
      shown += step;
      clock_.Advance(static_cast<uint64_t>(step) * 40);
      UpdateMovieFrame(straight, 1);
      UpdateMovieFrame(copied, 1);
      const std::vector<uint32_t> a = TexturePixels(straight), b = TexturePixels(copied);
      ASSERT_EQ(a.size(), b.size());
      int differ = 0, off_frame = 0, see_through = 0;
      for (size_t i = 0; i < a.size(); ++i) {
        differ += a[i] != b[i];
        see_through += (a[i] >> 24) == 0;
        if (codec == pm::ClipCodec::kLossless) {
          const int x = static_cast<int>(i % 640), y = static_cast<int>(i / 640);
          off_frame += (a[i] & 0xFFFFFF) != pm::ClipPixel(o, shown, x, y);
        }
      }
      EXPECT_EQ(differ, 0) << "frame " << shown;
      EXPECT_EQ(off_frame, 0) << "frame " << shown;
      // The clip's black is the key: see-through only with alpha.
      if (c.alpha_test == 0) {
        EXPECT_EQ(see_through, 0);
      } else if (codec == pm::ClipCodec::kLossless) {
        EXPECT_GT(see_through, 0);
      }
    }
    EXPECT_EQ(g_straight_writes, 3);
    ReleaseGraph(straight, 0);
    ReleaseGraph(copied, 0);
  }
  g_copied_graph = nullptr;
}

}  // namespace graphics_test
