import io
import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
from PIL import Image

import contourmap3d as cm
from contourmap3d import _convert


def warm(img):
    return (img[..., 0] > 150) & (img[..., 2] < 100)


def cool(img):
    return (img[..., 2] > 150) & (img[..., 0] < 100)


def png_pixels(data):
    return np.asarray(Image.open(io.BytesIO(data) if isinstance(data, bytes) else data)
                      .convert("RGB"))


def test_picture_is_rgb_rows_top_first_left_on_left(arrays):
    data, pos = arrays
    m = cm.Map(data, pos=pos, size=(300, 200))
    img = m.render(time=0.02)
    assert img.shape == (200, 300, 3) and img.dtype == np.uint8 and img.flags.c_contiguous
    # The default view is from above, nose up: the field is positive over the left of the head.
    ys, xs = np.nonzero(warm(img))
    assert xs.mean() < 130 and np.nonzero(cool(img))[1].mean() > 170
    name = m.pick(xs.mean(), ys.mean())
    assert pos[m.ch_names.index(name), 0] < 0
    assert m.pick(2, 2) is None and m.pick(-5, 400) is None
    # Positive at the front: warm in the top rows.
    front = cm.render(np.tanh(pos[:, 1] / 0.03) * 1e-13, pos=pos, size=(300, 200))
    assert np.nonzero(warm(front))[0].mean() < 90 < np.nonzero(cool(front))[0].mean()


def write_json(path, data, pos, sample):
    channels = [{"name": f"MEG{i + 1:03d}", "kind": "meg", "coils": [list(p * 1000.0)],
                 "samples": list(d * 1e15)} for i, (d, p) in enumerate(zip(data, pos))]
    with open(path, "w") as out:
        json.dump({"sampling_rate": 1000.0, "first_sample_time": -0.01,
                   "selection": {"sample": sample}, "channels": channels}, out)


@pytest.mark.parametrize("args, options", [
    (["--colorbar", "--labels", "--rotate", "-20,55"],
     dict(colorbar=True, labels=True, rotate=(-20, 55))),
    (["--surface", "smooth", "--colors", "continuous", "--isolines", "6", "--colorbar",
      "--distance", "600"],
     dict(surface="smooth", colors="continuous", isolines=6, colorbar=True, distance=0.6)),
])
def test_same_pixels_as_the_render_command(tmp_path, options, arrays, args, request):
    data, pos = arrays
    write_json(tmp_path / "rec.json", data, pos, 25)
    subprocess.run([request.config.option.render, "--recording", str(tmp_path / "rec.json"),
                    "--size", "320x240", "--out", str(tmp_path / "cmd.png")] + args,
                   check=True, capture_output=True, env=dict(os.environ,
                                                             QT_QPA_PLATFORM="offscreen"))
    ours = cm.Map(data, pos=pos, tmin=-0.01, size=(320, 240), **options).render(sample=25)
    assert np.array_equal(ours, png_pixels(str(tmp_path / "cmd.png")))


# The keywords of the conversion of MNE objects in memory (the bridge's tests check its numbers
# through the same code): projectors applied unless proj=False, raw offsets removed unless
# remove_dc=False, on a long raw recording too (converted block by block as the bridge stores it;
# one block here), and the caller's object left as it was.
def test_from_mne_keywords_give_mnes_numbers(evoked):
    import mne

    with_proj = evoked.copy().add_proj(mne.compute_proj_evoked(evoked, n_mag=1, verbose="error"))
    raw, long_raw = (mne.io.RawArray(np.tile(evoked.data, n) + 1e-12, evoked.info, verbose="error")
                     for n in (1, 6))
    assert long_raw.n_times > _convert.MAX_WRITTEN_SAMPLES
    for inst, options, expected in (
            (with_proj, {}, with_proj.copy().apply_proj().data),
            (with_proj, dict(proj=False), evoked.data),
            (long_raw, {}, long_raw.get_data() - long_raw.get_data().mean(axis=1, keepdims=True)),
            (raw, dict(remove_dc=False), raw.get_data())):
        rec = _convert.from_mne(inst, **options)
        assert np.allclose(rec.samples, expected * 1e15, rtol=1e-5, atol=1e-3), options
    assert not with_proj.proj


def test_maps_of_each_kind_from_mne_objects(evoked):
    import mne

    raw = mne.io.RawArray(evoked.data + 1e-12, evoked.info, verbose="error")
    for kind, rows in (("frequency", 1), ("spectral", 21)):
        m = cm.Map(raw, kind=kind, size=(160, 120))
        assert m._rec.spectra.shape[1] == rows and m.unit == "fT (spectrum)"
        assert warm(m.render()).any()
    assert warm(cm.Map(evoked, kind="frequency", size=(160, 120)).render(freq=10)).any()


