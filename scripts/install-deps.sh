#!/usr/bin/env bash
# Installs every Debian package that Parlix needs to build, run and test.
# Idempotent: packages already present are left alone. Run as root (or with sudo).
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # windows (Qt 6 Widgets), screenshots and offscreen window tests
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev xvfb xauth x11-apps imagemagick
  # shared database
  libsqlcipher-dev sqlcipher libicu-dev
  # e-mail gateway: POP3/SMTP and MIME; HTML-only mail read as text
  libcurl4-openssl-dev libgmime-3.0-dev libxml2-dev
  # workbooks (libxml2-dev, above, streams the .xlsx sheet)
  libxlsxwriter-dev libfreexl-dev libzip-dev libpugixml-dev
  # workbook test fixtures and read-back checks: openpyxl (.xlsx), xlwt (.xls),
  # LibreOffice without its windows (CSV conversion), Gnumeric's ssconvert (BIFF5 .xls)
  python3-openpyxl python3-xlwt libreoffice-calc-nogui gnumeric
  # test peers: pty pairs, POP3 and SMTP servers on loopback
  socat dovecot-pop3d python3 python3-aiosmtpd
  # test certificate authority for the TLS mail tests
  openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
# dovecot starts a system service on install; our tests run their own instance
$SUDO systemctl disable --now dovecot >/dev/null 2>&1 || true
echo "install-deps: installed ${missing[*]}"
