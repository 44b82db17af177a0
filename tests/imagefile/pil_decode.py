#!/usr/bin/python3
"""Decodes image files with PIL for the conformance tests: for each input writes
<out>/<name>.rgba holding "width height frames\n" and then RGBA bytes, one frame after
another. 16-bit grey samples keep their high byte. A file PIL cannot read gets no output."""
import os
import sys

from PIL import Image


def rgba_frames(image):
    frames = []
    index = 0
    while True:
        try:
            image.seek(index)
        except EOFError:
            break
        frame = image
        if frame.mode in ("I", "I;16", "I;16B", "I;16L"):
            grey = frame.point(lambda v: v / 256).convert("L")
            frame = grey.convert("RGBA")
        elif frame.mode == "LA" or frame.mode == "RGBA":
            frame = frame.convert("RGBA")
        else:
            frame = frame.convert("RGBA")
        frames.append(frame.tobytes())
        index += 1
        if not getattr(image, "is_animated", False):
            break
    return frames


def main():
    out = sys.argv[1]
    for path in sys.argv[2:]:
        try:
            with Image.open(path) as image:
                image.load()
                size = image.size
                frames = rgba_frames(image)
        except Exception:  # noqa: BLE001 - any failure means "PIL refuses it"
            continue
        name = os.path.basename(path)
        with open(os.path.join(out, name + ".rgba"), "wb") as f:
            f.write(b"%d %d %d\n" % (size[0], size[1], len(frames)))
            for frame in frames:
                f.write(frame)


if __name__ == "__main__":
    main()
