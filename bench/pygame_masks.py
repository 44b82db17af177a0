#!/usr/bin/python3
"""The pygame peer of bench/bench_masks.cpp.

Builds the same masks, offsets, rectangles and pixels as the C++ cases with pygame's Mask,
times Mask.overlap and pygame.mask.from_surface, prints each rate, and, given the JSON output
of vexa_bench (--benchmark_out), one line per case:
    ratio <case> pygame <vexa rate> <pygame rate> <vexa/pygame>
which, given a second argument, it also appends to that summary file.
Rates are in the C++ cases' units (millions of tests or pixels per second). pygame's rates
include the cost of calling it from Python (some tens of nanoseconds per call).

Run it with Debian's python3 (/usr/bin/python3), which has python3-pygame.
"""
import json
import os
import random
import sys
import time

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

SIZE = 256
TESTS = 1000
RECT = 64


def offsets():
    # Same formulas as bench_masks.cpp: B's offset from A, dy always even.
    return [((i * 37) % 65 - 32, ((i * 11) % 33 - 16) * 2) for i in range(TESTS)]


def rect_places():
    return [(16 + (i * 53) % 161, 16 + (i * 29) % 161) for i in range(TESTS)]


def rate(run, units_per_call, min_seconds=0.25, repeats=5):
    """Best rate over `repeats` timings of at least min_seconds each, in millions of units/s.

    Timed in process CPU time, as vexa_bench reports its rates, so that other work on a busy
    machine slows both sides alike."""
    calls = 1
    while True:
        start = time.process_time()
        for _ in range(calls):
            run()
        elapsed = time.process_time() - start
        if elapsed >= min_seconds:
            break
        calls *= 2
    best = elapsed
    for _ in range(repeats - 1):
        start = time.process_time()
        for _ in range(calls):
            run()
        best = min(best, time.process_time() - start)
    return units_per_call * calls / best / 1e6


def row_parity_mask(pygame, parity):
    mask = pygame.mask.Mask((SIZE, SIZE))
    for y in range(parity, SIZE, 2):
        for x in range(SIZE):
            mask.set_at((x, y), 1)
    return mask


def ring_mask(pygame):
    mask = pygame.mask.Mask((SIZE, SIZE))
    for i in range(SIZE):
        for point in ((i, 0), (i, SIZE - 1), (0, i), (SIZE - 1, i)):
            mask.set_at(point, 1)
    return mask


def keyed_surface(pygame):
    # Random pixels, half of them the colour key (magenta), as in the C++ case.
    rng = random.Random(9)
    pixels = bytearray()
    for _ in range(SIZE * SIZE):
        if rng.getrandbits(1):
            pixels += b"\xff\x00\xff\x00"
        else:
            pixels += rng.getrandbits(32).to_bytes(4, "little")
    surface = pygame.image.fromstring(bytes(pixels), (SIZE, SIZE), "RGBX")
    surface.set_colorkey((255, 0, 255))
    return surface


def alpha_surface(pygame):
    # Random colours with an alpha channel that is 0 for half of the pixels.
    rng = random.Random(9)
    pixels = bytearray()
    for _ in range(SIZE * SIZE):
        alpha = 0 if rng.getrandbits(1) else rng.getrandbits(8)
        pixels += rng.getrandbits(24).to_bytes(3, "little") + bytes([alpha])
    return pygame.image.fromstring(bytes(pixels), (SIZE, SIZE), "RGBA")


def measure(pygame):
    no_hit = (row_parity_mask(pygame, 0), row_parity_mask(pygame, 1))
    full = pygame.mask.Mask((SIZE, SIZE), fill=True)
    hit = (full, full.copy())
    ring = ring_mask(pygame)
    rect = pygame.mask.Mask((RECT, RECT), fill=True)
    offs = offsets()
    places = rect_places()

    # The cases must do what their C++ twins do: check the answers once.
    assert all(no_hit[0].overlap(no_hit[1], o) is None for o in offs)
    assert all(hit[0].overlap(hit[1], o) is not None for o in offs)
    assert all(ring.overlap(rect, p) is None for p in places)

    def overlap_all(pair):
        a, b = pair
        overlap = a.overlap
        return lambda: [overlap(b, o) for o in offs]

    keyed = keyed_surface(pygame)
    alpha = alpha_surface(pygame)
    from_surface = pygame.mask.from_surface
    return {
        "mask_overlap_nohit_256": rate(overlap_all(no_hit), TESTS),
        "mask_overlap_earlyhit_256": rate(overlap_all(hit), TESTS),
        "mask_rect_64_in_256": rate(lambda: [ring.overlap(rect, p) for p in places], TESTS),
        "mask_build_256_colourkey": rate(lambda: from_surface(keyed), SIZE * SIZE),
        "mask_build_256_alpha": rate(lambda: from_surface(alpha), SIZE * SIZE),
    }


def vexa_rates(path):
    with open(path, encoding="utf-8") as f:
        report = json.load(f)
    rates = {}
    for entry in report.get("benchmarks", []):
        name = entry.get("run_name", entry.get("name", ""))
        if name.endswith("/vexa") and "rate" in entry:
            if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
                continue
            rates[name[: -len("/vexa")]] = entry["rate"]
    return rates


def report(peer_name, peer):
    """Prints the peer's rates and, given vexa_bench's JSON (argv[1]), one ratio line per case,
    which also go to the summary file (argv[2]) when there is one."""
    for case, value in peer.items():
        print(f"{peer_name} {case} {value:.2f}")
    if len(sys.argv) < 2:
        return
    ours = vexa_rates(sys.argv[1])
    lines = [
        f"ratio {case} {peer_name} {ours[case]:.1f} {value:.1f} {ours[case] / value:.2f}"
        for case, value in peer.items()
        if case in ours and value > 0
    ]
    print("\n".join(lines))
    if len(sys.argv) > 2:
        with open(sys.argv[2], "a", encoding="utf-8") as summary:
            summary.writelines(line + "\n" for line in lines)


def main():
    try:
        import pygame  # noqa: F401  (python3-pygame)
        import pygame.mask  # noqa: F401
    except ImportError:
        print("pygame_masks: pygame is not installed (Debian: python3-pygame); peer skipped")
        return 0
    report("pygame", measure(pygame))
    return 0


if __name__ == "__main__":
    sys.exit(main())
