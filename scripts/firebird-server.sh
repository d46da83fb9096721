#!/usr/bin/env bash
# A local Firebird 3.0 server (Debian 12's firebird3.0-server) for tests that need a real server they can
# stop and start again. The program itself needs none: it opens its database embedded unless DB_Fullname
# is "host:path".
#
#   scripts/firebird-server.sh install    install the package (once) and make sure SYSDBA's password is set;
#                                         waits while a test uses the server
#   scripts/firebird-server.sh start      start fbguard + firebird as user firebird; returns once a login works
#   scripts/firebird-server.sh stop       stop both; returns once nothing listens on the port any more
#   scripts/firebird-server.sh status     "running ..." (exit 0) or "not running" (exit 3)
#   scripts/firebird-server.sh password   print SYSDBA's password
#
# The server listens on 127.0.0.1:3050 only (RemoteBindAddress = localhost in Debian's firebird.conf) and
# SYSDBA gets a fixed test password, kept where Debian keeps it: /etc/firebird/3.0/SYSDBA.password (root
# only). The init script is not used: these machines run no init system, and policy-rc.d forbids it.
# FIREBIRD_START_SECONDS (default 30) bounds the wait of start and stop.
set -euo pipefail

readonly TEST_PASSWORD="telvano-test"
readonly PACKAGE="firebird3.0-server"
readonly ETC=/etc/firebird/3.0
readonly PASSWORD_FILE="$ETC/SYSDBA.password"
readonly VAR=/var/lib/firebird/3.0
readonly SECURITY_DB="$VAR/system/security3.fdb"
readonly LOG_DIR=/var/log/firebird
readonly SERVER_LOG="$LOG_DIR/firebird3.0.log"
readonly RUN_DIR=/run/firebird3.0
readonly PID_FILE="$RUN_DIR/firebird.pid"
readonly FBGUARD=/usr/sbin/fbguard
readonly FBSERVER=/usr/sbin/firebird
# The server's lock folder: Firebird's default, the same one that embedded users on this machine share.
readonly LOCK_DIR=/tmp/firebird
readonly HOST=127.0.0.1
readonly PORT=3050
readonly WAIT_SECONDS="${FIREBIRD_START_SECONDS:-30}"
# The file lock that a test holds while it uses the server (tests/support/firebird_server.cpp). `install` takes
# it too: run by another checkout's scripts/test.sh it would otherwise stop the server under a running test.
readonly SERVER_LOCK=/tmp/telvano-firebird-server.lock
readonly SERVER_LOCK_SECONDS=600

say() { echo "firebird-server: $*"; }
die() {
  echo "firebird-server: $*" >&2
  exit 1
}

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || die "'$1' needs root (or sudo)"
    exec sudo --preserve-env=FIREBIRD_START_SECONDS "$0" "$@"
  fi
}

package_installed() {
  dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"
}

# SYSDBA's password as Debian's SYSDBA.password holds it (a shell fragment: ISC_USER=..., ISC_PASSWORD=...).
stored_password() {
  [ -r "$PASSWORD_FILE" ] || return 0
  (
    ISC_PASSWORD=""
    # shellcheck disable=SC1090
    . "$PASSWORD_FILE"
    printf '%s' "$ISC_PASSWORD"
  )
}

write_password_file() {
  umask 077
  cat >"$PASSWORD_FILE.tmp" <<EOF
# Password for firebird SYSDBA user (a fixed test password, set by scripts/firebird-server.sh install;
# the server listens on localhost only). Keep it in step with the security database.

ISC_USER=sysdba
ISC_PASSWORD="$TEST_PASSWORD"
EOF
  chmod 0600 "$PASSWORD_FILE.tmp"
  mv -f "$PASSWORD_FILE.tmp" "$PASSWORD_FILE"
}

# Something accepts TCP connections on the port.
port_open() { (exec 3<>"/dev/tcp/$HOST/$PORT") 2>/dev/null; }

