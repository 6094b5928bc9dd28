#!/usr/bin/env bash
# Installs what building and testing need, where it is missing: system packages, then Python packages.
#   scripts/setup.sh [more Debian packages a check needs]
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libssl-dev libcurl4-openssl-dev libgtest-dev curl unicode-data "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q "${missing[@]}"
fi

python3 -m pip install -q --disable-pip-version-check "pytest>=7" "cryptography>=41" "trustme>=1.1" numpy "ada-url==4.0.0"
