'use strict';
// The TextMate grammar, run by the tokenizer VS Code uses: what scope the interesting tokens of small
// snippets get, and that the grammar gets through every QUELLIN file of the repository cleanly.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadGrammar, tokenize } = require('./tokenizer');

const REPO = path.resolve(__dirname, '..', '..', '..');

let grammarPromise;
const grammar = () => (grammarPromise ??= loadGrammar());

// The tokens of a one-line snippet, or of every line of a longer one.
async function tokensOf(source) {
  return tokenize(await grammar(), source).flatMap((l) => l.tokens);
}

// Checks expectations in order: each [text, ...scopes] finds the next token whose text is exactly
// `text` and requires each scope among its scopes (exactly); a scope starting with '!' must not
// be there.
async function expectScopes(source, expectations) {
  const tokens = await tokensOf(source);
  let from = 0;
  for (const [text, ...wanted] of expectations) {
    const i = tokens.findIndex((t, k) => k >= from && t.text === text);
    const shown = tokens.map((t) => `${JSON.stringify(t.text)} ${t.scopes.slice(1).join(' ')}`).join('\n  ');
    assert.ok(i >= 0, `no token ${JSON.stringify(text)} in ${JSON.stringify(source)}; tokens:\n  ${shown}`);
    const scopes = tokens[i].scopes;
    for (const scope of wanted) {
      if (scope.startsWith('!')) {
        assert.ok(!scopes.includes(scope.slice(1)),
          `${JSON.stringify(text)} in ${JSON.stringify(source)} has ${scope.slice(1)}: ${scopes.join(' ')}`);
      } else {
        assert.ok(scopes.includes(scope),
          `${JSON.stringify(text)} in ${JSON.stringify(source)} should have ${scope}, has: ${scopes.join(' ')}`);
      }
    }
    from = i + 1;
  }
}

