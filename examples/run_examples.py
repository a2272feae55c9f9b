"""Runs the Python examples so that they never rot: every notebook in this folder, top to
bottom in a fresh kernel, and the ```python blocks of docs/python.md in order in one namespace.
Any example that raises fails the run (exit status 1). The kv4410 module must be importable
(PYTHONPATH=build/dev/python); notebooks run in a temporary folder, so nothing is written
beside them.

    PYTHONPATH=build/dev/python /usr/bin/python3 examples/run_examples.py
"""
import contextlib
import io
import os
import pathlib
import re
import sys
import tempfile

import nbclient
import nbformat

HERE = pathlib.Path(__file__).resolve().parent
DOCS = HERE.parent / "docs" / "python.md"


def run_notebook(path, folder):
    notebook = nbformat.read(path, as_version=4)
    client = nbclient.NotebookClient(notebook, timeout=600, kernel_name="python3",
                                     resources={"metadata": {"path": folder}})
    client.execute()


def run_document(path, folder):
    blocks = re.findall(r"^```python\n(.*?)^```", path.read_text(), re.S | re.M)
    if not blocks:
        raise RuntimeError(f"{path} has no python blocks")
    namespace = {"__name__": "__docs__"}
    for number, block in enumerate(blocks, 1):
        printed = io.StringIO()
        try:
            with contextlib.redirect_stdout(printed):
                exec(compile(block, f"{path.name} block {number}", "exec"), namespace)
        except BaseException:
            print(printed.getvalue(), end="")  # what the block printed helps to see why
            raise
    return len(blocks)


def main():
    # The kernel's debugger would warn about the interpreter's frozen modules at every start.
    os.environ.setdefault("PYDEVD_DISABLE_FILE_VALIDATION", "1")
    # The kernels start in a temporary folder: a relative PYTHONPATH must not depend on it.
    os.environ["PYTHONPATH"] = os.pathsep.join(
        str(pathlib.Path(entry).resolve())
        for entry in os.environ.get("PYTHONPATH", "").split(os.pathsep) if entry)
    failed = False
    with tempfile.TemporaryDirectory() as folder:
        for notebook in sorted(HERE.glob("*.ipynb")):
            try:
                run_notebook(notebook, folder)
                print(f"ran {notebook.name}")
            except Exception as error:  # every failure is reported, then the next example runs
                print(f"FAILED {notebook.name}: {error}", file=sys.stderr)
                failed = True
        try:
            print(f"ran {run_document(DOCS, folder)} blocks of {DOCS.name}")
        except Exception as error:
            print(f"FAILED {DOCS.name}: {error!r}", file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
