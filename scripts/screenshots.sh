#!/usr/bin/env bash
# Renders the README's pictures (docs/images/*.png) from the program itself: builds the screenshot
# program and runs it on the offscreen platform. Run it again whenever a window changes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build-docs -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF
cmake --build build-docs --target velmo-screenshots

# A fixed place for the example schedule and medium, since its path shows in the pictures.
work=/tmp/velmo-tour
trap 'rm -rf "$work"' EXIT
mkdir -p docs/images
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 LC_ALL=C.UTF-8 \
  ./build-docs/tools/screenshots/velmo-screenshots docs/images --work "$work"
