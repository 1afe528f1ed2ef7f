#!/usr/bin/python3
"""The real program as a screen reader meets it, over the accessibility bus.

screen_reader_bus_test.py PROGRAM CLI

Starts a private X server, a private D-Bus session, the accessibility bus launcher and the
AT-SPI registry, then PROGRAM (the window, with Qt's bridge always on and SDL's silent audio
driver). Through the bus, as Orca would:
  - the application and its window are found, and the window's children are met in the
    reading order with the names the labels give them: the input first, the twelve result
    fields top to bottom, About last; each field is labelled by its label, the input is
    editable and the result fields are read-only;
  - texts are written into the input through the editable-text interface and the fields are
    read back through the text interface, against what CLI prints for the same bytes;
  - the result fields refuse text written into them;
  - Tab, pressed through the registry's key synthesis, moves the focus along the window's tab
    chain, each move announced by a focus event.
Every process started here is ended on the way out, failure or not. Exits 0 when all holds,
1 with the reasons otherwise.

Runs under Debian's own python3 (python3-gi and gir1.2-atspi-2.0 are built for it).
"""

import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

# What a user sees in the window: its caption and, in reading order, the controls a reader
# stops at with their names (labels without their colons).
CAPTION = "Vorlan's Hash Calculation"
INPUT = "Input your String"
READING_ORDER = [INPUT, "MD2", "MD4", "MD5", "SHA0", "SHA1", "SHA256", "RiPEMd128",
                 "RiPEMd160", "RiPEMd256", "CRC16", "CRC32", "CRC32b", "About"]
RESULT_FIELDS = READING_ORDER[1:-1]
# The tab chain is the dialog template's order, as on Windows: MD5 and About come right after
# the input (tests/app/main_window_test.cpp pins the same chain in-process).
TAB_CHAIN = [INPUT, "MD5", "About", "MD2", "MD4", "SHA0", "SHA1", "SHA256", "RiPEMd128",
             "RiPEMd160", "RiPEMd256", "CRC16", "CRC32", "CRC32b"]

# Texts written into the input: the classic vector, one with bytes beyond ASCII (the fields
# hash UTF-8), and the empty text.
TEXTS = ["abc", "Gr\u00fc\u00dfe, \u00e5ngstr\u00f6m \u20ac", ""]
# A few digests of "abc" as published, so that a fault shared by the window and the CLI still
# shows. CRC32 is zlib's CRC-32 (CRC32b is the BZIP2 variant); the fields show CRCs in capitals.
ABC_PUBLISHED = {
    "MD5": "900150983cd24fb0d6963f7d28e17f72",
    "SHA1": "a9993e364706816aba3e25717850c26c9cd0d89d",
    "SHA256": "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
    "CRC32": "352441C2",
}

WHOLE_RUN_SECONDS = 45  # the run takes a few seconds; this only stops a hang
PATIENCE = 15  # for any one thing to appear on the bus
AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
AT_SPI_REGISTRY = "/usr/libexec/at-spi2-registryd"
XK_TAB = 0xFF09

# A session bus of its own: no service directories, so nothing is started behind the test's
# back, and every connection allowed as on a desktop's session bus.
SESSION_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={folder}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class Failure(Exception):
    """Ends the run with a message for the person reading the test log."""


class Interrupted(BaseException):
    """The run is cut short: it took too long, or a signal asks it to end. Not an Exception, so
    that nothing on the way mistakes it for a check that failed."""


def on_alarm(_signal, _frame):
    raise Interrupted(f"the run took more than {WHOLE_RUN_SECONDS} s")


def on_termination(signal_number, _frame):
    raise Interrupted(f"stopped by signal {signal_number}")


def die_with_this_script():
    """Run in each child before it starts: SIGTERM reaches it if this script is killed."""
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_pdeathsig = 1
    libc.prctl(pr_set_pdeathsig, signal.SIGTERM, 0, 0, 0)


