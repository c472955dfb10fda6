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
# The shared kits and vectors beside the repository (a worktree lies one folder deeper).
shared=$root/../shared
[ -d "$shared" ] || shared=$root/../../shared
vectors=$shared/vectors

linux_tool=${1:-}
for candidate in build-core/src/cli/velmo-schedule build-tests/src/cli/velmo-schedule; do
  [ -n "$linux_tool" ] || { [ -x "$candidate" ] && linux_tool=$root/$candidate; } || true
done
[ -n "$linux_tool" ] || { echo "no Linux velmo-schedule built (build-core/ or build-tests/)" >&2; exit 1; }

source scripts/apt-packages.sh
# Debian's ffmpeg and libjpeg make the real media; jq reads the tools' reports.
install_missing_packages ffmpeg jq libjpeg62-turbo-dev g++

export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# The test programs run from the build tree: the Qt and MinGW DLLs and the Qt plugins from where they lie.
export WINEPATH="$build/qt6-mingw64/bin;$build/ffmpeg-mingw64/bin;/usr/lib/gcc/x86_64-w64-mingw32/12-posix;/usr/x86_64-w64-mingw32/lib"
# Test programs lie in the build tree, not beside ffmpeg.exe: they are told where it is.
ffmpeg_exe=$build/ffmpeg-mingw64/bin/ffmpeg.exe
export VELMO_FFMPEG="Z:${ffmpeg_exe//\//\\}"
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

windows_tool=$build/src/cli/velmo-schedule.exe
work=$(mktemp -d)
links=()
# Wine's background programs keep the server alive past its 60 seconds: it is ended with the run.
trap 'rm -f "${links[@]}"; rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
failed=0 programs_failed=0
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
# empty_drive FOLDER: a free drive letter, in $letter (as "P:"), made to stand for the new empty FOLDER.
empty_drive() {
  local candidate
  mkdir -p "$1"
  for candidate in p q r s t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$candidate:" ]; then
      ln -s "$1" "$WINEPREFIX/dosdevices/$candidate:"
      links+=("$WINEPREFIX/dosdevices/$candidate:")
      letter=${candidate^^}:
      return
    fi
  done
  echo "no free drive letter in $WINEPREFIX" >&2
  return 1
}

# Real media, made here with Debian's ffmpeg from the list the tests share (the window tests open
# them too: ffmpeg.exe draws no test pattern), and a progressive JPEG made with libjpeg.
media=$work/media
mkdir -p "$media"
files=()
while read -r name arguments; do
  case $name in '' | '#'*) continue ;; esac
  # shellcheck disable=SC2086 # the arguments are words
  ffmpeg -nostdin -v error -y $arguments "$media/$name" </dev/null
  files+=("$name")
done <"$root/tests/data/made-media.txt"
g++ -O1 -I "$root/tests/media" -o "$work/make_test_jpeg" "$root/tests/windows/make_test_jpeg.cpp" -ljpeg
"$work/make_test_jpeg" "$media/PROGRESS.JPG" 640 480
files+=(PROGRESS.JPG)

# Every test program; the window tests open those media and write onto a drive for a new stick.
# The Linux desktop files have no place in this run.
empty_drive "$work/window-stick"
results=$work/results
mkdir -p "$results"
# A failed test program fails the run, but the comparisons below still run: they are the slow half.
(cd "$build" && VELMO_TEST_MEDIA=$(windows_path "$media") VELMO_EMPTY_DRIVE=$letter \
  GTEST_OUTPUT="xml:$(windows_path "$results")\\" ctest --output-on-failure --timeout 300 -E "desktop_files_validate") ||
  { echo "FAIL: test programs under Wine (above)" >&2; programs_failed=1; }
# A window test that skips under Wine tests nothing there: none may.
skipped=$(sed -n 's/.*<testcase name="\([^"]*\)".*result="skipped".*classname="\([^"]*\)".*/\2.\1/p' \
  "$results"/velmo_ui_*.xml)
if [ -n "$skipped" ]; then
  echo "FAIL: window tests skipped under Wine:" $skipped >&2
  failed=1
fi

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

# The Windows tool (FFmpeg's libraries in process, its ffmpeg.exe beside it) must say of each medium
# what the Linux tool says, make player copies the Linux tool says play, and write a schedule with its
# media onto a drive letter that stands for an empty folder.
# The tool's report on one file, without the path (spelled per system).
report() { jq -S '.[0] | del(.path, .file)'; }
for file in "${files[@]}"; do
  "$linux_tool" media --json "$media/$file" | report >"$work/linux.json" || true
  wine "$windows_tool" media --json "$(windows_path "$media/$file")" | tr -d '\r' | report >"$work/windows.json" || true
  if [ ! -s "$work/linux.json" ] || ! cmp -s "$work/linux.json" "$work/windows.json"; then
    echo "FAIL: media $file: the Windows tool says otherwise than the Linux tool" >&2
    diff "$work/linux.json" "$work/windows.json" >&2 || true
    failed=1
  fi
done
# Player copies made on Windows, every one of which the Linux tool says plays.
copies=$work/copies
mkdir -p "$copies"
sources=()
for file in "${files[@]}"; do sources+=("$(windows_path "$media/$file")"); done
wine "$windows_tool" convert "${sources[@]}" --to "$(windows_path "$copies")" |
  tr -d '\r' >"$work/convert.txt" || { echo "FAIL: convert on Windows:" >&2; cat "$work/convert.txt" >&2; failed=1; }
made=("$copies"/*)
if [ "${#made[@]}" -ne "${#files[@]}" ] || ! "$linux_tool" media "${made[@]}" >"$work/copies.txt"; then
  echo "FAIL: the player copies made on Windows do not all play:" >&2
  cat "$work/convert.txt" "$work/copies.txt" >&2
  failed=1
fi
# A new stick: a drive letter for an empty folder, written with the schedule and every file it names.
stick=$work/stick
empty_drive "$stick"
jq -n '{basic: [("DVD.MPG","XVID.AVI","SONG.MP3","PHOTO.JPG") | split(".") |
        {fileName: .[0], fileExt: .[1], playTimes: 1, volume: 10, reserved: [0,0,0,0,0,0]}], advance: []}' \
  >"$work/stick.json"
"$linux_tool" build "$work/stick.json" "$media/velmo.vlm" --seed 7 >/dev/null
if ! wine "$windows_tool" publish "$(windows_path "$media/velmo.vlm")" --to "$letter\\" \
    >"$work/publish.txt" 2>&1; then
  echo "FAIL: publish onto the empty drive $letter on Windows:" >&2
  cat "$work/publish.txt" >&2
  failed=1
fi
for file in DVD.MPG XVID.AVI SONG.MP3 PHOTO.JPG; do
  cmp -s "$media/$file" "$stick/$file" || { echo "FAIL: publish left $file off the empty drive" >&2; failed=1; }
done
# The schedule is written anew (its random bytes are its own): the same schedule, read on Linux.
if [ ! -f "$stick/velmo.vlm" ] ||
  ! diff <("$linux_tool" dump --json "$media/velmo.vlm") <("$linux_tool" dump --json "$stick/velmo.vlm") >&2; then
  echo "FAIL: publish wrote no velmo.vlm onto the empty drive that reads back as the schedule" >&2
  failed=1
fi
[ "$failed" -eq 0 ] && echo "Windows tool: real media examined as on Linux, player copies that play, a new stick written"
exit $((failed || programs_failed))
