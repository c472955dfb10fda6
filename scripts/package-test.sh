#!/usr/bin/env bash
# Builds the Debian package, installs it with dpkg, starts the installed editor (offscreen) and
# checks that it keeps its settings and default schedule in the user's data directory, never
# beside itself in /usr/bin, even as root, and that a second start finds the settings again.
# Removes the package at the end, whatever happened. Needs root (or sudo) for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."

package=velmo-schedule-generator
program=/usr/bin/velmo-schedule-generator
build_dir=build-package

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
  echo "package-test: $package is installed already; this test installs and removes it, so remove it first" >&2
  exit 1
fi

bash scripts/setup.sh
# The prefix is the one the editor compares its own directory with at run time. Warnings as
# errors here too: the Release build is the one the optimiser's warnings show in.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMO_BUILD_TESTS=OFF \
  -DVELMO_WERROR=ON -DVELMO_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build_dir"
rm -f "$build_dir"/*.deb
(cd "$build_dir" && cpack -G DEB)
deb=$(ls "$build_dir"/"$package"_*.deb)
echo "package-test: built $deb"

work=$(mktemp -d)
chmod 711 "$work" # an ordinary user runs the editor from inside it
installed=0
cleanup() {
  if [ "$installed" -eq 1 ]; then
    $sudo dpkg -r "$package" >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() { # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then
    echo "ok: $description"
  else
    echo "FAIL: $description"
    failures=$((failures + 1))
  fi
}

# --- the package itself
depends=$(dpkg-deb -f "$deb" Depends)
echo "package-test: Depends: $depends"
check "Depends filled in from the binaries' libraries" grep -q 'libqt6widgets6' <<<"$depends"
check "Depends brings a fixed-pitch font" grep -q 'fonts-dejavu-core' <<<"$depends"
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in ./usr/bin/velmo-schedule-generator ./usr/bin/velmo-schedule \
  ./usr/share/applications/com.example.VelmoScheduleGenerator.desktop \
  ./usr/share/icons/hicolor/scalable/apps/com.example.VelmoScheduleGenerator.svg \
  ./usr/share/metainfo/com.example.VelmoScheduleGenerator.metainfo.xml \
  ./usr/share/mime/packages/com.example.VelmoScheduleGenerator.xml \
  ./usr/share/icons/hicolor/scalable/mimetypes/application-x-velmo-schedule.svg; do
  check "package holds $file" grep -qxF "$file" <<<"$contents"
done

ls -A /usr/bin >"$work/bin-before-install"
$sudo dpkg -i "$deb"
installed=1
ls -A /usr/bin >"$work/bin-installed"
check "$program installed" test -x "$program"
check "the schedule file type is in the mime database" test -f /usr/share/mime/application/x-velmo-schedule.xml
check "the installed command-line tool reads a schedule" \
  bash -c "/usr/bin/velmo-schedule dump tests/data/one-basic-r100.vlm | grep -q SONG.MP3"

# --- running the installed editor
# run USER HOME: starts the installed editor once in a session of its own and lets it close itself.
run() {
  local user=$1 home=$2
  local runtime=$home/runtime
  mkdir -p "$runtime"
  chmod 700 "$runtime"
  [ "$user" = "$(id -un)" ] || $sudo chown -R "$user" "$home"
  local as=()
  [ "$user" = "$(id -un)" ] || as=($sudo runuser -u "$user" --)
  if ! "${as[@]}" env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" \
    QT_QPA_PLATFORM=offscreen VELMO_QUIT_AFTER_START_MS=1500 \
    timeout 60 "$program" >"$home/run.log" 2>&1; then
    echo "package-test: the editor failed:"
    cat "$home/run.log"
    return 1
  fi
}

# The value of line N of a settings file, without its quotes and line end.
setting() { sed -n "${2}p" "$1" | tr -d '\r"'; }

root_home=$work/root-home
data=$root_home/.local/share/velmo-schedule-generator
settings=$data/SystemInfo.txt

check "first start as $(id -un) runs" run "$(id -un)" "$root_home"
check "settings written in the user's data directory" test -f "$settings"
check "nothing written beside the program" test ! -e /usr/bin/SystemInfo.txt
ls -A /usr/bin >"$work/bin-after-run"
check "/usr/bin unchanged by the run" cmp -s "$work/bin-installed" "$work/bin-after-run"
if [ -f "$settings" ]; then
  check "default schedule directory is the data directory" test "$(setting "$settings" 3)" = "$data/"
  check "default schedule name" test "$(setting "$settings" 4)" = "velmo.vlm"
  # The dialogs start where the user keeps files (Documents, here none: the home), never in the
  # hidden data directory.
  check "default open directory is the user's home" test "$(setting "$settings" 1)" = "$root_home/"
  check "default media directory is the user's home" test "$(setting "$settings" 5)" = "$root_home/"

  # Point the settings at a real schedule and another media directory; the second start must
  # open that schedule (the Open dialog then starts in its directory) and keep the media directory.
  mkdir -p "$root_home/schedules" "$root_home/media"
  cp tests/data/mixed-reserved.vlm "$root_home/schedules/shop.vlm"
  printf '"%s"\r\n"%s"\r\n"%s"\r\n"%s"\r\n"%s"\r\n"%s","%s"\r\n' \
    "$data/" "$data/" "$root_home/schedules/" "shop.vlm" "$root_home/media/" "/" "$data/" >"$settings"
  check "second start runs" run "$(id -un)" "$root_home"
  check "second start keeps the current schedule" test "$(setting "$settings" 4)" = "shop.vlm"
  check "second start keeps its directory" test "$(setting "$settings" 3)" = "$root_home/schedules/"
  check "second start opened it (Open starts there)" test "$(setting "$settings" 1)" = "$root_home/schedules/"
  check "second start keeps the media directory" test "$(setting "$settings" 5)" = "$root_home/media/"
  check "the schedule file is untouched" cmp -s tests/data/mixed-reserved.vlm "$root_home/schedules/shop.vlm"
fi

# An ordinary user writes into their own data directory too.
if [ "$(id -u)" -eq 0 ] || [ -n "$sudo" ]; then
  user_home=$work/user-home
  mkdir -p "$user_home"
  check "start as user nobody runs" run nobody "$user_home"
  check "nobody's settings in nobody's data directory" \
    test -f "$user_home/.local/share/velmo-schedule-generator/SystemInfo.txt"
  check "nothing written beside the program" test ! -e /usr/bin/SystemInfo.txt
fi

# --- removal leaves the machine as it was
$sudo dpkg -r "$package"
installed=0
ls -A /usr/bin >"$work/bin-after-remove"
check "dpkg -r removes the program" test ! -e "$program"
check "/usr/bin as before the install" cmp -s "$work/bin-before-install" "$work/bin-after-remove"
check "package no longer installed" \
  bash -c "! dpkg-query -W -f='\${Status}' $package 2>/dev/null | grep -q 'install ok installed'"

if [ "$failures" -ne 0 ]; then
  echo "package-test: $failures check(s) failed"
  exit 1
fi
echo "package-test: all checks passed"
