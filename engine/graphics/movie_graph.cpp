#include "engine/graphics/movie_graph.h"

#include <algorithm>
#include <cstring>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/sound/sound_buffer.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/software_front.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace pm = platform::movie;

namespace {

HandleTable<MovieRecord>& Table() {
  static HandleTable<MovieRecord> table(HandleType::kMovie);
  return table;
}

MovieFrameUploader g_uploader = nullptr;

uint32_t NowMs() { return platform::GetClock().Milliseconds(); }

// Stream times are microseconds, the record's 100 ns.
int64_t ToRecordTime(int64_t microseconds) { return microseconds * 10; }
int64_t ToStreamTime(int64_t units) { return units / 10; }

// A request for the overlay (no overlay format exists here) or for 24-bit
// frames becomes the screen's format on 32-bit screens, else 24-bit RGB.
int ResolveKind(int requested) {
  if (requested == 0) return 0;
  if (requested == 1 && GetOverlayFormat() != nullptr) return 1;
  return ScreenDepth() == 32 ? 0 : 2;
}

pm::FrameLayout LayoutFor(int kind) {
  if (kind == 2) return pm::FrameLayout::kRgb24;
  return ScreenDepth() == 32 ? pm::FrameLayout::kXrgb8888 : pm::FrameLayout::kRgb565;
}

void SampleFormatFor(pm::FrameLayout layout, ColorFormat* format) {
  switch (layout) {
    case pm::FrameLayout::kRgb24: SetRgb24ColorFormat(format); return;
    case pm::FrameLayout::kXrgb8888: *format = *GetColorFormat(1, 0, 0); return;
    case pm::FrameLayout::kRgb565: *format = *GetColorFormat(0, 0, 0); return;
  }
}

void DetachSound(MovieRecord& movie) {
  if (movie.SoundSource != 0) {
    if (platform::AudioMixer* mixer = GetSoundMixer()) mixer->DetachOutsideSource(movie.SoundSource);
    movie.SoundSource = 0;
  }
}

// The stream goes after its sound: the mixer never calls into a stream
// that is gone.
void CloseStream(MovieRecord& movie) {
  DetachSound(movie);
  movie.Stream.reset();
}

void AttachSound(MovieRecord& movie) {
  platform::AudioMixer* mixer = GetSoundMixer();
  if (mixer == nullptr || !movie.Stream || !movie.Stream->HasAudio()) return;
  pm::MovieStream* stream = movie.Stream.get();
  movie.SoundSource = mixer->AttachOutsideSource([stream](int16_t* out, int frames) {
    stream->RenderAudio(out, frames);
  });
}

int OpenMovieStream(MovieRecord& movie, const char* file, int* width, int* height, int kind) {
  kind = ResolveKind(kind);
  const pm::FrameLayout layout = LayoutFor(kind);
  const std::string name = file;
  movie.FileName = name;
  pm::OpenFailure why = pm::OpenFailure::kNone;
  std::unique_ptr<pm::MovieStream> stream = pm::MovieStream::OpenPath(movie.FileName, layout, &why);
  if (!stream && why == pm::OpenFailure::kOpenFile && movie.TempCopy == 0 &&
      !platform::FileExists(movie.FileName)) {
    // Not a plain file (an archive member, say): play a temporary copy.
    std::string temp;
    if (CopyMovieToTempFile(name.c_str(), &temp, nullptr) == 0) {
      movie.TempCopy = 1;
      movie.FileName = temp;
      stream = pm::MovieStream::OpenPath(movie.FileName, layout, &why);
      if (!stream) {
        platform::DeleteFile(movie.FileName);
        movie.TempCopy = 0;
        movie.FileName = name;
      }
    }
  }
  if (!stream) {
    switch (why) {
      case pm::OpenFailure::kNoPicture: WriteLog("動画ファイルではない可能性があります！"); break;
      case pm::OpenFailure::kDecoder: WriteLog("ストリームサンプルを作成できませんでした！"); break;
      default: WriteLog(("ファイル:" + name + " が開けませんでした").c_str()); break;
    }
    return -1;
  }
  movie.Stream = std::move(stream);
  movie.StopPosition = ToRecordTime(movie.Stream->StopPosition());
  movie.TimePerFrame = ToRecordTime(movie.Stream->TimePerFrame());
  movie.MovieKind = kind;
  movie.Width = movie.Stream->Width();
  movie.Height = movie.Stream->Height();
  if (width != nullptr) *width = movie.Width;
  if (height != nullptr) *height = movie.Height;
  movie.SampleInSystemMemory = 1;
  SampleFormatFor(layout, &movie.SampleFormat);
  movie.FrameWidth = movie.Width;
  movie.FrameHeight = movie.Height;
  movie.FramePitch = pm::FramePitchFor(layout, movie.Width);
  movie.FrameBuffer.assign(static_cast<size_t>(movie.FramePitch) * static_cast<size_t>(movie.FrameHeight), 0);
  movie.UpdatePending = 0;
  movie.LastPresentCount = -1;
  movie.LastUpdateTime = -1;
  AttachSound(movie);
  return 0;
}

// The graphic's movie, null when it has none or the handle is bad.
MovieRecord* MovieOf(int graph, int* result) {
  GraphRecord* record = GetGraphRecord(graph);
  *result = -1;
  if (record == nullptr) return nullptr;
  *result = 0;
  if (record->MovieHandle == -1) return nullptr;
  MovieRecord* movie = GetMovieRecord(record->MovieHandle);
  if (movie == nullptr) *result = -1;
  return movie;
}

void TakeFrame(const GraphRecord& graph, MovieRecord& movie) {
  const auto frame = [&movie] {
    return MovieFrame{movie.MovieKind, &movie.SampleFormat, movie.FrameWidth, movie.FrameHeight,
                      movie.FramePitch, movie.FrameBuffer.data()};
  };
  // A 2D graph whose store takes the frame as it is gets it converted
  // straight into its store, without passing through FrameBuffer.
  // Texture graphs likewise, through the texture back end.
  int written = 0;
  pm::MovieStream* stream = movie.Stream.get();
  if (movie.MovieKind != 1 && graph.TextureFlag == 0) {
    written = WriteMovieFrameToSurface2D(frame(), graph, [stream](uint8_t* bits, int pitch, int rows) {
      if (!stream->ConvertCurrentFrame(bits, pitch, rows)) return MovieFrameWrite::kNothing;
      // The stream's 32-bit pixels come with their top byte 0xFF.
      return stream->Layout() == pm::FrameLayout::kXrgb8888 ? MovieFrameWrite::kWrittenTopByteSet
                                                             : MovieFrameWrite::kWritten;
    });
  } else if (movie.MovieKind != 1 && g_uploader != nullptr && stream->Layout() == pm::FrameLayout::kXrgb8888) {
    const MovieRectWriter write = [stream](int left, int top, int width, int height, uint8_t* bits, int pitch,
                                           const MovieRowsDone& rows_done) {
      return stream->ConvertCurrentFrameRect(left, top, width, height, bits, pitch, rows_done);
    };
    written = g_uploader(frame(), graph, &write) == 1 ? 1 : 0;
  }
  if (written == 0) {
    // A new frame is converted straight into FrameBuffer; without one
    // FrameBuffer still holds the last frame taken.
    movie.Stream->TakeCurrentFrame(&movie.FrameBuffer);
    if (movie.MovieKind != 1) {
      if (graph.TextureFlag != 0) {
        if (g_uploader != nullptr) g_uploader(frame(), graph, nullptr);
      } else {
        TransMovieFrameToSurface2D(frame(), graph);
      }
    }
  }
  movie.LastPresentCount = GetPresentCount();
  movie.LastUpdateTime = static_cast<int32_t>(NowMs());
  movie.UpdatePending = 0;
}

// Step 4 of the update: 1 when a frame was taken.
int RequestFrame(const GraphRecord& graph, MovieRecord& movie) {
  switch (movie.Stream->RequestUpdate()) {
    case pm::UpdateStatus::kDone:
      TakeFrame(graph, movie);
      return 1;
    case pm::UpdateStatus::kPending:
      movie.UpdatePending = 1;
      return 0;
    case pm::UpdateStatus::kEnd:
      movie.Playing = 0;
      movie.UpdatePending = 0;
      return 0;
  }
  return 0;
}

}  // namespace

