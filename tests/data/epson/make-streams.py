#!/usr/bin/env python3
"""Writes the Epson test streams of this folder: what a DOS program's stock Epson driver sends.

fx-letterhead.prn  9-pin (FX): a round logo of 8-dot bands over a letterhead, a letter in CP852
                   with tabs, underline, italics, superscript and condensed print.
lq-label.prn       24-pin (LQ): a shipping label with a Code 39 bar code of 24-dot bands, double
                   height text and a box of CP852 line-drawing characters.
lq-picture.prn     24-pin (LQ): a dithered picture in 24-dot bands at 180 dpi, and the same
                   picture's lower half again as ESC/P2 run-length raster graphics.
Run it from this folder: python3 make-streams.py
"""
import math

ESC = b"\x1b"


def le(n):
    return bytes([n & 0xFF, n >> 8])


def cp852(text):
    return text.encode("cp852")


def bands(pixel, width, height, dots, mode, hdpi_step=1):
    """Columns of `dots` pins for each band of the picture pixel(x, y) -> bool."""
    out = b""
    per = dots // 8
    for top in range(0, height, dots):
        data = bytearray()
        for x in range(width):
            for k in range(per):
                byte = 0
                for bit in range(8):
                    y = top + k * 8 + bit
                    if y < height and pixel(x, y):
                        byte |= 0x80 >> bit
                data.append(byte)
        out += ESC + b"*" + bytes([mode]) + le(width) + bytes(data) + b"\r\n"
    return out


def fx_letterhead():
    s = ESC + b"@" + ESC + b"3" + bytes([24])  # 24/216 inch: 8-dot bands meet
    # A ring with a tail, 1 inch across at 120 x 72 dpi (mode 1), 48 dots tall.
    w, h = 120, 48

    def logo(x, y):
        cx, cy = (x - 60) / 60.0, (y - 24) / 24.0
        r = math.hypot(cx, cy)
        return 0.62 < r < 0.95 or (cx > 0.3 and cy > 0.3 and abs(cx - cy) < 0.12 and r < 1.0)

    s += bands(logo, w, h, 8, 1)
    s += ESC + b"2"  # back to 1/6 inch
    s += ESC + b"l" + bytes([14]) + ESC + b"E" + ESC + b"W1" + cp852("TERLO S.A.") + ESC + b"W0" + ESC + b"F" + b"\r\n"
    s += b"\x0f" + cp852("ul. Długa 5, 00-238 Warszawa   tel. (22) 555 12 34") + b"\x12\r\n"
    s += ESC + b"l" + bytes([0]) + b"\r\n"
    s += ESC + b"D" + bytes([40, 0]) + b"\t" + cp852("Warszawa, 8 grudnia 1994 r.") + b"\r\n\r\n"
    s += ESC + b"-1" + ESC + b"E" + cp852("Zamówienie nr 17/94") + ESC + b"F" + ESC + b"-0" + b"\r\n\r\n"
    s += cp852("Zażółć gęślą jaźń. Prosimy o dostawę ") + ESC + b"4" + cp852("papieru do drukarek") + ESC + b"5"
    s += cp852(" w ilości 12 m") + ESC + b"S0" + b"2" + ESC + b"T" + b".\r\n\r\n"
    s += ESC + b"D" + bytes([4, 30, 44, 0])
    for name, qty, price in [("Papier 240 mm", "10", "125,00"), ("Taśma barwiąca", "4", "36,50"), ("Etykiety", "2", "18,20")]:
        s += b"\t" + cp852(name) + b"\t" + cp852(qty) + b"\t" + cp852(price) + b"\r\n"
    s += b"\r\n" + ESC + b"x1" + cp852("Z poważaniem") + b"\r\n" + b"\x0c"
    return s


CODE39 = {
    "0": "bwbWBwBwb", "1": "BwbWbwbwB", "2": "bwBWbwbwB", "3": "BwBWbwbwb", "4": "bwbWBwbwB",
    "5": "BwbWBwbwb", "6": "bwBWBwbwb", "7": "bwbWbwBwB", "8": "BwbWbwBwb", "9": "bwBWbwBwb",
    "*": "bWbwBwBwb", "Q": "bwbwbwBWB", "P": "bwBwbwBWb", "L": "bwbwBwbWB",
}


