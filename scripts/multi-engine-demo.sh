#!/usr/bin/env bash
# Three engines, three simulated modems, one database: queues ROWS due messages
# (ten of them repeats of messages already sent), lets three headless engines send
# them, kills engine 2 with SIGKILL in the middle of a send, starts it again, and
# shows that every row went out, none stays locked, and how many were repeated.
#
#   scripts/multi-engine-demo.sh            # uses ./build, 1000 rows
#   BUILD=build-x ROWS=300 KEEP=1 scripts/multi-engine-demo.sh
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$here/build}
ROWS=${ROWS:-1000}
DUPS=10
KEY=quorbind5

cmake --build "$BUILD" --target parlix-makedb modemsim parlix-engine-headless >/dev/null
makedb="$BUILD/database/parlix-makedb"
sim="$BUILD/tools/modemsim/modemsim"
engine="$BUILD/engine/headless/parlix-engine-headless"

root=$(mktemp -d /tmp/parlix-demo-XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ -n "${KEEP:-}" ]; then echo "kept: $root"; else rm -rf "$root"; fi
}
trap cleanup EXIT

sql() { printf "PRAGMA key='%s';\n.timeout 10000\n%s\n" "$KEY" "$1" | sqlcipher -batch "$root/Database/Parlix.db" | grep -v '^ok$' || true; }

"$makedb" "$root" >/dev/null
for n in 1 2 3; do
    mkdir -p "$root/Engine$n/ports"
    printf '[Engine_Setting]\r\nEngineModemID=%d\r\n' "$n" >"$root/Engine$n/Setting.INI"
    # Modem 2 answers slowest, so engine 2 can be caught inside a send.
    delay=20; [ "$n" = 2 ] && delay=80
    "$sim" --link "$root/Engine$n/ports/com3" --sent-log "$root/sent$n.jsonl" --delay "$delay" \
        >"$root/modem$n.out" 2>&1 &
    pids+=($!)
done
sql "UPDATE Modem SET PortNumber = 3, Direction = 2, DSR = 0, Poll = 1;"
sql "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS - 1)
     INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType)
     SELECT 'demo', 'Unknown', '01' || (20000000 + i), 'Demo message ' || i,
            datetime('now', 'localtime', '-5 minutes'), 'P', 1 FROM n;
     INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, MsgType)
     SELECT 'demo', 'Unknown', Mobile, 'sent yesterday', datetime('now', 'localtime', '-1 day'),
            datetime('now', 'localtime', '-1 day'), 'S', 1 FROM Outbox WHERE MsgID <= $DUPS;"
for n in 1 2 3; do
    until [ -e "$root/Engine$n/ports/com3" ]; do sleep 0.05; done
done
echo "queued $ROWS rows ($DUPS repeat earlier messages) in $root/Database/Parlix.db"

start_engine() {
    "$engine" --folder "$root/Engine$1" --fast --until-idle --interval 0 >>"$root/engine$1.log" 2>&1 &
    epid[$1]=$!
    pids+=($!)
}
declare -a epid
began=$(date +%s.%N)
for n in 1 2 3; do start_engine "$n"; done

# Wait until engine 2 holds a claim, then kill it there.
claimed=""
for _ in $(seq 1 2000); do
    claimed=$(sql "SELECT MsgID FROM Outbox WHERE Lock <> 0 AND ModemID = 2
                   AND (SELECT count(*) FROM Outbox WHERE ModemID = 2 AND SentStatus = 'S') >= 5 LIMIT 1;")
    [ -n "$claimed" ] && break
done
if [ -z "$claimed" ]; then echo "engine 2 was never caught inside a send"; exit 1; fi
kill -9 "${epid[2]}"
wait "${epid[2]}" 2>/dev/null || true
claimed=$(sql "SELECT MsgID FROM Outbox WHERE Lock <> 0 AND ModemID = 2;")
echo "killed engine 2 (SIGKILL) while it held MsgID $claimed"
sleep 1
echo "one second later MsgID $claimed is still locked: $(sql "SELECT Lock FROM Outbox WHERE MsgID = $claimed;") (1 = yes); the other engines pass it over"

# A real modem's "> " prompt times out; the simulated one needs an Esc.
printf '\033\r' >"$(readlink "$root/Engine2/ports/com3")"
start_engine 2
echo "engine 2 started again"
for n in 1 2 3; do wait "${epid[$n]}" || echo "engine $n ended with $?"; done
ended=$(date +%s.%N)

echo
echo "Outbox by status and engine:"
sql ".mode column
SELECT SentStatus, ModemID, count(*) AS rows FROM Outbox WHERE Message <> 'sent yesterday' GROUP BY 1, 2;"
echo "rows still locked:   $(sql "SELECT count(*) FROM Outbox WHERE Lock <> 0;")"
echo "rows not finished:   $(sql "SELECT count(*) FROM Outbox WHERE SentStatus IN ('P', 'R');")"
cat "$root"/sent*.jsonl | jq -r .text | sort | uniq -c >"$root/received.txt"
received=$(wc -l <"$root/received.txt")
repeats=$(awk '$1 > 1 { r += $1 - 1 } END { print r + 0 }' "$root/received.txt")
echo "messages received:   $received different texts (expected $((ROWS - DUPS)))"
echo "repeats:             $repeats"
echo "put back by engine 2:"
grep -A2 "Unfinished send" "$root/Engine2/SMS Engine Error Log.txt" | sed 's/\r$//; s/^/    /' || true
awk -v a="$began" -v b="$ended" 'BEGIN { printf "time:                %.1f s\n", b - a }'
