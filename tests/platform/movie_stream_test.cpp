// The movie stream on its own: the update request and its event, seeking,
// the three frame layouts, and what it refuses, at virtual times.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/movie/movie_clip_writer.h"
#include "platform/movie/movie_stream.h"

namespace {

namespace pm = platform::movie;

class MovieStreamTest : public ::testing::Test {
 protected:
  std::unique_ptr<pm::MovieStream> Open(const pm::ClipOptions& o, pm::FrameLayout layout) {
    pm::OpenFailure why = pm::OpenFailure::kOpenFile;
    auto movie = pm::MovieStream::OpenMemory(pm::WriteClipBytes(o), layout, &why);
    EXPECT_EQ(why, pm::OpenFailure::kNone);
    return movie;
  }
  // Pixel (x, y) of the current frame as 0xRRGGBB.
  static uint32_t Pixel(const pm::MovieStream& movie, int x, int y) {
    std::vector<uint8_t> frame(static_cast<size_t>(movie.FramePitch()) * static_cast<size_t>(movie.Height()));
    movie.CopyCurrentFrame(frame.data(), movie.FramePitch(), movie.Height());
    const uint8_t* p = frame.data() + y * movie.FramePitch() + x * pm::BytesPerPixel(movie.Layout());
    switch (movie.Layout()) {
      case pm::FrameLayout::kRgb565: {
        const uint32_t v = p[0] | p[1] << 8;
        return ((v >> 11) & 0x1F) << 19 | ((v >> 5) & 0x3F) << 10 | (v & 0x1F) << 3;
      }
      case pm::FrameLayout::kRgb24:
      case pm::FrameLayout::kXrgb8888: return static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
    }
    return 0;
  }

  // The frame index painted into a frame that TakeCurrentFrame handed over.
  static int TakenIndex(const pm::MovieStream& movie, const pm::ClipOptions& o, const std::vector<uint8_t>& frame) {
    const int bytes = pm::BytesPerPixel(movie.Layout());
    return pm::ReadClipFrameIndex(o, [&](int x, int y) {
      const uint8_t* p = frame.data() + y * movie.FramePitch() + x * bytes;
      return static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
    });
  }

  platform::VirtualClock clock_{5'000'000};
  platform::ScopedClock scoped_{clock_};
};

TEST_F(MovieStreamTest, RequestsAreDoneAtOnceOrPendingUntilTheirEvent) {
  const pm::ClipOptions o;
  auto movie = Open(o, pm::FrameLayout::kXrgb8888);
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->TimePerFrame(), 40000);
  EXPECT_NEAR(static_cast<double>(movie->StopPosition()), 2000000.0, 50000.0);
  EXPECT_TRUE(movie->HasAudio());
  EXPECT_EQ(movie->CurrentFrameNumber(), -1);
  EXPECT_FALSE(movie->UpdateSignalled());  // no request yet
  ASSERT_TRUE(movie->WaitDecoded(2, 5000));
  EXPECT_EQ(movie->RequestUpdate(), pm::UpdateStatus::kDone);  // frame 0 is due at 0
  EXPECT_EQ(movie->CurrentFrameNumber(), 0);
  // Stopped: the time stands still.
  clock_.Advance(100);
  EXPECT_EQ(movie->RequestUpdate(), pm::UpdateStatus::kPending);
  movie->Run();
  clock_.Advance(39);
  EXPECT_FALSE(movie->UpdateSignalled());
  clock_.Advance(1);
  EXPECT_TRUE(movie->UpdateSignalled());
  EXPECT_EQ(movie->CurrentFrameNumber(), 1);
  EXPECT_FALSE(movie->UpdateSignalled());  // the request is complete
  movie->Pause();
  clock_.Advance(1000);
  EXPECT_EQ(movie->CurrentTime(), 40000);
}

TEST_F(MovieStreamTest, SeekingTakesTheFrameDueAtTheNewTime) {
  const pm::ClipOptions o;
  auto movie = Open(o, pm::FrameLayout::kXrgb8888);
  ASSERT_NE(movie, nullptr);
  movie->Run();
  for (const int64_t target : {1000000, 200000, 1960000, 0}) {
    movie->Seek(target);
    EXPECT_EQ(movie->CurrentTime(), target);
    EXPECT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kDone) << target;
    EXPECT_EQ(pm::ReadClipFrameIndex(o, [&](int x, int y) { return Pixel(*movie, x, y); }), target / 40000);
  }
  movie->Seek(5000000);  // past the end: no frame, the end of the stream
  EXPECT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kEnd);
}

