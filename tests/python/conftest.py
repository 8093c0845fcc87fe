import os
import sys

import mne
import numpy as np
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import mne_example  # noqa: E402


def pytest_addoption(parser):
    parser.addoption("--render", help="the contourmap-render program")
    parser.addoption("--notebook", help="the example notebook")
    parser.addoption("--build", help="the build folder, for cmake --install")


@pytest.fixture(scope="session")
def arrays():
    """A field (tesla, 50 samples at 1 kHz from -10 ms) on 120 sensors of the example's helmet
    (m) that peaks at 20 ms, positive over the left (x < 0) of the head."""
    pos = mne_example.helmet(120)[0]
    times = np.arange(50) / 1000.0 - 0.01
    wave = np.exp(-((times - 0.02) ** 2) / (2 * 0.005 ** 2))
    data = -200e-15 * np.tanh(pos[:, :1] / 0.03) * wave
    return data, pos


@pytest.fixture(scope="session")
def evoked(tmp_path_factory):
    """The example evoked response of tools/mne_example.py (150 magnetometers, one bad)."""
    path = str(tmp_path_factory.mktemp("mne") / "example-ave.fif")
    mne_example.main(["mne_example.py", path])
    return mne.read_evokeds(path, condition=0, verbose="error")
