"""Checks that a Helix languages.toml declares QUELLIN and its language server as Helix reads them.

Usage: check_languages.py LANGUAGES_TOML. Prints every problem found and exits 1 if there is any.
"""

import sys
import tomllib


def problems(config):
    found = []

    def expect(what, actual, wanted):
        if actual != wanted:
            found.append(f"{what} is {actual!r}, expected {wanted!r}")

    servers = config.get("language-server", {})
    server = servers.get("quellin-lsp")
    if not isinstance(server, dict):
        found.append("no [language-server.quellin-lsp] table")
    else:
        expect("language-server.quellin-lsp.command", server.get("command"), "quellin-lsp")
        if "args" in server:
            expect("language-server.quellin-lsp.args", server["args"], [])

    languages = [entry for entry in config.get("language", []) if entry.get("name") == "quellin"]
    if len(languages) != 1:
        found.append(f"{len(languages)} [[language]] entries named 'quellin', expected 1")
        return found
    language = languages[0]
    expect("scope", language.get("scope"), "source.quellin")
    expect("file-types", language.get("file-types"), ["qn"])
    expect("comment-token", language.get("comment-token"), "//")
    expect("indent", language.get("indent"), {"tab-width": 4, "unit": "    "})
    expect("language-servers", language.get("language-servers"), ["quellin-lsp"])
    if not isinstance(language.get("roots"), list):
        found.append("roots is not a list")
    # The server is named in one place only: the older inline form would be a second definition.
    if "language-server" in language:
        found.append("the [[language]] entry defines its server inline (language-server = ...)")
    for name in language.get("language-servers", []):
        if name not in servers:
            found.append(f"language server '{name}' has no [language-server.{name}] table")
    return found


def main():
    with open(sys.argv[1], "rb") as file:
        try:
            config = tomllib.load(file)
        except tomllib.TOMLDecodeError as error:
            print(f"{sys.argv[1]}: not valid TOML: {error}")
            return 1
    found = problems(config)
    for problem in found:
        print(f"{sys.argv[1]}: {problem}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
