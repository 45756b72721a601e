// The entry points of the MIDI library (SmfPlayer.so), shared by the
// library itself and by everything that loads it. Twenty entries keep the
// names the game's binding looks up (spelling included); every argument and
// result is a 32-bit value or a pointer. One more entry, SMPRenderSamples,
// is how the sound mixer pulls the library's output: the library opens no
// audio device of its own.
//
// Meanings:
//   SMPSetDevice(device, option)  0 when the synthesizer and a General MIDI
//                                 SoundFont are ready, else -1 (no MIDI).
//   SMPLoadFile(path, option)     an SMF file into list entry 0.
//   SMPReadMemory(data, size, option)       an SMF image into entry 0.
//   SMPAddList(path, option, number)        an SMF file into entry number.
//   SMPReadList(data, size, option, number) a checked copy of an SMF image
//                                 into entry number; the caller may free its
//                                 memory at once. -1 for a damaged file.
//   SMPFlushList() / SMPDeleteList(number)  drop all entries / one entry.
//   SMPViewList()                 a text with one "number: bytes" line per
//                                 entry; never null.
//   SMPPlay(option, number, start_ms)       plays an entry from a position
//                                 (milliseconds of the file's own time);
//                                 option bit 0 loops it. 0 or -1.
//   SMPStop(), SMPPause()         stop; pause and resume (each call toggles).
//   SMPSendReset(kind)            every channel back to its defaults.
//   SMPMasterVolume(v)            amplitude (2500 + v) / 2500 held within
//                                 0..1 (0 full, -2500 silent).
//   SMPTempoDepth(d)              tempo 100 + 2d percent for d >= 0, else
//                                 (200 + d) / 2 percent (at least 1).
//   SMPPitchDepth(d)              transposes melodic channels by d
//                                 semitones (held within -24..24).
//   SMPGetSMFDatas(number, out)   out[0..3] = format, tracks, time division,
//                                 length in milliseconds. 0 or -1.
//   SMPGetStatus(what)            what 0: 1 playing, 2 paused, 0 stopped;
//                                 1: position in milliseconds; 2: the entry
//                                 playing (-1 none); else -1.
//   SMPAddDLS(path)               loads one more SoundFont over the first.
//   SMPCofigDlg(window)           no dialog: nothing to set here.
//   SMPFree()                     releases everything the library holds.
//   SMPRenderSamples(out, frames) writes frames interleaved 44,100 Hz
//                                 stereo 16-bit frames.
#pragma once

#include <cstdint>

extern "C" {
using SMPSetDeviceFn = int32_t (*)(int32_t device, int32_t option);
using SMPLoadFileFn = int32_t (*)(const char* path, int32_t option);
using SMPReadMemoryFn = int32_t (*)(const void* data, int32_t size, int32_t option);
using SMPAddListFn = int32_t (*)(const char* path, int32_t option, int32_t number);
using SMPReadListFn = int32_t (*)(const void* data, int32_t size, int32_t option, int32_t number);
using SMPFlushListFn = void (*)();
using SMPDeleteListFn = void (*)(int32_t number);
using SMPViewListFn = const char* (*)();
using SMPPlayFn = int32_t (*)(int32_t option, int32_t number, int32_t start_ms);
using SMPStopFn = void (*)();
using SMPPauseFn = void (*)();
using SMPSendResetFn = void (*)(int32_t kind);
using SMPMasterVolumeFn = void (*)(int32_t volume);
using SMPTempoDepthFn = void (*)(int32_t depth);
using SMPPitchDepthFn = void (*)(int32_t depth);
using SMPGetSMFDatasFn = int32_t (*)(int32_t number, int32_t* out);
using SMPGetStatusFn = int32_t (*)(int32_t what);
using SMPAddDLSFn = void (*)(const char* path);
using SMPCofigDlgFn = void (*)(int32_t window);
using SMPFreeFn = void (*)();
using SMPRenderSamplesFn = void (*)(int16_t* out, int32_t frames);
}

// The twenty names in the binding's order, then the render entry.
inline constexpr int kSmfPlayerEntryCount = 20;
inline constexpr const char* kSmfPlayerEntryNames[kSmfPlayerEntryCount] = {
    "SMPSetDevice",   "SMPLoadFile",     "SMPReadMemory", "SMPAddList",     "SMPReadList",
    "SMPFlushList",   "SMPDeleteList",   "SMPViewList",   "SMPPlay",        "SMPStop",
    "SMPPause",       "SMPSendReset",    "SMPMasterVolume", "SMPTempoDepth", "SMPPitchDepth",
    "SMPGetSMFDatas", "SMPGetStatus",    "SMPAddDLS",     "SMPCofigDlg",    "SMPFree"};
inline constexpr const char* kSmfPlayerRenderName = "SMPRenderSamples";
inline constexpr int kSmfPlayerSampleRate = 44100;
// The file name beside the player binary.
inline constexpr const char* kSmfPlayerFileName = "SmfPlayer.so";
