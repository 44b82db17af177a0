#!/usr/bin/env python3
"""The ordinal table of libvexa.

Callers bind to the library's exports by number. The numbers live in src/exports/list/*.list,
one line per export:  ORDINAL  SYMBOL  [extern|retired]  [# readable name]
  extern   the symbol comes from a library vexa links (zlib's entry points) and is
           re-exported through the ordinal lookup only;
  retired  the export is gone; its number stays taken forever.
Each list starts with a line  '# range FIRST-LAST'  giving the numbers it may hand out.

Commands:
  generate  write the lookup table source and the linker version script from the lists
  check     fail when the library's objects export a symbol that no list names
  sync      append every such symbol to its list with the next free number
"""
import argparse
import os
import re
import subprocess
import sys

# Which list a symbol goes to, by the path of the source file that defines it (first match).
# Folders whose exports share another subsystem's list: the base services belong to the
# frame, the pixel routines to the surfaces and the renderer, memory blocks and wide strings to
# the image file functions, driver loading to the drivers; collision masks (src/bank/mask/) go
# to the bank by their first folder.
ROUTES = [
    ("src/base/memory_blocks", "imagefile"),
    ("src/base/", "frame"),
    ("src/platform/text/wide_strings", "imagefile"),
    ("src/platform/file/", "stream"),
    ("src/platform/", "platform"),
    ("src/pixels/kernels/", "render"),
    ("src/pixels/", "surface"),
    ("src/frame/driver_loader", "driver"),
    ("src/exports/", "frame"),
]


class Entry:
    def __init__(self, ordinal, symbol, kind, comment, path):
        self.ordinal, self.symbol, self.kind, self.comment, self.path = ordinal, symbol, kind, comment, path


def read_lists(folder):
    entries, ranges = [], {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".list"):
            continue
        path = os.path.join(folder, name)
        with open(path, encoding="utf-8") as f:
            for lineno, line in enumerate(f, 1):
                text = line.strip()
                m = re.match(r"#\s*range\s+(\d+)-(\d+)", text)
                if m:
                    ranges[name[:-5]] = (int(m.group(1)), int(m.group(2)))
                    continue
                if not text or text.startswith("#"):
                    continue
                body, _, comment = text.partition("#")
                fields = body.split()
                if len(fields) < 2 or not fields[0].isdigit():
                    sys.exit(f"{path}:{lineno}: expected 'ORDINAL SYMBOL [extern|retired]'")
                kind = fields[2] if len(fields) > 2 else ""
                entries.append(Entry(int(fields[0]), fields[1], kind, comment.strip(), path))
    seen_ord, seen_sym = {}, {}
    for e in entries:
        if e.ordinal in seen_ord:
            sys.exit(f"ordinal {e.ordinal} is used twice ({seen_ord[e.ordinal].symbol}, {e.symbol})")
        if e.kind != "retired" and e.symbol in seen_sym:
            sys.exit(f"symbol {e.symbol} has two ordinals")
        seen_ord[e.ordinal] = e
        seen_sym[e.symbol] = e
    return entries, ranges


def generate(args):
    entries, _ = read_lists(args.lists)
    live = sorted((e for e in entries if e.kind != "retired"), key=lambda e: e.ordinal)
    out = ["// Generated from src/exports/list/*.list by scripts/exports.py; do not edit.",
           '#include "exports/ordinal_table.h"', "",
           "// Weak references: an ordinal whose symbol is missing resolves to null, which the",
           "// ordinal test reports, instead of breaking the link.",
           'extern "C" {']
    for i, e in enumerate(live):
        out.append(f'extern char vexa_export_{i} __asm__("{e.symbol}") __attribute__((weak));')
    out += ["}", "", "namespace vexa {", "const OrdinalEntry kOrdinalTable[] = {"]
    for i, e in enumerate(live):
        out.append(f'    {{{e.ordinal}u, "{e.symbol}", &vexa_export_{i}}},')
    if not live:
        out.append('    {0u, "", nullptr},')
    out += ["};", f"const unsigned kOrdinalCount = {len(live)}u;", "}  // namespace vexa", ""]
    write_if_changed(args.table, "\n".join(out))
    own = [e.symbol for e in live if e.kind != "extern"]
    script = ["VEXA_1 {"] + (["  global:"] + [f"    {s};" for s in own] if own else [])
    script += ["  local: *;", "};", ""]
    write_if_changed(args.version_script, "\n".join(script))


