'use strict';
// The client outside VS Code: extension.js is loaded with stand-ins for the 'vscode' module and the
// language-client library, which record what the extension asks of them.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const Module = require('node:module');

const EXTENSION = path.join(__dirname, '..', 'extension.js');

// Loads a fresh copy of extension.js against stand-ins. `setting` is the value of quellin.server.path
// (undefined when unset), `startError` makes the client's start() fail, `choice` is the button the
// user picks on an error message (or a promise of it).
function loadExtension({ setting, startError, choice } = {}) {
  const calls = { clients: [], errors: [], commands: [], configSections: [] };
  const vscode = {
    workspace: {
      getConfiguration(section) {
        calls.configSections.push(section);
        return { get: (key) => (section === 'quellin' && key === 'server.path' ? setting : undefined) };
      },
    },
    window: {
      showErrorMessage(message, ...items) {
        calls.errors.push({ message, items });
        return Promise.resolve(choice);
      },
    },
    commands: {
      executeCommand(...args) {
        calls.commands.push(args);
        return Promise.resolve();
      },
    },
  };
  class LanguageClient {
    constructor(id, name, serverOptions, clientOptions) {
      Object.assign(this, { id, name, serverOptions, clientOptions, started: false, stopped: false });
      calls.clients.push(this);
    }
    start() {
      this.started = true;
      return startError ? Promise.reject(startError) : Promise.resolve();
    }
    stop() {
      this.stopped = true;
      return Promise.resolve();
    }
  }
  const client = { LanguageClient, TransportKind: { stdio: 0, ipc: 1, pipe: 2, socket: 3 } };
  const load = Module._load;
  Module._load = function (request, ...rest) {
    if (request === 'vscode') return vscode;
    if (request === 'vscode-languageclient/node') return client;
    return load.call(this, request, ...rest);
  };
  try {
    delete require.cache[require.resolve(EXTENSION)];
    return { extension: require(EXTENSION), calls };
  } finally {
    Module._load = load;
  }
}

// A directory holding an executable file named `name`, removed after the test.
function fakeServer(t, name = 'quellin-lsp') {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quellin-vscode-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  const file = path.join(dir, name);
  fs.writeFileSync(file, '#!/bin/sh\nexit 0\n', { mode: 0o755 });
  return { dir, file };
}

function withPath(t, value) {
  const saved = process.env.PATH;
  process.env.PATH = value;
  t.after(() => { process.env.PATH = saved; });
}

const context = () => ({ subscriptions: [] });

test('the server command comes from quellin.server.path, with quellin-lsp as the default', () => {
  const cases = [
    [undefined, 'quellin-lsp'],
    ['', 'quellin-lsp'],
    ['   ', 'quellin-lsp'],
    [42, 'quellin-lsp'],
    ['/opt/quellin/bin/quellin-lsp', '/opt/quellin/bin/quellin-lsp'],
    ['  /opt/q lsp/quellin-lsp  ', '/opt/q lsp/quellin-lsp'],
    ['~/bin/quellin-lsp', path.join(os.homedir(), 'bin', 'quellin-lsp')],
    ['my-lsp', 'my-lsp'],
  ];
  for (const [setting, expected] of cases) {
    const { extension, calls } = loadExtension({ setting });
    assert.equal(extension.serverCommand(), expected, `setting ${JSON.stringify(setting)}`);
    assert.deepEqual(calls.configSections, ['quellin']);
  }
});

test('activate starts a stdio client on the configured executable for QUELLIN documents', async (t) => {
  const { file } = fakeServer(t);
  const { extension, calls } = loadExtension({ setting: file });
  const ctx = context();
  await extension.activate(ctx);
  assert.equal(calls.errors.length, 0, JSON.stringify(calls.errors));
  assert.equal(calls.clients.length, 1);
  const [client] = calls.clients;
  assert.equal(client.id, 'quellin');
  assert.deepEqual(client.serverOptions, { command: file, args: [], transport: 0 });
  assert.deepEqual(client.clientOptions.documentSelector, [
    { scheme: 'file', language: 'quellin' },
    { scheme: 'untitled', language: 'quellin' },
  ]);
  assert.ok(client.started);

  await extension.deactivate();
  assert.ok(client.stopped);
  assert.equal(extension.deactivate(), undefined, 'a second deactivate has nothing left to stop');
});

