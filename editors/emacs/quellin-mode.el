;;; quellin-mode.el --- Major mode for QUELLIN -*- lexical-binding: t; -*-

;; Version: 1.7.51
;; Package-Requires: ((emacs "27.1"))
;; Keywords: languages

;; This file is not part of GNU Emacs.

;;; Commentary:

;; A major mode for QUELLIN source files (*.qn): syntax highlighting,
;; `//' comments, and indentation by blocks of four spaces.
;;
;; Indentation follows the off-side rule.  A line after one that ends
;; with `:' (a block opener such as `fn ...:', `if ...:' or `case ...:')
;; is indented one level deeper; any other line may stay at the previous
;; line's level or close any number of blocks.  TAB therefore works like
;; this:
;;
;;  - TAB first moves the line to the most likely level: one level
;;    deeper after a block opener, one level out after `return',
;;    `break' or `continue', and the previous line's level otherwise;
;;  - TAB on a line already at that level, or TAB pressed again, steps
;;    through the other allowed levels, one block out at a time,
;;    wrapping around to the deepest;
;;  - a line starting with `elif' or `else' lines up with an `if' or
;;    `elif' above it, and a line starting with `case' with an earlier
;;    `case' of the same `match' (or one level inside the `match');
;;  - lines inside open brackets line up with the first item after the
;;    bracket, or sit one level deeper than the line that opened it, and
;;    a closing bracket at the start of a line goes back to that line.
;;
;; `indent-region' keeps every line that already sits at an allowed
;; level, so indenting a correct file changes nothing; it moves lines
;; that cannot be right (over-indented, not a multiple of four, a block
;; body that is not indented).
;;
;; With eglot, `M-x eglot' in a QUELLIN buffer starts the server named
;; by `quellin-mode-server-command' (`quellin-lsp' on PATH by default).

;;; Code:

