#!/usr/bin/python3
"""Walks every window and settings page of Ticova as a screen reader sees them (AT-SPI) and
checks that every control the user works with has a name, in English, German and French, and
that the tempo read-out says the tempo.

Runs the program on a private X display (Xvfb) inside a private session bus
(dbus-run-session), so nothing of the desktop it is started from is touched. Exits 77 (skipped)
with a message when one of the tools it needs is missing.

    accessible-controls.py PATH-TO-ticova LANG-FOLDER
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TEMPO = 137

# Roles of the controls a user works with; anything else focusable counts too.
INTERACTIVE_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "slider",
    "spin button", "text", "entry", "password text", "list", "list box", "table", "tree",
    "tree table", "page tab", "tool bar button",
}
# Containers and read-only parts that take the focus only to pass it on.
NOT_CONTROLS = {
    "frame", "dialog", "window", "menu bar", "menu", "popup menu", "menu item", "page tab list",
    "scroll bar", "label", "filler", "panel", "status bar", "tool bar", "separator", "application",
    "scroll pane", "viewport", "table cell", "list item", "table column header", "table row header",
    "header", "column header", "row header",
}


def skip(why):
    print(f"accessible-controls: skipped: {why}")
    sys.exit(SKIP)


def check_tools():
    for tool in ("dbus-run-session", "Xvfb"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed (scripts/install-deps installs it)")
    if not any(os.path.exists(p) for p in ("/usr/libexec/at-spi-bus-launcher",
                                           "/usr/lib/at-spi2-core/at-spi-bus-launcher")):
        skip("at-spi2-core is not installed (scripts/install-deps installs it)")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        skip("python3-pyatspi is not installed (scripts/install-deps installs it)")


def start_display():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        server.kill()
        skip("Xvfb did not start")
    return server, ":" + number.decode().strip()


class Walk:
    def __init__(self, pyatspi, language):
        self.pyatspi = pyatspi
        self.language = language
        self.controls = 0
        self.unnamed = []

    def showing(self, node):
        try:
            return node.getState().contains(self.pyatspi.STATE_SHOWING)
        except Exception:
            return False

    def is_control(self, node):
        role = node.getRoleName()
        if role in NOT_CONTROLS:
            return False
        if role in INTERACTIVE_ROLES:
            return True
        return node.getState().contains(self.pyatspi.STATE_FOCUSABLE)

    def label(self, node):
        """The name of what `node` is labelled by; empty for none."""
        for relation in node.getRelationSet():
            if relation.getRelationType() == self.pyatspi.RELATION_LABELLED_BY:
                for index in range(relation.getNTargets()):
                    target = relation.getTarget(index)
                    if target is not None and (target.name or "").strip():
                        return target.name.strip()
        return ""

    def spoken(self, node):
        """What a screen reader says for the control: its label, else its name."""
        return self.label(node) or (node.name or "").strip()

    def named(self, node):
        name = (node.name or "").strip()
        if self.label(node):
            return True
        if not name:
            return False
        if node.getRoleName() == "combo box":
            # A list "named" only by the item it shows says nothing of what it sets.
            items = []
            find(node, lambda n: items.append((n.name or "").strip()) if n is not node else False)
            return name not in items
        return True

    def window(self, window, where):
        def visit(node, path):
            if node is None or not self.showing(node):
                return
            if self.is_control(node):
                self.controls += 1
                if os.environ.get("TICOVA_ACCESSIBLE_LIST"):
                    print(f"  {self.language}: {where}: {node.getRoleName()} {self.spoken(node)!r} ({node.description!r})")
                if not self.named(node):
                    self.unnamed.append(f"{self.language}: {where}: {node.getRoleName()} at {path}"
                                        f" (description {node.description!r})")
            for index, child in enumerate(node):
                visit(child, path + [index])
        visit(window, [])


class Program:
    def __init__(self, pyatspi, folder, display, language):
        self.pyatspi = pyatspi
        self.folder = folder
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="C.UTF-8")
        env.pop("WAYLAND_DISPLAY", None)
        # A runtime folder of its own: a copy of Ticova started elsewhere by the same user would
        # otherwise be asked to come forward, and this one would end at once.
        runtime = os.path.join(folder, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env["XDG_RUNTIME_DIR"] = runtime
        self.env = env
        self.process = subprocess.Popen([os.path.join(folder, "ticova"), "--bpm", str(TEMPO)], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = None
        for _ in range(100):
            self.app = self.find_app()
            if self.app is not None and self.windows():
                break
            time.sleep(0.1)
        if self.app is None:
            raise RuntimeError("Ticova did not appear on the accessibility bus")

    def find_app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == self.process.pid:
                    return app
            except Exception:
                continue
        return None

    def windows(self):
        shown = []
        for window in self.app:
            try:
                if window is not None and window.getState().contains(self.pyatspi.STATE_SHOWING):
                    shown.append(window)
            except Exception:
                pass
        return shown

    def main_window(self):
        return self.windows()[0]

    def menu_item(self, menu, item):
        bar = next(child for child in self.main_window() if child.getRoleName() == "menu bar")
        popup = bar[menu][0]
        items = [child for child in popup if child.getRoleName() == "menu item"]
        return items[item]

    def press(self, node):
        # A press that opens a modal dialog is answered only when the dialog closes: wait for
        # the reply briefly, then look for the dialog.
        from gi.repository import Atspi, GLib
        Atspi.set_timeout(500, -1)
        try:
            node.queryAction().doAction(0)
        except GLib.GError:
            pass
        finally:
            Atspi.set_timeout(25000, -1)

    def open(self, node):
        """Presses `node` and gives the window that opens."""
        before = {window.name + str(window.getIndexInParent()) for window in self.windows()}
        count = len(self.windows())
        self.press(node)
        for _ in range(100):
            windows = self.windows()
            if len(windows) > count:
                return windows[-1]
            time.sleep(0.05)
        raise RuntimeError(f"no window opened (had {sorted(before)})")

    def key(self, keys):
        subprocess.run(["xdotool", "key", keys], env=self.env, check=False)

    def close(self, window):
        count = len(self.windows())
        self.key("Escape")
        for _ in range(60):
            if len(self.windows()) < count:
                return
            time.sleep(0.05)
        raise RuntimeError(f"window {window.name!r} did not close on Escape")

    def quit(self):
        self.key("ctrl+q")
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def spoken(caption):
    return (caption or "").replace("&", "").rstrip(".:… ")


def control_text(folder, language, key):
    """Text `key` of the [Control] section of a language file; None for the built-in texts."""
    path = os.path.join(folder, "Lang", language + ".lng")
    if not os.path.exists(path):
        return None
    section = None
    with open(path, encoding="utf-8-sig") as file:
        for line in file:
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == "[Control]" and line.split("=", 1)[0].strip() == str(key):
                return line.split("=", 1)[1].strip()
    return None


def find(node, test):
    if node is None:
        return None
    if test(node):
        return node
    for child in node:
        found = find(child, test)
        if found is not None:
            return found
    return None


def check_tempo_slider(pyatspi, main, language, problems):
    """The tempo slider reads and sets the tempo in bpm, and a tempo the user sets is announced
    by the read-out (a name change), which then reads it."""
    from gi.repository import GLib
    slider = find(main, lambda n: n.getRoleName() == "slider")
    value = slider.queryValue()
    if round(value.currentValue) != TEMPO:
        problems.append(f"{language}: the tempo slider reads {value.currentValue}, not {TEMPO}")
    changed = []

    def heard(event):
        changed.append(event.source.name if event.source is not None else "")

    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name")
    try:
        value.currentValue = 90
        context = GLib.MainContext.default()
        for _ in range(40):
            while context.iteration(False):
                pass
            if any(name.startswith("90 ") for name in changed):
                break
            time.sleep(0.05)
    finally:
        pyatspi.Registry.deregisterEventListener(heard, "object:property-change:accessible-name")
    if not any(name.startswith("90 ") for name in changed):
        problems.append(f"{language}: setting the tempo to 90 announced nothing (heard {changed})")
    if find(main, lambda n: (n.name or "").startswith("90 ")) is None:
        problems.append(f"{language}: after setting the tempo to 90 nothing reads it")
    value.currentValue = TEMPO


def walk_language(pyatspi, folder, display, language, problems):
    walk = Walk(pyatspi, language)
    program = Program(pyatspi, folder, display, language)
    try:
        main = program.main_window()
        walk.window(main, "main window")
        read_out = find(main, lambda n: (n.name or "").startswith(f"{TEMPO} "))
        if read_out is None:
            problems.append(f"{language}: no part of the main window reads the tempo {TEMPO}")
        check_tempo_slider(pyatspi, main, language, problems)

        # Tools menu: Options (the settings dialog, every page), then the step sequencer from it.
        settings = program.open(program.menu_item(1, 0))
        tabs = find(settings, lambda n: n.getRoleName() == "page tab list")
        pages = [tab for tab in tabs if tab.getRoleName() == "page tab"]
        for page, tab in enumerate(pages):
            program.press(tab)
            time.sleep(0.3)
            walk.window(settings, f"settings page {page + 1}")
        program.press(pages[0])
        time.sleep(0.3)
        # The step sequencer opens from its button on the first page once its beat type, the
        # radio button on its line, is chosen (by the radio button's own toggle action).
        caption = spoken(control_text(folder, language, 25) or "Step Se&quencer...")
        button = find(settings, lambda n: n.getRoleName() == "push button" and spoken(n.name) == caption)
        if button is None:
            problems.append(f"{language}: no {caption!r} button on the first settings page")
        else:
            def middle(node):
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                return box.y + box.height / 2
            radios = []
            find(settings, lambda n: radios.append(n) if n.getRoleName() == "radio button" else False)
            program.press(min(radios, key=lambda n: abs(middle(n) - middle(button))))
            time.sleep(0.3)
            button.clear_cache()
            sequencer = program.open(button)
            time.sleep(0.3)
            walk.window(sequencer, "step sequencer")
            program.close(sequencer)
        program.close(settings)

        others = [("language dialog", 0, 0), ("click track export", 0, 1), ("count-in", 1, 5),
                  ("practice log", 1, 6), ("setlists", 3, 0), ("song editor", 3, 3),
                  ("about box", 4, 1)]
        for name, menu, item in others:
            window = program.open(program.menu_item(menu, item))
            time.sleep(0.2)
            walk.window(window, name)
            program.close(window)
    finally:
        program.quit()
    problems.extend(walk.unnamed)
    return walk.controls, len(walk.unnamed)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    check_tools()
    if os.environ.get("TICOVA_ACCESSIBILITY_SESSION") != "1":
        # Inside a session bus of its own, with the accessibility bus it starts.
        env = dict(os.environ, TICOVA_ACCESSIBILITY_SESSION="1")
        return subprocess.call(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__)] + sys.argv[1:],
                               env=env)
    if not shutil.which("xdotool"):
        skip("xdotool is not installed (scripts/install-deps installs it)")
    import pyatspi

    program, languages = sys.argv[1], sys.argv[2]
    server, display = start_display()
    folder = tempfile.mkdtemp(prefix="ticova-accessible-")
    problems = []
    try:
        shutil.copy(program, folder)
        # The window is a module the program loads from beside itself.
        module = os.path.join(os.path.dirname(program), "ticova-window.so")
        if os.path.exists(module):
            shutil.copy(module, folder)
        shutil.copytree(languages, os.path.join(folder, "Lang"))
        for language in ("", "de", "fr"):
            configuration = os.path.join(folder, "Ticova.conf")
            if language and os.path.exists(configuration):
                with open(configuration, encoding="utf-8-sig") as file:
                    lines = file.read().split("\n")
                lines = [f"Language = {language}" if line.startswith("Language =") else line for line in lines]
                with open(configuration, "w", encoding="utf-8-sig") as file:
                    file.write("\n".join(lines))
            controls, unnamed = walk_language(pyatspi, folder, display, language or "en", problems)
            print(f"accessible-controls: {language or 'en'}: {controls - unnamed} of {controls} controls named")
    finally:
        server.kill()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)
    for problem in problems:
        print("accessible-controls: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
