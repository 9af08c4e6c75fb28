"""The built tool on a real X11 desktop, read and driven as a screen reader does (AT-SPI).

Shared by the screen-reader suite (accessibility_walk.py) and scripts/soak. Runs inside a network
namespace of its own (tests/in-namespaces.sh --offline): the stand-in service answers on 127.0.0.1:9,
where the built tool sends its requests, and a default route over the loopback makes the tool online.
Needs root, an accessibility-capable session bus (dbus-run-session) and Xvfb.
"""
import json, os, shutil, signal, subprocess, sys, tempfile, time

import pyatspi
from gi.repository import GLib

SKIP = 77
INTERACTIVE_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_LINK, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER,
}


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def set_online(online):
    """The tool follows the default route; the loopback carries it (no other link is needed)."""
    if online:
        subprocess.run(["ip", "route", "replace", "default", "dev", "lo"], check=True)
    else:
        subprocess.run(["ip", "route", "del", "default"], stderr=subprocess.DEVNULL)


def prepare_network():
    if os.geteuid() != 0:
        print("SKIP: needs root, for a network namespace of its own", file=sys.stderr)
        sys.exit(SKIP)
    links = subprocess.run(["ip", "-o", "link"], capture_output=True, text=True, check=True).stdout.splitlines()
    if any(": lo:" not in line for line in links):
        sys.exit("not in a network namespace of its own (start it through tests/in-namespaces.sh --offline)")
    run("ip", "link", "set", "lo", "up")
    set_online(True)


class Desktop:
    """Xvfb, the stand-in on 127.0.0.1:9 and a scratch home; start_tool() starts the tool."""

    def __init__(self, tool, standin, standin_options=()):
        prepare_network()
        self.tool_path = os.path.abspath(tool)
        self.home = tempfile.mkdtemp(prefix="corvanta-desktop-")
        self.processes = []
        read, write = os.pipe()
        self.xvfb = self._spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", "1400x900x24", "-nolisten", "tcp"],
                                pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as pipe:
            self.display = ":" + pipe.readline().strip()
        self.standin = self._spawn([standin, "--port", "9", *standin_options])
        self._wait_for_port(9)
        self.tool = None
        self.app = None

    def _spawn(self, command, **options):
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)
        self.processes.append(process)
        return process

    @staticmethod
    def _wait_for_port(port):
        import socket
        for _ in range(100):
            with socket.socket() as probe:
                if probe.connect_ex(("127.0.0.1", port)) == 0:
                    return
            time.sleep(0.1)
        sys.exit(f"nothing answers on 127.0.0.1:{port}")

    def environment(self):
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.home + "/.config", DISPLAY=self.display,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QTWEBENGINE_DISABLE_SANDBOX="1",
                   # The engine refuses port 9 (discard) unless told; the tool is built to ask there.
                   QTWEBENGINE_CHROMIUM_FLAGS="--explicitly-allowed-ports=9")
        return env

    def unlock_keyring(self):
        """A keyring unlocked as a desktop login unlocks it, where the tool keeps its credential;
        without one the keyring would ask for a password through a prompt that has no display."""
        keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
                                   env=dict(os.environ, HOME=self.home), stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(keyring)
        keyring.stdin.write(b"soak-only-password")
        keyring.stdin.close()
        time.sleep(1)

    def install_addin(self, version="1.4.2"):
        """An installed add-in where the tool looks (it says where), without signing in anywhere."""
        status = subprocess.run([self.tool_path, "status", "--json", "--offline"], env=self.environment(),
                                capture_output=True, text=True, check=True)
        package = os.path.join(json.loads(status.stdout)["addonDir"], "CorvantaAnalysis_" + version)
        os.makedirs(os.path.join(package, "app"), exist_ok=True)
        for name, text in (("ribbon.xml", "<customUI/>"), ("app/index.html", "<html></html>"),
                           ("version.json", json.dumps({"version": version}))):
            with open(os.path.join(package, name), "w") as file:
                file.write(text)

    def start_tool(self, log=None):
        if log is None and os.environ.get("CORVANTA_TOOL_LOG"):
            log = open(os.environ["CORVANTA_TOOL_LOG"], "ab")
        self.tool = subprocess.Popen([self.tool_path], env=self.environment(), stdout=subprocess.DEVNULL,
                                     stderr=log or subprocess.DEVNULL)
        self.processes.append(self.tool)
        return self.attach()

    def attach(self):
        """Finds the running tool and its main window on the accessibility bus."""
        self.app = wait_for(lambda: application(self.tool.pid), 30, "the tool on the accessibility bus")
        self.frame = wait_for(lambda: find(self.app, role=pyatspi.ROLE_FRAME, showing=True), 30, "the main window")
        return self.app

    def stop_tool(self):
        if self.tool and self.tool.poll() is None:
            self.tool.terminate()
            try:
                self.tool.wait(10)
            except subprocess.TimeoutExpired:
                self.tool.kill()
                self.tool.wait()
        self.app = None

    def window_id(self):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.tool.pid)],
                                env=dict(os.environ, DISPLAY=self.display), capture_output=True, text=True)
        ids = result.stdout.split()
        return ids[0] if ids else None

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=self.display), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def focus_window(self):
        wid = self.window_id()
        if wid:
            self.xdotool("windowfocus", "--sync", wid)

    def key(self, name):
        self.xdotool("key", "--clearmodifiers", name)
        pump(0.15)

    def close(self):
        self.stop_tool()
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(self.home, ignore_errors=True)


