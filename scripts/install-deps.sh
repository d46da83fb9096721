#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running TELVANO needs.
# Idempotent and quiet: packages already present are left alone.
#   --fuzz   also what the fuzz targets need (clang with its sanitizer and libFuzzer runtimes, llvm-symbolizer);
#            only tests/fuzz/run.sh and CI ask for it.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ccache git
  firebird3.0-server-core firebird-dev libfbclient2 firebird3.0-utils
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  nlohmann-json3-dev libfmt-dev libicu-dev
  qt6-base-dev libgl-dev
  libcpp-httplib-dev libqrencode-dev libgif-dev zbar-tools
  libgtest-dev libgmock-dev
  libsystemd-dev   # sd_notify: readiness and the watchdog under systemd
  xvfb xdotool xclip   # the operator's windows on a real X display in the end-to-end tests
  nodejs chromium fonts-dejavu-core   # the API's OpenAPI lint and the web POS page in headless Chromium
)
FUZZ_PACKAGES=(clang libclang-rt-14-dev llvm)

for arg in "$@"; do
  case $arg in
    --fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
    *) echo "install-deps: unknown option $arg (known: --fuzz)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
