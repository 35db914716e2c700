-- File type detection, highlighting, indentation, buffer options and the LSP
-- setup module's choices, checked in a headless Neovim that has editors/vim on
-- its runtimepath and no user configuration. Needs no server.

local here = vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':p:h')
local H = dofile(here .. '/harness.lua')

-- Group names from the outermost item to the innermost at a position.
local function stack_at(line, col)
  return vim.tbl_map(function(id)
    return vim.fn.synIDattr(id, 'name')
  end, vim.fn.synstack(line, col))
end

-- Highlighting: the checks listed in highlight.rows (shared with the Vim test).
local function read_rows(path)
  local rows = {}
  for _, line in ipairs(vim.fn.readfile(path)) do
    if line ~= '' and not vim.startswith(line, '#') then
      local fields = vim.split(line, ' | ', { plain = true })
      local row = { tonumber(fields[1]), fields[2], fields[3] == '-' and '' or fields[3] }
      if fields[4] then
        row[4] = vim.split(fields[4], ' ', { plain = true })
      end
      table.insert(rows, row)
    end
  end
  return rows
end

local function check_highlighting(path)
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  H.eq(vim.bo.filetype, 'quellin', 'filetype of ' .. path)
  H.eq(vim.b.current_syntax, 'quellin', 'syntax of ' .. path)
  local rows = read_rows(here .. '/highlight.rows')
  if #rows < 50 then
    H.fail('highlight.rows holds only ' .. #rows .. ' checks')
  end
  for _, row in ipairs(rows) do
    local lnum, piece, group, stack = row[1], row[2], row[3], row[4]
    local text = vim.fn.getline(lnum)
    local col = text:find(piece, 1, true)
    if not col then
      H.fail(string.format('highlight.qn line %d has no %q', lnum, piece))
    else
      local where = string.format('line %d col %d (%q)', lnum, col, piece)
      H.eq(vim.fn.synIDattr(vim.fn.synID(lnum, col, 1), 'name'), group, 'group at ' .. where)
      if stack then
        H.eq(stack_at(lnum, col), stack, 'stack at ' .. where)
      end
    end
  end
  -- Every group in use is linked to a standard highlight group.
  for _, group in ipairs({ 'quellinKeyword', 'quellinFunction', 'quellinText', 'quellinComment',
    'quellinDocComment', 'quellinNumber', 'quellinFloat', 'quellinTypeDecl', 'quellinInterpDelimiter' }) do
    local id = vim.fn.synIDtrans(vim.fn.hlID(group))
    if id == vim.fn.hlID(group) then
      H.fail(group .. ' is not linked to a standard group')
    end
  end
end

-- Buffer options, and that changing the file type takes them back.
local function check_buffer_options(path)
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  H.eq(vim.bo.commentstring, '// %s', 'commentstring')
  H.eq(vim.bo.comments, ':///,://', 'comments')
  H.eq(vim.bo.expandtab, true, 'expandtab')
  H.eq(vim.bo.shiftwidth, 4, 'shiftwidth')
  H.eq(vim.bo.softtabstop, 4, 'softtabstop')
  H.eq(vim.bo.indentexpr, 'GetQuellinIndent(v:lnum)', 'indentexpr')
  -- A file type without a plugin of its own, so only the undo is seen.
  vim.bo.filetype = 'unknown'
  H.eq(vim.bo.commentstring, vim.go.commentstring, 'commentstring after leaving quellin')
  H.eq(vim.bo.shiftwidth, vim.go.shiftwidth, 'shiftwidth after leaving quellin')
  H.eq(vim.bo.expandtab, vim.go.expandtab, 'expandtab after leaving quellin')
  H.eq(vim.bo.indentexpr, '', 'indentexpr after leaving quellin')
  vim.cmd('silent bwipeout!')
end

-- Indentation. Each row: the lines above, and the indent expected for the
-- line after them.
local indent_rows = {
  { { 'fn main() -> Void:' }, 4 },
  { { '    if x > 1:' }, 8 },
  { { '    if x > 1:   ' }, 8 },
  { { '    x = 1' }, 4 },
  { { '        return x' }, 8 },
  { { 'fn main() -> Void:', '' }, 4 },
  { { '    while ok:', '', '' }, 8 },
  { { '    if ready:  // the common case' }, 8 },
  { { '    x = 1  // note:' }, 4 },
  { { '    /// Returns:' }, 4 },
  { { '    // for x in xs:' }, 4 },
  { { '    let s = "a // b:"' }, 4 },
  { { '    let s = "a // b" + x:' }, 8 },
  { { '    let s = "{f("//")}" + x:' }, 8 },
  { { '    let s = "\\"" // x:' }, 4 },
  { { '    let s = "{m[{1}]}" // x:' }, 4 },
  { { '    case Some(v) if v > 0:' }, 8 },
}

local function check_indentation()
  vim.cmd('enew')
  vim.bo.filetype = 'quellin'
  for _, row in ipairs(indent_rows) do
    local lines = vim.list_extend(vim.deepcopy(row[1]), { '' })
    vim.api.nvim_buf_set_lines(0, 0, -1, true, lines)
    H.eq(vim.fn.GetQuellinIndent(#lines), row[2], 'indent after ' .. vim.inspect(row[1]))
  end
  -- Typing: `o` below a block header indents, and a line below keeps it.
  vim.api.nvim_buf_set_lines(0, 0, -1, true, { 'fn main() -> Void:' })
  vim.cmd('normal! Golet x = 1')
  vim.cmd('normal! Goif x > 0:')
  vim.cmd('normal! Goprint("yes")')
  H.eq(vim.api.nvim_buf_get_lines(0, 0, -1, true),
    { 'fn main() -> Void:', '    let x = 1', '    if x > 0:', '        print("yes")' }, 'typed lines')
  vim.cmd('silent bwipeout!')
end

-- The LSP module, without a server: a missing program is reported once, at
-- error level, and no client starts; and on a Neovim with vim.lsp.start (0.8
-- and later) that is what the module calls, with the root from vim.fs. On 0.7
-- the second check runs against stand-ins for both.
local function check_lsp_module(dir)
  local lsp = require('quellin.lsp')
  local notes = {}
  local real_notify = vim.notify
  vim.notify = function(message, level)
    table.insert(notes, { message = message, level = level })
  end
  local ok, err = pcall(function()
    lsp.setup({ cmd = { dir .. '/no-such-quellin-lsp' } })
    vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/one.qn'))
    vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/two.qn'))
  end)
  vim.notify = real_notify
  if not ok then
    error(err)
  end
  H.eq(#notes, 1, 'notifications for a missing server program')
  if notes[1] then
    H.eq(notes[1].level, vim.log.levels.ERROR, 'level of the missing-program notification')
    if not notes[1].message:find(dir .. '/no-such-quellin-lsp', 1, true) then
      H.fail('the missing-program notification does not name the program: ' .. notes[1].message)
    end
  end
  H.eq(#H.clients(), 0, 'clients started without a program')

  -- Options of the wrong kind are reported at error level too.
  notes = {}
  vim.notify = function(message, level)
    table.insert(notes, { message = message, level = level })
  end
  ok, err = pcall(lsp.setup, { cmd = 'quellin-lsp' })
  vim.notify = real_notify
  if not ok then
    error(err)
  end
  H.eq(vim.tbl_map(function(note)
    return note.level
  end, notes), { vim.log.levels.ERROR }, 'notifications for cmd given as a string')
  vim.cmd('silent %bwipeout!')

  -- The 0.8 code path.
  local project = dir .. '/project'
  vim.fn.mkdir(project .. '/.git', 'p')
  vim.fn.mkdir(project .. '/src/deep', 'p')
  local calls = {}
  local real_start, real_fs = vim.lsp.start, vim.fs
  vim.lsp.start = function(config)
    table.insert(calls, { config = config, buf = vim.api.nvim_get_current_buf() })
    return 42
  end
  vim.fs = real_fs or {
    dirname = function(path)
      return vim.fn.fnamemodify(path, ':h')
    end,
    find = function(names, opts)
      local dir = opts.path
      while true do
        for _, name in ipairs(names) do
          if vim.loop.fs_stat(dir .. '/' .. name) then
            return { dir .. '/' .. name }
          end
        end
        local parent = vim.fn.fnamemodify(dir, ':h')
        if parent == dir then
          return {}
        end
        dir = parent
      end
    end,
  }
  ok, err = pcall(function()
    lsp.setup({ cmd = { 'sh' } })
    vim.cmd('edit ' .. vim.fn.fnameescape(project .. '/src/deep/a.qn'))
    local in_project = vim.api.nvim_get_current_buf()
    vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/loose.qn'))
    local loose = vim.api.nvim_get_current_buf()
    vim.cmd('enew')
    -- Attaching a buffer that is not the current one still starts for that buffer.
    H.eq(lsp.attach(in_project), 42, 'client id from vim.lsp.start')
    H.eq(#calls, 3, 'vim.lsp.start calls')
    if #calls == 3 then
      H.eq(calls[1].buf, in_project, 'buffer current during the first start')
      H.eq(calls[1].config.root_dir, vim.fn.resolve(project), 'root of a file below a marker')
      H.eq(calls[1].config.cmd, { 'sh' }, 'cmd given to vim.lsp.start')
      H.eq(calls[1].config.name, 'quellin-lsp', 'client name')
      H.eq(calls[1].config.offset_encoding, 'utf-32', 'offset encoding')
      H.eq(calls[2].buf, loose, 'buffer current during the second start')
      H.eq(calls[2].config.root_dir, vim.fn.resolve(dir), 'root of a file above every marker')
      H.eq(calls[3].buf, in_project, 'buffer current when attaching a hidden buffer')
    end
  end)
  vim.lsp.start, vim.fs = real_start, real_fs
  vim.api.nvim_del_augroup_by_name('quellin_lsp')
  if not ok then
    error(err)
  end
  H.eq(#H.clients(), 0, 'clients started by the stand-in')
end

H.run('editing_test', function()
  vim.cmd('filetype plugin indent on')
  vim.cmd('syntax on')
  -- A real directory name, so that paths compare equal after resolution.
  local dir = vim.fn.resolve(H.tempdir())
  check_highlighting(here .. '/highlight.qn')
  check_buffer_options(here .. '/highlight.qn')
  check_indentation()
  check_lsp_module(dir)
  vim.fn.delete(dir, 'rf')
end)
