'use strict';
// The extension manifest and the language configuration: what they point at exists and agrees, the
// dependencies are pinned, and the editing rules' patterns pick the right lines.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

const HERE = path.join(__dirname, '..');
const read = (rel) => JSON.parse(fs.readFileSync(path.join(HERE, rel), 'utf8'));
const manifest = read('package.json');
const config = read('language-configuration.json');

test('the manifest contributes the language, its grammar and the server setting', () => {
  assert.equal(manifest.name, 'quellin');
  assert.ok(fs.existsSync(path.join(HERE, manifest.main)), `main ${manifest.main} exists`);

  const [language] = manifest.contributes.languages;
  assert.equal(language.id, 'quellin');
  assert.deepEqual(language.extensions, ['.qn']);
  assert.ok(fs.existsSync(path.join(HERE, language.configuration)));

  const [grammar] = manifest.contributes.grammars;
  assert.equal(grammar.language, 'quellin');
  assert.equal(grammar.scopeName, 'source.quellin');
  assert.equal(read(grammar.path).scopeName, grammar.scopeName, 'the grammar file declares the same scope');

  const setting = manifest.contributes.configuration.properties['quellin.server.path'];
  assert.equal(setting.type, 'string');
  assert.equal(setting.default, 'quellin-lsp');
});

test('every dependency is pinned to one version, and the editor range is the client library\'s', () => {
  for (const deps of [manifest.dependencies, manifest.devDependencies]) {
    for (const [name, version] of Object.entries(deps)) {
      assert.match(version, /^\d+\.\d+\.\d+$/, `${name}@${version} is not an exact version`);
      const lock = read('package-lock.json').packages[`node_modules/${name}`];
      assert.equal(lock && lock.version, version, `${name} is locked at ${version}`);
    }
  }
  const client = read('node_modules/vscode-languageclient/package.json');
  assert.equal(manifest.engines.vscode, client.engines.vscode);
});

const matches = (pattern, line) => new RegExp(pattern).test(line);

test('a new block is indented after a line that ends with a colon', () => {
  const increase = config.indentationRules.increaseIndentPattern;
  const onEnter = config.onEnterRules.find((r) => r.action.indent === 'indent').beforeText;
  const cases = [
    ['fn area(s: Shape) -> Float:', true],
    ['    if d < 3:', true],
    ['        case Kind.Food(days_left: d):', true],
    ['test "points can be updated":', true],
    ['    else:', true],
    ['while i < n:   ', true],
    ['if x: // why', true],
    ['    x: Int', false],
    ['    let p = Point(x: 1, y: 2)', false],
    ['    return p with x: p.x + dx', false],
    ['// note:', false],
    ['    /// Returns:', false],
    ['x = 1 // see below:', false],
  ];
  for (const [line, indents] of cases) {
    assert.equal(matches(increase, line), indents, `increaseIndentPattern on ${JSON.stringify(line)}`);
    assert.equal(matches(onEnter, line), indents, `onEnter indent rule on ${JSON.stringify(line)}`);
  }
});

test('elif and else step back a level, and the line after return, break or continue does too', () => {
  const decrease = config.indentationRules.decreaseIndentPattern;
  for (const [line, dedents] of [['    else:', true], ['elif x > 1:', true], ['else if:', false], ['elsewhere:', false], ['    x = 1', false]]) {
    assert.equal(matches(decrease, line), dedents, `decreaseIndentPattern on ${JSON.stringify(line)}`);
  }
  const outdent = config.onEnterRules.find((r) => r.action.indent === 'outdent').beforeText;
  for (const [line, dedents] of [
    ['        return "tool"', true], ['    return', true], ['    break', true], ['    continue // next', true],
    ['    returned = 1', false], ['    let x = breakfast', false], ['return x', false],
  ]) {
    assert.equal(matches(outdent, line), dedents, `outdent rule on ${JSON.stringify(line)}`);
  }
});

test('doc comments continue on the next line, and the rest of the configuration is in place', () => {
  const doc = config.onEnterRules.find((r) => r.action.appendText === '/// ');
  assert.ok(matches(doc.beforeText, '    /// The value of all units'));
  assert.ok(!matches(doc.beforeText, '// plain comment'));
  // Rules apply in order: the doc-comment rule must come before the colon rule.
  assert.ok(config.onEnterRules.indexOf(doc) === 0);
  assert.deepEqual(config.comments, { lineComment: '//' });
  assert.deepEqual(config.folding, { offSide: true });
  assert.deepEqual(config.brackets, [['(', ')'], ['[', ']'], ['{', '}']]);
  const pairs = config.autoClosingPairs.map((p) => p.open + p.close);
  assert.deepEqual(pairs, ['()', '[]', '{}', '""']);
  assert.ok(new RegExp(config.wordPattern).test('kind_label'));
});