# A login as SYSDBA through the server works (the services manager needs no database). What the last
# attempt printed stays in LOGIN_OUTPUT.
LOGIN_OUTPUT=""
login_works() {
  local password="$1"
  LOGIN_OUTPUT="$(env -u ISC_USER -u ISC_PASSWORD fbsvcmgr "$HOST/$PORT:service_mgr" user SYSDBA \
    password "$password" info_server_version 2>&1)"
}

login_refused() { [[ "$LOGIN_OUTPUT" == *"user name and password are not defined"* ]]; }

fbguard_pids() { pidof "$FBGUARD" 2>/dev/null || true; }
server_pids() { pidof "$FBSERVER" 2>/dev/null || true; }
running() { [ -n "$(fbguard_pids)$(server_pids)" ]; }

# Everything the server (user firebird) writes must be firebird's. A lock folder or lock files that a root
# process made before the firebird account existed stay root's, and then the server ends at once ("startup
# error") or every login fails ("I/O error during open ... /tmp/firebird/fb_init ... Permission denied").
# The lock folder is handed over file by file, not emptied: embedded users may be using it this very moment,
# and they add and remove their databases' lock files all the time. A file that is gone before it could be
# handed over is no matter (a chown -R over the folder failed then, and with it the start); one that is still
# there and cannot be handed over is. Since the account exists, Firebird gives most of what a root process
# makes there to firebird itself (not fb_rename_guard), so the list is short.
fix_lock_folder() {
  install -d -o firebird -g firebird -m 0770 "$LOCK_DIR"
  # Gone is no matter, even when a file of the same name is there again by now (a database's lock file comes
  # back with the same name): that one was made after the list and is handed over by Firebird itself.
  local failures
  failures=$(LC_ALL=C find "$LOCK_DIR" -mindepth 1 \( ! -user firebird -o ! -group firebird \) \
    -exec chown firebird:firebird {} + 2>&1 | grep -v "No such file or directory" || true)
  [ -z "$failures" ] || die "cannot give what is in $LOCK_DIR to firebird: $failures"
}

fix_ownership() {
  install -d -o firebird -g firebird -m 0770 "$RUN_DIR" "$LOG_DIR"
  fix_lock_folder
  chown -R firebird:firebird "$VAR"
  [ -e "$SERVER_LOG" ] && chown firebird:firebird "$SERVER_LOG"
  return 0
}

server_log_tail() {
  [ -r "$SERVER_LOG" ] && grep -v '^[[:space:]]*$' "$SERVER_LOG" | tail -n 8 | sed 's/^/  | /' >&2
  return 0
}

# Starts fbguard (which starts firebird) unless the server runs already.
launch_server() {
  running && return 0
  command -v "$FBGUARD" >/dev/null || die "$PACKAGE is not installed: run '$0 install' first"
  fix_ownership
  rm -f "$PID_FILE"
  # The server reads only firebird.conf: no lock folder or installation root from the caller's environment.
  env -u FIREBIRD_LOCK -u FIREBIRD -u ISC_USER -u ISC_PASSWORD \
    start-stop-daemon --start --quiet --chuid firebird:firebird --pidfile "$PID_FILE" --exec "$FBGUARD" \
    -- -daemon -forever -pidfile "$PID_FILE" </dev/null >/dev/null 2>&1 9>&- ||
    die "start-stop-daemon could not start $FBGUARD"
}

# Waits until the port is open and, given a password, until SYSDBA can log in with it.
wait_for_server() {
  local password="$1"
  local deadline=$((SECONDS + WAIT_SECONDS))
  LOGIN_OUTPUT=""
  until port_open && { [ -z "$password" ] || login_works "$password"; }; do
    if login_refused; then
      echo "firebird-server: the server refuses SYSDBA's password from $PASSWORD_FILE: run '$0 install'" >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      local what="does not listen on $HOST:$PORT"
      port_open && what="listens on $HOST:$PORT but SYSDBA cannot log in (${LOGIN_OUTPUT:-no answer})"
      echo "firebird-server: the server $what after ${WAIT_SECONDS}s" >&2
      echo "firebird-server: fbguard: '$(fbguard_pids)', firebird: '$(server_pids)'; $SERVER_LOG ends with:" >&2
      server_log_tail
      return 1
    fi
    sleep 0.1
  done
}

