#!/usr/bin/env bash
# The main job: builds the command-line tool, starts the simulated target, collects a few seconds
# from it, saves the session, exports the text table and prints the table. Everything it writes
# lands in out/demo (or the folder given as the first argument).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$repo/out/demo}
build=$repo/build/demo

bash "$repo/scripts/install-deps.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUTA_TESTS=OFF -DZUTA_GUI=OFF \
    >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --parallel "${ZUTA_JOBS:-2}" --target zuta zuta-agent

mkdir -p "$out"
"$build/tools/zuta/zuta" demo --out-dir "$out" --seconds "${ZUTA_DEMO_SECONDS:-3}" --clock 200
echo
echo "Replaying the capture that ships in examples/:"
"$build/tools/zuta/zuta" replay -q "$repo/examples/modem-full.zcap" --settings "$out/settings.ini"
