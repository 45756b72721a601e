// Game.dat: the game's basic information (tile size, frame rate, movement
// and text settings, the title, the archive key text, font names), a
// scrambled file in the program folder written by the game's editor and
// loaded once at start into GameBasicInfo.
//
// Layout after the 10-byte header (keys at bytes 0, 8, 6; never verified):
// u32 N + N setting bytes; u32 M + M texts; u32 A (position of the check
// byte, which must be 0xC2); u32 K (key text length); u32 L + L u16 values;
// u32 B and u32 C (positions of two tables of K u16 values P and Q). Key
// text character i is the file byte at position (P[i] + Q[i]) mod 65536.
// Positions count from the start of the file, header included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/data/empty_record.h"

// Indexes of the setting bytes other parts read.
enum GameSetting : int {
  kSettingTileSize = 0,
  kSettingFacingDirections = 1,
  kSettingMoveDirections = 2,
  kSettingUseMidiLibrary = 3,
  kSettingFrameRate = 4,
  kSettingCharacterShadow = 5,
  kSettingMidiDevice = 6,
  kSettingAnimationPatterns = 7,
  kSettingWholeTileMoves = 8,
  kSettingLowerRowCollision = 9,
  kSettingCharacterSpacing = 10,
  kSettingTextSpacing = 11,
  kSettingChoiceSpacing = 12,
  kSettingFontQuality = 14,
  kSettingEventSpeed = 15,
  kSettingPlayerSpeed = 16,
};

// Indexes of the texts other parts read.
enum GameText : int {
  kTextGameTitle = 0,
  kTextArchiveKey = 2,
  kTextFont0 = 3,
  kTextPlayerGraphic = 7,
};

class GameBasicInfoRecord {
 public:
  // Runs SetNewGameDefaults (which draws from the runtime generator).
  GameBasicInfoRecord();
  // Nothing set, nothing drawn: the constant state of the global record
  // before start-up creates it (CreateGameRecords).
  explicit constexpr GameBasicInfoRecord(EmptyRecordTag) {}

  // Loads the named file through the library's file entry points. False
  // when it is missing (after a message box) or damaged beyond reading
  // (after the error box; the record is then left as it was).
  bool LoadGameDat(const std::string& name);

  // Loads from the bytes of a whole file already in memory (scrambled as on
  // disk). False when damaged beyond reading (error box shown, record kept).
  bool LoadGameDatBytes(std::vector<uint8_t> file);

  void SetNewGameDefaults();

  // The setting byte at index, 0 for an index outside the list.
  int32_t Setting(size_t index) const { return index < settings.size() ? settings[index] : 0; }
  // The text at index, empty outside the list.
  const std::string& Text(size_t index) const;

  // Frames per second, always 1-60 (a stored 0 or negative rate gives 60),
  // and the frame step in sixtieths of a second (60 / rate, at least 1).
  int32_t FrameRate() const;
  int32_t FrameStepSixtieths() const { return 60 / FrameRate(); }

  std::vector<int8_t> settings;
  std::vector<uint16_t> values16;
  std::vector<std::string> texts;
  std::string spare_text1, spare_text2;  // nothing reads them
};

// The one record of the running program.
extern GameBasicInfoRecord GameBasicInfo;
