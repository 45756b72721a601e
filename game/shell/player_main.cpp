// vesk-player: runs the game in the current folder (or the folder named by
// --game DIR).
#include "platform/process.h"

int main(int argc, char** argv) {
  if (!platform::SetLaunchArguments(argc, argv)) return 2;
  return 0;
}
