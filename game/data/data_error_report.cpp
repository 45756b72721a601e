#include "game/data/data_error_report.h"

#include <cstdio>
#include <utility>

#include "engine/api/library_entry_points.h"
#include "platform/text_encoding.h"

namespace {

ErrorBoxReporter& InstalledReporter() {
  static ErrorBoxReporter reporter;
  return reporter;
}

ErrorLocationProvider& InstalledLocationProvider() {
  static ErrorLocationProvider provider;
  return provider;
}

std::vector<RecordedErrorBox>& Recorded() {
  static std::vector<RecordedErrorBox> boxes;
  return boxes;
}

void RecordAndPrint(const std::string& line1, const std::string& line2, const std::string& line3) {
  Recorded().push_back({line1, line2, line3});
  const std::string text = platform::SjisToUtf8(line1) + "\n" + platform::SjisToUtf8(line2) + "\n" +
                           platform::SjisToUtf8(line3) + "\n";
  std::fputs("[error box]\n", stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void ShowErrorBox(std::string line1, std::string line2, std::string line3) {
  if (const ErrorBoxReporter& reporter = InstalledReporter()) {
    reporter(line1, line2, line3);
  } else {
    RecordAndPrint(line1, line2, line3);
  }
}

std::string ErrorLocationText() {
  if (const ErrorLocationProvider& provider = InstalledLocationProvider()) return provider();
  return std::string();
}

void SetErrorBoxReporter(ErrorBoxReporter reporter) { InstalledReporter() = std::move(reporter); }

void SetErrorLocationProvider(ErrorLocationProvider provider) {
  InstalledLocationProvider() = std::move(provider);
}

const std::vector<RecordedErrorBox>& RecordedErrorBoxes() { return Recorded(); }

void ClearRecordedErrorBoxes() { Recorded().clear(); }

void EndProgramAfterDataError() {
  // Ending a library that never started only runs the shutdown's empty
  // steps, so this is safe before start-up as well.
  EndLibrary();
  EndProcessAfterError(1);
}
