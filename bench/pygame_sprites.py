#!/usr/bin/python3
"""The pygame peer of bench/bench_sprites.cpp.

Runs the same sprite scenes with pygame.sprite.LayeredDirty (640 x 480, 32 bits, a patterned
background, N sprites of 32 x 32 from 8 colour-keyed images on 4 layers, fixed seed, speeds of
1 to 3 pixels either way with bounces, every fifth sprite static with dirty = 0; "mix" adds, by
i % 10, 7 semi-transparent (set_alpha(128)), 8 additive (BLEND_ADD) and 9 scaled 1.5 and turned
7 degrees more each frame) and presents each frame to a dummy window with
display.update(rects). The group's faster mode is used: both of its modes (dirty rectangles and
whole screen) are timed and the better one counts. Also times Mask.draw of 64 x 64 and
256 x 256 masks at the offsets of the map_stamp cases.

Prints each rate and, given the JSON output of vexa_bench (--benchmark_out), one line per case:
    ratio <case> pygame <vexa rate> <pygame rate> <vexa/pygame>
Frames are timed in process CPU time, as vexa_bench reports its rates.

Run it with Debian's python3 (/usr/bin/python3), which has python3-pygame.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pygame_masks import vexa_rates  # noqa: E402  (the same report reader)

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")

WIDTH, HEIGHT, SIZE, IMAGES, LAYERS = 640, 480, 32, 8, 4


class Lcg:
    """The generator bench_sprites.cpp uses."""

    def __init__(self, seed):
        self.state = seed

    def next(self, n):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % n


def disc(pygame, k):
    colour = 0x00202020 + k * 0x00191F13
    rgb = ((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)
    surface = pygame.Surface((SIZE, SIZE)).convert()
    surface.fill((255, 0, 255))
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = 2 * x - SIZE + 1, 2 * y - SIZE + 1
            if dx * dx + dy * dy <= SIZE * SIZE:
                surface.set_at((x, y), rgb)
    surface.set_colorkey((255, 0, 255))
    return surface


def background(pygame):
    surface = pygame.Surface((WIDTH, HEIGHT)).convert()
    for y in range(0, HEIGHT, 16):
        for x in range(0, WIDTH, 16):
            c = 0x604830 if ((x // 16 + y // 16) & 1) else 0x307050
            surface.fill(((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF), (x, y, 16, 16))
    return surface


def build(pygame, count, mix, full_screen):
    screen = pygame.display.get_surface()
    back = background(pygame)
    screen.blit(back, (0, 0))
    images = [disc(pygame, k) for k in range(IMAGES)]
    half = []
    for image in images:
        copy = image.copy()
        copy.set_alpha(128)
        half.append(copy)
    group = pygame.sprite.LayeredDirty()
    group.clear(screen, back)
    group.set_timing_threshold(0 if full_screen else float("inf"))
    rng = Lcg(12345)
    movers = []
    for i in range(count):
        s = pygame.sprite.DirtySprite()
        x = SIZE // 2 + rng.next(WIDTH - SIZE)
        y = SIZE // 2 + rng.next(HEIGHT - SIZE)
        dx = (1 + rng.next(3)) * (1 if rng.next(2) else -1)
        dy = (1 + rng.next(3)) * (1 if rng.next(2) else -1)
        still = i % 5 == 0
        if still:
            dx = dy = 0
        base = images[i % IMAGES]
        s.image = base
        turning = False
        if mix and i % 10 == 7:
            s.image = half[i % IMAGES]
        if mix and i % 10 == 8:
            s.blendmode = pygame.BLEND_ADD
        if mix and i % 10 == 9:
            turning = True
        s.rect = s.image.get_rect(center=(x, y))
        s.dirty = 0 if still else 2
        group.add(s, layer=i % LAYERS)
        movers.append([s, x, y, dx, dy, turning, 0.0, base])
    return screen, group, movers


def frame(pygame, screen, group, movers):
    scale = pygame.transform.scale
    rotate = pygame.transform.rotate
    for m in movers:
        s, x, y, dx, dy, turning, angle, base = m
        if dx == 0 and dy == 0 and not turning:
            continue
        x += dx
        y += dy
        if x < SIZE // 2 or x > WIDTH - SIZE // 2:
            dx = -dx
        if y < SIZE // 2 or y > HEIGHT - SIZE // 2:
            dy = -dy
        if turning:
            angle = (angle + 7.0) % 360.0
            s.image = rotate(scale(base, (SIZE * 3 // 2, SIZE * 3 // 2)), angle)
        s.rect = s.image.get_rect(center=(x, y))
        m[1:7] = [x, y, dx, dy, turning, angle]
    rects = group.draw(screen)
    pygame.display.update(rects)


def fps(pygame, count, mix, min_seconds=0.4):
    best = 0.0
    for full_screen in (False, True):
        screen, group, movers = build(pygame, count, mix, full_screen)
        frame(pygame, screen, group, movers)
        frames = 0
        start = time.process_time()
        while True:
            frame(pygame, screen, group, movers)
            frames += 1
            elapsed = time.process_time() - start
            if elapsed >= min_seconds and frames >= 3:
                break
        best = max(best, frames / elapsed)
    return best


def stamp_rate(pygame, size, min_seconds=0.3):
    plane = pygame.mask.Mask((1024, 1024))
    mask = pygame.mask.Mask((size, size))
    for y in range(size):
        for x in range(size):
            if not (x + y) & 1:
                mask.set_at((x, y), 1)
    places = [(3 + (i * 97) % 700, 5 + (i * 61) % 700) for i in range(64)]

    def run():
        for i, p in enumerate(places):
            if i & 1:
                plane.erase(mask, p)
            else:
                plane.draw(mask, p)

    calls = 0
    start = time.process_time()
    while time.process_time() - start < min_seconds:
        run()
        calls += 1
    return 64 * size * size * calls / (time.process_time() - start) / 1e6


def main():
    try:
        import pygame
        import pygame.mask  # noqa: F401
    except ImportError:
        print("pygame_sprites: pygame is not installed (Debian: python3-pygame); peer skipped")
        return 0
    pygame.display.init()
    pygame.display.set_mode((WIDTH, HEIGHT), 0, 32)
    peer = {}
    counts = [int(n) for n in os.environ.get("SPRITE_COUNTS", "100,1000,10000").split(",")]
    for mix in (False, True):
        for count in counts:
            peer[f"sprites-{'mix' if mix else 'plain'}-{count}"] = fps(pygame, count, mix)
    for size in (64, 256):
        peer[f"map_stamp_{size}"] = stamp_rate(pygame, size)
    for case, value in peer.items():
        print(f"pygame {case} {value:.2f}")
    if len(sys.argv) > 1:
        ours = vexa_rates(sys.argv[1])
        for case, value in peer.items():
            if case in ours and value > 0:
                print(f"ratio {case} pygame {ours[case]:.1f} {value:.1f} {ours[case] / value:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