const CASES = [
  ['function declaration', 'pub async fn area(s: Shape) -> Float:', [
    ['pub', 'storage.modifier.quellin'],
    ['async', 'storage.modifier.quellin'],
    ['fn', 'storage.type.function.quellin'],
    ['area', 'entity.name.function.quellin'],
    ['s', 'variable.other.quellin'],
    [':', 'punctuation.separator.colon.quellin'],
    ['Shape', 'entity.name.type.quellin'],
    ['->', 'keyword.operator.arrow.quellin'],
    ['Float', 'support.type.builtin.quellin'],
  ]],
  ['generic function with an expression body', 'pub fn pair[A, B](a: A, b: B) -> Pair[A, B] = Pair(first: a, second: b)', [
    ['pair', 'entity.name.function.quellin'],
    ['[', 'punctuation.section.brackets.begin.quellin'],
    ['A', 'entity.name.type.quellin'],
    ['Pair', 'entity.name.type.quellin'],
    ['=', 'keyword.operator.assignment.quellin'],
    ['Pair', 'entity.name.type.quellin'],
    ['first', 'variable.other.quellin'],
  ]],
  ['lambda', 'let f = fn(x: Int) -> Int = x * 2', [
    ['let', 'storage.type.quellin'],
    ['f', 'variable.other.declaration.quellin'],
    ['fn', 'storage.type.quellin'],
    ['(', 'punctuation.section.parens.begin.quellin'],
    ['Int', 'support.type.builtin.quellin'],
    ['*', 'keyword.operator.arithmetic.quellin'],
    ['2', 'constant.numeric.integer.decimal.quellin'],
  ]],
  ['record declaration', 'pub record Point:', [
    ['record', 'storage.type.record.quellin'],
    ['Point', 'entity.name.type.record.quellin'],
  ]],
  ['generic record', 'record Pair[A, B]:', [['Pair', 'entity.name.type.record.quellin']]],
  ['enum declaration', 'enum Shape:', [
    ['enum', 'storage.type.enum.quellin'],
    ['Shape', 'entity.name.type.enum.quellin'],
  ]],
  ['trait declaration', 'trait Show:', [['Show', 'entity.name.type.trait.quellin']]],
  ['import', 'import math', [
    ['import', 'keyword.control.import.quellin'],
    ['math', 'entity.name.namespace.quellin'],
  ]],
  ['mutable binding with a type', 'mut best: Option[Int] = None', [
    ['mut', 'storage.type.quellin'],
    ['best', 'variable.other.declaration.quellin'],
    ['Option', 'support.type.builtin.quellin'],
    ['Int', 'support.type.builtin.quellin'],
    ['None', 'support.function.builtin.constructor.quellin'],
  ]],
  ['every builtin type', 'Int Float Text Bool Void Bytes List Map Set Tuple Option Result',
    'Int Float Text Bool Void Bytes List Map Set Tuple Option Result'.split(' ').map((t) => [t, 'support.type.builtin.quellin'])],
  ['builtin constructors and functions', 'print(Ok(Some(1)))', [
    ['print', 'support.function.builtin.quellin'],
    ['Ok', 'support.function.builtin.constructor.quellin'],
    ['Some', 'support.function.builtin.constructor.quellin'],
  ]],
  ['match with a guard', 'case Some(b) if b >= x and not done:', [
    ['case', 'keyword.control.conditional.quellin'],
    ['if', 'keyword.control.conditional.quellin'],
    ['>=', 'keyword.operator.comparison.quellin'],
    ['and', 'keyword.operator.logical.quellin'],
    ['not', 'keyword.operator.logical.quellin'],
  ]],
  ['loop', 'for n in [1, 2, 3]:', [
    ['for', 'keyword.control.loop.quellin'],
    ['in', 'keyword.control.loop.quellin'],
    [',', 'punctuation.separator.comma.quellin'],
  ]],
  ['test block', 'test "points can be updated":', [
    ['test', 'keyword.other.quellin'],
    ['points can be updated', 'string.quoted.double.quellin'],
  ]],
  ['record update and assert', 'assert (p with x: 3).x == 3', [
    ['assert', 'keyword.other.quellin'],
    ['with', 'keyword.other.quellin'],
    ['.', 'punctuation.accessor.dot.quellin'],
    ['==', 'keyword.operator.comparison.quellin'],
  ]],
  ['comparison and arithmetic operators', 'a != b <= c < d > e % f / g - h + i', [
    ['!=', 'keyword.operator.comparison.quellin'],
    ['<=', 'keyword.operator.comparison.quellin'],
    ['<', 'keyword.operator.comparison.quellin'],
    ['>', 'keyword.operator.comparison.quellin'],
    ['%', 'keyword.operator.arithmetic.quellin'],
    ['/', 'keyword.operator.arithmetic.quellin'],
    ['-', 'keyword.operator.arithmetic.quellin'],
    ['+', 'keyword.operator.arithmetic.quellin'],
  ]],
  ['error propagation and calls', 'let avg = stats.average(prices)?', [
    ['stats', 'variable.other.quellin'],
    ['average', 'entity.name.function.call.quellin'],
    ['?', 'keyword.operator.error-propagation.quellin'],
  ]],
  ['booleans', 'true false', [
    ['true', 'constant.language.boolean.quellin'],
    ['false', 'constant.language.boolean.quellin'],
  ]],
  ['numbers', 'f(1_000, 0x_ff, 0XAB, 3.14, 1__0_, 2.0_5)', [
    ['1_000', 'constant.numeric.integer.decimal.quellin'],
    ['0x_ff', 'constant.numeric.integer.hexadecimal.quellin'],
    ['0XAB', 'constant.numeric.integer.hexadecimal.quellin'],
    ['3.14', 'constant.numeric.float.quellin'],
    ['1__0_', 'constant.numeric.integer.decimal.quellin'],
    ['2.0_5', 'constant.numeric.float.quellin'],
  ]],
  ['a dot after an integer is a field or method access', '1.abs()', [
    ['1', 'constant.numeric.integer.decimal.quellin'],
    ['.', 'punctuation.accessor.dot.quellin'],
    ['abs', 'entity.name.function.call.quellin'],
  ]],
  ['numbers run into letters', 'f(12ab, 1.5e3, 0x1g, 1e5)', [
    ['12ab', 'invalid.illegal.numeric.quellin'],
    ['1.5e3', 'invalid.illegal.numeric.quellin'],
    ['0x1g', 'invalid.illegal.numeric.quellin'],
    ['1e5', 'invalid.illegal.numeric.quellin'],
  ]],
  ['digits inside a name are part of the name', 'x1 = a2b', [
    ['x1', 'variable.other.quellin'],
    ['a2b', 'variable.other.quellin'],
  ]],
  ['every escape', String.raw`"\n\t\r\\\"\{\}"`, [
    ['"', 'punctuation.definition.string.begin.quellin'],
    ...String.raw`\n \t \r \\ \" \{ \}`.split(' ').map((e) => [e, 'constant.character.escape.quellin']),
    ['"', 'punctuation.definition.string.end.quellin'],
  ]],
  ['escaped braces open no interpolation', String.raw`"\{x\}"`, [
    ['x', 'string.quoted.double.quellin', '!meta.interpolation.quellin'],
  ]],
  ['unknown escapes', String.raw`"\q\0"`, [
    [String.raw`\q`, 'invalid.illegal.escape.quellin'],
    [String.raw`\0`, 'invalid.illegal.escape.quellin'],
  ]],
  ['interpolation', '"total {total + 1}, point {p.x}"', [
    ['total ', 'string.quoted.double.quellin'],
    ['{', 'punctuation.section.interpolation.begin.quellin'],
    ['total', 'meta.interpolation.quellin', 'meta.embedded.line.quellin', 'variable.other.quellin'],
    ['+', 'keyword.operator.arithmetic.quellin'],
    ['1', 'constant.numeric.integer.decimal.quellin'],
    ['}', 'punctuation.section.interpolation.end.quellin'],
    [', point ', '!meta.interpolation.quellin'],
    ['p', 'meta.interpolation.quellin'],
    ['.', 'punctuation.accessor.dot.quellin'],
    ['"', 'punctuation.definition.string.end.quellin'],
  ]],
  ['nested interpolation', '"{f("{x}")}"', [
    ['"', 'punctuation.definition.string.begin.quellin'],
    ['{', 'punctuation.section.interpolation.begin.quellin'],
    ['f', 'entity.name.function.call.quellin'],
    ['(', 'punctuation.section.parens.begin.quellin'],
    ['"', 'punctuation.definition.string.begin.quellin'],
    ['{', 'punctuation.section.interpolation.begin.quellin'],
    ['x', 'variable.other.quellin'],
    ['}', 'punctuation.section.interpolation.end.quellin'],
    ['"', 'punctuation.definition.string.end.quellin'],
    [')', 'punctuation.section.parens.end.quellin', 'meta.interpolation.quellin'],
    ['}', 'punctuation.section.interpolation.end.quellin'],
    ['"', 'punctuation.definition.string.end.quellin', '!meta.interpolation.quellin'],
  ]],
  ['a brace literal inside an interpolation', '"{ {1: 2}.len() } done"', [
    ['{', 'punctuation.section.interpolation.begin.quellin'],
    ['{', 'punctuation.section.braces.begin.quellin'],
    ['}', 'punctuation.section.braces.end.quellin'],
    ['len', 'entity.name.function.call.quellin'],
    ['}', 'punctuation.section.interpolation.end.quellin'],
    [' done', '!meta.interpolation.quellin'],
  ]],
  ['a nested text with a brace ends where its quote does', '"{g("}")} x"', [
    ['}', 'string.quoted.double.quellin'],
    ['}', 'punctuation.section.interpolation.end.quellin'],
    [' x', '!meta.interpolation.quellin'],
  ]],
  ['empty interpolation and stray closing brace', '"{} { } }"', [
    ['{}', 'invalid.illegal.empty-interpolation.quellin'],
    ['{ }', 'invalid.illegal.empty-interpolation.quellin'],
    ['}', 'invalid.illegal.unmatched-brace.quellin'],
  ]],
  ['an unclosed text ends with its line', '"open {x\nlet y = 1', [
    ['let', 'storage.type.quellin', '!string.quoted.double.quellin'],
    ['1', 'constant.numeric.integer.decimal.quellin'],
  ]],
  ['comment after code', 'x = 1 // set x: "not a string"', [
    ['x', 'variable.other.quellin'],
    ['//', 'punctuation.definition.comment.quellin'],
    [' set x: "not a string"', 'comment.line.double-slash.quellin'],
  ]],
  ['doc comment', '/// A point on the plane.', [
    ['///', 'comment.line.documentation.quellin', 'punctuation.definition.comment.quellin'],
    [' A point on the plane.', 'comment.line.documentation.quellin'],
  ]],
  ['four slashes are a doc comment', '//// x', [['/ x', 'comment.line.documentation.quellin']]],
  ['slashes inside text are text', '"a // b"', [['a // b', '!comment.line.double-slash.quellin']]],
  ['characters that start no token', 'a; b # c $ d & e @ f ^ g | h ~ i \\ `', [
    [';', 'invalid.illegal.character.quellin'],
    ['#', 'invalid.illegal.character.quellin'],
    ['$', 'invalid.illegal.character.quellin'],
    ['&', 'invalid.illegal.character.quellin'],
    ['@', 'invalid.illegal.character.quellin'],
    ['^', 'invalid.illegal.character.quellin'],
    ['|', 'invalid.illegal.character.quellin'],
    ['~', 'invalid.illegal.character.quellin'],
    ['\\', 'invalid.illegal.character.quellin'],
    ['`', 'invalid.illegal.character.quellin'],
  ]],
  ['a lone bang and a tab', 'if !x:\ty', [
    ['!', 'invalid.illegal.operator.quellin'],
    ['\t', 'invalid.illegal.whitespace.quellin'],
  ]],
  ['tabs, quotes and non-ASCII characters are fine inside text and comments', '"é\t\'" // ü\t#', [
    ['é\t\'', 'string.quoted.double.quellin', '!invalid.illegal.character.quellin'],
    [' ü\t#', 'comment.line.double-slash.quellin'],
  ]],
];

