#!/usr/bin/env python3
"""Writes the Windows program's icon, app/windows/tarnwick.ico: the
application icon that tools/images/generate_images.py draws for the Linux
desktops, at the sizes Windows shows (title bar, task bar, Explorer).

    python3 app/windows/make_icon.py [output file]
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'tools', 'images'))

from generate_images import application_icon, encode_ico  # noqa: E402

SIZES = (16, 20, 24, 32, 40, 48, 64, 128)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, 'tarnwick.ico')
    data = encode_ico([application_icon(size) for size in SIZES])
    with open(out, 'wb') as f:
        f.write(data)
    print('%s %d bytes' % (out, len(data)))


if __name__ == '__main__':
    main()