class Processes:
    """The processes of one run, all in one process group of their own (the first one's), so
    that what they start in turn (the accessibility bus's daemon) is found and ended too."""

    def __init__(self, folder):
        self.folder = folder
        self.group = 0
        self.started = []  # (name, Popen)

    def start(self, name, argv, env, pass_fds=()):
        log = open(os.path.join(self.folder, name + ".log"), "wb")
        try:
            process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=subprocess.STDOUT, pass_fds=pass_fds,
                                       process_group=self.group,
                                       preexec_fn=die_with_this_script)
        except OSError as error:
            raise Failure(f"{argv[0]} could not be started: {error}") from error
        finally:
            log.close()
        if self.group == 0:
            self.group = process.pid
        self.started.append((name, process))
        return process

    def log_tail(self, name, lines=8):
        try:
            with open(os.path.join(self.folder, name + ".log"), errors="replace") as log:
                return "".join(log.readlines()[-lines:]).rstrip()
        except OSError:
            return ""

    def check_running(self, name, process):
        if process.poll() is not None:
            raise Failure(f"{name} ended with status {process.returncode}:\n"
                          f"{self.log_tail(name)}")

    def members(self):
        """Live processes of the group, zombies left out."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[2]) == self.group and fields[0] != "Z":
                found.append(int(entry))
        return found

    def stop_all(self):
        """Ends everything started: the programs first with SIGTERM (the window closes as from
        its close box), then whatever is left of the group; SIGKILL after a grace period."""
        for _name, process in reversed(self.started):
            if process.poll() is None:
                process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        if self.group == 0:
            return
        # The group's leader is never reaped before this, so its id cannot have been reused.
        for sig in (signal.SIGTERM, signal.SIGKILL):
            left = self.members()
            for pid in left:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 3
            while left and time.monotonic() < deadline:
                time.sleep(0.05)
                left = self.members()
            if not left:
                break
        for _name, process in self.started:
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass


def wait_for(what, check, seconds=PATIENCE, pump=None):
    """Calls check() until it gives something true, and hands that back."""
    deadline = time.monotonic() + seconds
    while True:
        if pump is not None:
            pump()
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"waited {seconds} s for {what}")
        time.sleep(0.05)


def read_line_from(fd, seconds, what):
    """One line written by a child to the pipe `fd` (Xvfb's display, dbus-daemon's address)."""
    text = b""
    deadline = time.monotonic() + seconds
    os.set_blocking(fd, False)
    while not text.endswith(b"\n"):
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {seconds} s")
        try:
            chunk = os.read(fd, 256)
        except BlockingIOError:
            time.sleep(0.02)
            continue
        if not chunk:
            raise Failure(f"no {what}: the pipe closed")
        text += chunk
    return text.decode().strip()


def start_desktop(processes, folder):
    """The X server, the session bus and the accessibility bus's launcher. Hands back the
    environment for what runs on them, and the launcher."""
    reader, writer = os.pipe()
    xvfb = processes.start("Xvfb", ["Xvfb", "-displayfd", str(writer), "-screen", "0",
                                    "1024x768x24", "-nolisten", "tcp"],
                           dict(os.environ), pass_fds=(writer,))
    os.close(writer)
    try:
        display = ":" + read_line_from(reader, PATIENCE, "display number from Xvfb")
    finally:
        os.close(reader)
    processes.check_running("Xvfb", xvfb)

    runtime = os.path.join(folder, "runtime")
    os.mkdir(runtime, 0o700)
    config = os.path.join(folder, "session.conf")
    with open(config, "w") as out:
        out.write(SESSION_BUS_CONFIG.format(folder=folder))
    reader, writer = os.pipe()
    processes.start("dbus-daemon", ["dbus-daemon", "--nofork", "--config-file=" + config,
                                    f"--print-address={writer}"],
                    dict(os.environ), pass_fds=(writer,))
    os.close(writer)
    try:
        address = read_line_from(reader, PATIENCE, "address from dbus-daemon")
    finally:
        os.close(reader)

    env = dict(os.environ)
    for name in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "SESSION_MANAGER"):
        env.pop(name, None)
    env.update({
        "DISPLAY": display,
        "DBUS_SESSION_BUS_ADDRESS": address,
        "XDG_RUNTIME_DIR": runtime,
        # Settings stay in memory: nothing is written under the user's home folder.
        "GSETTINGS_BACKEND": "memory",
    })
    launcher = processes.start("at-spi-bus-launcher",
                               [AT_SPI_BUS_LAUNCHER, "--launch-immediately", "--a11y=1"], env)
    return env, launcher


def connect(address):
    from gi.repository import Gio
    return Gio.DBusConnection.new_for_address_sync(
        address,
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)


def bus_call(connection, destination, path, interface, method, arguments=None):
    """A method's first result, or None when the call fails."""
    from gi.repository import Gio, GLib
    try:
        reply = connection.call_sync(destination, path, interface, method, arguments, None,
                                     Gio.DBusCallFlags.NONE, 2000, None)
    except GLib.Error:
        return None
    return reply.unpack()[0]


