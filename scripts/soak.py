#!/usr/bin/python3
"""A seeded random walk of what users do, over the built tool under Xvfb; see scripts/soak.

   soak.py MINUTES SEED TOOL STANDIN   (through tests/in-namespaces.sh --offline, in dbus-run-session)

Watches for exits nobody asked for, crashes (backtrace from the core file) and hangs: the window's
thread, the one that paints, answering no _NET_WM_PING for 10 s. The accessibility bus that drives
the walk is not the judge: when it stops answering, the walk finds the tool again and says so.
Prints counts.
"""
import sys
sys.dont_write_bytecode = True  # no caches in the source tree
import glob, os, random, resource, subprocess, sys, time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "ui"))
import pyatspi
from gi.repository import Atspi
from Xlib import X, display as xdisplay, protocol
from desktop_session import (Desktop, FocusTracker, choose_menu_item, dialog_of, find, find_all, open_more_menu, press,
                             pump, set_online, wait_for)

PAGES = ["概览", "本机插件", "服务方案", "账户设置", "帮助支持"]
HANG_SECONDS = 10


class Pinger:
    """Asks a window's thread for a _NET_WM_PING answer, as a window manager does to find a frozen
    window: Qt answers it on the thread that paints, with a copy sent to the root window."""

    def __init__(self, name):
        self.display = xdisplay.Display(name)
        self.root = self.display.screen().root
        # Qt sends its answer to the root window for structure-notify listeners.
        self.root.change_attributes(event_mask=X.StructureNotifyMask | X.SubstructureNotifyMask)
        self.protocols = self.display.intern_atom("WM_PROTOCOLS")
        self.ping = self.display.intern_atom("_NET_WM_PING")
        self.serial = 0

    def answers(self, window_id, seconds):
        self.serial += 1
        window = self.display.create_resource_object("window", int(window_id))
        event = protocol.event.ClientMessage(window=window, client_type=self.protocols,
                                             data=(32, [self.ping, self.serial, window.id, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        self.display.flush()
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while self.display.pending_events():
                reply = self.display.next_event()
                if (reply.type == X.ClientMessage and reply.client_type == self.protocols
                        and list(reply.data[1][:2]) == [self.ping, self.serial]):
                    return True
            time.sleep(0.05)
        return False


class Soak:
    def __init__(self, desktop, rng):
        self.desktop, self.rng = desktop, rng
        self.counts = {"actions": 0, "exits": 0, "crashes": 0, "hangs": 0, "bus stalls": 0}
        self.pinger = Pinger(desktop.display)
        self.focus = FocusTracker()
        self.walk = []
        self.online = True
        # Outside the scratch home, which goes with the run: what the tool said stays for a look.
        self.log_path = os.environ.get("SOAK_TOOL_LOG", "/tmp/corvanta-soak-tool.log")
        self.log = open(self.log_path, "wb")

    def start(self):
        # Core files land in the tool's working directory (the machine's pattern is a bare "core").
        os.chdir(self.desktop.home)
        resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
        try:
            self.desktop.start_tool(log=self.log)
        except AssertionError:
            # Started but never showed up: an exit at start (it is counted), or one that lingers.
            self.desktop.tool.wait(10) if self.desktop.tool.poll() is None else None
            self.counts["exits"] += 1
            self.report_end(self.desktop.tool.poll())
            self.desktop.stop_tool()
            self.desktop.start_tool(log=self.log)
        self.desktop.focus_window()

    def frame(self):
        return self.desktop.frame

    def click(self, accessible):
        extents = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.desktop.xdotool("mousemove", str(extents.x + extents.width // 2), str(extents.y + extents.height // 2),
                             "click", "1")

    def sign_in(self):
        """On the site's sign-in page in the window, with the mouse and keys as a user does: the
        credential then lets the walk's installs and updates run to their end (the keyring keeps it
        across reopens)."""
        press(find(self.frame(), role=pyatspi.ROLE_PAGE_TAB, name="服务方案"))
        self.click(wait_for(lambda: find(self.frame(), role=pyatspi.ROLE_LINK, name="登录", inside_documents=True), 60,
                            "the site's 登录 link"))
        for role, name, text in ((pyatspi.ROLE_TEXT, "账号", "demo@corvanta.test"),
                                 (pyatspi.ROLE_PASSWORD_TEXT, "密码", "corvanta-demo")):
            self.click(wait_for(lambda: find(self.frame(), role=role, name=name, inside_documents=True), 30,
                                f"the sign-in form's {name}"))
            pump(0.3)
            self.desktop.xdotool("type", "--delay", "20", text)
        self.desktop.key("Return")
        wait_for(lambda: find(self.frame(), role=pyatspi.ROLE_LINK, name="退出登录", inside_documents=True), 60,
                 "the site saying who is signed in")

    # The actions: each returns what it did, for the walk's record.
    def page(self):
        title = self.rng.choice(PAGES)
        press(find(self.frame(), role=pyatspi.ROLE_PAGE_TAB, name=title))
        return f"page {title}"

    def online_tab(self):
        tabs = [t for t in find_all(self.frame(), role=pyatspi.ROLE_PAGE_TAB) if t.name not in PAGES]
        if not tabs:
            return self.page()
        tab = self.rng.choice(tabs)
        press(tab)
        return f"tab {tab.name}"

    def banner(self):
        alert = find(self.frame(), role=pyatspi.ROLE_ALERT, showing=False)
        return alert.name if alert is not None else ""

    def primary(self):
        press(find(self.frame(), role=pyatspi.ROLE_PAGE_TAB, name="本机插件"))
        pump(0.5)
        buttons = [b for b in find_all(self.frame(), role=pyatspi.ROLE_PUSH_BUTTON)
                   if b.name in ("安装", "安装 / 修复", "检查更新") or b.name.startswith("更新到")]
        if not buttons:
            return "primary (busy)"
        name, before = buttons[0].name, self.banner()
        press(buttons[0])
        return f"press {name}: {self.outcome(before)}"

    def outcome(self, before):
        """What the banner says once the operation has ended (its button no longer says 处理中)."""
        pressed = time.monotonic()
        pump(0.5)
        try:
            # The same words may come again (checked twice, say): after 3 s an unchanged banner counts.
            wait_for(lambda: find(self.frame(), role=pyatspi.ROLE_PUSH_BUTTON, name="处理中") is None
                     and (self.banner() != before or time.monotonic() - pressed > 3), 60, "the outcome")
        except AssertionError:
            return "(still working after 60 s)"
        return self.banner() or "(no message)"

    def menu_item(self, name, answer=None):
        """From the keyboard, as open_more_menu says why; the dialog's answer through its button."""
        press(find(self.frame(), role=pyatspi.ROLE_PAGE_TAB, name="本机插件"))
        pump(0.5)
        if find(self.frame(), role=pyatspi.ROLE_PUSH_BUTTON, name="更多") is None:
            return f"{name} (no menu)"
        self.desktop.focus_window()
        if name not in open_more_menu(self.desktop, self.focus) or not choose_menu_item(self.desktop, self.focus, name):
            self.desktop.key("Escape")
            return f"{name} (not offered)"
        before = self.banner()
        if answer:
            dialog = wait_for(lambda: self.focus.last is not None and dialog_of(self.focus.last), 10, "the dialog")
            press(find(dialog, role=pyatspi.ROLE_PUSH_BUTTON, name=answer))
            pump(0.5)
            self.desktop.focus_window()  # no window manager gives the keyboard back
            if answer == "取消":
                return f"{name} {answer}"
        return f"{name} {answer or ''}: {self.outcome(before)}".replace(" :", ":")

    def repair(self):
        return self.menu_item("用本机缓存修复")

    def uninstall(self):
        return self.menu_item("卸载插件", self.rng.choice(["卸载", "取消"]))

    def resize(self):
        width, height = self.rng.randint(980, 1380), self.rng.randint(660, 880)
        wid = self.desktop.window_id()
        if wid:
            self.desktop.xdotool("windowsize", wid, str(width), str(height))
        return f"resize {width}x{height}"

    def network(self):
        self.online = not self.online
        set_online(self.online)
        return "online" if self.online else "offline"

    def reopen(self):
        self.desktop.focus_window()
        self.desktop.key("ctrl+q")
        try:
            self.desktop.tool.wait(15)
        except subprocess.TimeoutExpired:
            return "quit (did not end)"
        self.start()
        return "quit and reopen"

    def step(self):
        action = self.rng.choices(
            [self.page, self.online_tab, self.primary, self.repair, self.uninstall, self.resize, self.network,
             self.reopen],
            weights=[30, 10, 15, 8, 8, 10, 8, 3])[0]
        done = action()
        self.counts["actions"] += 1
        self.walk.append(done)
        pump(self.rng.uniform(0.2, 2.0))

    def alive(self):
        """Checks the tool after a step; counts and restarts it when it went or stopped answering."""
        status = self.desktop.tool.poll()
        if status is not None:
            self.counts["exits"] += 1
            if status < 0:
                self.counts["crashes"] += 1
            self.report_end(status)
            self.start()
            return
        wid = self.desktop.window_id()
        if wid and not self.pinger.answers(wid, HANG_SECONDS):
            if self.desktop.tool.poll() is not None:
                return self.alive()  # it ended while being asked: an exit, not a hang
            self.counts["hangs"] += 1
            print(f"HANG after: {self.walk[-5:]}", flush=True)
            subprocess.run(["gdb", "-batch", "-p", str(self.desktop.tool.pid), "-ex", "thread apply 1 bt"])
            self.desktop.stop_tool()
            self.start()
            return
        if not self.reader_answers():
            # The window answers but the accessibility bus does not: find the tool on it again.
            self.counts["bus stalls"] += 1
            print(f"accessibility bus stalled after: {self.walk[-3:]}", flush=True)
            try:
                self.desktop.attach()
            except AssertionError:
                pass

    def reader_answers(self):
        try:
            self.frame().getState()
            return self.frame().name is not None
        except Exception:
            return False

    def report_end(self, status):
        print(f"EXIT {status} after: {self.walk[-10:]}", flush=True)
        self.log.flush()
        with open(self.log_path, "rb") as said:
            print(said.read()[-3000:].decode(errors="replace"), flush=True)
        for core in glob.glob(os.path.join(self.desktop.home, "core*")):
            subprocess.run(["gdb", "-batch", "-ex", "bt", self.desktop.tool_path, core])
            os.remove(core)


def main(minutes, seed, tool, standin):
    Atspi.set_timeout(HANG_SECONDS * 1000, HANG_SECONDS * 1000)
    rng = random.Random(int(seed))
    desktop = Desktop(tool, standin)
    soak = Soak(desktop, rng)
    end = time.monotonic() + float(minutes) * 60
    began = time.monotonic()
    try:
        desktop.unlock_keyring()
        desktop.install_addin("1.3.0")  # something to update, repair and uninstall from the first step
        soak.start()
        soak.desktop.focus_window()
        soak.sign_in()
        while time.monotonic() < end:
            try:
                soak.step()
            except Exception as error:  # the object went with a page change; the walk goes on
                soak.walk.append(f"({type(error).__name__})")
                if os.environ.get("SOAK_TRACE"):
                    import traceback
                    traceback.print_exc()
            soak.alive()
    finally:
        desktop.close()
    counts = soak.counts
    kinds = {}
    for done in soak.walk:
        head = done.split(":")[0]
        kind = head if head.startswith("卸载插件") else head.split(" ")[0]
        kinds[kind] = kinds.get(kind, 0) + 1
    print("walk:", ", ".join(f"{kind} {count}" for kind, count in sorted(kinds.items())))
    outcomes = {}
    for done in soak.walk:
        if ": " in done:
            outcomes[done] = outcomes.get(done, 0) + 1
    for done, count in sorted(outcomes.items()):
        print(f"  {count} × {done}")
    print(f"soak: seed {seed}, {counts['actions']} actions in {(time.monotonic() - began) / 60:.1f} minutes;"
          f" exits {counts['exits']}, crashes {counts['crashes']}, hangs {counts['hangs']}"
          f" (accessibility bus stalls {counts['bus stalls']})")
    return 1 if counts["exits"] or counts["crashes"] or counts["hangs"] else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
