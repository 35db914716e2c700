#pragma once
// The module loader's messages, in the form described in common/message.hpp.

#include <cstdint>
#include <string>

#include "common/message.hpp"

namespace quellin {

// The last four are the reasons a file is not read; they fill the {error} of CannotImport and CannotRead,
// as the system's own descriptions ("No such file or directory") do.
#define QN_MODULE_DIAGNOSTICS(X)                                                                               \
    X(UnnamedModuleFile, "module files need a name — expected '<name>.qn'")                                    \
    X(DuplicateModuleName,                                                                                     \
      "two different files both name the module '{name}' ({first} and {second}) — module names are unique per " \
      "program")                                                                                               \
    X(ImportCycle,                                                                                             \
      "import cycle: {chain} → {name} — modules cannot import each other in a loop; move the shared functions " \
      "into a third module")                                                                                   \
    X(ImportChainTooDeep, "import chain is deeper than 256 modules — flatten the module structure")            \
    X(CannotImport, "cannot import '{name}' — expected {path} next to the importing file ({error})")           \
    X(CannotRead, "cannot read '{path}': {error}")                                                             \
    X(ImportsItself, "module '{name}' cannot import itself")                                                   \
    X(FileTooLarge, "file is larger than 8 MiB")                                                               \
    X(NotARegularFile, "not a regular file")                                                                   \
    X(NulInFileName, "file name contains a NUL byte")                                                          \
    X(NotUtf8, "stream did not contain valid UTF-8")

enum class ModuleDiag : uint8_t { QN_MODULE_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };

inline constexpr MessageKind kModuleDiagnostics[] = {QN_MODULE_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
inline constexpr MessageRegistry kModuleRegistry{"modules", kModuleDiagnostics};

template <class... Args>
std::string module_message(ModuleDiag kind, const Args&... args) {
    return fill(kModuleDiagnostics, kind, args...);
}

}  // namespace quellin
