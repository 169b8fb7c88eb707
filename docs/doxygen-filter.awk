# Doxygen's input filter for the public headers. The headers are written with
# plain // comments, as every file of the project is; Doxygen reads only ///
# comments as documentation. This filter hands Doxygen each header with the
# comments that document something turned into documentation comments:
#
#   - the opening comment, which says what the header is for and ends with a
#     usage example, documents the file; when it opens with the name of a
#     class the header declares ("TWvPage: ..."), it documents that class too;
#   - a comment on lines of its own at namespace, class or enumeration level
#     documents the declaration after it;
#   - a comment after a member or an enumerator on the same line documents
#     that member.
#
# The comments are plain text: an HTML tag in one ("a <TD> per cell") is
# shown as written, where Doxygen would take it for markup without a word.
# Comments inside function bodies are left alone. Lines are replaced, never
# added or removed (the class documentation goes after the last line), so
# that Doxygen's line numbers are those of the header. Plain POSIX awk.

function trim(s) {
  sub(/^[ \t]+/, "", s)
  sub(/[ \t]+$/, "", s)
  return s
}

# The text of a comment with every HTML tag outside quotes and code spans
# made a code span, so that Doxygen shows it as it is written.
function literal_tags(text,   out, i, j, n, c, quote, rest) {
  out = ""
  quote = ""
  n = length(text)
  for (i = 1; i <= n; i++) {
    c = substr(text, i, 1)
    if (quote != "") {
      if (c == quote) quote = ""
    } else if (c == "\"" || c == "`") {
      quote = c
    } else if (c == "<" && substr(text, i + 1, 1) ~ /[A-Za-z\/!]/) {
      rest = substr(text, i)
      j = index(rest, ">")
      if (j > 0) {
        out = out "`" substr(rest, 1, j) "`"
        i += j - 1
        continue
      }
    }
    out = out c
  }
  return out
}

# The kind of a brace that opens after the statement text s: a scope
# (namespace, class, struct, union, enumeration) or anything else (a function
# body, an initializer).
function brace_kind(s) {
  if (s ~ /(^|[^A-Za-z0-9_])(namespace|class|struct|union|enum)([^A-Za-z0-9_]|$)/ && s !~ /\(/)
    return "scope"
  return "body"
}

# The namespace a scope opens, "" when it opens no namespace.
function namespace_of(s) {
  if (!match(s, /namespace[ \t]+[A-Za-z0-9_:]+/)) return ""
  s = substr(s, RSTART, RLENGTH)
  sub(/namespace[ \t]+/, "", s)
  return s
}

# The namespaces that enclose the current line, joined with "::".
function enclosing_namespace(   i, name) {
  name = ""
  for (i = 1; i <= depth; i++)
    if (names[i] != "") name = (name == "" ? names[i] : name "::" names[i])
  return name
}

# Walks the code of one line: keeps the stack of open braces and the text of
# the statement being read, and sets comment_at to the position of a //
# comment outside string and character literals (0 when there is none).
function scan(line,   i, n, c, quote, kind) {
  comment_at = 0
  quote = ""
  n = length(line)
  for (i = 1; i <= n; i++) {
    c = substr(line, i, 1)
    if (quote != "") {
      if (c == "\\") i++
      else if (c == quote) quote = ""
      continue
    }
    if (c == "\"" || c == "'") { quote = c; continue }
    if (c == "/" && substr(line, i + 1, 1) == "/") { comment_at = i; return }
    if (c == "{") {
      kind = brace_kind(statement)
      depth++
      kinds[depth] = kind
      names[depth] = (kind == "scope" ? namespace_of(statement) : "")
      if (kind == "body") bodies++
      statement = ""
    } else if (c == "}") {
      if (depth > 0) {
        if (kinds[depth] == "body") bodies--
        depth--
      }
      statement = ""
    } else if (c == ";") {
      statement = ""
    } else {
      statement = statement c
    }
  }
}

BEGIN {
  opening = 1      # still inside the opening comment
  opening_lines = 0
  fenced = 0       # inside the example's code block
  main_class = ""  # the class the opening comment names first, if any
  main_scope = ""  # the namespace that class is declared in
  depth = 0
  bodies = 0
  statement = ""
}

opening && /^\/\// {
  opening_lines++
  text[opening_lines] = substr($0, 3)
  if (text[opening_lines] ~ /^ ```/) fenced = !fenced
  else if (!fenced) text[opening_lines] = literal_tags(text[opening_lines])
  if (opening_lines == 1 && match($0, /^\/\/ T[A-Za-z0-9_]+:/))
    named_class = substr($0, 4, RLENGTH - 4)
  print "///" text[opening_lines]
  next
}

opening {
  opening = 0
  # The first line after the opening comment joins it and says that it
  # documents the file; it is #pragma once, which means nothing to Doxygen.
  if (opening_lines > 0 && $0 ~ /^#pragma once/) {
    print "/// \\file"
    next
  }
}

/^[ \t]*#/ { print; next }

{
  line = $0
  before_bodies = bodies
  scan(line)
  statement = statement " "  # a line end separates words too
  # The class the opening comment names, where it is defined (its brace is
  # on this line and has been counted, as a scope without a name).
  if (named_class != "" && main_class == "" && bodies == 0 &&
      line ~ ("^[ \t]*(class|struct)[ \t]+" named_class "([^A-Za-z0-9_]|$)") &&
      line ~ /\{/) {
    main_class = named_class
    main_scope = enclosing_namespace()
  }
  if (comment_at == 0) {
    print line
    next
  }
  code = substr(line, 1, comment_at - 1)
  comment = substr(line, comment_at)
  if (trim(code) == "") {
    # A comment on lines of its own documents what follows, unless it sits in
    # a function body.
    if (before_bodies == 0 && comment !~ /^\/\/\//) comment = "/" literal_tags(comment)
    print code comment
    next
  }
  if (before_bodies == 0 && bodies == 0 && trim(code) ~ /[;,]$/ && comment ~ /^\/\/ /)
    comment = "///<" literal_tags(substr(comment, 3))
  print code comment
}

END {
  if (main_class == "") exit
  print "/// \\class " (main_scope == "" ? "" : main_scope "::") main_class
  for (i = 1; i <= opening_lines; i++) print "///" text[i]
}
