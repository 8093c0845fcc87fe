#!/usr/bin/python3
"""Writes a Neuromag-like 306-channel evoked response made with MNE-Python itself (no downloads):
102 places on MNE's 306-channel helmet surface, each with a magnetometer and two orthogonal
planar gradiometers of MNE's own coil types, and the field of one current dipole from MNE's
spherical forward model. For the bridge's tests, the mapping's timing and the README's pictures.

    tools/neuromag_example.py OUT-ave.fif
"""

import math
import os
import sys

import mne
import numpy as np

N_PLACES = 102
SFREQ = 500.0
ORIGIN = (0.0, 0.0, 0.04)
# Device to head: 6 degrees about x, the helmet's centre 1 cm forward and 5 cm up.
_ANGLE = math.radians(6)
DEV_HEAD = np.array([[1, 0, 0, 0], [0, math.cos(_ANGLE), -math.sin(_ANGLE), 0.01],
                     [0, math.sin(_ANGLE), math.cos(_ANGLE), 0.05], [0, 0, 0, 1]])
# A tangential dipole over the left temporal lobe (head coordinates, m; A m).
DIPOLE_POS, DIPOLE_ORI, DIPOLE_AMPLITUDE = (-0.045, 0.01, 0.07), (0.0, 0.6, 0.8), 40e-9
PEAK_TIME = 0.1


def helmet_surface(name):
    """The vertices of one of the helmet surfaces MNE-Python ships (device coordinates, m), their
    outward normals and the triangles."""
    path = os.path.join(os.path.dirname(mne.__file__), "data", "helmets", name + ".fif.gz")
    surf = mne.read_bem_surfaces(path, verbose=False)[0]
    rr, tris = surf["rr"], surf["tris"]
    normals = np.zeros_like(rr)
    face = np.cross(rr[tris[:, 1]] - rr[tris[:, 0]], rr[tris[:, 2]] - rr[tris[:, 0]])
    for k in range(3):
        np.add.at(normals, tris[:, k], face)
    normals /= np.linalg.norm(normals, axis=1)[:, None]
    centre = rr.mean(axis=0)
    normals *= np.sign(np.sum((rr - centre) * normals, axis=1))[:, None]  # outward
    return rr, normals, tris


def farthest_points(points, count):
    """The indices of count points spread by farthest-point sampling, from the highest one."""
    chosen = [int(np.argmax(points[:, 2]))]
    dist = np.linalg.norm(points - points[chosen[0]], axis=1)
    while len(chosen) < count:
        chosen.append(int(np.argmax(dist)))
        dist = np.minimum(dist, np.linalg.norm(points - points[chosen[-1]], axis=1))
    return chosen


def helmet_places(n=N_PLACES):
    """n places spread over MNE's 306-channel helmet, with the helmet's outward normals there."""
    rr, normals, _ = helmet_surface("306m_rt")
    chosen = farthest_points(rr, n)
    return rr[chosen], normals[chosen]


def neuromag_info(sfreq=SFREQ):
    """Channels MEGnnn1 (magnetometer), MEGnnn2 and MEGnnn3 (planar gradiometers along two
    orthogonal tangents) at each place, in the order a Neuromag file has them."""
    places, normals = helmet_places()
    names, types, locs = [], [], []
    for k, (r, ez) in enumerate(zip(places, normals)):
        ex = np.cross([0.0, 0.0, 1.0], ez)
        ex = ex / np.linalg.norm(ex) if np.linalg.norm(ex) > 1e-6 else np.array([1.0, 0, 0])
        ey = np.cross(ez, ex)
        for suffix, kind, frame in (("1", "mag", (ex, ey)), ("2", "grad", (ex, ey)),
                                    ("3", "grad", (ey, -ex))):
            names.append(f"MEG{k + 1:03d}{suffix}")
            types.append(kind)
            locs.append(np.r_[r, frame[0], frame[1], ez])
    info = mne.create_info(names, sfreq, types)
    for ch, loc in zip(info["chs"], locs):
        ch["loc"][:] = loc
    info["dev_head_t"] = mne.transforms.Transform("meg", "head", DEV_HEAD)
    return info


def dipole_field(info, pos=DIPOLE_POS, ori=DIPOLE_ORI):
    """Each channel's field (T, T/m) of a 1 A m dipole in a sphere about ORIGIN."""
    ori = np.asarray(ori, float) / np.linalg.norm(ori)
    dipole = mne.Dipole(np.array([0.0]), np.array([pos]), np.array([1.0]), np.array([ori]),
                        np.array([100.0]))
    sphere = mne.make_sphere_model(r0=ORIGIN, head_radius=None, verbose=False)
    fwd, _ = mne.make_forward_dipole(dipole, sphere, info, verbose=False)
    return fwd["sol"]["data"][:, 0]


def evoked_response(info=None):
    """An evoked response: the dipole's field with a Gaussian time course peaking at
    PEAK_TIME, from -0.1 to 0.3 s."""
    info = info or neuromag_info()
    times = np.arange(-0.1, 0.3 + 0.5 / info["sfreq"], 1.0 / info["sfreq"])
    wave = DIPOLE_AMPLITUDE * np.exp(-((times - PEAK_TIME) ** 2) / (2 * 0.015 ** 2))
    data = np.outer(dipole_field(info), wave)
    return mne.EvokedArray(data, info, tmin=times[0], comment="dipole", nave=100)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: neuromag_example.py OUT-ave.fif")
    mne.set_log_level("ERROR")
    evoked_response().save(sys.argv[1], overwrite=True)
    print(sys.argv[1])