int OpenMovieToGraph(const char* file, int* width, int* height, int movieKind) {
  HandleTable<MovieRecord>& table = Table();
  const int slot = table.FirstFreeSlot();
  if (slot < 0 || file == nullptr) return -1;
  auto movie = std::make_unique<MovieRecord>();
  if (OpenMovieStream(*movie, file, width, height, movieKind) != 0) {
    WriteLog("ムービーファイルオープン処理時にエラーが発生しました");
    return -1;
  }
  movie->Playing = 0;
  movie->Check = static_cast<int32_t>(table.counter().Peek());
  return table.Insert(slot, std::move(movie));
}

MovieRecord* GetMovieRecord(int handle) { return Table().Find(handle); }
int GetMovieCount() { return Table().live_count(); }

int OpenMovieGraph(const char* file, int want3D, int movieKind) {
  const StreamHandle probe = StreamOpen(file, 0, 0, 0);
  if (probe == 0) {
    WriteLogF("グラフィックファイル %s がありません", file);
    return -1;
  }
  StreamClose(probe);
  DrawState& s = CurrentDrawState;
  const int savedDepth = s.CreateBitDepth;
  const int savedSystemMem = s.CreateSystemMem;
  const int saved3D = IsUsing3DDrawing();
  int width = 0, height = 0;
  const int movie = OpenMovieToGraph(file, &width, &height, movieKind);
  if (movie == -1) {
    WriteLogF("右記のグラフィックファイルのロードに失敗しました：%s \n", file);
    return -1;
  }
  if (GetMovieRecord(movie)->MovieKind != 0) SetUse3DDrawing(0);
  s.CreateBitDepth = ScreenDepth();
  s.CreateSystemMem = 1;
  const int graph = CreateBlankGraph(width, height, want3D, 0, 0);
  s.CreateBitDepth = savedDepth;
  SetGraphSystemMemDefault(savedSystemMem);
  SetUse3DDrawing(saved3D);
  if (graph == -1) {
    WriteLogF("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", file);
    // The movie would have no graphic to release it.
    std::unique_ptr<MovieRecord> gone = Table().Remove(movie);
    if (gone) {
      CloseStream(*gone);
      if (gone->TempCopy == 1) platform::DeleteFile(gone->FileName);
    }
    return -1;
  }
  GetGraphRecord(graph)->MovieHandle = movie;
  return graph;
}