(require 'cl-lib)
(require 'prog-mode)

(defgroup quellin nil
  "Editing QUELLIN source files."
  :group 'languages
  :prefix "quellin-")

(defcustom quellin-indent-offset 4
  "Columns per indentation level.
QUELLIN's layout rules accept exactly four spaces per level, so
change this only for files that are not checked."
  :type 'integer
  :safe #'integerp)

(defcustom quellin-mode-server-command '("quellin-lsp")
  "Command line that starts the QUELLIN language server for eglot.
The first element is the program, the rest its arguments.  The
server reads the standard-library directory from the environment
variable QUELLIN_STDLIB when it is set."
  :type '(repeat string))

(defface quellin-interpolation-delimiter-face
  '((t :inherit font-lock-preprocessor-face))
  "Face for the braces around an interpolation in a text literal.")

(defface quellin-interpolation-face
  '((t :inherit font-lock-variable-name-face))
  "Face for the expression inside an interpolation in a text literal.")

(defface quellin-number-face
  '((t :inherit font-lock-constant-face))
  "Face for number literals.")

(defconst quellin-mode-keywords
  '("let" "mut" "fn" "pub" "async" "return" "if" "elif" "else" "for" "in"
    "while" "break" "continue" "match" "case" "and" "or" "not" "test"
    "assert" "intent" "record" "enum" "trait" "module" "import" "with")
  "The reserved words of QUELLIN.")

(defconst quellin-mode-constants '("true" "false")
  "Literal words of QUELLIN that are not reserved words.")

(defconst quellin-mode-builtin-types
  '("Int" "Float" "Text" "Bool" "Void" "Bytes" "List" "Map" "Set" "Tuple"
    "Option" "Result")
  "The types every QUELLIN program knows without declaring them.")

(defconst quellin-mode--ident-re "[A-Za-z_][A-Za-z0-9_]*"
  "An identifier.")

(defvar quellin-mode-syntax-table
  (let ((table (make-syntax-table)))
    ;; `//' starts a comment that runs to the end of the line; a lone
    ;; `/' is division.
    (modify-syntax-entry ?/ ". 12" table)
    (modify-syntax-entry ?\n ">" table)
    (modify-syntax-entry ?\" "\"" table)
    (modify-syntax-entry ?\\ "\\" table)
    (modify-syntax-entry ?_ "_" table)
    (modify-syntax-entry ?\( "()" table)
    (modify-syntax-entry ?\) ")(" table)
    (modify-syntax-entry ?\[ "(]" table)
    (modify-syntax-entry ?\] ")[" table)
    (modify-syntax-entry ?\{ "(}" table)
    (modify-syntax-entry ?\} "){" table)
    (dolist (c '(?+ ?- ?* ?% ?= ?< ?> ?! ?? ?. ?, ?: ?' ?& ?| ?^ ?~ ?# ?$ ?@))
      (modify-syntax-entry c "." table))
    table)
  "Syntax table for `quellin-mode'.")

;;;; Text literals

(defun quellin-mode--skip-literal (limit &optional on-quote)
  "Move past the text literal whose opening quote is at point.
Stop at LIMIT or at the end of the line when the literal is not
closed.  Interpolations are skipped whole, including text literals
nested in them; ON-QUOTE, when given, is called with the position
of every quote of such a nested literal.  Return t when the closing
quote was reached."
  (forward-char 1)
  (let ((closed nil) (done nil))
    (while (and (not done) (< (point) limit))
      (let ((c (char-after)))
        (cond
         ((eq c ?\n) (setq done t))
         ((eq c ?\\) (forward-char (min 2 (- limit (point)))))
         ((eq c ?\") (forward-char 1) (setq closed t done t))
         ((eq c ?{) (forward-char 1)
          (unless (quellin-mode--skip-interpolation limit on-quote)
            (setq done t)))
         (t (forward-char 1)))))
    closed))

(defun quellin-mode--skip-interpolation (limit &optional on-quote)
  "Move past an interpolation whose opening brace is just before point.
Braces nest; a text literal inside is copied through its closing
quote, and ON-QUOTE is called with the position of each of its
quotes.  Return t after consuming the closing brace, nil when the
line or LIMIT ends first."
  (let ((depth 0) (result 'open))
    (while (eq result 'open)
      (let ((c (and (< (point) limit) (char-after))))
        (cond
         ((or (null c) (eq c ?\n)) (setq result nil))
         ((eq c ?{) (setq depth (1+ depth)) (forward-char 1))
         ((eq c ?})
          (forward-char 1)
          (if (zerop depth) (setq result t) (setq depth (1- depth))))
         ((eq c ?\")
          (when on-quote (funcall on-quote (point)))
          (forward-char 1)
          (let ((inner 'open))
            (while (eq inner 'open)
              (let ((d (and (< (point) limit) (char-after))))
                (cond
                 ((or (null d) (eq d ?\n)) (setq inner nil result nil))
                 ((eq d ?\\) (forward-char (min 2 (- limit (point)))))
                 ((eq d ?\")
                  (when on-quote (funcall on-quote (point)))
                  (forward-char 1)
                  (setq inner t))
                 (t (forward-char 1)))))))
         (t (forward-char 1)))))
    result))

(defun quellin-mode--syntax-propertize (start end)
  "Give the quotes of text literals nested in interpolations punctuation syntax.
Without this, the quote that opens a literal inside `{...}' would
end the outer literal.  Works on whole lines from START to END;
text literals never span lines."
  (goto-char start)
  (let ((punct (string-to-syntax ".")))
    (while (re-search-forward "\"\\|//" end t)
      (let ((here (match-beginning 0)))
        (if (string= (match-string 0) "//")
            (end-of-line)
          (goto-char here)
          (quellin-mode--skip-literal
           (line-end-position)
           (lambda (pos)
             (put-text-property pos (1+ pos) 'syntax-table punct))))))))

(defun quellin-mode--match-interpolation (limit)
  "Font-lock matcher for an interpolation inside a text literal, before LIMIT.
Sets group 1 to the opening brace, group 2 to the expression and
group 3 to the closing brace."
  (let ((found nil))
    (while (and (not found) (search-forward "{" limit t))
      (let ((open (match-beginning 0)))
        ;; Font lock works on whole lines, so a brace met here is never
        ;; inside an interpolation found earlier: those are skipped whole.
        (when (and (nth 3 (save-excursion (syntax-ppss open)))
                   (not (quellin-mode--escaped-p open)))
          (goto-char (1+ open))
          (when (quellin-mode--skip-interpolation (line-end-position))
            (let ((close (1- (point))))
              (set-match-data (list open (point)
                                    open (1+ open)
                                    (1+ open) close
                                    close (point)))
              (setq found t))))))
    found))

(defun quellin-mode--escaped-p (pos)
  "Non-nil if the character at POS follows an odd number of backslashes."
  (save-excursion
    (goto-char pos)
    (cl-oddp (- pos (progn (skip-chars-backward "\\\\") (point))))))

(defun quellin-mode--syntactic-face (state)
  "Face of the string or comment described by the parse STATE.
Comments that start with `///' are documentation."
  (cond
   ((nth 3 state) font-lock-string-face)
   ((save-excursion
      (goto-char (nth 8 state))
      (looking-at-p "///"))
    font-lock-doc-face)
   (t font-lock-comment-face)))

;;;; Font lock

(defconst quellin-mode-font-lock-keywords
  `((,(concat "\\_<fn\\_>[ \t]+\\(" quellin-mode--ident-re "\\)")
     1 font-lock-function-name-face)
    (,(concat "\\_<\\(?:record\\|enum\\|trait\\)\\_>[ \t]+\\("
              quellin-mode--ident-re "\\)")
     1 font-lock-type-face)
    (,(concat "\\_<\\(?:let\\|mut\\|for\\)\\_>[ \t]+\\("
              quellin-mode--ident-re "\\)")
     1 font-lock-variable-name-face)
    (,(regexp-opt quellin-mode-keywords 'symbols) . font-lock-keyword-face)
    (,(regexp-opt quellin-mode-constants 'symbols) . font-lock-constant-face)
    (,(regexp-opt quellin-mode-builtin-types 'symbols) . font-lock-builtin-face)
    ("\\_<[A-Z][A-Za-z0-9_]*\\_>" . font-lock-type-face)
    ("\\_<\\(?:0[xX][0-9A-Fa-f_]+\\|[0-9][0-9_]*\\(?:\\.[0-9][0-9_]*\\)?\\)\\_>"
     . 'quellin-number-face)
    (quellin-mode--match-interpolation
     (1 'quellin-interpolation-delimiter-face t)
     (2 'quellin-interpolation-face t)
     (3 'quellin-interpolation-delimiter-face t)))
  "Highlighting for `quellin-mode'.")

;;;; Indentation

(defconst quellin-mode--comment-line-re "[ \t]*//\\(?:[^/]\\|$\\)"
  "A line holding only a `//' comment (a `///' documentation line is code).")

(defun quellin-mode--skip-line-p ()
  "Non-nil if the line at point does not count for layout: blank or a comment."
  (save-excursion
    (beginning-of-line)
    (or (looking-at-p "[ \t]*$")
        (looking-at-p quellin-mode--comment-line-re))))

(defun quellin-mode--previous-code-line ()
  "Move to the start of the nearest line above that counts for layout.
Return nil, without moving, if there is none."
  (let ((start (point)) (found nil))
    (while (and (not found) (zerop (forward-line -1)))
      (unless (quellin-mode--skip-line-p) (setq found t)))
    (unless found (goto-char start))
    found))

(defun quellin-mode--statement-start ()
  "Move to the start of the line where the statement at point begins.
A line inside brackets continues the line that opened the outermost
bracket."
  (beginning-of-line)
  (let ((open (car (nth 9 (syntax-ppss)))))
    (when open
      (goto-char open)
      (beginning-of-line))))

(defun quellin-mode--code-end ()
  "Position after the last character of code on the line at point, if any.
Trailing spaces and a trailing comment are not code."
  (save-excursion
    (end-of-line)
    (let ((ppss (syntax-ppss)))
      (when (nth 4 ppss) (goto-char (nth 8 ppss))))
    (skip-chars-backward " \t" (line-beginning-position))
    (and (> (point) (line-beginning-position)) (point))))

(defun quellin-mode--opens-block-p ()
  "Non-nil if the line at point ends with `:' outside brackets and strings."
  (let ((end (quellin-mode--code-end)))
    (and end
         (eq (char-before end) ?:)
         (let ((ppss (save-excursion (syntax-ppss (1- end)))))
           (not (or (nth 3 ppss) (nth 4 ppss) (nth 1 ppss)))))))

(defun quellin-mode--line-starts-with (words)
  "Non-nil if the code on the line at point starts with one of WORDS."
  (save-excursion
    (back-to-indentation)
    (looking-at-p (regexp-opt words 'symbols))))

(defun quellin-mode--levels-below (column)
  "COLUMN and every level from there out to column 0, deepest first."
  (let ((levels nil) (c (* quellin-indent-offset (/ column quellin-indent-offset))))
    (while (>= c 0)
      (push c levels)
      (setq c (- c quellin-indent-offset)))
    (nreverse levels)))

(defun quellin-mode--aligned-columns (heads)
  "Columns of the lines above, each one block further out, that start with HEADS.
HEADS is an alist from a word to the offset its column gets.  The
walk goes up over lines that count for layout, following only the
lines that are less indented than everything seen so far, and ends
at column 0."
  (save-excursion
    (let ((ceiling nil) (columns nil) (done nil))
      (while (and (not done) (quellin-mode--previous-code-line))
        (quellin-mode--statement-start)
        (let ((col (current-indentation)))
          (when (or (null ceiling) (<= col ceiling))
            (back-to-indentation)
            (let ((head (and (looking-at quellin-mode--ident-re)
                             (assoc (match-string 0) heads))))
              (when (and head (or (null ceiling) (< col ceiling)
                                  (null columns)))
                (cl-pushnew (+ col (cdr head)) columns)))
            (setq ceiling col)
            (when (zerop col) (setq done t)))))
      (nreverse columns))))

(defun quellin-mode--bracket-column (open)
  "Column for a line inside the bracket that opens at OPEN."
  (save-excursion
    (let ((closing (save-excursion
                     (back-to-indentation)
                     (memq (char-after) '(?\) ?\] ?\})))))
      (goto-char open)
      (cond
       (closing (current-indentation))
       ((progn (forward-char 1)
               (skip-chars-forward " \t")
               (or (eolp) (looking-at-p "//")))
        (goto-char open)
        (quellin-mode--statement-start)
        (+ (current-indentation) quellin-indent-offset))
       (t (current-column))))))

(defun quellin-mode-indent-candidates ()
  "Columns the line at point may be indented to, the most likely first.
The rest follow in the order TAB cycles through them."
  (save-excursion
    (beginning-of-line)
    (let ((open (nth 1 (syntax-ppss))))
      (if open
          (list (quellin-mode--bracket-column open))
        (let* ((reference
                (save-excursion
                  (when (quellin-mode--previous-code-line)
                    (let ((opens (quellin-mode--opens-block-p)))
                      (quellin-mode--statement-start)
                      (list (current-indentation) opens
                            (quellin-mode--line-starts-with
                             '("return" "break" "continue")))))))
               (col (or (car reference) 0)))
          (cond
           ((null reference) (list 0))
           ((nth 1 reference) (list (+ col quellin-indent-offset)))
           ((and (quellin-mode--line-starts-with '("elif" "else"))
                 (quellin-mode--aligned-columns '(("if" . 0) ("elif" . 0)))))
           ((and (quellin-mode--line-starts-with '("case"))
                 (quellin-mode--aligned-columns
                  `(("case" . 0) ("match" . ,quellin-indent-offset)))))
           (t
            (let ((levels (quellin-mode--levels-below col)))
              (if (and (nth 2 reference) (cdr levels))
                  (append (cdr levels) (list (car levels)))
                levels)))))))))

(defvar quellin-mode-indent-cycle-commands '(indent-for-tab-command)
  "Commands that, on a line already at an allowed column, move it one block out.")

(defun quellin-mode-indent-line ()
  "Indent the current line as QUELLIN code.
A blank line, or one at a column the layout does not allow, goes to
the most likely column.  TAB does too; on a line already at that
column, or pressed again, it moves the line one block out, cycling
back to the deepest column.  Other commands (such as `indent-region')
leave a non-blank line at an allowed column alone."
  (let* ((candidates (quellin-mode-indent-candidates))
         (current (current-indentation))
         (blank (save-excursion (beginning-of-line) (looking-at-p "[ \t]*$")))
         (allowed (member current candidates))
         (cycling (and (memq this-command quellin-mode-indent-cycle-commands)
                       (not (use-region-p))))
         (target (cond
                  ((and cycling allowed
                        (or (eq allowed candidates)
                            (eq last-command this-command)))
                   (or (cadr allowed) (car candidates)))
                  ((or cycling blank (not allowed)) (car candidates))
                  (t current))))
    (if (<= (current-column) current)
        (indent-line-to target)
      (save-excursion (indent-line-to target)))))

(defun quellin-mode--electric-colon ()
  "Line up an `elif', `else' or `case' line when its `:' is typed.
The line moves only if its column is not one the layout allows."
  (when (and electric-indent-mode
             (eq last-command-event ?:)
             (not (nth 8 (syntax-ppss)))
             (quellin-mode--line-starts-with '("elif" "else" "case"))
             (save-excursion
               (skip-chars-forward " \t")
               (or (eolp) (looking-at-p "//"))))
    (indent-according-to-mode)))

;;;; The mode

;;;###autoload
(define-derived-mode quellin-mode prog-mode "QUELLIN"
  "Major mode for editing QUELLIN source files.

Indentation follows the language's blocks of four spaces: after a
line ending with `:' the next line goes one level deeper.  TAB puts
a line at its likeliest level; pressed there, or again, it moves the
line one block out, cycling round.

\\{quellin-mode-map}"
  :syntax-table quellin-mode-syntax-table
  (setq-local comment-start "// ")
  (setq-local comment-end "")
  (setq-local comment-start-skip "//+[ \t]*")
  (setq-local comment-use-syntax t)
  (setq-local syntax-propertize-function #'quellin-mode--syntax-propertize)
  (setq-local font-lock-defaults
              '(quellin-mode-font-lock-keywords
                nil nil nil nil
                (font-lock-syntactic-face-function
                 . quellin-mode--syntactic-face)))
  (setq-local indent-line-function #'quellin-mode-indent-line)
  (setq-local tab-width 4)
  (setq-local indent-tabs-mode nil)
  ;; The line before a new line may rightly end a block at any level, so
  ;; RET leaves it where it is; typing the `:' of `else:' lines it up.
  (setq-local electric-indent-inhibit t)
  (add-hook 'post-self-insert-hook #'quellin-mode--electric-colon nil t))

;;;###autoload
(add-to-list 'auto-mode-alist '("\\.qn\\'" . quellin-mode))

(defun quellin-mode--eglot-contact (&rest _)
  "The server command eglot starts for QUELLIN buffers.
Eglot calls this with whether the session was started interactively
and, in later versions, the project; neither changes the command."
  quellin-mode-server-command)

(with-eval-after-load 'eglot
  (defvar eglot-server-programs)
  (add-to-list 'eglot-server-programs
               '(quellin-mode . quellin-mode--eglot-contact)))

(provide 'quellin-mode)

;;; quellin-mode.el ends here
