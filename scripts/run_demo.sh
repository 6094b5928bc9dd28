#!/usr/bin/env bash
# The main job: installs what is missing, starts a local stand-in API server with a CA of its own,
# builds and installs the module for that server into the checkout's environment (.venv), and runs
# the demo end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
python="$root/.venv/bin/python"

# QIV_DEMO_PORT, else 8443 unless something listens there (another run's demo): then a free one.
port=${QIV_DEMO_PORT:-$(cd tests && "$python" -c '
from servers.api_server import listen
try:
    listen(8443).close()
    print(8443)
except OSError:
    print(listen(0).getsockname()[1])
')}

mkdir -p build/demo
rm -f build/demo/ca.pem
"$python" tests/servers/api_server.py --demo --port "$port" --demo-ca-out "$root/build/demo/ca.pem" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s build/demo/ca.pem ] && break; sleep 0.1; done

"$python" -m pip install -q --disable-pip-version-check . \
  -C cmake.define.QIV_API_BASE_URL="https://localhost:$port" \
  -C cmake.define.QIV_CA_BUNDLE="$root/build/demo/ca.pem" \
  -C build-dir=build/demo/{wheel_tag}

cd /tmp && "$python" "$root/scripts/demo.py"
