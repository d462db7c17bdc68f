#!/usr/bin/env bash
# Installs the Debian packages that building and testing Veldrane needs, when
# they are missing. Runs apt-get update once, then apt-get install -y.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config
          libsqlite3-dev libpugixml-dev libpq-dev postgresql
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
          libcpp-httplib-dev nlohmann-json3-dev chromium
          unixodbc-dev odbc-mariadb mariadb-server odbc-postgresql libsqliteodbc)
# The designer's browser tests run on Node.js; a machine that has none gets
# Debian's.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then packages+=(nodejs npm); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y "${missing[@]}"
