// SPDX-License-Identifier: Apache-2.0
#include "json_reader.hpp"

#include <iterator>
#include <utility>
#include <vector>

namespace chip::map {

std::string pointer_append(const std::string &parent, const std::string &key) {
  std::string pointer;
  pointer.reserve(parent.size() + 1 + key.size());
  pointer += parent;
  pointer += '/';
  for (const char c : key) {
    if (c == '~') {
      pointer += "~0";
    } else if (c == '/') {
      pointer += "~1";
    } else {
      pointer += c;
    }
  }
  return pointer;
}

namespace {

// Lines of the characters read so far: `line` is where the lexer is,
// `token_line` the line of the last character that was not white space
// (the lexer reads one character past a number, which may be a newline).
struct LineCount {
  unsigned line = 1;
  unsigned token_line = 1;
};

class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char *;
  using reference = const char &;

  CountingIterator(const char *at, LineCount *count) : at_(at), count_(count) {}
  reference operator*() const { return *at_; }
  CountingIterator &operator++() {
    const char c = *at_++;
    if (c == '\n') {
      ++count_->line;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      count_->token_line = count_->line;
    }
    return *this;
  }
  bool operator==(const CountingIterator &other) const { return at_ == other.at_; }
  bool operator!=(const CountingIterator &other) const { return at_ != other.at_; }

 private:
  const char *at_;
  LineCount *count_;
};

using json = nlohmann::json;

// Builds the document like nlohmann's own DOM parser, and notes the line of
// every value under its JSON pointer unless told to skip the lines.
class LineRecorder {
 public:
  LineRecorder(const LineCount &count, const std::string &file, Diagnostics &findings,
               JsonLines lines)
      : count_(count), file_(file), findings_(findings), record_(lines == JsonLines::record) {}

  bool null() { return put(json(nullptr)); }
  bool boolean(bool value) { return put(json(value)); }
  bool number_integer(json::number_integer_t value) { return put(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return put(json(value)); }
  bool number_float(json::number_float_t value, const std::string &) { return put(json(value)); }
  bool string(std::string &value) { return put(json(std::move(value))); }
  bool binary(json::binary_t &value) { return put(json::binary(std::move(value))); }
  bool start_object(std::size_t) { return open(json::object()); }
  bool start_array(std::size_t) { return open(json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(std::string &name) {
    Level &level = stack_.back();
    if (level.value->contains(name)) {
      report(count_.token_line, "key '" + name + "' appears twice");
    }
    level.key = std::move(name);  // the lexer's buffer, cleared before its next token
    level.key_line = count_.token_line;
    return true;
  }

  bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &error) {
    std::string message = error.what();
    // "[json.exception.parse_error.101] parse error at line 3, column 1: syntax error ..."
    const size_t column = message.find(", column ");
    const size_t colon = column == std::string::npos ? column : message.find(": ", column);
    if (colon != std::string::npos) {
      message = message.substr(colon + 2);
    }
    report(count_.token_line, "not valid JSON: " + message);
    failed_ = true;
    return false;
  }

  bool failed() const { return failed_; }
  json &document() { return root_; }
  SourceLines &lines() { return lines_; }

 private:
  struct Level {
    json *value;
    std::string pointer;
    std::string key;
    unsigned key_line = 0;
  };

  void report(unsigned line, const std::string &message) {
    findings_.push_back({Severity::error, file_, line, "", message});
  }

  // Places `value` in its parent and returns it with its pointer (empty
  // when the lines are skipped).
  std::pair<json *, std::string> place(json &&value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      note("", count_.token_line);
      return {&root_, ""};
    }
    Level &level = stack_.back();
    std::string pointer;
    if (level.value->is_object()) {
      if (record_) {
        pointer = pointer_append(level.pointer, level.key);
        note(pointer, level.key_line);
      }
      json &slot = (*level.value)[std::move(level.key)] = std::move(value);
      return {&slot, std::move(pointer)};
    }
    if (record_) {
      pointer = level.pointer + "/" + std::to_string(level.value->size());
      note(pointer, count_.token_line);
    }
    level.value->push_back(std::move(value));
    return {&level.value->back(), std::move(pointer)};
  }

  void note(const std::string &pointer, unsigned line) {
    if (record_) {
      lines_[pointer] = line;
    }
  }

  bool put(json &&value) {
    place(std::move(value));
    return true;
  }

  bool open(json &&container) {
    if (stack_.size() >= kMaxJsonDepth) {
      report(count_.token_line,
             "nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels");
      failed_ = true;
      return false;
    }
    auto [value, pointer] = place(std::move(container));
    stack_.push_back({value, pointer, "", 0});
    return true;
  }

  bool close() {
    stack_.pop_back();
    return true;
  }

  const LineCount &count_;
  const std::string &file_;
  Diagnostics &findings_;
  json root_;
  SourceLines lines_;
  std::vector<Level> stack_;
  bool record_;
  bool failed_ = false;
};

}  // namespace

std::optional<MapSource> read_json_map(std::string_view text, const std::string &file,
                                       Diagnostics &findings, JsonLines lines) {
  LineCount count;
  LineRecorder recorder(count, file, findings, lines);
  bool parsed = false;
  if (lines == JsonLines::record) {
    const CountingIterator first(text.data(), &count);
    const CountingIterator last(text.data() + text.size(), &count);
    parsed = json::sax_parse(first, last, &recorder);
  } else {
    count = {0, 0};  // findings say "no line" rather than a wrong one
    parsed = json::sax_parse(text.data(), text.data() + text.size(), &recorder);
  }
  if (!parsed || recorder.failed()) {
    return std::nullopt;
  }
  return MapSource{std::move(recorder.document()), std::move(recorder.lines()), file};
}

}  // namespace chip::map
