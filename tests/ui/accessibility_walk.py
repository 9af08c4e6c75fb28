#!/usr/bin/python3
"""The window as a screen reader reads it: the built tool under Xvfb, read over AT-SPI.

   accessibility_walk.py TOOL STANDIN   (through tests/in-namespaces.sh --offline, in dbus-run-session)

Walks the five pages, an online page's web content, an operation's banner and the uninstall dialog,
and fails on: an interactive object without a name, a focus stop that is no control, a control the
Tab key never reaches, the page shown not exposed as selected, a banner message that no screen
reader would speak, focus that leaves the button that started an operation.
"""
import sys
sys.dont_write_bytecode = True  # no caches in the source tree

import pyatspi

sys.path.insert(0, __import__("os").path.dirname(__file__))
from desktop_session import (INTERACTIVE_ROLES, Desktop, FocusTracker, choose_menu_item, describe, dialog_of, find,
                             find_all, focused, open_more_menu, press, pump, showing, states, wait_for)

focus = None
PAGES = ["概览", "本机插件", "服务方案", "账户设置", "帮助支持"]
HEADINGS = {"概览": "Corvanta 管理工具"}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)
    return condition


def audit(root, where):
    """Every showing object that takes focus is a control with a name; so is every control."""
    for node in find_all(root):
        role, state = node.getRole(), states(node)
        if role in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DOCUMENT_WEB):
            continue
        # Text a mouse can select takes focus by a click, not by Tab: it is read, not worked.
        if state.contains(pyatspi.STATE_FOCUSABLE) and role not in INTERACTIVE_ROLES | {pyatspi.ROLE_LABEL}:
            if is_browser(node):
                check(node.name.strip(), f"{where}: the browser's Tab stop has no name")
            else:
                check(False, f"{where}: a focus stop that is no control: {describe(node)}")
        if role in INTERACTIVE_ROLES and not node.name.strip():
            check(False, f"{where}: a control without a name: {describe(node)} ({node.description!r})")


def focus_stops(desktop, root):
    """What Tab reaches from the current focus, in order, until it comes round (through the web
    page's own stops, which are the site's)."""
    start = focused(root)
    stops = [start]
    for _ in range(80):
        desktop.key("Tab")
        node = focused(root)
        if node is not None and node.path == start.path:
            break
        stops.append(node)
    return stops


def reachable(desktop, root, where):
    """Every showing control of the window can be reached with Tab."""
    stops = focus_stops(desktop, root)
    reached = {node.path for node in stops if node is not None}
    controls = [node for node in find_all(root)
                if node.getRole() in INTERACTIVE_ROLES and states(node).contains(pyatspi.STATE_FOCUSABLE)
                and states(node).contains(pyatspi.STATE_ENABLED)]
    for node in controls:
        check(node.path in reached, f"{where}: Tab never reaches {describe(node)}")
    return stops


def sidebar_tab(frame, title):
    return find(frame, role=pyatspi.ROLE_PAGE_TAB, name=title)


def show_page(desktop, title):
    tab = wait_for(lambda: sidebar_tab(desktop.frame, title), 10, f"the sidebar's {title}")
    press(tab)
    heading = HEADINGS.get(title, title)
    wait_for(lambda: find(desktop.frame, role=pyatspi.ROLE_HEADING, name=heading), 10, f"the heading of {title}")
    return tab


def main(tool, standin):
    desktop = Desktop(tool, standin)
    try:
        walk_window(desktop)
    finally:
        desktop.close()
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("all checks passed")
    return 0


def walk_window(desktop):
    global focus
    focus = FocusTracker()
    desktop.install_addin()
    desktop.start_tool()
    app, frame = desktop.app, desktop.frame
    check(frame.name == "Corvanta 管理工具", f"the main window is {describe(frame)}")
    start = wait_for(lambda: focused(app), 10, "the first focused object")
    check(start.getRole() in INTERACTIVE_ROLES and start.name == "概览",
          f"focus starts on {describe(start)}, not on a named control")
    desktop.focus_window()

    for title in PAGES:
        if title == "服务方案":
            # The first online page leaves the window as it was: place, size, keyboard and focus.
            extents_before = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            focus_before = focused(frame)
        tab = show_page(desktop, title)
        pump(0.5)
        selected = [t.name for t in find_all(frame, role=pyatspi.ROLE_PAGE_TAB)
                    if t.name in PAGES and states(t).contains(pyatspi.STATE_SELECTED)]
        check(selected == [title], f"{title}: the sidebar exposes {selected} as selected")
        check(states(tab).contains(pyatspi.STATE_CHECKED), f"{title}: its sidebar entry is not checked")
        if title == "帮助支持":
            contact = find(frame, name="商务联系与二维码", role=None)
            check(contact is not None, "帮助支持: no control for the contact section")
            if contact:
                press(contact)
                pump(1)
            opens = [b for b in find_all(frame, role=pyatspi.ROLE_PUSH_BUTTON) if b.name == "打开"]
            descriptions = sorted(b.description for b in opens)
            check(len(opens) == 3 and len(set(descriptions)) == 3 and all(descriptions),
                  f"帮助支持: the three 打开 cannot be told apart: {descriptions}")
            check(find(frame, role=pyatspi.ROLE_LABEL, name="安装管理器") is not None,
                  "帮助支持: the first step's title is no label")
        if title == "服务方案":
            heading = wait_for(lambda: [h for h in find_all(frame, role=pyatspi.ROLE_HEADING, inside_documents=True)
                                        if h.name == "服务方案" and is_in_document(h)], 60, "the web page's heading")
            check(bool(heading), "服务方案: the web page exposes no heading")
            extents = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            check(tuple(extents) == tuple(extents_before), f"the window moved from {extents_before} to {extents}")
            check(states(frame).contains(pyatspi.STATE_ACTIVE), "the window lost the keyboard at the first online page")
            now = focused(frame)
            check(now is not None and now.path == focus_before.path,
                  f"the first online page moved the focus from {describe(focus_before)} to {describe(now)}")
        audit(frame, title)
        reachable(desktop, frame, title)
        if title == "账户设置":
            tabs = [t.name for t in find_all(frame, role=pyatspi.ROLE_PAGE_TAB) if t.name not in PAGES]
            check(len(tabs) >= 2, f"账户设置: its tabs are {tabs}")
            selected = [t.name for t in find_all(frame, role=pyatspi.ROLE_PAGE_TAB)
                        if t.name not in PAGES and states(t).contains(pyatspi.STATE_SELECTED)]
            check(len(selected) == 1, f"账户设置: selected tabs {selected}")
    frames = [describe(f) for f in find_all(app, role=pyatspi.ROLE_FRAME, showing_only=False)]
    check(frames == [describe(frame)], f"top-level frames after the online pages: {frames}")

    alerts = AlertListener()
    uninstall_dialog(desktop, alerts, "取消")
    uninstall_dialog(desktop, alerts, "卸载")
    banner_and_focus(desktop, alerts)


