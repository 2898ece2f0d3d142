#!/usr/bin/env python3
"""Writes BMP, PCX and PNG variants that common tools rarely write, byte by byte,
with Python's standard library alone. Usage: make-unusual-pictures.py FOLDER"""
import struct
import sys
import zlib
from pathlib import Path

# A 7 x 5 picture of indices 0..5 and its colours, top row first.
COLOURS = [(0, 0, 128), (255, 165, 0), (255, 255, 255), (255, 0, 0),
           (0, 255, 0), (128, 128, 128)]
INDICES = [
    [0, 0, 0, 0, 0, 0, 2],
    [0, 1, 1, 1, 1, 0, 0],
    [0, 1, 1, 1, 1, 4, 0],
    [0, 1, 1, 1, 1, 0, 0],
    [3, 0, 0, 0, 0, 0, 5],
]
WIDTH, HEIGHT = 7, 5


def file_header(size, pixel_offset):
    return b"BM" + struct.pack("<IHHI", size, 0, 0, pixel_offset)


def info_header(size, width, height, bits, compression=0, image_size=0,
                colours_used=0, masks=()):
    body = struct.pack("<iiHHIIiiII", width, height, 1, bits, compression,
                       image_size, 2835, 2835, colours_used, 0)
    body += b"".join(struct.pack("<I", m) for m in masks)
    header = struct.pack("<I", size) + body
    return (header + bytes(size))[:size]


def table(colours, entry=4):
    return b"".join(bytes((b, g, r, 0)[:entry]) for r, g, b in colours)


def pad(row):
    return row + bytes(-len(row) % 4)


def pack_bits(values, bits):
    out, acc, used = bytearray(), 0, 0
    for v in values:
        acc = (acc << bits) | v
        used += bits
        if used == 8:
            out.append(acc)
            acc, used = 0, 0
    if used:
        out.append(acc << (8 - used))
    return bytes(out)


def bmp(headers, colour_table, pixels):
    offset = 14 + len(headers) + len(colour_table)
    return file_header(offset + len(pixels), offset) + headers + colour_table + pixels


def rows_bottom_up(make_row, rows=INDICES):
    return b"".join(pad(make_row(row)) for row in reversed(rows))


def two_bit():
    # Four colours: index 4 and 5 folded onto 0 and 2.
    rows = [[min(v, 3) for v in row] for row in INDICES]
    pixels = rows_bottom_up(lambda row: pack_bits(row, 2), rows)
    return bmp(info_header(40, WIDTH, HEIGHT, 2, colours_used=4),
               table(COLOURS[:4]), pixels)


def rgb_row(row, pixel):
    return b"".join(pixel(*COLOURS[i]) for i in row)


def os2_v2():
    # 64-byte OS/2 2.x header, 24 bits.
    pixels = rows_bottom_up(lambda row: rgb_row(row, lambda r, g, b: bytes((b, g, r))))
    return bmp(info_header(64, WIDTH, HEIGHT, 24), b"", pixels)


def plain_16_bit():
    # 16 bits without bit fields: 5-5-5.
    pixels = rows_bottom_up(lambda row: rgb_row(
        row, lambda r, g, b: struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)))
    return bmp(info_header(40, WIDTH, HEIGHT, 16), b"", pixels)


def top_down_short_table():
    # Negative height: rows top first; a colour table of 6 entries only.
    pixels = b"".join(pad(bytes(row)) for row in INDICES)
    return bmp(info_header(40, WIDTH, -HEIGHT, 8, colours_used=6), table(COLOURS), pixels)


def rle4():
    # Runs of two alternating colours, an absolute run, end of line codes.
    coded = bytearray()
    for row in reversed(INDICES):
        x = 0
        while x < WIDTH:
            run = 1
            while x + run < WIDTH and row[x + run] == row[x]:
                run += 1
            if run >= 3 or x + run == WIDTH or WIDTH - x < 3:
                coded += bytes((run, row[x] << 4 | row[x]))
                x += run
            else:
                count = min(WIDTH - x, 3)
                literal = pack_bits(row[x:x + count], 4)
                coded += bytes((0, count)) + literal + bytes(len(literal) % 2)
                x += count
        coded += b"\x00\x00"
    coded += b"\x00\x01"
    headers = info_header(40, WIDTH, HEIGHT, 4, compression=2, image_size=len(coded),
                          colours_used=6)
    return bmp(headers, table(COLOURS), bytes(coded))


