#pragma once
// The console program's command line: a command word (preview, clean), the kinds of clean and
// --json; or --help, --version.
#include <optional>
#include <string>
#include <vector>

#include "clean/clean_report.h"

namespace qm {

inline constexpr wchar_t kCliName[] = L"quillmere-cli";

enum class CliCommand { Help, Version, Preview, Clean };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::vector<CleanKind> kinds;  // in run order, each once; empty: what the settings select
    bool json = false;
};

struct ParsedArguments {
    std::optional<CliOptions> options;
    std::wstring error;  // why the command line was refused, when options is empty
};

// The arguments after the program name. Words and options are matched ignoring letter case.
ParsedArguments ParseCliArguments(const std::vector<std::wstring>& arguments);

// The --help text.
std::wstring CliUsageText();
// The line after a refused command line.
inline constexpr wchar_t kCliUsageHint[] = L"Run \"quillmere-cli --help\" for the commands and options.";

}  // namespace qm
