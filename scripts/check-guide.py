#!/usr/bin/env python3
"""Checks that docs/embedding.md still tells the truth about the tree.

  check-guide.py HTML_DIR

- Every relative link resolves: links into ../build/docs/html/ against
  HTML_DIR (where `make docs` wrote the reference), others against docs/.
- Every C++ or CMake block quotes an example: its lines, leading blanks
  aside, are consecutive lines of a file under examples/.
- Every other fenced block quotes a sample run: each of its lines is a line
  of some examples/*/sample-output.txt (a line there that ends in "..."
  stands for any line that starts with what precedes the dots).
- The log line catalogue lists exactly the lines src/ writes, each at its
  level.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
GUIDE = ROOT / "docs" / "embedding.md"
REFERENCE_PREFIX = "../build/docs/html/"

# EB_LOG(level, "format" ...), EB_LOG_NOTHROW(level, ...), EB_LOG_AT(site, level, ...),
# EB_LOG_AT_NOTHROW(site, level, ...): the level and the adjacent string
# literals that make the format.
LOG_CALL = re.compile(
    r'EB_LOG(?:_NOTHROW)?\(\s*(-?\d+)\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)'
    r'|EB_LOG_AT(?:_NOTHROW)?\(\s*[\w.]+\s*,\s*(-?\d+)\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)')
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
CATALOGUE_ROW = re.compile(r"^\| `(.*)` \| (-?\d+) \| .* \|$")


def fail(problems):
    for problem in problems:
        print(f"check-guide: {problem}", file=sys.stderr)
    sys.exit(1)


def unescape(literal):
    return re.sub(r"\\(.)", r"\1", literal)


def fenced_blocks(text):
    """(language, lines) of each fenced block."""
    blocks, language, lines = [], None, None
    for line in text.split("\n"):
        if lines is None and line.startswith("```"):
            language, lines = line[3:].strip(), []
        elif lines is not None and line.startswith("```"):
            blocks.append((language, lines))
            lines = None
        elif lines is not None:
            lines.append(line)
    return blocks


def quotes(block, files):
    wanted = [line.strip() for line in block]
    for lines in files:
        for start in range(len(lines) - len(wanted) + 1):
            if lines[start:start + len(wanted)] == wanted:
                return True
    return False


def matches_sample(line, samples):
    return any(line == s or (s.endswith("...") and line.startswith(s[:-3])) for s in samples)


def logged_lines():
    lines = set()
    for source in sorted((ROOT / "src").rglob("*.[ch]*")):
        for match in LOG_CALL.finditer(source.read_text()):
            level = match.group(1) or match.group(3)
            literals = match.group(2) or match.group(4)
            text = "".join(unescape(part) for part in LITERAL.findall(literals))
            lines.add((text, int(level)))
    return lines


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check-guide.py HTML_DIR")
    html = pathlib.Path(sys.argv[1])
    text = GUIDE.read_text()
    problems = []

    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        path = target.split("#", 1)[0]
        if re.match(r"[a-z]+:", path) or not path:
            continue
        if path.startswith(REFERENCE_PREFIX):
            resolved = html / path[len(REFERENCE_PREFIX):]
        else:
            resolved = GUIDE.parent / path
        if not resolved.exists():
            problems.append(f"link {target} resolves to nothing ({resolved})")

    examples = ROOT / "examples"
    code = [[line.strip() for line in f.read_text().split("\n")]
            for f in sorted(examples.rglob("*")) if f.name in ("main.cpp", "CMakeLists.txt")]
    samples = [line for f in sorted(examples.glob("*/sample-output.txt"))
               for line in f.read_text().split("\n")[1:]]
    for language, block in fenced_blocks(text):
        if language in ("cpp", "cmake"):
            if not quotes(block, code):
                problems.append(f"this {language} block quotes no example:\n  " + "\n  ".join(block))
        else:
            for line in block:
                if not matches_sample(line, samples):
                    problems.append(f"'{line}' is in no example's sample-output.txt")

    catalogued = set()
    for line in text.split("\n"):
        row = CATALOGUE_ROW.match(line)
        if row:
            catalogued.add((row.group(1), int(row.group(2))))
    logged = logged_lines()
    if not logged:
        problems.append("found no log line in src/")
    for line, level in sorted(logged - catalogued):
        problems.append(f"src/ writes `{line}` at level {level}; the catalogue does not list it")
    for line, level in sorted(catalogued - logged):
        problems.append(f"the catalogue lists `{line}` at level {level}; src/ does not write it")

    if problems:
        fail(problems)
    print(f"check-guide: links resolve, code quotes the examples, "
          f"the catalogue lists the {len(logged)} log lines src/ writes")


if __name__ == "__main__":
    main()
