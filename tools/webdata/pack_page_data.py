#!/usr/bin/env python3
"""The show's data as the page downloads it: every 24-bit BMP picture of
Data/ is written as a PNG of the same pixels under the same name (the
browser's decoder reads pictures by their content, as D3DX does); another
file that gzip makes a tenth smaller or more (the meshes and maps, not the
MP3) is written gzipped as NAME.gz, which the page unpacks with the
browser's DecompressionStream before the show starts (host/web/Main.cpp);
the rest is copied as it is. Each PNG is the smallest of the standard
filterings, and is decoded again here and compared with the BMP's pixels
before it is kept, so the page sees exactly the native pictures. A file that
is already newer than its source is left alone. The native Data/ stays BMP.

    tools/webdata/pack_page_data.py DATA_DIR OUT_DIR
"""
import gzip
import os
import struct
import sys
import zlib


def read_bmp_rgb(data):
    """The rows of a 24-bit uncompressed BMP as RGB bytes, top row first, or
    None for any other kind of picture (which is copied unchanged)."""
    if len(data) < 54 or data[:2] != b'BM':
        return None
    offset = struct.unpack_from('<I', data, 10)[0]
    header = struct.unpack_from('<I', data, 14)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    planes, bits = struct.unpack_from('<HH', data, 26)
    compression = struct.unpack_from('<I', data, 30)[0]
    if header < 40 or planes != 1 or bits != 24 or compression != 0 or width <= 0 or height == 0:
        return None
    stride = (width * 3 + 3) & ~3
    rows = abs(height)
    if offset + stride * (rows - 1) + width * 3 > len(data):
        return None
    order = range(rows - 1, -1, -1) if height > 0 else range(rows)
    out = []
    for y in order:
        row = bytearray(data[offset + y * stride: offset + y * stride + width * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]  # BGR to RGB
        out.append(bytes(row))
    return width, rows, out


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filtered(kind, row, prev):
    n = len(row)
    if kind == 0:
        return row
    if kind == 1:
        return bytes((row[i] - (row[i - 3] if i >= 3 else 0)) & 255 for i in range(n))
    if kind == 2:
        return bytes((row[i] - prev[i]) & 255 for i in range(n))
    if kind == 3:
        return bytes((row[i] - (((row[i - 3] if i >= 3 else 0) + prev[i]) >> 1)) & 255 for i in range(n))
    return bytes((row[i] - paeth(row[i - 3] if i >= 3 else 0, prev[i], prev[i - 3] if i >= 3 else 0)) & 255
                 for i in range(n))


def unfiltered(raw, width, height):
    """The rows that a PNG decoder makes of the filtered stream."""
    n = width * 3
    rows, prev, at = [], bytes(n), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1: at + 1 + n])
        at += 1 + n
        for i in range(n):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], (prev[i - 3] if i >= 3 else 0)
            line[i] = (line[i] + (0, a, b, (a + b) >> 1, paeth(a, b, c))[kind]) & 255
        rows.append(bytes(line))
        prev = rows[-1]
    return rows


def cost(line):
    return sum(x if x < 128 else 256 - x for x in line)


def smallest_stream(rows):
    """The smallest deflated stream among each filter for every row and the
    usual per-row choice (least sum of absolute differences)."""
    per_kind = {kind: [] for kind in range(5)}
    prev = bytes(len(rows[0]))
    for row in rows:
        for kind in range(5):
            per_kind[kind].append(filtered(kind, row, prev))
        prev = row
    streams = [b''.join(bytes([kind]) + line for line in per_kind[kind]) for kind in range(5)]
    chosen = []
    for k in range(len(rows)):
        kind = min(range(5), key=lambda t: cost(per_kind[t][k]))
        chosen.append(bytes([kind]) + per_kind[kind][k])
    streams.append(b''.join(chosen))
    best = None
    for stream in streams:
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
            packer = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
            packed = packer.compress(stream) + packer.flush()
            if best is None or len(packed) < len(best):
                best = packed
    return best


def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)


def png_of(width, height, rows):
    packed = smallest_stream(rows)
    if unfiltered(zlib.decompress(packed), width, height) != rows:
        raise SystemExit('pack_page_data: a PNG does not decode to its picture')
    # No gamma, colour space or profile chunk: the browser leaves the values as they are.
    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', packed) + chunk(b'IEND', b'')


def main():
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, target = sys.argv[1], sys.argv[2]
    if not os.path.isdir(source):
        sys.stderr.write('pack_page_data: no data folder at %s\n' % source)
        return 1
    os.makedirs(target, exist_ok=True)
    names = sorted(n for n in os.listdir(source) if os.path.isfile(os.path.join(source, n)))
    before = after = 0
    packed_names = set()
    for name in names:
        src = os.path.join(source, name)
        with open(src, 'rb') as f:
            data = f.read()
        picture = read_bmp_rgb(data) if name.lower().endswith('.bmp') else None
        zipped = None if picture else gzip.compress(data, 9, mtime=0)
        packed = name + '.gz' if zipped is not None and len(zipped) * 10 <= len(data) * 9 else name
        dst = os.path.join(target, packed)
        packed_names.add(packed)
        if not (os.path.exists(dst) and os.path.getmtime(dst) >= os.path.getmtime(src)):
            with open(dst + '.part', 'wb') as f:
                f.write(png_of(*picture) if picture else zipped if packed != name else data)
            os.replace(dst + '.part', dst)
        before += len(data)
        after += os.path.getsize(dst)
    for stale in set(os.listdir(target)) - packed_names:
        os.remove(os.path.join(target, stale))
    print('page data: %d bytes of Data/ packed as %d bytes' % (before, after))
    return 0


if __name__ == '__main__':
    sys.exit(main())
