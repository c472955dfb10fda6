#!/usr/bin/env bash
# Sets everything up, builds the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF
cmake --build build
exec ./build/src/app/velmo-schedule-generator "$@"
