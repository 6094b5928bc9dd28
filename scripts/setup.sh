#!/usr/bin/env bash
# Installs what building and testing need, where it is missing: system packages with apt-get,
# then the checkout's own virtual environment (.venv) and the Python packages in it. Nothing goes
# into the system's interpreter: the other scripts run .venv/bin/python.
#   scripts/setup.sh [more Debian packages a check needs]
set -euo pipefail
cd "$(dirname "$0")/.."
venv=.venv

# The interpreter the environment is made from: python3.11 where PATH has one, else python3.
find_python() {
  if command -v python3.11 >/dev/null; then
    echo python3.11
  elif command -v python3 >/dev/null; then
    echo python3
  fi
}

# 3.11, with venv's pip bootstrap and the headers that extensions build against.
usable() {
  "$1" -c '
import os, sys, sysconfig
import ensurepip, venv
headers = os.path.join(sysconfig.get_paths()["include"], "Python.h")
sys.exit(sys.version_info[:2] != (3, 11) or not os.path.exists(headers))' >/dev/null 2>&1
}

packages=(g++ cmake ninja-build pkg-config libssl-dev libcurl4-openssl-dev libgtest-dev curl unicode-data "$@")
python=$(find_python)
python_ready=0
if [ -n "$python" ] && usable "$python"; then
  python_ready=1
else
  packages+=(python3 python3-venv python3-dev)
fi
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

# Looked for again only when it was missing or unfit before the packages went in.
if [ "$python_ready" -eq 0 ]; then
  python=$(find_python)
  if [ -z "$python" ]; then
    echo "setup: no python3.11 or python3 on PATH; Python 3.11 is needed" >&2
    exit 1
  fi
  if ! usable "$python"; then
    found=$("$python" -c 'import sys; print(sys.version.split()[0])' 2>/dev/null || echo "one that does not run")
    echo "setup: $(command -v "$python") is Python $found; Python 3.11 with its venv module and headers is needed" >&2
    exit 1
  fi
fi

# Which interpreter made the environment: another one, or a broken environment, means a new one.
base=$("$python" -c 'import os, sys; print(os.path.realpath(sys.executable), sys.version.split()[0])')
made_by=""
[ -f "$venv/made-by" ] && made_by=$(<"$venv/made-by")
if [ "$made_by" != "$base" ] || ! "$venv/bin/python" -c 'import pip' >/dev/null 2>&1; then
  rm -rf "$venv"
  "$python" -m venv "$venv"
  # -C (config settings) needs pip 23.1 or later; a distribution's bundled pip may be older.
  "$venv/bin/python" -m pip install -q --disable-pip-version-check "pip>=23.1"
  echo "$base" >"$venv/made-by"
fi

"$venv/bin/python" -m pip install -q --disable-pip-version-check \
  "pytest>=7" "cryptography>=41" "trustme>=1.1" numpy "ada-url==4.0.0"
