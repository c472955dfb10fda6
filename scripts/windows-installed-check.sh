#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine on a virtual screen: installed silently into a
# fresh Wine prefix, the installed editor started from the Start menu's target shows its window with
# "Velmo Schedule Generator - C:\...\velmo.vlm" as its caption and ends cleanly when Windows asks it
# to close, leaving its settings in the user's application data folder; started with a schedule
# written on Linux, it shows that file in its caption; the uninstaller takes the program away again.
# (Open, Save and Write to Player Medium onto a folder are the window tests' part of the Wine run.)
#   scripts/windows-installed-check.sh [LINUX_TOOL]   (default: the tool of build-core/ or build-tests/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ -z "${VELMO_ON_XVFB:-}" ]; then
  source scripts/apt-packages.sh
  install_missing_packages xvfb xauth xdotool
  # A display of its own, whatever else runs on this machine.
  exec env VELMO_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    bash "$root/scripts/windows-installed-check.sh" "$@"
fi

installer=$(ls "$root"/build-windows/velmo-schedule-generator-*-setup.exe 2>/dev/null | head -n 1)
[ -f "$installer" ] || { echo "no installer: run scripts/build-windows.sh first" >&2; exit 1; }
linux_tool=${1:-}
for candidate in build-core/src/cli/velmo-schedule build-tests/src/cli/velmo-schedule; do
  [ -n "$linux_tool" ] || { [ -x "$candidate" ] && linux_tool=$root/$candidate; } || true
done
[ -n "$linux_tool" ] || { echo "no Linux velmo-schedule built (build-core/ or build-tests/)" >&2; exit 1; }
# The shared kits and vectors beside the repository (a worktree lies one folder deeper).
shared=$root/../shared
[ -d "$shared" ] || shared=$root/../../shared
vectors=$shared/vectors
patience=${VELMO_PATIENCE:-90} # seconds for any one step; every wait below polls and ends as soon as it is met

work=$(mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# The installed program finds its DLLs and plugins beside itself, as on a real machine.
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME
editor_pid=
finish() {
  [ -z "$editor_pid" ] || kill "$editor_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# The server first, so that it outlives wineboot, and Wine's background programs with nowhere to write.
mkdir -p "$WINEPREFIX"
wineserver -p 30 >/dev/null 2>&1 || true
wineboot >/dev/null 2>&1 </dev/null

# Waits until the command succeeds, polling; false after $patience seconds.
wait_for() {
  local deadline=$((SECONDS + patience))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

wine "$(winepath -w "$installer")" /S </dev/null >/dev/null 2>&1 || fail "the installer ended with status $?"
program='C:\Program Files\Velmo Schedule Generator'
program_unix=$(winepath -u "$program")
for file in velmo-schedule-generator.exe velmo-schedule.exe uninstall.exe Qt6Widgets.dll platforms/qwindows.dll \
  ffmpeg.exe avformat-59.dll licences/COPYING.LGPLv2.1; do
  [ -f "$program_unix/$file" ] || fail "the installer put no $file into $program"
done
menu_entry=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Velmo Schedule Generator.lnk')
[ -f "$menu_entry" ] || fail "no Start menu entry"
# Apps & features shows the size it takes.
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoScheduleGenerator' /v EstimatedSize \
  2>/dev/null | tr -d '\r' | grep -q 'REG_DWORD[[:space:]]*0x[0-9a-f]*[1-9a-f]' || fail "no installed size for Apps & features"
wine reg query 'HKLM\Software\Classes\VelmoScheduleGenerator.Schedule\shell\open\command' 2>/dev/null | tr -d '\r' |
  grep -qF "\"$program\\velmo-schedule-generator.exe\" \"%1\"" || fail ".vlm files are not opened by the editor"

# The editor's top-level window whose caption matches the pattern, by its X window.
caption_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep -q .; }
editor_running() { [ -n "$editor_pid" ] && kill -0 "$editor_pid" 2>/dev/null; }
editor_gone() { ! editor_running; }
caption_or_ended() { caption_window "$1" || editor_gone; }

# Starts the installed editor (with the given arguments), waits for its caption, asks it to close as
# Windows does (taskkill without /f sends WM_CLOSE) and waits for its clean end.
run_editor() {
  local pattern=$1 shown=$2
  shift 2
  (cd "$work" && exec wine "$program\\velmo-schedule-generator.exe" "$@" </dev/null >"$work/editor.log" 2>&1) &
  editor_pid=$!
  if ! wait_for caption_or_ended "$pattern" || ! caption_window "$pattern"; then
    editor_running || echo "the editor ended; it said:" >&2
    sed -n 1,20p "$work/editor.log" >&2
    echo "captions shown:" >&2
    xdotool search --name . getwindowname %@ 2>/dev/null | sort -u >&2 || true
    fail "no window captioned $shown"
  fi
  echo "The installed editor shows \"$(xdotool search --onlyvisible --name "$pattern" getwindowname | head -n 1)\""
  wine taskkill /im velmo-schedule-generator.exe >/dev/null 2>&1 || true
  wait_for editor_gone || fail "the editor did not end when asked to close"
  local status=0
  wait "$editor_pid" || status=$?
  editor_pid=
  [ "$status" -eq 0 ] || fail "the editor ended with status $status"
}

# First start: a new schedule in the user's application data folder, where its settings go too.
run_editor '^Velmo Schedule Generator - C:\\users\\[^\\]+\\AppData\\Roaming\\velmo-schedule-generator\\velmo\.vlm$' \
  'Velmo Schedule Generator - C:\users\...\velmo.vlm'
settings=$(ls "$(winepath -u 'C:\users')"/*/AppData/Roaming/velmo-schedule-generator/SystemInfo.txt 2>/dev/null | head -n 1)
[ -n "$settings" ] || fail "no SystemInfo.txt written in the application data folder on close "
grep -q '^"velmo.vlm"' "$settings" || fail "SystemInfo.txt does not name velmo.vlm: $(cat "$settings")"

# Started with a schedule written on Linux (as a double click on it does): its caption names it, and
# the next start remembers it.
schedules=$(winepath -u 'C:\users\Public\Documents')
mkdir -p "$schedules"
"$linux_tool" build "$vectors/one-basic-r100.json" "$schedules/shop.vlm" --seed 7 >/dev/null
run_editor '^Velmo Schedule Generator - C:\\users\\Public\\Documents\\shop\.vlm$' \
  'Velmo Schedule Generator - C:\users\Public\Documents\shop.vlm' 'C:\users\Public\Documents\shop.vlm'
grep -q '^"shop.vlm"' "$settings" || fail "SystemInfo.txt does not remember shop.vlm: $(cat "$settings")"

# The uninstaller (which runs a copy of itself and returns at once) takes the program away; silently
# it keeps the settings, and every schedule whatever is asked.
default_schedule=$(dirname "$settings")/velmo.vlm
"$linux_tool" build "$vectors/one-basic-r100.json" "$default_schedule" --seed 7 >/dev/null
wine "$program\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller ended with status $?"
program_gone() { [ ! -e "$program_unix/velmo-schedule-generator.exe" ] && [ ! -e "$menu_entry" ]; }
wait_for program_gone || fail "the uninstaller left the program or its Start menu entry behind"
for kept in "$schedules/shop.vlm" "$default_schedule" "$settings"; do
  [ -f "$kept" ] || fail "the uninstaller removed $kept"
done
echo "Windows installer: installs, the editor starts and ends cleanly, uninstalls keeping schedules and settings"
