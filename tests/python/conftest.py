import os
import subprocess
import sys

import numpy as np
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def pytest_addoption(parser):
    parser.addoption("--render", help="the contourmap-render program")
    parser.addoption("--notebook", help="the example notebook")
    parser.addoption("--build", help="the build folder, for cmake --install")


def helmet(n=120):
    """n sensors on a cap 11 cm around (0, 0, 4 cm) in metres, and a field (tesla, 50 samples
    at 1 kHz from -10 ms) that peaks at 20 ms, positive over the left (x < 0) of the head."""
    k = np.arange(n) + 0.5
    z = 1 - 1.3 * k / n
    phi = np.pi * (1 + 5 ** 0.5) * k
    unit = np.c_[np.sqrt(1 - z * z) * np.cos(phi), np.sqrt(1 - z * z) * np.sin(phi), z]
    pos = np.array([0, 0, 0.04]) + 0.11 * unit
    times = np.arange(50) / 1000.0 - 0.01
    wave = np.exp(-((times - 0.02) ** 2) / (2 * 0.005 ** 2))
    data = -200e-15 * np.tanh(pos[:, :1] / 0.03) * wave
    return data, pos


@pytest.fixture(scope="session")
def arrays():
    return helmet()


@pytest.fixture(scope="session")
def evoked_file(tmp_path_factory):
    """The example evoked response of tools/mne_example.py (150 magnetometers, one bad)."""
    path = str(tmp_path_factory.mktemp("mne") / "example-ave.fif")
    subprocess.run([sys.executable, os.path.join(ROOT, "tools", "mne_example.py"), path],
                   check=True)
    return path


@pytest.fixture(scope="session")
def evoked(evoked_file):
    import mne
    return mne.read_evokeds(evoked_file, condition=0, verbose="error")
