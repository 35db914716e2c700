" Indentation for QUELLIN: a line that ends with `:` (after any trailing `//`
" comment is set aside) opens a block, so the next line goes one level deeper;
" any other line keeps the indentation of the line before it.  Closing a block
" is left to the user, who knows where it ends.

if exists('b:did_indent')
  finish
endif
let b:did_indent = 1

setlocal autoindent
setlocal indentexpr=GetQuellinIndent(v:lnum)
setlocal indentkeys=!^F,o,O

let b:undo_indent = 'setlocal autoindent< indentexpr< indentkeys<'

if exists('*GetQuellinIndent')
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" The code of a line without its trailing comment: `//` starts a comment only
" outside text literals, and a literal may hold `{...}` interpolations that hold
" literals of their own, so the scan keeps a stack of what it is inside.
function! QuellinCodePart(line) abort
  " Each entry is 's' (inside a text literal) or 'i' (inside an interpolation,
  " counting the braces opened in it).
  let stack = []
  let braces = []
  let i = 0
  let n = strlen(a:line)
  while i < n
    let c = a:line[i]
    let mode = empty(stack) ? '' : stack[-1]
    if mode ==# 's'
      if c ==# '\'
        let i += 1
      elseif c ==# '"'
        call remove(stack, -1)
      elseif c ==# '{'
        call add(stack, 'i')
        call add(braces, 0)
      endif
    else
      if c ==# '"'
        call add(stack, 's')
      elseif mode ==# '' && c ==# '/' && a:line[i + 1] ==# '/'
        return strpart(a:line, 0, i)
      elseif mode ==# 'i' && c ==# '{'
        let braces[-1] += 1
      elseif mode ==# 'i' && c ==# '}'
        if braces[-1] > 0
          let braces[-1] -= 1
        else
          call remove(stack, -1)
          call remove(braces, -1)
        endif
      endif
    endif
    let i += 1
  endwhile
  return a:line
endfunction

function! GetQuellinIndent(lnum) abort
  let prev = prevnonblank(a:lnum - 1)
  if prev == 0
    return 0
  endif
  let code = substitute(QuellinCodePart(getline(prev)), '\s\+$', '', '')
  if code =~# ':$'
    return indent(prev) + shiftwidth()
  endif
  return indent(prev)
endfunction

let &cpo = s:cpo_save
unlet s:cpo_save