class FocusTracker:
    """The object that last took focus, as screen readers follow it (popup menus are in no window's tree)."""

    def __init__(self):
        self.last = None
        pyatspi.Registry.registerEventListener(self._heard, "object:state-changed:focused")

    def _heard(self, event):
        if event.detail1 == 1:
            self.last = event.source


def pump(seconds=0.0):
    """Lets AT-SPI deliver what is pending, for at least the given time."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.02)


def wait_for(probe, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        try:
            value = probe()
        except Exception:  # an object that went away while being read
            value = None
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        try:
            if app is not None and app.get_process_id() == pid:
                app.set_cache_mask(0)
                return app
        except Exception:
            continue
    return None


def states(accessible):
    return accessible.getState()


def walk(root, inside_documents=False):
    """Every object below root (depth first); the web documents' content only when asked."""
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            role = node.getRole()
            count = node.childCount
        except Exception:
            continue
        if role == pyatspi.ROLE_DOCUMENT_WEB and not inside_documents:
            continue
        stack.extend(node.getChildAtIndex(i) for i in reversed(range(count)))


def showing(accessible):
    try:
        return states(accessible).contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find_all(root, role=None, name=None, showing_only=True, inside_documents=False):
    found = []
    for node in walk(root, inside_documents):
        try:
            if role is not None and node.getRole() != role:
                continue
            if name is not None and node.name != name:
                continue
            if showing_only and not showing(node):
                continue
        except Exception:
            continue
        found.append(node)
    return found


def find(root, role=None, name=None, showing=True, inside_documents=False):
    found = find_all(root, role, name, showing, inside_documents)
    return found[0] if found else None


def focused(root):
    for node in walk(root):
        try:
            if states(node).contains(pyatspi.STATE_FOCUSED):
                return node
        except Exception:
            continue
    return None


def press(accessible):
    """The object's first action ("Press"), as a screen reader's activation does."""
    action = accessible.queryAction()
    for index in range(action.nActions):
        if action.getName(index) in ("Press", "press", "click", "Toggle", "toggle", "showMenu", "ShowMenu"):
            action.doAction(index)
            return
    action.doAction(0)


def describe(accessible):
    try:
        return f"{accessible.getRoleName()} {accessible.name!r}"
    except Exception:
        return "<gone>"


def open_more_menu(desktop, focus):
    """"更多" from the keyboard (its menu runs a loop of its own, so an action call would not return
    until it closed); the names of its items as the arrow keys reach them, first to last, the first
    one focused after."""
    find(desktop.frame, role=pyatspi.ROLE_PUSH_BUTTON, name="更多").queryComponent().grabFocus()
    desktop.key("Return")
    names = []
    for _ in range(6):
        desktop.key("Down")
        pump(0.2)
        item = focus.last
        if item is None or item.getRole() != pyatspi.ROLE_MENU_ITEM or item.name in names:
            break
        names.append(item.name)
    return names


def choose_menu_item(desktop, focus, name):
    for _ in range(6):
        if focus.last is not None and focus.last.name == name:
            desktop.key("Return")
            return True
        desktop.key("Down")
        pump(0.2)
    return False


def dialog_of(node):
    while node is not None:
        if node.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG) and find(node, role=pyatspi.ROLE_PUSH_BUTTON,
                                                                               name="取消"):
            return node
        node = node.parent
    return None
