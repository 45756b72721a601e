// Where the game data layer reports trouble: the in-game error box (three
// lines of Shift-JIS text) and the one road out of the program after a data
// error (exit code 1).
//
// The error box itself belongs to the event interpreter; until it installs
// its own reporter, the default one records the three lines (tests read them
// back) and writes them to stderr in UTF-8, returning at once. The
// interpreter also supplies the text that names where the running script
// stands (ErrorLocationText); the default is empty.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Shows three lines in the error box and returns when it is dismissed.
void ShowErrorBox(std::string line1, std::string line2, std::string line3);

// Where the running event interpreter stands, for the second line of boxes.
std::string ErrorLocationText();

using ErrorBoxReporter =
    std::function<void(const std::string& line1, const std::string& line2, const std::string& line3)>;
// Installs the reporter behind ShowErrorBox; an empty function restores the
// default (record and print).
void SetErrorBoxReporter(ErrorBoxReporter reporter);

using ErrorLocationProvider = std::function<std::string()>;
void SetErrorLocationProvider(ErrorLocationProvider provider);

// The boxes the default reporter has shown, oldest first, and clearing them.
struct RecordedErrorBox {
  std::string line1, line2, line3;
};
const std::vector<RecordedErrorBox>& RecordedErrorBoxes();
void ClearRecordedErrorBoxes();

// Ends the program after a data error that leaves no way on (a failed
// checksum, a missing database file): ends the game library (EndLibrary),
// then leaves by the library's one exit road with code 1
// (EndProcessAfterError, which tests replace).
[[noreturn]] void EndProgramAfterDataError();