def name_has_owner(connection, name):
    from gi.repository import GLib
    return bus_call(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                    "org.freedesktop.DBus", "NameHasOwner", GLib.Variant("(s)", (name,)))


def start_registry(processes, env, launcher):
    """Waits for the accessibility bus, then starts the registry on it and waits for its name
    there. Both steps are what a desktop session does at log-in."""
    session = connect(env["DBUS_SESSION_BUS_ADDRESS"])

    def a11y_address():
        processes.check_running("at-spi-bus-launcher", launcher)
        if not name_has_owner(session, "org.a11y.Bus"):
            return None
        return bus_call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")

    address = wait_for("the accessibility bus (org.a11y.Bus on the session bus)", a11y_address)
    registry = processes.start("at-spi2-registryd", [AT_SPI_REGISTRY], env)
    a11y = connect(address)

    def registry_up():
        processes.check_running("at-spi2-registryd", registry)
        return name_has_owner(a11y, "org.a11y.atspi.Registry")

    wait_for("the AT-SPI registry on the accessibility bus", registry_up)
    a11y.close_sync(None)
    session.close_sync(None)


def cli_digests(cli, text):
    """What the command-line tool prints for the text's UTF-8 bytes, by normalised name."""
    run = subprocess.run([cli, "--string=" + text], capture_output=True, timeout=20)
    if run.returncode != 0:
        raise Failure(f"{cli} --string failed: {run.stderr.decode(errors='replace')}")
    digests = {}
    for line in run.stdout.decode().splitlines():
        # NAME ("TEXT") = DIGEST
        name, _, rest = line.partition(" ")
        digest = rest.rsplit(" = ", 1)[-1]
        digests[normalised(name)] = digest
    return digests


def normalised(name):
    return "".join(c for c in name.lower() if c.isalnum())


class Reader:
    """The client side: what a screen reader asks the bus."""

    def __init__(self):
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, GLib
        self.Atspi = Atspi
        self.context = GLib.MainContext.default()
        if Atspi.init() not in (0, 1):  # 1: already initialised
            raise Failure("Atspi.init failed")
        self.focus_events = []
        self.listener = Atspi.EventListener.new(self._on_focus)
        self.listener.register("object:state-changed:focused")

    def _on_focus(self, event):
        if event.detail1 == 1:
            self.focus_events.append(self.name(event.source))

    def pump(self):
        while self.context.iteration(False):
            pass

    def name(self, accessible):
        try:
            return accessible.get_name() or ""
        except Exception:  # an object gone from the bus
            return "<gone>"

    def role(self, accessible):
        return accessible.get_role()

    def has_state(self, accessible, state):
        return accessible.get_state_set().contains(state)

    def application_of(self, pid):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                continue
        return None

    def children(self, accessible):
        return [accessible.get_child_at_index(i) for i in range(accessible.get_child_count())]

    def text_of(self, accessible):
        return self.Atspi.Text.get_text(accessible, 0, -1)

    def set_text(self, accessible, text):
        return self.Atspi.EditableText.set_text_contents(accessible, text)

    def press_tab(self):
        self.Atspi.generate_keyboard_event(XK_TAB, None, self.Atspi.KeySynthType.SYM)


class Checks:
    """Collects the findings of a group of checks, so that one run reports them all."""

    def __init__(self):
        self.problems = []

    def expect(self, condition, message):
        if not condition:
            self.problems.append(message)
        return condition


def find_window(reader, program, processes):
    Atspi = reader.Atspi

    def application():
        processes.check_running("hashcalc", program)
        return reader.application_of(program.pid)

    app = wait_for(f"hashcalc (pid {program.pid}) to register with the AT-SPI registry",
                   application)

    def window():
        processes.check_running("hashcalc", program)
        for child in reader.children(app):
            if child is not None and CAPTION in reader.name(child) and \
                    reader.role(child) in (Atspi.Role.DIALOG, Atspi.Role.FRAME):
                # Ready once its controls are there.
                if child.get_child_count() >= len(READING_ORDER):
                    return child
        return None

    return app, wait_for(f"a window named \"{CAPTION}\" with its controls", window)


