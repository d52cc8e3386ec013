# SPDX-License-Identifier: Apache-2.0
# Doxygen input filter: the exported headers document each declaration with
# a plain comment directly above it (or after it, for record members), as
# C programmers read them. This turns those comments into Doxygen's own
# form as Doxygen reads a header, keeping every line where it is so that
# warnings point at the source line:
#   - the first comment of the file, before any code, describes the file
#     (@file appended to it);
#   - a comment (/* or a run of //) that starts a line and is followed
#     directly by a declaration documents it (/** and ///); a comment
#     followed by a blank line or another comment (a section heading)
#     documents nothing and stays as it is;
#   - a comment above a run of declarations (no blank line between) is
#     shared by all of them: the run becomes a member group, whose
#     documentation DISTRIBUTE_GROUP_DOC gives to each member (osal_usleep
#     and osal_ms_delay under one comment);
#   - a comment after a member or declaration on the same line documents
#     it (/**< and ///<); preprocessor lines are left alone;
#   - license lines (SPDX-License-Identifier) are blanked;
#   - backslashes and at-signs in comments are escaped, so that text like
#     \xHH or name@host is printed rather than read as a command.
function escape(text) {
  gsub(/\\/, "\\\\\\\\", text)
  gsub(/@/, "\\@", text)
  return text
}

# Braces opened by the code of a line (strings aside). A namespace or
# extern "C" block does not count: declarations inside it are at the top
# level for grouping (its closing brace is absorbed: depth stays >= 0).
function brace_change(code,    opened, closed) {
  gsub(/(namespace[ \t]*[A-Za-z_0-9:]*|extern[ \t]*"C")[ \t]*\{/, "", code)
  gsub(/"([^"\\]|\\.)*"/, "", code)
  gsub(/'([^'\\]|\\.)*'/, "", code)
  opened = gsub(/\{/, "", code)
  closed = gsub(/\}/, "", code)
  return opened - closed
}

# The buffered comment in Doxygen's form: the opening marker doubled (/**
# or ///) and the text escaped.
function converted(    i, out, line, start, marker) {
  out = ""
  for (i = 1; i <= count; i++) {
    line = buf[i]
    if (kind == "block") {
      if (i == 1) {
        start = index(line, "/*")
        line = substr(line, 1, start - 1) "/**" escape_comment(substr(line, start + 2))
      } else {
        line = escape_comment(line)
      }
      if (i == count && is_file_comment) sub(/\*\/[ \t]*$/, " @file */", line)
    } else {
      start = index(line, "//")
      line = substr(line, 1, start - 1) "///" escape(substr(line, start + 2))
      if (i == count && is_file_comment) line = line " @file"
    }
    out = out (i > 1 ? "\n" : "") line
  }
  return out
}

# Escapes a block comment's text but not its closing marker.
function escape_comment(text,    end) {
  end = index(text, "*/")
  if (end == 0) return escape(text)
  return escape(substr(text, 1, end - 1)) substr(text, end)
}

function raw(    i, out) {
  out = ""
  for (i = 1; i <= count; i++) out = out (i > 1 ? "\n" : "") buf[i]
  return out
}

# Decides the buffered comment by the line after it.
function flush(next_line,    documents, text) {
  if (count == 0) return
  documents = is_file_comment ||
              (next_line !~ /^[ \t]*$/ && next_line !~ /^[ \t]*(\/\*|\/\/)/ && next_line != "\001EOF")
  if (!documents) {
    print raw()
  } else if (is_file_comment || depth > 0) {
    print converted()
  } else {
    text = converted()
    print (group_open ? "/**@}*/" : "") "/**@{*/" text
    group_open = 1
  }
  count = 0
  is_file_comment = 0
}

# A comment after a member or declaration (code with ; or ,) documents it;
# after anything else (a closing brace) it stays as it is.
function member_comment(line, code,    start, body, end) {
  if (code !~ /[;,]/) return line
  start = index(line, "/*")
  if (start > 0 && substr(line, start, 3) != "/**") {
    body = substr(line, start + 2)
    end = index(body, "*/")
    if (end == 0) {
      in_member_comment = 1
      return substr(line, 1, start - 1) "/**<" escape(body)
    }
    return substr(line, 1, start - 1) "/**<" escape(substr(body, 1, end - 1)) substr(body, end)
  }
  start = index(line, "//")
  if (start > 0 && substr(line, start, 3) != "///")
    return substr(line, 1, start - 1) "///<" escape(substr(line, start + 2))
  return line
}

BEGIN { count = 0; in_block = 0; seen_code = 0; group_open = 0; depth = 0 }

{
  line = $0
  if (line ~ /SPDX-License-Identifier/) line = ""

  if (in_member_comment) {
    if (index(line, "*/")) { in_member_comment = 0; print escape_comment(line) }
    else print escape(line)
    next
  }
  if (in_block) {
    buf[++count] = line
    if (index(line, "*/")) in_block = 0
    next
  }
  # A run of // comments goes on.
  if (count > 0 && kind == "line" && line ~ /^[ \t]*\/\/([^\/]|$)/) {
    buf[++count] = line
    next
  }
  flush(line)

  if (line ~ /^[ \t]*\/\*/ && line !~ /^[ \t]*\/\*\*/) {
    kind = "block"
    count = 1
    buf[1] = line
    is_file_comment = !seen_code
    seen_code = 1
    in_block = (index(substr(line, index(line, "/*") + 2), "*/") == 0)
    next
  }
  if (line ~ /^[ \t]*\/\/([^\/]|$)/) {
    kind = "line"
    count = 1
    buf[1] = line
    is_file_comment = !seen_code
    seen_code = 1
    next
  }
  if (line ~ /^[ \t]*$/) {
    if (group_open && depth == 0) { print "/**@}*/"; group_open = 0; next }
    print line
    next
  }
  seen_code = 1
  if (line ~ /^[ \t]*#/) { print line; next }
  code = line
  sub(/\/[\/*].*/, "", code)
  depth += brace_change(code)
  if (depth < 0) depth = 0
  print member_comment(line, code)
}

END {
  flush("\001EOF")
  if (group_open) print "/**@}*/"
}
