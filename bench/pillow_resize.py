#!/usr/bin/python3
"""The Pillow peer of the smooth reductions in bench/bench_stretch.cpp.

Reduces a 256 x 256 RGBX image (smooth gradients with noise, as the C++ source) to
128 x 128, 85 x 85 and 32 x 32 with Image.resize and its BILINEAR filter, which widens its
tent with the reduction (antialiased, the same kind of filter as ours), times each, prints
each rate in destination megapixels per second, and, given the JSON output of vexa_bench
(--benchmark_out), one line per case:
    ratio <case> Pillow <vexa rate> <Pillow rate> <vexa/Pillow>
which, given a second argument, it also appends to that summary file. Pillow's rates include
the cost of calling it from Python (about a microsecond per call).

Run it with Debian's python3 (/usr/bin/python3), which has python3-pil.
"""
import random
import sys

from pygame_masks import rate, report

SOURCE = 256
SIZES = (128, 85, 32)


def source_image(image_module):
    rng = random.Random(1)
    pixels = bytearray()
    for y in range(SOURCE):
        for x in range(SOURCE):
            r = (x + rng.getrandbits(4)) & 0xFF
            g = (y + rng.getrandbits(4)) & 0xFF
            b = ((x ^ y) + rng.getrandbits(4)) & 0xFF
            pixels += bytes((r, g, b, 0xFF))
    return image_module.frombytes("RGBX", (SOURCE, SOURCE), bytes(pixels))


def main():
    try:
        from PIL import Image  # python3-pil
    except ImportError:
        print("pillow_resize: Pillow is not installed (Debian: python3-pil); peer skipped")
        return 0
    image = source_image(Image)
    bilinear = Image.Resampling.BILINEAR if hasattr(Image, "Resampling") else Image.BILINEAR
    peer = {}
    for size in SIZES:
        case = f"stretch_reduce_256_to_{size}"
        peer[case] = rate(lambda: image.resize((size, size), bilinear), size * size)
    report("Pillow", peer)
    return 0


if __name__ == "__main__":
    sys.exit(main())
