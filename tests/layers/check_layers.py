#!/usr/bin/env python3
"""Checks every #include "..." in src/ against the layer order.

An area (a folder directly in src/) may include its own files and those of
the areas in lower layers; never an area of its own layer or of a higher one.
The portable core of an area (the files directly in its folder) never
includes Win32 code (a win32/ folder of any area). Each area's README.md has
a "May use:" line, which must name exactly the areas below it here.

Prints one line per broken rule, naming the file, the line and the include,
and exits 1; prints a summary and exits 0 when every include keeps the order.
"""
import pathlib
import re
import sys

# Lowest first. The vocabulary everyone speaks sits at the bottom; the plug-in,
# which ties every part together, at the top.
LAYERS = [
    ["support"],                # owners of handles and GDI objects, resource text
    ["settings"],               # settings, profile, measurement text, resolution range
    ["cutdata"],                # path model, command language, cut stream, marks
    ["design", "job"],          # design files read into paths; settings and a design made a job
    ["log", "toolpath"],        # the diagnostics log; the tool path read back from a job, and its pictures
    ["device"],                 # the link to the cutter
    ["ui"],                     # drawn controls, preview, dialog base
    ["operations", "tools"],    # mark search, test cut, knife point; calibration, presets, help, About
    ["session"],                # one cut over a machine link, for vantrel-cut --send
    ["plugin"],                 # exports, application, main dialog, the job run
]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
MAY_USE = re.compile(r"^May use:\s*(.*)$", re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inl"}


def layer_of(area):
    for index, areas in enumerate(LAYERS):
        if area in areas:
            return index
    return None


def allowed(area):
    """The areas `area` may use besides itself, lowest first."""
    below = LAYERS[: layer_of(area)]
    return [name for layer in below for name in layer]


def readme_problems(src):
    problems = []
    areas = [p.name for p in src.iterdir() if p.is_dir() and any(f.suffix in SOURCE_SUFFIXES for f in p.rglob("*"))]
    for area in sorted(areas):
        if layer_of(area) is None:
            problems.append(f"src/{area}: no layer given: add it to LAYERS in {pathlib.Path(__file__).name}")
            continue
        readme = src / area / "README.md"
        match = MAY_USE.search(readme.read_text(encoding="utf-8")) if readme.exists() else None
        if not match:
            problems.append(f"src/{area}/README.md: no \"May use:\" line")
            continue
        named = [n.strip() for n in match.group(1).rstrip(".").split(",") if n.strip()]
        if named == ["nothing"]:
            named = []
        if sorted(named) != sorted(allowed(area)):
            problems.append(f"src/{area}/README.md: \"May use: {match.group(1)}\" but the layer order allows: "
                            f"{', '.join(allowed(area)) or 'nothing'}")
    return problems


def include_problems(src, root):
    problems = []
    checked = 0
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(src)
        area = relative.parts[0]
        if len(relative.parts) < 2 or layer_of(area) is None:
            continue
        core = len(relative.parts) == 2
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            where = f"{path.relative_to(root)}:{number}: #include \"{target}\""
            if (path.parent / target).exists() and not (src / target).exists():
                resolved = (path.parent / target).resolve().relative_to(src.resolve())
            elif (src / target).exists():
                resolved = pathlib.PurePosixPath(target)
            else:
                continue  # resources, generated headers, libraries: no layer
            checked += 1
            target_area = resolved.parts[0]
            if core and "win32" in resolved.parts[1:-1]:
                problems.append(f"{where}: the portable core of {area} includes Win32 code")
            if target_area == area:
                continue
            if layer_of(target_area) is None:
                problems.append(f"{where}: {target_area} has no layer")
            elif target_area not in allowed(area):
                how = "a higher" if layer_of(target_area) > layer_of(area) else "its own"
                problems.append(f"{where}: {area} may not use {target_area} ({how} layer); "
                                f"{area} may use: {', '.join(allowed(area)) or 'nothing'}")
    return problems, checked


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
    src = root / "src"
    problems = readme_problems(src)
    found, checked = include_problems(src, root)
    problems += found
    for problem in problems:
        print(problem)
    if problems:
        print(f"layers: {len(problems)} against the order "
              + " < ".join("/".join(layer) for layer in LAYERS))
        return 1
    print(f"layers: {checked} includes between src/ files keep the order "
          + " < ".join("/".join(layer) for layer in LAYERS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
