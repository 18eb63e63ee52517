"""What a screen reader learns of the window through AT-SPI: the window is a frame, the
captions are labels, the page list is named after the list chosen (also after choosing
another one), and the command box's description names the command words.

    atspi_check.py PROGRAM      (in a display and a D-Bus session; see atspi_check.sh)
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi


def wait_for(what, find, seconds=20, program=None):
    end = time.time() + seconds
    while time.time() < end:
        if program is not None and program.poll() is not None:
            sys.exit(f"FAIL: the program ended with status {program.returncode}")
        found = find()
        if found:
            return found
        time.sleep(0.2)
    sys.exit(f"FAIL: {what}")


def nodes(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child)


def the_frame():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is not None and window.name.startswith("Holmtex Notiz"):
                return window
    return None


def named(frame, name, roles):
    for node in nodes(frame):
        if node.name == name and node.getRole() in roles:
            return node
    return None


def main():
    program = sys.argv[1]
    failures = []

    def expect(condition, what):
        print(("ok    " if condition else "FAIL  ") + what)
        if not condition:
            failures.append(what)

    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        holmtex = subprocess.Popen([program, folder], env=env)
        try:
            frame = wait_for("the window on the accessibility bus", the_frame, program=holmtex)
            expect(frame.getRole() == pyatspi.ROLE_FRAME,
                   f"the window is a frame ({frame.getRoleName()})")
            for caption in ("Familie 1", "Familie2", "Kinder, Familie 1", "Vorgang Nr.",
                            "Sucheingabe oder Funktionsbefehl"):
                expect(named(frame, caption, [pyatspi.ROLE_LABEL]) is not None,
                       f"'{caption}' is a label")
            lists = [pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX]
            expect(named(frame, "gespeicherte Merkseiten AKTUELL", lists) is not None,
                   "the list is named 'gespeicherte Merkseiten AKTUELL'")

            option = named(frame, "Allgemein", [pyatspi.ROLE_RADIO_BUTTON])
            expect(option is not None, "'Allgemein' is a radio button")
            if option is not None:
                option.queryAction().doAction(0)
                listed = wait_for(
                    "the list named after ALLGEMEIN",
                    lambda: named(frame, "gespeicherte Merkseiten ALLGEMEIN", lists), 10)
                expect(listed is not None, "after choosing 'Allgemein' the list is named "
                       "'gespeicherte Merkseiten ALLGEMEIN'")

            box = named(frame, "Sucheingabe oder Funktionsbefehl",
                        [pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY])
            description = box.description if box is not None else ""
            expect("hilfe" in description and "gedcom!" in description,
                   f"the command box describes the command words ({description})")
        finally:
            holmtex.terminate()
            holmtex.wait(10)
    if failures:
        sys.exit(f"{len(failures)} check(s) failed")


if __name__ == "__main__":
    main()
