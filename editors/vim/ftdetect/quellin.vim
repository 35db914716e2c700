" QUELLIN source files are named *.qn.  A plain autocommand (rather than a Lua
" filetype table) so that Vim, Neovim 0.7 and later Neovims all pick it up.
au BufRead,BufNewFile *.qn setfiletype quellin
