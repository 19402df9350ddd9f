#!/usr/bin/env bash
# Installs the Debian packages that Reelgrab's build and tests need. Idempotent and quiet when
# everything is present. Usage: scripts/install-deps.sh [--fuzz]
set -euo pipefail

packages=(
    cmake
    ninja-build
    pkg-config
    g++
    libgtest-dev
    libgmock-dev
    libcurl4-openssl-dev
    python3
    nginx
    python3-pyftpdlib
    libavformat-dev
    libavcodec-dev
    libavutil-dev
    libswscale-dev
    libturbojpeg0-dev
    ffmpeg
    # The window (Qt 6) and its run-time pieces: the SVG icon engine is a plugin, and without
    # qt6-wayland a Wayland session runs the window under XWayland.
    qt6-base-dev
    qt6-svg-dev
    libqt6svg6
    qt6-wayland
    # The window's tests and screenshots: an X server, a clipboard writer, a tray host, window
    # automation and screen capture.
    xvfb
    xauth
    xclip
    trayer
    xdotool
    imagemagick
)

if [[ "${1:-}" == "--fuzz" ]]; then
    packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
        sudo="sudo"
    else
        echo "install-deps: missing packages (${missing[*]}) and not root; install them first" >&2
        exit 1
    fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The tests start their own nginx; the package must not start a system one (port 80 may be taken,
# and a failed start fails the install). policy-rc.d answers "not now" while we install.
policy=/usr/sbin/policy-rc.d
added_policy=""
if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    added_policy=1
fi
cleanup() { if [[ -n $added_policy ]]; then $sudo rm -f "$policy"; fi; }
trap cleanup EXIT
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
