"""Which MEG channels a map measures: one sensor type, the planar gradiometer pairs of
Neuromag-type systems, or every MEG channel mapped onto virtual magnetometers, whose matrix
contourmap-fieldmap computes from the coils' geometry."""

import hashlib
import json
import os
import shutil
import subprocess
import tempfile

import numpy as np

# What --ch-type accepts. mag, grad: one sensor type (planar gradiometers merged pair by pair);
# planar1, planar2: one gradiometer of each pair, signed; meg: every MEG channel mapped onto
# virtual magnetometers.
CHOICES = ("mag", "grad", "planar1", "planar2", "meg")
UNITS = {"mag": "fT", "grad": "fT/cm", "planar1": "fT/cm", "planar2": "fT/cm", "meg": "fT"}
# The channel type whose display scale the measured values take.
SCALE_TYPES = {"mag": "mag", "grad": "grad", "planar1": "grad", "planar2": "grad", "meg": "mag"}
NAMES = {"mag": "magnetometers", "grad": "gradiometers", "planar1": "first gradiometers of the "
         "planar pairs", "planar2": "second gradiometers of the planar pairs",
         "meg": "virtual magnetometers (every MEG channel mapped)"}

# The minimum-norm mapping as MNE-Python's field maps make it (Hämäläinen & Ilmoniemi 1994):
# lead fields integrated over a sphere of this radius (m) about the origin, noise levels that
# weigh the two sensor types against each other (T, T/m), and the share of the whitened lead
# field's singular value sum left out when it is inverted.
INTEGRATION_RADIUS = 0.06
NOISE = {"mag": 20e-15, "grad": 5e-13}
MISS = 1e-4
LEGENDRE_TERMS = 50
# The sphere's centre (head coordinates, m): MNE-Python's default for its field maps.
ORIGIN = (0.0, 0.0, 0.04)

HELPER = "contourmap-fieldmap"
HELPER_VARIABLE = "CONTOURMAP_FIELDMAP"


def planar(mne, ch):
    """Planar gradiometers measure in T/m; axial ones (CTF, KIT) in T like magnetometers."""
    return ch["unit"] == mne.io.constants.FIFF.FIFF_UNIT_T_M


def planar_pairs(mne, info, types):
    """The planar gradiometer pairs, (first, second) channel indices in the recording's order,
    paired by their common position, and the planar gradiometers left without a partner."""
    places = {}
    for i, (t, ch) in enumerate(zip(types, info["chs"])):
        if t == "grad" and planar(mne, ch):
            position = np.asarray(ch["loc"][:3], float)
            # Within 0.01 mm; one without a position pairs with nothing.
            key = (tuple(np.round(position * 1e5).astype(int).tolist())
                   if np.all(np.isfinite(position)) else ("nowhere", i))
            places.setdefault(key, []).append(i)
    pairs = [tuple(group) for group in places.values() if len(group) == 2]
    lone = sorted(i for group in places.values() if len(group) != 2 for i in group)
    return sorted(pairs), lone


def default_type(present):
    """Both sensor types: every MEG channel in one field, as MNE-Python's 3-D field maps show it;
    otherwise the one type there is."""
    if "mag" in present and "grad" in present:
        return "meg"
    return present[0]


class ConversionError(ValueError):
    """A recording that cannot be converted as asked, in one line. path, when set, is the file
    the message concerns (the bridge names the input otherwise)."""

    def __init__(self, message, path=None):
        super().__init__(message)
        self.path = path


class Measured:
    """The measuring channels of a map and how their values come from the recording's rows:
    rows taken as they are, planar pairs merged into their root mean square, or every MEG
    channel mapped by a matrix. apply() and spectral_rows() take any block of samples of all
    the recording's channels, so a long recording can be converted page by page."""

    def __init__(self, mode, names, coils, good, rows=None, pairs=None, matrix=None,
                 sources=None, note=None):
        self.mode, self.names, self.coils, self.good = mode, names, coils, good
        self.rows, self.pairs, self.matrix, self.sources = rows, pairs, matrix, sources
        self.note = note  # what the user should know of the choice, for the progress lines

    @property
    def derived(self):
        """Values made from other channels, written as channels of their own."""
        return self.rows is None

    def apply(self, block):
        if self.rows is not None:
            return block[self.rows]
        if self.pairs is not None:
            first, second = block[self.pairs[:, 0]], block[self.pairs[:, 1]]
            return np.sqrt((first ** 2 + second ** 2) / 2.0)
        return self.matrix @ block[self.sources]

    def spectral_rows(self, block, applied=None):
        """The rows whose spectra make the measuring channels' spectra; applied is
        apply(block) when the caller has it already (a mapping is costly)."""
        if self.pairs is not None:
            return block[self.pairs.ravel()]
        return self.apply(block) if applied is None else applied

    def combine_spectra(self, arrays):
        """A pair's amplitude spectrum is the root mean square of its two: the spectrum of the
        merged time series would hold the squaring's harmonics instead."""
        if self.pairs is None:
            return arrays
        return np.sqrt((arrays[0::2] ** 2 + arrays[1::2] ** 2) / 2.0)


