#!/usr/bin/env bash
# Debian 12 packages needed to build, package, test and run the system (as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config git \
  qtbase5-dev qttools5-dev qttools5-dev-tools libqt5websockets5-dev libqt5svg5-dev \
  libmbedtls-dev libusb-1.0-0-dev \
  libgtest-dev googletest libbenchmark-dev \
  umockdev libumockdev-dev gir1.2-umockdev-1.0 python3-gi \
  dbus dbus-daemon python3-dbus xvfb xauth x11-xserver-utils \
  openssl procps clang libclang-rt-14-dev \
  fonts-wqy-microhei \
  imagemagick at-spi2-core gir1.2-atspi-2.0 xdg-utils \
  openbox trayer xfce4-panel weston qtwayland5 python3-pyatspi xdotool wmctrl x11-utils libglib2.0-bin \
  chromium \
  debhelper devscripts lintian scdoc man-db desktop-file-utils appstream
# The sample bank page test drives chromium through npm's puppeteer-core.
command -v npm >/dev/null || apt-get install -y --no-install-recommends nodejs npm
# It drives Firefox ESR as well.
apt-get install -y --no-install-recommends firefox-esr
