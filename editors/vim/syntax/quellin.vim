" Syntax highlighting for QUELLIN source (*.qn).

if exists('b:current_syntax')
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syntax case match

" Reserved words.  These lines hold exactly the language's reserved words (plus
" the two truth values and the builtin type names in their own groups); any
" other word that needs a colour is matched by a pattern further down.
syntax keyword quellinStorage let mut pub async
syntax keyword quellinKeyword fn with intent test
syntax keyword quellinStatement return break continue assert
syntax keyword quellinConditional if elif else match case
syntax keyword quellinRepeat for while in
syntax keyword quellinOperatorWord and or not
syntax keyword quellinStructure record enum trait module
syntax keyword quellinInclude import
syntax keyword quellinBoolean true false
syntax keyword quellinType Int Float Text Bool Void Bytes List Map Set Tuple Option Result

" Declared names.  Where several patterns start at the same column the one
" defined last wins, so the general capitalised-name rule comes first.
syntax match quellinTypeName /\<\u\w*\>/
syntax match quellinTypeDecl /\%(\<\%(record\|enum\|trait\)\s\+\)\@<=\h\w*/
syntax match quellinFunction /\%(\<fn\s\+\)\@<=\h\w*/

" Operators.  `!` exists only inside `!=`.
syntax match quellinOperator /->\|==\|!=\|<=\|>=\|[-+*/%=<>?]/

" Numbers: decimal and hexadecimal integers with `_` separators, and floats
" (digits on both sides of the point; `1.abs` is an integer and a method).
syntax match quellinNumber /\<\d[0-9_]*\>/
syntax match quellinNumber /\<0[xX][0-9a-fA-F_]*\>/
syntax match quellinFloat /\<\d[0-9_]*\.\d[0-9_]*\>/

" Comments.  `///` is a doc comment, attached to the declaration below it.
syntax match quellinTodo /\<\%(TODO\|FIXME\|XXX\|NOTE\)\>/ contained
syntax match quellinComment +//.*$+ contains=quellinTodo,@Spell
syntax match quellinDocComment +///.*$+ contains=quellinTodo,@Spell

" Text literals, closed on the same line.  `{...}` is an interpolation: the
" expression inside is highlighted as code, may hold braces of its own and
" text literals with interpolations of their own.
syntax match quellinEscapeError /\\./ contained
syntax match quellinEscape /\\[nrt\\"{}]/ contained
syntax match quellinBraceError /}/ contained
syntax region quellinText start=/"/ skip=/\\./ end=/"/ end=/$/
      \ contains=quellinEscape,quellinEscapeError,quellinBraceError,quellinInterp,@Spell
syntax cluster quellinCode contains=quellinStorage,quellinKeyword,quellinStatement,quellinConditional,
      \quellinRepeat,quellinOperatorWord,quellinStructure,quellinInclude,quellinBoolean,quellinType,
      \quellinTypeName,quellinOperator,quellinNumber,quellinFloat,quellinText
syntax region quellinInterp matchgroup=quellinInterpDelimiter start=/{/ end=/}/ end=/$/
      \ contained contains=@quellinCode,quellinInterpBraces
syntax region quellinInterpBraces start=/{/ end=/}/ end=/$/
      \ contained transparent contains=@quellinCode,quellinInterpBraces

hi def link quellinStorage StorageClass
hi def link quellinKeyword Keyword
hi def link quellinStatement Statement
hi def link quellinConditional Conditional
hi def link quellinRepeat Repeat
hi def link quellinOperatorWord Operator
hi def link quellinStructure Structure
hi def link quellinInclude Include
hi def link quellinBoolean Boolean
hi def link quellinType Type
hi def link quellinTypeName Type
hi def link quellinTypeDecl Typedef
hi def link quellinFunction Function
hi def link quellinOperator Operator
hi def link quellinNumber Number
hi def link quellinFloat Float
hi def link quellinTodo Todo
hi def link quellinComment Comment
hi def link quellinDocComment SpecialComment
hi def link quellinText String
hi def link quellinEscape SpecialChar
hi def link quellinEscapeError Error
hi def link quellinBraceError Error
hi def link quellinInterpDelimiter Delimiter

let b:current_syntax = 'quellin'

let &cpo = s:cpo_save
unlet s:cpo_save