def measuring(mne, info, types, wanted, coil_of, dev_head, cache_dir):
    """The measuring channels for --ch-type WANTED (None: the default), or ConversionError."""
    if wanted is not None and wanted not in CHOICES:
        raise ConversionError(f"ch_type must be one of {', '.join(CHOICES)}, not {wanted!r}")
    present = [t for t in ("mag", "grad") if t in types]
    if not present:
        raise ConversionError("the recording has no MEG channels (magnetometers or "
                              "gradiometers)")
    names, bads = info["ch_names"], set(info["bads"])
    pairs, lone = planar_pairs(mne, info, types)
    mode = wanted or default_type(present)
    if mode in ("mag", "grad") and mode not in present:
        raise ConversionError(f"the recording has no {NAMES[mode]} (--ch-type {mode})")
    if mode in ("planar1", "planar2") and not pairs:
        raise ConversionError(f"the recording has no planar gradiometer pairs (--ch-type "
                              f"{mode}): use --ch-type grad")
    if mode == "grad" and pairs:
        return merged_pairs(names, bads, pairs, lone, coil_of)
    if mode in ("planar1", "planar2"):
        rows = [pair[0 if mode == "planar1" else 1] for pair in pairs]
        return Measured(mode, [names[i] for i in rows], [coil_of(i) for i in rows],
                        [names[i] not in bads for i in rows], rows=rows)
    if mode == "meg":
        return field_mapping(mne, info, types, coil_of, dev_head, cache_dir)
    # Magnetometers, axial gradiometers, and planar ones of a file without pairs (one per place):
    # nothing to merge, so each is measured as it is.
    rows = [i for i, t in enumerate(types) if t == mode]
    return Measured(mode, [names[i] for i in rows], [coil_of(i) for i in rows],
                    [names[i] not in bads for i in rows], rows=rows)


def merged_pairs(names, bads, pairs, lone, coil_of):
    """One channel per pair, at the pair's place, named as MNE-Python's topographic maps name it
    (the first name with an x for its last character: MEG0112 and MEG0113 make MEG011x). A pair
    with a bad member is bad: half a pair is no merged value. Gradiometers without a partner
    stay in the file as other channels."""
    if lone:
        listed = ", ".join(names[i] for i in lone[:4]) + (" ..." if len(lone) > 4 else "")
        note = f"{len(lone)} planar gradiometers without a partner left out of the map ({listed})"
    else:
        note = None
    return Measured("grad", [names[a][:-1] + "x" for a, _ in pairs],
                    [coil_of(a) for a, _ in pairs],
                    [names[a] not in bads and names[b] not in bads for a, b in pairs],
                    pairs=np.asarray(pairs, int), note=note)


def coil_geometry(mne, chs, dev_head_t):
    """Each channel's integration points (m, head coordinates), their normals and weights, as
    MNE-Python defines its coils at normal accuracy, and whether the coil is a magnetometer
    (CTF and KIT axial gradiometers are of MNE's type mag too)."""
    from mne.forward._make_forward import _create_meg_coils  # no public road to the coils
    coils = _create_meg_coils(chs, "normal", dev_head_t)
    magnetometer = 1  # the coil class of magnetometers in MNE-Python's coil definition file
    return [({"points": c["rmag"].tolist(), "normals": c["cosmag"].tolist(),
              "weights": c["w"].tolist()}, c["coil_class"] == magnetometer) for c in coils]


def point_magnetometer(ch, dev_head):
    """A virtual magnetometer of one point at a sensor's place, along its normal (head
    coordinates, m), for systems without magnetometers of their own."""
    loc = np.asarray(ch["loc"], float)
    normal = dev_head[:3, :3] @ loc[9:12]
    return {"points": [(dev_head[:3, :3] @ loc[:3] + dev_head[:3, 3]).tolist()],
            "normals": [(normal / np.linalg.norm(normal)).tolist()], "weights": [1.0]}


