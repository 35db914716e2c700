#!/usr/bin/env bash
# Installs what building and testing quellin-lsp needs (run as root; a no-op when all is present):
# the Debian packages, Node.js for the editor-client test, the editors whose integrations are tested
# (Neovim, Vim, Emacs with eglot), and the pinned npm packages of the client test and the VS Code extension.
set -euo pipefail
cd "$(dirname "$0")/.."
pkgs=(cmake g++ clang make nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
      neovim vim emacs-nox elpa-eglot)
command -v node >/dev/null 2>&1 || pkgs+=(nodejs)
command -v npm >/dev/null 2>&1 || pkgs+=(npm)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing: ${missing[*]} =="
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ! -d lsp/tests/client/node_modules ]; then
  echo "== installing the client test's npm packages (pinned by package-lock.json) =="
  (cd lsp/tests/client && npm ci --no-audit --no-fund --loglevel=error)
fi
if [ -f editors/vscode/package-lock.json ] && [ ! -d editors/vscode/node_modules ]; then
  echo "== installing the VS Code extension's npm packages (pinned by package-lock.json) =="
  (cd editors/vscode && npm ci --no-audit --no-fund --loglevel=error)
fi
