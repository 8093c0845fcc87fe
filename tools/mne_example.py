#!/usr/bin/python3
"""Writes a small evoked recording made with MNE-Python, to try the bridge without data of your own.

    tools/mne_example.py example-ave.fif

150 magnetometers on a helmet-shaped cap, the field of two current dipoles in a spherical head
(MNE's own forward model): a left auditory-like response peaking at 100 ms and a 10 Hz occipital
rhythm, plus sensor noise, 600 Hz from -100 to 500 ms; nasion, ear points and three head-position
coils digitised. Nothing is downloaded.
"""

import sys

try:
    import mne
    import numpy as np
except ImportError as missing:
    sys.exit(f"mne_example: MNE-Python is not installed ({missing}); ./run deps installs it")

SFREQ = 600.0
CENTRE = np.array([0.0, 0.0, 0.04])  # sphere centre in head coordinates, m


def helmet(n, reach=1.3, radius=0.11, centre=CENTRE):
    """n sensor places spread evenly over a sphere's cap, and their outward normals: a Fibonacci
    (golden-angle) spiral from the top down to (1 - reach) times the radius above the centre.
    The tests' and benchmarks' recordings use it too."""
    k = np.arange(n) + 0.5
    z = 1 - reach * k / n
    phi = np.pi * (1 + 5 ** 0.5) * k
    unit = np.c_[np.sqrt(1 - z * z) * np.cos(phi), np.sqrt(1 - z * z) * np.sin(phi), z]
    return centre + radius * unit, unit


def main(argv):
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.exit("usage: mne_example.py OUT-ave.fif")
    mne.set_log_level("ERROR")
    pos, normals = helmet(150)
    info = mne.create_info([f"MEG{i + 1:03d}" for i in range(len(pos))], SFREQ, "mag")
    for ch, p, n in zip(info["chs"], pos, normals):
        ch["loc"][:] = np.r_[p, np.zeros(6), n]
    info["dev_head_t"] = mne.transforms.Transform("meg", "head", np.eye(4))
    montage = mne.channels.make_dig_montage(
        nasion=[0, 0.1, 0], lpa=[-0.075, 0, 0], rpa=[0.075, 0, 0],
        hpi=[[0.05, 0.07, 0.06], [-0.05, 0.07, 0.06], [0, -0.06, 0.1]], coord_frame="head")
    info.set_montage(montage)

    times = np.arange(-0.1, 0.5, 1 / SFREQ)
    sphere = mne.make_sphere_model(r0=tuple(CENTRE), head_radius=0.09)
    # Left temporal source, tangential; and an occipital one for the alpha rhythm.
    dipoles = mne.Dipole(times=[0.0, 0.0], pos=[[-0.04, 0.0, 0.085], [0.0, -0.06, 0.07]],
                         amplitude=[1.0, 1.0], ori=[[0, 1, 0], [1, 0, 0]], gof=[100, 100])
    fwd, _ = mne.make_forward_dipole(dipoles, sphere, info)
    gain = fwd["sol"]["data"]  # T per A m, one column per dipole
    evoked_wave = 60e-9 * np.exp(-((times - 0.1) ** 2) / (2 * 0.02 ** 2))
    alpha_wave = 25e-9 * np.sin(2 * np.pi * 10 * times) * (times > 0.15)
    data = gain @ np.vstack([evoked_wave, alpha_wave])
    data += 10e-15 * np.random.default_rng(1).standard_normal(data.shape)
    info["bads"] = ["MEG017"]
    evoked = mne.EvokedArray(data, info, tmin=times[0], comment="example", nave=60)
    evoked.save(argv[1], overwrite=True)
    print(argv[1])


if __name__ == "__main__":
    main(sys.argv)
