-- Run inside the Neovim started by package_test.lua, on mistake.qn.

local here = vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':p:h')
local H = dofile(here .. '/harness.lua')

H.run('package_check', function()
  local bufnr = vim.api.nvim_get_current_buf()
  H.eq(vim.bo.filetype, 'quellin', 'filetype')
  H.eq(vim.b.current_syntax, 'quellin', 'syntax')
  H.eq({ vim.bo.shiftwidth, vim.bo.expandtab, vim.bo.indentexpr }, { 4, true, 'GetQuellinIndent(v:lnum)' },
    'shiftwidth, expandtab, indentexpr')
  local arrived = vim.wait(10000, function()
    return #vim.diagnostic.get(bufnr) == 1
  end, 20)
  H.eq(arrived, true, 'a diagnostic within 10 s')
  if arrived then
    local d = vim.diagnostic.get(bufnr)[1]
    H.eq({ d.lnum, d.col }, { 9, 4 }, 'diagnostic position')
  end
end)
