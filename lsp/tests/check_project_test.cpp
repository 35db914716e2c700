// quellin-check over many files: where an error found through an import lies, which files folders
// stand for, each error reported once, the output formats, checking on several threads, and the exit
// statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lsp/pipeline.hpp"
#include "lsp/project.hpp"
#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult run_check(const std::vector<std::string>& args, const TempDir& dir) {
    return run_process(QUELLIN_CHECK_BIN, args, "", {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}}, dir.path());
}

// A public function with a type error on line 3, column 17.
const std::string kBrokenLibrary = "/// V.\npub fn v() -> Int = 1\nfn w() -> Int = \"x\"\n";

// ---- which files folders stand for ----

std::vector<std::string> names(const FileSelection& selection, const std::string& strip) {
    std::vector<std::string> out;
    for (const CheckTarget& target : selection.targets) {
        std::string name = target.name;
        if (name.starts_with(strip)) name = name.substr(strip.size());
        out.push_back(target.unreadable ? name + " (" + *target.unreadable + ")" : name);
    }
    return out;
}

TEST(SelectFiles, FoldersStandForTheirSourceFilesInPathOrder) {
    const TempDir dir;
    for (const std::string name :
         {"z.qn", "a.qn", "a-b.qn", "b/c.qn", "b/d/e.qn", "b/notes.txt", "b/qn", ".git/hooks/x.qn", ".hidden.qn",
          "b/.cache/y.qn", "vendor/v.qn", "b/vendor/w.qn", "folder.qn/inside.qn"}) {
        dir.write(name, "let x = 1\n");
    }
    const std::string root = dir.path() + "/";
    struct Case {
        std::vector<std::string> args;  // below the scratch folder
        std::vector<std::string> expected;
        bool walked_folder;
    };
    const Case cases[] = {
        // Byte order of whole paths: '-' before '/', '/' before letters.
        {{""}, {"a-b.qn", "a.qn", "b/c.qn", "b/d/e.qn", "folder.qn/inside.qn", "z.qn"}, true},
        {{"b"}, {"b/c.qn", "b/d/e.qn"}, true},
        // Named outright, hidden files and vendor folders are checked; a file named twice is checked once.
        {{".hidden.qn", "vendor", "z.qn", "b/vendor/"}, {".hidden.qn", "vendor/v.qn", "z.qn", "b/vendor/w.qn"}, true},
        {{"z.qn", "", "a.qn"}, {"z.qn", "a-b.qn", "a.qn", "b/c.qn", "b/d/e.qn", "folder.qn/inside.qn"}, true},
        // A folder inside one already walked adds nothing.
        {{"b/d", "b"}, {"b/d/e.qn", "b/c.qn"}, true},
        // Files are taken as named, whatever their names; reading them says what is wrong.
        {{"b/notes.txt", "missing.qn"}, {"b/notes.txt", "missing.qn"}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(root + arg);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const FileSelection selection = select_files(args);
        EXPECT_EQ(names(selection, root), c.expected);
        EXPECT_EQ(selection.walked_folder, c.walked_folder);
    }
}

TEST(SelectFiles, SymbolicLinksAreFollowedAndLoopsWalkedOnce) {
    const TempDir dir;
    const TempDir outside;
    dir.write("p/a.qn", "let x = 1\n");
    dir.write("p/b/c.qn", "let x = 1\n");
    outside.write("q.qn", "let x = 1\n");
    const fs::path p = fs::path(dir.path()) / "p";
    fs::create_directory_symlink("..", p / "b" / "up");          // p/b/up -> p: a loop
    fs::create_directory_symlink("../b", p / "b" / "again");     // p/b/again -> p/b: a loop
    fs::create_symlink("a.qn", p / "link.qn");                   // a second name for p/a.qn
    fs::create_directory_symlink(outside.path(), p / "ext");     // a folder elsewhere
    fs::create_symlink("nowhere.qn", p / "dead.qn");             // leads nowhere
    fs::create_symlink("self.qn", p / "self.qn");                // leads to itself
    fs::create_directory_symlink(".", p / "b" / ".dot");         // hidden, never walked

    const FileSelection selection = select_files({p.string()});
    EXPECT_EQ(names(selection, p.string() + "/"),
              (std::vector<std::string>{"a.qn", "b/c.qn", "dead.qn", "ext/q.qn", "self.qn"}));

    // Reading says what is wrong with the links that lead nowhere.
    const std::vector<FileResult> results = check_files(selection.targets, 2, plain_file_checkers(std::nullopt));
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[2].unreadable, "No such file or directory");
    EXPECT_EQ(results[4].unreadable, "Too many levels of symbolic links");
    for (const std::size_t i : {0u, 1u, 3u}) EXPECT_EQ(results[i].unreadable, std::nullopt) << results[i].name;
}

