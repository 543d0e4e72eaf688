#!/usr/bin/python3
"""The HTML5 page of a demo in a real headless Chromium: it loads without a
script error or a dialog; "Present the Demo" shows frame 0; every
instruction of the demo is walked with the mouse (clicks, the right-click
area as its handler expects, hovering, leaving, timers, a key) and after
each step the canvas holds exactly the frame that the tree itself decodes,
delta frames included; the arrows and arrow keys, the back-step history,
presentation mode and its hint, the jump list, the note shown as text and
never run; taps, swipes and finger-sized targets on a touch screen; the
same walk with Tab and Enter alone.

Run: /usr/bin/python3 html5_page_test.py --fixture BUILD/tests/web_fixture"""

import base64
import os
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_support as bs  # noqa: E402

from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.actions.action_builder import ActionBuilder  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

CANVAS_LEFT, CANVAS_TOP = 43, 42
SCRIPT_NOTE = "<script>alert(1)</script>"
KEYS = {13: Keys.ENTER, 32: Keys.SPACE, 9: Keys.TAB, 37: Keys.ARROW_LEFT, 39: Keys.ARROW_RIGHT}


class Page:
    def __init__(self, driver, demo, work, checks):
        self.d = driver
        self.demo = demo
        self.work = work
        self.c = checks
        self.w, self.h = demo["width"], demo["height"]
        self.crop = demo["crop"]
        self.frames = demo["frames"]
        self._pictures = {}

    # ---- reading the page ----------------------------------------------------------
    def js(self, expr, *args):
        return self.d.execute_script("return " + expr, *args)

    def current(self):
        return self.js("String(gCurrFrame)")

    def learn_mode(self):
        return self.js("gLearnMode")

    def visible(self, element_id):
        return self.js("(function(e){if(!e)return false;const s=getComputedStyle(e);"
                       "return s.display!=='none'&&s.visibility!=='hidden'&&e.getClientRects().length>0;})"
                       "(document.getElementById(arguments[0]))", element_id)

    def picture(self, kind, f):
        key = (kind, f)
        if key not in self._pictures:
            if kind == "learn" and self.demo["ownNotes"]:
                self._pictures[key] = self.with_pages_note(f)
            else:
                self._pictures[key] = bs.read_rgb(os.path.join(self.work, "expected", "%s_%d.rgb" % (kind, f)))
        return self._pictures[key]

    def with_pages_note(self, f):
        """Frame f as decoded with the page's own note picture laid over it where the page says
        (a page written by a build whose text renderer differs from the fixture's)."""
        plain = self.picture("plain", f)
        b64 = self.js("""(function(f, w, h, plain) {
            const raw = atob(plain), c = document.createElement('canvas');
            c.width = w; c.height = h;
            const g = c.getContext('2d'), d = g.createImageData(w, h);
            for (let i = 0, j = 0; i < raw.length; i += 3, j += 4) {
              d.data[j] = raw.charCodeAt(i); d.data[j + 1] = raw.charCodeAt(i + 1);
              d.data[j + 2] = raw.charCodeAt(i + 2); d.data[j + 3] = 255;
            }
            g.putImageData(d, 0, 0);
            const note = document.getElementById('N' + f);
            if (note) g.drawImage(note, +note.dataset.x, +note.dataset.y);
            const out = g.getImageData(0, 0, w, h).data;
            let s = '';
            for (let i = 0; i < out.length; i += 4) s += String.fromCharCode(out[i], out[i + 1], out[i + 2]);
            return btoa(s);
          })(arguments[0], arguments[1], arguments[2], arguments[3])""", f, self.w, self.h,
                      base64.b64encode(plain).decode())
        return base64.b64decode(b64)

    def canvas_origin(self):
        r = self.js("document.getElementById('mainCanvas').getBoundingClientRect()")
        return r["left"], r["top"]

    def point(self, v):
        """Page point at the centre of an instruction rectangle (recorded-screen pixels)."""
        left, top = self.canvas_origin()
        return (int(left + (v[0] + v[2]) // 2 - self.crop[0]), int(top + (v[1] + v[3]) // 2 - self.crop[1]))

    def free_point(self, f):
        """A canvas point that lies in none of frame f's rectangles."""
        left, top = self.canvas_origin()
        rects = [i["v"] for i in self.frames[f]["instrs"] if i["type"] in "LRMEU"]
        for cx in range(10, self.w - 10, 17):
            for cy in range(10, self.h // 2, 13):
                x, y = cx + self.crop[0], cy + self.crop[1]
                if not any(r[0] - 4 <= x <= r[2] + 4 and r[1] - 4 <= y <= r[3] + 4 for r in rects):
                    return int(left + cx), int(top + cy)
        raise AssertionError("no free point on frame %d" % f)

    def note_text(self):
        return self.js("Array.from(document.querySelectorAll('[aria-live=\"polite\"]'))"
                       ".map(e => e.textContent).join('\\n')")

    # ---- acting like a person --------------------------------------------------------
    def move(self, x, y):
        ab = ActionBuilder(self.d, duration=0)
        ab.pointer_action.move_to_location(x, y)
        ab.perform()

    def click(self, x, y, right=False):
        ab = ActionBuilder(self.d, duration=0)
        ab.pointer_action.move_to_location(x, y)
        if right:
            ab.pointer_action.context_click()
        else:
            ab.pointer_action.click()
        ab.perform()

    def tap(self, x, y):
        """A finger's tap at page point (x, y)."""
        for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
            self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})

    def swipe(self, x, y, dx):
        """A finger moving dx pixels sideways from page point (x, y)."""
        steps = [{"x": x + dx * k // 4, "y": y} for k in range(5)]
        self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [steps[0]]})
        for p in steps[1:]:
            self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchMove", "touchPoints": [p]})
        self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})

    def click_element(self, element):
        ActionChains(self.d, duration=0).move_to_element(element).click().perform()

    def key(self, k):
        ActionChains(self.d, duration=0).send_keys(k).perform()

    def element_by_call(self, call):
        """The control whose onclick calls call (for example "stepOneFrame(-1)")."""
        found = [e for e in self.d.find_elements(By.CSS_SELECTOR, "[onclick], a[href]")
                 if call in (e.get_attribute("onclick") or "") + (e.get_attribute("href") or "")]
        return found[0] if found else None

    # ---- checking a shown frame -------------------------------------------------------
    def shows(self, f, what, learning=True):
        """Frame f is the current frame and the canvas holds it (with its note in learning mode)."""
        ok = self.c.equal(self.current(), str(f), what + ": current frame")
        w, h, rgba = bs.canvas_rgba(self.d)
        kind = "learn" if learning else "plain"
        ok &= bs.check_picture(self.c, "%s: canvas shows frame %d (%s)" % (what, f, kind), self.w, self.h, rgba,
                               self.picture(kind, f), w, h)
        fr = self.frames[f]
        if any(i["type"] in "LRMEU" for i in fr["instrs"]):
            ok &= self.c.expect(self.visible("C%d" % f), what + ": the rectangles of frame %d are shown" % f)
        if learning:
            ok &= self.c.equal(self.js("document.getElementById('fnumDiv').textContent.trim()"), str(f),
                               what + ": fnumDiv names the frame")
            if fr["hasNote"]:
                live = " ".join(self.note_text().split())
                first = fr["note"].split("\n")[0]
                ok &= self.c.expect(first in live, what + ": the live region reads the note",
                                    "%r not in %r" % (first, live[:200]))
        return ok


