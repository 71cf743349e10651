#!/usr/bin/env bash
# The real program end to end: under Xvfb with a tray (trayer) and a compositor
# (xcompmgr), a private D-Bus session with an unlocked gnome-keyring and the
# reference service, a person's clicks are played with xdotool. Each step is
# decided by what can be observed from outside (mapped windows, pixels of the
# screen, the service's request log, the keyring) and leaves a screenshot.
#   tray_e2e.sh APP SERVICE PORT OUTDIR
# APP is a build of the program whose service lives at 127.0.0.1:PORT.
set -uo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 APP SERVICE PORT OUTDIR" >&2
  exit 2
fi
APP=$1 SERVICE=$2 PORT=$3 OUT=$4

# A session bus of our own, so that the keyring and the program meet nobody else.
if [ -z "${ZORVEL_E2E_IN_SESSION:-}" ]; then
  exec env ZORVEL_E2E_IN_SESSION=1 dbus-run-session -- bash "$0" "$@"
fi

for tool in Xvfb xcompmgr trayer openbox xdotool xwininfo import convert secret-tool gnome-keyring-daemon curl; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

APP_CLASS=$(basename "$APP")
KEYRING_SERVICE="org.zorvel.Zorvel::TokenStore"
EMAIL=demo@zorvel.test
PASSWORD=demo
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log
SANDBOX=$(mktemp -d /tmp/zorvel-e2e.XXXXXX)
mkdir -p "$SANDBOX"/{home,config,data,cache,runtime}
chmod 700 "$SANDBOX/runtime"
export HOME=$SANDBOX/home XDG_CONFIG_HOME=$SANDBOX/config XDG_DATA_HOME=$SANDBOX/data \
  XDG_CACHE_HOME=$SANDBOX/cache XDG_RUNTIME_DIR=$SANDBOX/runtime
unset WAYLAND_DISPLAY SESSION_MANAGER

PIDS=()
APP_PID=
cleanup() {
  local pid
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$SANDBOX"
}
trap cleanup EXIT

STEP=0
log() { echo "e2e: $*"; }
shot() { STEP=$((STEP + 1)); import -window root "$(printf '%s/%02d-%s.png' "$OUT" "$STEP" "$1")"; }
fail() {
  echo "e2e: FAILED: $*" >&2
  import -window root "$OUT/FAILED.png" 2>/dev/null
  echo "--- program log" >&2; cat "$OUT/app.log" >&2 2>/dev/null
  exit 1
}
# wait_for DESCRIPTION COMMAND...: polls every 0.1 s, for at most 10 s.
wait_for() {
  local what=$1; shift
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  fail "timed out waiting for $what"
}

# --- the desktop -------------------------------------------------------------
exec 3>"$SANDBOX/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >"$OUT/xvfb.log" 2>&1 &
PIDS+=($!)
exec 3>&-
wait_for "Xvfb" test -s "$SANDBOX/display"
export DISPLAY=:$(cat "$SANDBOX/display")
wait_for "the X server" xwininfo -root >/dev/null 2>&1
log "display $DISPLAY"
xcompmgr >"$OUT/xcompmgr.log" 2>&1 &
PIDS+=($!)
# start_tray MARGIN: a tray in the top-right corner, MARGIN pixels from the edge.
start_tray() {
  trayer --edge top --align right --margin "$1" --widthtype request --height 24 --transparent false \
    --tint 0x444444 --SetDockType true >"$OUT/trayer.log" 2>&1 &
  TRAY_PID=$!
  PIDS+=($TRAY_PID)
}
start_tray 0
printf 'zorvel-e2e' | gnome-keyring-daemon --foreground --unlock --components=secrets >"$OUT/keyring.log" 2>&1 &
PIDS+=($!)

"$SERVICE" --port "$PORT" --test-hooks >"$OUT/service.log" 2>&1 &
PIDS+=($!)
wait_for "the service on port $PORT" grep -q "listening on http://127.0.0.1:$PORT/" "$OUT/service.log"

