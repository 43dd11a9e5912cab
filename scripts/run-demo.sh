#!/bin/sh
# Starts the simulated meter on loopback and Tarnlux in a demo program folder
# whose qm.cfg points at it. The user's own settings are not touched. The meter
# stops when the program ends.
set -eu

BUILD=${1:-build}
PORT=${TARNLUX_DEMO_PORT:-47800}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO="$ROOT/demo"
METER="$ROOT/$BUILD/src/meter/tarnlux-meter"
PROGRAM="$ROOT/$BUILD/src/ui/tarnlux"

mkdir -p "$DEMO"
if [ ! -f "$DEMO/qm.cfg" ]; then
  printf '[COMMUNICATIONS]\r\nPORT=TCP/IP\r\nBAUDRATE=9600\r\nDATA_BITS=7\r\nSTOP_BITS=1\r\nPARITY=IMPAIR\r\nFLOW_CONTROL=XON/XOFF\r\nIP_ADDRESS=127.0.0.1\r\nIP_PORT=%s\r\n' "$PORT" > "$DEMO/qm.cfg"
fi

"$METER" --tcp "$PORT" &
METER_PID=$!
trap 'kill $METER_PID 2>/dev/null || true; wait $METER_PID 2>/dev/null || true' EXIT INT TERM

cd "$DEMO"
"$PROGRAM" "$@" || true