def jump_points(frames):
    points = []
    for fr in frames:
        ins = fr["instrs"]
        if ins and ins[0]["type"] == "L":
            f = fr["index"]
            prev = frames[f - 1]["instrs"] if f > 0 else []
            points.append(f - 1 if prev and prev[0]["type"] == "M" else f)
    if len(points) >= 7:
        s = len(points) // 6
        points = [points[k * s] for k in range(6)]
    return points


def jump_note(note):
    cut = next((i for i, ch in enumerate(note) if ord(ch) < 32), len(note))
    return note[:cut] if cut < 100 else note[:-1] + "..."


def is_delta(frames, f):
    ins = frames[f]["instrs"]
    targeted = any(i["rawTarget"] == f for fr in frames for i in fr["instrs"])
    return f > 0 and bool(ins) and ins[0]["type"] == "T" and ins[0]["rawTarget"] == -1 and not targeted


def load(page):
    if page.d.current_url.startswith("file://"):
        check_clean(page, "before loading the page again")
    page.d.get("file://" + page.demo["html5"])
    bs.wait_until(lambda: page.visible("loadDoneDiv"), 10)


def present_element(page):
    return page.d.execute_script(
        "const r=document.getElementById('loadDoneDiv');if(!r)return null;"
        "const all=[r,...r.querySelectorAll('*')].filter(e=>e.textContent.trim()==='Present the Demo');"
        "return all.length?all[all.length-1]:null;")


