#!/usr/bin/env python3
"""Draws the window's pictures (tool bar buttons, sort marks, icon) from the
pixel grids below and writes them as PNG files into images/.

Run it after changing a grid: python3 resources/gui/ToolbarImages.py
"""
import os
import struct
import zlib

PALETTE = {
    '.': (0, 0, 0, 0),
    'k': (0, 0, 0, 255),
    'w': (255, 255, 255, 255),
    'g': (192, 192, 192, 255),
    'G': (128, 128, 128, 255),
    'r': (200, 30, 30, 255),
    'R': (128, 0, 0, 255),
    'y': (240, 200, 40, 255),
    'b': (40, 90, 200, 255),
    'B': (0, 0, 128, 255),
    'o': (150, 100, 40, 255),
    'e': (0, 128, 0, 255),
    'c': (120, 190, 240, 255),
}

BUTTONS = {
    'new': [
        "................",
        "...kkkkkkk......",
        "...kwwwwwkk.....",
        "...kwwwwwkwk....",
        "...kwwwwwkkkk...",
        "...kwwwwwwwwk...",
        "...kwkkkkkwwk...",
        "...kwwwwwwwwk.y.",
        "...kwkkkkkwwky.y",
        "...kwwwwwwwwk.y.",
        "...kwkkkkkwwk...",
        "...kwwwwwwwwk...",
        "...kwwwwwwwwk...",
        "...kkkkkkkkkk...",
        "................",
    ],
    'edit': [
        "................",
        ".kkkkkkk........",
        ".kwwwwwkk.......",
        ".kwwwwwkwk...kk.",
        ".kwkkkkkkk..kyyk",
        ".kwwwwwwwk.kyyk.",
        ".kwkkkkwwkkyyk..",
        ".kwwwwwwkyyyk...",
        ".kwkkkwkyyyk....",
        ".kwwwwwkyyk.....",
        ".kwkkkwkGk......",
        ".kwwwwwkk.......",
        ".kwwwwwwwk......",
        ".kkkkkkkkk......",
        "................",
    ],
    'delete': [
        "................",
        "..rr........rr..",
        "..rrr......rrr..",
        "...rrr....rrr...",
        "....rrr..rrr....",
        ".....rrrrrr.....",
        "......rrrr......",
        "......rrrr......",
        ".....rrrrrr.....",
        "....rrr..rrr....",
        "...rrr....rrr...",
        "..rrr......rrr..",
        "..rr........rr..",
        "................",
        "................",
    ],
    'cut': [
        "................",
        "....k.....k.....",
        "....k.....k.....",
        "....kk...kk.....",
        ".....k...k......",
        ".....kk.kk......",
        "......kkk.......",
        ".......k........",
        "......BkB.......",
        "....BBB.BBB.....",
        "...B..B.B..B....",
        "...B..B.B..B....",
        "...B..B.B..B....",
        "....BB...BB.....",
        "................",
    ],
    'copy': [
        "................",
        ".kkkkkk.........",
        ".kwwwwkk........",
        ".kwkkwkwk.......",
        ".kwwwwkkkk......",
        ".kwkkkkkkkkk....",
        ".kwwwwkwwwwkk...",
        ".kwkkkkwkkwkwk..",
        ".kwwwwkwwwwkkkk.",
        ".kkkkkkwkkkkkwk.",
        "......kwwwwwwwk.",
        "......kwkkkkkwk.",
        "......kwwwwwwwk.",
        "......kkkkkkkkk.",
        "................",
    ],
    'paste': [
        "................",
        ".....kkkkk......",
        "..ookkgggkkoo...",
        ".oookGGGGGkooo..",
        ".ooooooooooooo..",
        ".oooooookkkkkkk.",
        ".ooooooowwwwwwk.",
        ".ooooooowkkkkwk.",
        ".ooooooowwwwwwk.",
        ".ooooooowkkkkwk.",
        ".ooooooowwwwwwk.",
        ".ooooooowkkkwwk.",
        "..ooooookwwwwwk.",
        "........kkkkkkk.",
        "................",
    ],
    'about': [
        "................",
        ".....bbbbbb.....",
        "....bbbbbbbb....",
        "...bbbbwwbbbb...",
        "..bbbbbwwbbbbb..",
        "..bbbbbbbbbbbb..",
        "..bbbbwwwbbbbb..",
        "..bbbbbwwbbbbb..",
        "..bbbbbwwbbbbb..",
        "..bbbbbwwbbbbb..",
        "...bbbwwwwbbb...",
        "....bbbbbbbb....",
        ".....bbbbbb.....",
        "................",
        "................",
    ],
}

