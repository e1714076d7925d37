#!/usr/bin/env python3
"""Makes site/, the page as a web app to copy to any static host: index.html (glimtra.html with what an
installed app needs), the manifest, the icons and the service worker, whose cache is named after them all."""
import argparse
import base64
import hashlib
import json
import os
import shutil
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunks(png):
    at = 8
    while at < len(png):
        length, kind = struct.unpack('>I4s', png[at:at + 8])
        yield kind, png[at + 8:at + 8 + length]
        at += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def squeeze(png):
    """The generator's PNG (stored, unfiltered: its bytes must not hang on a zlib version) made small for the
    web, pixels unchanged: each row takes the filter that leaves the smallest sum, then zlib at level 9."""
    parts = list(chunks(png))
    header = parts[0][1]
    width, height, depth, kind = struct.unpack('>IIBB', header[:10])
    if parts[0][0] != b'IHDR' or depth != 8 or kind not in (2, 6) or header[12] != 0:
        sys.exit('make_site.py: not a PNG of the artwork generator')
    bpp = 4 if kind == 6 else 3
    raw = zlib.decompress(b''.join(data for k, data in parts if k == b'IDAT'))
    stride = width * bpp
    out, previous = bytearray(), bytes(stride)
    for y in range(height):
        row = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        if row[0] != 0:
            sys.exit('make_site.py: a filtered row where the generator writes none')
        row = row[1:]
        left = bytes(bpp) + row[:-bpp]
        upleft = bytes(bpp) + previous[:-bpp]
        candidates = [
            row,
            bytes((x - a) & 255 for x, a in zip(row, left)),
            bytes((x - b) & 255 for x, b in zip(row, previous)),
            bytes((x - ((a + b) >> 1)) & 255 for x, a, b in zip(row, left, previous)),
            bytes((x - paeth(a, b, c)) & 255 for x, a, b, c in zip(row, left, previous, upleft)),
        ]
        cost = [sum(v if v < 128 else 256 - v for v in c) for c in candidates]
        best = cost.index(min(cost))
        out.append(best)
        out += candidates[best]
        previous = row

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return png[:8] + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(out), 9)) + chunk(b'IEND', b'')


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--page', required=True, help='glimtra.html')
    parser.add_argument('--out', required=True, help='the folder to make')
    parser.add_argument('icons', nargs='+', help="the generator's PNG icons, put into the folder by name")
    args = parser.parse_args()

    page = open(args.page, encoding='utf-8').read()
    head = open(os.path.join(HERE, 'app_head.html'), encoding='utf-8').read()
    # The page's own </head> is the first one: the game's script comes later, in the body.
    if '</head>' not in page:
        sys.exit('make_site.py: %s has no </head>' % args.page)
    files = {'index.html': page.replace('</head>', head + '</head>', 1).encode('utf-8'),
             'manifest.webmanifest': open(os.path.join(HERE, 'manifest.webmanifest'), 'rb').read()}
    for icon in args.icons:
        files[os.path.basename(icon)] = squeeze(open(icon, 'rb').read())

    # The worker names its cache after every other file, so a build with any file changed is a new worker; and
    # it takes each file only with the bytes of this build (subresource integrity), never a mix of two.
    whole = hashlib.sha256()
    integrity = {}
    for name in sorted(files):
        digest = hashlib.sha256(files[name]).digest()
        whole.update(name.encode('ascii') + b'\n' + digest)
        integrity[name] = 'sha256-' + base64.b64encode(digest).decode('ascii')
    worker = open(os.path.join(HERE, 'sw.js'), encoding='utf-8').read()
    for key, value in {'@BUILD@': whole.hexdigest()[:16], '@FILES@': json.dumps(integrity, indent=2)}.items():
        if worker.count(key) != 1:
            sys.exit('make_site.py: sw.js holds %s %d times, not once' % (key, worker.count(key)))
        worker = worker.replace(key, value)
    files['sw.js'] = worker.encode('utf-8')

    # Made beside and swapped in whole, so that an interrupted build leaves the old site or, for a moment between
    # two renames, none; never half of one, as removing the old one file by file in its place would.
    part, old = args.out + '.part', args.out + '.old'
    for leftover in (part, old):
        shutil.rmtree(leftover, ignore_errors=True)
    os.makedirs(part)
    for name, data in files.items():
        with open(os.path.join(part, name), 'wb') as f:
            f.write(data)
    if os.path.isdir(args.out):
        os.replace(args.out, old)
    os.replace(part, args.out)
    shutil.rmtree(old, ignore_errors=True)


if __name__ == '__main__':
    main()
