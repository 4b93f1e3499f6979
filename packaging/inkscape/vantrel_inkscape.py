#!/usr/bin/env python3
"""Extensions > Vantrel > Send to cutter, and Registration marks: Inkscape's side
of vantrel-cut.

All the cutting, and every mark, is vantrel-cut's. This adapter hands it a copy of the drawing
(the selection alone when there is one, text turned into outlines) and the
dialog's values, and says in one sentence how it went. The drawing on the
canvas is never changed, and the copy only ever travels through pipes, so no
file is left behind.
"""
import copy
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import inkex
from lxml import etree

SVG_NAMESPACE = "{http://www.w3.org/2000/svg}"
DEFS = SVG_NAMESPACE + "defs"
INKSCAPE_NAMESPACE = "{http://www.inkscape.org/namespaces/inkscape}"
# The layer of printed marks: vantrel-cut writes it, prints it and never cuts it.
MARKS_LABEL = "Registration marks"
ADD_MARKS = "add them with Extensions > Vantrel > Registration marks..., print the page with them (File > Print)"
# Inches per unit of an SVG length.
INCHES_PER = {"": 1 / 96, "px": 1 / 96, "in": 1, "mm": 1 / 25.4, "cm": 1 / 2.54, "pt": 1 / 72, "pc": 1 / 6}

# Where a user whose machine is not reached reads on.
NOT_FOUND_HELP = ("Check the connection on the Machine tab says what is wrong and how to fix it; see also \"When "
                  "the machine is not found\" in Vantrel's README.")

# What each exit status of vantrel-cut means, and what to do about it.
# {detail} is vantrel-cut's own last line.
OUTCOMES = {
    1: "Something unexpected went wrong: {detail}.",
    2: "Nothing was sent, vantrel-cut refused the drawing or a value: {detail}.",
    3: "The connection to the cutter was lost ({detail}): check the USB cable and that the machine is on, "
       "then send again.",
    4: "No cutter to send to ({detail}): check that the machine is on and connected by USB; with several machines, "
       "name one on the Machine tab (List machines shows them). " + NOT_FOUND_HELP,
    5: "This user may not open the cutter: install the udev rule 60-vantrel.rules as Vantrel's README says, then "
       "plug the machine in again. " + NOT_FOUND_HELP,
    6: "The cutter is in use by another program or driver ({detail}): close the other program, or stop the print "
       "queue that holds it, then send again. " + NOT_FOUND_HELP,
    7: "The cutter stayed busy or did not answer ({detail}): check that it is loaded and ready, then send again.",
    8: "The cutter stopped taking the job ({detail}): check it for a jam or an error light, then send again; a "
       "longer stall limit on the Machine tab gives a slow machine more time.",
    9: "Registration marks not found, so nothing was cut: load the printed page with its marks and send again, "
       "or tick \"Cut even when the registration marks are not found\" on the Machine tab.",
    130: "The cut was interrupted: {detail}.",
}


class Failure(Exception):
    """One sentence for the user: the run ends here."""


class Messages:
    """Inkscape shows what an extension writes on standard error in a window
    that waits for OK; VANTREL_INKSCAPE_MESSAGES names a file to take the
    sentences instead, so that a run under test never waits."""

    def __init__(self):
        self.sentences = []

    def say(self, sentence):
        self.sentences.append(sentence)

    def flush(self):
        if not self.sentences:
            return
        text = "\n".join(self.sentences) + "\n"
        target = os.environ.get("VANTREL_INKSCAPE_MESSAGES")
        if target:
            with open(target, "a", encoding="utf-8") as stream:
                stream.write(text)
        else:
            sys.stderr.write(text)
            sys.stderr.flush()


class Child:
    """The one program running for us; a signal that ends Inkscape's run is
    passed on, so vantrel-cut releases the machine and says how far it got.
    One that comes before vantrel-cut starts stops the run there."""

    process = None
    stopped = False

    @classmethod
    def run(cls, command, data):
        if cls.stopped:
            raise Failure("Stopped before anything was sent.")
        try:
            cls.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE)
        except OSError as error:
            raise Failure(f"{command[0]} could not be started: {error.strerror}.") from error
        try:
            out, err = cls.process.communicate(data)
            return cls.process.returncode, out, err.decode("utf-8", "replace")
        finally:
            cls.process = None

    @classmethod
    def pass_on(cls, number, _frame):
        cls.stopped = True
        if cls.process is not None and cls.process.poll() is None:
            cls.process.send_signal(number)


