" Buffer settings for QUELLIN source: `//` comments, and blocks indented by
" exactly four spaces (the language rejects tabs and any other width).

if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

setlocal commentstring=//\ %s
" `///` first, so that continuing a doc comment repeats the doc-comment leader.
setlocal comments=:///,://
setlocal formatoptions-=t formatoptions+=croql
setlocal expandtab shiftwidth=4 softtabstop=4
" `import util` names util.qn: lets `gf` open the module under the cursor.
setlocal suffixesadd=.qn

let b:undo_ftplugin = 'setlocal commentstring< comments< formatoptions< expandtab< shiftwidth< softtabstop< suffixesadd<'
