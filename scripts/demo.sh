#!/usr/bin/env bash
# The main job: builds quellin-lsp (installing what is missing), checks the bundled examples with
# quellin-check, and shows a short editor session with the language server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quellin-lsp quellin-check >/dev/null

bin=build/lsp/bin
echo "== quellin-check examples/inventory/main.qn (a clean multi-module program) =="
"$bin/quellin-check" examples/inventory/main.qn && echo "no errors"
echo
echo "== quellin-check examples/mistake.qn (a deliberate mistake) =="
"$bin/quellin-check" examples/mistake.qn || echo "(exit status $?)"
echo
echo "== a short LSP session: open the mistake, hover 'shift', exit =="
uri="file://$(pwd)/examples/mistake.qn"
text=$(python3 -c 'import json,sys; print(json.dumps(open(sys.argv[1]).read()))' examples/mistake.qn 2>/dev/null \
  || sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' examples/mistake.qn | awk '{printf "%s\\n", $0}' | sed 's/^/"/; s/$/"/')
frame() { printf 'Content-Length: %d\r\n\r\n%s' "$(printf '%s' "$1" | wc -c)" "$1"; }
{
  frame '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}'
  frame "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"$uri\",\"languageId\":\"quellin\",\"version\":1,\"text\":$text}}}"
  frame "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"textDocument/hover\",\"params\":{\"textDocument\":{\"uri\":\"$uri\"},\"position\":{\"line\":4,\"character\":4}}}"
  frame '{"jsonrpc":"2.0","id":3,"method":"shutdown"}'
  frame '{"jsonrpc":"2.0","method":"exit"}'
} | "$bin/quellin-lsp" | sed 's/Content-Length: [0-9]*\r\{0,1\}/\n/g' | grep -v '^\r\{0,1\}$'
echo
