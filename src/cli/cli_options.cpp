#include "cli/cli_options.h"

#include <algorithm>

#include "base/text.h"

namespace qm {

namespace {

std::optional<CleanKind> KindOption(const std::wstring& word) {
    for (CleanKind kind : kAllCleanKinds)
        if (word == L"--" + std::wstring(CleanKindName(kind))) return kind;
    return std::nullopt;
}

}  // namespace

ParsedArguments ParseCliArguments(const std::vector<std::wstring>& arguments) {
    std::optional<CliCommand> command;
    std::vector<CleanKind> chosen;
    bool json = false;
    for (const auto& argument : arguments) {
        const std::wstring word = ToLower(argument);
        if (word == L"--help" || word == L"-h" || word == L"/?") return {CliOptions{CliCommand::Help, {}, false}, {}};
        if (word == L"--version") return {CliOptions{CliCommand::Version, {}, false}, {}};
        if (word == L"--json") {
            json = true;
        } else if (const auto kind = KindOption(word)) {
            chosen.push_back(*kind);
        } else if (StartsWith(word, L"-") || StartsWith(word, L"/")) {
            return {std::nullopt, L"Unknown option \"" + argument + L"\"."};
        } else if (command) {
            return {std::nullopt, L"Unexpected argument \"" + argument + L"\"."};
        } else if (word == L"preview" || word == L"clean") {
            command = word == L"preview" ? CliCommand::Preview : CliCommand::Clean;
        } else {
            return {std::nullopt, L"Unknown command \"" + argument + L"\": use preview or clean."};
        }
    }
    if (!command) return {std::nullopt, L"No command given: use preview or clean."};
    CliOptions options{*command, {}, json};
    for (CleanKind kind : kAllCleanKinds)
        if (std::find(chosen.begin(), chosen.end(), kind) != chosen.end()) options.kinds.push_back(kind);
    return {options, {}};
}

std::wstring CliUsageText() {
    return L"Usage: quillmere-cli preview [KINDS] [--json]\n"
           L"       quillmere-cli clean [KINDS] [--json]\n"
           L"       quillmere-cli --help | --version\n"
           L"\n"
           L"  preview     list what a clean would remove, keep and refuse; delete nothing\n"
           L"  clean       clean unattended (no box, no network) and report what was done\n"
           L"\n"
           L"KINDS (none given: what the program's options select, as \"Quillmere.exe auto\" does):\n"
           L"  --internet  browser caches\n"
           L"  --cookies   cookies, except the kept ones\n"
           L"  --temp      the Temp folder\n"
           L"  --folders   the folders of the \"Your Folder\" list\n"
           L"  --restart   schedule the locked index files (index.dat) for the next restart\n"
           L"\n"
           L"  --json      print one JSON document (UTF-8) instead of the table\n"
           L"\n"
           L"The report goes to standard output; progress and messages to standard error.\n"
           L"Exit codes: 0 done (files in use, kept cookies and spared folders are normal),\n"
           L"1 something was refused or failed, 2 bad usage, 3 another clean was running.\n";
}

}  // namespace qm
