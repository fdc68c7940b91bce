#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the manual need, where missing; or,
# given package names, those.
#
#   scripts/install-deps.sh              the packages of the Linux build
#   scripts/install-deps.sh PACKAGE...   these packages (the Windows build names its own)
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-svg-dev qt6-translations-l10n fonts-dejavu-core fonts-symbola
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libdmtx-dev libasio-dev
    clang-14 libclang-rt-14-dev clang-format
    ruby-asciidoctor-pdf
    xvfb xauth
)
if (($#)); then
    packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