def check_clean(page, what):
    c = page.c
    c.equal(page.js("window.__dialogs"), [], what + ": no dialog was opened")
    c.equal(bs.open_dialog(page.d), None, what + ": no dialog is open")
    c.equal(page.js("window.__errors"), [], what + ": no script error")
    c.equal(bs.severe_console(page.d), [], what + ": no console error")


# ---- the parts of the test ------------------------------------------------------------

def static_page(page):
    c, d, demo = page.c, page.d, page.demo
    load(page)
    check_clean(page, "loading")
    c.equal(d.title, demo["name"] + " - Pictomira", "title")
    c.expect(bool(page.js("document.documentElement.getAttribute('lang')")), "the page names its language")
    for fixed in ("sDiv", "loadWaitDiv", "loadDoneDiv", "settDiv", "controlDiv", "fnumDiv", "rightArrow",
                  "hintButton", "cDiv", "mainCanvas"):
        c.expect(page.js("!!document.getElementById(arguments[0])", fixed), "element %s exists" % fixed)
    c.expect(page.visible("sDiv"), "the splash is shown")
    c.expect(not page.visible("loadWaitDiv"), "loadWaitDiv is hidden once loaded")
    c.expect(page.visible("loadDoneDiv"), "loadDoneDiv is shown once loaded")
    c.expect(not page.visible("cDiv") and not page.visible("controlDiv"), "canvas and controls wait for presenting")
    c.equal(page.js("gLearnMode"), 0, "gLearnMode before presenting")
    c.equal(page.js("String(gCurrFrame)"), "x", "gCurrFrame before presenting")
    c.equal(page.js("[document.getElementById('mainCanvas').width, document.getElementById('mainCanvas').height]"),
            [page.w, page.h], "canvas size is the crop's")
    c.expect(not page.js("Array.from(document.scripts).some(s => s.text.includes('alert(1)'))"),
             "the note's script text is inside no script element")
    # Every frame image: there, described, and the right size.
    for fr in page.frames:
        f = fr["index"]
        img = page.js("(function(e){return e?[e.naturalWidth,e.naturalHeight,e.getAttribute('alt')]:null;})"
                      "(document.getElementById('P'+arguments[0]))", f)
        if not c.expect(img is not None, "image P%d exists" % f):
            continue
        c.equal(img[:2], [page.w, page.h], "image P%d size" % f)
        c.expect(bool(img[2] and img[2].strip()), "image P%d has alt text" % f)
        c.equal(page.js("!!document.getElementById('N'+arguments[0])", f), fr["hasNote"],
                "note overlay N%d exists exactly when the frame has a note" % f)
        c.equal(page.js("!!document.getElementById('C'+arguments[0])", f),
                any(i["type"] in "LRMEU" for i in fr["instrs"]), "DIV C%d exists exactly for rectangle frames" % f)
    # Delta frames: pixels equal to the frame before are transparent; the rest is the frame.
    for fr in page.frames:
        f = fr["index"]
        w, h, rgba = bs.image_rgba(page.d, "P%d" % f)
        clear = sum(1 for a in rgba[3::4] if a == 0)
        if is_delta(page.frames, f):
            c.expect(clear > 0, "P%d is a delta frame with transparent pixels" % f, "none are transparent")
            plain, prev = page.picture("plain", f), page.picture("plain", f - 1)
            wrong = 0
            for p in range(w * h):
                if rgba[4 * p + 3] == 255:
                    wrong += rgba[4 * p:4 * p + 3] != plain[3 * p:3 * p + 3]
                elif rgba[4 * p + 3] == 0:
                    wrong += plain[3 * p:3 * p + 3] != prev[3 * p:3 * p + 3]
                else:
                    wrong += 1
            c.equal(wrong, 0, "P%d: opaque pixels are the frame's, clear ones equal the frame before" % f)
        else:
            c.equal(clear, 0, "P%d (not a delta frame) is opaque" % f)
    # Click and mouse-over areas reachable by keyboard and named; the rectangles where the description puts them.
    areas = page.js(
        "Array.from(document.querySelectorAll('[id^=C]')).filter(e => /^C\\d+_\\d+$/.test(e.id))"
        ".map(e => [e.id, e.hasAttribute('onmouseenter') || e.hasAttribute('oncontextmenu') ||"
        " (e.hasAttribute('onclick') && !e.hasAttribute('onmouseover')), e.getAttribute('tabindex'),"
        " e.getAttribute('role'), e.getAttribute('aria-label') || '', e.style.left, e.style.top, e.style.zIndex])")
    for ident, interactive, tabindex, role, label, left, top, z in areas:
        if not interactive:
            continue
        c.expect(tabindex is not None and int(tabindex) >= 0, ident + " is in the tab order", "tabindex %r" % tabindex)
        c.equal(role, "button", ident + " role")
        c.expect(bool(label.strip()), ident + " has an aria-label")
    for fr in page.frames:
        rects = []
        for i in fr["instrs"][:96]:
            if i["type"] in "LRMEU" and i["v"] not in rects:
                rects.append(i["v"])
        for k, v in enumerate(rects):
            style = page.js("(function(e){return e?[e.style.left,e.style.top,e.style.zIndex]:null;})"
                            "(document.getElementById(arguments[0]))", "C%d_%d" % (fr["index"], k))
            if c.expect(style is not None, "C%d_%d exists" % (fr["index"], k)):
                c.equal(style, ["%dpx" % (v[0] - page.crop[0] + CANVAS_LEFT), "%dpx" % (v[1] - page.crop[1] + CANVAS_TOP),
                                str(99 - k)], "C%d_%d position and z-index" % (fr["index"], k))


