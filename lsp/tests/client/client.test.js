// Drives the real quellin-lsp binary through vscode-languageserver-protocol, the client library most
// editors' extensions use: initialize, open, edit, hover, close, shut down and exit.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const rpc = require('vscode-jsonrpc/node');
const protocol = require('vscode-languageserver-protocol');

const serverPath = process.env.QUELLIN_LSP_BIN ||
  path.resolve(__dirname, '../../../build/lsp/bin/quellin-lsp');

function startServer(env) {
  const child = spawn(serverPath, [], { env: { ...process.env, ...env }, stdio: ['pipe', 'pipe', 'pipe'] });
  const connection = rpc.createMessageConnection(
    new rpc.StreamMessageReader(child.stdout), new rpc.StreamMessageWriter(child.stdin));
  const published = [];
  const waiters = [];
  connection.onNotification(protocol.PublishDiagnosticsNotification.type, (params) => {
    published.push(params);
    for (const w of waiters.splice(0)) w();
  });
  connection.listen();
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  // Resolves with the next diagnostics published for `uri` after `count` earlier ones.
  async function diagnosticsFor(uri, count) {
    for (;;) {
      const mine = published.filter((p) => p.uri === uri);
      if (mine.length > count) return mine[count].diagnostics;
      await new Promise((resolve) => waiters.push(resolve));
    }
  }
  return { child, connection, diagnosticsFor, exited };
}

test('a whole editing session', async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quellin-client-'));
  fs.writeFileSync(path.join(dir, 'util.qn'),
    '/// Shouts a text.\npub fn shout(t: Text) -> Text = t.upper()\n');
  const mainPath = path.join(dir, 'main.qn');
  const good = 'import util\n\nfn main() -> Void:\n    print(util.shout("hi"))\n';
  fs.writeFileSync(mainPath, good);
  const uri = pathToFileURL(mainPath).href;

  const { connection, diagnosticsFor, exited } = startServer({ QUELLIN_STDLIB: path.join(dir, 'no-stdlib') });
  const init = await connection.sendRequest(protocol.InitializeRequest.type,
    { processId: process.pid, rootUri: null, capabilities: {} });
  assert.deepEqual(init.capabilities, { hoverProvider: true, textDocumentSync: 1 });
  assert.deepEqual(init.serverInfo, { name: 'quellin-lsp', version: '1.7.51' });
  await connection.sendNotification(protocol.InitializedNotification.type, {});

  await connection.sendNotification(protocol.DidOpenTextDocumentNotification.type,
    { textDocument: { uri, languageId: 'quellin', version: 1, text: good } });
  assert.deepEqual(await diagnosticsFor(uri, 0), []);

  const broken = 'import util\n\nfn main() -> Void:\n    let n: Int = util.shout("hi")\n';
  await connection.sendNotification(protocol.DidChangeTextDocumentNotification.type,
    { textDocument: { uri, version: 2 }, contentChanges: [{ text: broken }] });
  const [diagnostic, ...rest] = await diagnosticsFor(uri, 1);
  assert.equal(rest.length, 0);
  assert.equal(diagnostic.message, 'expected Int, found Text');
  assert.equal(diagnostic.severity, 1);
  assert.equal(diagnostic.source, 'quellin');
  assert.deepEqual(diagnostic.range, { start: { line: 3, character: 17 }, end: { line: 3, character: 18 } });

  await connection.sendNotification(protocol.DidChangeTextDocumentNotification.type,
    { textDocument: { uri, version: 3 }, contentChanges: [{ text: good }] });
  assert.deepEqual(await diagnosticsFor(uri, 2), []);

  const hover = await connection.sendRequest(protocol.HoverRequest.type,
    { textDocument: { uri }, position: { line: 3, character: 16 } });
  assert.deepEqual(hover, {
    contents: { kind: 'markdown', value: '```quellin\nfn util.shout(t: Text) -> Text\n```\n\nShouts a text.' },
  });
  const nothing = await connection.sendRequest(protocol.HoverRequest.type,
    { textDocument: { uri }, position: { line: 2, character: 0 } });
  assert.equal(nothing, null);

  await assert.rejects(connection.sendRequest('workspace/symbol', { query: '' }),
    (e) => e.code === -32601 && e.message === 'method not supported by quellin-lsp v0: workspace/symbol');

  await connection.sendNotification(protocol.DidCloseTextDocumentNotification.type, { textDocument: { uri } });
  assert.deepEqual(await diagnosticsFor(uri, 3), []);

  assert.equal(await connection.sendRequest(protocol.ShutdownRequest.type), null);
  await connection.sendNotification(protocol.ExitNotification.type);
  assert.equal(await exited, 0);
  connection.dispose();
  fs.rmSync(dir, { recursive: true, force: true });
});

test('a syntax error in an untitled buffer', async () => {
  const { connection, diagnosticsFor, exited } = startServer({});
  await connection.sendRequest(protocol.InitializeRequest.type, { processId: null, rootUri: null, capabilities: {} });
  const uri = 'untitled:Untitled-1';
  await connection.sendNotification(protocol.DidOpenTextDocumentNotification.type,
    { textDocument: { uri, languageId: 'quellin', version: 1, text: 'fn f() -> Int\n' } });
  const [diagnostic] = await diagnosticsFor(uri, 0);
  assert.equal(diagnostic.message, "expected ':' for a block body or '=' for an expression body, found Newline");
  assert.deepEqual(diagnostic.range.start, { line: 0, character: 13 });
  await connection.sendNotification(protocol.ExitNotification.type);
  assert.equal(await exited, 0);
  connection.dispose();
});
