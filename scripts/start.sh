#!/usr/bin/env bash
# Starts Parlix from the installed folder ($PARLIX_HOME, default ~/Parlix): the SMS engine
# ParlixEngine and the operator console Parlix, both on the shared database.
#
# When the engine's COM port has no device link yet (Engine/ports/com1), a simulated
# GSM modem is started and linked there, so Start in the engine window works at once
# without a handset; it is stopped again when the engine ends. Link a real modem
# instead with:
#   ln -sfn /dev/ttyUSB0 "$PARLIX_HOME/Engine/ports/com1"
# Without a desktop display both programs run inside one invisible X server (xvfb-run).
set -euo pipefail
. "$(dirname "$0")/common.sh"

engine="$PARLIX_HOME/Engine/ParlixEngine"
console="$PARLIX_HOME/Parlix"

# Both programs on one display: the console in front; the engine keeps running after
# the console is closed, until its own window is closed.
run_programs() {
  (cd "$PARLIX_HOME/Engine" && exec "$engine") &
  local engine_pid=$!
  (cd "$PARLIX_HOME" && "$console") || true
  wait "$engine_pid" || true
}
if [ "${1:-}" = "--programs" ]; then
  run_programs
  exit 0
fi

for program in "$engine" "$console"; do
  [ -x "$program" ] || { echo "start: $program is missing; run scripts/build.sh first" >&2; exit 1; }
done
[ -f "$PARLIX_HOME/Database/Parlix.db" ] || { echo "start: the database is missing; run scripts/build.sh" >&2; exit 1; }

mkdir -p "$PARLIX_HOME/Engine/ports"
link="$PARLIX_HOME/Engine/ports/com1"
sim_pid=""
# The simulated modem started here ends with the engine (its link goes with it).
stop_sim() { if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi; }
trap stop_sim EXIT
trap 'exit 130' INT TERM
if [ ! -e "$link" ]; then
  sim="$PARLIX_HOME/tools/modemsim"
  [ -x "$sim" ] || sim="$ROOT_DIR/build/tools/modemsim/modemsim"
  run="$PARLIX_HOME/run"; mkdir -p "$run"
  rm -f "$run/modem.sock"
  "$sim" --link "$link" --control "$run/modem.sock" --sent-log "$run/sent.jsonl" \
         --log "$run/dialogue.log" > "$run/modemsim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  echo "start: simulated modem on $(readlink "$link") (linked as COM1; control socket $run/modem.sock, sent messages in $run/sent.jsonl)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "start: no desktop display found; running the engine and the console under one xvfb-run (invisible)" >&2
  xvfb-run -a "$0" --programs
else
  run_programs
fi
