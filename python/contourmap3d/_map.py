"""Map, render and animate: the package's API over the compiled module."""

import math
import os
import shutil
import subprocess
import tempfile

import numpy as np

from . import _convert, _png, _sensors
from ._core import Map as _CoreMap
from ._core import Recording as _CoreRecording

KINDS = ("time", "frequency", "spectral")
SURFACES = ("fans", "smooth")
COLORS = ("thresholds", "continuous")


def _choice(name, value, allowed):
    if value not in allowed:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, allowed))}, not {value!r}")
    return value


def _number(name, value):
    if isinstance(value, bool) or not isinstance(value, (int, float, np.number)) or \
            not math.isfinite(value):
        raise ValueError(f"{name} must be a finite number, not {value!r}")
    return float(value)


def _pair(name, value):
    try:
        a, b = value
    except (TypeError, ValueError):
        raise ValueError(f"{name} must be a pair of numbers, not {value!r}") from None
    return _number(name, a), _number(name, b)


class Map:
    """A rotatable 3-D contour map of one recording, drawn offscreen (no display needed).

    inst is an mne.Evoked, mne.io.Raw or mne.Epochs (averaged), or an array of data in tesla
    ((channels, times) or one value per channel; T/m for planar gradiometers) with pos=
    (channels, 3) in metres in head coordinates, and optionally names=, sfreq= (Hz), tmin= (s)
    and bads=.

    ch_type chooses what the map measures, as tools/mne_export.py's --ch-type: "mag", "grad"
    (Neuromag planar pairs merged), "planar1", "planar2", or "meg" (every MEG channel mapped onto
    virtual magnetometers, the default when both sensor types are there); arrays take "mag" or
    "grad". proj applies the SSP projectors; keep_dc keeps raw channels' offsets. kind is the
    map: "time" (a sample), "frequency" (a frequency bin) or "spectral" (a time-frequency cell);
    only what the kind shows is computed. surface "fans" joins the sensors with triangle fans,
    "smooth" interpolates on a helmet with isolines (colors "thresholds" or "continuous").
    size is (width, height) in pixels, rotate (x, y) in degrees, distance the viewing distance
    in metres, vlim the colour thresholds in the data's SI unit (None: fitted to each picture).
    """

    def __init__(self, inst, *, ch_type=None, proj=True, kind="time", surface="fans",
                 colors="thresholds", isolines=10, size=(800, 800), rotate=None, distance=None,
                 colorbar=False, labels=False, vlim=(None, None), keep_dc=False, pos=None,
                 names=None, sfreq=1000.0, tmin=0.0, bads=()):
        _choice("kind", kind, KINDS)
        _choice("surface", surface, SURFACES)
        _choice("colors", colors, COLORS)
        width, height = _pair("size", size)
        if width != int(width) or height != int(height):
            raise ValueError(f"size must be two whole numbers of pixels, not {size!r}")
        rotate = None if rotate is None else _pair("rotate", rotate)
        distance_mm = -1.0 if distance is None else _number("distance", distance) * 1000.0
        if distance is not None and distance_mm <= 0:
            raise ValueError(f"distance must be above 0 m, not {distance!r}")
        if isinstance(isolines, bool) or not isinstance(isolines, (int, np.integer)):
            raise ValueError(f"isolines must be a whole number, not {isolines!r}")
        try:
            vmin, vmax = (None, None) if vlim is None else vlim
        except (TypeError, ValueError):
            raise ValueError(f"vlim must be (vmin, vmax), not {vlim!r}") from None
        vmin = None if vmin is None else _number("vlim", vmin)
        vmax = None if vmax is None else _number("vlim", vmax)

        if isinstance(inst, (np.ndarray, list)) and pos is not None:
            rec = _convert.from_arrays(inst, pos, names=names, sfreq=sfreq, tmin=tmin,
                                       ch_type=ch_type or "mag", bads=bads)
        elif isinstance(inst, np.ndarray):
            raise TypeError("an array of data needs pos=, the sensors' positions in metres")
        else:
            rec = _convert.from_mne(inst, ch_type=ch_type, proj=proj, remove_dc=not keep_dc,
                                    time_frequency=None if kind == "time" else kind == "spectral")
        scale = _convert.SCALES[_sensors.SCALE_TYPES[rec.measured]]
        self._rec = rec
        core = _CoreRecording(rec.names, rec.kinds, rec.good, rec.positions, rec.samples,
                              rec.unit, rec.sfreq, float(rec.times[0]), rec.fiducials)
        if rec.spectra is not None:
            core.set_spectra(rec.meas, rec.spectra, rec.freqs, rec.row_times)
        rec.samples = None  # the library holds its own copy; a long Raw is not kept twice
        self._map = _CoreMap(
            core, kind, surface == "smooth", int(width), int(height), rotate, distance_mm,
            bool(colorbar), bool(labels), int(isolines), colors == "continuous",
            None if vmin is None else vmin * scale, None if vmax is None else vmax * scale)
        self.kind = kind
        self.size = (int(width), int(height))
        # The first selection, as the programs choose it.
        self._map.select("sample", rec.sample)
        if kind == "frequency":
            self._map.select("bin", rec.bin)
        elif kind == "spectral" and rec.cell is not None:
            self._map.select("cell", *rec.cell)
        self._rendered = False

    @property
    def ch_names(self):
        """The names of the recording's channels, in their order."""
        return list(self._rec.names)

    @property
    def times(self):
        """The time of each sample in seconds (relative to the event for evoked data)."""
        return self._rec.times.copy()

    @property
    def unit(self):
        """The unit of the colour scale ("fT", "fT/cm", "fT (spectrum)")."""
        return self._map.unit

    @property
    def clim(self):
        """The colour thresholds of the last picture, in the display unit."""
        return self._map.color_range()

    def select(self, *, time=None, sample=None, freq=None, cell=None):
        """Chooses what the next picture shows: a time (s) or a sample index for the time-domain
        map, a frequency (Hz) for the frequency map, a cell (s, Hz) for the spectral map.
        A selection outside the recording raises ValueError and changes nothing."""
        if time is not None and sample is not None:
            raise ValueError("give time or sample, not both")
        if time is not None:
            self._map.select("time", _number("time", time))
        if sample is not None:
            if isinstance(sample, bool) or not isinstance(sample, (int, np.integer)):
                raise ValueError(f"sample must be a whole number, not {sample!r}")
            self._map.select("sample", float(sample))
        if freq is not None:
            self._map.select("freq", _number("freq", freq))
        if cell is not None:
            self._map.select("cell_at", *_pair("cell", cell))

    def render(self, *, time=None, sample=None, freq=None, cell=None):
        """The picture as a C-contiguous (height, width, 3) uint8 array, row 0 at the top, at
        the selection given (or the current one). Releases the GIL while drawing."""
        self.select(time=time, sample=sample, freq=freq, cell=cell)
        image = self._map.render()
        self._rendered = True
        return image

    def frames(self, times):
        """One picture per time (s), as render(time=t) gives it, one at a time."""
        for t in times:
            yield self.render(time=t)

    def save(self, path, **selection):
        """Writes the picture (at the selection given, or the current one) as PNG; an existing
        file is replaced only once the new one is complete."""
        path = os.fspath(path)
        if not path.lower().endswith(".png"):
            raise ValueError(f"{path}: Map.save writes PNG files (.png)")
        data = _png.encode(self.render(**selection))
        def write(temporary):
            with open(temporary, "wb") as out:
                out.write(data)

        _write_atomically(path, write)
        return path

    def pick(self, x, y):
        """The name of the channel at pixel (x, y) of the picture (origin top-left), or None."""
        x, y = _number("x", x), _number("y", y)
        if not self._rendered:
            self.render()
        width, height = self.size
        if not (0 <= x < width and 0 <= y < height):
            return None
        slot = self._map.pick(x, y)
        return self._rec.names[slot] if slot >= 0 else None

    def _repr_png_(self):
        return _png.encode(self.render())