def field_mapping(mne, info, types, coil_of, dev_head, cache_dir):
    """Every good MEG channel mapped onto virtual magnetometers: the magnetometers' own coils
    where the system has magnetometers (Neuromag, 4D), else a point magnetometer at each
    sensor's place (CTF, KIT). The magnetometers' places keep the map comparable with
    --ch-type mag, sensor for sensor."""
    names, bads, chs = info["ch_names"], set(info["bads"]), info["chs"]
    # Only sensors with a place take part: a coil without one has no lead field.
    meg = [i for i, t in enumerate(types) if t in ("mag", "grad") and coil_of(i) is not None]
    sources = [i for i in meg if names[i] not in bads]
    if not sources:
        raise ConversionError("every MEG channel is bad or has no position: there is nothing to "
                              "map (--ch-type meg)")
    geometry = coil_geometry(mne, [chs[i] for i in meg], info["dev_head_t"])
    coils = dict(zip(meg, geometry))
    places = [i for i in meg if coils[i][1]]
    targets = [coils[i][0] for i in places]
    if not places:
        places = meg
        targets = [point_magnetometer(chs[i], dev_head) for i in meg]
    request = {
        "origin": list(ORIGIN), "radius": INTEGRATION_RADIUS, "terms": LEGENDRE_TERMS,
        "miss": MISS, "noise": [NOISE[types[i]] for i in sources],
        "sources": [coils[i][0] for i in sources], "targets": targets,
    }
    # The SSP projection the data had applied (active projectors) applies to the lead fields
    # too, or the mapping would read the removed field as missing signal.
    projector = ssp_projector([p for p in info["projs"] if p["active"]],
                              [names[i] for i in sources])
    if projector is not None:
        request["projector"] = projector.tolist()
    matrix = mapping_matrix(request, cache_dir)
    where = "magnetometers" if coils[places[0]][1] else "sensors"
    return Measured("meg", [names[i] + "_v" for i in places], [coil_of(i) for i in places],
                    [True] * len(places), matrix=matrix, sources=np.asarray(sources, int),
                    note=f"{len(sources)} MEG channels mapped onto {len(places)} virtual "
                         f"magnetometers at the {where}' places")


def ssp_projector(projs, names):
    """I - U U' over the channels named, U an orthonormal basis of the projectors' vectors
    restricted to them (as SSP is applied); None when no vector touches them."""
    vectors = []
    for proj in projs:
        columns = {name: k for k, name in enumerate(proj["data"]["col_names"])}
        for row in np.atleast_2d(proj["data"]["data"]):
            vector = np.array([row[columns[n]] if n in columns else 0.0 for n in names])
            if np.linalg.norm(vector) > 0:
                vectors.append(vector / np.linalg.norm(vector))
    if not vectors:
        return None
    u, s, _ = np.linalg.svd(np.array(vectors).T, full_matrices=False)
    u = u[:, s > s[0] * 1e-2]  # nearly dependent vectors remove one direction, not two
    return np.eye(len(names)) - u @ u.T


def helper_path():
    """contourmap-fieldmap: named by CONTOURMAP_FIELDMAP, in the bin folder of the prefix this
    package is installed under, in the build folder the package was assembled in or the source
    tree's build folder, or on PATH."""
    named = os.environ.get(HELPER_VARIABLE)
    if named:
        return named
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
    candidates = [os.path.join(os.environ.get("CM3D_BUILD_DIR") or os.path.join(root, "build"),
                               "fieldmap", "megmapping", HELPER)]
    while os.path.dirname(here) != here:
        here = os.path.dirname(here)
        candidates += [os.path.join(here, "bin", HELPER),
                       os.path.join(here, "fieldmap", "megmapping", HELPER)]
    for candidate in candidates + [shutil.which(HELPER) or ""]:
        if os.access(candidate, os.X_OK):
            return candidate
    raise ConversionError(f"the field mapping program {HELPER} is not found: build ContourMap3D "
                          f"(./run build) or name it in {HELPER_VARIABLE}")


def cache_folder():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "contourmap3d")


def mapping_matrix(request, cache_dir):
    """The mapping for this layout, from the cache when it was made before: it depends only on
    the coils, the origin and the bad channels, so every conversion of a session's files (and a
    long recording's every page) shares one."""
    text = json.dumps(request, sort_keys=True)
    key = hashlib.sha256(text.encode()).hexdigest()[:24]
    cached = os.path.join(cache_dir, f"meg-{key}.npy") if cache_dir else None
    if cached and os.path.isfile(cached):
        try:
            return np.load(cached)
        except (OSError, ValueError):
            pass  # a damaged copy is made again
    with tempfile.TemporaryDirectory(prefix="cm3d-fieldmap-") as folder:
        layout, out = os.path.join(folder, "layout.json"), os.path.join(folder, "mapping.npy")
        with open(layout, "w", encoding="utf-8") as handle:
            handle.write(text)
        try:
            done = subprocess.run([helper_path(), layout, out], capture_output=True, text=True,
                                  timeout=600)
        except OSError as error:
            raise ConversionError(f"cannot run {HELPER}: {error.strerror or error}")
        if done.returncode != 0:
            lines = done.stderr.strip().splitlines() or [f"status {done.returncode}"]
            raise ConversionError(f"the field mapping failed: {lines[-1]}")
        matrix = np.load(out)
        if cached:
            try:
                os.makedirs(cache_dir, exist_ok=True)
                os.replace(out, cached)
            except OSError:
                pass  # no cache: the next conversion computes it again
    return matrix
