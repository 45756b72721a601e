// Standard MIDI File checking and track merging.
#include "platform/smf_player/smf_file.h"

#include <algorithm>
#include <cstring>

namespace smf {
namespace {

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

class Cursor {
 public:
  Cursor(const uint8_t* data, size_t begin, size_t end) : data_(data), at_(begin), end_(end) {}
  bool AtEnd() const { return at_ >= end_; }
  size_t at() const { return at_; }
  bool Byte(uint8_t* out) {
    if (at_ >= end_) return false;
    *out = data_[at_++];
    return true;
  }
  bool Peek(uint8_t* out) const {
    if (at_ >= end_) return false;
    *out = data_[at_];
    return true;
  }
  // A variable-length number of at most four bytes (28 bits).
  bool Number(uint32_t* out) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(&b)) return false;
      value = value << 7 | (b & 0x7Fu);
      if ((b & 0x80) == 0) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool Skip(uint32_t count) {
    if (count > end_ - at_) return false;
    at_ += count;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t at_;
  size_t end_;
};

int DataBytes(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    default: return 2;
  }
}

struct Tagged {
  Event event;
  uint32_t track;
  uint32_t order;
};

Error ReadTrack(const uint8_t* data, size_t begin, size_t end, uint32_t track, std::vector<Tagged>* out,
                uint64_t* end_tick) {
  Cursor c(data, begin, end);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!c.AtEnd()) {
    uint32_t delta;
    if (!c.Number(&delta)) return Error::kTruncated;
    tick += delta;
    uint8_t first;
    if (!c.Byte(&first)) return Error::kTruncated;
    Event e;
    e.tick = tick;
    if (first < 0x80) {
      if (running == 0) return Error::kBadEvent;
      e.status = running;
      e.data1 = first;
      if (DataBytes(running) == 2 && !c.Byte(&e.data2)) return Error::kTruncated;
    } else if (first < 0xF0) {
      running = first;
      e.status = first;
      if (!c.Byte(&e.data1)) return Error::kTruncated;
      if (DataBytes(first) == 2 && !c.Byte(&e.data2)) return Error::kTruncated;
    } else if (first == 0xF0 || first == 0xF7) {
      running = 0;
      uint32_t length;
      if (!c.Number(&length)) return Error::kTruncated;
      e.status = first;
      e.data_offset = static_cast<uint32_t>(c.at());
      e.data_length = length;
      if (!c.Skip(length)) return Error::kTruncated;
    } else if (first == 0xFF) {
      running = 0;
      uint8_t type;
      uint32_t length;
      if (!c.Byte(&type) || !c.Number(&length)) return Error::kTruncated;
      const size_t at = c.at();
      if (!c.Skip(length)) return Error::kTruncated;
      *end_tick = std::max(*end_tick, tick);
      if (type == 0x2F) break;  // end of track
      if (type != 0x51 || length != 3) continue;
      e.status = 0xFF;
      e.data1 = type;
      e.tempo = static_cast<uint32_t>(data[at]) << 16 | static_cast<uint32_t>(data[at + 1]) << 8 | data[at + 2];
      if (e.tempo == 0) continue;  // a tempo of zero would stop time
    } else {
      return Error::kBadEvent;
    }
    if ((e.status & 0x80) != 0 && e.status < 0xF0 && ((e.data1 | e.data2) & 0x80) != 0) return Error::kBadEvent;
    *end_tick = std::max(*end_tick, tick);
    out->push_back(Tagged{e, track, static_cast<uint32_t>(out->size())});
  }
  return Error::kNone;
}

}  // namespace

Error ReadSong(const uint8_t* data, size_t size, Song* song) {
  *song = Song{};
  if (size > kMaxFileBytes) return Error::kTooLarge;
  if (data == nullptr || size < 14 || std::memcmp(data, "MThd", 4) != 0 || Be32(data + 4) < 6) return Error::kNotMidi;
  const uint32_t header_length = Be32(data + 4);
  if (header_length > size - 8) return Error::kTruncated;
  const int format = Be16(data + 8);
  const int declared_tracks = Be16(data + 10);
  const uint16_t division = Be16(data + 12);
  if (format > 2 || declared_tracks == 0) return Error::kBadHeader;
  if ((division & 0x8000) != 0 ? ((division & 0xFF) == 0 || static_cast<int8_t>(division >> 8) >= 0) : division == 0) {
    return Error::kBadHeader;
  }

  std::vector<Tagged> events;
  uint64_t end_tick = 0;
  uint32_t tracks = 0;
  size_t at = 8 + static_cast<size_t>(header_length);
  while (at < size) {
    if (size - at < 8) return Error::kTruncated;
    const uint32_t length = Be32(data + at + 4);
    if (length > size - at - 8) return Error::kTruncated;
    if (std::memcmp(data + at, "MTrk", 4) == 0) {
      const Error error = ReadTrack(data, at + 8, at + 8 + length, tracks, &events, &end_tick);
      if (error != Error::kNone) return error;
      ++tracks;
    }
    at += 8 + static_cast<size_t>(length);
  }
  if (tracks == 0) return Error::kNoTracks;
  // Fewer tracks than the header declares: the file was cut short.
  if (tracks < static_cast<uint32_t>(declared_tracks)) return Error::kTruncated;
  // Format 2 holds independent sequences: only the first is played.
  if (format == 2) {
    events.erase(std::remove_if(events.begin(), events.end(), [](const Tagged& t) { return t.track != 0; }),
                 events.end());
  }
  std::stable_sort(events.begin(), events.end(), [](const Tagged& a, const Tagged& b) {
    if (a.event.tick != b.event.tick) return a.event.tick < b.event.tick;
    return a.track < b.track;
  });
  song->format = format;
  song->track_count = static_cast<int>(tracks);
  song->division = division;
  song->end_tick = end_tick;
  song->events.reserve(events.size());
  for (const Tagged& t : events) song->events.push_back(t.event);
  song->bytes.assign(data, data + size);
  return Error::kNone;
}

double SecondsPerTick(uint16_t division, uint32_t tempo) {
  if ((division & 0x8000) != 0) {
    const int frames = -static_cast<int8_t>(division >> 8);
    const int per_frame = division & 0xFF;
    return 1.0 / (static_cast<double>(frames) * per_frame);
  }
  return static_cast<double>(tempo) / 1e6 / static_cast<double>(division);
}

double SecondsAtTick(const Song& song, double tick) {
  double seconds = 0;
  uint64_t last = 0;
  uint32_t tempo = kDefaultTempo;
  for (const Event& e : song.events) {
    if (static_cast<double>(e.tick) >= tick) break;
    if (e.status == 0xFF && e.data1 == 0x51) {
      seconds += static_cast<double>(e.tick - last) * SecondsPerTick(song.division, tempo);
      last = e.tick;
      tempo = e.tempo;
    }
  }
  return seconds + (tick - static_cast<double>(last)) * SecondsPerTick(song.division, tempo);
}

double TickAtSeconds(const Song& song, double seconds) {
  double at = 0;
  uint64_t last = 0;
  uint32_t tempo = kDefaultTempo;
  for (const Event& e : song.events) {
    if (!(e.status == 0xFF && e.data1 == 0x51)) continue;
    const double span = static_cast<double>(e.tick - last) * SecondsPerTick(song.division, tempo);
    if (at + span > seconds) break;
    at += span;
    last = e.tick;
    tempo = e.tempo;
  }
  return static_cast<double>(last) + (seconds - at) / SecondsPerTick(song.division, tempo);
}

}  // namespace smf
