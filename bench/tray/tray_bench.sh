#!/usr/bin/env bash
# The program's footprint in a tray against a bare Qt tray program (an icon
# and a 1 s timer), both measured in this run on the same Xvfb + trayer desktop:
#   1. time from start to the icon in the tray (median of RUNS starts each);
#   2. resident memory: the program with its panel open on the demo data, the
#      bare program idle;
#   3. CPU seconds per minute: the program with its panel closed and 20 running
#      activities, the bare program idle; measured over WINDOW seconds, scaled.
#   tray_bench.sh BARE APP SERVICE PORT OUTDIR     (APP talks to 127.0.0.1:PORT)
# Environment: RUNS (default 7), WINDOW (default 20).
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 BARE APP SERVICE PORT OUTDIR" >&2
  exit 2
fi
BARE=$1 APP=$2 SERVICE=$3 PORT=$4 OUT=$5
RUNS=${RUNS:-7}
WINDOW=${WINDOW:-20}

if [ -z "${ZORVEL_BENCH_IN_SESSION:-}" ]; then
  exec env ZORVEL_BENCH_IN_SESSION=1 dbus-run-session -- bash "$0" "$@"
fi

mkdir -p "$OUT"
SANDBOX=$(mktemp -d /tmp/zorvel-bench.XXXXXX)
mkdir -p "$SANDBOX"/{home,config,data,cache,runtime}
chmod 700 "$SANDBOX/runtime"
export HOME=$SANDBOX/home XDG_CONFIG_HOME=$SANDBOX/config XDG_DATA_HOME=$SANDBOX/data \
  XDG_CACHE_HOME=$SANDBOX/cache XDG_RUNTIME_DIR=$SANDBOX/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY SESSION_MANAGER

PIDS=()
SUBJECT=
cleanup() {
  [ -n "$SUBJECT" ] && kill "$SUBJECT" 2>/dev/null
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$SANDBOX"
}
trap cleanup EXIT
fail() {
  echo "bench: FAILED: $*" >&2
  import -window root "$OUT/FAILED.png" 2>/dev/null
  exit 1
}
wait_for() { # DESCRIPTION COMMAND...: every 0.1 s, at most 10 s
  local what=$1; shift
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  fail "timed out waiting for $what"
}

exec 3>"$SANDBOX/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >"$OUT/xvfb.log" 2>&1 &
PIDS+=($!)
exec 3>&-
wait_for "Xvfb" test -s "$SANDBOX/display"
export DISPLAY=:$(cat "$SANDBOX/display")
wait_for "the X server" xwininfo -root >/dev/null 2>&1
xcompmgr >/dev/null 2>&1 &
PIDS+=($!)
trayer --edge top --align right --margin 300 --widthtype request --height 24 --transparent false \
  --tint 0x444444 --SetDockType true >/dev/null 2>&1 &
PIDS+=($!)
printf 'zorvel-bench' | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
PIDS+=($!)
"$SERVICE" --port "$PORT" --test-hooks >"$OUT/service.log" 2>&1 &
PIDS+=($!)
wait_for "the service" grep -q "listening on http://127.0.0.1:$PORT/" "$OUT/service.log"
sleep 0.5