test('by default the server is quellin-lsp found on PATH', async (t) => {
  const { dir } = fakeServer(t);
  withPath(t, ['/nonexistent-quellin-dir', dir].join(path.delimiter));
  const { extension, calls } = loadExtension({});
  await extension.activate(context());
  assert.equal(calls.errors.length, 0, JSON.stringify(calls.errors));
  assert.equal(calls.clients.length, 1);
  assert.equal(calls.clients[0].serverOptions.command, 'quellin-lsp');
});

test('a server that cannot be found is reported, naming the path and the setting', async (t) => {
  const { dir } = fakeServer(t, 'other-program');
  const notExecutable = path.join(dir, 'quellin-lsp');
  fs.writeFileSync(notExecutable, 'not a program\n', { mode: 0o644 });
  withPath(t, dir);
  const cases = [
    [undefined, 'quellin-lsp'],
    ['/nonexistent/dir/quellin-lsp', '/nonexistent/dir/quellin-lsp'],
    [dir, dir],
    ...(process.getuid && process.getuid() === 0 ? [] : [[notExecutable, notExecutable]]),
  ];
  for (const [setting, shown] of cases) {
    const { extension, calls } = loadExtension({ setting });
    await extension.activate(context());
    assert.equal(calls.clients.length, 0, `no client is made for ${setting}`);
    assert.equal(calls.errors.length, 1, `one message for ${setting}`);
    const { message, items } = calls.errors[0];
    assert.ok(message.includes(`'${shown}'`), message);
    assert.ok(message.includes('quellin.server.path'), message);
    assert.deepEqual(items, ['Open Settings']);
  }
});

test('a server that fails to start is reported with the reason', async (t) => {
  const { file } = fakeServer(t);
  const { extension, calls } = loadExtension({ setting: file, startError: new Error('spawn EACCES') });
  await extension.activate(context());
  assert.equal(calls.clients.length, 1);
  assert.equal(calls.errors.length, 1);
  const { message } = calls.errors[0];
  assert.ok(message.includes(`'${file}'`), message);
  assert.ok(message.includes('spawn EACCES'), message);
  assert.ok(message.includes('quellin.server.path'), message);
  assert.equal(extension.deactivate(), undefined, 'a client that never started is not stopped');
});

test('activation does not wait for the user to answer the error message', async () => {
  const unanswered = new Promise(() => {});
  const { extension, calls } = loadExtension({ setting: '/nonexistent/quellin-lsp', choice: unanswered });
  const outcome = await Promise.race([
    extension.activate(context()).then(() => 'returned'),
    new Promise((resolve) => setTimeout(() => resolve('still waiting'), 1000)),
  ]);
  assert.equal(outcome, 'returned');
  assert.equal(calls.errors.length, 1);
});

test('the error message offers to open the setting', async () => {
  for (const [choice, expected] of [
    ['Open Settings', [['workbench.action.openSettings', 'quellin.server.path']]],
    [undefined, []],
  ]) {
    const { extension, calls } = loadExtension({ setting: '/nonexistent/quellin-lsp', choice });
    await extension.activate(context());
    await new Promise(setImmediate);
    assert.deepEqual(calls.commands, expected, `choice ${choice}`);
  }
});

test('the client library provides what extension.js takes from it', () => {
  // The real library, with a 'vscode' module that answers everything with itself: loading must
  // succeed and give the constructor and the transport extension.js uses.
  const anything = new Proxy(function () {}, {
    get: (_, key) => (key === '__esModule' ? false : anything),
    apply: () => anything,
    construct: () => anything,
  });
  const load = Module._load;
  Module._load = function (request, ...rest) {
    return request === 'vscode' ? anything : load.call(this, request, ...rest);
  };
  try {
    const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
    assert.equal(typeof LanguageClient, 'function');
    assert.equal(typeof LanguageClient.prototype.start, 'function');
    assert.equal(typeof LanguageClient.prototype.stop, 'function');
    assert.equal(TransportKind.stdio, 0);
  } finally {
    Module._load = load;
  }
});