TEST_F(MovieStreamTest, EveryLayoutHoldsThePatternExactly) {
  const pm::ClipOptions o;
  for (const pm::FrameLayout layout : {pm::FrameLayout::kRgb565, pm::FrameLayout::kXrgb8888, pm::FrameLayout::kRgb24}) {
    auto movie = Open(o, layout);
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->FramePitch(), (64 * pm::BytesPerPixel(layout) + 3) & ~3);
    movie->Run();
    clock_.Advance(120);
    ASSERT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kDone);
    const uint32_t mask = layout == pm::FrameLayout::kRgb565 ? 0xF8FCF8u : 0xFFFFFFu;
    int bad = 0;
    for (int y = 0; y < o.height; ++y) {
      for (int x = 0; x < o.width; ++x) bad += Pixel(*movie, x, y) != (pm::ClipPixel(o, 3, x, y) & mask);
    }
    EXPECT_EQ(bad, 0) << static_cast<int>(layout);
  }
}

// Blocking updates one frame time apart, back to back: every frame arrives
// once, in order, and is handed over exactly once (the decoding is shared
// between the decode thread and the updates themselves).
TEST_F(MovieStreamTest, BackToBackUpdatesHandEveryFrameOnceInOrder) {
  for (const bool sound : {false, true}) {
    pm::ClipOptions o;
    o.sound = sound;
    auto movie = Open(o, pm::FrameLayout::kXrgb8888);
    ASSERT_NE(movie, nullptr);
    std::vector<uint8_t> frame;
    EXPECT_FALSE(movie->TakeCurrentFrame(&frame));  // nothing shown yet
    movie->Run();
    for (int i = 0; i < o.frames; ++i) {
      ASSERT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kDone) << sound << " frame " << i;
      ASSERT_EQ(movie->CurrentFrameNumber(), i) << sound;
      ASSERT_TRUE(movie->TakeCurrentFrame(&frame)) << sound << " frame " << i;
      EXPECT_EQ(TakenIndex(*movie, o, frame), i) << sound;
      EXPECT_FALSE(movie->TakeCurrentFrame(&frame)) << sound << " frame " << i;  // no second hand-over
      clock_.Advance(40);
    }
    // The end: nothing new, and the buffer keeps the last frame.
    EXPECT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kEnd) << sound;
    EXPECT_FALSE(movie->TakeCurrentFrame(&frame)) << sound;
    EXPECT_EQ(TakenIndex(*movie, o, frame), o.frames - 1) << sound;
  }
}

// Blocking and non-blocking updates take turns on one stream: each gets the
// frame due at its time, none is handed over twice, and the two ways of
// reading a frame agree.
TEST_F(MovieStreamTest, BlockingAndNonBlockingUpdatesTakeTurns) {
  const pm::ClipOptions o;
  auto movie = Open(o, pm::FrameLayout::kXrgb8888);
  ASSERT_NE(movie, nullptr);
  movie->Run();
  struct Step {
    int advance_ms;
    bool blocking;
    int frame;
  } const steps[] = {
      {0, true, 0}, {40, false, 1}, {40, true, 2}, {120, false, 5}, {40, true, 6},
      {39, true, 6}, {1, false, 7}, {160, false, 11}, {400, true, 21}, {40, false, 22},
  };
  std::vector<uint8_t> frame;
  int64_t last = -1;
  for (const Step& step : steps) {
    clock_.Advance(static_cast<uint64_t>(step.advance_ms));
    // No newer frame due: the update stays pending.
    const pm::UpdateStatus expected = step.frame == last ? pm::UpdateStatus::kPending : pm::UpdateStatus::kDone;
    if (step.blocking) {
      ASSERT_EQ(movie->WaitUpdate(), expected) << step.frame;
    } else {
      // The decoder holds the next few frames: the request is done at once.
      ASSERT_TRUE(movie->WaitDecoded(pm::kFramesAhead, 5000));
      ASSERT_EQ(movie->RequestUpdate(), expected) << step.frame;
    }
    EXPECT_EQ(movie->CurrentFrameNumber(), step.frame);
    EXPECT_EQ(movie->TakeCurrentFrame(&frame), step.frame != last) << step.frame;
    EXPECT_EQ(TakenIndex(*movie, o, frame), step.frame);
    EXPECT_EQ(pm::ReadClipFrameIndex(o, [&](int x, int y) { return Pixel(*movie, x, y); }), step.frame);
    last = step.frame;
  }
}

