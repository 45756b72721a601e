// Loading images from files through the stream table and from memory, and
// picking up the "_a" alpha image.
#include "engine/graphics/image/graph_image_loader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "image_file_support.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"
#include "tests/support/fresh_state_test.h"
#include "tools/writers/image_file_writer.h"

namespace {

TEST(AlphaImageFileName, UnderscoreAGoesBeforeTheLastDotOfThePath) {
  struct Case {
    const char* name;
    const char* alpha;
  };
  for (const Case& c : {Case{"a.b", "a_a.b"}, Case{"pic\\x.y\\file", "pic\\x_a.y\\file"},
                        Case{"noext", "noext_a"}, Case{"Graphics/chara.png.bmp", "Graphics/chara.png_a.bmp"},
                        Case{".bmp", "_a.bmp"}, Case{"", "_a"}}) {
    EXPECT_EQ(c.alpha, AlphaImageFileName(c.name)) << c.name;
  }
}

std::vector<uint8_t> Bmp24(int width, int height, uint32_t color) {
  writers::BmpFile f;
  f.width = width;
  f.height = height;
  f.pixels.assign(static_cast<size_t>(width) * height, color);
  return writers::BuildBmpFile(f);
}

// A scratch folder that is the engine's current folder, read through the
// library's stream table.
class ImageFiles : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    scratch_.emplace("vesk_image_load");
    saved_folder_ = platform::GetCurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(platform::NativeToEnginePath(scratch_->Path().string())));
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    platform::SetCurrentFolder(saved_folder_);
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    scratch_->Write(name, bytes);
  }
  std::optional<testsupport::ScratchFolder> scratch_;
  std::string saved_folder_;
};

TEST_F(ImageFiles, LoadsFilesAndMemoryBlocksAlike) {
  const std::vector<uint8_t> bytes = Bmp24(3, 2, 0x123456);
  Write("pic/one.bmp", bytes);
  OwnedImage fromFile, fromMemory, converted;
  fromFile.result =
      LoadGraphImage("pic\\one.bmp", nullptr, 0, 0, 0, 0, &fromFile.image, nullptr, nullptr);
  fromMemory.result = LoadGraphImage(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()), 1,
                                     0, 0, &fromMemory.image, nullptr, nullptr);
  converted.result =
      LoadGraphImage("pic/one.bmp", nullptr, 0, 0, 0, 1, &converted.image, nullptr, nullptr);
  ASSERT_EQ(0, fromFile.result);
  ASSERT_EQ(0, fromMemory.result);
  ASSERT_EQ(0, converted.result);
  EXPECT_EQ(std::vector<uint32_t>(6, 0x123456), ImageColors(fromFile.image));
  ExpectSameImage(fromFile.image, fromMemory.image);
  ExpectSameImage(fromFile.image, converted.image);
  EXPECT_NE(fromFile->Pixels, converted->Pixels);
}

TEST_F(ImageFiles, FailuresLeaveTheImageEmpty) {
  const std::vector<uint8_t> bytes = Bmp24(1, 1, 0);
  Write("one.bmp", bytes);
  Write("junk.bmp", std::vector<uint8_t>(40, 'x'));
  void* info = &info;
  void* bits = &bits;
  struct Case {
    const char* name;
    const char* file;
    const void* data;
    int32_t size;
    int fromMemory;
    int toBitmap;
  };
  const Case cases[] = {
      {"missing file", "none.bmp", nullptr, 0, 0, 0},
      {"no file name", nullptr, nullptr, 0, 0, 0},
      {"undecodable file", "junk.bmp", nullptr, 0, 0, 0},
      {"negative memory size", nullptr, bytes.data(), -1, 1, 0},
      {"memory cut short", nullptr, bytes.data(), 20, 1, 0},
      {"to a bitmap", "one.bmp", nullptr, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    EXPECT_EQ(-1, LoadGraphImage(c.file, c.data, c.size, c.fromMemory, c.toBitmap, 0, &image.image,
                                 &info, &bits));
    EXPECT_EQ(nullptr, image->Pixels);
    EXPECT_EQ(nullptr, info);
    EXPECT_EQ(nullptr, bits);
  }
}

TEST_F(ImageFiles, AlphaImageBesideTheFile) {
  Write("main.bmp", Bmp24(3, 2, 0x102030));
  Write("main_a.bmp", Bmp24(3, 2, 0x808080));
  Write("solo.bmp", Bmp24(3, 2, 0x102030));
  Write("small.bmp", Bmp24(3, 2, 0x102030));
  Write("small_a.bmp", Bmp24(3, 1, 0xFFFFFF));
  Write("big.bmp", Bmp24(3, 2, 0x102030));
  Write("big_a.bmp", Bmp24(4, 3, 0xFFFFFF));
  Write("d.x/y", Bmp24(1, 1, 0x102030));
  Write("d_a.x/y", Bmp24(1, 1, 0x404040));
  struct Case {
    const char* file;
    int result;
    uint32_t alphaColor;  // of pixel (0, 0) when an alpha image came
  };
  for (const Case& c : {Case{"main.bmp", 0, 0x808080}, Case{"solo.bmp", 1, 0},
                        Case{"small.bmp", 1, 0}, Case{"big.bmp", 0, 0xFFFFFF},
                        Case{"d.x/y", 0, 0x404040}, Case{"missing.bmp", -1, 0}}) {
    SCOPED_TRACE(c.file);
    OwnedImage image, alpha;
    EXPECT_EQ(c.result, LoadGraphFileWithAlpha(c.file, nullptr, 0, 0, nullptr, 0, 0, &image.image,
                                               &alpha.image, 0));
    if (c.result == -1) continue;
    EXPECT_EQ(0x102030u, ImageColors(image.image)[0]);
    if (c.result == 0) {
      EXPECT_EQ(c.alphaColor, ImageColors(alpha.image)[0]);
    } else {
      EXPECT_EQ(nullptr, alpha->Pixels);
    }
  }
}

TEST_F(ImageFiles, AlphaImageFromMemory) {
  const std::vector<uint8_t> main = Bmp24(2, 2, 0x102030);
  const std::vector<uint8_t> alpha = Bmp24(2, 2, 0x505050);
  Write("main_a.bmp", Bmp24(2, 2, 0xFFFFFF));  // not looked at for alpha from memory
  struct Case {
    const char* name;
    const char* file;
    const void* alphaData;
    int32_t alphaSize;
    int alphaFromMemory;
    int result;
  };
  const Case cases[] = {
      {"alpha block", nullptr, alpha.data(), static_cast<int32_t>(alpha.size()), 1, 0},
      {"alpha block beside a file name", "main.bmp", alpha.data(),
       static_cast<int32_t>(alpha.size()), 1, 0},
      {"no alpha block", "main.bmp", nullptr, 0, 1, 1},
      {"undecodable alpha block", nullptr, main.data(), 10, 1, 1},
      {"alpha from a file without a name", nullptr, nullptr, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image, alphaImage;
    EXPECT_EQ(c.result, LoadGraphFileWithAlpha(c.file, main.data(), static_cast<int32_t>(main.size()),
                                               1, c.alphaData, c.alphaSize, c.alphaFromMemory,
                                               &image.image, &alphaImage.image, 0));
    EXPECT_EQ(0x102030u, ImageColors(image.image)[0]);
    if (c.result == 0) {
      EXPECT_EQ(0x505050u, ImageColors(alphaImage.image)[0]);
    } else {
      EXPECT_EQ(nullptr, alphaImage->Pixels);
    }
  }
}

}  // namespace