def is_browser(node):
    """The engine's view: the Tab stop before the page's own, holding the web document."""
    return any(n.getRole() == pyatspi.ROLE_DOCUMENT_WEB for n in find_all(node, showing_only=False)
               if n is not node)


def is_in_document(node):
    parent = node.parent
    while parent is not None:
        if parent.getRole() == pyatspi.ROLE_DOCUMENT_WEB:
            return True
        parent = parent.parent
    return False


class AlertListener:
    """The names of alerts that show: what a screen reader speaks of them."""

    def __init__(self):
        self.heard = []
        pyatspi.Registry.registerEventListener(self._heard, "object:state-changed:showing")

    def _heard(self, event):
        try:
            if event.detail1 == 1 and event.source.getRole() == pyatspi.ROLE_ALERT:
                self.heard.append(event.source.name)
        except Exception:
            pass


def banner_and_focus(desktop, alerts):
    """安装 from the keyboard (nobody signed in, so it fails): both messages arrive as alerts shown,
    and the focus stays on the button all along."""
    frame = desktop.frame
    show_page(desktop, "本机插件")
    primary = wait_for(lambda: find(frame, role=pyatspi.ROLE_PUSH_BUTTON, name="安装"), 15, "the 安装 button")
    primary.queryComponent().grabFocus()
    pump(0.3)
    heard_before = len(alerts.heard)
    desktop.key("space")
    wait_for(lambda: any(a.startswith("安装失败") for a in alerts.heard[heard_before:]), 60, "the install's outcome")
    pump(0.5)
    check(alerts.heard[heard_before:] == ["正在获取 WPS 插件包...", "安装失败：尚未登录 Corvanta 账户，请先登录后再安装。"],
          f"the install's messages heard as alerts: {alerts.heard[heard_before:]}")
    now = focused(frame)
    check(now is not None and now.path == primary.path, f"after 安装 the focus is on {describe(now)}")


def uninstall_dialog(desktop, alerts, answer):
    """The uninstall's confirmation: an alert with named buttons; the answer decides."""
    frame = desktop.frame
    show_page(desktop, "本机插件")
    items = open_more_menu(desktop, focus)
    check(items == ["用本机缓存修复", "卸载插件"], f"installed, the menu offers {items}")
    if not choose_menu_item(desktop, focus, "卸载插件"):
        check(False, "the keyboard does not reach 卸载插件 in the menu")
        return
    dialog = wait_for(lambda: focus.last is not None and focus.last.getRole() == pyatspi.ROLE_PUSH_BUTTON
                      and dialog_of(focus.last), 10, "the uninstall dialog")
    audit(dialog, "the uninstall dialog")
    buttons = sorted(b.name for b in find_all(dialog, role=pyatspi.ROLE_PUSH_BUTTON))
    check(buttons == ["卸载", "取消"], f"the dialog's buttons are {buttons}")
    texts = " ".join(n.name for n in find_all(dialog) if n.getRole() == pyatspi.ROLE_LABEL)
    check("卸载 Corvanta分析插件？" in texts, f"the dialog reads {texts!r}")
    heard_before = len(alerts.heard)
    press(find(dialog, role=pyatspi.ROLE_PUSH_BUTTON, name=answer))
    # A window manager gives the keyboard back to the main window when the dialog goes; Xvfb has none.
    pump(0.5)
    desktop.focus_window()
    if answer == "取消":
        pump(2)
        check(find(frame, role=pyatspi.ROLE_PUSH_BUTTON, name="安装") is None, "declining uninstalled the add-in")
    else:
        wait_for(lambda: find(frame, role=pyatspi.ROLE_PUSH_BUTTON, name="安装"), 30, "the add-in to go")
        pump(0.5)
        check("插件已卸载。完全退出并重新打开 WPS 后生效。" in alerts.heard[heard_before:],
              f"the uninstall's outcome heard as alerts: {alerts.heard[heard_before:]}")
        items = open_more_menu(desktop, focus)
        desktop.key("Escape")
        check(items == ["用本机缓存修复"], f"nothing installed, yet the menu offers {items}")


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
