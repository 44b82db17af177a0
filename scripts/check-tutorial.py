#!/usr/bin/env python3
"""Checks that every C++ block of docs/tutorial.md stands word for word in the compiled
tutorial test (tests/tutorial/tutorial_test.cpp), so that no snippet of the guide goes stale.

    check-tutorial.py SOURCE_ROOT
"""
import re
import sys
from pathlib import Path


def normalise(lines):
    """Lines without their common indentation, blank lines dropped."""
    lines = [l.rstrip() for l in lines if l.strip()]
    indent = min((len(l) - len(l.lstrip()) for l in lines), default=0)
    return [l[indent:] for l in lines]


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    guide = (root / "docs/tutorial.md").read_text()
    source = (root / "tests/tutorial/tutorial_test.cpp").read_text().splitlines()
    blocks = re.findall(r"```c\+\+\n(.*?)```", guide, re.S)
    if not blocks:
        print("docs/tutorial.md: no C++ blocks")
        return 1
    # The marked regions of the test, normalised one by one.
    regions, current = [], None
    for line in source:
        if line.strip().startswith("// [tutorial:"):
            current = []
        elif line.strip() == "// [end]" and current is not None:
            regions.append(normalise(current))
            current = None
        elif current is not None:
            current.append(line)
    failures = 0
    for number, block in enumerate(blocks, 1):
        wanted = normalise(block.splitlines())
        if not any(wanted == region[i:i + len(wanted)]
                   for region in regions for i in range(len(region) - len(wanted) + 1)):
            print(f"docs/tutorial.md block {number} is not in the tutorial test:")
            print("\n".join("  " + l for l in wanted[:5]))
            failures += 1
    print(f"{len(blocks) - failures} of {len(blocks)} tutorial blocks compiled by the test")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
