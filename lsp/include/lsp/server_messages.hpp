#pragma once
// The server's own messages, in the form described in common/message.hpp: the answer to a request it
// does not handle, the framing errors that end a session, and the forms in which the pipeline shows a
// document's error (the errors of other files, the document size bound).

#include <cstdint>
#include <string>

#include "common/message.hpp"

namespace quellin::lsp {

// clang-format off
#define QN_SERVER_DIAGNOSTICS(X)                                                                                 \
    /* Answers to requests */                                                                                    \
    X(MethodNotSupported, "method not supported by quellin-lsp v0: {method}")                                    \
    /* Framing */                                                                                                \
    X(MissingContentLength, "message without a Content-Length header")                                           \
    X(HeaderNotUtf8, "header line is not valid UTF-8")                                                           \
    X(HeaderTooLong, "header line longer than 65536 bytes")                                                      \
    X(ContentLengthTooLarge, "Content-Length {length} exceeds the limit of 67108864 bytes")                      \
    X(BodyEndedEarly, "unexpected end of input: the body ended after {received} of {length} bytes")              \
    X(InvalidJson, "invalid JSON body: {details}")                                                               \
    X(JsonTooDeep, "JSON body nested deeper than 512 levels")                                                    \
    X(JsonTooManyValues, "JSON body holds more than 1048576 values")                                             \
    X(WriteFailed, "failed to write a message to the output")                                                    \
    /* The checking pipeline */                                                                                  \
    X(DocumentTooLarge, "this file is larger than 8 MiB — QUELLIN checks files of up to that size; split it "    \
                        "into modules")                                                                          \
    X(ErrorInOtherFile, "[{file}]: {message}")                                                                   \
    X(ErrorInOtherModule, "[{module}.qn]: {message} (line {line}, column {column})")
// clang-format on

enum class ServerDiag : uint8_t { QN_SERVER_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };

inline constexpr MessageKind kServerDiagnostics[] = {QN_SERVER_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
inline constexpr MessageRegistry kServerRegistry{"server", kServerDiagnostics};

template <class... Args>
std::string server_message(ServerDiag kind, const Args&... args) {
    return fill(kServerDiagnostics, kind, args...);
}

}  // namespace quellin::lsp
