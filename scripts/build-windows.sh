#!/usr/bin/env bash
# The Windows build, made on Debian: the editor, the command-line tool and the tests cross-compiled
# with MinGW-w64 against the Qt kit beside the repository, a runnable folder build-windows/dist/ and
# the NSIS installer build-windows/velmo-schedule-generator-VERSION-setup.exe.
#   scripts/build-windows.sh [--no-installer] [cmake --build arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
kit_archive=$root/../shared/windows/qt6-mingw64-kit.tar.xz
# Unpacked outside the repository (its third-party files are no part of ours), and linked from the
# build folder for the scripts that run the programs.
kit=${XDG_CACHE_HOME:-$HOME/.cache}/velmo-schedule-generator/qt6-mingw64

installer=1
if [ "${1:-}" = "--no-installer" ]; then
  installer=0
  shift
fi

packages=(g++-mingw-w64-x86-64-posix wine wine64 nsis xvfb xauth xdotool qt6-base-dev-tools googletest
          libxxhash-dev nlohmann-json3-dev cmake ninja-build)
source scripts/apt-packages.sh
install_missing_packages "${packages[@]}"

mkdir -p "$build" "$(dirname "$kit")"
if [ ! -f "$kit/lib/cmake/Qt6/Qt6Config.cmake" ] || [ "$kit_archive" -nt "$kit/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  rm -rf "$kit"
  tar -xJf "$kit_archive" -C "$(dirname "$kit")"
  touch "$kit/lib/cmake/Qt6/Qt6Config.cmake"
fi
rm -rf "$build/qt6-mingw64"
ln -s "$kit" "$build/qt6-mingw64"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMO_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVELMO_QT_KIT="$kit" \
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
runtime_dirs=("$kit/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
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
copy_imports "$dist"/*.exe "$dist"/*/*.dll
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/lib*.dll

if [ "$installer" -eq 1 ]; then
  version=$(sed -n 's/^project(VelmoScheduleGenerator VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  makensis -V2 -DVERSION="$version" -DDIST="$dist" \
    -DOUTFILE="$build/velmo-schedule-generator-$version-setup.exe" packaging/windows/installer.nsi
  echo "Installer: build-windows/velmo-schedule-generator-$version-setup.exe"
fi
