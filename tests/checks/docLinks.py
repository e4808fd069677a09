#!/usr/bin/env python3
"""Every relative link in the given Markdown files leads to a file that exists, and
an anchor to a heading of that file (as headings are turned into anchors)."""
import pathlib
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#{1,6} (.+)$", re.MULTILINE)
FENCE = re.compile(r"^```.*?^```", re.MULTILINE | re.DOTALL)
CODE = re.compile(r"`[^`\n]*`")


def anchors(markdown):
    text = FENCE.sub("", markdown)
    return {re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-") for heading in HEADING.findall(text)}


def main(files):
    broken = []
    for name in files:
        page = pathlib.Path(name)
        text = CODE.sub("", FENCE.sub("", page.read_text(encoding="utf-8")))
        for target in LINK.findall(text):
            if re.match(r"^[a-z]+:", target):
                continue  # a web address: not ours to check
            path, _, anchor = target.partition("#")
            linked = (page.parent / path).resolve() if path else page.resolve()
            if not linked.exists():
                broken.append(f"{page}: {target}: no such file")
            elif anchor and linked.suffix == ".md" and anchor not in anchors(linked.read_text(encoding="utf-8")):
                broken.append(f"{page}: {target}: no such heading")
    for line in broken:
        print(line)
    print(f"{len(files)} pages, {len(broken)} broken links")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