# "ID WIDTH HEIGHT X Y" of each mapped window of the program named $1.
windows_of() {
  xwininfo -root -tree 2>/dev/null | grep -F "(\"$1\" " | while read -r line; do
    local id=${line%% *} pos size
    pos=$(awk '{print $NF}' <<<"$line"); pos=${pos#+}
    size=$(awk '{print $(NF-1)}' <<<"$line"); size=${size%%+*}
    xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || continue
    echo "$id ${size%x*} ${size#*x} ${pos%%+*} ${pos#*+}"
  done
}
icon_of() { # sets IX IY IW IH
  local found
  found=$(windows_of "$1" | awk '$2 < 64 && $3 < 64 && $2 > 4 && $5 < 30 {print $4, $5, $2, $3; exit}')
  [ -n "$found" ] && read -r IX IY IW IH <<<"$found"
}
panel_open() {
  local found
  found=$(windows_of "$APP_CLASS" | awk '$2 == 320 && $3 == 410 {print $4, $5; exit}')
  [ -n "$found" ] && read -r PX PY <<<"$found"
}
panel_closed() { ! windows_of "$APP_CLASS" | awk '$2 >= 24 && $3 >= 24 {f = 1} END {exit !f}'; }
requests() { curl -s --max-time 2 "http://127.0.0.1:$PORT/__test/requests"; }
count_requests() { requests | grep -oE "\"method\":\"$1\",\"path\":\"$2\"" | wc -l; }
has_requests() { [ "$(count_requests "$1" "$2")" -ge "$3" ]; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
# CPU time of every thread of the process, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
stop_subject() { kill "$SUBJECT" 2>/dev/null; wait "$SUBJECT" 2>/dev/null; SUBJECT=; sleep 0.3; }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

BARE_CLASS=$(basename "$BARE")
APP_CLASS=$(basename "$APP")

# The icon has been embedded: its window sits at 0,0 inside the tray's
# window, somewhere else on the screen. One xwininfo per probe, so that the
# probe itself costs little.
icon_embedded() {
  xwininfo -root -tree 2>/dev/null | grep -F "(\"$1\" " |
    awk '$(NF-1) ~ /x[0-9]+\+0\+0$/ && $NF != "+0+0" {f = 1} END {exit !f}'
}
# Milliseconds from the start of $1 to its icon in the tray.
time_to_icon() {
  local class=$2 start
  start=$(now_ms)
  "$1" >/dev/null 2>&1 &
  SUBJECT=$!
  for _ in $(seq 2000); do
    if icon_embedded "$class"; then
      echo $(($(now_ms) - start))
      stop_subject
      return 0
    fi
    sleep 0.01
  done
  fail "no icon from $class"
}
# Proportional set size in kB: shared library pages split among their users.
pss_kb() { awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup"; }

echo "bench: time to the icon, $RUNS starts each"
bare_starts=() app_starts=()
for _ in $(seq "$RUNS"); do
  bare_starts+=("$(time_to_icon "$BARE" "$BARE_CLASS")")
  app_starts+=("$(time_to_icon "$APP" "$APP_CLASS")")
done
bare_start=$(printf '%s\n' "${bare_starts[@]}" | median)
app_start=$(printf '%s\n' "${app_starts[@]}" | median)

echo "bench: the bare program idle"
"$BARE" >/dev/null 2>&1 &
SUBJECT=$!
wait_for "the bare icon" icon_of "$BARE_CLASS"
sleep 3
bare_rss=$(rss_kb "$SUBJECT")
bare_pss=$(pss_kb "$SUBJECT")
c0=$(cpu_ns "$SUBJECT"); sleep "$WINDOW"; c1=$(cpu_ns "$SUBJECT")
bare_cpu_ns=$((c1 - c0))
stop_subject

echo "bench: the program, signed in, panel open on the demo data"
"$APP" >"$OUT/app.log" 2>&1 &
SUBJECT=$!
wait_for "the icon" icon_of "$APP_CLASS"
xdotool mousemove $((IX + IW / 2)) $((IY + IH / 2)) click 1
wait_for "the panel" panel_open
sleep 0.3
xdotool mousemove $((PX + 160)) $((PY + 76)) click 1 type --delay 10 demo@zorvel.test
xdotool mousemove $((PX + 160)) $((PY + 126)) click 1 type --delay 10 demo
xdotool mousemove $((PX + 160)) $((PY + 176)) click 1
wait_for "the activities" has_requests GET /oauth/api/activities 1
sleep 3
import -window root "$OUT/panel-open.png"
app_rss=$(rss_kb "$SUBJECT")
app_pss=$(pss_kb "$SUBJECT")

echo "bench: 20 running activities, panel closed"
token=$(curl -s -u androidClient:wombat \
  "http://127.0.0.1:$PORT/oauth/token?grant_type=password&username=demo%40zorvel.test&password=demo" |
  grep -oE '"access_token":"[^"]*"' | cut -d'"' -f4)
[ -n "$token" ] || fail "no token for the benchmark's own requests"
api() { curl -s --max-time 5 -H "Authorization: Bearer $token" -H "Content-Type: application/json" "$@"; }
running=$(api "http://127.0.0.1:$PORT/oauth/api/activities" | grep -o '"status":"running"' | wc -l)
for _ in $(seq $((20 - running))); do
  id=$(tr a-z A-Z </proc/sys/kernel/random/uuid)
  api -o /dev/null -d "{\"comment\":\"\",\"id\":\"$id\",\"intervals\":[],\"start\":$(date +%s),\"status\":\"running\",\"typeId\":\"5E6A1C00-0000-4000-8000-000000000002\"}" \
    "http://127.0.0.1:$PORT/oauth/api/activities"
done
running=$(api "http://127.0.0.1:$PORT/oauth/api/activities" | grep -o '"status":"running"' | wc -l)
[ "$running" -eq 20 ] || fail "$running running activities, not 20"
gets=$(count_requests GET /oauth/api/activities)
xdotool mousemove $((PX + 54)) $((PY + 389)) click 1 # "Reload"
wait_for "the reload" has_requests GET /oauth/api/activities $((gets + 1))
sleep 1
import -window root "$OUT/panel-20-running.png"
xdotool key Escape
wait_for "the panel to close" panel_closed
sleep 2
c0=$(cpu_ns "$SUBJECT"); sleep "$WINDOW"; c1=$(cpu_ns "$SUBJECT")
app_cpu_ns=$((c1 - c0))
stop_subject

awk -v bs="$bare_start" -v as="$app_start" -v br="$bare_rss" -v ar="$app_rss" -v bp="$bare_pss" -v ap="$app_pss" \
  -v bc="$bare_cpu_ns" -v ac="$app_cpu_ns" -v w="$WINDOW" -v runs="$RUNS" '
  function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "inf" }
  BEGIN {
    bcm = bc / 1e9 * 60 / w; acm = ac / 1e9 * 60 / w
    printf "%-44s %12s %12s %8s %8s\n", "measure", "bare", "Zorvel", "ratio", "goal"
    printf "%-44s %12d %12d %8s %8s\n", "time to icon, ms (median of " runs ")", bs, as, ratio(as, bs), "1.3"
    printf "%-44s %12.1f %12.1f %8s %8s\n", "resident memory, MB (panel open)", br / 1024, ar / 1024, ratio(ar, br), "1.5"
    printf "%-44s %12.1f %12.1f %8s %8s\n", "  of it proportional (PSS), MB", bp / 1024, ap / 1024, ratio(ap, bp), "-"
    printf "%-44s %12.4f %12.4f %8s %8s\n", "CPU s/min (closed, 20 running; " w " s window)", bcm, acm, ratio(acm, bcm), "3"
  }' | tee "$OUT/results.txt"