def test_bad_input_raises_the_programs_one_line(arrays, tmp_path, request):
    data, pos = arrays
    nan_pos = pos.copy()
    nan_pos[3] = np.nan
    assert cm.render(data, pos=nan_pos, size=(64, 64)).shape == (64, 64, 3)
    m = cm.Map(data, pos=pos, tmin=-0.01, size=(64, 64))
    cases = [
        (lambda: cm.Map(data, pos=pos[:5]), ValueError, r"pos must have shape \(120, 3\)"),
        (lambda: cm.Map(data, pos=pos * np.nan), ValueError,
         "none of the magnetometers has a sensor position"),
        (lambda: cm.Map(np.empty((0, 4)), pos=np.empty((0, 3))), ValueError, "data is empty"),
        (lambda: cm.Map(data), TypeError, "needs pos="),
        (lambda: cm.Map("file.fif"), TypeError, "mne.Evoked"),
        (lambda: cm.Map([1, 2]), TypeError, "not a list of 2"),
        (lambda: cm.Map(data, pos=pos, ch_type="eeg"), ValueError, "ch_type must be"),
        (lambda: cm.Map(data, pos=pos, kind="topo"), ValueError, "kind must be one of"),
        (lambda: cm.Map(data, pos=pos, size=(0, 10)), ValueError, "size must be"),
        (lambda: m.render(sample=50), ValueError, "--sample 50 is outside"),
        (lambda: m.render(freq=10), ValueError, "--freq"),
        (lambda: cm.animate(m, [0.0, 9.0], tmp_path / "x.gif"), ValueError, "--time 9"),
    ]
    for call, error, message in cases:
        with pytest.raises(error, match=message):
            call()
    assert not os.listdir(tmp_path)
    # The message is the render command's own.
    write_json(tmp_path / "rec.json", data, pos, 0)
    out = subprocess.run([request.config.option.render, "--recording", str(tmp_path / "rec.json"),
                          "--time", "5", "--out", str(tmp_path / "x.png")], capture_output=True,
                         text=True)
    with pytest.raises(ValueError) as raised:
        m.render(time=5)
    assert out.stderr.strip() == f"contourmap-render: error: {raised.value}"


def test_threads_share_nothing_but_the_results(arrays):
    data, pos = arrays
    maps = [cm.Map(data, pos=pos, size=(200, 150), colorbar=k == 1) for k in range(2)]
    expected = [[m.render(sample=s) for s in (20, 30)] for m in maps]

    def draw(m):
        return [m.render(sample=s) for s in (20, 30) for _ in range(3)]

    # Two maps at once, and then a map first drawn in this thread from another.
    with ThreadPoolExecutor(2) as pool:
        results = list(pool.map(draw, maps))
    with ThreadPoolExecutor(1) as pool:
        results.append(pool.submit(draw, maps[0]).result())
    for m, images in zip([0, 1, 0], results):
        assert all(np.array_equal(img, expected[m][i // 3]) for i, img in enumerate(images))


def test_png_notebook_picture_and_animations(arrays, tmp_path):
    data, pos = arrays
    m = cm.Map(data, pos=pos, size=(120, 90), colorbar=True)
    image = m.render(time=0.02)
    assert np.array_equal(png_pixels(m._repr_png_()), image)
    m.save(tmp_path / "map.png")
    assert np.array_equal(png_pixels(str(tmp_path / "map.png")), image)
    cm.animate(m, [0.0, 0.01, 0.02], tmp_path / "a.gif", fps=10)
    assert Image.open(tmp_path / "a.gif").n_frames == 3
    cm.animate(data, np.arange(5) / 1000.0, tmp_path / "a.mp4", pos=pos, size=(121, 91))
    frames = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                             "stream=nb_read_frames,width", "-of", "csv=p=0",
                             str(tmp_path / "a.mp4")], capture_output=True, text=True).stdout
    assert frames.split() == ["122,5"]
    assert sorted(os.listdir(tmp_path)) == ["a.gif", "a.mp4", "map.png"]


def test_installed_package_imports_and_draws(tmp_path, request):
    subprocess.run(["cmake", "--install", request.config.option.build, "--prefix",
                    str(tmp_path)], check=True, capture_output=True)
    folder, = tmp_path.glob("lib/python3*/dist-packages")
    out = subprocess.run(
        [sys.executable, "-c", "import contourmap3d, numpy as np\n"
         "print(contourmap3d.__file__)\n"
         "print(contourmap3d.render(np.ones((2, 3)) * 1e-13, pos=np.eye(2, 3) * 0.1,"
         " size=(40, 30)).shape)"],
        cwd=tmp_path, env=dict(os.environ, PYTHONPATH=str(folder)), capture_output=True,
        text=True, check=True).stdout.split("\n")
    assert out[0].startswith(str(folder)) and out[1] == "(30, 40, 3)"
