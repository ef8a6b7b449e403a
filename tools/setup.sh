#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, skipping those present:
# the g++ build, the clang build with sanitizers and libFuzzer (libclang-rt-14-dev holds
# their runtimes), libxml2 for the fuzz harnesses, and the tools the end-to-end tests use
# (Chromium with its driver and Selenium for the web page); then the packages named as
# arguments.
set -euo pipefail
packages=(g++ clang libclang-rt-14-dev cmake ninja-build libgtest-dev libxml2-dev python3
          libxml2-utils gdal-bin chromium chromium-driver python3-selenium "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  # sudo resets the environment: the setting goes in through env.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
fi
