#!/usr/bin/env bash
# Installs what is needed, builds the player and the demo game, and runs the
# player on the demo game.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/install_deps.sh
cmake -S . -B build/player -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_TESTS=OFF >/dev/null
cmake --build build/player -j "$(nproc)"
demo="build/player/demo-game"
build/player/tools/vesk-make-demo "$demo" --pack
exec build/player/game/vesk-player --game "$demo" "$@"
