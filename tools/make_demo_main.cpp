// vesk-make-demo FOLDER: writes the demo game (a small complete game folder
// built from the fixture description) into FOLDER.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/writers/fixture_game.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vesk-make-demo FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  writers::FixtureGame game = writers::SmallFixtureGame();
  if (!writers::WriteFixtureGame(game, folder)) {
    std::fprintf(stderr, "vesk-make-demo: cannot write the demo game into %s\n", folder.c_str());
    return 1;
  }
  std::printf("demo game written to %s\n", folder.c_str());
  return 0;
}
