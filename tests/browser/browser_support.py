"""Shared pieces of the browser tests: running the fixture program, a
headless Chromium driven through chromedriver, canvas pixels, PNG files for
the failure pictures, PDF page counting, a small check collector and the
frame every browser test runs in.

Only Debian's packages are used: chromium, chromium-driver and
python3-selenium, with Debian's own /usr/bin/python3."""

import argparse
import base64
import json
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"

# Runs before any script of a page: records dialogs (instead of showing
# them), script errors and rejected promises.
PAGE_HOOKS = r"""
(function () {
  window.__dialogs = [];
  window.__errors = [];
  ['alert', 'confirm', 'prompt'].forEach(function (n) {
    window[n] = function (m) { window.__dialogs.push(n + ': ' + String(m)); return n === 'confirm' ? false : null; };
  });
  window.addEventListener('error', function (e) {
    window.__errors.push(String(e.message) + ' at ' + e.filename + ':' + e.lineno);
  });
  window.addEventListener('unhandledrejection', function (e) { window.__errors.push('rejection: ' + String(e.reason)); });
})();
"""


class Checks:
    """Collects named results; a failed check does not stop the walk."""

    def __init__(self, artifacts):
        self.passed = 0
        self.failed = []
        self.notes = []
        self.artifacts = artifacts

    def note(self, text):
        """Something worth knowing that the page does as its description allows."""
        if text not in self.notes:
            self.notes.append(text)

    def expect(self, ok, what, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed.append(what + (": " + detail if detail else ""))
            print("FAIL " + what + (": " + detail if detail else ""), flush=True)
        return ok

    def equal(self, actual, expected, what):
        return self.expect(actual == expected, what, "got %r, expected %r" % (actual, expected))

    def finish(self):
        for n in self.notes:
            print("note: " + n)
        for f in self.failed:
            print("failed: " + f)
        print("%d passed, %d failed" % (self.passed, len(self.failed)))
        if self.failed:
            print("pictures of the failures are in " + self.artifacts)
        return 1 if self.failed else 0


def parse_args(description):
    p = argparse.ArgumentParser(description=description)
    p.add_argument("--fixture", required=True, help="the web_fixture program")
    p.add_argument("--keep", action="store_true", help="keep the work folder")
    p.add_argument("--work", help="work folder (default: a new temporary one)")
    p.add_argument("--page-writer", help="a command run with the work folder as its last argument after the "
                   "fixture, writing the pages again (another build of the program)")
    return p.parse_args()


def run_fixture(args):
    """Runs web_fixture into a work folder; returns (folder, demo description)."""
    work = args.work or tempfile.mkdtemp(prefix="pictomira-browser-")
    os.makedirs(work, exist_ok=True)
    r = subprocess.run([args.fixture, work], capture_output=True, text=True, timeout=120)
    sys.stdout.write(r.stdout)
    sys.stderr.write(r.stderr)
    if r.returncode != 0:
        raise SystemExit("web_fixture failed with status %d" % r.returncode)
    if args.page_writer:
        r = subprocess.run(shlex.split(args.page_writer) + [work], capture_output=True, text=True, timeout=600)
        sys.stdout.write(r.stdout)
        sys.stderr.write(r.stderr)
        if r.returncode != 0:
            raise SystemExit("the page writer failed with status %d" % r.returncode)
    with open(os.path.join(work, "demo.json"), encoding="utf-8") as f:
        demo = json.load(f)
    # Another build draws text with its own renderer: its notes cannot be the fixture's pixels.
    demo["ownNotes"] = bool(args.page_writer)
    return work, demo


def need_browser():
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.path.exists(path):
            raise SystemExit("%s is missing: run scripts/install-deps.sh" % path)


def start_browser(profile_dir, width=1280, height=1000):
    need_browser()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    o = webdriver.ChromeOptions()
    o.binary_location = CHROMIUM
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--force-device-scale-factor=1", "--force-color-profile=srgb", "--hide-scrollbars",
              "--no-first-run", "--no-default-browser-check", "--disable-extensions", "--lang=en-US",
              "--window-size=%d,%d" % (width, height), "--user-data-dir=" + profile_dir):
        o.add_argument(a)
    o.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    o.set_capability("unhandledPromptBehavior", "ignore")
    d = webdriver.Chrome(service=Service(CHROMEDRIVER), options=o)
    d.set_page_load_timeout(60)
    d.set_script_timeout(30)
    d.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": PAGE_HOOKS})
    return d