def render(inst, *, time=None, sample=None, freq=None, cell=None, **options):
    """One picture of inst as an (H, W, 3) uint8 array: Map(inst, **options).render(...)."""
    return Map(inst, **options).render(time=time, sample=sample, freq=freq, cell=cell)


def _write_atomically(path, write):
    """write(temporary) fills a file beside path, which then replaces path."""
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".contourmap3d-", suffix=".part")
    os.close(handle)
    try:
        write(temporary)
        os.replace(temporary, path)
    except BaseException:
        try:
            os.remove(temporary)
        except OSError:
            pass
        raise


def animate(inst, times, path, *, fps=25, **options):
    """Writes the time-domain map at each time (s) as a video: MP4 (H.264, .mp4) or GIF (.gif),
    through ffmpeg. inst may be a Map or anything Map accepts (with options)."""
    path = os.fspath(path)
    suffix = os.path.splitext(path)[1].lower()
    if suffix not in (".mp4", ".gif"):
        raise ValueError(f"{path}: animate writes .mp4 or .gif files")
    fps = _number("fps", fps)
    if fps <= 0:
        raise ValueError(f"fps must be above 0, not {fps!r}")
    times = [_number("times", t) for t in times]
    if not times:
        raise ValueError("times is empty: an animation needs at least one frame")
    ffmpeg = shutil.which("ffmpeg")
    if ffmpeg is None:
        raise RuntimeError("animate needs ffmpeg: apt-get install ffmpeg")
    the_map = inst if isinstance(inst, Map) else Map(inst, **options)
    # Every time is checked before ffmpeg starts, so a bad one leaves no half-written file.
    for t in (times[0], times[-1], min(times), max(times)):
        the_map.select(time=t)
    width, height = the_map.render(time=times[0]).shape[1::-1]
    if suffix == ".mp4":
        # yuv420p, which every player takes, wants even sizes.
        encode = ["-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-c:v", "libx264", "-pix_fmt",
                  "yuv420p", "-f", "mp4"]
    else:
        encode = ["-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f", "gif"]

    def write(temporary):
        # MP4 needs a file it can seek in, not a pipe.
        command = [ffmpeg, "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s",
                   f"{width}x{height}", "-r", f"{fps:g}", "-i", "-"] + encode + [temporary]
        with subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE) as process:
            try:
                for frame in the_map.frames(times):
                    process.stdin.write(frame.tobytes())
                process.stdin.close()
            except BrokenPipeError:
                pass
            error = process.stderr.read().decode(errors="replace")
            if process.wait() != 0:
                raise RuntimeError(f"{path}: ffmpeg failed: {_convert.one_line(error)}")

    _write_atomically(path, write)
    return path
