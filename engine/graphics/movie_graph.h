// Movies played into graphics: the movie table (HandleType 3, 100 slots;
// handle = slot | (check | 0x1800) << 16), opening a movie file (a file the
// movie reader cannot open directly, such as an archive member, is copied to
// a temporary file first, deleted with the movie), the frame update that
// every draw of a movie graphic runs, play and pause, and the release and
// re-opening of the streams around a display rebuild.
//
// Times: stream times (TimePerFrame, StopPosition, SavedTime) are in units
// of 100 ns; LastUpdateTime is milliseconds of the clock interface. Frames
// are FrameWidth × FrameHeight pixels in SampleFormat, rows FramePitch bytes
// (width × bytes per pixel rounded up to 4). FileName is Shift-JIS, kept
// whole. Everything here runs under the library lock; the movie's decoding
// runs on its own thread and meets this code only through the stream's own
// lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image_transfer_2d.h"
#include "platform/movie/movie_stream.h"

struct GraphRecord;

inline constexpr int kMovieSlots = 100;
// Milliseconds within one presented frame in which a movie graphic is not
// updated again.
inline constexpr uint32_t kMovieUpdateInterval = 18;
// Largest piece in which an archive member is copied to its temporary file.
inline constexpr int64_t kMovieCopyChunk = 1048576;

struct MovieRecord {
  int32_t Check = 0;
  // The decoded stream, in place of the multimedia-stream objects; null
  // while the streams are released.
  std::unique_ptr<platform::movie::MovieStream> Stream;
  int32_t SoundSource = 0;  // the mixer's outside-source id, 0 none
  int64_t TimePerFrame = 0;
  int64_t LastPresentCount = -1;
  int32_t LastUpdateTime = -1;
  int64_t StopPosition = 0;
  int32_t SampleInSystemMemory = 1;
  int32_t Width = 0, Height = 0;
  int32_t Playing = 0;
  int32_t MovieKind = 0;  // 0 screen format, 1 overlay, 2 24-bit RGB
  int64_t SavedTime = 0;
  int32_t TempCopy = 0;
  std::string FileName;
  int32_t UpdatePending = 0;
  ColorFormat SampleFormat{};
  int32_t FrameWidth = 0, FrameHeight = 0, FramePitch = 0;
  std::vector<uint8_t> FrameBuffer;
};

// Opens a movie into the first free slot: the movie handle, -1 when the
// table is full or the file cannot be played (logged). width and height
// receive the frame size.
int OpenMovieToGraph(const char* file, int* width, int* height, int movieKind);
MovieRecord* GetMovieRecord(int handle);
int GetMovieCount();

// ReadGraphFromFile's movie road: a graphic of the movie's size bound to
// the movie, made with the screen's depth in system memory (texture graphs
// only for movies of kind 0). The graph handle, or -1 (logged).
int OpenMovieGraph(const char* file, int want3D, int movieKind);

// Releases the graphic's movie (0 when it has none, -1 for a bad movie
// handle): its sound, its stream and its temporary file.
int ReleaseGraphMovie(GraphRecord& record);
// Brings the graphic's frame up to date (blocking 0: the draw entries'
// form, with the 18 ms gate and the asynchronous request).
int UpdateMovieFrame(int graph, int blocking);
int PlayGraphMovie(int graph);
int PauseGraphMovie(int graph);
int ResumeAllMovies();
int PauseAllMovies();
// Keeps each movie's time and releases its stream (record, file and flags
// stay); ReopenAllMovieStreams opens them again at the kept time, running
// those that were playing. -1 at the first movie that cannot be opened.
int ReleaseAllMovieStreams();
int ReopenAllMovieStreams();
// Sample surfaces of this build are never lost: nothing to restore.
int RestoreMovieSurfaces(int movieHandle);
// Releases every movie and restarts the check counter (the graphics
// engine's table reset).
void ReleaseAllMovies();

// The texture back end's frame upload, installed by that back end; without
// one, frames of texture graphs are refused (-1). With `write`, the frame
// is written straight into the textures when it can be
// (WriteMovieFrameToTextures3D): 1 when it was, 0 when not (FrameBuffer is
// then filled and the upload asked again without `write`). Without it,
// FrameBuffer is uploaded (UploadMovieFrame3D): 0, or -1.
using MovieFrameUploader = int (*)(const MovieFrame& frame, const GraphRecord& graph, const MovieRectWriter* write);
void SetMovieFrameUploader3D(MovieFrameUploader uploader);

// Copies a file opened through the stream table (archive members included)
// into a new temporary file in pieces of at most kMovieCopyChunk bytes.
// The temporary file's path goes to tempPath, the piece sizes to chunks
// when given. 0, or -1 when the file cannot be opened or the temporary
// file cannot be made (nothing is left behind then).
int CopyMovieToTempFile(const char* file, std::string* tempPath, std::vector<int64_t>* chunks);