def present(page, what):
    el = present_element(page)
    if not page.c.expect(el is not None, what + ": 'Present the Demo' is in loadDoneDiv"):
        page.d.execute_script("doPresentDemo()")
    else:
        page.click_element(el)
    page.c.expect(bs.wait_until(lambda: page.learn_mode() == 1, 5), what + ": learning mode after presenting")
    page.c.expect(not page.visible("sDiv"), what + ": the splash is hidden")
    page.c.expect(page.visible("cDiv") and page.visible("controlDiv"), what + ": canvas and controls are shown")
    left, top = page.canvas_origin()
    page.c.equal((left, top), (CANVAS_LEFT, CANVAS_TOP), what + ": canvas origin")
    page.shows(0, what + ": frame 0")


def wait_timer(page, f, since, what):
    """Waits for frame f's timer; since is a time no later than the frame was loaded.
    Returns the target and a time no later than the target was loaded."""
    ms = page.frames[f]["instrs"][0]["v"][0]
    target = page.frames[f]["instrs"][0]["target"]
    end = time.monotonic() + ms / 1000 + 5
    last_seen = time.monotonic()
    while time.monotonic() < end:
        before = time.monotonic()
        if page.current() != str(f):
            break
        last_seen = before
        time.sleep(0.01)
    moved = page.current() != str(f)
    elapsed = (time.monotonic() - since) * 1000
    page.c.expect(moved, what + ": timer of frame %d fired" % f)
    page.c.expect(elapsed >= ms, what + ": timer of frame %d waited %d ms" % (f, ms), "fired after %d ms" % elapsed)
    page.c.expect((last_seen - since) * 1000 <= ms + 2000, what + ": timer of frame %d fired in time" % f,
                  "still waiting after %d ms" % ((last_seen - since) * 1000))
    return target, last_seen


