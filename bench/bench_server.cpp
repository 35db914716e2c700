// The server's own work for one edit, without the process and the pipes: `diagnostics_note` for an open
// document of each size (with and without what is freed after the reply), and for the entry file of a
// 100-module program on disk; `handle` of a whole didChange message adds taking the new text out of the
// JSON and building the reply; `read_message` of the same message framed on a stream is what reading it
// off the wire costs before that.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "gen/generate.hpp"
#include "gen/temp_dir.hpp"
#include "lsp/framing.hpp"
#include "lsp/server.hpp"

namespace {

using namespace quellin;
using nlohmann::json;

json did_open(const std::string& uri, const std::string& text) {
    return {{"jsonrpc", "2.0"},
            {"method", "textDocument/didOpen"},
            {"params", {{"textDocument", {{"uri", uri}, {"languageId", "quellin"}, {"version", 1}, {"text", text}}}}}};
}

json did_change(const std::string& uri, int version, const std::string& text) {
    return {{"jsonrpc", "2.0"},
            {"method", "textDocument/didChange"},
            {"params",
             {{"textDocument", {{"uri", uri}, {"version", version}}}, {"contentChanges", json::array({{{"text", text}}})}}}};
}

// True when the notification carries no diagnostic, that is, the document checked clean.
bool clean(const json& note) {
    const auto params = note.find("params");
    if (params == note.end()) return false;
    const auto diagnostics = params->find("diagnostics");
    return diagnostics != params->end() && diagnostics->is_array() && diagnostics->empty();
}

void report_lines(benchmark::State& state, uint64_t lines) {
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DiagnosticsNote(benchmark::State& state) {
    const auto lines = static_cast<uint32_t>(state.range(0));
    const std::string uri = "file:///bench/program.qn";
    lsp::Server server = lsp::Server::create();
    (void)server.handle(did_open(uri, gen::generate_program(lines)));
    for (auto _ : state) {
        const lsp::HandleOutcome outcome = server.diagnostics_note(uri);
        if (!clean(outcome.messages.front())) state.SkipWithError(outcome.messages.front().dump().c_str());
    }
    report_lines(state, lines);
}

void BM_HandleDidChange(benchmark::State& state) {
    const auto lines = static_cast<uint32_t>(state.range(0));
    const std::string uri = "file:///bench/program.qn";
    const std::string text = gen::generate_program(lines);
    lsp::Server server = lsp::Server::create();
    (void)server.handle(did_open(uri, text));
    const json change = did_change(uri, 2, text);
    for (auto _ : state) {
        const lsp::HandleOutcome outcome = server.handle(change);
        if (outcome.messages.size() != 1 || !clean(outcome.messages.front())) state.SkipWithError("not clean");
    }
    report_lines(state, lines);
}

// What the editor waits for: the server's loop frees the replaced trees and the check's tables with
// the outcome, after the reply is written, so that freeing is left out of the timing here.
// BM_DiagnosticsNote pays for it in every iteration.
void BM_DiagnosticsNoteAnswered(benchmark::State& state) {
    const auto lines = static_cast<uint32_t>(state.range(0));
    const std::string uri = "file:///bench/program.qn";
    lsp::Server server = lsp::Server::create();
    (void)server.handle(did_open(uri, gen::generate_program(lines)));
    for (auto _ : state) {
        std::optional<lsp::HandleOutcome> outcome = server.diagnostics_note(uri);
        state.PauseTiming();
        if (!clean(outcome->messages.front())) state.SkipWithError(outcome->messages.front().dump().c_str());
        outcome.reset();
        state.ResumeTiming();
    }
    report_lines(state, lines);
}

BENCHMARK(BM_DiagnosticsNote)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiagnosticsNoteAnswered)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandleDidChange)->Arg(10'000)->Unit(benchmark::kMillisecond);

// The stream is built outside the timing: copying the frame into it is not part of reading it.
void BM_ReadMessage_DidChange(benchmark::State& state) {
    const auto lines = static_cast<uint32_t>(state.range(0));
    const std::string body = did_change("file:///bench/program.qn", 2, gen::generate_program(lines)).dump();
    const std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    for (auto _ : state) {
        state.PauseTiming();
        std::istringstream in(frame);
        state.ResumeTiming();
        const auto message = lsp::read_message(in);
        if (!message.has_value() || !message.value().has_value()) state.SkipWithError("not read");
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(static_cast<int64_t>(frame.size() * state.iterations()));
    report_lines(state, lines);
}

BENCHMARK(BM_ReadMessage_DidChange)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

void BM_DiagnosticsNoteModules(benchmark::State& state) {
    const auto modules = static_cast<uint32_t>(state.range(0));
    const auto lines = static_cast<uint32_t>(state.range(1));
    const gen::TempDir dir;
    const std::filesystem::path root = gen::write_files(dir.path(), gen::generate_module_graph(modules, lines));
    if (root.empty()) {
        state.SkipWithError("cannot write the module graph");
        return;
    }
    std::ostringstream text;
    text << std::ifstream(root).rdbuf();
    const std::string uri = "file://" + root.string();
    lsp::Server server = lsp::Server::create();
    (void)server.handle(did_open(uri, text.str()));
    for (auto _ : state) {
        const lsp::HandleOutcome outcome = server.diagnostics_note(uri);
        if (!clean(outcome.messages.front())) state.SkipWithError(outcome.messages.front().dump().c_str());
    }
    report_lines(state, uint64_t{modules} * lines);
}

BENCHMARK(BM_DiagnosticsNoteModules)->Args({100, 500})->Unit(benchmark::kMillisecond);

}  // namespace
