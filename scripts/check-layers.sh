#!/usr/bin/env bash
# Fails when a C++ source includes a header of a layer it may not depend on, or Qt outside the
# windowed code, and lists every such include as FILE:LINE.
#
# Headers are included as "layer/File.h": src/<layer>, app/link as "link/", agent as "agent/",
# the shared test helpers as "support/". An include without a folder must be a file beside the
# includer (tests/Performance may also name app/host's headers). Layers, lowest first:
#   host < settings, namemaps < engine < files < collection < Performance
# graphs sits beside files and collection on engine. The module (src/Performance) may use all of
# src; the link transport, the simulated target and the command line sit beside it on the plain
# layers. Qt belongs to src/Performance, app/host, their tests and benchmarks of the module.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

plain="host settings namemaps engine files collection graphs"

# The include roots each folder may use, and whether it may include Qt.
rules_for() {
    local folder=$1
    qt=0
    case $folder in
    src/host) roots="host" ;;
    src/settings) roots="host settings" ;;
    src/namemaps) roots="host namemaps" ;;
    src/engine) roots="host settings namemaps engine" ;;
    src/files) roots="host settings namemaps engine files" ;;
    src/collection) roots="host settings namemaps engine files collection" ;;
    src/graphs) roots="host settings namemaps engine graphs" ;;
    src/Performance) roots="$plain Performance" qt=1 ;;
    app/link) roots="host engine link" ;;
    # The host loads the module at run time: of it, only the export table is compiled in.
    app/host) roots="host settings link agent Performance/PerformanceExports.h" qt=1 ;;
    agent) roots="host engine link agent" ;;
    tools/zuta) roots="$plain link agent" ;;
    # A layer's tests use what the layer may, the shared helpers, and the simulated target with
    # its link for end-to-end runs.
    tests/support) roots="$plain" ;;
    tests/Performance) roots="$plain Performance link agent support" qt=1 ;;
    tests/agent) rules_for agent && roots+=" support" ;;
    tests/tools) rules_for tools/zuta && roots+=" support" ;;
    tests/*)
        rules_for "src/${folder#tests/}" || return 1
        roots+=" link agent support"
        ;;
    bench) roots="$plain Performance link agent" qt=module ;;
    fuzz) roots="$plain link agent" ;;
    *) return 1 ;;
    esac
}

# The folder whose rules apply to FILE: src/<layer>, tests/<layer>, app/<part>, tools/<tool>, or
# the top folder (agent, bench, fuzz).
folder_of() {
    local file=$1
    case $file in
    src/*/* | tests/*/* | app/*/* | tools/*/*) echo "${file%%/*}/$(cut -d/ -f2 <<<"$file")" ;;
    *) echo "${file%%/*}" ;;
    esac
}

allowed() {
    local path=$1 root=${1%%/*} entry
    for entry in $roots; do
        if [[ $entry == "$root" || $entry == "$path" ]]; then
            return 0
        fi
    done
    return 1
}

known_root() {
    case $1 in
    host | settings | namemaps | engine | files | collection | graphs | Performance | link | agent | support) return 0 ;;
    esac
    return 1
}

violations=()
checked=0
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)[>"]'
qt_re='^Qt?[A-Z][A-Za-z0-9]*(/|\.h$|$)'

while IFS= read -r -d '' file; do
    folder=$(folder_of "$file")
    if ! rules_for "$folder"; then
        violations+=("$file: no layer rule for the folder $folder (scripts/check-layers.sh)")
        continue
    fi
    checked=$((checked + 1))
    # Benchmarks of the module (and BenchWindow.h, their shared application and host) may drive
    # its widgets; other benchmarks stay plain.
    if [[ $qt == module ]]; then
        if [[ $file == bench/BenchWindow.h ]] ||
            grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(Performance/|BenchWindow\.h")' "$file"; then
            qt=1
        else
            qt=0
        fi
    fi
    number=0
    while IFS= read -r line; do
        number=$((number + 1))
        [[ $line =~ $include_re ]] || continue
        quote=${BASH_REMATCH[1]} path=${BASH_REMATCH[2]}
        root=${path%%/*}
        if [[ $quote == '<' ]]; then
            where="$file:$number: #include <$path>"
        else
            where="$file:$number: #include \"$path\""
        fi
        if [[ $path =~ $qt_re ]]; then
            if [[ $qt != 1 ]]; then
                violations+=("$where: Qt is not used in $folder")
            fi
        elif [[ $path == */* ]] && known_root "$root"; then
            if ! allowed "$path"; then
                violations+=("$where: $folder may include only: $roots")
            fi
        elif [[ $quote == '"' && $path != */* ]]; then
            if [[ ! -e $(dirname "$file")/$path &&
                ! ($folder == tests/Performance && -e app/host/$path) ]]; then
                violations+=("$where: not a file of $(dirname "$file")")
            fi
        elif [[ $quote == '"' ]]; then
            violations+=("$where: unknown include root $root")
        fi
    done <"$file"
done < <(find src app agent tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) \
    -print0 | sort -z)

if ((${#violations[@]} > 0)); then
    echo "check-layers: ${#violations[@]} includes break the layering:"
    printf '  %s\n' "${violations[@]}"
    exit 1
fi
echo "check-layers: the includes of all $checked files keep to the layers"
