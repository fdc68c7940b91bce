#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the manual need, where missing; or,
# given package names, those.
#
#   scripts/install-deps.sh              the packages of the Linux build
#   scripts/install-deps.sh PACKAGE...   these packages (the Windows build names its own)
source "$(dirname "$0")/common.sh"

packages=(
    build-essential cmake ninja-build pkg-config git python3
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
    # The package lists come over the network: a transient failure gets two more tries.
    for attempt in 1 2 3; do
        apt-get update -qq && break
        ((attempt < 3)) || fail "apt-get update failed three times (network or package sources; output above)"
        echo "apt-get update failed (attempt $attempt of 3); again in 10 s" >&2
        sleep 10
    done
    apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        fail "apt-get could not install: ${missing[*]} (output above)"
fi