TEST_F(MovieStreamTest, WhatIsRefused) {
  pm::OpenFailure why = pm::OpenFailure::kNone;
  EXPECT_EQ(pm::MovieStream::OpenMemory({}, pm::FrameLayout::kXrgb8888, &why), nullptr);
  EXPECT_EQ(why, pm::OpenFailure::kOpenFile);
  EXPECT_EQ(pm::MovieStream::OpenMemory(std::vector<uint8_t>(4096, 0x47), pm::FrameLayout::kXrgb8888, &why), nullptr);
  EXPECT_NE(why, pm::OpenFailure::kNone);
  EXPECT_EQ(pm::MovieStream::OpenPath("C:\\no\\such\\movie.mkv", pm::FrameLayout::kXrgb8888, &why), nullptr);
  EXPECT_EQ(why, pm::OpenFailure::kOpenFile);
  pm::ClipOptions silent;
  silent.sound = false;
  auto movie = Open(silent, pm::FrameLayout::kXrgb8888);
  ASSERT_NE(movie, nullptr);
  EXPECT_FALSE(movie->HasAudio());
  std::vector<int16_t> sound(200, 7);
  movie->Run();
  clock_.Advance(40);
  movie->RenderAudio(sound.data(), 100);
  EXPECT_EQ(sound, std::vector<int16_t>(200, 7));  // left as it was
}

// Converting straight into a caller's buffer gives the bytes that the
// hand-over gives, for odd sizes, both codecs and every layout, with rows
// exactly as long as the pixels or longer: nothing is written between the
// rows or past the last one, and the hand-over is not used up.
TEST_F(MovieStreamTest, ConvertingIntoABufferMatchesTheHandOver) {
  struct Case {
    pm::ClipCodec codec;
    int width, height;
  } const cases[] = {{pm::ClipCodec::kLossless, 37, 23}, {pm::ClipCodec::kLossless, 64, 48},
                     {pm::ClipCodec::kLossy, 42, 30}, {pm::ClipCodec::kLossy, 50, 36},
                     {pm::ClipCodec::kLossy, 48, 32}, {pm::ClipCodec::kLossy, 64, 30}};
  constexpr uint8_t kUntouched = 0xA5;
  constexpr size_t kGuard = 256;
  for (const Case& c : cases) {
    pm::ClipOptions o;
    o.codec = c.codec;
    o.width = c.width;
    o.height = c.height;
    o.frames = 6;
    o.sound = false;
    for (const pm::FrameLayout layout : {pm::FrameLayout::kRgb565, pm::FrameLayout::kXrgb8888, pm::FrameLayout::kRgb24}) {
      for (const int extra : {0, 1, 12}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " layout " << static_cast<int>(layout)
                                          << " extra " << extra);
        auto movie = Open(o, layout);
        ASSERT_NE(movie, nullptr);
        const int row_bytes = c.width * pm::BytesPerPixel(layout);
        const int pitch = row_bytes + extra;
        std::vector<uint8_t> direct(static_cast<size_t>(pitch) * static_cast<size_t>(c.height) + kGuard, kUntouched);
        const std::vector<uint8_t> blank = direct;
        EXPECT_FALSE(movie->ConvertCurrentFrame(direct.data(), pitch, c.height));  // no frame yet
        movie->Run();
        clock_.Advance(120);
        ASSERT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kDone);
        // Too small a buffer: refused, nothing written.
        EXPECT_FALSE(movie->ConvertCurrentFrame(direct.data(), pitch, c.height - 1));
        EXPECT_FALSE(movie->ConvertCurrentFrame(direct.data(), row_bytes - 1, c.height + 1));
        ASSERT_EQ(direct, blank);
        ASSERT_TRUE(movie->ConvertCurrentFrame(direct.data(), pitch, c.height));
        std::vector<uint8_t> taken;
        ASSERT_TRUE(movie->TakeCurrentFrame(&taken));  // still to be handed over
        // 32-bit pixels come with their fourth byte 0xFF on both roads (the
        // buffer held 0xA5 there before).
        int bad_rows = 0, touched = 0, not_opaque = 0;
        for (int y = 0; y < c.height; ++y) {
          const uint8_t* got = direct.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch);
          const uint8_t* handed = taken.data() + static_cast<size_t>(y) * static_cast<size_t>(movie->FramePitch());
          bad_rows += std::memcmp(got, handed, static_cast<size_t>(row_bytes)) != 0;
          for (int x = row_bytes; x < pitch; ++x) touched += got[x] != kUntouched;
          if (layout == pm::FrameLayout::kXrgb8888) {
            for (int x = 3; x < row_bytes; x += 4) not_opaque += (got[x] != 0xFF) + (handed[x] != 0xFF);
          }
        }
        for (size_t i = static_cast<size_t>(pitch) * static_cast<size_t>(c.height); i < direct.size(); ++i) {
          touched += direct[i] != kUntouched;
        }
        EXPECT_EQ(bad_rows, 0);
        EXPECT_EQ(touched, 0);
        EXPECT_EQ(not_opaque, 0);
      }
    }
  }
}