int ReleaseGraphMovie(GraphRecord& record) {
  if (record.MovieHandle == -1) return 0;
  std::unique_ptr<MovieRecord> movie = Table().Remove(record.MovieHandle);
  record.MovieHandle = -1;
  if (!movie) return -1;
  CloseStream(*movie);
  if (movie->TempCopy == 1) platform::DeleteFile(movie->FileName);
  return 0;
}

int UpdateMovieFrame(int graph, int blocking) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->MovieHandle == -1) return 0;
  MovieRecord* movie = GetMovieRecord(record->MovieHandle);
  if (movie == nullptr) return -1;
  if (!movie->Stream) return 0;
  if (blocking != 0) {
    switch (movie->Stream->WaitUpdate()) {
      case pm::UpdateStatus::kDone: TakeFrame(*record, *movie); break;
      case pm::UpdateStatus::kPending: movie->UpdatePending = 0; break;
      case pm::UpdateStatus::kEnd:
        movie->Playing = 0;
        movie->UpdatePending = 0;
        break;
    }
    return 0;
  }
  if (movie->Playing != 1 || !movie->Stream->Running()) return 0;
  const uint32_t elapsed = NowMs() - static_cast<uint32_t>(movie->LastUpdateTime);
  if (GetPresentCount() == movie->LastPresentCount && elapsed < kMovieUpdateInterval) return 0;
  int taken = 0;
  if (movie->UpdatePending != 0) {
    if (!movie->Stream->UpdateSignalled()) return 0;
    TakeFrame(*record, *movie);
    taken = 1;
  } else {
    taken = RequestFrame(*record, *movie);
  }
  // The next frame decodes while the game runs.
  if (taken != 0) RequestFrame(*record, *movie);
  return 0;
}

