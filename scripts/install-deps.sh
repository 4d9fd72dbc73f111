#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks, the
# fuzzers and the packaging need. Idempotent and quiet: packages already
# present are skipped, and apt is only asked when something is missing.
set -euo pipefail

packages=(
  cmake make g++ clang lld libclang-rt-14-dev pkg-config
  libboost-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libabsl-dev
  libedit-dev libxxhash-dev nlohmann-json3-dev python3
  # Debian packages: dpkg-shlibdeps and dpkg-architecture (dpkg-dev), file
  # (CPack finds the ELF files to strip and scan with it), lintian.
  dpkg-dev file lintian
  # The API reference (make docs).
  doxygen
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/tmp/install-deps.log 2>&1; then
  # A fresh machine may have no package lists yet.
  "${sudo_cmd[@]}" apt-get update -q >>/tmp/install-deps.log 2>&1
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >>/tmp/install-deps.log 2>&1 || {
    echo "install-deps: apt-get failed; see /tmp/install-deps.log" >&2
    tail -n 20 /tmp/install-deps.log >&2
    exit 1
  }
fi