TEST_F(MovieStreamTest, RectanglesConvertAsTheWholeFrameDoes) {
  // Each rectangle converted on its own holds the pixels the whole frame
  // holds there, and nothing around it is written.
  struct Rect {
    int left, top, width, height;
  } const rects[] = {{0, 0, 64, 48}, {0, 0, 32, 48}, {32, 0, 32, 48}, {16, 8, 48, 20}, {48, 46, 16, 2}};
  constexpr uint8_t kUntouched = 0xA5;
  // A paletted clip's second plane is its palette, not image rows.
  for (const pm::ClipCodec codec : {pm::ClipCodec::kLossless, pm::ClipCodec::kLossy, pm::ClipCodec::kPaletted}) {
    pm::ClipOptions o;
    o.codec = codec;
    o.frames = 6;
    o.sound = false;
    for (const pm::FrameLayout layout : {pm::FrameLayout::kXrgb8888, pm::FrameLayout::kRgb24}) {
      SCOPED_TRACE(::testing::Message() << "codec " << static_cast<int>(codec) << " layout "
                                        << static_cast<int>(layout));
      auto movie = Open(o, layout);
      ASSERT_NE(movie, nullptr);
      const int bytes = pm::BytesPerPixel(layout);
      std::vector<uint8_t> part(64 * 4 * 48 + 256, kUntouched);
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 0, 16, 16, part.data(), 64 * bytes));  // no frame yet
      movie->Run();
      clock_.Advance(120);
      ASSERT_EQ(movie->WaitUpdate(), pm::UpdateStatus::kDone);
      std::vector<uint8_t> whole(static_cast<size_t>(movie->FramePitch()) * 48);
      ASSERT_TRUE(movie->ConvertCurrentFrame(whole.data(), movie->FramePitch(), 48));
      for (const Rect& r : rects) {
        SCOPED_TRACE(::testing::Message() << r.left << "," << r.top << " " << r.width << "x" << r.height);
        const int pitch = r.width * bytes + 8;  // rows longer than the rectangle's
        std::vector<uint8_t> out(static_cast<size_t>(pitch) * static_cast<size_t>(r.height) + 64, kUntouched);
        ASSERT_TRUE(movie->ConvertCurrentFrameRect(r.left, r.top, r.width, r.height, out.data(), pitch));
        int wrong = 0, spilled = 0;
        for (int y = 0; y < r.height; ++y) {
          const uint8_t* got = out.data() + static_cast<size_t>(y) * pitch;
          const uint8_t* want = whole.data() + static_cast<size_t>(r.top + y) * movie->FramePitch() +
                                static_cast<size_t>(r.left) * bytes;
          if (std::memcmp(got, want, static_cast<size_t>(r.width) * bytes) != 0) ++wrong;
          for (int i = r.width * bytes; i < pitch; ++i) spilled += got[i] != kUntouched;
        }
        for (size_t i = static_cast<size_t>(pitch) * r.height; i < out.size(); ++i) spilled += out[i] != kUntouched;
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(spilled, 0);
      }
      // Refused, with nothing written: rows that end inside a converter
      // block, rectangles reaching out of the frame, a corner that splits
      // 4:2:0 colour samples (the lossy clip's), a short pitch.
      std::vector<uint8_t> blank(part.size(), kUntouched);
      part = blank;
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 0, 24, 16, part.data(), 64 * bytes));
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(16, 0, 64, 16, part.data(), 64 * bytes));
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 40, 16, 16, part.data(), 64 * bytes));
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(-16, 0, 16, 16, part.data(), 64 * bytes));
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 0, 16, 0, part.data(), 64 * bytes));
      EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 0, 16, 16, part.data(), 16 * bytes - 1));
      if (codec == pm::ClipCodec::kLossy) {
        EXPECT_FALSE(movie->ConvertCurrentFrameRect(0, 1, 16, 16, part.data(), 64 * bytes));
      }
      EXPECT_EQ(part, blank);
    }
  }
  // 5-6-5 frames are packed after conversion: no rectangles.
  auto packed = Open(pm::ClipOptions{}, pm::FrameLayout::kRgb565);
  ASSERT_NE(packed, nullptr);
  packed->Run();
  ASSERT_EQ(packed->WaitUpdate(), pm::UpdateStatus::kDone);
  std::vector<uint8_t> part(64 * 2 * 48);
  EXPECT_FALSE(packed->ConvertCurrentFrameRect(0, 0, 16, 16, part.data(), 64 * 2));
}

}  // namespace