for (const [name, source, expectations] of CASES) {
  test(`scopes: ${name}`, () => expectScopes(source, expectations));
}

const KEYWORDS = ('let mut fn pub async return if elif else for in while break continue match case and or not ' +
  'test assert intent record enum trait module import with').split(' ');

test('every reserved word is highlighted as one, alone and inside an interpolation', async () => {
  assert.equal(KEYWORDS.length, 28);
  for (const word of KEYWORDS) {
    for (const source of [word, `"{${word}}"`]) {
      const token = (await tokensOf(source)).find((t) => t.text === word);
      assert.ok(token, `${word} is not one token in ${source}`);
      const last = token.scopes[token.scopes.length - 1];
      assert.match(last, /^(keyword|storage)\./, `${word} in ${source} has ${token.scopes.join(' ')}`);
    }
  }
});

test('words that only look like reserved words are names', async () => {
  for (const word of ['Let', 'lets', 'iff', '_if', 'if_', 'if2', 'Match', 'returned', 'truex', 'True', 'format', 'inner']) {
    const tokens = await tokensOf(`${word} = 1`);
    assert.equal(tokens[0].text, word, `${word} is not one token`);
    assert.ok(tokens[0].scopes.every((s) => !/^(keyword|storage|constant)\./.test(s)),
      `${word} has ${tokens[0].scopes.join(' ')}`);
  }
});

