"""ContourMap3D from Python: 3-D contour maps of MEG sensor data as numpy arrays, drawn in an
offscreen OpenGL context, so notebooks, reports and servers need no display.

    import contourmap3d
    m = contourmap3d.Map(evoked, surface="smooth", rotate=(-20, 55), colorbar=True)
    m.render(time=0.1)          # (height, width, 3) uint8, row 0 at the top

Errors are ValueError (bad input, a selection outside the recording), TypeError (an object the
maps do not take) or RuntimeError (no OpenGL context, ffmpeg missing or failing), each with a
one-line message.

Threads: drawing releases the GIL. Each Map has its own context and a lock: one thread at a
time uses a Map (other threads wait), and different Maps draw in parallel, except for their
colour bars and labels, whose text Qt draws one at a time.
"""

from ._convert import ConversionError

__all__ = ["Map", "render", "animate", "ConversionError"]
__version__ = "0.1.0"


def __getattr__(name):
    # The drawing part loads the compiled module on first use, so that the conversion
    # (contourmap3d._convert) imports from the source tree alone, as tools/mne_export.py can.
    if name in ("Map", "render", "animate"):
        from . import _map
        return getattr(_map, name)
    raise AttributeError(f"module 'contourmap3d' has no attribute {name!r}")
