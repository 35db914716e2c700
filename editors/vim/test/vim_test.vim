" The package in Vim (not Neovim): file type detection, the highlight checks of
" highlight.rows, buffer options and indentation while typing. Run as
"   vim -N -u NONE -i NONE -n -es --cmd 'set rtp^=editors/vim' -S vim_test.vim
" and exits with status 1, the failures on standard error, when a check fails.

let s:here = expand('<sfile>:p:h')
let s:failures = []

function! s:Eq(got, want, what) abort
  if type(a:got) != type(a:want) || a:got != a:want
    call add(s:failures, printf('%s: expected %s, got %s', a:what, string(a:want), string(a:got)))
  endif
endfunction

function! s:Highlighting() abort
  execute 'edit' fnameescape(s:here . '/highlight.qn')
  call s:Eq(&filetype, 'quellin', 'filetype')
  call s:Eq(get(b:, 'current_syntax', ''), 'quellin', 'syntax')
  let checked = 0
  for line in readfile(s:here . '/highlight.rows')
    if line ==# '' || line[0] ==# '#'
      continue
    endif
    let fields = split(line, ' | ', 1)
    let lnum = str2nr(fields[0])
    let col = stridx(getline(lnum), fields[1]) + 1
    let where = printf('line %d (%s)', lnum, string(fields[1]))
    if col == 0
      call add(s:failures, 'highlight.qn has no ' . where)
      continue
    endif
    let want = fields[2] ==# '-' ? '' : fields[2]
    call s:Eq(synIDattr(synID(lnum, col, 1), 'name'), want, 'group at ' . where)
    if len(fields) > 3
      let stack = map(synstack(lnum, col), 'synIDattr(v:val, "name")')
      call s:Eq(stack, split(fields[3], ' '), 'stack at ' . where)
    endif
    let checked += 1
  endfor
  if checked < 50
    call add(s:failures, 'highlight.rows holds only ' . checked . ' checks')
  endif
endfunction

function! s:OptionsAndIndent() abort
  call s:Eq(&l:commentstring, '// %s', 'commentstring')
  call s:Eq([&l:expandtab, &l:shiftwidth, &l:softtabstop], [1, 4, 4], 'expandtab, shiftwidth, softtabstop')
  enew!
  setfiletype quellin
  call setline(1, 'fn main() -> Void:')
  execute "normal! Golet x = 1"
  execute "normal! Goif x > 0:  // positive"
  execute "normal! Goprint(\"yes\")"
  call s:Eq(getline(1, '$'),
        \ ['fn main() -> Void:', '    let x = 1', '    if x > 0:  // positive', '        print("yes")'],
        \ 'typed lines')
endfunction

filetype plugin indent on
syntax on
try
  call s:Highlighting()
  call s:OptionsAndIndent()
catch
  call add(s:failures, 'stopped by an error: ' . v:exception . ' at ' . v:throwpoint)
endtry

if empty(s:failures)
  " In silent Ex mode, :verbose makes echo reach the terminal.
  verbose echo 'vim_test: all checks passed'
  qall!
endif
verbose echo printf('vim_test: %d check(s) failed', len(s:failures))
for s:failure in s:failures
  verbose echo '  ' . s:failure
endfor
cquit!