def is_program(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_vantrel_cut():
    """VANTREL_CUT when it is set, else the one installed beside this file, else PATH."""
    named = os.environ.get("VANTREL_CUT")
    if named:
        if is_program(named):
            return named
        raise Failure(f"VANTREL_CUT names {named}, which is not a program that can be run: "
                      "set it to vantrel-cut, or unset it.")
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vantrel-cut")
    if is_program(beside):
        return beside
    found = shutil.which("vantrel-cut")
    if found:
        return found
    raise Failure(f"vantrel-cut was not found: not beside the extension ({beside}), not on PATH "
                  f"({os.environ.get('PATH', '')}), and VANTREL_CUT is not set; run ./vantrel inkscape-install "
                  "in Vantrel's source folder again.")


def keep_only(chosen):
    """Leaves only `chosen` (and what they hold) drawn in their document: every
    other shape is wrapped in a defs element where it stands, so a clone of it
    in the selection still finds it, with its own transform, as SVG draws a
    clone of anything."""
    chosen = {e for e in chosen if not any(a in chosen for a in e.iterancestors())}
    lines = {a for e in chosen for a in e.iterancestors()}
    for parent in lines:
        for child in list(parent):
            if child in chosen or child in lines or not isinstance(child.tag, str):
                continue
            if child.tag == DEFS or not child.tag.startswith(SVG_NAMESPACE):
                continue
            holder = etree.Element(DEFS)
            child.addprevious(holder)
            holder.append(child)


def selected_ids(svg):
    """The selection's ids: Inkscape 1.1 and later have svg.selection, 1.0 svg.selected."""
    selection = getattr(svg, "selection", None)
    if selection is not None:
        return list(selection.ids)
    return list(getattr(svg, "selected", {}).keys())


def marks_layers(root):
    return [e for e in root.iter(SVG_NAMESPACE + "g")
            if e.get(INKSCAPE_NAMESPACE + "groupmode") == "layer" and e.get(INKSCAPE_NAMESPACE + "label") == MARKS_LABEL]


def inches_of_user_units(root):
    """The root's user units in inches, as (scale x, scale y, offset x, offset y):
    its width and height over its viewBox, as SVG sizes a page."""
    def inches(name):
        found = re.fullmatch(r"\s*([-+0-9.eE]+)\s*([a-z]*)\s*", root.get(name) or "")
        return float(found.group(1)) * INCHES_PER[found.group(2)] if found and found.group(2) in INCHES_PER else None
    box = [float(v) for v in re.split(r"[\s,]+", (root.get("viewBox") or "").strip()) if v]
    if len(box) != 4 or box[2] <= 0 or box[3] <= 0:
        return 1 / 96, 1 / 96, 0, 0
    width, height = inches("width"), inches("height")
    sx = width / box[2] if width else (height / box[3] if height else 1 / 96)
    sy = height / box[3] if height else sx
    return sx, sy, -box[0] * sx, -box[1] * sy


def marks_box(svg):
    """The box the printed marks span, in inches as vantrel-cut reads the page
    ("X,Y,W,H"), measured from the marks layer where it stands."""
    layers = marks_layers(svg)
    if not layers:
        raise Failure(f"Nothing was sent: Print and Cut needs the registration marks on the page; {ADD_MARKS}, "
                      "then send again.")
    sx, sy, ox, oy = inches_of_user_units(svg)
    edges = None
    for layer in layers:
        parent = layer.getparent()
        box = layer.bounding_box(parent.composed_transform() if parent is not svg else None)
        if box is None:
            continue
        box = (box.x.minimum, box.y.minimum, box.x.maximum, box.y.maximum)
        edges = box if edges is None else (min(edges[0], box[0]), min(edges[1], box[1]),
                                           max(edges[2], box[2]), max(edges[3], box[3]))
    if edges is None:
        raise Failure(f"Nothing was sent: the layer \"{MARKS_LABEL}\" holds no marks; {ADD_MARKS} again, "
                      "then send again.")
    left, top = edges[0] * sx + ox, edges[1] * sy + oy
    return ",".join(repr(v) for v in (left, top, edges[2] * sx + ox - left, edges[3] * sy + oy - top))


def detail_of(errors):
    """vantrel-cut's last message, naming the drawing as the user knows it."""
    lines = [line[len("vantrel-cut: "):] for line in errors.splitlines() if line.startswith("vantrel-cut: ")]
    last = lines[-1] if lines else (errors.strip().splitlines() or ["no message"])[-1]
    # The sentences name the dialog's List machines where vantrel-cut names --list.
    return (last.replace("<stdin>", "the drawing").replace(" (see --list)", "")
            .replace("; nothing was sent (--yes cuts what fits)", "").rstrip("."))


def notes_of(errors):
    """What the drawing has that is not cut as drawn, one sentence a kind."""
    prefix = "vantrel-cut: <stdin>: "
    notes = []
    for line in errors.splitlines():
        note = line[len(prefix):] if line.startswith(prefix) else ""
        # --send told so, cutting what fits: the marks' tick box gave it --yes.
        if line.startswith("vantrel-cut: the job does not fit: "):
            note = line[len("vantrel-cut: "):].replace(" (--yes)", ", as the Machine tab says to "
                                                                    "cut even without the marks")
        if note.startswith("left out, cannot be cut: "):
            notes.append(f"Left out, cannot be cut: {note[len('left out, cannot be cut: '):]}.")
        elif note.startswith("the job does not fit: "):
            notes.append(f"The job does not fit: {note[len('the job does not fit: '):]}.")
        elif " cut solid (--dashes " in note:
            notes.append(note.split(" (--dashes ")[0].capitalize() + ": \"Dashed lines\" on the What to cut tab "
                         "can perforate them or leave them out.")
    return notes


def value_after(errors, prefix):
    for line in errors.splitlines():
        if line.startswith(prefix):
            return line[len(prefix):]
    return None


class SendToCutter(inkex.EffectExtension):
    def __init__(self):
        super().__init__()
        self.messages = Messages()
        self.status = 0

    def add_arguments(self, pars):
        # The values go to vantrel-cut as text: it checks them, so their ranges
        # and defaults live in one place. Absent, vantrel-cut's defaults apply.
        pars.add_argument("--tab")
        for name in ("cut_type", "force", "speed", "passes", "media_width", "device", "stall_limit", "file", "model",
                     "dashes"):
            pars.add_argument("--" + name)
        for name in ("blade_offset", "carrier_mat", "track_enhancing"):
            pars.add_argument("--" + name, type=inkex.Boolean)
        for name in ("cut_without_marks", "list_machines", "to_file", "check_connection"):
            pars.add_argument("--" + name, type=inkex.Boolean, default=False)
        pars.add_argument("--text_to_path", type=inkex.Boolean, default=True)
        pars.add_argument("--scope", choices=("selection", "drawing"), default="selection")
        pars.add_argument("--effect", default="send")

    def has_changed(self, ret):
        return False

    def effect(self):
        self.reporting_failures(self.act)

    def act(self):
        tool = find_vantrel_cut()
        if self.options.check_connection:
            self.check_connection(tool)
        elif self.options.list_machines:
            self.list_machines(tool)
        elif self.options.to_file:
            self.write_file(tool)
        else:
            self.send(tool)

    def reporting_failures(self, action):
        """Runs action; whatever goes wrong ends as one sentence, where the user (or the test) reads them."""
        try:
            action()
        except Failure as failure:
            self.messages.say(str(failure))
            self.status = self.status or 1
        except Exception as error:  # pylint: disable=broad-except
            self.messages.say(f"Something unexpected went wrong in the extension: {type(error).__name__}: {error}.")
            self.status = 1
        self.messages.flush()

    def cut_options(self):
        o = self.options
        words = []
        for name, value in (("cut-type", o.cut_type), ("force", o.force), ("speed", o.speed),
                            ("passes", o.passes), ("media-width", o.media_width), ("dashes", o.dashes)):
            if value is not None:
                words += [f"--{name}", value]
        for name in ("blade_offset", "carrier_mat", "track_enhancing"):
            if getattr(o, name) is not None:
                words += ["--" + name.replace("_", "-"), "on" if getattr(o, name) else "off"]
        return words

    def design(self):
        """The drawing as vantrel-cut is to read it: a copy without the marks, the
        selection alone when there is one, and text as outlines."""
        document = copy.deepcopy(self.document)
        # Printed, never cut (a plain copy with text as outlines would no longer say so).
        for layer in marks_layers(document.getroot()):
            layer.getparent().remove(layer)
        chosen = selected_ids(self.svg)
        if self.options.scope == "selection" and chosen:
            root = document.getroot()
            keep_only({root.getElementById(element_id) for element_id in chosen} - {None})
        data = etree.tostring(document)
        # A second Inkscape takes about half a second: only for text.
        if not self.options.text_to_path or not document.getroot().xpath("//svg:text|//svg:flowRoot"):
            return data
        inkscape = os.environ.get("INKSCAPE_COMMAND", "inkscape")
        status, out, err = Child.run([inkscape, "--pipe", "--export-type=svg", "--export-plain-svg",
                                      "--export-text-to-path", "--export-filename=-"], data)
        if status != 0 or not out.strip():
            raise Failure(f"Inkscape could not turn the text into outlines ({detail_of(err)}): untick \"Turn text "
                          "into outlines first\" on the What to cut tab to cut without the text.")
        return out

    def run_tool(self, command, data=b""):
        status, out, err = Child.run(command, data)
        if status != 0:
            self.status = status
            sentence = OUTCOMES.get(status, "vantrel-cut ended with status %d ({detail})." % status)
            raise Failure(sentence.format(detail=detail_of(err)))
        return out, err

    def marks_at(self, needed):
        """Print and Cut cuts against the marks printed with the page: their box."""
        if self.options.cut_type != "print-and-cut" or not (needed or marks_layers(self.svg)):
            return []
        try:
            return ["--marks-at", marks_box(self.svg)]
        except Failure:
            self.status = 2
            raise

    def send(self, tool):
        o = self.options
        command = [tool, "--send"] + self.cut_options() + self.marks_at(True)
        if o.device:
            command += ["--device", o.device]
        if o.stall_limit is not None:
            command += ["--stall-limit", o.stall_limit]
        # There is no terminal to ask whether to cut without the marks.
        command += ["--yes" if o.cut_without_marks else "--no", "-"]
        design = self.design()
        started = time.monotonic()
        _, err = self.run_tool(command, design)
        seconds = time.monotonic() - started
        # vantrel-cut's lines: identified as "CAMEO V1.10" (model 2); the job was sent: 285 bytes
        machine = (value_after(err, "vantrel-cut: identified as ") or "the machine").rsplit(" (model", 1)[0]
        sent = value_after(err, "vantrel-cut: the job was sent: ") or "every byte"
        self.messages.say(f"Sent to the cutter: {machine} took the whole job, {sent} in {seconds:.1f} s.")
        for note in notes_of(err):
            self.messages.say(note)

    def write_file(self, tool):
        o = self.options
        if not o.file:
            raise Failure("No file to write to: choose one on the Write to a file instead tab.")
        command = [tool, "--wire"] + (["--model", o.model] if o.model else []) + self.cut_options()
        command += self.marks_at(False)
        command += ["-o", o.file, "-"]
        _, err = self.run_tool(command, self.design())
        size = os.path.getsize(o.file)
        self.messages.say(f"The job was written to {o.file} ({size} bytes, as the machine would get them); "
                          "nothing was sent.")
        for note in notes_of(err):
            self.messages.say(note)

    def list_machines(self, tool):
        status, out, err = Child.run([tool, "--list"], b"")
        found = out.decode("utf-8", "replace").strip()
        if status == 0:
            self.messages.say("The machines vantrel-cut finds (nothing was cut):\n" + found)
        else:
            self.status = status
            self.messages.say(OUTCOMES.get(status, "{detail}").format(detail=found or detail_of(err)))

    def check_connection(self, tool):
        """vantrel-cut --doctor's lines, one finding each with its fix."""
        status, out, err = Child.run([tool, "--doctor"], b"")
        found = out.decode("utf-8", "replace").strip() or detail_of(err)
        self.status = status
        heading = ("The cutter is ready (nothing was cut):" if status == 0 else
                   "The cutter cannot be used yet; what vantrel-cut finds, each with its fix (see \"When the machine "
                   "is not found\" in Vantrel's README):")
        self.messages.say(heading + "\n" + found)


class RegistrationMarks(SendToCutter):
    """Extensions > Vantrel > Registration marks: vantrel-cut's marks around
    what Send to cutter would cut, as a locked layer of the drawing."""

    def has_changed(self, ret):
        return self.status == 0

    def effect(self):
        self.reporting_failures(lambda: self.add_marks(find_vantrel_cut()))

    def add_marks(self, tool):
        # vantrel-cut writes its page as a file; the folder goes with the run.
        with tempfile.TemporaryDirectory(prefix="vantrel-") as folder:
            page = os.path.join(folder, "marks.svg")
            _, err = self.run_tool([tool, "--marks-svg", page, "--model", self.options.model or "2", "--yes", "-"],
                                   self.design())
            marks = [e for e in marks_layers(etree.parse(page).getroot())]
        if len(marks) != 1:
            raise Failure("vantrel-cut wrote no layer of registration marks: nothing was changed.")
        for old in marks_layers(self.svg):
            old.getparent().remove(old)
        self.svg.append(marks[0])
        what = "the selection" if self.options.scope == "selection" and selected_ids(self.svg) else "the visible layers"
        self.messages.say(f"Registration marks added around {what}, in the locked layer \"{MARKS_LABEL}\": print the "
                          "page with them (File > Print), load it into the machine, then Send to cutter with Print "
                          "and Cut.")
        prefix = "vantrel-cut: the registration marks "
        for line in err.splitlines():
            if line.startswith(prefix):
                self.messages.say("Mind: the marks " + line[len(prefix):] + ".")


def main():
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, Child.pass_on)
    extension = RegistrationMarks() if "--effect=marks" in sys.argv else SendToCutter()
    extension.run()
    sys.exit(extension.status)


if __name__ == "__main__":
    main()
