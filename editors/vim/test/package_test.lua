-- The package installed the way a user installs it: linked under a
-- pack/*/start directory, with the README's init.lua lines as the whole
-- configuration and quellin-lsp found on PATH. A second Neovim starts on a
-- copy of examples/mistake.qn through its ordinary start-up (no -u NONE) and
-- runs package_check.lua, which expects the file type, the buffer options and
-- the server's diagnostic.
--
-- Environment: QUELLIN_LSP_BIN, QUELLIN_REPO, QUELLIN_STDLIB.

local here = vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':p:h')
local H = dofile(here .. '/harness.lua')

-- The first ```lua block of the README.
local function readme_snippet(path)
  local lines, inside = {}, false
  for _, line in ipairs(vim.fn.readfile(path)) do
    if inside and line == '```' then
      return lines
    elseif inside then
      table.insert(lines, line)
    elseif line == '```lua' then
      inside = true
    end
  end
  error('no lua block in ' .. path)
end

H.run('package_test', function()
  local server = H.getenv('QUELLIN_LSP_BIN')
  local repo = H.getenv('QUELLIN_REPO')
  H.getenv('QUELLIN_STDLIB')
  local package_dir = vim.fn.fnamemodify(here, ':h')

  local home = H.tempdir()
  local init = home .. '/config/nvim/init.lua'
  vim.fn.mkdir(vim.fn.fnamemodify(init, ':h'), 'p')
  vim.fn.writefile(readme_snippet(package_dir .. '/README.md'), init)
  local start = home .. '/data/nvim/site/pack/quellin/start'
  vim.fn.mkdir(start, 'p')
  assert(vim.loop.fs_symlink(package_dir, start .. '/quellin'))
  -- The server under the name the snippet expects, in a directory put on PATH.
  local bin = home .. '/bin'
  vim.fn.mkdir(bin, 'p')
  assert(vim.loop.fs_symlink(server, bin .. '/quellin-lsp'))
  local file = home .. '/mistake.qn'
  vim.fn.writefile(vim.fn.readfile(repo .. '/examples/mistake.qn', 'b'), file, 'b')

  local output = {}
  local function collect(_, data)
    vim.list_extend(output, data)
  end
  local job = vim.fn.jobstart({ vim.v.progpath, '--headless', '-i', 'NONE', '-n', file,
    '-c', 'luafile ' .. here .. '/package_check.lua', '-c', 'cquit 2' }, {
    cwd = home,
    env = {
      XDG_CONFIG_HOME = home .. '/config',
      XDG_DATA_HOME = home .. '/data',
      XDG_STATE_HOME = home .. '/state',
      XDG_CACHE_HOME = home .. '/cache',
      PATH = bin .. ':' .. os.getenv('PATH'),
    },
    stdin = 'null',
    on_stdout = collect,
    on_stderr = collect,
  })
  assert(job > 0, 'could not start ' .. vim.v.progpath)
  local status = vim.fn.jobwait({ job }, 30000)[1]
  if status ~= 0 then
    if status == -1 then
      vim.fn.jobstop(job)
    end
    H.fail(string.format('Neovim with the installed package ended with %d:\n    %s', status,
      table.concat(output, '\n    ')))
  end
  vim.fn.delete(home, 'rf')
end)
