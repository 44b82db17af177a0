#!/usr/bin/python3
"""The pygame peer of bench/bench_collide.cpp.

Builds the same scene (N discs of 32 x 32 from 8 colour-keyed images at the sprite scene's
positions, on one layer, masks made beforehand as sprite.mask) and times, per frame:
  a  every sprite (100 at N = 10,000) calls spritecollide(s, group, False, collide_mask);
  b  the same on rectangles (spritecollide without a test function);
  c  1,000 points: LayeredUpdates.get_sprites_at and Mask.get_at of the sprites found;
  d  100 sprites scaled 1.5 and turned 7 degrees more each frame (transform.scale,
     transform.rotate, mask.from_surface) call spritecollide with collide_mask;
  e  every sprite's mask against a playfield mask of bands with Mask.overlap.
A sprite's hit on itself is not counted. Prints each rate in frames per second and, given the
JSON output of vexa_bench (--benchmark_out), one line per case:
    ratio collide-<case>-<N> pygame <vexa /s> <pygame /s> <vexa/pygame>
Given as well the hit file vexa_bench writes when VEXA_COLLIDE_HITS names it, the hit counts of
the unturned cases are compared; a mismatch is reported as an error (exit status 1).

Run it with Debian's python3 (/usr/bin/python3), which has python3-pygame.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pygame_masks import vexa_rates  # noqa: E402  (the same report reader)
from pygame_sprites import Lcg, disc  # noqa: E402  (the same generator and images)

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")

WIDTH, HEIGHT, SIZE, IMAGES = 640, 480, 32, 8
BANDS = [(0, 440, 639, 479), (100, 300, 299, 315), (380, 200, 599, 211), (40, 120, 199, 127)]


def build(pygame, count):
    images = [disc(pygame, k) for k in range(IMAGES)]
    masks = [pygame.mask.from_surface(image) for image in images]
    group = pygame.sprite.LayeredUpdates()
    rng = Lcg(12345)
    sprites = []
    for i in range(count):
        x = SIZE // 2 + rng.next(WIDTH - SIZE)
        y = SIZE // 2 + rng.next(HEIGHT - SIZE)
        for n in (3, 2, 3, 2):  # the scene's speeds
            rng.next(n)
        s = pygame.sprite.Sprite()
        s.image = images[i % IMAGES]
        s.mask = masks[i % IMAGES]
        s.rect = s.image.get_rect(center=(x, y))
        s.centre = (x, y)
        group.add(s, layer=0)
        sprites.append(s)
    point_rng = Lcg(777)
    points = [(point_rng.next(WIDTH), point_rng.next(HEIGHT)) for _ in range(1000)]
    field = pygame.mask.Mask((WIDTH, HEIGHT))
    for left, top, right, bottom in BANDS:
        band = pygame.mask.Mask((right - left + 1, bottom - top + 1), fill=True)
        field.draw(band, (left, top))
    return sprites, group, points, field


class Cases:
    def __init__(self, pygame, count):
        self.pygame = pygame
        self.sprites, self.group, self.points, self.field = build(pygame, count)
        self.callers = self.sprites[:100] if count > 1000 else self.sprites
        self.angle = 0.0

    def a(self):
        collide, mask = self.pygame.sprite.spritecollide, self.pygame.sprite.collide_mask
        return sum(len(collide(s, self.group, False, mask)) - 1 for s in self.callers)

    def b(self):
        collide = self.pygame.sprite.spritecollide
        return sum(len(collide(s, self.group, False)) - 1 for s in self.callers)

    def c(self):
        hits = 0
        for p in self.points:
            for s in self.group.get_sprites_at(p):
                if s.mask.get_at((p[0] - s.rect.x, p[1] - s.rect.y)):
                    hits += 1
                    break
        return hits

    def d(self):
        pygame = self.pygame
        self.angle = (self.angle + 7.0) % 360.0
        collide, mask = pygame.sprite.spritecollide, pygame.sprite.collide_mask
        total = 0
        probe = pygame.sprite.Sprite()
        for s in self.sprites[:100]:
            image = pygame.transform.rotate(
                pygame.transform.scale(s.image, (SIZE * 3 // 2, SIZE * 3 // 2)), self.angle)
            probe.image = image
            probe.mask = pygame.mask.from_surface(image)
            probe.rect = image.get_rect(center=s.centre)
            total += sum(1 for o in collide(probe, self.group, False, mask) if o is not s)
        return total

    def e(self):
        field = self.field
        return sum(1 for s in self.sprites if field.overlap(s.mask, (s.rect.x, s.rect.y)))


def rate(run, min_seconds=0.3):
    run()
    frames = 0
    start = time.process_time()
    while True:
        run()
        frames += 1
        elapsed = time.process_time() - start
        if elapsed >= min_seconds and frames >= 2:
            return frames / elapsed


def main():
    try:
        import pygame
        import pygame.mask  # noqa: F401
    except ImportError:
        print("pygame_collide: pygame is not installed (Debian: python3-pygame); peer skipped")
        return 0
    pygame.display.init()
    pygame.display.set_mode((WIDTH, HEIGHT), 0, 32)
    counts = [int(n) for n in os.environ.get("COLLIDE_COUNTS", "100,1000,10000").split(",")]
    peer, hits = {}, {}
    for count in counts:
        cases = Cases(pygame, count)
        for name in "abcde":
            run = getattr(cases, name)
            key = f"collide-{name}-{count}"
            if name != "d":
                hits[key] = run()
            peer[key] = rate(run)
    for case, value in peer.items():
        print(f"pygame {case} {value:.2f}")
    status = 0
    if len(sys.argv) > 2:
        with open(sys.argv[2], encoding="utf-8") as f:
            ours = dict((k, int(v)) for k, v in (line.split() for line in f if line.strip()))
        for case, count in hits.items():
            if case in ours and ours[case] != count:
                print(f"error: hit counts differ in {case}: vexa {ours[case]}, pygame {count}")
                status = 1
    if len(sys.argv) > 1:
        ours = vexa_rates(sys.argv[1])
        for case, value in peer.items():
            if case in ours and value > 0:
                print(f"ratio {case} pygame {ours[case]:.1f} {value:.1f} {ours[case] / value:.2f}")
    return status


if __name__ == "__main__":
    sys.exit(main())
