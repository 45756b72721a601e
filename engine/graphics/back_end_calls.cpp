#include "engine/graphics/back_end_calls.h"

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
