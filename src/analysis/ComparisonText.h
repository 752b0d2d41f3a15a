#pragma once

#include "analysis/RunComparison.h"

#include <string>
#include <vector>

namespace quorlan {

// The comparisons of each further run against one BASE, as quorlan-bench compare prints them:
// per kind a table of sizes, the median rates and ratios with their intervals, the regressed
// rates, then the verdicts and the warnings.
std::string comparisonText(const std::vector<RunComparison> &comparisons);

// The same as a GitHub-flavoured Markdown table per kind, to paste into an issue or a forum.
std::string comparisonMarkdown(const std::vector<RunComparison> &comparisons);

// The same as a UTF-8 JSON document: rates in bytes per second, null where there is none.
std::string comparisonJson(const std::vector<RunComparison> &comparisons);

} // namespace quorlan
