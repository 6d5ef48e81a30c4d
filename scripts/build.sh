#!/usr/bin/env bash
# Configures, builds and installs Parlix into $PARLIX_HOME (default ~/Parlix).
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$ROOT_DIR"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${PARLIX_CMAKE_ARGS:-}
cmake --build build -j "$JOBS"
cmake --install build --prefix "$PARLIX_HOME"
