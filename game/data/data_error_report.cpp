#include "game/data/data_error_report.h"

#include <cstdarg>
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

std::string FormatDataText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, copy);
    text.resize(static_cast<size_t>(length));
  }
  va_end(copy);
  return text;
}