def write_if_changed(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def exported_object_symbols(objects_file, source_root):
    """(symbol, source path) of every strong, default-visibility definition in the objects."""
    with open(objects_file, encoding="utf-8") as f:
        objects = [line.strip() for line in f if line.strip()]
    found = {}
    for start in range(0, len(objects), 200):
        chunk = objects[start:start + 200]
        text = subprocess.run(["readelf", "-sW"] + chunk, check=True, capture_output=True,
                              text=True).stdout
        current = chunk[0] if len(chunk) == 1 else None
        for line in text.splitlines():
            if line.startswith("File: "):
                current = line[6:].strip()
                continue
            fields = line.split()
            if len(fields) < 8 or not fields[0].endswith(":"):
                continue
            _, _, _, typ, bind, vis, ndx, name = fields[:8]
            if vis != "DEFAULT" or ndx == "UND" or typ not in ("FUNC", "OBJECT"):
                continue
            if bind == "GLOBAL" or (bind == "WEAK" and is_class_data(name)):
                found[name] = source_of(current, source_root)
    return found


# Virtual tables and type information of classes without a key function are emitted as weak
# symbols; those of the library's exported classes belong in the table, those of the standard
# library (which has default visibility too) do not.
CLASS_DATA = re.compile(r"^_ZT[VIS](\d|N)")  # of a named class, not of a function type
STD_CLASS_DATA = re.compile(r"^_ZT[VIS](St|N(St|9__gnu_cxx|10__cxxabiv1))")


def is_class_data(name):
    return bool(CLASS_DATA.match(name)) and not STD_CLASS_DATA.match(name)


def source_of(obj, source_root):
    m = re.search(r"\.dir/(?:\./)?(.*)\.o$", obj or "")
    return m.group(1) if m else (obj or "")


def list_for(source):
    for prefix, name in ROUTES:
        if source.startswith(prefix):
            return name
    m = re.match(r"src/([^/]+)/", source)
    return m.group(1) if m else "frame"


def missing_symbols(args):
    entries, ranges = read_lists(args.lists)
    known = {e.symbol for e in entries}
    found = exported_object_symbols(args.objects, args.source_root)
    return {s: src for s, src in found.items() if s not in known}, entries, ranges


def check(args):
    missing, _, _ = missing_symbols(args)
    if missing:
        for s, src in sorted(missing.items()):
            print(f"exports: {s} ({src}) is exported but has no ordinal", file=sys.stderr)
        sys.exit("exports: run `make exports` to assign ordinals, then commit src/exports/list/")


def demangle(symbols):
    if not symbols:
        return {}
    out = subprocess.run(["c++filt"], input="\n".join(symbols), capture_output=True, text=True).stdout
    return dict(zip(symbols, out.splitlines()))


def sync(args):
    missing, entries, ranges = missing_symbols(args)
    readable = demangle(sorted(missing))
    used = {e.ordinal for e in entries}
    for symbol, src in sorted(missing.items(), key=lambda kv: (kv[1], kv[0])):
        name = list_for(src)
        if name not in ranges:
            sys.exit(f"exports: no list {name}.list with a '# range' line for {symbol} ({src})")
        lo, hi = ranges[name]
        ordinal = max([o for o in used if lo <= o <= hi], default=lo - 1) + 1
        if ordinal > hi:
            sys.exit(f"exports: list {name} is full")
        used.add(ordinal)
        with open(os.path.join(args.lists, name + ".list"), "a", encoding="utf-8") as f:
            f.write(f"{ordinal} {symbol}  # {readable.get(symbol, symbol)}\n")
        print(f"exports: {ordinal} {readable.get(symbol, symbol)} -> {name}.list")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("command", choices=["generate", "check", "sync"])
    p.add_argument("--lists", required=True)
    p.add_argument("--table")
    p.add_argument("--version-script")
    p.add_argument("--objects")
    p.add_argument("--source-root", default=".")
    args = p.parse_args()
    {"generate": generate, "check": check, "sync": sync}[args.command](args)


if __name__ == "__main__":
    main()
