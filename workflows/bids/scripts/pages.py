"""The study's browsable pages: one per subject (every recording with its facts, pictures and
movie) and one for the dataset (every recording in a table, the failed ones with their reason).
Written by the Snakefile's page rules, inside Snakemake's own process: they are light, and a
Python interpreter started for each would cost more than the page."""

import html
import json
import os

MAP_NAMES = {"time": "time-domain map", "frequency": "frequency map", "spectral": "spectral map"}
KIND_NAMES = {"raw": "raw", "evoked": "evoked", "epochs": "epochs"}
SENSOR_NAMES = {"mag": "magnetometers (fT)", "grad": "planar gradiometers (fT/cm)"}

STYLE = """
body { font-family: sans-serif; margin: 1.5em; color: #222; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border-bottom: 1px solid #ccc; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
.failed { color: #a00; }
.pictures { display: flex; flex-wrap: wrap; gap: 0.8em; }
figure { margin: 0; }
figcaption { font-size: 0.85em; color: #555; }
img.thumb { width: 180px; }
section { margin-bottom: 2.5em; }
"""


def esc(value):
    return html.escape(str(value))


def rel(target, page):
    return os.path.relpath(target, os.path.dirname(page) or ".")


def load(rec):
    with open(f"work/{rec}_info.json") as f:
        return json.load(f)


def outputs(rec, info, pictures, movie):
    """[(caption, picture)] and the movie's path or None, as the workflow names them."""
    if not info["ok"]:
        return [], None
    shots = [(f"{MAP_NAMES[m]}, {s}, {v}", f"{rec}_{m}_{s}_{v}.png") for m, s, v in pictures]
    return shots, (f"{rec}_movie.mp4" if movie and info.get("response") else None)


def channels(info):
    c = info.get("channels", {})
    parts = [f"{c[t]} {t}" for t in ("mag", "grad", "eeg") if c.get(t)]
    return ", ".join(parts) or "?"


def projectors(info):
    projs = info.get("projectors", [])
    if not projs:
        return "none"
    state = "applied" if info.get("projectors_applied") else "not applied"
    return f"{len(projs)} {state} ({', '.join(projs)})"


def events(info):
    if info.get("kind") == "raw":
        return str(info.get("events", "?"))
    if info.get("kind") == "evoked":
        return f"evoked '{info.get('condition')}', {info.get('nave')} averaged"
    if info.get("kind") == "epochs":
        return f"{info.get('epochs')} epochs"
    return "?"


def describe_settings(settings):
    sensor = {"auto": "magnetometers where present", "mag": "magnetometers",
              "grad": "planar gradiometers"}[settings["ch_type"]]
    time = "the global field power's peak" if settings["time"] is None else f"{settings['time']} s"
    freq = "the largest mean power" if settings["freq"] is None else f"{settings['freq']} Hz"
    proj = "applied" if settings["projectors"] else "not applied"
    return (f"Sensor type: {sensor}; SSP projectors {proj}; time-domain maps at {time}, "
            f"frequency maps at {freq}; pictures {settings['size']}.")


def page(title, body):
    return (f"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            f"<title>{esc(title)}</title><style>{STYLE}</style></head>\n<body>\n{body}\n"
            f"</body></html>\n")


def facts_rows(info):
    if not info["ok"]:
        return [("failed", f"<span class=\"failed\">{esc(info['reason'])}</span>")]
    rows = [("data", esc(KIND_NAMES.get(info.get("kind"), "?"))),
            ("sensor type shown", esc(SENSOR_NAMES.get(info.get("sensor_type"), "?"))),
            ("channels", esc(channels(info))),
            ("bad channels", esc(", ".join(info.get("bad", [])) or "none")),
            ("SSP projectors", esc(projectors(info))),
            ("events", esc(events(info))),
            ("sampling", f"{info.get('sfreq', 0):g} Hz, {info.get('duration', 0):.1f} s")]
    if info.get("note"):
        rows.append(("note", esc(info["note"])))
    return rows