def mouse_walk(page):
    """Every instruction with the mouse, in learning mode; returns the last frame."""
    c = page.c
    load(page)
    present(page, "mouse walk")
    f, since, left_once = 0, time.monotonic(), False
    notes = {}
    while True:
        fr = page.frames[f]
        if not fr["instrs"]:
            break
        first = fr["instrs"][0]
        kind, target = first["type"], first["target"]
        step = "mouse walk: frame %d (%s)" % (f, kind)
        before = time.monotonic()
        if kind == "L" and any(i["type"] == "E" for i in fr["instrs"]) and not left_once:
            # Leave the area first: back to the mouse-over frame, then over it again.
            e = next(i for i in fr["instrs"] if i["type"] == "E")
            page.move(*page.free_point(f))
            page.shows(e["target"], step + ", pointer left the area")
            page.move(*page.point(page.frames[e["target"]]["instrs"][0]["v"]))
            page.shows(f, step + ", pointer back over the area")
            left_once = True
        if kind == "L":
            page.click(*page.point(first["v"]))
        elif kind == "R":
            # As the page's handler expects: a right click where the area listens for
            # one, else the click that the page takes a right click as.
            area = "C%d_0" % f
            if page.js("document.getElementById(arguments[0]).hasAttribute('oncontextmenu')", area):
                page.click(*page.point(first["v"]), right=True)
            else:
                c.note("the right-click area %s has no contextmenu handler (onclick=%r): a real right click "
                       "does nothing, a left click moves on" % (
                           area, page.js("document.getElementById(arguments[0]).getAttribute('onclick')", area)))
                page.click(*page.point(first["v"]))
        elif kind == "M":
            page.move(*page.point(first["v"]))
        elif kind == "T":
            target, before = wait_timer(page, f, since, step)
        elif kind == "K":
            page.key(KEYS.get(first["v"][0], chr(first["v"][0])))
        else:
            c.expect(False, step + ": the walk knows this instruction")
            break
        if kind != "T" and not bs.wait_until(lambda: page.current() != str(f), 2):
            c.expect(False, step + ": the page moved on", "still on frame %s" % page.current())
            break
        since = before
        page.shows(target, step + " -> %d" % target)
        if SCRIPT_NOTE in page.frames[target]["note"]:
            notes[target] = page.note_text()
        f = target
    c.expect(f == len(page.frames) - 1, "mouse walk reached the last frame", "stopped at %d" % f)
    script_frames = [fr["index"] for fr in page.frames if SCRIPT_NOTE in fr["note"]]
    for sf in script_frames:
        c.expect(SCRIPT_NOTE in notes.get(sf, ""), "the note of frame %d is read out literally" % sf,
                 "live region: %r" % notes.get(sf, "")[:200])
    check_clean(page, "mouse walk")
    return f


def arrows_and_history(page, last):
    """The back arrow walks the history; the right arrow acts as the frame's main area."""
    c = page.c
    back = page.element_by_call("stepOneFrame(-1)")
    forward = page.d.find_element(By.ID, "rightArrow")
    if not c.expect(back is not None, "a control calls stepOneFrame(-1)"):
        return
    history = [fr["index"] for fr in page.frames if fr["index"] < last and has_history_entry(page.frames, fr["index"])]
    c.equal(page.js("gClickHist.map(String)"), [str(f) for f in history], "gClickHist after the walk")
    expected = list(reversed(history))[:3]
    for n, f in enumerate(expected):
        page.click_element(back)
        page.shows(f, "back arrow %d" % (n + 1))
    page.click_element(forward)
    after = page.frames[expected[-1]]["instrs"][0]["target"]
    page.shows(after, "right arrow")
    page.key(Keys.ARROW_LEFT)
    page.shows(expected[-1], "Left Arrow key")
    page.key(Keys.ARROW_RIGHT)
    page.shows(after, "Right Arrow key")
    check_clean(page, "arrows")
    return after


def has_history_entry(frames, f):
    ins = frames[f]["instrs"]
    if not ins or any(i["type"] == "T" for i in ins):
        return False
    if ins[0]["type"] == "M":
        return True
    if ins[0]["type"] != "L":
        return False
    prev = frames[f - 1]["instrs"] if f > 0 else []
    return not any(i["type"] == "M" and i["v"] == ins[0]["v"] for i in prev)


