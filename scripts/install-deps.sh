#!/usr/bin/env bash
# Installs the Debian packages needed to build and test quellin-lsp (run as root; a no-op when present).
set -euo pipefail
pkgs=(cmake g++ clang make nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing: ${missing[*]} =="
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
