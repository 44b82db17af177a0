"""Reading benchmark summary lines and judging them against their goals.

A summary line reads
    ratio <case> <peer> <ours> <peer's> <ours/peer>       (a race with a peer)
    overhead <case> <bare> <ours> <bare's> <ours/bare>    (a wrapper beside the call it wraps,
                                                           or beside memcpy)
    reference <case> <other> <ours> <other's> <ours/other> (for orientation: other work)
with one word per field. A ratio line is ahead at 1.0 and above; an overhead line is within
its goal at 0.9 and above (the wrapper costs at most about a tenth); a reference line has no
goal.
"""

GOALS = {"ratio": 1.0, "overhead": 0.9, "reference": 0.0}


def parse(line):
    """(kind, case, peer, ours, theirs, ratio) of a summary line, or None when the line has
    another shape (wrong field count, unknown kind, or numbers that do not read)."""
    fields = line.split()
    if len(fields) != 6 or fields[0] not in GOALS:
        return None
    try:
        numbers = [float(field) for field in fields[3:]]
    except ValueError:
        return None
    return (fields[0], fields[1], fields[2], *numbers)


def meets_goal(kind, ratio, goals=GOALS):
    return ratio >= goals[kind]
