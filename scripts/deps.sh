#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, where
# they are missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev
  qt6-base-dev qt6-translations-l10n
  xvfb xauth openbox x11-utils xdotool
  python3 python3-dbfread dbview
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql sqlite3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