def set_mode(page, mode):
    """Opens the settings with their icon and clicks the mode's link."""
    c = page.c
    settings = page.element_by_call("toggleSettDiv()")
    if not c.expect(settings is not None, "a control calls toggleSettDiv()"):
        return False
    page.click_element(settings)
    c.expect(page.visible("settDiv"), "the settings open")
    link = page.element_by_call("setLearningMode('%s')" % mode)
    if not c.expect(link is not None, "a link calls setLearningMode('%s')" % mode):
        return False
    page.click_element(link)
    # A javascript: link runs in a task of its own: wait for it.
    return c.expect(bs.wait_until(lambda: page.learn_mode() == (-1 if mode == "P" else 1), 3),
                    "setLearningMode('%s') took effect" % mode)


def presentation_mode(page, f):
    c = page.c
    if not set_mode(page, "P"):
        return f
    c.equal(page.learn_mode(), -1, "presentation mode")
    c.expect(not page.visible("settDiv"), "the settings close")
    c.equal(page.js("document.getElementById('rightArrow').style.left"), "80px", "rightArrow moves to 80")
    c.expect(page.visible("hintButton"), "the hint button is shown")
    page.shows(f, "presentation mode reload", learning=False)
    border = page.js("getComputedStyle(document.getElementById(arguments[0])).borderTopColor", "C%d_0" % f)
    c.equal(border, "rgba(0, 0, 0, 0)", "the rectangle's border is hidden in presentation mode")
    # The hint: white at once, transparent again after 300 ms.
    page.click_element(page.d.find_element(By.ID, "hintButton"))
    bg = lambda: page.js("getComputedStyle(document.getElementById(arguments[0])).backgroundColor", "C%d_0" % f)
    c.equal(bg(), "rgb(255, 255, 255)", "the hint paints the main area white")
    c.expect(bs.wait_until(lambda: bg() == "rgba(0, 0, 0, 0)", 2), "the hint fades", "still %s" % bg())
    # Walk on in presentation mode.
    first = page.frames[f]["instrs"][0]
    page.click(*page.point(first["v"]))
    page.shows(first["target"], "presentation mode click", learning=False)
    f = first["target"]
    page.key(Keys.ARROW_LEFT)
    back = page.current()
    c.expect(back != str(f), "Left Arrow steps back in presentation mode")
    f = int(back)
    page.shows(f, "presentation mode Left Arrow", learning=False)
    # The settings' "Learning Mode" link switches back (in presentation mode the
    # right arrow at left 80 lies over most of fnumDiv).
    set_mode(page, "L")
    c.equal(page.learn_mode(), 1, "the Learning Mode link switches to learning mode")
    c.expect(not page.visible("hintButton"), "the hint button hides in learning mode")
    c.equal(page.js("document.getElementById('rightArrow').style.left"), "120px", "rightArrow back at 120")
    page.shows(f, "learning mode again")
    # A click on fnumDiv toggles the mode and reloads the frame.
    page.click_element(page.d.find_element(By.ID, "fnumDiv"))
    c.equal(page.learn_mode(), -1, "a click on fnumDiv switches to presentation mode")
    page.shows(f, "fnumDiv to presentation mode", learning=False)
    set_mode(page, "L")
    page.shows(f, "learning mode once more")
    check_clean(page, "presentation mode")
    return f


def jump_list(page):
    c = page.c
    points = jump_points(page.frames)
    links = [e for e in page.d.find_elements(By.CSS_SELECTOR, "#settDiv [onclick], #settDiv a[href]")
             if "doFrameJump" in (e.get_attribute("onclick") or "") + (e.get_attribute("href") or "")]
    c.equal(len(links), len(points), "jump list entries")
    settings = page.element_by_call("toggleSettDiv()")
    for j, f in enumerate(points[:len(links)]):
        if not page.visible("settDiv"):
            page.click_element(settings)
        link = links[j]
        label = link.text.strip()
        c.equal(label, "Beginning" if j == 0 else "Frame %d" % f, "jump entry %d label" % j)
        entry = page.d.execute_script("return arguments[0].parentElement.textContent", link)
        want = jump_note(page.frames[f]["note"])
        c.expect(" ".join(want.split()) in " ".join(entry.replace("\xa0", " ").split()),
                 "jump entry %d shows the note" % j, "%r not in %r" % (want, entry))
        page.click_element(link)
        bs.wait_until(lambda: page.current() == str(f), 3)
        c.expect(not page.visible("settDiv"), "jump entry %d closes the settings" % j)
        page.shows(f, "jump to frame %d" % f)
    check_clean(page, "jump list")


