#!/usr/bin/env bash
# The one test command: installs what is missing, builds, and runs every
# test (the PostgreSQL tests against a throw-away cluster that CTest starts
# and stops). Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -j "${JOBS:-2}" "$@"
