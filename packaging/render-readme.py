#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fills a template with sections of README.md, so that the Windows README.txt and the manual
page say what the README says without a second copy of its text:
    render-readme.py README TEMPLATE OUTPUT text|man [--crlf] [NAME=VALUE...]
"@NAME@" becomes VALUE; with PROGRAMS=NAME,..., a manual page's names for its programs fill
@TITLE@, @NAMES@, @PROGRAM@ (the first), @SYNOPSIS@ and @INSTALLED@. Then a template line
"@@Heading@@" becomes the body of the README section with that heading (up to the next heading
of any level), "@@Heading|N@@" its first N blocks.
Format text gives plain text, man roff for a manual page. The README may use paragraphs, "- "
lists, tables and fenced code blocks, with `code`, **bold**, *emphasis* and [links](target)
inside them."""
import os
import re
import sys

readme, template, output, form, *options = sys.argv[1:]
man = form == "man"


def blocks(lines):
    """Splits lines into blocks at blank lines outside code fences."""
    block, fenced = [], False
    for line in lines + [""]:
        fenced ^= line.startswith("```")
        if line or fenced:
            block.append(line)
        elif block:
            yield block
            block = []


def inline(text):
    if man:
        text = re.sub(r"`([^`]*)`", lambda code: "\\fB" + code[1].replace("-", "\\-") + "\\fR",
                      text.replace("\\", "\\e"))
        bold, emphasis = r"\\fB\1\\fR", r"\\fI\1\\fR"
    else:
        text = re.sub(r"`([^`]*)`", r"\1", text)
        bold = emphasis = r"\1"
    text = re.sub(r"\*\*([^*]+)\*\*", bold, text)
    text = re.sub(r"\*([^* ][^*]*)\*", emphasis, text)
    # Links: the text, and the address when it leads out of the repository.
    text = re.sub(r"\[([^]]*)\]\((https?:[^)]*)\)", r"\1 (\2)", text)
    text = re.sub(r"\[([^]]*)\]\([^)]*\)", r"\1", text)
    return "\\&" + text if man and text[:1] in (".", "'") else text


def wrap(text, indent):
    """Plain text wrapped at 78 columns behind an indent."""
    lines, current = [], ""
    for word in text.split():
        if current and len(f"{indent}{current} {word}") > 78:
            lines.append(indent + current)
            current = word
        else:
            current = f"{current} {word}" if current else word
    return "\n".join(lines + [indent + current])


def cells(row):
    return re.split(r" *\| *", row.strip("| "))


def render(block):
    """One block (paragraph, list, table or code) as text or roff."""
    if block[0].startswith("```"):
        if not man:
            return "".join(f"    {line}\n" for line in block[1:-1]).rstrip("\n")
        code = [line.replace("\\", "\\e") for line in block[1:-1]]
        code = ["\\&" + line if line[:1] in (".", "'") else line for line in code]
        return "\n".join([".PP", ".RS 4", ".nf"] + code + [".fi", ".RE"])
    if block[0].startswith("|"):
        # A table as a list of its rows: the first cell, the middle cells with their column
        # names, and the last cell as the description.
        names, result = cells(block[0]), []
        for row in block[2:]:
            row = cells(row)
            term = row[0]
            if len(names) > 2:
                term += " (" + ", ".join(f"{n.lower()}: {c}" for n, c in
                                         zip(names[1:-1], row[1:])) + ")"
            term, description = inline(term), inline(row[len(names) - 1])
            result += [".TP", term, description] if man else [term, wrap(description, "    "), ""]
        return "\n".join(result).rstrip("\n")
    # Paragraphs and "- " lists rewrap alike; list items behind "- " and then two blanks.
    bulleted = block[0].startswith("- ")
    items, result = [""], [] if bulleted or not man else [".PP"]
    for line in block:
        line = line.strip()
        if bulleted and line.startswith("- "):
            line = line[2:]
            items.append("")
            result.append(".IP \\(bu 2")
        items[-1] += " " + inline(line)
        result.append(inline(line))
    if man:
        return "\n".join(result)
    return "\n".join("- " + wrap(item, "  ")[2:] if bulleted else wrap(item, "")
                     for item in items if item)


# Sections: for each heading, the lines up to the next one (headings inside code excepted).
sections, heading, fenced = {}, None, False
for line in open(readme, encoding="utf-8").read().split("\n"):
    fenced ^= line.startswith("```")
    match = None if fenced else re.match(r"#+ (.*)$", line)
    if match:
        heading = match[1]
        sections[heading] = []
    elif heading is not None:
        sections[heading].append(line)


def section(match):
    heading, count = match[1], int(match[3] or 0)
    if heading not in sections:
        sys.exit(f"{readme} has no section \"{heading}\" (wanted by {template})")
    rendered = [render(b) for b in blocks(sections[heading])]
    return ("\n" if man else "\n\n").join(rendered[:count] if count else rendered)


fields = dict(option.split("=", 1) for option in options if "=" in option)
if "PROGRAMS" in fields:
    # A manual page's names for the programs it is about, the first one its title.
    programs = fields["PROGRAMS"].split(",")
    bold = [".B " + name.replace("-", "\\-") for name in programs]
    fields.update(TITLE=programs[0].upper(), NAMES=", ".join(programs), PROGRAM=bold[0][3:],
                  SYNOPSIS="\n.br\n".join(bold), INSTALLED="\nand\n".join(bold))
text = open(template, encoding="utf-8").read()
for name, value in fields.items():
    text = text.replace(f"@{name}@", value)
text = re.sub(r"(?m)^@@([^|@\n]+)(\|([0-9]+))?@@$", section, text)
text = text.rstrip("\n") + "\n"
if "--crlf" in options:
    text = text.replace("\n", "\r\n")
os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
with open(output, "w", encoding="utf-8", newline="") as file:
    file.write(text)