TEST(CheckTool, FilesBelowAFolderAreNamedAsTheFolderWas) {
    const TempDir dir;
    write_all(dir, {{"src/a.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n"}, {"src/ok.qn", "let x = 1\n"}});
    const std::string error = ":2:1: function 'f' is declared twice\n";
    const std::string summary = "quellin-check: 2 files checked, 1 file with errors, 1 error\n";
    const std::pair<std::string, std::string> cases[] = {
        {".", "src/a.qn"},   {"./", "src/a.qn"},         {".//", "src/a.qn"}, {"src", "src/a.qn"},
        {"src/", "src/a.qn"}, {"./src", "./src/a.qn"},   {"src//", "src/a.qn"},
        {dir.path(), dir.path() + "/src/a.qn"},
    };
    for (const auto& [arg, name] : cases) {
        SCOPED_TRACE(arg);
        const ProcessResult result = run_check({arg}, dir);
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.out, name + error);
        EXPECT_EQ(result.err, summary);
    }
}

// ---- each error once, where it lies ----

struct ReportCase {
    std::string label;
    std::vector<SourceFile> files;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

void run_report_cases(const std::vector<ReportCase>& cases) {
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.label);
        const TempDir dir;
        write_all(dir, c.files);
        const ProcessResult result = run_check(c.args, dir);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

std::vector<SourceFile> importers_of(const std::string& module, const int count) {
    std::vector<SourceFile> files;
    for (int i = 0; i < count; ++i) {
        files.push_back({"user" + std::to_string(i) + ".qn", "import " + module + "\nlet y = " + module + ".v()\n"});
    }
    return files;
}

std::vector<SourceFile> plus(std::vector<SourceFile> files, const std::vector<SourceFile>& more) {
    files.insert(files.end(), more.begin(), more.end());
    return files;
}

TEST(CheckTool, EachErrorIsReportedOnceWhereItLies) {
    const std::string type_error = "expected Int, found Text";
    // A module is named by its module name, wherever its file is.
    const std::string bracketed = ":1:1: [shared.qn]: expected Int, found Text (line 3, column 17)\n";
    const std::string cycle = " — modules cannot import each other in a loop; move the shared functions into a third module\n";
    run_report_cases({
        {"an error in a module that many import, all of them checked",
         plus(importers_of("shared", 6), {{"shared.qn", kBrokenLibrary}}),
         {"."}, 1, "shared.qn:3:17: " + type_error + "\n",
         "quellin-check: 7 files checked, 7 files with errors, 1 error\n"},
        {"the same, the files named one by one",
         plus(importers_of("shared", 2), {{"shared.qn", kBrokenLibrary}}),
         {"user1.qn", "shared.qn", "user0.qn"}, 1, "shared.qn:3:17: " + type_error + "\n", ""},
        {"a syntax error, two imports down",
         {{"top.qn", "import mid\n"}, {"mid.qn", "import low\n"}, {"low.qn", "let x = 1 2\n"}},
         {"."}, 1, "low.qn:1:11: expected Newline to end the declaration, found Int(2)\n",
         "quellin-check: 3 files checked, 3 files with errors, 1 error\n"},
        {"an error in a module outside the checked files is reported by each importer",
         plus(importers_of("shared", 3), {{"vendor/shared.qn", kBrokenLibrary}}),
         {"."}, 1, "user0.qn" + bracketed + "user1.qn" + bracketed + "user2.qn" + bracketed,
         "quellin-check: 3 files checked, 3 files with errors, 3 errors\n"},
        {"the module with the error named, its importers not",
         plus(importers_of("shared", 1), {{"shared.qn", kBrokenLibrary}}),
         {"shared.qn"}, 1, "shared.qn:3:17: " + type_error + "\n", ""},
        {"importers named, the module with the error not",
         plus(importers_of("shared", 2), {{"shared.qn", kBrokenLibrary}}),
         {"user0.qn", "user1.qn"}, 1,
         "user0.qn:1:1: [shared.qn]: expected Int, found Text (line 3, column 17)\n"
         "user1.qn:1:1: [shared.qn]: expected Int, found Text (line 3, column 17)\n", ""},
        // A cycle is reported from each side, each naming the other: neither hides the other.
        {"an import cycle",
         {{"a.qn", "import b\n"}, {"b.qn", "import a\n"}},
         {"."}, 1,
         "a.qn:1:1: [b.qn]: import cycle: a → b → a" + cycle + "b.qn:1:1: [a.qn]: import cycle: b → a → b" + cycle,
         "quellin-check: 2 files checked, 2 files with errors, 2 errors\n"},
        {"a vendored module named outright is checked, so its importers do not repeat its error",
         plus(importers_of("shared", 3), {{"vendor/shared.qn", kBrokenLibrary}}),
         {".", "vendor/shared.qn"}, 1, "vendor/shared.qn:3:17: " + type_error + "\n",
         "quellin-check: 4 files checked, 4 files with errors, 1 error\n"},
        {"a cycle through a third module: nothing is lost",
         {{"x.qn", "import a\n"}, {"a.qn", "import b\n"}, {"b.qn", "\nimport a\n"}},
         {"."}, 1,
         "a.qn:1:1: [b.qn]: import cycle: a → b → a" + cycle + "b.qn:1:1: [a.qn]: import cycle: b → a → b" + cycle +
             "x.qn:1:1: [b.qn]: import cycle: x → a → b → a" + cycle,
         "quellin-check: 3 files checked, 3 files with errors, 3 errors\n"},
        {"a file reached by two names is checked once",
         {{"shared.qn", kBrokenLibrary}},
         {"shared.qn", "./shared.qn", "."}, 1, "shared.qn:3:17: " + type_error + "\n",
         "quellin-check: 1 file checked, 1 file with errors, 1 error\n"},
    });
}

// ---- output formats ----

TEST(FormatErrors, EveryFormatEscapesWhatItMust) {
    const std::vector<ReportedError> errors = {
        {"dir/a,b:c%\"q\" — é.qn", 1, 11, "found Text(\"a,b:c%d — é\")"},
        {"plain.qn", 12, 3, "two\nlines\r and 100%"},
    };
    struct Case {
        ReportFormat format;
        std::vector<ReportedError> errors;
        std::string expected;
    };
    const Case cases[] = {
        {ReportFormat::Text, errors,
         "dir/a,b:c%\"q\" — é.qn:1:11: found Text(\"a,b:c%d — é\")\n"
         "plain.qn:12:3: two\nlines\r and 100%\n"},
        {ReportFormat::Json, errors,
         "[\n"
         "{\"column\":11,\"file\":\"dir/a,b:c%\\\"q\\\" — é.qn\",\"line\":1,\"message\":\"found Text(\\\"a,b:c%d — é\\\")\"},\n"
         "{\"column\":3,\"file\":\"plain.qn\",\"line\":12,\"message\":\"two\\nlines\\r and 100%\"}\n"
         "]\n"},
        {ReportFormat::Github, errors,
         "::error file=dir/a%2Cb%3Ac%25\"q\" — é.qn,line=1,col=11::found Text(\"a,b:c%25d — é\")\n"
         "::error file=plain.qn,line=12,col=3::two%0Alines%0D and 100%25\n"},
        {ReportFormat::Text, {}, ""},
        {ReportFormat::Json, {}, "[]\n"},
        {ReportFormat::Github, {}, ""},
        // Bytes that are not UTF-8 (a file name may hold them) cannot be JSON text.
        {ReportFormat::Json, {{"bad\xff.qn", 1, 1, "m"}},
         "[\n{\"column\":1,\"file\":\"bad\xEF\xBF\xBD.qn\",\"line\":1,\"message\":\"m\"}\n]\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(format_errors(c.errors, c.format), c.expected);
    }
    EXPECT_EQ(report_format("text"), ReportFormat::Text);
    EXPECT_EQ(report_format("json"), ReportFormat::Json);
    EXPECT_EQ(report_format("github"), ReportFormat::Github);
    EXPECT_EQ(report_format("JSON"), std::nullopt);
    EXPECT_EQ(report_format(""), std::nullopt);
}

TEST(CheckTool, EveryFormatFromTheCommandLine) {
    const TempDir dir;
    const std::string name = "we,ird: 100% \"q\" — é/a,b:c%\"q\"—é.qn";
    write_all(dir, {{name, "let x = 1 \"a,b:c%d — é\"\n"}, {"ok.qn", "let x = 1\n"}});
    const std::string message = "expected Newline to end the declaration, found Text(\"a,b:c%d — é\")";
    const std::string summary = "quellin-check: 2 files checked, 1 file with errors, 1 error\n";
    const ReportCase cases[] = {
        {"text by default", {}, {"."}, 1, name + ":1:11: " + message + "\n", summary},
        {"text", {}, {"--format=text", "."}, 1, name + ":1:11: " + message + "\n", summary},
        {"json", {}, {".", "--format", "json"}, 1,
         "[\n{\"column\":11,\"file\":\"we,ird: 100% \\\"q\\\" — é/a,b:c%\\\"q\\\"—é.qn\",\"line\":1,"
         "\"message\":\"expected Newline to end the declaration, found Text(\\\"a,b:c%d — é\\\")\"}\n]\n",
         summary},
        {"github", {}, {"--format=github", "."}, 1,
         "::error file=we%2Cird%3A 100%25 \"q\" — é/a%2Cb%3Ac%25\"q\"—é.qn,line=1,col=11::expected Newline to end "
         "the declaration, found Text(\"a,b:c%25d — é\")\n",
         summary},
        {"json, clean", {}, {"--format=json", "ok.qn"}, 0, "[]\n", ""},
        {"github, clean", {}, {"--format=github", "ok.qn"}, 0, "", ""},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult result = run_check(c.args, dir);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(SummaryLine, CountsFilesErrorsAndWhatCouldNotBeRead) {
    const auto report = [](std::size_t checked, std::size_t failing, std::size_t errors, std::size_t unreadable) {
        ProjectReport out;
        out.files_checked = checked;
        out.files_with_errors = failing;
        out.errors.resize(errors, ReportedError{"a.qn", 1, 1, "m"});
        out.unreadable.resize(unreadable, {"b.qn", "No such file or directory"});
        return out;
    };
    EXPECT_EQ(summary_line(report(0, 0, 0, 0)), "quellin-check: 0 files checked, 0 files with errors, 0 errors\n");
    EXPECT_EQ(summary_line(report(1, 1, 1, 0)), "quellin-check: 1 file checked, 1 file with errors, 1 error\n");
    EXPECT_EQ(summary_line(report(9, 4, 2, 1)),
              "quellin-check: 9 files checked, 4 files with errors, 2 errors, 1 could not be read\n");
}

// ---- several threads ----

// A tree of `count` modules in one folder, module k importing modules 2k+1 and 2k+2, with type errors,
// syntax errors and missing imports spread through it, and a few folders of files on their own.
std::vector<SourceFile> generated_tree(const int count) {
    std::vector<SourceFile> files;
    const auto name = [](int k) { return "m" + std::to_string(k); };
    for (int k = 0; k < count; ++k) {
        std::string text;
        std::string body = std::to_string(k);
        for (const int child : {2 * k + 1, 2 * k + 2}) {
            if (child >= count) continue;
            text += "import " + name(child) + "\n";
            body += " + " + name(child) + ".f" + std::to_string(child) + "()";
        }
        if (k % 23 == 5) text += "import missing" + std::to_string(k) + "\n";
        text += "/// F.\npub fn f" + std::to_string(k) + "() -> Int = " + body + "\n";
        if (k % 17 == 9) text += "fn bad() -> Int = \"x\"\n";
        if (k % 31 == 20) text += "let broken = (1\n";
        files.push_back({"tree/" + name(k) + ".qn", text});
    }
    for (int k = 0; k < 40; ++k) {
        const std::string text = k % 5 == 0 ? "fn g() -> Int = 1\nfn g() -> Int = 2\n" : "let x = 1\n";
        files.push_back({"loose/d" + std::to_string(k % 4) + "/f" + std::to_string(k) + ".qn", text});
    }
    return files;
}

TEST(CheckTool, TheOutputIsTheSameForAnyNumberOfThreads) {
    const TempDir dir;
    write_all(dir, generated_tree(300));
    dir.write("loose/unreadable.qn", "let x = 1 // \xff\n");
    for (const std::string format : {"text", "json", "github"}) {
        SCOPED_TRACE(format);
        const ProcessResult one = run_check({"--format=" + format, "-j", "1", "."}, dir);
        EXPECT_EQ(one.exit_status, 2);
        EXPECT_NE(one.out.find("tree/m111.qn"), std::string::npos) << one.out;
        for (const std::string jobs : {"-j2", "-j8", "--jobs=5"}) {
            SCOPED_TRACE(jobs);
            const ProcessResult many = run_check({"--format=" + format, jobs, "."}, dir);
            EXPECT_EQ(many.exit_status, one.exit_status);
            EXPECT_EQ(many.out, one.out);
            EXPECT_EQ(many.err, one.err);
        }
    }
    // 105 of the tree's modules fail, from 32 errors, each reported once where it lies (worked out
    // apart from the checker, from which modules hold which error); 8 loose files fail on their own.
    const ProcessResult text = run_check({"-j2", "."}, dir);
    EXPECT_NE(text.out.find("tree/m111.qn:5:19: expected Int, found Text\n"), std::string::npos);
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 40);
    EXPECT_EQ(text.err,
              "quellin-check: cannot read 'loose/unreadable.qn': stream did not contain valid UTF-8\n"
              "quellin-check: 340 files checked, 113 files with errors, 40 errors, 1 could not be read\n");
}

// Everything a file's check found, as one text, to compare checks made in different ways.
std::string shown(const FileResult& result) {
    std::string out = result.name + " | " + result.unreadable.value_or("readable");
    if (const std::optional<CheckError>& error = result.error) {
        out += " | " + std::to_string(error->line) + ":" + std::to_string(error->column) + " " + error->message;
        if (error->origin) {
            out += " | from " + error->origin->file.string() + ":" + std::to_string(error->origin->line) + ":" +
                   std::to_string(error->origin->column) + " " + error->origin->message;
        }
    }
    return out;
}

// Checkers that take over the trees and module results of a thread's earlier files answer every file
// as checking it from scratch does, however the files fall to the threads; the stdlib modules and a
// module imported by both the tree and loose files are met by many checks.
TEST(CheckFiles, TakingOverEarlierWorkGivesTheAnswersOfCheckingFromScratch) {
    const TempDir dir;
    std::vector<SourceFile> files = generated_tree(200);
    files.push_back({"tree/shared.qn", "import text\n/// S.\npub fn s() -> Int = 1\n"});
    files.push_back({"tree/uses_shared.qn", "import shared\nimport m7\nlet x = shared.s() + m7.f7()\n"});
    files.push_back({"tree/broken_shared.qn", "import shared\nlet x: Text = shared.s()\n"});
    write_all(dir, files);
    const std::optional<fs::path> stdlib = fs::path(QUELLIN_STDLIB_SOURCE_DIR);
    const FileSelection selection = select_files({dir.path()});
    ASSERT_GT(selection.targets.size(), 200u);

    std::vector<std::string> from_scratch;
    for (const FileResult& result : check_files(selection.targets, 1, plain_file_checkers(stdlib))) {
        from_scratch.push_back(shown(result));
    }
    for (const unsigned threads : {1u, 2u, 5u}) {
        SCOPED_TRACE(threads);
        const std::vector<FileResult> reused = check_files(selection.targets, threads, reusing_file_checkers(stdlib));
        ASSERT_EQ(reused.size(), from_scratch.size());
        for (std::size_t i = 0; i < reused.size(); ++i) EXPECT_EQ(shown(reused[i]), from_scratch[i]);
    }
}

TEST(CheckFiles, ResultsKeepTheTargetsOrder) {
    std::vector<CheckTarget> targets;
    for (int i = 0; i < 200; ++i) targets.push_back({"missing" + std::to_string(i) + ".qn", std::nullopt});
    targets.push_back({"folder", "Permission denied"});
    for (const unsigned threads : {1u, 3u, 16u, 1000u}) {
        const std::vector<FileResult> results = check_files(targets, threads, plain_file_checkers(std::nullopt));
        ASSERT_EQ(results.size(), targets.size());
        for (std::size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(results[i].name, targets[i].name);
        EXPECT_EQ(results.back().unreadable, "Permission denied");
    }
    EXPECT_TRUE(check_files({}, 4, plain_file_checkers(std::nullopt)).empty());
}

// The deepest program the parser accepts (blocks nested to their bound around a chain at its bound)
// checks on the helper threads as on the main thread.
TEST(CheckFiles, TheDeepestProgramsCheckOnEveryThread) {
    const TempDir dir;
    std::string deepest = "fn f(x: Int) -> Int:\n";
    for (int level = 1; level <= 255; ++level) deepest += std::string(4 * level, ' ') + "if x > 0:\n";
    deepest += std::string(4 * 256, ' ') + "return x";
    for (int i = 0; i < 1024; ++i) deepest += " + 1";
    deepest += "\n    return 0\n";
    std::vector<CheckTarget> targets;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "deep" + std::to_string(i) + ".qn";
        dir.write(name, deepest);
        targets.push_back({dir.path() + "/" + name, std::nullopt});
    }
    for (const FileResult& result : check_files(targets, 4, plain_file_checkers(std::nullopt))) {
        EXPECT_FALSE(result.unreadable) << result.name;
        EXPECT_FALSE(result.error) << result.name << ": " << result.error->message;
    }
}

// ---- exit statuses and usage errors ----

TEST(CheckTool, ExitStatusesAndUsageErrors) {
    const std::string see = "; see 'quellin-check --help'\n";
    const std::string twice = "bad/a.qn:2:1: function 'f' is declared twice\n";
    const std::vector<SourceFile> files = {
        {"clean/a.qn", "let x = 1\n"}, {"bad/a.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n"},
        {"unreadable/a.qn", "let x = 1 // \xff\n"}, {"unreadable/b.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n"},
        {"empty/notes.txt", "none\n"}};
    run_report_cases({
        {"a clean folder", files, {"clean"}, 0, "", "quellin-check: 1 file checked, 0 files with errors, 0 errors\n"},
        {"a folder with an error", files, {"bad", "clean"}, 1, twice,
         "quellin-check: 2 files checked, 1 file with errors, 1 error\n"},
        {"a folder without source files", files, {"empty"}, 0, "",
         "quellin-check: 0 files checked, 0 files with errors, 0 errors\n"},
        {"a file that cannot be read outweighs errors", files, {"unreadable"}, 2,
         "unreadable/b.qn:2:1: function 'f' is declared twice\n",
         "quellin-check: cannot read 'unreadable/a.qn': stream did not contain valid UTF-8\n"
         "quellin-check: 1 file checked, 1 file with errors, 1 error, 1 could not be read\n"},
        {"a missing argument", files, {"bad", "nope"}, 2, twice,
         "quellin-check: cannot read 'nope': No such file or directory\n"
         "quellin-check: 1 file checked, 1 file with errors, 1 error, 1 could not be read\n"},
        {"a bad format", files, {"--format=xml", "clean"}, 2, "",
         "quellin-check: --format takes text, json or github, not 'xml'" + see},
        {"a format without its value", files, {"clean", "--format"}, 2, "",
         "quellin-check: --format takes text, json or github, not ''" + see},
        {"no threads", files, {"-j0", "clean"}, 2, "",
         "quellin-check: -j takes a number of files to check at a time, 1 or more, not '0'" + see},
        {"not a number", files, {"-j", "x", "clean"}, 2, "",
         "quellin-check: -j takes a number of files to check at a time, 1 or more, not 'x'" + see},
        {"a negative number", files, {"--jobs=-2", "clean"}, 2, "",
         "quellin-check: -j takes a number of files to check at a time, 1 or more, not '-2'" + see},
        {"too large a number", files, {"-j", "99999999999", "clean"}, 2, "",
         "quellin-check: -j takes a number of files to check at a time, 1 or more, not '99999999999'" + see},
        {"-j at the end", files, {"clean", "-j"}, 2, "",
         "quellin-check: -j takes a number of files to check at a time, 1 or more, not ''" + see},
        {"an unknown option", files, {"--jsn", "clean"}, 2, "", "quellin-check: unknown option '--jsn'" + see},
        {"many threads for one file", files, {"-j", "4096", "bad/a.qn"}, 1, twice, ""},
    });
}

}  // namespace
}  // namespace quellin::lsp::testing
