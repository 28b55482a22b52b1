#!/usr/bin/env bash
# Installs, with apt-get, what building and testing Tolvan needs on Debian 12.
# Runs as root, or through sudo otherwise. Installs only what is missing.
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config
      qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      libssl-dev zlib1g-dev libdeflate-dev
      fonts-taml-tscu fonts-lohit-taml fonts-dejavu-core
      xvfb xauth imagemagick xdotool
      desktop-file-utils appstream dpkg-dev file poppler-utils lintian)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
