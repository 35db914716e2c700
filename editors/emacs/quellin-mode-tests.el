;;; quellin-mode-tests.el --- Tests for quellin-mode -*- lexical-binding: t; -*-

;; Run from the repository root:
;;   emacs --batch -Q -L editors/emacs -l quellin-mode-tests.el \
;;         -f ert-run-tests-batch-and-exit

;;; Code:

(require 'ert)
(require 'bytecomp)
(require 'cl-lib)
(require 'quellin-mode)

(defconst quellin-mode-tests--repo
  (expand-file-name "../.." (file-name-directory
                             (or load-file-name buffer-file-name)))
  "The repository root, two levels above this file.")

(defmacro quellin-mode-tests--with-buffer (text &rest body)
  "Run BODY in a `quellin-mode' buffer holding TEXT, fontified, point at start."
  (declare (indent 1))
  `(with-temp-buffer
     (insert ,text)
     (quellin-mode)
     (font-lock-ensure)
     (goto-char (point-min))
     ,@body))

;;;; Faces

(defun quellin-mode-tests--faces-of (text needle &optional nth)
  "The distinct faces over the NTH (from 1) occurrence of NEEDLE in TEXT."
  (quellin-mode-tests--with-buffer text
    (setq case-fold-search nil)
    (dotimes (_ (or nth 1))
      (unless (search-forward needle nil t)
        (error "%S not found in %S" needle text)))
    (let ((faces nil))
      (cl-loop for pos from (match-beginning 0) below (match-end 0)
               do (cl-pushnew (get-text-property pos 'face) faces :test #'equal))
      (nreverse faces))))

(defconst quellin-mode-tests--face-cases
  ;; (text needle expected-face [occurrence])
  '(;; Declarations.
    ("fn shift(p: Point, dx: Int) -> Point:" "fn" font-lock-keyword-face)
    ("fn shift(p: Point, dx: Int) -> Point:" "shift" font-lock-function-name-face)
    ("pub async fn fetch() -> Void:" "fetch" font-lock-function-name-face)
    ("pub fn or_else[T](opt: Option[T], fallback: T) -> T:" "or_else"
     font-lock-function-name-face)
    ("let f = fn(x: Int) -> Int = x * 2" "fn" font-lock-keyword-face)
    ("record Point:" "Point" font-lock-type-face)
    ("pub enum Shape[T]:" "Shape" font-lock-type-face)
    ("let total = 0" "total" font-lock-variable-name-face)
    ("mut out: List[T] = []" "out" font-lock-variable-name-face)
    ("for item in items:" "item" font-lock-variable-name-face)
    ("for item in items:" "in" font-lock-keyword-face)
    ;; Types: the builtin ones apart from declared ones.
    ("fn f(p: Point) -> Int = 1" "Point" font-lock-type-face)
    ("fn f(p: Point) -> Int = 1" "Int" font-lock-builtin-face)
    ("let m: Map[Text, List[Bytes]] = Map()" "Bytes" font-lock-builtin-face)
    ("case Some(v):" "Some" font-lock-type-face)
    ("let Integer = 1" "Integer" font-lock-variable-name-face)
    ("x = IntBox(1)" "IntBox" font-lock-type-face)
    ;; Words that merely contain a keyword or a type are not highlighted.
    ("letter = iffy + format" "let" nil)
    ("letter = iffy + format" "if" nil)
    ("letter = iffy + format" "for" nil)
    ("my_if = 1" "if" nil)
    ("point_Int = 1" "Int" nil)
    ;; Constants and numbers.
    ("ok = true" "true" font-lock-constant-face)
    ("ok = false or x" "false" font-lock-constant-face)
    ("n = 42" "42" quellin-number-face)
    ("n = 1_000" "1_000" quellin-number-face)
    ("n = 0xff_FF" "0xff_FF" quellin-number-face)
    ("n = 3.25" "3.25" quellin-number-face)
    ("n = x1 + y" "1" nil)
    ("n = 1.abs()" "1" quellin-number-face)
    ;; Comments.
    ("// a note" "a note" font-lock-comment-face)
    ("x = 1 // trailing" "trailing" font-lock-comment-face)
    ("/// Moves a point.\nfn f() -> Int = 1" "Moves a point." font-lock-doc-face)
    ("/// Moves a point.\nfn f() -> Int = 1" "///" font-lock-doc-face)
    ("/// Moves a point.\nfn f() -> Int = 1" "fn" font-lock-keyword-face)
    ("x = a / b" "/" nil)
    ("x = a / b" "b" nil)
    ("x = \"http://host\"\nlet y = 1" "//host" font-lock-string-face)
    ("x = \"http://host\"\nlet y = 1" "let" font-lock-keyword-face)
    ("// it's \"odd\nlet y = 1" "let" font-lock-keyword-face)
    ;; Text literals and their interpolations.
    ("s = \"hello\"" "hello" font-lock-string-face)
    ("test \"adds up\":" "test" font-lock-keyword-face)
    ("test \"adds up\":" "adds up" font-lock-string-face)
    ("s = \"a{name}b\"" "\"a" font-lock-string-face)
    ("s = \"a{name}b\"" "{" quellin-interpolation-delimiter-face)
    ("s = \"a{name}b\"" "name" quellin-interpolation-face)
    ("s = \"a{name}b\"" "}" quellin-interpolation-delimiter-face)
    ("s = \"a{name}b\"" "b\"" font-lock-string-face)
    ("s = \"{p.x}, {p.y}\"" "p.y" quellin-interpolation-face)
    ("s = \"{p.x}, {p.y}\"" ", " font-lock-string-face)
    ("s = \"{a}{b}\"" "{" quellin-interpolation-delimiter-face 2)
    ("s = \"\\{x\\}\"" "x" font-lock-string-face)
    ("s = \"\\\\{x}\"" "x" quellin-interpolation-face)
    ("s = \"{if_then}\"" "if_then" quellin-interpolation-face)
    ;; A text literal inside an interpolation, holding a brace, does not end
    ;; the outer literal or the interpolation.
    ("s = \"{join(xs, \"}\")} done\"\nlet y = 1" "join(xs, \"}\")"
     quellin-interpolation-face)
    ("s = \"{join(xs, \"}\")} done\"\nlet y = 1" " done" font-lock-string-face)
    ("s = \"{join(xs, \"}\")} done\"\nlet y = 1" "let" font-lock-keyword-face)
    ("s = \"{f(\"{x}\")}\"" "{x}" quellin-interpolation-face)
    ("s = \"{f(\"//\")} done\"\nlet y = 1" " done" font-lock-string-face)
    ("s = \"{f(\"//\")} done\"\nlet y = 1" "let" font-lock-keyword-face))
  "Snippets, a piece of each, and the one face the whole piece should have.")

(ert-deftest quellin-mode-faces ()
  (dolist (case quellin-mode-tests--face-cases)
    (cl-destructuring-bind (text needle face &optional nth) case
      (should (equal (list text needle (list face))
                     (list text needle
                           (quellin-mode-tests--faces-of text needle nth)))))))

(ert-deftest quellin-mode-every-keyword-highlighted ()
  (dolist (word quellin-mode-keywords)
    (should (equal (list word '(font-lock-keyword-face))
                   (list word (quellin-mode-tests--faces-of
                               (format "x = %s y" word) word)))))
  (dolist (type quellin-mode-builtin-types)
    (should (equal (list type '(font-lock-builtin-face))
                   (list type (quellin-mode-tests--faces-of
                               (format "x: %s[Int]" type) type)))))
  ;; The literal words and the builtin types are not reserved words.
  (should-not (cl-intersection quellin-mode-keywords
                               (append quellin-mode-constants
                                       quellin-mode-builtin-types)
                               :test #'string=)))

;;;; Indentation

(defconst quellin-mode-tests--indent-cases
  ;; (name input expected), each a list of lines; `indent-region' over the
  ;; whole input must give the expected lines.
  '((body-after-colon
     ("fn f() -> Int:" "return 1")
     ("fn f() -> Int:" "    return 1"))
    (colon-before-trailing-comment
     ("if ready: // go" "start()")
     ("if ready: // go" "    start()"))
    (colon-inside-text-is-no-opener
     ("let s = \"a:\"" "    x = 1")
     ("let s = \"a:\"" "x = 1"))
    (colon-in-unclosed-text-is-no-opener
     ("let s = \"oops:" "x = 1")
     ("let s = \"oops:" "x = 1"))
    (colon-inside-comment-is-no-opener
     ("x = 1 // note:" "    y = 2")
     ("x = 1 // note:" "y = 2"))
    (over-indented-line-keeps-previous-level
     ("fn f() -> Void:" "    let a = 1" "            let b = 2")
     ("fn f() -> Void:" "    let a = 1" "    let b = 2"))
    (uneven-indentation-goes-to-previous-level
     ("fn f() -> Void:" "    a()" "  b()")
     ("fn f() -> Void:" "    a()" "    b()"))
    (closed-blocks-are-kept
     ("fn f() -> Int:" "    if a:" "        return 1" "    return 2" ""
      "fn g() -> Int = 3")
     ("fn f() -> Int:" "    if a:" "        return 1" "    return 2" ""
      "fn g() -> Int = 3"))
    (nested-bodies
     ("fn f() -> Void:" "for x in xs:" "while x > 0:" "x = x - 1")
     ("fn f() -> Void:" "    for x in xs:" "        while x > 0:"
      "            x = x - 1"))
    (else-lines-up-with-if
     ("if a:" "    x()" "    else:" "    y()")
     ("if a:" "    x()" "else:" "    y()"))
    (elif-and-else-line-up-with-if
     ("fn f() -> Void:" "    if a:" "        x()" "        elif b:" "        y()"
      "            else:" "        z()")
     ("fn f() -> Void:" "    if a:" "        x()" "    elif b:" "        y()"
      "    else:" "        z()"))
    (else-may-close-an-outer-if
     ("if a:" "    if b:" "        x()" "else:" "    y()")
     ("if a:" "    if b:" "        x()" "else:" "    y()"))
    (misplaced-else-goes-to-the-nearest-if
     ("if a:" "    if b:" "        x()" "  else:" "y()")
     ("if a:" "    if b:" "        x()" "    else:" "        y()"))
    (case-arms
     ("match o:" "case Some(v):" "return v" "case None:" "return 0")
     ("match o:" "    case Some(v):" "        return v" "    case None:"
      "        return 0"))
    (case-arm-after-nested-match
     ("match a:" "    case A:" "        match b:" "            case C:"
      "                x()" "case D:" "        y()")
     ("match a:" "    case A:" "        match b:" "            case C:"
      "                x()" "            case D:" "                y()"))
    (case-with-guard
     ("match n:" "    case x if x > 0:" "        pos()" "        case _:" "neg()")
     ("match n:" "    case x if x > 0:" "        pos()" "    case _:"
      "        neg()"))
    (comment-lines-do-not-count
     ("fn f() -> Void:" "// first" "x()" "    // second" "        y()")
     ("fn f() -> Void:" "    // first" "    x()" "    // second" "    y()"))
    (doc-comment-lines-count-as-code
     ("/// Doc:" "fn f() -> Int = 1")
     ("/// Doc:" "fn f() -> Int = 1"))
    (bracket-contents-one-level-deeper
     ("let xs = [" "1," "        2," "]" "    y = 1")
     ("let xs = [" "    1," "    2," "]" "y = 1"))
    (bracket-contents-line-up-with-first-item
     ("fn f() -> Void:" "    total = add(a," "b," "  c)" "    done()")
     ("fn f() -> Void:" "    total = add(a," "                b," "                c)"
      "    done()"))
    (opener-continued-over-lines
     ("if ok(a," "b):" "x()")
     ("if ok(a," "      b):" "    x()"))
    (first-line-at-column-zero
     ("    let x = 1")
     ("let x = 1")))
  "Indentation cases: a name, the lines before, and the lines after.")

(defun quellin-mode-tests--indent-lines (lines)
  "LINES indented by `indent-region' in a `quellin-mode' buffer."
  (with-temp-buffer
    (insert (mapconcat #'identity lines "\n"))
    (quellin-mode)
    (let ((inhibit-message t))
      (indent-region (point-min) (point-max)))
    (split-string (buffer-string) "\n")))

(ert-deftest quellin-mode-indent-region ()
  (dolist (case quellin-mode-tests--indent-cases)
    (cl-destructuring-bind (name input expected) case
      (should (equal (list name expected)
                     (list name (quellin-mode-tests--indent-lines input)))))))

(ert-deftest quellin-mode-indent-region-keeps-repository-sources ()
  "Every QUELLIN file in the repository is already indented as the mode would."
  (let ((files (append
                (directory-files-recursively
                 (expand-file-name "stdlib" quellin-mode-tests--repo) "\\.qn\\'")
                (directory-files-recursively
                 (expand-file-name "examples" quellin-mode-tests--repo) "\\.qn\\'"))))
    (should files)
    (dolist (file files)
      (let ((lines (with-temp-buffer
                     (insert-file-contents file)
                     (split-string (buffer-string) "\n"))))
        (should (equal (list file lines)
                       (list file (quellin-mode-tests--indent-lines lines))))))))

(defconst quellin-mode-tests--new-line-cases
  ;; (text-before column): the column a new line typed after TEXT-BEFORE
  ;; starts at.
  '(("fn f() -> Int:" 4)
    ("fn f() -> Void:\n    if a:" 8)
    ("fn f() -> Void:\n    let x = 1" 4)
    ("fn f() -> Int:\n    return 1" 0)
    ("while x:\n    if y:\n        break" 4)
    ("for x in xs:\n    continue" 0)
    ("fn f() -> Int:\n    return g(1,\n             2)" 0)
    ("let xs = [" 4)
    ("    let xs = [" 8)
    ("let xs = [1," 10)
    ("fn f() -> Void:\n    x()\n    // done:" 4)
    ("" 0))
  "Where RET with electric indentation puts the next line.")

(ert-deftest quellin-mode-new-line-column ()
  (dolist (case quellin-mode-tests--new-line-cases)
    (cl-destructuring-bind (text column) case
      (with-temp-buffer
        (insert text)
        (quellin-mode)
        (let ((electric-indent-mode t))
          (newline 1 t))
        (should (equal (list text column)
                       (list text (current-column))))
        ;; RET leaves the line it ends where it was.
        (should (equal (buffer-substring (point-min) (line-end-position 0))
                       text))))))

(defun quellin-mode-tests--tab-columns (text line presses)
  "Columns of LINE (from 1) of TEXT after each of PRESSES TABs in a row."
  (with-temp-buffer
    (insert text)
    (quellin-mode)
    (goto-char (point-min))
    (forward-line (1- line))
    (let ((columns nil) (last-command nil))
      (dotimes (_ presses)
        (let ((this-command 'indent-for-tab-command))
          (indent-for-tab-command)
          (setq last-command this-command))
        (push (current-indentation) columns))
      (nreverse columns))))

(ert-deftest quellin-mode-tab-cycles-through-levels ()
  (let ((text "fn f() -> Void:\n    if a:\n        x()\n        y()\n"))
    ;; A line at an allowed level steps out a block per TAB and wraps round.
    (should (equal (quellin-mode-tests--tab-columns text 4 4) '(4 0 8 4)))
    ;; The only place for a block's first line is one level in.
    (should (equal (quellin-mode-tests--tab-columns text 3 2) '(8 8))))
  ;; A line at a column the layout rejects goes to the likeliest one first.
  (should (equal (quellin-mode-tests--tab-columns
                  "fn f() -> Void:\n    if a:\n        x()\n      y()\n" 4 3)
                 '(8 4 0)))
  ;; After return the likeliest place is one block out.
  (should (equal (quellin-mode-tests--tab-columns
                  "fn f() -> Int:\n    if a:\n        return 1\n\n" 4 3)
                 '(4 0 8)))
  ;; Between two possible ifs, else starts at the nearer one.
  (should (equal (quellin-mode-tests--tab-columns
                  "if a:\n    if b:\n        x()\n        else:\n" 4 3)
                 '(4 0 4))))

(ert-deftest quellin-mode-tab-keeps-point-in-text ()
  (with-temp-buffer
    (insert "fn f() -> Void:\nlet total = 1")
    (quellin-mode)
    (search-backward "total")
    (let ((this-command 'indent-for-tab-command))
      (indent-for-tab-command))
    (should (equal (buffer-string) "fn f() -> Void:\n    let total = 1"))
    (should (looking-at-p "total"))))

(ert-deftest quellin-mode-tab-with-region-does-not-cycle ()
  (with-temp-buffer
    (insert "fn f() -> Void:\n    x()\n    y()\nz()\n")
    (quellin-mode)
    (transient-mark-mode 1)
    (goto-char (point-min))
    (push-mark (point-max) t t)
    (let ((this-command 'indent-for-tab-command)
          (inhibit-message t))
      (indent-for-tab-command))
    (should (equal (buffer-string) "fn f() -> Void:\n    x()\n    y()\nz()\n"))))

(ert-deftest quellin-mode-colon-lines-up-else ()
  (with-temp-buffer
    (insert "fn f() -> Void:\n    if a:\n        x()\n        else")
    (quellin-mode)
    (let ((electric-indent-mode t)
          (last-command-event ?:))
      (call-interactively #'self-insert-command))
    (should (equal (buffer-string)
                   "fn f() -> Void:\n    if a:\n        x()\n    else:"))
    ;; A colon elsewhere moves nothing.
    (insert "\n            let x")
    (let ((electric-indent-mode t)
          (last-command-event ?:))
      (call-interactively #'self-insert-command))
    (should (equal (buffer-substring (line-beginning-position) (point))
                   "            let x:"))))

(ert-deftest quellin-mode-indentation-settings ()
  (with-temp-buffer
    (quellin-mode)
    (should (= tab-width 4))
    (should-not indent-tabs-mode)
    (should (eq indent-line-function #'quellin-mode-indent-line))))

;;;; Comments

(ert-deftest quellin-mode-comment-syntax ()
  (quellin-mode-tests--with-buffer "x = a / b // half\ny = \"//\" // z\n"
    (should (equal comment-start "// "))
    (search-forward "half")
    (should (nth 4 (syntax-ppss)))
    (goto-char (point-min))
    (search-forward "b")
    (should-not (nth 4 (syntax-ppss)))
    ;; A comment ends at the end of its line.
    (forward-line 1)
    (should-not (nth 4 (syntax-ppss)))
    ;; `//' inside a text literal starts no comment.
    (search-forward "\"/")
    (should (nth 3 (syntax-ppss)))
    (search-forward "z")
    (should (nth 4 (syntax-ppss)))))

(ert-deftest quellin-mode-comment-commands ()
  (with-temp-buffer
    (quellin-mode)
    (insert "fn f() -> Void:\n    x()\n    y()\n")
    (comment-region (point-min) (point-max))
    (should (equal (buffer-string)
                   "// fn f() -> Void:\n//     x()\n//     y()\n"))
    (uncomment-region (point-min) (point-max))
    (should (equal (buffer-string) "fn f() -> Void:\n    x()\n    y()\n"))
    ;; M-; on a code line adds a comment at its end.
    (goto-char (point-min))
    (forward-line 1)
    (let ((comment-column 12))
      (comment-dwim nil))
    (insert "call")
    (should (equal (buffer-substring (line-beginning-position) (line-end-position))
                   "    x()     // call"))
    ;; On a line that has a comment, M-; moves into it.
    (beginning-of-line)
    (comment-dwim nil)
    (should (looking-at-p "call$"))))

;;;; Files

(ert-deftest quellin-mode-byte-compiles-cleanly ()
  "The mode compiles without a single warning (the compiled file goes to a temp dir)."
  (let* ((dir (make-temp-file "quellin-mode-compile" t))
         (dest (expand-file-name "quellin-mode.elc" dir))
         (byte-compile-dest-file-function (lambda (_) dest))
         (byte-compile-error-on-warn t)
         (inhibit-message t))
    (unwind-protect
        (should (byte-compile-file (locate-library "quellin-mode.el" t)))
      (delete-directory dir t))))

(ert-deftest quellin-mode-auto-mode ()
  (should (eq (assoc-default "/src/app/main.qn" auto-mode-alist #'string-match)
              'quellin-mode))
  (should-not (eq (assoc-default "/src/app/main.qnx" auto-mode-alist
                                 #'string-match)
                  'quellin-mode))
  (let* ((dir (make-temp-file "quellin-mode-test" t))
         (file (expand-file-name "shapes.qn" dir)))
    (unwind-protect
        (let ((buffer (find-file-noselect file)))
          (unwind-protect
              (with-current-buffer buffer
                (should (eq major-mode 'quellin-mode)))
            (kill-buffer buffer)))
      (delete-directory dir t))))

(declare-function package-generate-autoloads "package")

(ert-deftest quellin-mode-autoloads ()
  "Loading the generated autoloads alone registers the mode for .qn files."
  (require 'package)
  (let ((dir (make-temp-file "quellin-mode-autoloads" t)))
    (unwind-protect
        (progn
          (copy-file (locate-library "quellin-mode.el" t)
                     (expand-file-name "quellin-mode.el" dir))
          (let ((inhibit-message t)
                (backup-inhibited t))
            (package-generate-autoloads "quellin-mode" dir))
          (let ((text (with-temp-buffer
                        (insert-file-contents
                         (expand-file-name "quellin-mode-autoloads.el" dir))
                        (buffer-string))))
            (should (string-match-p "(autoload 'quellin-mode " text))
            (should (string-match-p
                     (regexp-quote "(add-to-list 'auto-mode-alist '(\"\\\\.qn\\\\'\" . quellin-mode))")
                     text))))
      (delete-directory dir t))))

(ert-deftest quellin-mode-registers-with-eglot ()
  "The eglot entry is added once eglot loads, and follows the customisation."
  (defvar eglot-server-programs)
  (let ((eglot-server-programs nil)
        (load-file-name nil))
    ;; Run what waits for eglot to load, as loading it would.
    (mapc #'funcall (cdr (assq 'eglot after-load-alist)))
    (let ((entry (assq 'quellin-mode eglot-server-programs)))
      (should entry)
      (should (equal (funcall (cdr entry) nil) '("quellin-lsp")))
      (let ((quellin-mode-server-command '("/opt/bin/quellin-lsp")))
        (should (equal (funcall (cdr entry) t '(transient . "/tmp/"))
                       '("/opt/bin/quellin-lsp")))))))

(provide 'quellin-mode-tests)

;;; quellin-mode-tests.el ends here
