"""Finding the MEG recordings of a BIDS dataset, the way BIDS names them."""

import re
from pathlib import Path

# SUBJECT[_ses-..][_task-..]..._meg.EXT; split FIF files are opened from their first part, and
# a 4D/BTi recording is a folder of its own. Evoked and epochs files of a derivative dataset end
# in _ave.fif and _epo.fif.
_RECORDING = re.compile(
    r"^(?P<stem>sub-[^_/]+(?:_[a-zA-Z]+-[^_/]+)*?)(?:_split-01)?_(?P<suffix>meg|ave|epo)"
    r"(?P<ext>\.fif|\.fif\.gz|\.ds|\.sqd|\.con|\.kdf|\.bin|\.raw|)$")
_LATER_SPLIT = re.compile(r"_split-(?!01_)\d+_")


def find_recordings(root):
    """{name: path}: name is the recording's place in the dataset without the _meg suffix and the
    extension (sub-01/ses-1/meg/sub-01_ses-1_task-rest_run-1), the stem of everything made from
    it; path is the file or folder the programs open."""
    root = Path(root)
    found = {}
    for meg in sorted(root.glob("sub-*/meg")) + sorted(root.glob("sub-*/ses-*/meg")):
        for entry in sorted(meg.iterdir()):
            m = _RECORDING.match(entry.name)
            if not m or _LATER_SPLIT.search(entry.name):
                continue
            path = entry
            if m["ext"] == "":
                # 4D/BTi: the data file (c,rfDC and the like) inside the recording's folder.
                data = sorted(p for p in entry.iterdir() if p.name.startswith(("c,", "e,"))) \
                    if entry.is_dir() else []
                if not data:
                    continue
                path = data[0]
            suffix = "" if m["suffix"] == "meg" else "_" + m["suffix"]
            found[str(meg.relative_to(root) / (m["stem"] + suffix))] = str(path)
    return dict(sorted(found.items()))
