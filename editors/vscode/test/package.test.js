'use strict';
// package.sh builds a .vsix that VS Code can install: it holds the manifest, the client, the grammar,
// the language configuration and the client's runtime dependencies, and nothing used only for
// development. The packaged client is loaded from the unpacked archive to prove its dependencies are
// complete. QUELLIN_VSIX_DIR sets where the package is written (a fresh temporary folder otherwise).

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const Module = require('node:module');
const { execFileSync } = require('node:child_process');
const yauzl = require('yauzl');

const HERE = path.join(__dirname, '..');
const { version } = require('../package.json');

// Every file of a zip archive, by name.
function readZip(file) {
  return new Promise((resolve, reject) => {
    yauzl.open(file, { lazyEntries: true }, (err, zip) => {
      if (err) return reject(err);
      const files = new Map();
      zip.on('error', reject);
      zip.on('end', () => resolve(files));
      zip.on('entry', (entry) => {
        if (entry.fileName.endsWith('/')) return zip.readEntry();
        zip.openReadStream(entry, (e, stream) => {
          if (e) return reject(e);
          const chunks = [];
          stream.on('data', (c) => chunks.push(c));
          stream.on('error', reject);
          stream.on('end', () => {
            files.set(entry.fileName, Buffer.concat(chunks));
            zip.readEntry();
          });
        });
      });
      zip.readEntry();
    });
  });
}

let packaged;
async function vsix(t) {
  if (!packaged) {
    let out = process.env.QUELLIN_VSIX_DIR;
    if (!out) {
      out = fs.mkdtempSync(path.join(os.tmpdir(), 'quellin-vsix-'));
      t.after(() => fs.rmSync(out, { recursive: true, force: true }));
    }
    const stdout = execFileSync('bash', [path.join(HERE, 'package.sh'), out], {
      encoding: 'utf8',
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    const file = path.join(out, `quellin-${version}.vsix`);
    assert.equal(stdout.trim().split('\n').pop(), fs.realpathSync(file), 'package.sh prints the package it wrote');
    packaged = { file, files: await readZip(file) };
  }
  return packaged;
}

test('the package holds the manifest, client, grammar, configuration and client library', async (t) => {
  const { files } = await vsix(t);
  for (const name of [
    'extension.vsixmanifest',
    'extension/package.json',
    'extension/extension.js',
    'extension/syntaxes/quellin.tmLanguage.json',
    'extension/language-configuration.json',
    'extension/readme.md',
    'extension/node_modules/vscode-languageclient/package.json',
    'extension/node_modules/vscode-languageclient/node.js',
    'extension/node_modules/vscode-languageserver-protocol/package.json',
    'extension/node_modules/vscode-jsonrpc/package.json',
  ]) {
    assert.ok(files.has(name), `${name} is in the package`);
  }
  // The packaged files are the ones in this folder.
  for (const name of ['package.json', 'extension.js', 'syntaxes/quellin.tmLanguage.json', 'language-configuration.json']) {
    assert.ok(files.get(`extension/${name}`).equals(fs.readFileSync(path.join(HERE, name))), `${name} is packaged as is`);
  }
  const manifest = files.get('extension.vsixmanifest').toString('utf8');
  assert.match(manifest, /Id="quellin"/);
  assert.match(manifest, new RegExp(`Version="${version.replace(/\./g, '\\.')}"`));
});

test('the package leaves out tests, scripts and development tools', async (t) => {
  const { files } = await vsix(t);
  const names = [...files.keys()];
  for (const unwanted of [
    /^extension\/test\//,
    /^extension\/package\.sh$/,
    /^extension\/CMakeLists\.txt$/,
    /^extension\/\.npmrc$/,
    /\.vsix$/,
    /^extension\/node_modules\/(@vscode\/vsce|vscode-textmate|vscode-oniguruma|yauzl)\//,
  ]) {
    const found = names.filter((n) => unwanted.test(n));
    assert.deepEqual(found, [], `unwanted files in the package: ${unwanted}`);
  }
});

test('the packaged client loads with only the packaged dependencies', async (t) => {
  const { files } = await vsix(t);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quellin-unpacked-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  for (const [name, data] of files) {
    if (!name.startsWith('extension/')) continue;
    const target = path.join(dir, name);
    fs.mkdirSync(path.dirname(target), { recursive: true });
    fs.writeFileSync(target, data);
  }
  const anything = new Proxy(function () {}, {
    get: (_, key) => (key === '__esModule' ? false : anything),
    apply: () => anything,
    construct: () => anything,
  });
  const load = Module._load;
  const outside = [];
  Module._load = function (request, parent, ...rest) {
    if (request === 'vscode') return anything;
    const resolved = Module._resolveFilename(request, parent, ...rest);
    if (path.isAbsolute(resolved) && !resolved.startsWith(dir)) outside.push(resolved);
    return load.call(this, request, parent, ...rest);
  };
  try {
    const extension = require(path.join(dir, 'extension', 'extension.js'));
    assert.equal(typeof extension.activate, 'function');
    assert.equal(typeof extension.deactivate, 'function');
    // Load the library's entry points too, as the client does when it starts.
    require(path.join(dir, 'extension', 'node_modules', 'vscode-languageclient', 'lib', 'node', 'main.js'));
  } finally {
    Module._load = load;
  }
  assert.deepEqual(outside, [], 'every module the packaged client loads comes from the package');
});