# --- what can be observed --------------------------------------------------------
# "ID WIDTH HEIGHT X Y" of each of the program's windows that is mapped now.
app_windows() {
  local id size pos
  xwininfo -root -tree 2>/dev/null | grep -F "(\"$APP_CLASS\" " | while read -r line; do
    id=${line%% *}
    pos=$(awk '{print $NF}' <<<"$line")
    size=$(awk '{print $(NF-1)}' <<<"$line")
    size=${size%%+*}
    xwininfo -id "$id" 2>/dev/null | grep -q "IsViewable" || continue
    pos=${pos#+}
    echo "$id ${size%x*} ${size#*x} ${pos%%+*} ${pos#*+}"
  done
}
# Sets PX PY to the open panel's top-left corner; false while no panel of its full size is mapped.
panel_open() {
  local found
  found=$(app_windows | awk '$2 == 320 && $3 == 410 {print $4, $5; exit}')
  [ -n "$found" ] && read -r PX PY <<<"$found"
}
panel_closed() { ! app_windows | awk '$2 >= 24 && $3 >= 24 {found = 1} END {exit !found}'; }
# Sets IX IY IW IH to the tray icon's rectangle (the program's window inside the tray).
tray_icon() {
  local found
  found=$(app_windows | awk '$2 < 64 && $3 < 64 && $2 > 4 {print $4, $5, $2, $3; exit}')
  [ -n "$found" ] && read -r IX IY IW IH <<<"$found"
}
tray_icon_gone() { ! tray_icon; }
# Sets MX MY MW MH to a menu of the program (neither panel nor icon).
menu_shown() {
  local found
  found=$(app_windows | awk '!($2 == 320 && $3 == 410) && $2 >= 64 {print $4, $5, $2, $3; exit}')
  [ -n "$found" ] && read -r MX MY MW MH <<<"$found"
}
# "R G B" of one pixel of the screen now.
pixel() {
  import -window root -crop "1x1+$1+$2" +repage -depth 8 txt:- 2>/dev/null |
    sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
is_colour() { # is_colour X Y orange|green|blue|light
  local r g b
  read -r r g b <<<"$(pixel "$1" "$2")"
  [ -n "$r" ] || return 1
  case $3 in
    orange) [ "$r" -gt 200 ] && [ "$g" -gt 100 ] && [ "$g" -lt 210 ] && [ "$b" -lt 110 ] ;;
    green) [ "$g" -gt 120 ] && [ "$g" -gt $((r + 40)) ] && [ "$g" -gt $((b + 20)) ] ;;
    blue) [ "$b" -gt $((r + 40)) ] ;;
    light) [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ] ;;
  esac
}
not_colour() { ! is_colour "$@"; }
requests() { curl -s --max-time 2 "http://127.0.0.1:$PORT/__test/requests"; }
count_requests() { requests | grep -oE "\"method\":\"$1\",\"path\":\"$2\"" | wc -l; }
has_requests() { [ "$(count_requests "$1" "$2")" -ge "$3" ]; }
token_stored() { [ -n "$(secret-tool search --all service "$KEYRING_SERVICE" 2>/dev/null)" ]; }
token_removed() { ! token_stored; }
app_ended() { ! kill -0 "$APP_PID" 2>/dev/null; }

click() { xdotool mousemove "$1" "$2" click "${3:-1}"; }
# Panel-relative clicks, in the panel's top-left pixels (the screens' frames
# are fixed, so these places are too).
click_panel() { click $((PX + $1)) $((PY + $2)); }
click_icon() { tray_icon || fail "no tray icon"; click $((IX + IW / 2)) $((IY + IH / 2)) "${1:-1}"; }
icon_highlighted() { is_colour $((IX + 1)) $((IY + IH / 2)) blue; }
icon_plain() { ! icon_highlighted; }

launch_app() {
  : >"$OUT/app.log"
  # In a sanitizer build the desktop libraries' own leaks would fail the
  # run at exit; leaks are the unit tests' business, memory errors still stop.
  QT_QPA_PLATFORM=xcb ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$APP" >>"$OUT/app.log" 2>&1 &
  APP_PID=$!
}
start_app() {
  launch_app
  wait_for "the tray icon" tray_icon
}
open_panel() {
  click_icon
  wait_for "the panel to open" panel_open
  sleep 0.3 # the last frames of the fade-in
  panel_open || fail "the panel moved while opening"
}
quit_from_tray_menu() {
  click_icon 3
  wait_for "the tray menu" menu_shown
  shot "$1"
  # The last entry is "Quit".
  click $((MX + MW / 2)) $((MY + MH - 11))
  wait_for "the program to end" app_ended
  wait "$APP_PID"
  local status=$?
  APP_PID=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
  wait_for "the tray icon to go" tray_icon_gone
}

# Places inside the panel (top-left pixels of the 320 x 410 window; the
# screen below the 11-point arrow strip starts at y 11).
LOGIN_EMAIL=(160 76)
LOGIN_PASSWORD=(160 126)
LOGIN_BUTTON=(160 176)
MEETING_TILE=(87 147)    # the second type tile of the first row, below three activity rows
THIRD_ACTIVITY=(233 156) # pause/resume button of the third activity row
THIRD_ACTIVITY_FILL=(220 156) # left of its glyph: the button's colour
MENU_BUTTON=(299 389)    # the "..." pull-down of the bottom bar

# --- 1. no window manager: the whole program --------------------------------
start_app
shot tray-icon
[ "$(requests)" = "[]" ] || fail "the program talked to the service before the first click"
panel_closed || fail "a panel is shown at start"
icon_plain || fail "the icon is highlighted at start"

log "open the panel: the login screen"
open_panel
shot login-screen
[ $((PY)) -ge $((IY + IH - 1)) ] && [ $((PY)) -le $((IY + IH + 2)) ] ||
  fail "the panel's top ($PY) is not just under the icon ($IY+$IH)"
