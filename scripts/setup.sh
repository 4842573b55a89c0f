#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, then builds the
# plug-in (and its tests) into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake pkg-config
    juce-modules-source
    libgtest-dev libbenchmark-dev
    fontconfig-config fonts-dejavu-core
    xvfb xauth
    ardour
    clang-14 libclang-rt-14-dev
)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)"
