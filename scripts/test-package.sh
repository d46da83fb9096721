#!/usr/bin/env bash
# The Debian packages from end to end on this machine (root, Debian 12): builds them (scripts/package.sh, with
# lintian), installs telvano and telvano-sim with apt-get, checks the unit (systemd-analyze verify, and its
# exposure figure against EXPOSURE_MAX), makes the system installation with the installed telvano-setup,
# starts the installed pfr-sim as the local processor and the installed telvano the way telvano.service does
# (its user and groups, its environment lines, the environment file, its umask, its runtime folder and, where
# a mount namespace can be made, the file-system part of its sandbox; systemd is not needed), fiscalises one
# invoice printed through the linked Ostrapo, checks its notices to systemd, takes the nightly backup as
# telvano-backup.service does and runs the status check, stops telvano with STOP-TELVANO, imports a PFX made by the
# packaged make-test-pki.sh against the installed pfr-sim as a VPFR, and removes telvano-sim, then telvano.
# It refuses to run where a system installation or one of the packages already exists, and leaves none.
#   BUILD_DIR=DIR    where the packages are built (default build-package; CI packages the suite's build/)
#   KEEP_DEB=1       reuse DIR/telvano*_*.deb when they are there (no build, no lintian)
#   EXPOSURE_MAX=X   the highest exposure figure of `systemd-analyze security` that passes (default 2.5)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
UNIT=/lib/systemd/system/telvano.service
BACKUP_UNIT=/lib/systemd/system/telvano-backup.service
TIMER=/lib/systemd/system/telvano-backup.timer
EXPOSURE_MAX=${EXPOSURE_MAX:-2.5}
CONF=/etc/xdg/Dravicor/TELVANO.conf
DATA=/var/lib/telvano
RUN=/run/telvano
ENV_FILE=/etc/telvano/telvano.env
SOFT_KEY=pkg-kasa
PIN=4321
UID_LPFR=PKGT0001

[ "$(id -u)" -eq 0 ] || { echo "test-package: needs root (apt-get, a system user)" >&2; exit 2; }
for package in telvano telvano-sim; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    echo "test-package: the package $package is installed already; remove it first" >&2; exit 2
  fi
done
for place in "$CONF" "$DATA" "$ENV_FILE"; do
  [ ! -e "$place" ] || { echo "test-package: $place exists (a real installation?); not touching it" >&2; exit 2; }
done

PASSED=0
FAILED=0
check() {  # check "what" command...
  local what=$1
  shift
  if "$@"; then
    PASSED=$((PASSED + 1)); echo "ok     $what"
  else
    FAILED=$((FAILED + 1)); echo "FAILED $what"
  fi
}

