#!/usr/bin/python3
"""Builds the program's icon font from Font Awesome 4.

The interface names its icons by Font Awesome code points under the family
"TavraFont"; the task tab's icon sits at U+E115, outside Font Awesome's range,
so it is mapped to the scissors glyph.

usage: make_tavra_font.py <fontawesome-webfont.ttf> <Tavra.ttf>
"""
import sys

from fontTools.ttLib import TTFont

FAMILY = "TavraFont"
EXTRA_CODE_POINTS = {0xE115: 0xF0C4}  # task tab -> scissors


def main(source, target):
    font = TTFont(source)
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 16):
            names.setName(FAMILY, record.nameID, record.platformID, record.platEncID, record.langID)
        elif record.nameID == 4:
            names.setName(FAMILY + " Regular", 4, record.platformID, record.platEncID, record.langID)
        elif record.nameID == 6:
            names.setName(FAMILY + "-Regular", 6, record.platformID, record.platEncID, record.langID)
    for table in font["cmap"].tables:
        if not table.isUnicode():
            continue
        for code, existing in EXTRA_CODE_POINTS.items():
            glyph = table.cmap.get(existing)
            if glyph is None:
                sys.exit("make_tavra_font: no glyph at U+%04X in %s" % (existing, source))
            table.cmap[code] = glyph
    font.save(target)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
