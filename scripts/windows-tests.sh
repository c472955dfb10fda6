#!/usr/bin/env bash
# The Windows build's tests under Wine: every test program of build-windows/ (the Qt-free ones and
# the window tests, offscreen), then the Windows tool against the Linux tool on the reference
# vectors: the same dump (line ends aside), and the same schedule bytes written from the same JSON
# and seed, so a schedule written on Windows reads back on Linux byte for byte.
#   scripts/windows-tests.sh [LINUX_TOOL]   (default: the tool of build-core/ or build-tests/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
vectors=$root/../shared/vectors

linux_tool=${1:-}
for candidate in build-core/src/cli/velmo-schedule build-tests/src/cli/velmo-schedule; do
  [ -n "$linux_tool" ] || { [ -x "$candidate" ] && linux_tool=$root/$candidate; } || true
done
[ -n "$linux_tool" ] || { echo "no Linux velmo-schedule built (build-core/ or build-tests/)" >&2; exit 1; }

export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# The test programs run from the build tree: the Qt and MinGW DLLs and the Qt plugins from where they lie.
export WINEPATH="$build/qt6-mingw64/bin;/usr/lib/gcc/x86_64-w64-mingw32/12-posix;/usr/x86_64-w64-mingw32/lib"
export QT_PLUGIN_PATH="Z:$build/qt6-mingw64/plugins" QT_QPA_PLATFORM=offscreen
# The tests draw offscreen: no X display, so no Wine desktop process started halfway through.
unset DISPLAY
# One server for all the runs below (or the one already running), and Wine's own background programs
# (services.exe, rpcss.exe, ...) started now with nowhere to write. Left to the first test program to
# start, they inherit its output pipe and outlive it, and ctest waits for that pipe to close until the
# test's timeout, long after it passed. The server comes first, so that it outlives wineboot; wineboot
# makes the prefix when there is none.
mkdir -p "$WINEPREFIX"
wineserver -p 60 >/dev/null 2>&1 || true
wineboot >/dev/null 2>&1 </dev/null

# The Linux desktop files have no place in this run.
(cd "$build" && ctest --output-on-failure --timeout 300 -E "desktop_files_validate")

windows_tool=$build/src/cli/velmo-schedule.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for vector in "$vectors"/*.vlm; do
  name=$(basename "$vector" .vlm)
  for mode in "" --json; do
    "$linux_tool" dump $mode "$vector" >"$work/linux.txt"
    wine "$windows_tool" dump $mode "$(winepath -w "$vector")" | tr -d '\r' >"$work/windows.txt"
    if ! cmp -s "$work/linux.txt" "$work/windows.txt"; then
      echo "FAIL: dump $mode $name differs between Linux and Windows" >&2
      diff "$work/linux.txt" "$work/windows.txt" | head -20 >&2 || true
      failed=1
    fi
  done
  # Written on Windows, read on Linux: the same bytes as the Linux tool writes, and the same rows. A
  # schedule the editor would refuse to save is refused by both alike.
  windows_status=0
  linux_status=0
  wine "$windows_tool" build "$(winepath -w "$vectors/$name.json")" "$(winepath -w "$work/$name-windows.vlm")" \
    --seed 7 >/dev/null 2>&1 || windows_status=$?
  "$linux_tool" build "$vectors/$name.json" "$work/$name-linux.vlm" --seed 7 >/dev/null 2>&1 || linux_status=$?
  if [ "$windows_status" -ne "$linux_status" ]; then
    echo "FAIL: build $name: Windows exit status $windows_status, Linux $linux_status" >&2
    failed=1
  elif [ "$linux_status" -eq 0 ] && { ! cmp "$work/$name-windows.vlm" "$work/$name-linux.vlm" ||
    ! diff <("$linux_tool" dump --json "$work/$name-windows.vlm") <("$linux_tool" dump --json "$vector"); }; then
    echo "FAIL: $name written on Windows does not read back on Linux as written" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "Windows tool: dump and build of every vector as on Linux"
exit "$failed"
