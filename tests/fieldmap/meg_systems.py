"""Writes sensor sets shaped like the common MEG systems, for the smooth field map's surface test.

The shapes come from the helmet surfaces MNE-Python ships (mne/data/helmets): each helmet is
subdivided once and as many places as the system has sensor locations are picked from it by
farthest-point sampling, so the set follows the helmet's outline and spacing. Horizontal parts
below the helmet's middle (the dewar's bottom plate in the CTF surface) are left out. Neuromag's
locations carry three channels each at one place (a magnetometer and two gradiometers), as the
real system does. One line per channel: SYSTEM X Y Z, in millimetres.

Exit status 77 when MNE-Python is not installed (the test is then skipped).
"""

import os
import sys

try:
    import numpy as np
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                    "tools"))
    from neuromag_example import farthest_points, helmet_surface
except ImportError:
    sys.exit(77)

# system name: (helmet file, locations, channels per location)
SYSTEMS = {
    "neuromag306": ("306m", 102, 3),
    "neuromag122": ("122m", 61, 2),
    "ctf275": ("CTF_275", 275, 1),
    "kit157": ("KIT", 157, 1),
    "4d248": ("Magnes_3600wh", 248, 1),
    "handful": ("306m", 7, 1),
}


def helmet_points(name):
    """The helmet's vertices and edge midpoints, without horizontal parts below its middle (the
    bottom plate of a dewar, a visor), where no sensors sit."""
    rr, normals, tris = helmet_surface(name)
    rr = rr * 1000.0
    middle = (rr[:, 2].min() + rr[:, 2].max()) / 2.0
    keep = ~((np.abs(normals[:, 2]) > 0.5) & (rr[:, 2] < middle))
    edges = np.sort(np.concatenate([tris[:, [0, 1]], tris[:, [1, 2]], tris[:, [2, 0]]]), axis=1)
    edges = np.unique(edges, axis=0)
    edges = edges[keep[edges[:, 0]] & keep[edges[:, 1]]]
    return np.concatenate([rr[keep], rr[edges].mean(axis=1)])


if __name__ == "__main__":
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        for system, (helmet, locations, per_location) in SYSTEMS.items():
            points = helmet_points(helmet)
            for x, y, z in points[farthest_points(points, locations)]:
                for _ in range(per_location):
                    out.write(f"{system} {x:.3f} {y:.3f} {z:.3f}\n")
