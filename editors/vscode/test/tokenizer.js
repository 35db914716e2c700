'use strict';
// Loads the extension's TextMate grammar into the tokenizer VS Code itself uses (vscode-textmate over
// the Oniguruma regular-expression engine compiled to WebAssembly), and tokenizes text line by line.

const fs = require('node:fs');
const path = require('node:path');

// vscode-textmate reports a rule that would loop forever (a rule pushed and popped, or pushed twice,
// without consuming anything) only in its debug mode, and the flag is read once when it is loaded.
// The tokenizer then gives up on the rest of the line, which is exactly the failure the tests look for.
process.env.VSCODE_TEXTMATE_DEBUG = '1';
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const GRAMMAR_PATH = path.join(__dirname, '..', 'syntaxes', 'quellin.tmLanguage.json');

let onigReady = null;

// Loads the grammar file, or the given grammar text in its place (used to check the checks).
async function loadGrammar(grammarText) {
  if (!onigReady) {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    onigReady = oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  }
  await onigReady;
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async (scopeName) => {
      if (scopeName !== 'source.quellin') return null;
      return vsctm.parseRawGrammar(grammarText ?? fs.readFileSync(GRAMMAR_PATH, 'utf8'), GRAMMAR_PATH);
    },
  });
  const grammar = await registry.loadGrammar('source.quellin');
  if (!grammar) throw new Error('the grammar source.quellin did not load');
  return grammar;
}

// Tokenizes source text. Returns one entry per line: the line's text, its tokens ({ text, start, end,
// scopes }), whether the tokenizer stopped early, the depth of the rule stack after the line, and any
// endless-loop report vscode-textmate made while tokenizing it.
function tokenize(grammar, source) {
  const lines = source.replace(/\r/g, '').split('\n');
  if (lines.length > 1 && lines[lines.length - 1] === '') lines.pop();
  let stack = vsctm.INITIAL;
  const out = [];
  const { log, error, warn } = console;
  try {
    for (const line of lines) {
      const reports = [];
      console.log = () => {};
      console.warn = () => {};
      console.error = (...args) => reports.push(args.join(' '));
      const r = grammar.tokenizeLine(line, stack, 10000);
      console.log = log;
      console.error = error;
      console.warn = warn;
      const tokens = r.tokens.map((t) => ({
        text: line.slice(t.startIndex, t.endIndex),
        start: t.startIndex,
        end: Math.min(t.endIndex, line.length),
        scopes: t.scopes,
      }));
      out.push({ line, tokens, stoppedEarly: r.stoppedEarly, depth: r.ruleStack.depth, reports });
      stack = r.ruleStack;
    }
  } finally {
    console.log = log;
    console.error = error;
    console.warn = warn;
  }
  return out;
}

module.exports = { loadGrammar, tokenize, GRAMMAR_PATH };
