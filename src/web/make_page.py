#!/usr/bin/env python3
"""Makes glimtra.html, the one file players get: the page, the game emcc built, its pictures and its icon."""
import argparse
import base64
import gzip
import os
import re
import sys


def pack(pictures):
    # One gzip stream over all the pictures compresses them far better than one each (they share the
    # headers and colours): "NAME\nLENGTH\n" then the bytes, for each; the page unpacks it.
    out = bytearray()
    for path in sorted(pictures):
        data = open(path, 'rb').read()
        out += b'%s\n%d\n' % (os.path.basename(path).encode('ascii'), len(data)) + data
    # No file time in the header, so that the same pictures make the same page.
    return gzip.compress(bytes(out), compresslevel=9, mtime=0)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--page', required=True)
    parser.add_argument('--game', required=True)
    parser.add_argument('--icon', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('pictures', nargs='+')
    args = parser.parse_args()

    game = open(args.game, encoding='utf-8').read()
    # The game's script sits inside a <script> element, which the first "</script" would end.
    game = re.sub(r'</(script)', r'<\\/\1', game, flags=re.IGNORECASE)
    parts = {
        '@ICON@': base64.b64encode(open(args.icon, 'rb').read()).decode('ascii'),
        '@PICTURES@': base64.b64encode(pack(args.pictures)).decode('ascii'),
        '@GAME@': game,
    }
    page = open(args.page, encoding='utf-8').read()
    for key, value in parts.items():
        if page.count(key) != 1:
            sys.exit('make_page.py: %s holds %s %d times, not once' % (args.page, key, page.count(key)))
        page = page.replace(key, value)
    with open(args.out + '.part', 'w', encoding='utf-8') as f:
        f.write(page)
    os.replace(args.out + '.part', args.out)


if __name__ == '__main__':
    main()