# Outlined triangles of 8 x 7 pixels for the list header.
SORT_MARKS = {
    'sort_down': [
        "GGGGGGGG",
        ".G....w.",
        ".G....w.",
        "..G..w..",
        "..G..w..",
        "...Gw...",
        "...Gw...",
    ],
    'sort_up': [
        "...Gw...",
        "...Gw...",
        "..G..w..",
        "..G..w..",
        ".G....w.",
        ".G....w.",
        "GwwwwwwG",
    ],
}

# The window's icon: a clock face over a shield, 32 x 32.
APP_ICON = [
    "................................",
    "................................",
    "..........BBBBBBBBBBBB..........",
    ".......BBBbbbbbbbbbbbbBBB.......",
    "....BBBbbbbbbbbbbbbbbbbbbBBB....",
    "...Bbbbbbbbbbbbbbbbbbbbbbbbbbk..",
    "...Bbbbbbbbbkkkkkkkbbbbbbbbbbk..",
    "...Bbbbbbbkkwwwwwwwkkbbbbbbbbk..",
    "...Bbbbbbkwwwwwkwwwwwkbbbbbbbk..",
    "...Bbbbbkwwwwwwkwwwwwwkbbbbbbk..",
    "...Bbbbkwwwwwwwkwwwwwwwkbbbbbk..",
    "...Bbbbkwwwwwwwkwwwwwwwkbbbbbk..",
    "...Bbbkwwwwwwwwkwwwwwwwwkbbbbk..",
    "...Bbbkwwwwwwwwkwwwwwwwwkbbbbk..",
    "...Bbbkwkwwwwwwkwwwwwwkwkbbbbk..",
    "...Bbbkwwwwwwwwkkkkkkwwwkbbbbk..",
    "...Bbbkwwwwwwwwwwwwwwwwwkbbbbk..",
    "....Bbkwwwwwwwwwwwwwwwwwkbbbk...",
    "....Bbbkwwwwwwwwwwwwwwwkbbbbk...",
    "....Bbbkwwwwwwwkwwwwwwwkbbbbk...",
    ".....Bbbkwwwwwwwwwwwwwkbbbbk....",
    ".....Bbbbkwwwwwwwwwwwkbbbbbk....",
    "......Bbbbkkwwwwwwwkkbbbbbk.....",
    "......Bbbbbbkkkkkkkbbbbbbbk.....",
    ".......Bbbbbbbbbbbbbbbbbbk......",
    "........Bbbbbbbbbbbbbbbbk.......",
    ".........Bbbbbbbbbbbbbbk........",
    "..........BBbbbbbbbbbkk.........",
    "............BBbbbbbkk...........",
    "..............BBBkk.............",
    "................................",
    "................................",
]


def png(rows, scale=1):
    height = len(rows) * scale
    width = len(rows[0]) * scale
    raw = bytearray()
    for row in rows:
        assert len(row) * scale == width, row
        line = bytearray([0])
        for ch in row:
            line += bytes(PALETTE[ch]) * scale
        raw += bytes(line) * scale

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'images')
    os.makedirs(out, exist_ok=True)
    pictures = dict(BUTTONS)
    pictures.update(SORT_MARKS)
    pictures['app'] = APP_ICON
    for name, rows in pictures.items():
        with open(os.path.join(out, name + '.png'), 'wb') as f:
            f.write(png(rows))


if __name__ == '__main__':
    main()