// Every QUELLIN source file of the repository.
function quellinFiles() {
  const files = [];
  const walk = (dir) => {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
      const full = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(full);
      else if (entry.name.endsWith('.qn')) files.push(full);
    }
  };
  for (const top of ['stdlib', 'examples']) walk(path.join(REPO, top));
  return files.sort();
}

// The scope families that tokens of valid code may carry (besides the root scope).
const KNOWN_FAMILY = /^(comment|constant|entity|keyword|meta|punctuation|storage|string|support|variable)\./;

test('every QUELLIN file of the standard library and the examples tokenizes cleanly', async () => {
  const files = quellinFiles();
  assert.ok(files.some((f) => f.includes(`${path.sep}stdlib${path.sep}`)), 'no standard-library files found');
  assert.ok(files.some((f) => f.includes(`${path.sep}examples${path.sep}`)), 'no example files found');
  for (const file of files) {
    const rel = path.relative(REPO, file);
    const lines = tokenize(await grammar(), fs.readFileSync(file, 'utf8'));
    lines.forEach((l, i) => {
      const where = `${rel}:${i + 1}: ${l.line}`;
      assert.equal(l.stoppedEarly, false, `${where}: the tokenizer stopped early`);
      assert.deepEqual(l.reports, [], `${where}: the tokenizer gave up on the line`);
      // Nothing in the language spans lines, so every line must end back at the top level.
      assert.equal(l.depth, 1, `${where}: a rule is still open at the end of the line`);
      let end = 0;
      for (const t of l.tokens) {
        assert.equal(t.start, end, `${where}: tokens leave a gap at column ${end + 1}`);
        end = t.end;
        assert.equal(t.scopes[0], 'source.quellin', where);
        for (const s of t.scopes.slice(1)) {
          assert.ok(!s.startsWith('invalid'), `${where}: ${JSON.stringify(t.text)} is marked ${s}`);
          assert.match(s, KNOWN_FAMILY, `${where}: ${JSON.stringify(t.text)} has the unknown scope ${s}`);
        }
        if (t.text.trim() !== '') {
          assert.ok(t.scopes.length > 1, `${where}: ${JSON.stringify(t.text)} has no scope of its own`);
        }
      }
      assert.equal(end, l.line.length, `${where}: the tokens stop at column ${end + 1}`);
    });
  }
});

test('the checks above notice a grammar that gives up on a line', async () => {
  // A rule that opens and closes without consuming anything makes vscode-textmate abandon the line.
  const looping = JSON.stringify({
    scopeName: 'source.quellin',
    patterns: [{ begin: '(?=x)', end: '(?=x)', name: 'meta.loop.quellin' }, { match: 'y', name: 'keyword.y.quellin' }],
  });
  const [line] = tokenize(await loadGrammar(looping), 'a x y');
  assert.equal(line.reports.length, 1);
  assert.match(line.reports[0], /endless loop/);
});
