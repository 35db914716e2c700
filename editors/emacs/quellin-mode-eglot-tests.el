;;; quellin-mode-eglot-tests.el --- quellin-mode with eglot and the server -*- lexical-binding: t; -*-

;; An eglot session against a real quellin-lsp, in batch mode.  Run from
;; the repository root:
;;
;;   QUELLIN_LSP=$PWD/build/lsp/bin/quellin-lsp QUELLIN_STDLIB=$PWD/stdlib \
;;     emacs --batch -Q -L editors/emacs -l quellin-mode-eglot-tests.el \
;;           -f quellin-mode-eglot-tests-run
;;
;; `quellin-mode-eglot-tests-run' exits with status 77 (skipped) when
;; QUELLIN_LSP names no program or eglot cannot be loaded.  Every wait is
;; bounded, so a server that never answers fails the test instead of
;; hanging it.

;;; Code:

(require 'ert)
(require 'cl-lib)
(require 'flymake)
(require 'quellin-mode)

(defconst quellin-mode-eglot-tests--repo
  (expand-file-name "../.." (file-name-directory
                             (or load-file-name buffer-file-name)))
  "The repository root, two levels above this file.")

(defconst quellin-mode-eglot-tests--system-elpa "/usr/share/emacs/site-lisp/elpa"
  "Where Debian's elpa-* packages (elpa-eglot among them) are installed.")

(defvar quellin-mode-eglot-tests-wait-seconds 15
  "How long to wait for the server to publish diagnostics.")

(defun quellin-mode-eglot-tests--load-eglot ()
  "Load eglot: Emacs's own, or the one installed in the system's package directory.
`emacs -Q' leaves the system's package directory out of `load-path',
so its packages are activated here, and only those: the user's own
packages directory is replaced by an empty one."
  (or (require 'eglot nil t)
      (when (file-directory-p quellin-mode-eglot-tests--system-elpa)
        (require 'package)
        (let ((package-directory-list (list quellin-mode-eglot-tests--system-elpa))
              (package-user-dir (make-temp-name
                                 (expand-file-name "quellin-no-elpa-"
                                                   temporary-file-directory))))
          (package-initialize))
        (require 'eglot nil t))))

(defun quellin-mode-eglot-tests--server ()
  "The server program named by QUELLIN_LSP, if it is one."
  (let ((program (getenv "QUELLIN_LSP")))
    (and program (file-executable-p program) (expand-file-name program))))

(defun quellin-mode-eglot-tests--wait (predicate)
  "Wait until PREDICATE returns non-nil, and return that; nil after the time limit."
  (let ((deadline (+ (float-time) quellin-mode-eglot-tests-wait-seconds))
        (value (funcall predicate)))
    (while (and (not value) (< (float-time) deadline))
      (accept-process-output nil 0.05)
      (setq value (funcall predicate)))
    value))

(declare-function eglot "eglot")
(declare-function eglot--guess-contact "eglot")
(declare-function eglot-current-server "eglot")
(declare-function eglot-shutdown "eglot")
(declare-function eglot--server-info "eglot")
(declare-function eglot--TextDocumentPositionParams "eglot")
(declare-function eglot--signal-textDocument/didChange "eglot")
(declare-function eglot--hover-info "eglot")
(declare-function jsonrpc-request "jsonrpc")
(declare-function jsonrpc-running-p "jsonrpc")
(defvar eglot-connect-timeout)
(defvar eglot-sync-connect)
(defvar eglot-autoreconnect)

(defun quellin-mode-eglot-tests--contains (needle text)
  "Non-nil if TEXT is a string holding NEEDLE."
  (and (stringp text) (string-match-p (regexp-quote needle) text)))

(defconst quellin-mode-eglot-tests--immutable-message
  "cannot assign to immutable 'p' — declare it with 'mut p = ...' to allow reassignment"
  "What the server says about the mistake in examples/mistake.qn.")

(defun quellin-mode-eglot-tests--diagnostics ()
  "The flymake diagnostics of the current buffer as (LINE TYPE TEXT) lists."
  (mapcar (lambda (d)
            (list (line-number-at-pos (flymake-diagnostic-beg d))
                  (flymake-diagnostic-type d)
                  (flymake-diagnostic-text d)))
          (flymake-diagnostics)))

(ert-deftest quellin-mode-eglot-session ()
  "Diagnostics, hover, and diagnostics cleared by an edit, through eglot."
  (skip-unless (and (quellin-mode-eglot-tests--server) (featurep 'eglot)))
  (let* ((dir (make-temp-file "quellin-eglot" t))
         (file (expand-file-name "mistake.qn" dir))
         (quellin-mode-server-command (list (quellin-mode-eglot-tests--server)))
         (eglot-connect-timeout 10)
         (eglot-sync-connect t)
         (eglot-autoreconnect nil)
         (buffer nil)
         (server nil))
    (copy-file (expand-file-name "examples/mistake.qn" quellin-mode-eglot-tests--repo)
               file)
    (unwind-protect
        (progn
          ;; Shown in a window, as flymake waits for that before its
          ;; first check.
          (setq buffer (find-file-noselect file))
          (switch-to-buffer buffer)
          (should (eq major-mode 'quellin-mode))
          ;; What M-x eglot does, without its questions.
          (apply #'eglot (eglot--guess-contact))
          (setq server (eglot-current-server))
          (should server)
          (should (equal (plist-get (eglot--server-info server) :name)
                         "quellin-lsp"))

          ;; The server's one diagnostic shows up in flymake, on the
          ;; reassignment.
          (let ((diagnostics (quellin-mode-eglot-tests--wait
                              #'quellin-mode-eglot-tests--diagnostics)))
            (should (= (length diagnostics) 1))
            (cl-destructuring-bind (line type text) (car diagnostics)
              (should (= line 10))
              (should (eq type 'eglot-error))
              (should (quellin-mode-eglot-tests--contains quellin-mode-eglot-tests--immutable-message
                                     text))))

          ;; Hover over a call of `shift' gives its signature, both in the
          ;; server's answer and in what eglot makes of it for the user.
          (goto-char (point-min))
          (search-forward "= shift(")
          (backward-char 3)
          (let* ((answer (jsonrpc-request server :textDocument/hover
                                          (eglot--TextDocumentPositionParams)
                                          :timeout 5))
                 (contents (plist-get answer :contents))
                 (signature "fn shift(p: Point, dx: Int) -> Point"))
            (should (quellin-mode-eglot-tests--contains signature (plist-get contents :value)))
            (let ((shown (let ((inhibit-message t))
                           (eglot--hover-info contents))))
              (should (quellin-mode-eglot-tests--contains signature shown))
              ;; Eglot asks for Markdown only when it can render it (with
              ;; markdown-mode's `gfm-view-mode'), and plain text otherwise;
              ;; plain text is shown as it comes, so it must hold no fences.
              (should (equal (plist-get contents :kind)
                             (if (fboundp 'gfm-view-mode) "markdown" "plaintext")))
              (when (equal (plist-get contents :kind) "plaintext")
                (should-not (quellin-mode-eglot-tests--contains "```" shown)))))

          ;; Declaring p mutable fixes the program and clears the diagnostic.
          (goto-char (point-min))
          (re-search-forward "^    let p =")
          (replace-match "    mut p =")
          ;; Eglot sends changes from an idle timer, which a batch session
          ;; never reaches.
          (eglot--signal-textDocument/didChange)
          (should (quellin-mode-eglot-tests--wait
                   (lambda () (null (quellin-mode-eglot-tests--diagnostics)))))

          ;; The server answers the shutdown request in time.
          (let ((inhibit-message t))
            (eglot-shutdown server))
          (should-not (jsonrpc-running-p server)))
      (when (and server (jsonrpc-running-p server))
        (ignore-errors (let ((inhibit-message t)) (eglot-shutdown server))))
      (when (buffer-live-p buffer)
        (with-current-buffer buffer (set-buffer-modified-p nil))
        (kill-buffer buffer))
      (delete-directory dir t))))

(defun quellin-mode-eglot-tests-run ()
  "Run the eglot tests in batch mode; exit with status 77 if they cannot run."
  (unless (quellin-mode-eglot-tests--server)
    (message "Skipped: QUELLIN_LSP does not name the quellin-lsp program")
    (kill-emacs 77))
  (unless (quellin-mode-eglot-tests--load-eglot)
    (message "Skipped: eglot cannot be loaded")
    (kill-emacs 77))
  (message "Using %s %s" (locate-library "eglot")
           (or (ignore-errors
                 (with-temp-buffer
                   (insert-file-contents
                    (replace-regexp-in-string "\\.elc\\'" ".el"
                                              (locate-library "eglot")))
                   (and (re-search-forward "^;; Version: \\(.*\\)$" nil t)
                        (match-string 1))))
               ""))
  (ert-run-tests-batch-and-exit "^quellin-mode-eglot-"))

(provide 'quellin-mode-eglot-tests)

;;; quellin-mode-eglot-tests.el ends here
