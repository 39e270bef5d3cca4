#!/usr/bin/env python3
"""Sets the receive benchmark's figures beside libvterm's: reads the "RESULT input engine MB/s" lines of both
benchmarks on standard input and prints one row per input with Velto's ratio to libvterm's state layer."""
import sys

NAMES = {"plain": "plain log lines", "colour": "colour per line", "utf8": "Cyrillic/Greek/Braille",
         "random": "random bytes"}
ENGINES = ["velto", "velto-fresh", "libvterm-state", "libvterm-screen"]

figures = {}
for line in sys.stdin:
    words = line.split()
    if len(words) == 4 and words[0] == "RESULT":
        figures.setdefault(words[1], {})[words[2]] = float(words[3])

print()
print("MB/s of input (processor time)  | Velto full | Velto fresh | libvterm state | libvterm screen "
      "| ratio full | ratio fresh")
print("--------------------------------|-----------:|------------:|---------------:|----------------:"
      "|-----------:|-----------:")
for key, row in figures.items():
    cells = [f"{row[e]:.1f}" if e in row else "-" for e in ENGINES]
    state = row.get("libvterm-state")
    ratios = [f"{row[e] / state:.2f}" if state and e in row else "-" for e in ("velto", "velto-fresh")]
    print(f"{NAMES.get(key, key):32}| " + " | ".join(f"{c:>{len(h)}}" for c, h in
          zip(cells + ratios, ["Velto full", "Velto fresh", "libvterm state", "libvterm screen",
                               "ratio full", "ratio fresh"])))
print()
print("Velto full: a store at its capacity, dropping its oldest lines (a long session); Velto fresh: a store")
print("growing from empty, whose every new page costs a page fault. Ratios are to libvterm's parser and state")
print("layer, which keeps no cells at all.")
