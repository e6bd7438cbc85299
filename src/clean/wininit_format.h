#pragma once
// The "[rename]" section of Wininit.ini (Windows 9x/ME restart-time operations) as bytes:
// our lines added at the end of the section and taken out again, every other byte of the
// file kept. No system calls: how two lines compare (the code page's letter case) is
// handed in by the caller.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// True when two lines, already stripped of blanks and tabs at either end, are the same line.
using SameIniLine = std::function<bool(std::string_view, std::string_view)>;

// The text with lines added at the end of its "[rename]" section (created at the end when
// missing), each unless the section already holds it; added receives the lines really
// added. Lines that are blank are never added.
std::string WithRenameLines(std::string_view text, const std::vector<std::string>& lines,
                            std::vector<std::string>& added, const SameIniLine& same);
// The text without one occurrence of each line in its "[rename]" section.
std::string WithoutRenameLines(std::string_view text, const std::vector<std::string>& lines, const SameIniLine& same);

}  // namespace qm
