#!/usr/bin/env bash
# The Windows build, made on Debian: the editor, the command-line tool and the tests cross-compiled
# with MinGW-w64 against the Qt and FFmpeg kits beside the repository, a runnable folder build-windows/dist/ and
# the NSIS installer build-windows/velmo-schedule-generator-VERSION-setup.exe.
#   scripts/build-windows.sh [--no-installer] [cmake --build arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
# The shared kits and vectors beside the repository (a worktree lies one folder deeper).
shared=$root/../shared
[ -d "$shared" ] || shared=$root/../../shared
kits=$shared/windows
# Unpacked outside the repository (their third-party files are no part of ours), and linked from the
# build folder for the scripts that run the programs.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmo-schedule-generator
kit=$cache/qt6-mingw64
ffmpeg_kit=$cache/ffmpeg-mingw64

installer=1
if [ "${1:-}" = "--no-installer" ]; then
  installer=0
  shift
fi

packages=(g++-mingw-w64-x86-64-posix wine wine64 nsis xvfb xauth xdotool qt6-base-dev-tools googletest
          libxxhash-dev nlohmann-json3-dev cmake ninja-build)
source scripts/apt-packages.sh
install_missing_packages "${packages[@]}"

mkdir -p "$build" "$cache"
# unpack ARCHIVE FOLDER MARK: FOLDER (named as the archive's top folder) fresh from ARCHIVE unless
# its MARK file is newer than the archive; a link to it in the build folder.
unpack() {
  local archive=$1 folder=$2 mark=$2/$3
  if [ ! -f "$mark" ] || [ "$archive" -nt "$mark" ]; then
    rm -rf "$folder"
    tar -xJf "$archive" -C "$cache"
    touch "$mark"
  fi
  rm -rf "$build/$(basename "$folder")"
  ln -s "$folder" "$build/$(basename "$folder")"
}
unpack "$kits/qt6-mingw64-kit.tar.xz" "$kit" lib/cmake/Qt6/Qt6Config.cmake
unpack "$kits/ffmpeg-mingw64-kit.tar.xz" "$ffmpeg_kit" lib/pkgconfig/libavformat.pc

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMO_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVELMO_QT_KIT="$kit" \
  -DVELMO_FFMPEG_KIT="$ffmpeg_kit" \
  -DVELMO_BUILD_BENCH=OFF "${launcher[@]}" ${VELMO_WINDOWS_CMAKE_ARGS:-}
nice cmake --build "$build" "$@"

# The runnable folder: the programs, the Qt DLLs they link and the plugins Qt loads, the MinGW runtime.
dist=$build/dist
rm -rf "$dist"
mkdir -p "$dist/platforms" "$dist/styles" "$dist/imageformats"
cp "$build/src/app/velmo-schedule-generator.exe" "$build/src/cli/velmo-schedule.exe" "$dist/"
cp "$kit/plugins/platforms/qwindows.dll" "$kit/plugins/platforms/qoffscreen.dll" "$dist/platforms/"
cp "$kit"/plugins/styles/*.dll "$dist/styles/"
cp "$kit"/plugins/imageformats/*.dll "$dist/imageformats/"
# Every DLL the programs and plugins import that is not Windows' own (Qt's, MinGW's), and the ones
# those import in turn, read from the files themselves: a Qt module the editor comes to use is never
# left behind.
runtime_dirs=("$kit/bin" "$ffmpeg_kit/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
copy_imports() {
  local file dll dir
  for file in "$@"; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
      [ ! -f "$dist/$dll" ] || continue
      for dir in "${runtime_dirs[@]}"; do
        if [ -f "$dir/$dll" ]; then
          cp "$dir/$dll" "$dist/"
          copy_imports "$dist/$dll"
          break
        fi
      done
    done
  done
}
# FFmpeg's program for the player copies, found beside the editor and the tool, and the licences of
# what the kit holds.
cp "$ffmpeg_kit/bin/ffmpeg.exe" "$dist/"
mkdir -p "$dist/licences"
cp "$ffmpeg_kit"/COPYING.* "$dist/licences/"
copy_imports "$dist"/*.exe "$dist"/*/*.dll
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/lib*.dll

if [ "$installer" -eq 1 ]; then
  version=$(sed -n 's/^project(VelmoScheduleGenerator VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDIST="$dist" -DICON="$build/src/app/velmo-schedule-generator.ico" \
    -DOUTFILE="$build/velmo-schedule-generator-$version-setup.exe" packaging/windows/installer.nsi
  echo "Installer: build-windows/velmo-schedule-generator-$version-setup.exe"
fi
