"""Reads, with fontTools, what the inventory keeps of every font of a folder:
the four OS/2 Unicode-range words and the Macintosh full name of every *.ttf
and of the first 10 members of every *.ttc. Tables are loaded lazily, so only
the OS/2 and name tables are parsed. Prints the seconds the reading took
(interpreter start and import left out) and the number of fonts read."""
import os
import sys
import time

from fontTools.ttLib import TTCollection, TTFont


def keep(font):
    ranges = (0, 0, 0, 0)
    if "OS/2" in font:
        os2 = font["OS/2"]
        ranges = (os2.ulUnicodeRange1, os2.ulUnicodeRange2, os2.ulUnicodeRange3, os2.ulUnicodeRange4)
    name = font["name"].getName(4, 1, 0, 0) if "name" in font else None
    return ranges, name


def main(folder):
    start = time.perf_counter()
    fonts = 0
    for entry in sorted(os.listdir(folder)):
        path = os.path.join(folder, entry)
        lower = entry.lower()
        try:
            if lower.endswith(".ttf"):
                with TTFont(path, lazy=True) as font:
                    keep(font)
                fonts += 1
            elif lower.endswith(".ttc"):
                collection = TTCollection(path, lazy=True)
                for font in collection.fonts[:10]:
                    keep(font)
                    fonts += 1
                collection.close()
        except Exception as error:  # a damaged font: go on with the next
            print(f"{entry}: {error}", file=sys.stderr)
    print(f"{time.perf_counter() - start:.6f} {fonts}")


if __name__ == "__main__":
    main(sys.argv[1])
