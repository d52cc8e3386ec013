// SPDX-License-Identifier: Apache-2.0
#include "report.hpp"

#include <algorithm>

namespace chip::map {

std::string format_finding(const Diagnostic &finding) {
  std::string text = finding.file;
  if (finding.line != 0) {
    text += ":" + std::to_string(finding.line);
  }
  text += finding.severity == Severity::error ? ": error: " : ": warning: ";
  if (!finding.path.empty()) {
    text += finding.path + ": ";
  }
  // One line of printable text, whatever a name in the map held.
  for (const char c : finding.message) {
    text += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  }
  return text;
}

void sort_findings(Diagnostics &findings) {
  std::stable_sort(findings.begin(), findings.end(), [](const Diagnostic &a, const Diagnostic &b) {
    const unsigned la = a.line == 0 ? ~0u : a.line;
    const unsigned lb = b.line == 0 ? ~0u : b.line;
    return la < lb;
  });
}

}  // namespace chip::map