def subject_page(out, recordings, pictures, movie):
    sub = os.path.dirname(out)
    parts = [f"<p><a href=\"{rel('index.html', out)}\">dataset</a></p><h1>{esc(sub)}</h1>"]
    for rec, path in recordings.items():
        info = load(rec)
        name = os.path.basename(rec)
        parts.append(f"<section id=\"{esc(name)}\"><h2>{esc(name)}</h2>")
        parts.append(f"<p><code>{esc(path)}</code></p><table>")
        parts += [f"<tr><th>{k}</th><td>{v}</td></tr>" for k, v in facts_rows(info)]
        parts.append("</table>")
        shots, film = outputs(rec, info, pictures, movie)
        if shots or film:
            parts.append("<div class=\"pictures\">")
            for caption, picture in shots:
                parts.append(f"<figure><a href=\"{esc(rel(picture, out))}\"><img src=\""
                             f"{esc(rel(picture, out))}\" width=\"320\" alt=\"{esc(caption)}\">"
                             f"</a><figcaption>{esc(caption)}</figcaption></figure>")
            if film:
                parts.append(f"<figure><video src=\"{esc(rel(film, out))}\" width=\"320\" "
                             f"controls loop muted></video><figcaption>the response over the "
                             f"movie's window</figcaption></figure>")
            parts.append("</div>")
        parts.append("</section>")
    return page(sub, "\n".join(parts))


def dataset_page(out, recordings, pictures, movie, root, settings):
    name = os.path.basename(root)
    try:
        with open(os.path.join(root, "dataset_description.json")) as f:
            name = json.load(f).get("Name") or name
    except (OSError, ValueError):
        pass
    infos = {rec: load(rec) for rec in recordings}
    failed = [rec for rec, info in infos.items() if not info["ok"]]
    subjects = sorted({rec.split("/")[0] for rec in recordings})
    parts = [f"<h1>{esc(name)}</h1>",
             f"<p>{len(recordings)} recordings of {len(subjects)} subjects: "
             f"{len(recordings) - len(failed)} shown, {len(failed)} failed. "
             f"<code>{esc(root)}</code></p>",
             f"<p>{esc(describe_settings(settings))}</p>"]
    if failed:
        parts.append("<h2 class=\"failed\">Recordings that failed</h2><table>"
                     "<tr><th>recording</th><th>reason</th></tr>")
        parts += [f"<tr><td>{esc(rec)}</td><td class=\"failed\">{esc(infos[rec]['reason'])}"
                  f"</td></tr>" for rec in failed]
        parts.append("</table>")
    parts.append("<h2>Recordings</h2><table><tr><th>subject</th><th>recording</th><th>data</th>"
                 "<th>sensor type</th><th>channels</th><th>SSP projectors</th><th>events</th>"
                 "<th>map</th><th>movie</th></tr>")
    for rec, info in infos.items():
        sub = rec.split("/")[0]
        link = f"{sub}/index.html"
        shots, film = outputs(rec, info, pictures, movie)
        # The smooth time-domain map where there is one: it reads best at this size.
        shots.sort(key=lambda shot: ", smooth," not in shot[0])
        thumb = (f"<a href=\"{esc(link)}#{esc(os.path.basename(rec))}\"><img class=\"thumb\" "
                 f"src=\"{esc(shots[0][1])}\" alt=\"{esc(shots[0][0])}\"></a>" if shots else "")
        if info["ok"]:
            cells = [KIND_NAMES.get(info.get("kind"), "?"), info.get("sensor_type", "?"),
                     channels(info), projectors(info), events(info)]
            row = "".join(f"<td>{esc(c)}</td>" for c in cells)
        else:
            row = f"<td colspan=\"5\" class=\"failed\">failed: {esc(info['reason'])}</td>"
        film_cell = f"<a href=\"{esc(film)}\">movie</a>" if film else ""
        parts.append(f"<tr><td><a href=\"{esc(link)}\">{esc(sub)}</a></td><td><a href=\""
                     f"{esc(link)}#{esc(os.path.basename(rec))}\">{esc(os.path.basename(rec))}"
                     f"</a></td>{row}<td>{thumb}</td><td>{film_cell}</td></tr>")
    parts.append("</table>")
    return page(name, "\n".join(parts))


def write(out, recordings, pictures, movie, root, settings):
    """Writes the dataset page (out index.html) or a subject's (SUBJECT/index.html)."""
    if out == "index.html":
        text = dataset_page(out, recordings, pictures, movie, root, settings)
    else:
        text = subject_page(out, recordings, pictures, movie)
    with open(out, "w") as f:
        f.write(text)
