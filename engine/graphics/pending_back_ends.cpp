#include "engine/graphics/pending_back_ends.h"

namespace {

// Bounded so a long run cannot grow it: tests look at the recent calls.
constexpr size_t kMaxRecordedCalls = 4096;

std::vector<std::string>& Calls() {
  static auto* calls = new std::vector<std::string>();
  return *calls;
}

}  // namespace

void NoteBackEndCall(const char* name) {
  std::vector<std::string>& calls = Calls();
  if (calls.size() >= kMaxRecordedCalls) calls.erase(calls.begin(), calls.begin() + kMaxRecordedCalls / 2);
  calls.emplace_back(name);
}

const std::vector<std::string>& BackEndCalls() { return Calls(); }
void ClearBackEndCalls() { Calls().clear(); }

int FlushCurrentVertexBatch() { return 0; }
int EndCurrentScene3D() { return 0; }

int ReleaseDirect3DObject() {
  NoteBackEndCall("ReleaseDirect3DObject");
  return 0;
}

int ReacquireDirect3D() {
  NoteBackEndCall("ReacquireDirect3D");
  return 0;
}

int RestoreLostSurfaces3D() { return 0; }

int UploadImageToGraphTextures(const GraphRecord&, const GraphImage*, const GraphImage*) {
  NoteBackEndCall("UploadImageToGraphTextures");
  return -1;
}

int MakeSubGraphTextures(GraphRecord&, int, int, const GraphRecord&) {
  NoteBackEndCall("MakeSubGraphTextures");
  return -1;
}

int RestoreGraphSurfaces3D(const GraphRecord&) { return 0; }

int OpenMovieToGraph(const char*, int*, int*, int) {
  NoteBackEndCall("OpenMovieToGraph");
  return -1;
}

int ReleaseAllMovieStreams() {
  NoteBackEndCall("ReleaseAllMovieStreams");
  return 0;
}

int ReopenAllMovieStreams() {
  NoteBackEndCall("ReopenAllMovieStreams");
  return 0;
}

int PauseAllMovies() { return 0; }
int ResumeAllMovies() { return 0; }
int RestoreMovieSurfaces(int) { return 0; }
