-- Shared by the headless Neovim tests: collects failed checks, and ends Neovim
-- with a non-zero status (cquit) when any check failed or the test raised an
-- error, so that a test can never leave Neovim waiting for input.

local H = { failures = {} }

function H.fail(message)
  table.insert(H.failures, message)
end

function H.eq(got, want, what)
  if not vim.deep_equal(got, want) then
    H.fail(string.format('%s: expected %s, got %s', what, vim.inspect(want), vim.inspect(got)))
  end
end

-- Runs `body` and exits Neovim: status 0 when every check passed, else 1 with
-- the failures on standard error.
function H.run(name, body)
  local ok, err = xpcall(body, debug.traceback)
  if not ok then
    H.fail('stopped by an error: ' .. tostring(err))
  end
  if #H.failures > 0 then
    io.stderr:write(string.format('%s: %d check(s) failed\n', name, #H.failures))
    for _, failure in ipairs(H.failures) do
      io.stderr:write('  ' .. failure .. '\n')
    end
    io.stderr:flush()
    vim.cmd('cquit 1')
  else
    io.stdout:write(name .. ': all checks passed\n')
    io.stdout:flush()
    vim.cmd('qall!')
  end
end

-- A fresh temporary directory.
function H.tempdir()
  local dir = vim.fn.tempname()
  vim.fn.mkdir(dir, 'p')
  return dir
end

-- The running LSP clients, all of them or those of one buffer (vim.lsp.get_clients
-- replaced get_active_clients and buf_get_clients in Neovim 0.10).
function H.clients(bufnr)
  if vim.lsp.get_clients then
    return vim.lsp.get_clients(bufnr and { bufnr = bufnr } or nil)
  end
  if bufnr then
    return vim.tbl_values(vim.lsp.buf_get_clients(bufnr))
  end
  return vim.lsp.get_active_clients()
end

function H.getenv(name)
  local value = os.getenv(name)
  if value == nil or value == '' then
    error(name .. ' is not set')
  end
  return value
end

return H
