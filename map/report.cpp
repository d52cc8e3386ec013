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
  const std::string body = finding.path.empty() ? finding.message : finding.path + ": " + finding.message;
  // One line of printable text, whatever a key or a name in the map held.
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : body) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
    } else {
      text += c;
    }
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
