#!/usr/bin/env bash
# Fails when a committed C++ file differs from what clang-format makes of it (the committed
# .clang-format); `clang-format -i FILE` mends one. The screen text rows keep their own layout
# through `// clang-format off`.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' '*.inc' | xargs -0 clang-format --dry-run --Werror
