#!/usr/bin/python3
"""The demo game's frame rate beside the pygame sprite scene (bench/pygame_sprites.py, "mix").

    game_vs_pygame.py VEXA_DEMO [COUNTS]

Runs `vexa-demo game --headless` at each sprite count (default 200,1000,5000) and the pygame
peer's mixed scene (colour-keyed, semi-transparent, additive, scaled and turned sprites on four
layers, dirty-rectangle presents) at the same counts. Both rates are frames per second of
process CPU time. The game does more in a frame than the peer's scene: pixel-exact collision
queries, map tests, the text panel and the sound mixer; the ratio is therefore on the side of
the peer. Prints one line per count:
    ratio game-<count> pygame-mix <game fps> <pygame fps> <game/pygame>
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")


def game_fps(demo, count, frames):
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    out = subprocess.run([demo, "game", "--headless", "--quiet", "--sprites", str(count),
                          "--frames", str(frames), "--out", "/tmp"],
                         env=env, capture_output=True, text=True, check=True).stdout
    return float(re.search(r"\(([\d.]+) fps of process CPU time\)", out).group(1))


def main():
    demo = sys.argv[1]
    counts = [int(n) for n in (sys.argv[2] if len(sys.argv) > 2 else "200,1000,5000").split(",")]
    try:
        import pygame
    except ImportError:
        print("game_vs_pygame: pygame is not installed (Debian: python3-pygame); peer skipped")
        return 0
    import pygame_sprites as peer
    pygame.display.init()
    pygame.display.set_mode((peer.WIDTH, peer.HEIGHT), 0, 32)
    for count in counts:
        ours = game_fps(demo, count, 300 if count < 2000 else 60)
        theirs = peer.fps(pygame, count, True)
        print(f"ratio game-{count} pygame-mix {ours:.1f} {theirs:.1f} {ours / theirs:.2f}",
              flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
