#!/usr/bin/env python3
"""Lists C++ functions longer than a limit, by matching braces.

    scripts/function-lengths.py [--limit N] [--all] PATH...

A function is a brace block at namespace or class scope whose head (the
text since the previous ';', '{' or '}') has a parameter list and is not a
class, struct, enum, union, namespace or an initialiser ('= {'). Its length
is counted from the line its name is on to its closing brace, both included,
which is what a reader scrolls through. Comments, string and character
literals are blanked first, so braces inside them do not count. Exits 1 when
a function is over the limit (80 lines unless told), printing each as
FILE:LINE: NAME: LINES lines; --all prints every function and its length.
"""
import argparse
import pathlib
import re
import sys

SCOPES = re.compile(r"\b(namespace|class|struct|union|enum)\b")


def blank(text):
    """The text with comments and literals replaced by spaces, newlines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            # A digit separator (1'000) is not a character literal.
            if c == "'" and i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum():
                out.append(c)
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + c if j - i >= 2 else text[i:j])
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(path):
    """(name, first line, length) of every function in the file."""
    text = blank(pathlib.Path(path).read_text(encoding="utf-8", errors="replace"))
    # Preprocessor lines hold no braces that matter and may hold stray ones.
    text = re.sub(r"(?m)^[ \t]*#.*(\\\n.*)*$", lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)
    found = []
    stack = []  # per open brace: 'scope', or ('function', name, line)
    head_start = 0
    depth_in_function = 0
    for i, c in enumerate(text):
        if depth_in_function:
            if c == "{":
                depth_in_function += 1
            elif c == "}":
                depth_in_function -= 1
                if depth_in_function == 0:
                    name, line = stack.pop()
                    end = text.count("\n", 0, i) + 1
                    found.append((name, line, end - line + 1))
                    head_start = i + 1
            continue
        if c == ";":
            head_start = i + 1
        elif c == "}":
            if stack:
                stack.pop()
            head_start = i + 1
        elif c == "{":
            head = text[head_start:i]
            stripped = head.strip()
            paren = stripped.find("(")
            is_function = (paren > 0 and not SCOPES.search(stripped[:paren])
                           and not re.search(r"=\s*$", stripped) and ")" in stripped
                           and not re.match(r"^(extern\s+\"C\"|=)", stripped))
            if is_function:
                name = re.findall(r"([~\w:]+(?:operator\s*\S+?)?)\s*\(", stripped)
                offset = head_start + len(head) - len(head.lstrip())
                name_at = offset + stripped.find(name[0]) if name else offset
                line = text.count("\n", 0, name_at) + 1
                stack.append((name[0] if name else "?", line))
                depth_in_function = 1
            else:
                stack.append("scope")
                head_start = i + 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--limit", type=int, default=80)
    parser.add_argument("--all", action="store_true")
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    files = []
    for path in map(pathlib.Path, args.paths):
        files += sorted(p for p in path.rglob("*") if p.suffix in (".cpp", ".hpp")) if path.is_dir() else [path]
    over = 0
    for path in files:
        for name, line, length in functions(path):
            if args.all or length > args.limit:
                print(f"{path}:{line}: {name}: {length} lines")
            over += length > args.limit
    if over:
        print(f"{over} function(s) over {args.limit} lines", file=sys.stderr)
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
