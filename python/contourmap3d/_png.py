"""PNG bytes of an RGB picture, for notebooks and Map.save: zlib from the standard library, so
that saving a map needs nothing beyond numpy."""

import struct
import zlib

import numpy as np


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + \
        struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def encode(rgb, level=6):
    """The PNG file of an (H, W, 3) uint8 array, row 0 at the top."""
    height, width, _ = rgb.shape
    rows = rgb.reshape(height, width * 3)
    # The Up filter (type 2) on every row: maps have large flat areas, which it turns into runs
    # of zeros for zlib.
    filtered = np.empty((height, width * 3 + 1), np.uint8)
    filtered[:, 0] = 2
    filtered[0, 1:] = rows[0]
    filtered[1:, 1:] = rows[1:] - rows[:-1]  # uint8 arithmetic wraps modulo 256, as PNG wants
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + \
        _chunk(b"IDAT", zlib.compress(filtered.tobytes(), level)) + _chunk(b"IEND", b"")
