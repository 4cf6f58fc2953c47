#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# Idempotent: only missing packages are installed, and the package lists are
# refreshed at most once per run, only when something has to be installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libcurl4-openssl-dev libssl-dev zlib1g-dev libpcre3-dev
  libthrift-dev thrift-compiler libprotobuf-dev protobuf-compiler
  liblog4cplus-dev libboost-dev
  libgtest-dev googletest
  publicsuffix dnsmasq-base python3 curl
  python3-chardet libopencc-data opencc
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