def check_reading_order(reader, window, checks):
    """The window's children as a reader walks them: stops, names, labels, states."""
    Atspi = reader.Atspi
    children = reader.children(window)
    stops = [c for c in children
             if reader.role(c) in (Atspi.Role.TEXT, Atspi.Role.ENTRY, Atspi.Role.PUSH_BUTTON)]
    names = [reader.name(c) for c in stops]
    checks.expect(names == READING_ORDER,
                  f"the reader meets the controls as {names}, not as {READING_ORDER}")
    fields = {reader.name(c): c for c in stops}
    for i, child in enumerate(children):
        if reader.role(child) not in (Atspi.Role.TEXT, Atspi.Role.ENTRY):
            continue
        name = reader.name(child)
        # Announced with its label: the label is its labelled-by relation and sits right
        # before it, where a reader reading line by line meets it.
        labels = [relation.get_target(k)
                  for relation in child.get_relation_set()
                  if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY
                  for k in range(relation.get_n_targets())]
        label_names = [reader.name(label) for label in labels]
        checks.expect(len(labels) == 1 and label_names[0].startswith(name),
                      f"field {name!r} is labelled by {label_names}, not by its own label")
        before = children[i - 1] if i > 0 else None
        checks.expect(before is not None and reader.role(before) == Atspi.Role.LABEL and
                      reader.name(before).startswith(name),
                      f"field {name!r} does not come right after its label")
        checks.expect(reader.has_state(child, Atspi.StateType.FOCUSABLE),
                      f"field {name!r} cannot take the focus")
    if INPUT in fields:
        checks.expect(reader.has_state(fields[INPUT], Atspi.StateType.EDITABLE),
                      "the input is not announced as editable")
        checks.expect(not reader.has_state(fields[INPUT], Atspi.StateType.READ_ONLY),
                      "the input is announced as read-only")
    for name in RESULT_FIELDS:
        # (Qt also calls its single-line read-only edits editable; Orca goes by read-only.)
        checks.expect(name in fields and
                      reader.has_state(fields[name], Atspi.StateType.READ_ONLY),
                      f"result field {name!r} is not announced as read-only")
    about = fields.get("About")
    checks.expect(about is not None and reader.role(about) == Atspi.Role.PUSH_BUTTON,
                  "About is not a push button")
    return fields


def check_digests(reader, fields, cli, checks):
    """Texts written through the bus give the CLI's digests in every field."""
    missing = [name for name in [INPUT] + RESULT_FIELDS if name not in fields]
    if missing:
        checks.expect(False, f"no fields {missing} to write to or read from")
        return
    for text in TEXTS:
        expected = cli_digests(cli, text)
        if text == "abc":
            for name, digest in ABC_PUBLISHED.items():
                checks.expect(expected.get(normalised(name)) == digest,
                              f"hashcalc-cli gives {name} of \"abc\" as "
                              f"{expected.get(normalised(name))}, published: {digest}")
        if not reader.set_text(fields[INPUT], text):
            checks.expect(False, f"the input refused the text {text!r} over the bus")
            continue
        want = {name: expected.get(normalised(name)) for name in RESULT_FIELDS}
        unknown = [name for name, digest in want.items() if digest is None]
        if unknown:
            raise Failure(f"hashcalc-cli printed no digest for {unknown}")
        shown = {}

        def settled():
            shown.update({name: reader.text_of(fields[name]) for name in RESULT_FIELDS})
            return shown == want

        try:
            wait_for(f"the fields to show the digests of {text!r}", settled, seconds=5)
        except Failure:
            wrong = {name: (shown.get(name), digest) for name, digest in want.items()
                     if shown.get(name) != digest}
            checks.expect(False, f"after writing {text!r} these fields read (shown, expected): "
                                 f"{wrong}")
        checks.expect(reader.text_of(fields[INPUT]) == text,
                      f"the input reads {reader.text_of(fields[INPUT])!r} after {text!r} was "
                      "written")


def check_read_only_fields(reader, fields, checks):
    """A result field keeps its digest when something writes to it over the bus."""
    reader.set_text(fields[INPUT], "abc")
    for name in ("MD5", "CRC32b"):
        before = reader.text_of(fields[name])
        try:
            reader.set_text(fields[name], "0123")
        except Exception:  # a refusal may come back as an error; the text is what counts
            pass
        checks.expect(reader.text_of(fields[name]) == before,
                      f"result field {name} took text written over the bus: now "
                      f"{reader.text_of(fields[name])!r}, was {before!r}")


