#!/usr/bin/env python3
"""Writes a man page (roff) from a program's own --help texts, run at build time.

Usage: help-to-man.py PROGRAM OUT.1

The page is the program's `--help`; when that lists commands ("Commands:" with one command per line)
and the program answers `PROGRAM help COMMAND`, each command's help follows as a subsection. The help
texts keep to a few conventions, which this turns into man page sections:

  - the first line is "NAME VERSION - what it is" (the NAME section);
  - "Usage: ..." and the lines aligned under it make the SYNOPSIS;
  - a line of its own ending in ':' ("Options:", "Exit status:") starts a section;
  - indented "TERM  text" lines (two spaces or more between) in a section named "Commands", "Options",
    "Parameters", "Environment", "Files" or "Exit status" are a list, a deeper-indented line continues the text;
  - other indented lines (examples, tables) are shown as they are; other lines are filled text.
"""

import os
import re
import subprocess
import sys

LIST_SECTIONS = {"commands", "options", "parameters", "environment", "files", "exit status"}


def run(argv):
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, check=False)
    if result.returncode != 0:
        sys.exit(f"help-to-man: {' '.join(argv)} failed ({result.returncode}): {result.stderr}")
    return result.stdout


def escape(text):
    """Text as roff shows it literally: backslashes, minus signs and leading control characters."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def blocks(lines):
    """Splits lines into blank-line separated blocks."""
    block = []
    for line in lines:
        if line.strip():
            block.append(line.rstrip())
        elif block:
            yield block
            block = []
    if block:
        yield block


def is_heading(line):
    return not line.startswith(" ") and line.endswith(":") and re.fullmatch(r"[A-Z][A-Za-z' ]*:", line)


def list_items(lines):
    """'  TERM  text' lines and their continuations as (term, text) pairs; None when a line fits neither."""
    items = []
    column = None
    for line in lines:
        match = re.match(r"^( +)(\S.*?)(?: {2,}(\S.*))?$", line)
        if not match:
            return None
        indent = len(match.group(1))
        if items and column is not None and indent >= column:
            items[-1][1].append(line.strip())
            continue
        if items and column is None and indent > len(lines[0]) - len(lines[0].lstrip()):
            items[-1][1].append(line.strip())
            continue
        term, text = match.group(2), match.group(3)
        column = line.index(text) if text else None
        items.append((term, [text] if text else []))
    return items


class Page:
    def __init__(self):
        self.out = []

    def add(self, line):
        self.out.append(line)

    def text(self, lines):
        for line in lines:
            self.add(escape(line.strip()))

    def verbatim(self, lines):
        indent = min(len(l) - len(l.lstrip()) for l in lines)
        self.add(".PP")
        self.add(".RS 4")
        self.add(".nf")
        for line in lines:
            self.add(escape(line[indent:]) if line[indent:] else "")
        self.add(".fi")
        self.add(".RE")

    def items(self, items):
        for term, text in items:
            self.add(".TP")
            self.add("\\fB" + escape(term) + "\\fR")
            self.text(text or [""])

    def section_body(self, lines, section):
        """The blocks of one section (or of the text before any heading)."""
        for block in blocks(lines):
            if section in LIST_SECTIONS and block[0].startswith(" "):
                items = list_items(block)
                if items:
                    self.items(items)
                    continue
            # Filled text first, then anything indented under it as it is.
            start = 0
            while start < len(block):
                if block[start].startswith(" "):
                    end = start
                    while end < len(block) and block[end].startswith(" "):
                        end += 1
                    self.verbatim(block[start:end])
                    start = end
                else:
                    end = start
                    while end < len(block) and not block[end].startswith(" "):
                        end += 1
                    self.add(".PP")
                    self.text(block[start:end])
                    start = end


def split_usage(lines):
    """The usage lines (the 'Usage:' line and those aligned under it) and the rest."""
    for i, line in enumerate(lines):
        if line.lower().startswith("usage:"):
            end = i + 1
            while end < len(lines) and lines[end].startswith("      ") and lines[end].strip():
                end += 1
            usage = [lines[i][len("usage:"):].strip()] + [l.strip() for l in lines[i + 1:end]]
            return usage, lines[:i] + lines[end:]
    return [], lines


def sections(lines):
    """(heading, lines) pairs; the text before the first heading has the heading None."""
    current, body = None, []
    result = []
    for line in lines:
        if is_heading(line):
            result.append((current, body))
            current, body = line[:-1], []
        else:
            body.append(line)
    result.append((current, body))
    return [(h, b) for h, b in result if h is not None or any(l.strip() for l in b)]


def synopsis(page, usage):
    page.add(".SH SYNOPSIS")
    page.add(".nf")
    for line in usage:
        page.add(escape(line))
    page.add(".fi")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program, output = sys.argv[1], sys.argv[2]
    name = os.path.basename(program)
    main_help = run([program, "--help"]).splitlines()
    title = re.match(r"^(\S+) (\S+) - (.+)$", main_help[0])
    if not title or title.group(1) != name:
        sys.exit(f"help-to-man: the help's first line is not '{name} VERSION - ...': {main_help[0]}")
    version, summary = title.group(2), title.group(3)
    usage, rest = split_usage(main_help[1:])

    page = Page()
    page.add(f'.TH {name.upper()} 1 "" "{name} {version}" "User Commands"')
    # Options and paths are copied from the page: no hyphenation, no stretched spaces.
    page.add(".nh")
    page.add(".ad l")
    page.add(".SH NAME")
    page.add(f"{escape(name)} \\- {escape(summary)}")
    help_sections = sections(rest)
    commands = []
    for heading, body in help_sections:
        if heading and heading.lower() == "commands":
            items = list_items([l for l in body if l.strip()]) or []
            commands = [term for term, _ in items if term != "help"]
    command_usage = []
    command_helps = []
    # Only a program whose usage offers "help COMMAND" has a help of each command.
    if not any(re.search(r"\bhelp COMMAND\b", line) for line in usage):
        commands = []
    for command in commands:
        text = run([program, "help", *command.split()]).splitlines()
        cmd_usage, cmd_rest = split_usage(text)
        command_usage += cmd_usage
        command_helps.append((command, cmd_usage, cmd_rest))
    synopsis(page, usage + [u for u in command_usage if u not in usage])

    for heading, body in help_sections:
        page.add(".SH " + escape((heading or "Description").upper()))
        page.section_body(body, (heading or "").lower())
        if heading and heading.lower() == "commands":
            for command, cmd_usage, cmd_rest in command_helps:
                page.add(".SS " + escape(command))
                for line in cmd_usage:
                    page.add(".PP")
                    page.add("\\fB" + escape(line) + "\\fR")
                for sub, sub_body in sections(cmd_rest):
                    if sub:
                        page.add(".PP")
                        page.add("\\fI" + escape(sub) + "\\fR")
                    page.section_body(sub_body, (sub or "").lower())

    with open(output + ".tmp", "w", encoding="utf-8") as f:
        f.write("\n".join(page.out) + "\n")
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()
