#!/usr/bin/env bash
# Installs the Debian packages ZUTA is built, tested, benchmarked and fuzzed with. Safe to run again:
# when everything is present it changes nothing and does not touch the network. llvm-14 brings
# llvm-symbolizer, which makes sanitizer and fuzzer reports readable.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    clang libclang-rt-14-dev llvm-14 clang-format
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev qt6-base-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages are installed"
    exit 0
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
