#!/usr/bin/env bash
# Packages the VS Code extension into <out-dir>/quellin-<version>.vsix (out-dir defaults to dist/).
# Needs this folder's npm packages (npm ci); runs without network access and never asks anything.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/dist}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cd "$here"
if [ ! -x node_modules/.bin/vsce ]; then
  echo "package.sh: node_modules/.bin/vsce is missing — run 'npm ci' in $here first" >&2
  exit 1
fi
version="$(node -p "require('./package.json').version")"
vsix="$out/quellin-$version.vsix"
rm -f "$vsix"
# A local package needs no repository link and no licence file; without these flags vsce would stop
# and ask whether to go on. Its standard input is closed so that any other question fails at once.
node_modules/.bin/vsce package --out "$vsix" --allow-missing-repository --skip-license </dev/null
echo "$vsix"
