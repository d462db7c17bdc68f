#!/usr/bin/env bash
# Configures and builds Veldrane into ./build (Ninja, two jobs).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j "${JOBS:-2}"
