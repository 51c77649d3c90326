#!/usr/bin/env bash
# Installs the Debian packages ZUTA is built, tested, benchmarked and fuzzed with, and generates the
# decimal-comma locale the settings tests switch to. Safe to run again: when everything is present
# it changes nothing and does not touch the network. llvm-14 brings llvm-symbolizer, which makes
# sanitizer and fuzzer reports readable. fonts-liberation gives the graphs a face with Arial's
# widths, so texts fit the dialogs as they were laid out.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    clang libclang-rt-14-dev llvm-14 clang-format
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev qt6-base-dev
    locales fonts-liberation
)

# The locale with a decimal comma that proves numbers are written the same whatever the process
# locale is; `locale -a` lists it as de_DE.utf8.
locale_name=de_DE.UTF-8
locale_listed=de_DE.utf8

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    as_root=(sudo)
fi

ensure_locale() {
    if locale -a 2>/dev/null | grep -qx "$locale_listed"; then
        return
    fi
    echo "install-deps: generating the locale $locale_name"
    # Enabled in /etc/locale.gen, so a later locale-gen (a package upgrade runs one) keeps it.
    if ! grep -qx "$locale_name UTF-8" /etc/locale.gen 2>/dev/null; then
        echo "$locale_name UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${as_root[@]}" locale-gen
    if ! locale -a 2>/dev/null | grep -qx "$locale_listed"; then
        echo "install-deps: the locale $locale_name is still missing" >&2
        exit 1
    fi
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages are installed"
else
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
ensure_locale
