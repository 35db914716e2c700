// The command lines of quellin-lsp and quellin-check: help, version, the arguments editors pass on
// their own, and what an argument that is not understood does.

#include <gtest/gtest.h>

#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

using nlohmann::json;

struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // the whole of standard output, unless `out_holds` is given
    std::vector<std::string> out_holds;
    std::string err;
};

std::string joined(const std::vector<std::string>& args) {
    std::string out = "(";
    for (const std::string& arg : args) out += (out.size() > 1 ? " " : "") + arg;
    return out + ")";
}

void run_cases(const std::string& program, const std::vector<Case>& cases, const std::string& cwd) {
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        const ProcessResult result =
            run_process(program, c.args, "", {{"QUELLIN_STDLIB", cwd + "/stdlib"}}, cwd);
        EXPECT_EQ(result.exit_status, c.status);
        if (c.out_holds.empty()) {
            EXPECT_EQ(result.out, c.out);
        } else {
            for (const std::string& part : c.out_holds) EXPECT_NE(result.out.find(part), std::string::npos) << part;
        }
        EXPECT_EQ(result.err, c.err);
    }
}

const std::vector<std::string> kLspHelp = {"quellin-lsp", "Language Server Protocol", "standard input",
                                           "standard output", "QUELLIN_STDLIB", "--version"};

TEST(LspCommandLine, HelpVersionAndTheArgumentsClientsPass) {
    const TempDir dir;
    const std::string unknown = "'; see 'quellin-lsp --help'\n";
    run_cases(QUELLIN_LSP_BIN,
              {
                  {{"--version"}, 0, "quellin-lsp 1.7.51\n", {}, ""},
                  {{"--help"}, 0, "", kLspHelp, ""},
                  {{"--version", "--help"}, 0, "", kLspHelp, ""},  // help wins wherever it stands
                  {{"--stdio", "--version"}, 0, "quellin-lsp 1.7.51\n", {}, ""},
                  // Served: the input is empty, so the loop ends at once and cleanly.
                  {{}, 0, "", {}, ""},
                  {{"--stdio"}, 0, "", {}, ""},
                  {{"--clientProcessId=4242"}, 0, "", {}, ""},
                  {{"--clientProcessId=4242", "--stdio"}, 0, "", {}, ""},
                  {{"--no-reuse"}, 0, "", {}, ""},  // unlisted: for timing checks from scratch
                  // Anything else, wherever it stands, is refused before anything is served or printed.
                  {{"--bogus"}, 2, "", {}, "quellin-lsp: unknown argument '--bogus" + unknown},
                  {{"--help", "--bogus"}, 2, "", {}, "quellin-lsp: unknown argument '--bogus" + unknown},
                  {{"main.qn"}, 2, "", {}, "quellin-lsp: unknown argument 'main.qn" + unknown},
                  {{"-h"}, 2, "", {}, "quellin-lsp: unknown argument '-h" + unknown},
                  {{"--stdio=1"}, 2, "", {}, "quellin-lsp: unknown argument '--stdio=1" + unknown},
                  {{"--clientProcessId", "7"}, 2, "", {}, "quellin-lsp: unknown argument '--clientProcessId" + unknown},
                  {{""}, 2, "", {}, "quellin-lsp: unknown argument '" + unknown},
              },
              dir.path());
}

TEST(LspCommandLine, ServesTheProtocolWithTheClientsArguments) {
    const TempDir dir;
    const std::string input =
        frame(json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}}) +
        frame(json{{"jsonrpc", "2.0"}, {"method", "exit"}});
    const ProcessResult result = run_process(QUELLIN_LSP_BIN, {"--stdio", "--clientProcessId=99"}, input,
                                             {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<json> replies = parse_frames(result.out);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["result"]["serverInfo"], (json{{"name", "quellin-lsp"}, {"version", "1.7.51"}}));
}

TEST(CheckCommandLine, HelpVersionOptionsAndFileNames) {
    const TempDir dir;
    dir.write("clean.qn", "fn greet(name: Text) -> Text = name\n");
    dir.write("-dash.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n");
    const std::vector<std::string> help = {"quellin-check", "FILE", "QUELLIN_STDLIB", "--version", "exit status"};
    const std::string unknown = "'; see 'quellin-check --help'\n";
    run_cases(QUELLIN_CHECK_BIN,
              {
                  {{"--version"}, 0, "quellin-check 1.7.51\n", {}, ""},
                  {{"--help"}, 0, "", help, ""},
                  {{"clean.qn", "--help"}, 0, "", help, ""},  // nothing is checked
                  {{"--version", "--help"}, 0, "", help, ""},
                  {{"--bogus"}, 2, "", {}, "quellin-check: unknown option '--bogus" + unknown},
                  // Options are read before any file is checked.
                  {{"-dash.qn", "clean.qn"}, 2, "", {}, "quellin-check: unknown option '-dash.qn" + unknown},
                  {{"clean.qn", "--stdio"}, 2, "", {}, "quellin-check: unknown option '--stdio" + unknown},
                  // After "--" every argument is a file.
                  {{"--", "-dash.qn", "clean.qn"}, 1, "-dash.qn:2:1: function 'f' is declared twice\n", {}, ""},
                  {{"clean.qn", "--", "--help"}, 2, "", {},
                   "quellin-check: cannot read '--help': No such file or directory\n"},
                  {{"--", "--"}, 2, "", {}, "quellin-check: cannot read '--': No such file or directory\n"},
                  {{"-"}, 2, "", {}, "quellin-check: cannot read '-': No such file or directory\n"},
                  // No file at all, options or not: the usage line, as without arguments.
                  {{"--"}, 2, "", {}, "usage: quellin-check FILE...\n"},
                  {{}, 2, "", {}, "usage: quellin-check FILE...\n"},
                  {{"clean.qn"}, 0, "", {}, ""},
              },
              dir.path());
}

}  // namespace
}  // namespace quellin::lsp::testing
