-- The language server driven from a headless Neovim through the package's own
-- setup module: the diagnostic of examples/mistake.qn arrives, hover shows a
-- function's signature, fixing the mistake clears the diagnostic, and a second
-- file in the same directory shares the client.
--
-- Environment: QUELLIN_LSP_BIN (the server), QUELLIN_REPO (the repository
-- root); the server finds the standard library through QUELLIN_STDLIB.

local here = vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':p:h')
local H = dofile(here .. '/harness.lua')

local WAIT_MS = 10000

local MISTAKE = "cannot assign to immutable 'p' — declare it with 'mut p = ...' to allow reassignment"

local function describe(diagnostics)
  return vim.inspect(vim.tbl_map(function(d)
    return { lnum = d.lnum, col = d.col, message = d.message }
  end, diagnostics))
end

-- Waits until the buffer holds `count` diagnostics; fails the test otherwise.
local function wait_for_diagnostics(bufnr, count, what)
  local arrived = vim.wait(WAIT_MS, function()
    return #vim.diagnostic.get(bufnr) == count
  end, 20)
  if not arrived then
    error(string.format('%s: expected %d diagnostic(s) within %d ms, have %s', what, count, WAIT_MS,
      describe(vim.diagnostic.get(bufnr))))
  end
end

-- Hover text at a 0-based line and the start of `word` on that line, with the
-- position counted the way the client was configured to count.
local function hover_at(bufnr, line, word)
  local text = vim.api.nvim_buf_get_lines(bufnr, line, line + 1, true)[1]
  local byte = text:find(word, 1, true)
  assert(byte, string.format('line %d has no %q', line, word))
  local win = vim.api.nvim_get_current_win()
  vim.api.nvim_win_set_cursor(win, { line + 1, byte - 1 })
  local client = H.clients(bufnr)[1]
  local params = vim.lsp.util.make_position_params(win, client.offset_encoding)
  local responses, err = vim.lsp.buf_request_sync(bufnr, 'textDocument/hover', params, WAIT_MS)
  if not responses then
    error('hover over ' .. word .. ' got no answer: ' .. tostring(err))
  end
  for _, response in pairs(responses) do
    if response.error then
      error('hover over ' .. word .. ' failed: ' .. vim.inspect(response.error))
    end
    local result = response.result
    if result and result.contents then
      return result.contents.value or ''
    end
  end
  return ''
end

local function expect_contains(text, piece, what)
  if not text:find(piece, 1, true) then
    H.fail(string.format('%s: %q does not contain %q', what, text, piece))
  end
end

H.run('lsp_test', function()
  local server = H.getenv('QUELLIN_LSP_BIN')
  local repo = H.getenv('QUELLIN_REPO')
  H.getenv('QUELLIN_STDLIB')
  vim.cmd('filetype plugin indent on')
  vim.cmd('syntax on')

  local dir = H.tempdir()
  local path = dir .. '/mistake.qn'
  vim.fn.writefile(vim.fn.readfile(repo .. '/examples/mistake.qn', 'b'), path, 'b')
  vim.fn.writefile({
    'fn shout(t: Text) -> Text = t',
    '',
    'fn main() -> Void:',
    -- Eight U+1F600 (two UTF-16 units each, more than the length of 'shout') and one U+00E9, as UTF-8 bytes.
    '    print("' .. string.rep('\240\159\152\128', 8) .. '\195\169" + shout("x"))',
  }, dir .. '/wide.qn')

  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  local bufnr = vim.api.nvim_get_current_buf()
  H.eq(vim.bo.filetype, 'quellin', 'filetype of mistake.qn')
  require('quellin.lsp').setup({ cmd = { server } })

  -- The one mistake: `p` is reassigned though declared with `let`.
  wait_for_diagnostics(bufnr, 1, 'mistake.qn as opened')
  local diagnostic = vim.diagnostic.get(bufnr)[1]
  H.eq({ diagnostic.lnum, diagnostic.col, diagnostic.message, diagnostic.severity },
    { 9, 4, MISTAKE, vim.diagnostic.severity.ERROR }, 'the diagnostic of mistake.qn')

  -- Hover over the call of `shift`.
  local hover = hover_at(bufnr, 9, 'shift')
  expect_contains(hover, 'fn shift(p: Point, dx: Int) -> Point', 'hover over shift')

  -- The fix, as an edit in the buffer (sent to the server as a change).
  local line = vim.api.nvim_buf_get_lines(bufnr, 8, 9, true)[1]
  H.eq(line, '    let p = Point(x: 1, y: 2)', 'line 9 of mistake.qn')
  vim.api.nvim_buf_set_lines(bufnr, 8, 9, true, { (line:gsub('let p', 'mut p')) })
  wait_for_diagnostics(bufnr, 0, 'mistake.qn after the fix')

  -- Undoing the fix brings the diagnostic back.
  vim.cmd('silent undo')
  wait_for_diagnostics(bufnr, 1, 'mistake.qn after undoing the fix')

  -- A second file in the same directory shares the client. Its line has
  -- characters outside the Basic Multilingual Plane before the call, so hover
  -- finds `shout` only when positions are counted in characters.
  vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/wide.qn'))
  local wide = vim.api.nvim_get_current_buf()
  H.eq(vim.bo.filetype, 'quellin', 'filetype of wide.qn')
  local attached = vim.wait(WAIT_MS, function()
    return #H.clients(wide) > 0
  end, 20)
  H.eq(attached, true, 'wide.qn attached')
  H.eq(#H.clients(), 1, 'clients for two files of one directory')
  wait_for_diagnostics(wide, 0, 'wide.qn')
  expect_contains(hover_at(wide, 3, 'shout'), 'fn shout(t: Text) -> Text', 'hover after wide characters')

  -- Stop the server before leaving so that it cannot outlive the test.
  local clients = H.clients()
  vim.lsp.stop_client(clients)
  vim.wait(WAIT_MS, function()
    return #H.clients() == 0
  end, 20)
  H.eq(#H.clients(), 0, 'clients after stopping')
  vim.fn.delete(dir, 'rf')
end)