def rle8_delta():
    # The background (index 0) is skipped with deltas; the picture ends
    # early, so the top row's remaining pixels stay index 0.
    coded = bytearray()
    rows = list(reversed(INDICES))
    for y, row in enumerate(rows):
        x = 0
        while x < WIDTH:
            if row[x] == 0:
                skip = 1
                while x + skip < WIDTH and row[x + skip] == 0:
                    skip += 1
                if x + skip == WIDTH:
                    break
                coded += bytes((0, 2, skip, 0))
                x += skip
                continue
            run = 1
            while x + run < WIDTH and row[x + run] == row[x]:
                run += 1
            coded += bytes((run, row[x]))
            x += run
        if y == len(rows) - 2:
            # Jump to the top row with a delta, then end the picture: the
            # top row's white pixel at the right is never written.
            coded += bytes((0, 2, 0, 1))
            break
        coded += b"\x00\x00"
    # End of picture, and two bytes of padding as some writers add.
    coded += b"\x00\x01\x00\x00"
    headers = info_header(40, WIDTH, HEIGHT, 8, compression=1, image_size=len(coded),
                          colours_used=6)
    return bmp(headers, table(COLOURS), bytes(coded))


def bit_fields_alpha_header():
    # 56-byte header holding four masks, channels in an unusual order.
    pixels = rows_bottom_up(lambda row: rgb_row(
        row, lambda r, g, b: struct.pack("<I", b << 24 | r << 16 | g << 8 | 0x80)))
    headers = info_header(56, WIDTH, HEIGHT, 32, compression=3,
                          masks=(0x00FF0000, 0x0000FF00, 0xFF000000, 0x000000FF))
    return bmp(headers, b"", pixels)


def v2_header_565():
    # 52-byte header with the three masks inside it.
    pixels = rows_bottom_up(lambda row: rgb_row(
        row, lambda r, g, b: struct.pack("<H", (r >> 3) << 11 | (g >> 2) << 5 | b >> 3)))
    headers = info_header(52, WIDTH, HEIGHT, 16, compression=3,
                          masks=(0xF800, 0x07E0, 0x001F))
    return bmp(headers, b"", pixels)


def pcx_runs_across_lines():
    # A 256-colour PCX of 7 x 5 pixels, 8 bytes a line, whose runs go on
    # past the end of each scan line: the coded data are one stream.
    lines = b"".join(bytes(row) + bytes((row[-1],)) for row in INDICES)
    coded = bytearray()
    i = 0
    while i < len(lines):
        run = 1
        while i + run < len(lines) and run < 63 and lines[i + run] == lines[i]:
            run += 1
        coded += bytes((0xC0 | run, lines[i]))
        i += run
    header = bytearray(128)
    header[0:4] = bytes((0x0A, 5, 1, 8))
    header[4:12] = struct.pack("<HHHH", 0, 0, WIDTH - 1, HEIGHT - 1)
    header[65] = 1
    header[66:68] = struct.pack("<H", 8)
    header[68:70] = struct.pack("<H", 1)
    palette = b"".join(bytes(c) for c in COLOURS) + bytes(768 - 3 * len(COLOURS))
    return bytes(header) + bytes(coded) + b"\x0C" + palette


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data)))


def png_rgb(compressed):
    # A 7 x 5 RGB PNG of 8-bit samples around the given image data.
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", compressed) + png_chunk(b"IEND", b""))


def png_rows(extra_rows=0):
    # Filter type 0 and the colours of each row, plus rows of black.
    rows = [b"".join(bytes(COLOURS[i]) for i in row) for row in INDICES]
    rows += [bytes(3 * WIDTH)] * extra_rows
    return b"".join(b"\0" + row for row in rows)


def png_extra_row():
    # The compressed stream holds a sixth row.
    return png_rgb(zlib.compress(png_rows(1)))


def png_after_stream():
    # Bytes follow the end of the compressed stream inside IDAT.
    return png_rgb(zlib.compress(png_rows()) + b"\0\0\0\0")


PICTURES = {
    "bmp2_7x5.bmp": two_bit,
    "bmp24_os2v2_7x5.bmp": os2_v2,
    "bmp16_plain555_7x5.bmp": plain_16_bit,
    "bmp8_topdown_7x5.bmp": top_down_short_table,
    "bmp4_rle_7x5.bmp": rle4,
    "bmp8_rle_delta_7x5.bmp": rle8_delta,
    "bmp32_alpha_header_7x5.bmp": bit_fields_alpha_header,
    "bmp16_v2header_565_7x5.bmp": v2_header_565,
    "pcx256_runs_across_lines_7x5.pcx": pcx_runs_across_lines,
    "png_extra_row_7x5.png": png_extra_row,
    "png_after_stream_7x5.png": png_after_stream,
}

if __name__ == "__main__":
    folder = Path(sys.argv[1])
    for name, make in PICTURES.items():
        (folder / name).write_bytes(make())