def tab_to(page, ident, limit=60):
    """Presses Tab until the element ident has the focus; the ids passed on the way."""
    seen = []
    for _ in range(limit):
        page.key(Keys.TAB)
        active = page.js("document.activeElement ? (document.activeElement.id || document.activeElement.tagName) : ''")
        seen.append(active)
        if active == ident:
            return True, seen
    return False, seen


def keyboard_walk(page):
    c = page.c
    load(page)
    seen = []
    for _ in range(20):
        page.key(Keys.TAB)
        text = page.js("document.activeElement ? document.activeElement.textContent.trim() : ''")
        seen.append(text[:30])
        if text == "Present the Demo":
            break
    if not c.expect(seen and seen[-1] == "Present the Demo", "keyboard: Tab reaches 'Present the Demo'",
                    "focus went %r" % seen):
        return
    page.key(Keys.ENTER)
    c.expect(bs.wait_until(lambda: page.learn_mode() == 1, 5), "keyboard: Enter presents the demo")
    page.shows(0, "keyboard: frame 0")
    f = 0
    since = time.monotonic()
    while page.frames[f]["instrs"]:
        first = page.frames[f]["instrs"][0]
        kind, target = first["type"], first["target"]
        step = "keyboard walk: frame %d (%s)" % (f, kind)
        before = time.monotonic()
        if kind in "LRM":
            ok, seen = tab_to(page, "C%d_0" % f)
            if not c.expect(ok, step + ": Tab reaches C%d_0" % f, "focus went %s" % seen):
                return
            page.key(Keys.ENTER)
        elif kind == "K":
            if first["v"][0] not in (9, 13):
                c.expect(False, step + ": the walk presses Tab and Enter only")
                return
            page.key(KEYS[first["v"][0]])
        elif kind == "T":
            target, before = wait_timer(page, f, since, step)
        if kind != "T" and not bs.wait_until(lambda: page.current() != str(f), 2):
            c.expect(False, step + ": the page moved on", "still on frame %s" % page.current())
            return
        since = before
        page.shows(target, step + " -> %d" % target)
        f = target
    c.expect(f == len(page.frames) - 1, "keyboard walk reached the last frame", "stopped at %d" % f)
    check_clean(page, "keyboard walk")


def touch_walk(page):
    """From frame 1 with a finger: a tap on the mouse-over area goes where the click on it
    leads (a finger cannot hover); swipes step forward and back."""
    c = page.c
    f = int(page.current())
    while page.frames[f]["instrs"] and page.frames[f]["instrs"][0]["type"] in "LR":
        first = page.frames[f]["instrs"][0]
        page.tap(*page.point(first["v"]))
        if not c.expect(bs.wait_until(lambda: page.current() != str(f), 2), "touch: a tap moves on from frame %d" % f):
            return
        f = first["target"]
        page.shows(f, "touch: tap -> %d" % f)
    if not c.expect(page.frames[f]["instrs"][0]["type"] == "M", "touch: the walk reaches the mouse-over frame"):
        return
    over = page.frames[f]["instrs"][0]
    click = next(i for i in page.frames[over["target"]]["instrs"] if i["type"] == "L" and i["v"] == over["v"])
    page.tap(*page.point(over["v"]))
    bs.wait_until(lambda: page.current() != str(f), 2)
    page.shows(click["target"], "touch: a tap on the mouse-over area of frame %d" % f)
    f = click["target"]
    while page.frames[f]["instrs"] and page.frames[f]["instrs"][0]["type"] == "T":
        bs.wait_until(lambda: page.current() != str(f), page.frames[f]["instrs"][0]["v"][0] / 1000 + 5)
        f = page.frames[f]["instrs"][0]["target"]
    page.shows(f, "touch: after the timers")
    left, top = page.canvas_origin()
    page.swipe(int(left + 100), int(top + 150), 120)
    bs.wait_until(lambda: page.current() != str(f), 2)
    forward = page.frames[f]["instrs"][0]["target"] if page.frames[f]["instrs"] else f + 1
    page.shows(forward, "touch: a swipe to the right steps forward")
    history = page.js("gClickHist.slice(0, gNextHist).map(String)")
    back = [h for h in history if h != str(forward)]
    page.swipe(int(left + 300), int(top + 150), -120)
    bs.wait_until(lambda: page.current() != str(forward), 2)
    if c.expect(bool(back), "touch: there is a frame to step back to", str(history)):
        page.shows(int(back[-1]), "touch: a swipe to the left steps back")


