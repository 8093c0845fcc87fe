import os

import nbformat
from nbclient import NotebookClient


def test_notebook_runs_headless_and_shows_its_maps(request):
    path = request.config.option.notebook
    notebook = nbformat.read(path, as_version=4)
    # Raises CellExecutionError, with the cell and its traceback, when a cell fails.
    NotebookClient(notebook, timeout=600, kernel_name="python3",
                   resources={"metadata": {"path": os.path.dirname(path)}}).execute()
    outputs = [o for cell in notebook.cells if cell.cell_type == "code" for o in cell.outputs]
    kinds = [k for o in outputs for k in o.get("data", {})]
    assert kinds.count("image/png") == 2 and kinds.count("image/gif") == 1
    printed = "".join(o.get("text", "") for o in outputs if o.output_type == "stream")
    html, = [word for word in printed.split() if word.endswith("report.html")]
    with open(html, encoding="utf-8") as report:
        assert report.read().count("data:image/png;base64") >= 3
