#!/usr/bin/env python3
"""The layer rule of libvexa: a file includes headers of its own layer or of lower ones only.

Layers, bottom to top, and the folders and public headers of each are in LAYERS below (the same
table as the "Layers" section of docs/architecture.md). Every source and header under src/,
every public header under include/vexa/ and everything under plugins/ is checked; tests, fuzz
targets, benchmarks and tools sit above everything and may include anything.

Usage:  check-layers.py [ROOT]       exit status 1 and one line per offending include
"""
import os
import re
import sys

# (layer, folders under the root, public headers in include/vexa/); bottom first. A file
# belongs to the layer of the longest folder that contains it.
LAYERS = [
    ("base", ["src/base"], ["export.h", "wintypes.h", "memory.h"]),
    # Platform services that need nothing of the library's own types: every src/platform/<name>
    # that is not a device service below.
    ("platform", ["src/platform"], ["text.h"]),
    ("stream", ["src/stream"], ["stream.h", "compression.h"]),
    ("palette", ["src/palette"], ["palette.h"]),
    ("pixels", ["src/pixels"], ["pixel_routines.h"]),
    # Platform services that draw, show or ask: they may use palettes and the pixel routines.
    ("devices", ["src/platform/gdi", "src/platform/window", "src/platform/dialog"],
     ["icon.h", "file_dialog.h"]),
    ("surface", ["src/surface"],
     ["surface_implementation.h", "buffer_surface.h", "alpha_buffer_surface.h", "dib_surface.h",
      "dib_section_surface.h", "dc_surface.h", "error_surface.h"]),
    ("render", ["src/render"], ["blit.h", "rotation.h"]),
    ("frame", ["src/frame"],
     ["surface_object.h", "library.h", "fill_style.h", "display_driver.h"]),
    ("mask", ["src/bank/mask"], ["collision_mask.h"]),
    ("bank", ["src/bank"], ["image_bank.h", "image_surface.h", "font_bank.h", "sound_bank.h"]),
    ("imagefile", ["src/imagefile"],
     ["filter_plugin.h", "filter_manager.h", "filter_impl.h", "wide_calls.h", "image_file.h",
      "image_file_dialog.h"]),
    ("sound", ["src/sound"], ["sound.h", "sound_filter.h", "audio_output.h"]),
    ("window", ["src/window"], ["game_window.h"]),
    ("sprite", ["src/sprite"], ["sprite.h", "collision_map.h", "sprite_collision.h",
                                "transformed_blit.h"]),
    ("driver", ["src/driver"], ["effect.h"]),
    ("exports", ["src/exports"], ["exports.h", "vexa.h"]),
    ("plugins", ["plugins"], []),
]

RANK = {name: i for i, (name, _, _) in enumerate(LAYERS)}
FOLDERS = sorted(((folder, name) for name, folders, _ in LAYERS for folder in folders),
                 key=lambda item: -len(item[0]))
PUBLIC = {header: name for name, _, headers in LAYERS for header in headers}
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp", ".inc")
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"]+)[>"]', re.M)


def layer_of(path):
    """The layer of a file given relative to the root; None when no layer claims it."""
    if path.startswith("include/vexa/"):
        return PUBLIC.get(path[len("include/vexa/"):])
    for folder, name in FOLDERS:
        if path == folder or path.startswith(folder + "/"):
            return name
    return None


def resolve(root, including, kind, target):
    """The root-relative path an include names, or None for system and outside headers."""
    if target.startswith("vexa/"):
        return "include/" + target
    if kind == '"':
        for base in (os.path.dirname(including), "src"):
            candidate = os.path.normpath(os.path.join(base, target))
            if os.path.isfile(os.path.join(root, candidate)):
                return candidate
        if re.match(r"[a-z_]+/", target):  # a src/-rooted path that does not exist (yet)
            return "src/" + target
    return None


def checked_files(root):
    for top in ("src", "include/vexa", "plugins"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(folder, name), root)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    errors, notes, files = [], [], 0
    for path in checked_files(root):
        files += 1
        own = layer_of(path)
        if own is None:
            if path.startswith("include/vexa/"):
                notes.append(f"{path}: public header without a layer (add it to LAYERS)")
                continue
            errors.append(f"{path}: folder without a layer (add it to LAYERS and to "
                          "docs/architecture.md)")
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            kind, target = match.group(1), match.group(2)
            included = resolve(root, path, kind, target)
            if included is None:
                continue
            theirs = layer_of(included)
            if theirs is None:
                if included.startswith("include/vexa/"):
                    continue  # reported once, as the header's own note
                errors.append(f"{path}: includes {target}, which no layer claims")
                continue
            if RANK[theirs] > RANK[own]:
                line = text.count("\n", 0, match.start()) + 1
                errors.append(f"{path}:{line}: layer '{own}' includes {target} "
                              f"of the higher layer '{theirs}'")
    for note in notes:
        print("note:", note)
    for error in errors:
        print(error)
    if errors:
        order = " < ".join(name for name, _, _ in LAYERS)
        print(f"\n{len(errors)} problem(s) with the layer order {order}")
        return 1
    print(f"layers: {files} files, every include points to its own layer or a lower one")
    return 0


if __name__ == "__main__":
    sys.exit(main())