int PlayGraphMovie(int graph) {
  int result = 0;
  MovieRecord* movie = MovieOf(graph, &result);
  if (movie == nullptr) return result;
  if (movie->Stream && movie->Playing == 0) {
    movie->Stream->Run();
    movie->Playing = 1;
  }
  return 0;
}

int PauseGraphMovie(int graph) {
  int result = 0;
  MovieRecord* movie = MovieOf(graph, &result);
  if (movie == nullptr) return result;
  if (movie->Playing == 1) {
    if (movie->Stream) movie->Stream->Pause();
    movie->Playing = 0;
  }
  return 0;
}

namespace {
void PlayOne(int handle, GraphRecord& record) {
  if (record.MovieHandle != -1) PlayGraphMovie(handle);
}
void PauseOne(int handle, GraphRecord& record) {
  if (record.MovieHandle != -1) PauseGraphMovie(handle);
}
}  // namespace

int ResumeAllMovies() {
  ForEachGraph(&PlayOne);
  return 0;
}

int PauseAllMovies() {
  ForEachGraph(&PauseOne);
  return 0;
}

int ReleaseAllMovieStreams() {
  Table().ForEachLive([](int, MovieRecord& movie) {
    if (!movie.Stream) return;
    movie.SavedTime = ToRecordTime(movie.Stream->CurrentTime());
    CloseStream(movie);
    movie.UpdatePending = 0;
  });
  return 0;
}

int ReopenAllMovieStreams() {
  HandleTable<MovieRecord>& table = Table();
  for (int slot = 0; slot < table.capacity(); ++slot) {
    MovieRecord* movie = table.RecordAt(slot);
    if (movie == nullptr || movie->Stream) continue;
    const std::string file = movie->FileName;
    if (OpenMovieStream(*movie, file.c_str(), nullptr, nullptr, movie->MovieKind) != 0) return -1;
    movie->Stream->Seek(ToStreamTime(movie->SavedTime));
    if (movie->Playing == 1) movie->Stream->Run();
  }
  return 0;
}

int RestoreMovieSurfaces(int) { return 0; }

void ReleaseAllMovies() {
  HandleTable<MovieRecord>& table = Table();
  table.ForEachLive([](int, MovieRecord& movie) {
    CloseStream(movie);
    if (movie.TempCopy == 1) platform::DeleteFile(movie.FileName);
  });
  table.Clear();
  table.counter().Reset();
}

void SetMovieFrameUploader3D(MovieFrameUploader uploader) { g_uploader = uploader; }

int CopyMovieToTempFile(const char* file, std::string* tempPath, std::vector<int64_t>* chunks) {
  const StreamHandle source = StreamOpen(file, 0, 0, 0);
  if (source == 0) return -1;
  StreamSeek(source, 0, 2);
  const int64_t size = std::max<int32_t>(0, StreamTell(source));
  StreamSeek(source, 0, 0);
  char path[kStreamPathBufferSize] = {};
  std::unique_ptr<platform::File> target = CreateTempFile(path);
  if (!target) {
    StreamClose(source);
    return -1;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(kMovieCopyChunk));
  int64_t left = size;
  while (left > 0) {
    const int64_t chunk = std::min(left, kMovieCopyChunk);
    if (chunks != nullptr) chunks->push_back(chunk);
    const int64_t got = StreamRead(buffer.data(), 1, static_cast<size_t>(chunk), source);
    if (got <= 0) break;
    // A short write (a full disk) ends the copy; the movie then ends early.
    if (target->Write(buffer.data(), got) != got || got != chunk) break;
    left -= chunk;
  }
  target.reset();
  StreamClose(source);
  if (tempPath != nullptr) *tempPath = path;
  return 0;
}