def check_tab_chain(reader, fields, checks):
    """Tab, pressed as a key, walks the tab chain and wraps round to the input; a focus event
    names each control reached, and the control says it is focused."""
    Atspi = reader.Atspi

    def focused():
        return [name for name, field in fields.items()
                if reader.has_state(field, Atspi.StateType.FOCUSED)]

    # The window takes the keyboard when it opens (no window manager is needed for that) and
    # gives it to the input, which a reader announces first.
    try:
        wait_for("the input to have the focus", lambda: focused() == [INPUT], seconds=5,
                 pump=reader.pump)
    except Failure:
        checks.expect(False, f"when the window opens the focus is on {focused()}, not on the "
                             "input alone")
        return
    previous = INPUT
    for expected in TAB_CHAIN[1:] + [INPUT]:
        reader.pump()
        reader.focus_events.clear()
        reader.press_tab()
        try:
            wait_for(f"a focus event for {expected!r}", lambda: expected in reader.focus_events,
                     seconds=5, pump=reader.pump)
        except Failure:
            checks.expect(False, f"Tab from {previous!r} announced "
                                 f"{reader.focus_events or 'nothing'}, not {expected!r}")
            return
        checks.expect(reader.has_state(fields[expected], Atspi.StateType.FOCUSED),
                      f"{expected!r} was announced but does not say it is focused")
        previous = expected


def run(program_path, cli):
    for tool in ("Xvfb", "dbus-daemon"):
        if not any(os.access(os.path.join(folder, tool), os.X_OK)
                   for folder in os.environ.get("PATH", "/usr/bin").split(":")):
            raise Failure(f"{tool} is not installed (Debian: xvfb, dbus-daemon)")
    for tool in (AT_SPI_BUS_LAUNCHER, AT_SPI_REGISTRY):
        if not os.access(tool, os.X_OK):
            raise Failure(f"{tool} is missing (Debian: at-spi2-core)")
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError) as error:
        raise Failure(f"{sys.executable} cannot load AT-SPI's bindings ({error}; Debian: "
                      "python3-gi and gir1.2-atspi-2.0)") from error
    for path in (program_path, cli):
        if not os.access(path, os.X_OK):
            raise Failure(f"no program at {path} (build it first)")

    with tempfile.TemporaryDirectory(prefix="hashcalc-bus-") as folder:
        processes = Processes(folder)
        try:
            env, launcher = start_desktop(processes, folder)
            start_registry(processes, env, launcher)
            # This script's own bus connection is made on first use, from these.
            os.environ.update({k: env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                                   "XDG_RUNTIME_DIR", "GSETTINGS_BACKEND")})
            program_env = dict(env)
            program_env.update({
                "QT_QPA_PLATFORM": "xcb",
                "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                "SDL_AUDIODRIVER": "dummy",
            })
            program = processes.start("hashcalc", [program_path], program_env)
            reader = Reader()
            _app, window = find_window(reader, program, processes)

            groups = []
            checks = Checks()
            fields = check_reading_order(reader, window, checks)
            groups.append(("reading order", checks))
            checks = Checks()
            check_digests(reader, fields, cli, checks)
            groups.append(("digests of texts written over the bus", checks))
            checks = Checks()
            if all(name in fields for name in ("MD5", "CRC32b", INPUT)):
                check_read_only_fields(reader, fields, checks)
            groups.append(("read-only result fields", checks))
            checks = Checks()
            if all(name in fields for name in TAB_CHAIN):
                check_tab_chain(reader, fields, checks)
            else:
                checks.expect(False, "not every control of the tab chain was found")
            groups.append(("Tab and focus events", checks))
            processes.check_running("hashcalc", program)

            failed = False
            for title, group in groups:
                if group.problems:
                    failed = True
                    print(f"FAIL {title}:")
                    for problem in group.problems:
                        print(f"  - {problem}")
                else:
                    print(f"ok   {title}")
            return not failed
        except (Failure, Interrupted) as error:
            print(f"FAIL: {error}")
            for name, _process in processes.started:
                tail = processes.log_tail(name)
                if tail:
                    print(f"--- {name}'s last lines:\n{tail}")
            return False
        finally:
            # Nothing may cut the clean-up short: the alarm is off and termination waits.
            signal.alarm(0)
            signal.signal(signal.SIGTERM, signal.SIG_IGN)
            signal.signal(signal.SIGHUP, signal.SIG_IGN)
            processes.stop_all()


def main():
    if len(sys.argv) != 3:
        print(f"usage: {sys.argv[0]} PROGRAM CLI", file=sys.stderr)
        return 2
    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, on_termination)
    signal.signal(signal.SIGHUP, on_termination)
    signal.alarm(WHOLE_RUN_SECONDS)
    started = time.monotonic()
    try:
        passed = run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    except Failure as failure:
        print(f"FAIL: {failure}")
        passed = False
    finally:
        signal.alarm(0)
    print(f"{'passed' if passed else 'FAILED'} in {time.monotonic() - started:.1f} s")
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
