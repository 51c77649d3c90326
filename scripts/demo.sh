#!/usr/bin/env bash
# The main job: builds the command-line tool and the window, starts the simulated target, collects
# a few seconds from it, saves the session, exports the text table, prints the table and draws the
# main window, the CPU usage graph and the task graph of the collection as pictures. Everything it
# writes lands in out/demo (or the folder given as the first argument). ZUTA_DEMO_SECONDS sets the
# collection time (default 3), ZUTA_JOBS the parallel compile jobs (default 2), ZUTA_DEMO_BUILD an
# existing build tree to use instead of configuring one (CI passes the tree its tests just built).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$repo/out/demo}
build=${ZUTA_DEMO_BUILD:-$repo/build/demo}

bash "$repo/scripts/install-deps.sh"
if [[ -z ${ZUTA_DEMO_BUILD:-} ]]; then
    # A fresh clone has no build folder yet; the configure log goes beside the build tree.
    mkdir -p "$(dirname "$build")"
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUTA_TESTS=OFF -DZUTA_GUI=ON \
        >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
fi
cmake --build "$build" --parallel "${ZUTA_JOBS:-2}" --target zuta zuta-agent zuta-host ZUTA

mkdir -p "$out"
"$build/tools/zuta/zuta" demo --out-dir "$out" --seconds "${ZUTA_DEMO_SECONDS:-3}" --clock 200
QT_QPA_PLATFORM=offscreen "$build/tools/zuta/zuta" screenshot main -o "$out/main-window.png" \
    "$out/demo.zuta" 2>/dev/null
echo "Wrote $out/main-window.png"
# Session 0 holds only what ran before the first frame interrupt; session 1 is a whole frame.
"$build/tools/zuta/zuta" render cpu-graph "$out/demo.zuta" --session 1 -o "$out/cpu-graph.png" \
    2>/dev/null
"$build/tools/zuta/zuta" render task-graph "$out/demo.zuta" -o "$out/task-graph.png" 2>/dev/null
echo "Wrote $out/cpu-graph.png and $out/task-graph.png"
echo
echo "Replaying the capture that ships in examples/:"
"$build/tools/zuta/zuta" replay -q "$repo/examples/modem-full.zcap" --settings "$out/settings.ini"
