#!/usr/bin/env python3
"""make_site.py on its own, from a stand-in page: stopped at each step of writing, it leaves the old site whole,
the new one, or none; and the icons it puts into site/ decode to exactly the generator's pixels.
Usage: site_test.py ROOT OUT_DIR"""
import os
import struct
import sys
import zlib

root, out = sys.argv[1], os.path.abspath(sys.argv[2])
sys.path.insert(0, os.path.join(root, 'src', 'web'))
import make_site  # noqa: E402

os.makedirs(out, exist_ok=True)
failures = []


def read(folder):
    if not os.path.isdir(folder):
        return None
    return {name: open(os.path.join(folder, name), 'rb').read() for name in sorted(os.listdir(folder))}


def make(page_text, icons, site):
    page = os.path.join(out, 'page.html')
    with open(page, 'w') as f:
        f.write(page_text)
    sys.argv = ['make_site.py', '--page', page, '--out', site] + icons
    make_site.main()


# ---- Stopped halfway ----
# Tiny icons in the generator's form (stored, unfiltered), so that each of the many runs is quick.
def png(width, height, rgb):
    raw = b''.join(b'\0' + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 0)) + chunk(b'IEND', b''))


icons = []
for i, name in enumerate(['apple-touch-icon.png', 'icon-192.png', 'icon-512.png', 'maskable-512.png']):
    icons.append(os.path.join(out, name))
    with open(icons[-1], 'wb') as f:
        f.write(png(2 + i, 2, (i, 100, 200)))
site = os.path.join(out, 'site')
pages = ['<html><head><title>%s</title></head><body></body></html>' % build for build in ('old', 'new')]
make(pages[1], icons, site)
new = read(site)

# Each run stops the process at one more step that changes the file system than the run before, until one
# runs to the end; after each, site/ is the old build whole, the new one whole, or absent.
steps, stops = 0, 0
while True:
    steps += 1
    make(pages[0], icons, site)
    old = read(site)
    child = os.fork()
    if child == 0:
        left = [steps]

        def stopping(call, writes=lambda *a, **k: True):
            def step(*args, **kwargs):
                if writes(*args, **kwargs):
                    left[0] -= 1
                    if left[0] == 0:
                        os._exit(9)
                return call(*args, **kwargs)
            return step
        for name in ('mkdir', 'rename', 'replace', 'unlink', 'remove', 'rmdir'):
            setattr(os, name, stopping(getattr(os, name)))
        make_site.open = stopping(open, lambda file, mode='r', *a, **k: 'w' in mode)
        make(pages[1], icons, site)
        os._exit(0)
    status = os.waitpid(child, 0)[1]
    left = read(site)
    if left not in (old, new, None):
        failures.append('make_site.py stopped at step %d leaves half a site: %s' % (steps, sorted(left)))
    if os.WEXITSTATUS(status) == 0:
        break
    stops += 1
if read(site) != new:
    failures.append('make_site.py run to the end does not leave the new site')
print('make_site.py stopped at each of its %d steps' % stops)

# ---- The icons' pixels ----
# Decoded here by the PNG format alone, whatever filter each row took: the same rows as the generator's
# unfiltered ones.
def pixels(data):
    header = data[16:29]
    width, height, depth, kind = struct.unpack('>IIBB', header[:10])
    bpp = {2: 3, 6: 4}[kind]
    idat = b''.join(body for name, body in make_site.chunks(data) if name == b'IDAT')
    raw, stride, rows, above = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        kind_of_row, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - bpp] if x >= bpp else 0
            b, c = above[x], above[x - bpp] if x >= bpp else 0
            if kind_of_row == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                a = a if pa <= pb and pa <= pc else b if pb <= pc else c
            row[x] = (row[x] + [0, a, b, (a + b) // 2, a][kind_of_row]) & 255
        rows.append(bytes(row))
        above = row
    return header, b''.join(rows)


real = [os.path.join(root, 'dist', 'web', os.path.basename(icon)) for icon in icons]
make(pages[1], real, site)
for icon in real:
    name = os.path.basename(icon)
    if pixels(read(site)[name]) != pixels(open(icon, 'rb').read()):
        failures.append('site/%s does not decode to the pixels of %s' % (name, icon))

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
