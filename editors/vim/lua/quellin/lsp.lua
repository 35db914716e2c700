-- Starts the QUELLIN language server for every buffer of file type `quellin`
-- and attaches the buffer to it.
--
--   require('quellin.lsp').setup()                                 -- quellin-lsp on PATH
--   require('quellin.lsp').setup({ cmd = { '/path/to/quellin-lsp' } })
--
-- Works with Neovim 0.7 (vim.lsp.start_client and vim.lsp.buf_attach_client,
-- one client per root directory kept here) and with 0.8 and later
-- (vim.lsp.start, which reuses a client of the same name and root itself).
-- Problems that would otherwise leave a buffer without a server, and the user
-- without a word, are reported with vim.notify at error level.

local M = {}

M.defaults = {
  name = 'quellin-lsp',
  cmd = { 'quellin-lsp' },
  -- A buffer's root is the nearest directory above it holding one of these,
  -- or else the buffer's own directory.
  root_markers = { '.git' },
  -- The server counts positions in characters (Unicode scalar values), which
  -- is what the client calls utf-32.
  offset_encoding = 'utf-32',
}

-- Options passed on to the client unchanged when given.
local passthrough = { 'on_attach', 'capabilities', 'cmd_env', 'handlers', 'flags', 'on_exit', 'on_init' }

local options = vim.deepcopy(M.defaults)
-- Client id per root directory, for Neovim versions without vim.lsp.start.
local clients_by_root = {}
-- Commands already reported as missing, so that opening many files of a broken
-- setup gives one message rather than one per file.
local reported_missing = {}

local function notify_error(message)
  vim.notify('quellin-lsp: ' .. message, vim.log.levels.ERROR)
end

local function is_dir(path)
  local stat = vim.loop.fs_stat(path)
  return stat ~= nil and stat.type == 'directory'
end

local function dirname(path)
  if vim.fs and vim.fs.dirname then
    return vim.fs.dirname(path)
  end
  return vim.fn.fnamemodify(path, ':h')
end

-- The directory above `start` (inclusive) that holds one of `markers`, or nil.
local function find_marker_dir(start, markers)
  if vim.fs and vim.fs.find then
    local found = vim.fs.find(markers, { upward = true, path = start })[1]
    return found and dirname(found) or nil
  end
  local dir = start
  while dir do
    for _, marker in ipairs(markers) do
      if vim.loop.fs_stat(dir .. '/' .. marker) then
        return dir
      end
    end
    local parent = vim.fn.fnamemodify(dir, ':h')
    if parent == dir then
      return nil
    end
    dir = parent
  end
  return nil
end

--- The root directory for a buffer: the nearest directory at or above the
--- buffer's file that holds a root marker, else the file's own directory, else
--- (for a buffer without a file) the current directory.
function M.root_dir(bufnr)
  local name = vim.api.nvim_buf_get_name(bufnr)
  if name == '' then
    return vim.loop.cwd()
  end
  local dir = dirname(vim.fn.fnamemodify(name, ':p'))
  if not is_dir(dir) then
    return vim.loop.cwd()
  end
  return find_marker_dir(dir, options.root_markers) or dir
end

local function client_config(root)
  local config = {
    name = options.name,
    cmd = options.cmd,
    root_dir = root,
    offset_encoding = options.offset_encoding,
  }
  for _, key in ipairs(passthrough) do
    config[key] = options[key]
  end
  return config
end

-- Neovim 0.7: one client per root directory, started on first use and
-- restarted if it has stopped.
local function attach_with_start_client(bufnr, root)
  local id = clients_by_root[root]
  local client = id and vim.lsp.get_client_by_id(id)
  if not client or client.is_stopped() then
    id = vim.lsp.start_client(client_config(root))
    if not id then
      notify_error(string.format("could not start '%s' (see :lua print(vim.lsp.get_log_path()))",
        table.concat(options.cmd, ' ')))
      return nil
    end
    clients_by_root[root] = id
  end
  if not vim.lsp.buf_attach_client(bufnr, id) then
    notify_error(string.format('could not attach buffer %d to the language server', bufnr))
    return nil
  end
  return id
end

-- Neovim 0.8 and later. vim.lsp.start attaches the current buffer, so it is
-- called with the buffer made current.
local function attach_with_start(bufnr, root)
  local id
  vim.api.nvim_buf_call(bufnr, function()
    id = vim.lsp.start(client_config(root))
  end)
  return id
end

--- Attaches one buffer to the server (starting it if needed); returns the
--- client id, or nil after telling the user why not.
function M.attach(bufnr)
  if bufnr == nil or bufnr == 0 then
    bufnr = vim.api.nvim_get_current_buf()
  end
  local program = options.cmd[1]
  if vim.fn.executable(program) ~= 1 then
    if not reported_missing[program] then
      reported_missing[program] = true
      notify_error(string.format(
        "cannot start the language server: '%s' is not an executable program "
          .. "(put quellin-lsp on PATH, or pass its full path: "
          .. "require('quellin.lsp').setup({ cmd = { '/path/to/quellin-lsp' } }))",
        program))
    end
    return nil
  end
  local root = M.root_dir(bufnr)
  if vim.lsp.start then
    return attach_with_start(bufnr, root)
  end
  return attach_with_start_client(bufnr, root)
end

--- Sets the options (merged over M.defaults) and attaches every `quellin`
--- buffer, those open now and those opened later. Calling it again replaces
--- the options for buffers attached from then on.
function M.setup(opts)
  opts = opts or {}
  if type(opts) ~= 'table' then
    notify_error('setup: the options should be a table')
    return
  end
  for key, kind in pairs({ cmd = 'table', name = 'string', root_markers = 'table' }) do
    if opts[key] ~= nil and type(opts[key]) ~= kind then
      notify_error(string.format('setup: %s should be a %s, not a %s', key, kind, type(opts[key])))
      return
    end
  end
  options = vim.tbl_extend('force', vim.deepcopy(M.defaults), opts)
  reported_missing = {}
  if #options.cmd == 0 then
    notify_error('setup: cmd is empty; it should be the server command, for example { \'quellin-lsp\' }')
    return
  end

  local group = vim.api.nvim_create_augroup('quellin_lsp', { clear = true })
  vim.api.nvim_create_autocmd('FileType', {
    group = group,
    pattern = 'quellin',
    callback = function(args)
      M.attach(args.buf)
    end,
  })
  for _, bufnr in ipairs(vim.api.nvim_list_bufs()) do
    if vim.api.nvim_buf_is_loaded(bufnr) and vim.bo[bufnr].filetype == 'quellin' then
      M.attach(bufnr)
    end
  end
end

return M
