'use strict';
// The QUELLIN extension's client: starts quellin-lsp as a child process and connects it, over its
// standard input and output, to every QUELLIN document the editor opens.

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

const DEFAULT_SERVER = 'quellin-lsp';

let client;

// The server command from the 'quellin.server.path' setting: a path, or a name looked up on PATH.
// A leading '~' stands for the home directory; an empty setting means the default.
function serverCommand() {
  const configured = vscode.workspace.getConfiguration('quellin').get('server.path');
  const command = typeof configured === 'string' ? configured.trim() : '';
  if (command === '') return DEFAULT_SERVER;
  if (command === '~' || command.startsWith('~/')) return path.join(os.homedir(), command.slice(1));
  return command;
}

function isExecutableFile(file) {
  try {
    if (!fs.statSync(file).isFile()) return false;
    if (process.platform !== 'win32') fs.accessSync(file, fs.constants.X_OK);
    return true;
  } catch {
    return false;
  }
}

// Whether the command names an executable file, either as a path or as a program on PATH. A bare
// name is tried in each PATH directory, and on Windows with each of the PATHEXT endings as well.
function findExecutable(command, env = process.env) {
  if (command.includes('/') || command.includes(path.sep)) {
    return isExecutableFile(command) ? command : null;
  }
  const endings = process.platform === 'win32'
    ? ['', ...(env.PATHEXT || '.EXE;.CMD;.BAT;.COM').split(';').filter(Boolean)]
    : [''];
  for (const dir of (env.PATH || '').split(path.delimiter)) {
    if (dir === '') continue;
    for (const ending of endings) {
      const candidate = path.join(dir, command + ending);
      if (isExecutableFile(candidate)) return candidate;
    }
  }
  return null;
}

// Shows the failure without waiting for the user to answer, so that activation is not held up by it.
function reportStartFailure(command, reason) {
  const message =
    `QUELLIN: the language server could not be started from '${command}' (${reason}). ` +
    `Install quellin-lsp on your PATH, or set 'quellin.server.path' to the full path of the quellin-lsp executable.`;
  Promise.resolve(vscode.window.showErrorMessage(message, 'Open Settings'))
    .then((choice) => {
      if (choice === 'Open Settings') {
        return vscode.commands.executeCommand('workbench.action.openSettings', 'quellin.server.path');
      }
      return undefined;
    })
    .catch(() => {});
}

async function activate(context) {
  const command = serverCommand();
  if (!findExecutable(command)) {
    reportStartFailure(command, 'no such executable file was found');
    return;
  }
  const serverOptions = { command, args: [], transport: TransportKind.stdio };
  const clientOptions = {
    documentSelector: [
      { scheme: 'file', language: 'quellin' },
      { scheme: 'untitled', language: 'quellin' },
    ],
  };
  const created = new LanguageClient('quellin', 'QUELLIN', serverOptions, clientOptions);
  try {
    await created.start();
  } catch (err) {
    reportStartFailure(command, err && err.message ? err.message : String(err));
    return;
  }
  client = created;
  context.subscriptions.push({ dispose: () => deactivate() });
}

function deactivate() {
  const running = client;
  client = undefined;
  return running ? running.stop() : undefined;
}

module.exports = { activate, deactivate, serverCommand, findExecutable };
