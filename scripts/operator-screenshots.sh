#!/usr/bin/env bash
# Makes the README's pictures of the operator's windows again: starts the processor simulator, a throwaway
# installation, the program on a virtual X display (Xvfb), logs in with the keyboard (xdotool) and takes
# pictures (ImageMagick's import) of the login, the main menu (with the warning of a certificate that ends
# soon), the "3. Test" sub-menu, the working certificate's window and the box of a failed status request
# into docs/.
# Uses the programs built in build/ (BUILD_DIR overrides); installs Xvfb, xdotool and ImageMagick if missing.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
case $BUILD_DIR in /*) BIN=$BUILD_DIR ;; *) BIN=$ROOT/$BUILD_DIR ;; esac
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xvfb xdotool imagemagick >/dev/null; break; }
done
WORK=$(mktemp -d)
DISPLAY_NUMBER=${SCREENSHOT_DISPLAY:-:77}
PIDS=()
cleanup() { for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$WORK"; }
trap cleanup EXIT
[ -n "${KEEP_WORK:-}" ] && trap 'for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done; echo "$WORK"' EXIT

Xvfb "$DISPLAY_NUMBER" -screen 0 1100x760x24 -nolisten tcp >/dev/null 2>&1 & PIDS+=($!)
"$BIN/tools/pfr-sim/pfr-sim" --mode lpfr --listen 127.0.0.1:0 --uid DEMO0001 --pin 1234 >"$WORK/sim.out" 2>&1 & PIDS+=($!)
for _ in $(seq 100); do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
"$BIN/tools/setup/telvano-setup" --root "$WORK/install" --login-secret demo --soft-secret kasa >/dev/null
"$BIN/tools/setup/telvano-setup" --root "$WORK/install" --register-lpfr "$(head -n1 "$WORK/sim.out")" --pin 1234 \
  --developer-tin 123456789 >/dev/null 2>"$WORK/register.err" || { cat "$WORK/register.err" >&2; exit 1; }
# The registered certificate ends in twelve days, so the home screen shows its warning.
ends=$(LC_ALL=C date -u -d '+12 days' '+%b %e %H:%M:%S %Y GMT')
echo "update cert_se set not_after = '$ends';" >"$WORK/ends.sql"
isql-fb -user SYSDBA -q -i "$WORK/ends.sql" "$(sed -n 's/^DB_Fullname=//p' "$WORK/install/TELVANO.conf")" >/dev/null
export DISPLAY=$DISPLAY_NUMBER TELVANO_REGISTRY=$WORK/install/TELVANO.conf TELVANO_LOCK_DIR=$WORK
"$BIN/src/ui/telvano" 2>"$WORK/telvano.err" & PIDS+=($!)

window() {  # waits for a visible window whose name matches $1 and prints its id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "operator-screenshots: no window '$1'" >&2; cat "$WORK/telvano.err" >&2; exit 1
}
other_window() {  # waits for a visible window other than $1 (a dialog carrying the main window's caption)
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name . 2>/dev/null | grep -vx "$1" | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "operator-screenshots: no dialog opened" >&2; exit 1
}
shot() { sleep 0.5; import -window "$1" "docs/$2"; echo "docs/$2"; }

mkdir -p docs
login=$(window '^Login$')
xdotool windowfocus --sync "$login"; xdotool type --delay 20 demo; xdotool key Return
xdotool type --delay 20 12; shot "$login" operator-login.png
xdotool type --delay 20 34; xdotool key Return
main=$(window '^TELVANO r10')
shot "$main" operator-menu.png
xdotool windowfocus --sync "$main"; xdotool key 3
shot "$main" operator-test-menu.png
xdotool key 1 5
certificate=$(other_window "$main")
shot "$certificate" operator-certificate.png
xdotool windowfocus --sync "$certificate"; xdotool key Escape
sleep 0.5
# The processor is switched off: "8. Status" shows why nothing was saved.
kill "${PIDS[1]}"
xdotool windowfocus --sync "$main"; xdotool key 3 8
box=$(window '^TELVANO$')
shot "$box" operator-failure-box.png
xdotool windowfocus --sync "$box"; xdotool key Return
sleep 0.5
xdotool windowfocus --sync "$main"; xdotool key 0