def severe_console(driver):
    """Console messages of level error since the last call."""
    return [e["message"] for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def open_dialog(driver):
    """The text of a dialog that is open right now, or None."""
    from selenium.common.exceptions import NoAlertPresentException
    try:
        return driver.switch_to.alert.text
    except NoAlertPresentException:
        return None


CANVAS_PIXELS = r"""
const c = document.getElementById(arguments[0]);
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let s = '';
for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));
return [c.width, c.height, btoa(s)];
"""

IMAGE_PIXELS = r"""
const img = document.getElementById(arguments[0]) || arguments[1];
const c = document.createElement('canvas');
c.width = img.naturalWidth; c.height = img.naturalHeight;
const x = c.getContext('2d');
x.drawImage(img, 0, 0);
const d = x.getImageData(0, 0, c.width, c.height).data;
let s = '';
for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));
return [c.width, c.height, btoa(s)];
"""


def canvas_rgba(driver, element_id="mainCanvas"):
    w, h, b = driver.execute_script(CANVAS_PIXELS, element_id)
    return w, h, base64.b64decode(b)


def image_rgba(driver, element_id=None, element=None):
    w, h, b = driver.execute_script(IMAGE_PIXELS, element_id, element)
    return w, h, base64.b64decode(b)


def read_rgb(path):
    with open(path, "rb") as f:
        return f.read()


def png_bytes(w, h, pixels, channels):
    """A PNG of 8-bit RGB (channels 3) or RGBA (channels 4) rows."""
    raw = b"".join(b"\0" + pixels[y * w * channels:(y + 1) * w * channels] for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    colour = 2 if channels == 3 else 6
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def save_png(path, w, h, pixels, channels):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png_bytes(w, h, pixels, channels))


def compare_rgba_to_rgb(rgba, rgb, w, h, alpha_must_be_opaque=True):
    """(number of differing pixels, first differing (x, y) or None)."""
    if len(rgba) != w * h * 4 or len(rgb) != w * h * 3:
        return w * h, None
    # Fast path: drop alpha and compare the rows as bytes.
    stripped = bytearray(w * h * 3)
    stripped[0::3] = rgba[0::4]
    stripped[1::3] = rgba[1::4]
    stripped[2::3] = rgba[2::4]
    alpha_ok = not alpha_must_be_opaque or rgba[3::4] == b"\xff" * (w * h)
    if bytes(stripped) == rgb and alpha_ok:
        return 0, None
    bad, first = 0, None
    for p in range(w * h):
        if stripped[3 * p:3 * p + 3] != rgb[3 * p:3 * p + 3] or (alpha_must_be_opaque and rgba[4 * p + 3] != 255):
            bad += 1
            if first is None:
                first = (p % w, p // w)
    return bad, first


def check_picture(checks, what, w, h, rgba, expected_rgb, aw=None, ah=None):
    """Checks an RGBA picture against expected RGB; saves both as PNG on failure."""
    if (aw, ah) != (None, None) and (aw, ah) != (w, h):
        return checks.expect(False, what, "picture is %dx%d, expected %dx%d" % (aw, ah, w, h))
    bad, first = compare_rgba_to_rgb(rgba, expected_rgb, w, h)
    if bad == 0:
        return checks.expect(True, what)
    name = re.sub(r"[^A-Za-z0-9]+", "_", what).strip("_")[:80]
    save_png(os.path.join(checks.artifacts, name + "_actual.png"), w, h, rgba, 4)
    save_png(os.path.join(checks.artifacts, name + "_expected.png"), w, h, expected_rgb, 3)
    detail = "%d of %d pixels differ" % (bad, w * h)
    if first is not None:
        x, y = first
        p = y * w + x
        detail += "; first at (%d, %d): %s, expected %s" % (x, y, tuple(rgba[4 * p:4 * p + 4]),
                                                            tuple(expected_rgb[3 * p:3 * p + 3]))
    return checks.expect(False, what, detail)


def pdf_page_count(pdf):
    """Counts the page objects of a PDF ("/Type /Page", not "/Pages"),
    looking into compressed object streams as well."""
    count = len(re.findall(rb"/Type\s*/Page(?![a-zA-Z])", pdf))
    for m in re.finditer(rb"/Type\s*/ObjStm.*?stream\r?\n", pdf, re.S):
        start = m.end()
        end = pdf.find(b"endstream", start)
        try:
            body = zlib.decompress(pdf[start:end])
        except zlib.error:
            continue
        count += len(re.findall(rb"/Type\s*/Page(?![a-zA-Z])", body))
    return count


def print_to_pdf(page_path, pdf_path, profile_dir, timeout=120):
    need_browser()
    cmd = [CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
           "--no-first-run", "--no-pdf-header-footer", "--user-data-dir=" + profile_dir,
           "--print-to-pdf=" + pdf_path, "file://" + page_path]
    r = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    return r.returncode, r.stderr


def wait_until(predicate, timeout, step=0.02):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)


def run_test(description, walk, after=None):
    """The frame of a browser test: the fixture's demo in a work folder, a
    fresh browser for walk(driver, demo, work, checks), then, with the browser
    closed, after(walk's result, demo, work, checks). A step that cannot go
    on is one failure and the rest is still reported. The work folder is
    removed when all passed (unless --keep or --work). Returns the exit status."""
    args = parse_args(description)
    work, demo = run_fixture(args)
    checks = Checks(os.path.join(work, "failures"))
    profile = tempfile.mkdtemp(prefix="pictomira-chromium-")
    started = time.monotonic()
    result = None
    driver = start_browser(profile)
    try:
        result = walk(driver, demo, work, checks)
    except Exception as e:
        import traceback
        traceback.print_exc()
        checks.expect(False, "the test ran to its end", repr(e))
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
    if after is not None:
        after(result, demo, work, checks)
    print("browser time %.1f s" % (time.monotonic() - started))
    rc = checks.finish()
    if rc == 0 and not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print("work folder: " + work)
    return rc
