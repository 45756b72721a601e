// vesk-make-demo FOLDER [--pack]: writes the demo game (a small complete game
// folder built from the fixture description) into FOLDER. With --pack the
// Data folder is packed into Data.vesk with the game's archive key and the
// plain folder removed.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/writers/archive_writer.h"
#include "tools/writers/fixture_game.h"

int main(int argc, char** argv) {
  const bool pack = argc == 3 && std::strcmp(argv[2], "--pack") == 0;
  if (argc != 2 && !pack) {
    std::fprintf(stderr, "usage: vesk-make-demo FOLDER [--pack]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  writers::FixtureGame game = writers::SmallFixtureGame();
  game.game_dat.key_text = "demo key";
  game.game_ini = {{"Start", "0"}, {"SoftModeFlag", "0"}, {"WindowModeFlag", "1"}, {"SEandBGM", "3"}};
  if (!writers::WriteFixtureGame(game, folder.string())) {
    std::fprintf(stderr, "vesk-make-demo: cannot write the demo game into %s\n", folder.c_str());
    return 1;
  }
  if (pack) {
    writers::ArchiveWriteOptions options;
    options.key_text = game.game_dat.key_text;
    options.compress = true;
    std::string message;
    if (!writers::WriteArchiveFromFolder((folder / "Data").string(), (folder / "Data.vesk").string(), options,
                                         &message)) {
      std::fprintf(stderr, "vesk-make-demo: cannot pack %s/Data: %s\n", folder.c_str(), message.c_str());
      return 1;
    }
    std::filesystem::remove_all(folder / "Data", error);
  }
  std::printf("demo game written to %s\n", folder.c_str());
  return 0;
}
