#!/usr/bin/env bash
# The demo: installs what is needed, builds, creates a demo installation under ./demo, starts the processor
# simulator as a local processor (LPFR), registers it as the working certificate, starts telvano unattended
# (headless when there is no display), fiscalises the sample invoices of scripts/demo-data and answers its command
# files, shows a receipt and where the result files are, and keeps running until Ctrl-C stops telvano and the
# simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
DEMO=${DEMO_DIR:-$ROOT/demo}
SOFT_KEY=demo-kasa       # what the POS passes as the first parameter
LOGIN=demo               # the operator's login secret (interactive start)
PIN=1234
UID_LPFR=DEMO0001        # the simulated secure element's uid = the working certificate's serial
DEVELOPER_TIN=123456789  # the POS developer's tax number, asked for by the registration

if [ "${DEMO_SKIP_BUILD:-0}" != 1 ]; then   # DEMO_SKIP_BUILD=1 reuses what is built
  scripts/install-deps.sh
  BUILD_DIR=$BUILD_DIR scripts/build.sh
fi
case $BUILD_DIR in /*) BIN=$BUILD_DIR ;; *) BIN=$ROOT/$BUILD_DIR ;; esac

mkdir -p "$DEMO"
SIM_PID=""
TELVANO_PID=""
stop_all() {
  trap - INT TERM EXIT
  echo
  if [ -n "$TELVANO_PID" ] && kill -0 "$TELVANO_PID" 2>/dev/null; then
    echo "demo: stopping telvano"
    kill -TERM "$TELVANO_PID" 2>/dev/null || true
    wait "$TELVANO_PID" 2>/dev/null || true
  fi
  if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
    echo "demo: stopping pfr-sim"
    kill -TERM "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  echo "demo: stopped; the installation stays in $DEMO"
}
trap stop_all INT TERM EXIT

# 1. The simulated processor on a free port; its first line is the URL it serves.
"$BIN/tools/pfr-sim/pfr-sim" --mode lpfr --listen 127.0.0.1:0 --uid "$UID_LPFR" --pin "$PIN" \
  --state "$DEMO/pfr-sim-state.json" >"$DEMO/pfr-sim.out" 2>"$DEMO/pfr-sim.err" &
SIM_PID=$!
for _ in $(seq 100); do [ -s "$DEMO/pfr-sim.out" ] && break; sleep 0.1; done
SIM_URL=$(head -n1 "$DEMO/pfr-sim.out")
[ -n "$SIM_URL" ] || { echo "demo: pfr-sim did not start:"; cat "$DEMO/pfr-sim.err"; exit 1; }
echo "demo: pfr-sim serves an LPFR at $SIM_URL (uid $UID_LPFR, PIN $PIN)"

# 2. A fresh installation (the previous demo's is replaced), and that processor registered as its working
#    certificate as the operator's window "Radni CERT" does it: checked, given the PIN, its tax groups loaded
#    and a test invoice fiscalised, whose answer names the processor. The serial is printed on stdout.
rm -rf "$DEMO/install"
"$BIN/tools/setup/telvano-setup" --root "$DEMO/install" --force --login-secret "$LOGIN" --soft-secret "$SOFT_KEY" \
  >"$DEMO/setup.out"
SERIAL=$("$BIN/tools/setup/telvano-setup" --root "$DEMO/install" --register-lpfr "$SIM_URL" --pin "$PIN" \
  --developer-tin "$DEVELOPER_TIN" 2>>"$DEMO/setup.out") ||
  { echo "demo: the processor was not registered:"; cat "$DEMO/setup.out"; exit 1; }
echo "demo: working certificate $SERIAL registered (telvano-setup --register-lpfr)"
export TELVANO_REGISTRY=$DEMO/install/TELVANO.conf
export TELVANO_LOCK_DIR=$DEMO
EXCH=$(sed -n 's/^Exchange_Root=//p' "$TELVANO_REGISTRY")
APPL=$(sed -n 's/^Appl_Root=//p' "$TELVANO_REGISTRY")
rm -f "$EXCH/SDC_Out/start_info.txt"

# 3. TELVANO started the way a POS starts it: software key, PIN, serial.
"$BIN/src/ui/telvano" "$SOFT_KEY" "$PIN" "$SERIAL" 2>"$DEMO/telvano.err" &
TELVANO_PID=$!
for _ in $(seq 300); do [ -s "$EXCH/SDC_Out/start_info.txt" ] && break; sleep 0.1; done
START=$(tr -d '\r\357\273\277' <"$EXCH/SDC_Out/start_info.txt" 2>/dev/null || true)
echo "demo: start_info.txt says: $START"
case $START in OK,*) ;; *) echo "demo: telvano did not start; its log:"; cat "$APPL/Logs/TELVANO_log.txt" 2>/dev/null; exit 1 ;; esac

# 4. The POS's files: written under a hidden name, then renamed, so TELVANO never sees half a file.
drop() { cp "$1" "$EXCH/SDC_Inp/.$(basename "$1")" && mv "$EXCH/SDC_Inp/.$(basename "$1")" "$EXCH/SDC_Inp/$(basename "$1")"; }
for f in scripts/demo-data/*.csv; do drop "$f"; done
echo "demo: dropped $(ls scripts/demo-data | tr '\n' ' ')into $EXCH/SDC_Inp"
# Waits (up to a minute) until one of the given files exists.
wait_for() {
  for _ in $(seq 600); do
    for f in "$@"; do [ -e "$f" ] && return 0; done
    sleep 0.1
  done
  return 1
}
for f in scripts/demo-data/CMD_*.csv; do wait_for "$EXCH/SDC_Out/$(basename "${f%.csv}")_resp.txt" || true; done
for f in scripts/demo-data/INV_*.csv; do
  base=$(basename "${f%.csv}")
  wait_for "$EXCH/SDC_Out/${base}_basic.csv" "$EXCH/SDC_Out/${base}_err.txt" || true
done

echo
echo "=== receipt of INV_NS_0001 ($EXCH/SDC_Out/INV_NS_0001_journal.txt) ==="
tr -d '\r' <"$EXCH/SDC_Out/INV_NS_0001_journal.txt" 2>/dev/null || cat "$EXCH/SDC_Out/INV_NS_0001_err.txt"
echo "=== summary line (_basic.csv) ==="
tr -d '\r' <"$EXCH/SDC_Out/INV_NS_0001_basic.csv" 2>/dev/null || true
echo
echo "=== answer to CMD_0001.csv ==="
tr -d '\r' <"$EXCH/SDC_Out/CMD_0001_resp.txt"
echo
echo "demo: result files in $EXCH/SDC_Out:"
ls -1 "$EXCH/SDC_Out" | sed 's/^/  /'
echo "demo: log: $APPL/Logs/TELVANO_log.txt"
echo
echo "demo: telvano keeps polling. Drop INV_*.csv or CMD_*.csv files into $EXCH/SDC_Inp to try more;"
echo "      Ctrl-C stops telvano and the simulator."
wait "$TELVANO_PID" || true
TELVANO_PID=""
