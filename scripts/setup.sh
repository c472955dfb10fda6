#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, asking apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl1-mesa-dev
  libgtest-dev libgmock-dev
  nlohmann-json3-dev libxxhash-dev
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev libjpeg62-turbo-dev
  clang-format
  desktop-file-utils appstream dpkg-dev
  fonts-dejavu-core fonts-noto-cjk shared-mime-info
)

source "$(dirname "$0")/apt-packages.sh"
install_missing_packages "${packages[@]}"
