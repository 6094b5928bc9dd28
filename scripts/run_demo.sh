#!/usr/bin/env bash
# The main job: installs what is missing, starts a local stand-in API server with a CA of its own,
# builds and installs the module for that server, and runs the demo end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
port=${QIV_DEMO_PORT:-8443}

scripts/setup.sh
mkdir -p build/demo
rm -f build/demo/ca.pem
python3 tests/servers/api_server.py --demo --port "$port" --demo-ca-out "$root/build/demo/ca.pem" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s build/demo/ca.pem ] && break; sleep 0.1; done

python3 -m pip install -q --disable-pip-version-check . \
  -C cmake.define.QIV_API_BASE_URL="https://localhost:$port" \
  -C cmake.define.QIV_CA_BUNDLE="$root/build/demo/ca.pem" \
  -C build-dir=build/demo/{wheel_tag}

cd /tmp && python3 "$root/scripts/demo.py"