WORK=$(mktemp -d)
SIM_PID=""
VPFR_PID=""
TELVANO_PID=""
NOTIFY_PID=""
stop_process() {  # SIGTERM, then SIGKILL after 10 s
  [ -n "$1" ] || return 0
  kill -TERM "$1" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  trap - EXIT INT TERM
  stop_process "$TELVANO_PID"
  stop_process "$NOTIFY_PID"
  stop_process "$SIM_PID"
  stop_process "$VPFR_PID"
  # Removed (by the test) and purged, so the machine is as it was, apart from the system user.
  for package in telvano-sim telvano; do
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null 2>&1 || true
  done
  rm -rf "$DATA" "$CONF" "$RUN" "$ENV_FILE" "$WORK"
  rmdir /etc/xdg/Dravicor /etc/telvano 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# 1. The packages, built and checked by lintian (errors and warnings fail; the documented overrides apply).
DEB=$(ls "${BUILD_DIR:-build-package}"/telvano_*.deb 2>/dev/null | head -n1 || true)
SIM_DEB=$(ls "${BUILD_DIR:-build-package}"/telvano-sim_*.deb 2>/dev/null | head -n1 || true)
if [ "${KEEP_DEB:-0}" != 1 ] || [ -z "$DEB" ] || [ -z "$SIM_DEB" ]; then
  LINTIAN=1 scripts/package.sh >"$WORK/package.out" 2>"$WORK/package.err" || {
    tail -n 40 "$WORK/package.err"; echo "test-package: building the packages failed"; exit 1; }
  DEB=$(tail -n2 "$WORK/package.out" | head -n1)
  SIM_DEB=$(tail -n1 "$WORK/package.out")
fi
echo "test-package: $DEB $SIM_DEB"
control_field() { dpkg-deb -f "$1" "$2"; }
check "the packages are telvano and telvano-sim" \
  test "$(control_field "$DEB" Package) $(control_field "$SIM_DEB" Package)" = "telvano telvano-sim"
check "telvano needs nothing of telvano-sim" \
  bash -c "! dpkg-deb -f '$DEB' Pre-Depends Depends Recommends | grep -q telvano-sim"

# The checkers: systemd's tools and man (systemd-analyze verify looks up the unit's manual pages).
for tool in systemd-analyze:systemd man:man-db; do
  command -v "${tool%%:*}" >/dev/null && continue
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${tool#*:}" >/dev/null 2>&1 ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${tool#*:}" >/dev/null; }
done

# 2. Installed the way a user installs them; apt-get brings the dependencies.
(cd "$(dirname "$DEB")" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$(basename "$DEB")" \
  "./$(basename "$SIM_DEB")") >"$WORK/apt-install.out" 2>&1 ||
  { cat "$WORK/apt-install.out"; echo "test-package: apt-get install failed"; exit 1; }
owner() { dpkg-query -S "$1" 2>/dev/null | sed 's/: .*//'; }
owners() { for file in "$@"; do owner "$file"; done | xargs; }
check "telvano: the programs in /usr/bin, the print sender in /usr/lib/telvano, the units" \
  test "$(owners /usr/bin/telvano /usr/bin/telvano-setup /usr/lib/telvano/Ostrapo "$UNIT" "$BACKUP_UNIT" "$TIMER")" \
  = "telvano telvano telvano telvano telvano telvano"
check "the nightly backup's timer is enabled" test -L /etc/systemd/system/timers.target.wants/telvano-backup.timer
check "telvano-sim: pfr-sim and the test PKI script" \
  test "$(owners /usr/bin/pfr-sim /usr/share/telvano/make-test-pki.sh)" = "telvano-sim telvano-sim"
check "manual pages, each in its program's package" \
  test "$(owners "$(man -w telvano)" "$(man -w telvano-setup)" "$(man -w Ostrapo)" "$(man -w pfr-sim)")" \
  = "telvano telvano telvano telvano-sim"
check "the service's system user" bash -c "getent passwd telvano >/dev/null"

# 3. The unit as systemd reads it (verify reads the file and the programs and pages it names; no running
# systemd is needed), and how much of the machine its sandbox leaves to the program.
check "systemd-analyze verify telvano.service telvano-backup.service telvano-backup.timer" \
  systemd-analyze verify "$UNIT" "$BACKUP_UNIT" "$TIMER"
check "telvano.service tells systemd when it is ready and pings its watchdog" \
  test "$(sed -n 's/^Type=//p' "$UNIT") $(sed -n 's/^WatchdogSec=//p' "$UNIT")" = "notify 10min"
check "the timer makes up for a night the machine was off" grep -qx 'Persistent=true' "$TIMER"
for unit in "$UNIT" "$BACKUP_UNIT"; do
  name=$(basename "$unit")
  systemd-analyze security --offline=true "$unit" >"$WORK/security.out" 2>&1 || true
  EXPOSURE=$(sed -n "s/.*Overall exposure level for $name: \([0-9.]*\).*/\1/p" "$WORK/security.out")
  echo "test-package: $(tail -n1 "$WORK/security.out")"
  check "exposure of the installed $name ${EXPOSURE:-unknown} <= $EXPOSURE_MAX" \
    awk -v e="${EXPOSURE:-99}" -v max="$EXPOSURE_MAX" 'BEGIN { exit !(e != "" && e + 0 <= max + 0) }'
done

# 4. The local processor, from the installed simulator.
/usr/bin/pfr-sim --mode lpfr --listen 127.0.0.1:0 --uid "$UID_LPFR" --pin "$PIN" >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!
for _ in $(seq 100); do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
SIM_URL=$(head -n1 "$WORK/sim.out")
[ -n "$SIM_URL" ] || { cat "$WORK/sim.err"; echo "test-package: pfr-sim did not start"; exit 1; }

# 5. The machine's installation, then the simulator registered as its working certificate (PIN, tax groups,
# a test invoice), as the demo does.
/usr/bin/telvano-setup --system --login-secret pkg-login --soft-secret "$SOFT_KEY" >"$WORK/setup.out" 2>&1 ||
  { cat "$WORK/setup.out"; exit 1; }
SERIAL=$(/usr/bin/telvano-setup --system --register-lpfr "$SIM_URL" --pin "$PIN" --developer-tin 123456789 \
  2>>"$WORK/setup.out") || { cat "$WORK/setup.out"; exit 1; }
check "the simulator registered as working certificate ($SERIAL)" test "$SERIAL" = "$UID_LPFR"
check "the configuration where telvano looks by default" grep -qx "Appl_Root=$DATA/TELVANO" "$CONF"
check "what the registration wrote as root belongs to telvano" \
  test -z "$(find "$DATA" -not -user telvano -not -type l -print -quit)"
check "the data belongs to telvano" test "$(stat -c %U:%G "$DATA/Data/TELVANO.FDB")" = telvano:telvano
check "Ostrapo linked into RunTime" test "$(readlink "$DATA/TELVANO/RunTime/Ostrapo")" = /usr/lib/telvano/Ostrapo
EXCH=$DATA/ExchData

# 6. telvano started as telvano.service starts it. The three parameters go into the root-only environment
# file, as the README tells the user to do.
install -d -m 0755 /etc/telvano
install -m 0600 /dev/null "$ENV_FILE"
printf 'TELVANO_SOFTKEY=%s\nTELVANO_PIN=%s\nTELVANO_SERIAL=%s\n' "$SOFT_KEY" "$PIN" "$UID_LPFR" >"$ENV_FILE"
unit_value() { sed -n "s/^$1=//p" "$UNIT"; }
SERVICE_USER=$(unit_value User)
SERVICE_GROUP=$(unit_value Group)
RUNTIME_DIR=/run/$(unit_value RuntimeDirectory)
install -d -m "$(unit_value RuntimeDirectoryMode)" -o "$SERVICE_USER" -g "$SERVICE_GROUP" "$RUNTIME_DIR"
# Its identity: the user, the user's groups and SupplementaryGroups=; no capabilities and no new privileges.
GROUPS_LIST=$(id -Gn "$SERVICE_USER" | tr ' ' ,)
for group in $(unit_value SupplementaryGroups); do GROUPS_LIST=$GROUPS_LIST,$group; done
IDENTITY=(--reuid="$SERVICE_USER" --regid="$SERVICE_GROUP" --groups="$GROUPS_LIST")
[ "$(unit_value NoNewPrivileges)" != yes ] || IDENTITY+=(--no-new-privs)
if grep -qx 'CapabilityBoundingSet=' "$UNIT"; then IDENTITY+=(--bounding-set=-all --inh-caps=-all); fi
# Its view of the files, in a mount namespace of its own, as far as mount(8) can build it without systemd:
# everything read-only (ProtectSystem=strict, ProtectHome=read-only, ProtectKernelTunables= and
# ProtectControlGroups= for /sys) but the ReadWritePaths= and the runtime folder, its own /tmp and /var/tmp
# (PrivateTmp=) and a /proc of its own processes (ProtectProc=, ProcSubset=). The system-call filters, the
# device list and the address families need systemd itself. (mount -n: nothing is noted in the machine's
# /run/mount.)
SANDBOX=0
READ_WRITE=("$RUNTIME_DIR")
for path in $(unit_value ReadWritePaths); do
  path=${path#-}
  [ ! -d "$path" ] || READ_WRITE+=("$path")
done
PROC_OPTIONS=nosuid,nodev,noexec
[ -z "$(unit_value ProtectProc)" ] || PROC_OPTIONS=$PROC_OPTIONS,hidepid=$(unit_value ProtectProc)
[ "$(unit_value ProcSubset)" != pid ] || PROC_OPTIONS=$PROC_OPTIONS,subset=pid
install -d -m 1777 "$WORK/private-tmp"
# shellcheck disable=SC2016  # expanded by the shell inside the namespace
MOUNT_SANDBOX='
set -euo pipefail
private_tmp=$1 proc_options=$2
shift 2
read_write=()
while [ "$1" != -- ]; do read_write+=("$1"); shift; done
shift
stays_writable() {
  local p
  for p in "${read_write[@]}" /tmp /var/tmp; do case $1/ in "$p"/*) return 0 ;; esac; done
  return 1
}
for p in "${read_write[@]}"; do mount -n --rbind "$p" "$p"; done
mount -n --bind "$private_tmp" /var/tmp
mount -n --bind "$private_tmp" /tmp
findmnt -rn -o TARGET | while IFS= read -r target; do
  target=$(printf "%b" "$target")
  case $target/ in /proc/*|/dev/*) continue ;; esac
  stays_writable "$target" || mount -n -o remount,bind,ro "$target"
done
mount -n -t proc -o "$proc_options" proc /proc
exec "$@"
'
if [ "$(unit_value ProtectSystem)" = strict ] && [ "$(unit_value PrivateTmp)" = yes ] &&
   unshare --mount --propagation private true 2>/dev/null; then
  SANDBOX=1
else
  echo "test-package: no mount namespace here (or a unit this start cannot imitate): telvano runs with the" \
    "unit's user, groups and capabilities, not its file-system sandbox"
fi
# systemd's notify socket, played by a datagram socket in the runtime folder that notes every notice.
NOTICES=$WORK/notices.txt
if command -v python3 >/dev/null; then
  python3 -c '
import os, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o666)
with open(sys.argv[2], "a") as out:
    print("listening", file=out, flush=True)
    while True:
        print(s.recv(4096).decode(), "--", sep="\n", file=out, flush=True)
' "$RUNTIME_DIR/notify" "$NOTICES" &
  NOTIFY_PID=$!
  for _ in $(seq 50); do [ -s "$NOTICES" ] && break; sleep 0.1; done
fi
(
  set -a
  # shellcheck disable=SC1090
  . "$ENV_FILE"
  while IFS= read -r assignment; do export "${assignment?}"; done < <(unit_value Environment)
  set +a
  export HOME=$DATA USER=$SERVICE_USER LOGNAME=$SERVICE_USER
  [ -z "$NOTIFY_PID" ] || export NOTIFY_SOCKET=$RUNTIME_DIR/notify
  umask "$(unit_value UMask)"
  cd /
  read -ra EXEC_START <<<"$(unit_value ExecStart)"
  if [ "$SANDBOX" = 1 ]; then
    exec unshare --mount --propagation private bash -c "$MOUNT_SANDBOX" sandbox "$WORK/private-tmp" \
      "$PROC_OPTIONS" "${READ_WRITE[@]}" -- setpriv "${IDENTITY[@]}" "${EXEC_START[@]}"
  fi
  exec setpriv "${IDENTITY[@]}" "${EXEC_START[@]}"
) 2>"$WORK/telvano.err" &
TELVANO_PID=$!
for _ in $(seq 300); do [ -s "$EXCH/SDC_Out/start_info.txt" ] && break; sleep 0.1; done
START=$(tr -d '\r\357\273\277' <"$EXCH/SDC_Out/start_info.txt" 2>/dev/null || true)
check "unattended start from the environment file ($START)" test "${START%%,*}" = OK
check "no secret on the command line" test "$(tr '\0' ' ' </proc/$TELVANO_PID/cmdline)" = "/usr/bin/telvano "
check "no secret in the environment" \
  bash -c "! grep -qa -e '$SOFT_KEY' -e TELVANO_SOFTKEY -e TELVANO_PIN -e '$UID_LPFR' /proc/$TELVANO_PID/environ"
check "runs as the service user" test "$(stat -c %U /proc/$TELVANO_PID)" = "$SERVICE_USER"
status_line() { sed -n "s/^$1:[[:space:]]*//p" "/proc/$TELVANO_PID/status"; }
in_groups() {  # in_groups GROUP...: each is one of telvano's supplementary groups
  local groups group
  groups=" $(status_line Groups) "
  for group in "$@"; do [[ $groups == *" $(getent group "$group" | cut -d: -f3) "* ]] || return 1; done
}
# shellcheck disable=SC2046
check "with the printers' groups ($(unit_value SupplementaryGroups))" in_groups $(unit_value SupplementaryGroups)
check "no capabilities, no new privileges" test "$(status_line CapBnd) $(status_line NoNewPrivs)" = "0000000000000000 1"
if [ "$SANDBOX" = 1 ]; then
  in_sandbox() { nsenter --target "$TELVANO_PID" --mount -- "$@"; }
  check "in its sandbox /usr, /etc and the configuration are read-only, its data and runtime folder writable" \
    in_sandbox bash -c "! test -w /usr/bin && ! test -w /etc && ! test -w '$CONF' && test -w '$EXCH/SDC_Out' &&
      test -w '$RUNTIME_DIR'"
  check "it has a /tmp of its own" test "$(stat -c %d:%i /tmp)" != "$(in_sandbox stat -c %d:%i /tmp)"
  check "of /proc it sees its own processes only" \
    in_sandbox setpriv "${IDENTITY[@]}" bash -c 'test -d /proc/self && ! test -e /proc/1'
fi

# 7. One invoice, printed to a file port through the linked Ostrapo.
INVOICE=INV_NS_PKG0001
sed 's/^invoiceNumber,.*/invoiceNumber,PKG-0001\r/' scripts/demo-data/INV_NS_0001.csv \
  | awk -v port="file:$INVOICE.bin" \
      '{print} /^BLOCK_OTHERS/ {print "CustomizedExport,EPSON\r"; print "CustomizedSerial," port "\r"}' \
  >"$WORK/$INVOICE.csv"
cp "$WORK/$INVOICE.csv" "$EXCH/SDC_Inp/.$INVOICE.csv" && mv "$EXCH/SDC_Inp/.$INVOICE.csv" "$EXCH/SDC_Inp/$INVOICE.csv"
for _ in $(seq 600); do
  [ -e "$EXCH/SDC_Out/${INVOICE}_basic.csv" ] || [ -e "$EXCH/SDC_Out/${INVOICE}_err.txt" ] && break
  sleep 0.1
done
check "the invoice is fiscalised" test -s "$EXCH/SDC_Out/${INVOICE}_basic.csv"
[ ! -e "$EXCH/SDC_Out/${INVOICE}_err.txt" ] || cat "$EXCH/SDC_Out/${INVOICE}_err.txt"
check "the receipt's verification URL" grep -q "^http" "$EXCH/SDC_Out/${INVOICE}_vurl.txt"
check "the simulator signed it ($UID_LPFR)" grep -q "$UID_LPFR" "$EXCH/SDC_Out/${INVOICE}_journal.txt"
for _ in $(seq 100); do [ -s "$DATA/Prints/$INVOICE.bin" ] && break; sleep 0.1; done
check "printed through RunTime/Ostrapo: ESC @ ... GS V A" \
  bash -c "od -An -tx1 -v '$DATA/Prints/$INVOICE.bin' | tr -d ' \n' | grep -q '^1b40.*1d5641'"
check "result files readable for the group, not for others" \
  test "$(stat -c %a:%G "$EXCH/SDC_Out/${INVOICE}_basic.csv")" = 640:telvano

# 8. What it told systemd, the nightly backup while it runs, and the status check.
if [ -n "$NOTIFY_PID" ]; then
  check "READY=1 and a status line reached the notify socket" \
    bash -c "grep -qx READY=1 '$NOTICES' && grep -q '^STATUS=$UID_LPFR LPFR' '$NOTICES'"
  # The invoice's tick pauses after it: the next ping comes a few seconds later.
  for _ in $(seq 100); do [ "$(grep -cx WATCHDOG=1 "$NOTICES")" -ge 2 ] && break; sleep 0.1; done
  check "every tick pings the watchdog" bash -c "test \$(grep -cx WATCHDOG=1 '$NOTICES') -ge 2"
fi
read -ra BACKUP_START <<<"$(sed -n 's/^ExecStart=//p' "$BACKUP_UNIT")"
BACKUP_USER=$(sed -n 's/^User=//p' "$BACKUP_UNIT")
setpriv --reuid="$BACKUP_USER" --regid="$BACKUP_USER" --init-groups "${BACKUP_START[@]}" >"$WORK/backup.out" 2>&1 ||
  cat "$WORK/backup.out"
TODAYS_BACKUP=$DATA/Data/BackupDB/TELVANO_$(date +%F).mlf
check "telvano-backup.service's command: the running telvano takes the backup" \
  bash -c "grep -q 'by the running TELVANO' '$WORK/backup.out' && test -s '$TODAYS_BACKUP'"
check "the backup belongs to telvano" test "$(stat -c %U "$TODAYS_BACKUP")" = telvano
STATUS_CODE=0
/usr/bin/telvano-setup --system --status >"$WORK/status.out" 2>&1 || STATUS_CODE=$?
echo "test-package: $(head -n1 "$WORK/status.out")"
check "telvano-setup --system --status: all well, from the running program ($STATUS_CODE)" \
  bash -c "test $STATUS_CODE = 0 && grep -q '^program: running (pid $TELVANO_PID, unattended' '$WORK/status.out'"

# 9. STOP-TELVANO ends it with exit code 0 (Restart=on-failure leaves it stopped).
printf 'STOP-TELVANO,\r\n' >"$EXCH/SDC_Inp/.CMD_PKG_STOP.csv" && mv "$EXCH/SDC_Inp/.CMD_PKG_STOP.csv" "$EXCH/SDC_Inp/CMD_PKG_STOP.csv"
for _ in $(seq 300); do kill -0 "$TELVANO_PID" 2>/dev/null || break; sleep 0.1; done
CODE=running
if ! kill -0 "$TELVANO_PID" 2>/dev/null; then
  CODE=0
  wait "$TELVANO_PID" || CODE=$?
  TELVANO_PID=""
fi
check "STOP-TELVANO ends telvano with exit code 0 ($CODE)" test "$CODE" = 0
check "the stop notice" grep -q "OK," "$EXCH/SDC_Out/stop_info.txt"
check "its messages reach stderr, which systemd sends to the journal" test -s "$WORK/telvano.err"
[ -z "$NOTIFY_PID" ] || check "STOPPING=1 on the way out" grep -qx STOPPING=1 "$NOTICES"

# 10. A virtual processor from the installed files only: the packaged test PKI, the simulator over HTTPS and
# the taxpayer's legacy PFX imported into an installation of its own.
PKI="$WORK/pki"
check "the packaged make-test-pki.sh makes a VPFR's certificates" \
  bash -c "/usr/share/telvano/make-test-pki.sh '$PKI' >'$WORK/pki.out' 2>&1 && test -s '$PKI/client-legacy.p12'"
/usr/bin/pfr-sim --mode vpfr --listen 127.0.0.1:0 --cert "$PKI/server.pem" --key "$PKI/server.key" \
  --client-ca "$PKI/ca.pem" >"$WORK/vpfr.out" 2>"$WORK/vpfr.err" &
VPFR_PID=$!
for _ in $(seq 100); do [ -s "$WORK/vpfr.out" ] && break; sleep 0.1; done
VPFR_URL=$(head -n1 "$WORK/vpfr.out")
check "pfr-sim serves a VPFR with them ($VPFR_URL)" test "${VPFR_URL%%://*}" = https
/usr/bin/telvano-setup --root "$WORK/vshop" --login-secret pkg-login --soft-secret "$SOFT_KEY" \
  >"$WORK/vsetup.out" 2>&1 || cat "$WORK/vsetup.out"
# The simulator's server certificate comes from the test CA, which no system store holds.
echo "SdcCaFile=$PKI/ca.pem" >>"$WORK/vshop/TELVANO.conf"
VPFR_SERIAL=$(/usr/bin/telvano-setup --root "$WORK/vshop" --import-pfx "$PKI/client-legacy.p12" \
  --pfx-password test1234 --pac ABC123 --url "$VPFR_URL" --developer-tin 123456789 2>"$WORK/import.err") ||
  cat "$WORK/import.err"
check "the legacy PFX imported as working certificate ($VPFR_SERIAL)" test "$VPFR_SERIAL" = "$(cat "$PKI/client.serial")"
stop_process "$VPFR_PID"

# 11. Removed again: the simulator first, which leaves telvano as it was, then telvano; the data stays (fiscal
# records are never removed with the program).
apt_remove() {
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$1" >>"$WORK/apt-remove.out" 2>&1 || cat "$WORK/apt-remove.out"
}
apt_remove telvano-sim
check "apt-get remove telvano-sim takes pfr-sim and the PKI script away" \
  test ! -e /usr/bin/pfr-sim -a ! -e /usr/share/telvano/make-test-pki.sh
check "and leaves telvano installed and working" \
  bash -c "dpkg-query -W -f='\${Status}' telvano | grep -q 'install ok installed' &&
    /usr/bin/telvano-setup --help >/dev/null && test -x /usr/lib/telvano/Ostrapo"
apt_remove telvano
check "apt-get remove telvano takes the programs away" test ! -e /usr/bin/telvano -a ! -e /usr/lib/telvano/Ostrapo
check "and leaves the data" test -s "$DATA/Data/TELVANO.FDB"

if [ "$FAILED" -ne 0 ]; then
  echo "--- telvano's stderr"; tail -n 30 "$WORK/telvano.err" || true
  echo "--- its log"; tail -n 30 "$DATA/TELVANO/Logs/TELVANO_log.txt" 2>/dev/null || true
fi
echo "package: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
