#!/usr/bin/env python3
"""Turns the tool's manual (manual.txt) into the text --help prints and the
extent-browse(1) man page, so that the two never disagree.

The text's layout is its markup:
  - the first line is "NAME - summary", then a "Usage: ..." line;
  - an unindented line ending in ':' after a blank line starts a section;
  - a line indented by two blanks is an entry: a term, two or more blanks,
    its description; deeper-indented lines that follow continue it;
  - a line indented by four or more blanks that follows no entry is shown
    as it is (an example);
  - anything else is running text.
"""
import argparse
import re


def roff_escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def cpp_string(text):
    lines = []
    for line in text.splitlines(keepends=True):
        escaped = line.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
        lines.append('    "' + escaped + '"')
    return "\n".join(lines)


def man_page(text, version):
    lines = text.splitlines()
    name, summary = lines[0].split(" - ", 1)
    usage = lines[2]
    if not usage.startswith("Usage: "):
        raise SystemExit("manual.txt: the third line must be the usage line")
    out = [
        '.TH %s 1 "" "%s %s" "User Commands"' % (name.upper(), name, version),
        ".SH NAME",
        "%s \\- %s" % (roff_escape(name), roff_escape(summary)),
        ".SH SYNOPSIS",
        roff_escape(usage[len("Usage: "):]),
        ".SH DESCRIPTION",
    ]
    in_entry = False
    in_example = False
    previous = ""
    for line in lines[3:]:
        after_blank = not previous.strip()
        previous = line
        indent = len(line) - len(line.lstrip(" "))
        body = line.strip()
        if not body:
            if in_example:
                out.extend([".fi", ".RE"])
                in_example = False
            in_entry = False
            out.append(".PP")
            continue
        if indent == 0 and body.endswith(":") and after_blank:
            out.append(".SH " + roff_escape(body[:-1].upper()))
            in_entry = False
            continue
        if indent == 2:
            parts = re.split(r" {2,}", body, maxsplit=1)
            out.append(".TP")
            out.append("\\fB" + roff_escape(parts[0]) + "\\fR")
            if len(parts) > 1:
                out.append(roff_escape(parts[1]))
            in_entry = True
            continue
        if indent >= 4 and in_entry:
            out.append(roff_escape(body))
            continue
        if indent >= 4:
            if not in_example:
                out.extend([".RS 4", ".nf"])
                in_example = True
            # Deeper lines (an example's continuation) keep their place.
            out.append(roff_escape(line[4:].rstrip()))
            continue
        if in_example:
            out.extend([".fi", ".RE"])
            in_example = False
        out.append(roff_escape(body))
    if in_example:
        out.extend([".fi", ".RE"])
    # Consecutive paragraph marks collapse into one.
    page = []
    for line in out:
        if line == ".PP" and page and (page[-1] == ".PP" or page[-1].startswith(".SH")):
            continue
        page.append(line)
    return "\n".join(page) + "\n"


def options_in(text):
    """The long options a text names, such as --page-size."""
    return set(re.findall(r"(?<![\w-])--[a-z][a-z0-9-]*[a-z0-9]", text))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("--cpp", required=True)
    parser.add_argument("--man", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--doc", help="a page that must name the same options (docs/tool.md)")
    args = parser.parse_args()
    with open(args.source, encoding="utf-8") as f:
        text = f.read()
    # --help and the man page come from this text; the longer manual in
    # docs/ is written by hand, so the build stops when the two part ways.
    if args.doc:
        with open(args.doc, encoding="utf-8") as f:
            documented = options_in(f.read())
        listed = options_in(text)
        if documented != listed:
            raise SystemExit("%s and %s name different options: only in the first %s, only in "
                             "the second %s" % (args.source, args.doc,
                                               sorted(listed - documented) or "none",
                                               sorted(documented - listed) or "none"))
    with open(args.cpp, "w", encoding="utf-8") as f:
        f.write("// Generated from manual.txt by manual.py; edit those instead.\n")
        f.write('#include "Manual.h"\n\nconst char kManual[] =\n%s;\n' % cpp_string(text))
    with open(args.man, "w", encoding="utf-8") as f:
        f.write(man_page(text, args.version))


if __name__ == "__main__":
    main()