def touch_targets(page):
    """On a touch screen every click and mouse-over area offers at least 44 x 44 CSS
    pixels to a finger; a tap just beside a small area still hits it."""
    c = page.c
    page.d.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 1})
    load(page)
    c.expect(page.js("matchMedia('(pointer: coarse)').matches"), "the browser plays a touch screen")
    try:
        present(page, "touch screen")
        for fr in page.frames:
            sizes = page.js(
                "Array.from(document.querySelectorAll('#C' + arguments[0] + ' [role=button]'))"
                ".filter(e => e.hasAttribute('onclick') || e.hasAttribute('onmouseenter'))"
                ".map(e => { const s = document.getElementById('C' + arguments[0]).style.display;"
                " document.getElementById('C' + arguments[0]).style.display = 'block';"
                " let r = e.getBoundingClientRect(); let L = r.left, T = r.top, R = r.right, B = r.bottom;"
                " e.querySelectorAll('*').forEach(k => { const q = k.getBoundingClientRect();"
                " if (q.width && q.height) { L = Math.min(L, q.left); T = Math.min(T, q.top);"
                " R = Math.max(R, q.right); B = Math.max(B, q.bottom); } });"
                " document.getElementById('C' + arguments[0]).style.display = s;"
                " return [e.id, R - L, B - T]; })", fr["index"])
            for ident, w, h in sizes or []:
                c.expect(w >= 44 and h >= 44, "touch target of %s is 44 x 44 or more" % ident, "%g x %g" % (w, h))
        # Frame 0's small area: a tap 4 pixels outside its drawn box still hits it.
        small = [i for i in page.frames[0]["instrs"] if i["type"] == "L" and
                 (i["v"][2] - i["v"][0] < 40 or i["v"][3] - i["v"][1] < 40)]
        if c.expect(bool(small), "the demo has a small click area on frame 0"):
            v = small[0]["v"]
            left, top = page.canvas_origin()
            x = int(left + v[2] - page.crop[0] + 4 + 2)
            y = int(top + (v[1] + v[3]) // 2 - page.crop[1])
            page.tap(x, y)
            bs.wait_until(lambda: page.current() != "0", 2)
            page.shows(small[0]["target"], "touch screen: a tap beside the small area")
        touch_walk(page)
    finally:
        page.d.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    # The control bar's own targets, as the description sizes them.
    controls = [page.element_by_call("toggleSettDiv()"), page.element_by_call("stepOneFrame(-1)")]
    controls += [page.d.find_element(By.ID, i) for i in ("fnumDiv", "rightArrow", "hintButton")]
    page.d.execute_script("setLearningMode('P')")
    small = []
    for el in controls:
        if el is None:
            continue
        r = page.js("arguments[0].getBoundingClientRect()", el)
        if r["width"] < 44 or r["height"] < 44:
            small.append("%s %gx%g" % (el.get_attribute("id") or el.get_attribute("aria-label"), r["width"], r["height"]))
    if small:
        c.note("control-bar targets smaller than 44 x 44 CSS px: " + ", ".join(small))
    check_clean(page, "touch screen")


def walk(driver, demo, work, checks):
    page = Page(driver, demo, work, checks)
    static_page(page)
    last = mouse_walk(page)
    f = arrows_and_history(page, last)
    if f is not None:
        presentation_mode(page, f)
    jump_list(page)
    touch_targets(page)
    keyboard_walk(page)
    check_clean(page, "the end")


def main():
    return bs.run_test(__doc__, walk)


if __name__ == "__main__":
    sys.exit(main())