def lq_label():
    s = ESC + b"@" + ESC + b"3" + bytes([24])  # 24/180 inch: 24-dot bands meet
    s += ESC + b"w1" + ESC + b"E" + cp852("PRZESYŁKA") + ESC + b"F" + ESC + b"w0" + b"\r\n\r\n"
    # Code 39 at 180 dpi: narrow bar 3 dots, wide 8, 72 dots (0.4 inch) tall.
    pattern = ""
    for ch in "*QPL4711*":
        pattern += CODE39[ch] + "w"
    columns = []
    for p in pattern:
        width = 8 if p.isupper() else 3
        columns += [p.lower() == "b"] * width
    s += ESC + b"l" + bytes([2])
    s += bands(lambda x, y: columns[x], len(columns), 72, 24, 39)
    s += b"   " + cp852("*QPL4711*") + b"\r\n\r\n"
    s += b"\xc9" + b"\xcd" * 30 + b"\xbb\r\n"
    for line in ["Odbiorca: Jan Kowalski", "ul. Źródlana 3/14", "31-134 Kraków"]:
        s += b"\xba " + cp852(line.ljust(29)) + b"\xba\r\n"
    s += b"\xc8" + b"\xcd" * 30 + b"\xbc\r\n" + b"\x0c"
    return s


def picture(x, y, w, h):
    """A shaded sphere on a gradient, dithered with a 4 x 4 Bayer matrix."""
    bayer = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
    cx, cy, r = w * 0.5, h * 0.5, min(w, h) * 0.42
    d = math.hypot(x - cx, y - cy)
    if d < r:
        z = math.sqrt(r * r - d * d) / r
        light = max(0.0, (-(x - cx) * 0.5 - (y - cy) * 0.6) / r + z * 0.6)
        grey = 1.0 - min(1.0, light)
    else:
        grey = 0.15 + 0.5 * x / w
    return grey * 16 > bayer[y % 4][x % 4] + 0.5


def rle(row):
    out, i = b"", 0
    while i < len(row):
        j = i
        while j < len(row) and j - i < 128 and row[j] == row[i]:
            j += 1
        if j - i >= 3:
            out += bytes([257 - (j - i), row[i]])
            i = j
            continue
        j = i
        while j < len(row) and j - i < 128 and not (j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i - 1]) + bytes(row[i:j])
        i = j
    return out


def lq_picture():
    w, h = 720, 480  # 4 x 2.67 inches at 180 dpi
    s = ESC + b"@" + ESC + b"3" + bytes([24]) + ESC + b"E" + cp852("Obraz w rastrze 180 dpi") + ESC + b"F" + b"\r\n"
    s += bands(lambda x, y: picture(x, y, w, h), w, h, 24, 39)
    s += ESC + b"2" + cp852("Ten sam obraz, grafika rastrowa ESC/P2 (kompresja RLE):") + b"\r\n"
    s += ESC + b"(G" + le(1) + b"\x01" + ESC + b"(U" + le(1) + bytes([10])  # unit 1/360 inch
    stride = (w + 7) // 8
    for top in range(0, h, 24):
        rows = bytearray()
        for y in range(top, min(h, top + 24)):
            row = bytearray(stride)
            for x in range(w):
                if picture(x, y, w, h):
                    row[x // 8] |= 0x80 >> (x % 8)
            rows += row
        count = min(24, h - top)
        data = b"".join(rle(rows[i * stride:(i + 1) * stride]) for i in range(count))
        s += b"\r" + ESC + b".\x01" + bytes([20, 20, count]) + le(w) + data
        s += ESC + b"(v" + le(2) + le(count * 2)  # down by the band: 24 dots of 1/180 inch
    return s + b"\x0c"


for name, make in [("fx-letterhead.prn", fx_letterhead), ("lq-label.prn", lq_label), ("lq-picture.prn", lq_picture)]:
    with open(name, "wb") as f:
        f.write(make())
