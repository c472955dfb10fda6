#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the desktop integration there: the launcher
# and AppStream file pass their validators, and what they name (binary, icon, launcher) is installed.
# Usage: validate-desktop-files.sh BUILD_DIR APP_ID EXECUTABLE...
# Exits 77 (skipped) only when a validator is not installed.
set -euo pipefail

build_dir=$1
app_id=$2
shift 2
executables=("$@")

for tool in desktop-file-validate appstreamcli update-mime-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
icon=$prefix/share/icons/hicolor/scalable/apps/$app_id.svg
mime=$prefix/share/mime/packages/$app_id.xml
mime_icon=$prefix/share/icons/hicolor/scalable/mimetypes/application-x-velmo-schedule.svg

for file in "$desktop" "$metainfo" "$icon" "$mime" "$mime_icon"; do
  [ -f "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
for executable in "${executables[@]}"; do
  [ -x "$prefix/bin/$executable" ] || fail "not installed as an executable: bin/$executable"
done
[ "$failed" -eq 0 ] || exit 1

echo "desktop-file-validate $app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
echo "appstreamcli validate --no-net $app_id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# What the launcher starts and shows must be what was installed.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line names no installed program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "Icon= is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the AppStream file does not launch $app_id.desktop"
grep -q '<svg[^>]*viewBox="0 0 \([0-9]*\) \1"' "$icon" || fail "the icon is not square"

# A double-clicked schedule file opens in the editor: the launcher takes a file and names the type
# the package defines, and the mime database accepts the definition.
case "$exec_line" in *" %f") ;; *) fail "Exec=$exec_line takes no file (%f)" ;; esac
grep -qx 'MimeType=application/x-velmo-schedule;' "$desktop" || fail "the launcher names no schedule type"
echo "update-mime-database $prefix/share/mime"
update-mime-database "$prefix/share/mime" || fail "update-mime-database"
built=$prefix/share/mime/application/x-velmo-schedule.xml
[ -f "$built" ] || fail "the mime database holds no application/x-velmo-schedule"
grep -q '<glob pattern="\*.vlm"/>' "$built" || fail "the schedule type has no *.vlm glob"
grep -q 'VELMO' "$prefix/share/mime/magic" || fail "the schedule type has no VELMO magic"

[ "$failed" -eq 0 ] && echo "desktop files valid"
exit "$failed"
