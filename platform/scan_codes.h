// Keyboard scan codes as the engine sees them: the DirectInput key-code
// table (DIK), one byte per physical key position, 0 = no key. The game adds
// 100 to these codes, so every key a game may test has its entry here,
// Japanese keys included. The table is positional: a key's code follows its
// place on the keyboard, not the letter the layout prints on it.
#pragma once

#include <cstdint>

namespace platform {

// Named key codes the engine uses (values of the DirectInput table).
namespace dik {
inline constexpr uint8_t kEscape = 0x01;
inline constexpr uint8_t k1 = 0x02;
inline constexpr uint8_t k0 = 0x0B;
inline constexpr uint8_t kMinus = 0x0C;
inline constexpr uint8_t kEquals = 0x0D;
inline constexpr uint8_t kBack = 0x0E;
inline constexpr uint8_t kTab = 0x0F;
inline constexpr uint8_t kQ = 0x10;
inline constexpr uint8_t kW = 0x11;
inline constexpr uint8_t kE = 0x12;
inline constexpr uint8_t kP = 0x19;
inline constexpr uint8_t kLBracket = 0x1A;
inline constexpr uint8_t kRBracket = 0x1B;
inline constexpr uint8_t kReturn = 0x1C;
inline constexpr uint8_t kLControl = 0x1D;
inline constexpr uint8_t kA = 0x1E;
inline constexpr uint8_t kS = 0x1F;
inline constexpr uint8_t kD = 0x20;
inline constexpr uint8_t kL = 0x26;
inline constexpr uint8_t kSemicolon = 0x27;
inline constexpr uint8_t kApostrophe = 0x28;
inline constexpr uint8_t kGrave = 0x29;
inline constexpr uint8_t kLShift = 0x2A;
inline constexpr uint8_t kBackslash = 0x2B;
inline constexpr uint8_t kZ = 0x2C;
inline constexpr uint8_t kX = 0x2D;
inline constexpr uint8_t kC = 0x2E;
inline constexpr uint8_t kM = 0x32;
inline constexpr uint8_t kSlash = 0x35;
inline constexpr uint8_t kRShift = 0x36;
inline constexpr uint8_t kMultiply = 0x37;
inline constexpr uint8_t kLMenu = 0x38;
inline constexpr uint8_t kSpace = 0x39;
inline constexpr uint8_t kCapital = 0x3A;
inline constexpr uint8_t kF1 = 0x3B;
inline constexpr uint8_t kF10 = 0x44;
inline constexpr uint8_t kNumLock = 0x45;
inline constexpr uint8_t kScroll = 0x46;
inline constexpr uint8_t kNumpad7 = 0x47;
inline constexpr uint8_t kNumpad8 = 0x48;
inline constexpr uint8_t kNumpad9 = 0x49;
inline constexpr uint8_t kSubtract = 0x4A;
inline constexpr uint8_t kNumpad4 = 0x4B;
inline constexpr uint8_t kNumpad5 = 0x4C;
inline constexpr uint8_t kNumpad6 = 0x4D;
inline constexpr uint8_t kAdd = 0x4E;
inline constexpr uint8_t kNumpad1 = 0x4F;
inline constexpr uint8_t kNumpad2 = 0x50;
inline constexpr uint8_t kNumpad3 = 0x51;
inline constexpr uint8_t kNumpad0 = 0x52;
inline constexpr uint8_t kDecimal = 0x53;
inline constexpr uint8_t kOem102 = 0x56;
inline constexpr uint8_t kF11 = 0x57;
inline constexpr uint8_t kF12 = 0x58;
inline constexpr uint8_t kF13 = 0x64;
inline constexpr uint8_t kF14 = 0x65;
inline constexpr uint8_t kF15 = 0x66;
inline constexpr uint8_t kKana = 0x70;       // katakana/hiragana
inline constexpr uint8_t kAbntC1 = 0x73;     // the "ro" key (\ _) of the 106 keyboard
inline constexpr uint8_t kConvert = 0x79;    // henkan
inline constexpr uint8_t kNoConvert = 0x7B;  // muhenkan
inline constexpr uint8_t kYen = 0x7D;
inline constexpr uint8_t kAbntC2 = 0x7E;
inline constexpr uint8_t kNumpadEquals = 0x8D;
inline constexpr uint8_t kAt = 0x91;
inline constexpr uint8_t kColon = 0x92;
inline constexpr uint8_t kKanji = 0x94;      // hankaku/zenkaku
inline constexpr uint8_t kNumpadEnter = 0x9C;
inline constexpr uint8_t kRControl = 0x9D;
inline constexpr uint8_t kMute = 0xA0;
inline constexpr uint8_t kVolumeDown = 0xAE;
inline constexpr uint8_t kVolumeUp = 0xB0;
inline constexpr uint8_t kNumpadComma = 0xB3;
inline constexpr uint8_t kDivide = 0xB5;
inline constexpr uint8_t kSysRq = 0xB7;
inline constexpr uint8_t kRMenu = 0xB8;
inline constexpr uint8_t kPause = 0xC5;
inline constexpr uint8_t kHome = 0xC7;
inline constexpr uint8_t kUp = 0xC8;
inline constexpr uint8_t kPrior = 0xC9;
inline constexpr uint8_t kLeft = 0xCB;
inline constexpr uint8_t kRight = 0xCD;
inline constexpr uint8_t kEnd = 0xCF;
inline constexpr uint8_t kDown = 0xD0;
inline constexpr uint8_t kNext = 0xD1;
inline constexpr uint8_t kInsert = 0xD2;
inline constexpr uint8_t kDelete = 0xD3;
inline constexpr uint8_t kLWin = 0xDB;
inline constexpr uint8_t kRWin = 0xDC;
inline constexpr uint8_t kApps = 0xDD;
}  // namespace dik

// The DIK code of a platform (USB usage) scan code; 0 for a key the table
// does not know. Scan codes outside 0..511 give 0.
uint8_t DikFromScancode(int scancode);

}  // namespace platform
