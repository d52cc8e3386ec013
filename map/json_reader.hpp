// SPDX-License-Identifier: Apache-2.0
// Reads a JSON map and records where each object and member begins, since
// nlohmann's parser keeps no positions: the parser runs in SAX mode over an
// iterator that counts lines as the lexer consumes characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "diagnostic.hpp"
#include "source.hpp"

namespace chip::map {

// Nesting deeper than this is refused: a map needs seven levels, and a
// hostile file must not make later walks deep.
constexpr unsigned kMaxJsonDepth = 64;

// Whether the reader notes the line of every value. Noting them costs about
// half the reading time; a map that gives no finding never needs them.
enum class JsonLines { record, skip };

// Parses `text` (named `file` in findings). A syntax error, a key given
// twice in one object or nesting past kMaxJsonDepth is reported in
// `findings` (with its line); the document is returned only when there was
// no syntax error or nesting error. A duplicate key keeps the last value.
// With JsonLines::skip no line is counted: the source's lines stay empty
// and the reader's own findings carry line 0.
std::optional<MapSource> read_json_map(std::string_view text, const std::string &file,
                                       Diagnostics &findings,
                                       JsonLines lines = JsonLines::record);

}  // namespace chip::map
