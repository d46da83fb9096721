#!/usr/bin/env bash
# Makes the picture of a demo receipt (docs/receipt-preview.png) the way a shop's would be printed: a throwaway
# installation with Ostrapo in its RunTime folder, the processor simulator as a local processor, telvano started
# unattended and headless, and the demo invoice INV_NS_0001 of scripts/demo-data asking for an EPSON printer on
# the port png:receipt.png. Ostrapo draws what the printer would print into PrintFileDir; the picture is copied
# to OUTPUT (default docs/receipt-preview.png), and everything else is removed again.
#
#   scripts/receipt-preview.sh [OUTPUT]       uses what is built in build/ (BUILD_DIR=... for another folder)
#   PRINTER=STAR-2 scripts/receipt-preview.sh /tmp/star.png    another printer model
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
case $BUILD_DIR in /*) BIN=$BUILD_DIR ;; *) BIN=$ROOT/$BUILD_DIR ;; esac
OUTPUT=${1:-docs/receipt-preview.png}
PRINTER=${PRINTER:-EPSON}
SOFT_KEY=preview-kasa
PIN=1234
UID_LPFR=PREV0001

for program in src/ui/telvano tools/setup/telvano-setup tools/pfr-sim/pfr-sim tools/rawprint/Ostrapo; do
  [ -x "$BIN/$program" ] || { echo "receipt-preview: $BIN/$program is not built (scripts/build.sh)" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/telvano-preview.XXXXXX)
SIM_PID=""
TELVANO_PID=""
finish() {
  for pid in $TELVANO_PID $SIM_PID; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap finish EXIT

# Waits up to 30 s for a file that is not empty.
wait_for() {
  for _ in $(seq 300); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}

"$BIN/tools/pfr-sim/pfr-sim" --mode lpfr --listen 127.0.0.1:0 --uid "$UID_LPFR" --pin "$PIN" \
  --state "$WORK/pfr-sim-state.json" >"$WORK/pfr-sim.out" 2>"$WORK/pfr-sim.err" &
SIM_PID=$!
wait_for "$WORK/pfr-sim.out" || { echo "receipt-preview: pfr-sim did not start:" >&2; cat "$WORK/pfr-sim.err" >&2; exit 1; }
SIM_URL=$(head -n1 "$WORK/pfr-sim.out")

"$BIN/tools/setup/telvano-setup" --root "$WORK/install" --soft-secret "$SOFT_KEY" --add-lpfr "$SIM_URL" \
  --uid "$UID_LPFR" --install-program "$BIN/tools/rawprint/Ostrapo" >"$WORK/setup.out"
export TELVANO_REGISTRY=$WORK/install/TELVANO.conf TELVANO_LOCK_DIR=$WORK TELVANO_HEADLESS=1
EXCH=$WORK/install/ExchData
"$BIN/src/ui/telvano" "$SOFT_KEY" "$PIN" "$UID_LPFR" 2>"$WORK/telvano.err" &
TELVANO_PID=$!
if ! wait_for "$EXCH/SDC_Out/start_info.txt" || ! grep -q "OK," "$EXCH/SDC_Out/start_info.txt"; then
  echo "receipt-preview: telvano did not start:" >&2
  cat "$WORK/telvano.err" >&2
  exit 1
fi

# The demo invoice with the printer options in its BLOCK_OTHERS, written under a hidden name and renamed.
# Paid 1000 in cash for 885.48: the receipt shows the change.
awk -v printer="$PRINTER" '{ print } /^invoiceNumber,/ {
  printf "CustomizedExport,%s\r\nCustomizedSerial,png:receipt.png\r\nCustomizedKusur,114.52\r\n", printer }' \
  scripts/demo-data/INV_NS_0001.csv >"$EXCH/SDC_Inp/.INV_NS_0001.csv"
mv "$EXCH/SDC_Inp/.INV_NS_0001.csv" "$EXCH/SDC_Inp/INV_NS_0001.csv"
if ! wait_for "$WORK/install/Prints/receipt.png"; then
  echo "receipt-preview: no picture; the invoice's answer and the sender's log:" >&2
  cat "$EXCH/SDC_Out/INV_NS_0001_err.txt" "$WORK/install/TELVANO/Logs/Ostrapo_log.txt" 2>/dev/null >&2 || true
  exit 1
fi
mkdir -p "$(dirname "$OUTPUT")"
cp "$WORK/install/Prints/receipt.png" "$OUTPUT"
echo "receipt-preview: wrote $OUTPUT ($(stat -c %s "$OUTPUT") bytes)"
