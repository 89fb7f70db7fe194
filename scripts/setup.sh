#!/usr/bin/env bash
# Installs the Debian packages the build needs, skipping what is installed.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev clang libclang-rt-14-dev qt6-base-dev qt6-charts-dev
  # packaging and its checks: the .deb, its dependencies, desktop entry,
  # metadata and the icon's PNG sizes
  dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