[ $((IX + IW / 2)) -ge "$PX" ] && [ $((IX + IW / 2)) -le $((PX + 320)) ] || fail "the panel is not under the icon"
[ $((PX + 320)) -le $((1280 - 8)) ] || fail "the panel does not keep 8 points from the screen's edge"
icon_highlighted || fail "the icon is not highlighted while the panel is open"
is_colour $((PX + 30)) $((PY + 200)) light || fail "the panel's body is not drawn"
token_removed || fail "a token is stored before signing in"

log "sign in"
click_panel "${LOGIN_EMAIL[@]}"
xdotool type --delay 15 "$EMAIL"
click_panel "${LOGIN_PASSWORD[@]}"
xdotool type --delay 15 "$PASSWORD"
click_panel "${LOGIN_BUTTON[@]}"
wait_for "the token grant" has_requests '[A-Z]+' '/+oauth/token' 1
wait_for "GET types" has_requests GET /oauth/api/types 1
wait_for "GET activities" has_requests GET /oauth/api/activities 1
wait_for "the token in the keyring" token_stored
sleep 0.5
shot activities-screen

log "start an activity"
posts_before=$(count_requests POST /oauth/api/activities)
gets_before=$(count_requests GET /oauth/api/activities)
click_panel "${MEETING_TILE[@]}"
wait_for "POST activities" has_requests POST /oauth/api/activities $((posts_before + 1))
wait_for "the reload after the POST" has_requests GET /oauth/api/activities $((gets_before + 1))
# The request's first "id" is the activity's own (its intervals come later).
ACTIVITY_ID=$(requests | grep -oE '\{"body":"([^"\\]|\\.)*","headers":\{[^}]*\},"method":"POST","path":"/oauth/api/activities"' |
  tail -1 | grep -oE '\\"id\\":\\"[0-9A-Fa-f-]{36}' | head -1 | grep -oE '[0-9A-Fa-f-]{36}$')
[ -n "$ACTIVITY_ID" ] || fail "the POST carried no activity id"
wait_for "the new activity's row (running: a pause button)" \
  is_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) orange
shot activity-started

log "pause and resume it"
click_panel "${THIRD_ACTIVITY[@]}"
wait_for "PUT of the new activity (pause)" has_requests PUT "/oauth/api/activities/$ACTIVITY_ID" 1
wait_for "the paused row (a resume button)" is_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) green
shot activity-paused
click_panel "${THIRD_ACTIVITY[@]}"
wait_for "PUT of the new activity (resume)" has_requests PUT "/oauth/api/activities/$ACTIVITY_ID" 2
wait_for "the running row again" is_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) orange
shot activity-resumed

log "click outside: the panel folds away, the icon follows"
click 200 500
wait_for "the panel to close" panel_closed
wait_for "the icon's highlight to go" icon_plain
shot closed-by-click-outside

log "reopen: still signed in"
open_panel
is_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) orange ||
  wait_for "the activities screen again" is_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) orange
shot reopened

log "Logout from the screen's menu"
click_panel "${MENU_BUTTON[@]}"
wait_for "the Logout/Quit menu" menu_shown
shot screen-menu
click $((MX + MW / 2)) $((MY + 11)) # "Logout", the first entry
wait_for "the token to leave the keyring" token_removed
wait_for "the login screen" not_colour $((PX + THIRD_ACTIVITY_FILL[0])) $((PY + THIRD_ACTIVITY_FILL[1])) orange
panel_open || fail "the panel closed on Logout"
shot logged-out

log "Escape, then Quit from the tray menu"
xdotool key Escape
wait_for "the panel to close on Escape" panel_closed
wait_for "the icon's highlight to go" icon_plain
quit_from_tray_menu tray-menu
shot quit

# --- 2. under a window manager: loss of focus -------------------------------------
# The tray moves in from the corner, so that the panel needs no correction
# at the screen's edge and the arrow sits in the middle of its top edge.
# The program starts before the tray does, as on a desktop that starts its
# panel late: it waits, says so once, and shows its icon when the tray comes.
log "under openbox, the program before the tray"
kill "$TRAY_PID"
openbox --sm-disable >"$OUT/openbox.log" 2>&1 &
PIDS+=($!)
sleep 1
launch_app
wait_for "the program to notice there is no tray" grep -q "No system tray is available yet" "$OUT/app.log"
start_tray 300
wait_for "the icon once the tray is there" tray_icon
[ "$(grep -c "No system tray" "$OUT/app.log")" -eq 1 ] || fail "the wait for a tray was logged more than once"
open_panel
shot openbox-login-screen
[ $((IX + IW / 2 - PX)) -eq 160 ] || fail "the arrow's place: $((IX + IW / 2 - PX)), not 160"
click 200 500
wait_for "the panel to close on a click elsewhere" panel_closed
wait_for "the icon's highlight to go" icon_plain
open_panel
xdotool key Escape
wait_for "the panel to close on Escape" panel_closed
quit_from_tray_menu openbox-tray-menu

log "passed; screenshots in $OUT"
exit 0