start_server() {
  launch_server
  wait_for_server "$(stored_password)" || exit 1
  say "running on $HOST:$PORT (fbguard $(fbguard_pids), firebird $(server_pids))"
}

stop_server() {
  if ! running; then
    say "not running"
  else
    # The guard first: it would start a new server as soon as the old one ends.
    start-stop-daemon --stop --quiet --oknodo --retry "TERM/$WAIT_SECONDS/KILL/5" --exec "$FBGUARD"
    start-stop-daemon --stop --quiet --oknodo --retry "TERM/$WAIT_SECONDS/KILL/5" --exec "$FBSERVER"
  fi
  local deadline=$((SECONDS + WAIT_SECONDS))
  while port_open; do
    [ "$SECONDS" -lt "$deadline" ] || die "$HOST:$PORT is still taken ${WAIT_SECONDS}s after the stop"
    sleep 0.1
  done
  rm -f "$PID_FILE"
  running && die "firebird processes are still there after the stop: $(fbguard_pids) $(server_pids)"
  say "stopped"
}

# Sets the password in the security database directly (embedded, as Debian's own postinst does). The server
# must not run: it holds security3.fdb exclusively.
set_password_offline() {
  local quoted=${TEST_PASSWORD//\'/\'\'}
  echo "create or alter user SYSDBA password '$quoted';" |
    env -u ISC_USER -u ISC_PASSWORD isql-fb -q -user SYSDBA "$SECURITY_DB" >/dev/null ||
    die "could not set SYSDBA's password in $SECURITY_DB"
}

install_server() {
  exec 9>>"$SERVER_LOCK"
  flock -w "$SERVER_LOCK_SECONDS" 9 || die "a test has held the server ($SERVER_LOCK) for over ${SERVER_LOCK_SECONDS}s"
  if ! package_installed; then
    say "installing $PACKAGE"
    # Debian asks for SYSDBA's password on a first install; the preseeded answer keeps it non-interactive.
    echo "$PACKAGE shared/firebird/sysdba_password/first_install password $TEST_PASSWORD" | debconf-set-selections
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$PACKAGE" >/dev/null
  fi
  [ -e "$SECURITY_DB" ] || die "$PACKAGE left no security database at $SECURITY_DB"
  # On a machine with systemd the package starts its own service; this script is to be the only one
  # that starts and stops the server.
  if [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
    systemctl disable --now firebird3.0.service >/dev/null 2>&1 || true
  fi

  # The package's postinst sets the preseeded password only when invoke-rc.d reports that it started the
  # server, and it ignores the answer on upgrades or reinstalls: so the password is checked through a real
  # login, and set here when the login fails.
  local was_running=0
  running && was_running=1
  launch_server
  wait_for_server "" || exit 1
  if [ "$(stored_password)" != "$TEST_PASSWORD" ] || ! login_works "$TEST_PASSWORD"; then
    say "setting SYSDBA's password"
    stop_server >/dev/null
    set_password_offline
    write_password_file
    launch_server
    wait_for_server "$TEST_PASSWORD" || die "SYSDBA cannot log in with the test password after setting it"
  fi
  [ "$was_running" -eq 1 ] || stop_server >/dev/null
  say "installed; SYSDBA's password is in $PASSWORD_FILE"
}

status_server() {
  if running && port_open; then
    say "running on $HOST:$PORT (fbguard $(fbguard_pids), firebird $(server_pids))"
  elif running; then
    say "starting or stopping (fbguard $(fbguard_pids), firebird $(server_pids)), $HOST:$PORT not open"
    exit 3
  else
    say "not running"
    exit 3
  fi
}

case "${1:-}" in
  install) need_root "$@"; install_server ;;
  start) need_root "$@"; start_server ;;
  stop) need_root "$@"; stop_server ;;
  status) status_server ;;
  password)
    need_root "$@"
    password="$(stored_password)"
    [ -n "$password" ] || die "no SYSDBA password in $PASSWORD_FILE: run '$0 install'"
    printf '%s\n' "$password"
    ;;
  *)
    echo "usage: $0 install|start|stop|status|password" >&2
    exit 2
    ;;
esac
