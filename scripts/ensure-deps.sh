#!/usr/bin/env bash
# Installs the Debian packages kdb2mid needs to build and test, when missing.
# As root it runs apt-get itself; otherwise it prints the exact line to run.
# Usage: scripts/ensure-deps.sh [extra-package...]
set -euo pipefail

# npm only when missing: NodeSource's nodejs carries its own and conflicts with Debian's npm.
packages=(g++ cmake ninja-build pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev
          libfluidsynth-dev libsndfile1-dev libebur128-dev timgm6mb-soundfont libfreetype-dev
          libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libass-dev
          fonts-dejavu-core libcpp-httplib-dev libqrencode-dev nodejs $(command -v npm >/dev/null || echo npm)
          libicu-dev libpango1.0-dev libcairo2-dev "$@")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    echo "Installing: ${missing[*]}" >&2
    sudo apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
    echo "kdb2mid needs these packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
