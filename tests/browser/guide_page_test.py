#!/usr/bin/python3
"""The Demo Guide page of a demo in a real headless Chromium: the title page
with its notes, one "Step N" heading per step with the step's note as text
(never run) and its picture, which is the frame with its red boxes exactly
as the tree draws it; and Chromium's --print-to-pdf of the page has the
title page and one page per step.

Run: /usr/bin/python3 guide_page_test.py --fixture BUILD/tests/web_fixture"""

import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_support as bs  # noqa: E402

SCRIPT_NOTE = "<script>alert(1)</script>"


def guide_steps(frames):
    """The frames that are steps of the guide, in order."""
    steps = []
    for fr in frames:
        f, ins = fr["index"], fr["instrs"]
        if not fr["hasNote"]:
            continue
        if len(ins) == 1 and ins[0]["type"] == "T":
            continue
        if f > 0 and any(i["type"] == "M" for i in frames[f - 1]["instrs"]):
            continue
        steps.append(f)
    return steps


def text_lines(text):
    return [" ".join(line.split()) for line in text.split("\n") if line.strip()]


def check_page(driver, demo, work, checks):
    c = checks
    driver.get("file://" + demo["guide"])
    js = lambda expr, *a: driver.execute_script("return " + expr, *a)
    c.equal(js("window.__dialogs"), [], "no dialog was opened")
    c.equal(bs.open_dialog(driver), None, "no dialog is open")
    c.equal(js("window.__errors"), [], "no script error")
    c.equal(bs.severe_console(driver), [], "no console error")
    c.equal(driver.title, demo["name"] + " - Pictomira Demo Guide", "title")
    c.equal(js("Array.from(document.querySelectorAll('h2')).map(e => e.textContent.trim())"),
            [demo["name"] + " - Pictomira Demo Guide"], "the H2 heading")
    c.equal(js("document.scripts.length"), 0, "the guide carries no script")
    c.equal(js("getComputedStyle(document.body).backgroundColor"), "rgb(68, 68, 68)", "body background")
    c.equal(js("getComputedStyle(document.body).color"), "rgb(255, 255, 255)", "text colour")

    # The title page notes: centred, one line per line of the notes, shown literally.
    centred = js("Array.from(document.querySelectorAll('center h3')).map(e => e.innerText)")
    c.equal(len(centred), 1, "one centred heading with the title notes")
    if centred:
        c.equal(text_lines(centred[0]), text_lines(demo["titleNotes"]), "the title notes, line by line")

    # Steps: a heading "Step N" each, starting a printed page, then the note, then the picture.
    steps = guide_steps(demo["frames"])
    headings = js("Array.from(document.querySelectorAll('h3')).filter(e => /^Step /.test(e.textContent.trim()))"
                  ".map(e => [e.textContent.trim(), getComputedStyle(e).breakBefore])")
    c.equal([h[0] for h in headings], ["Step %d" % (n + 1) for n in range(len(steps))], "step headings")
    c.expect(all(h[1] == "page" for h in headings), "every step heading starts a page",
             str([h[1] for h in headings]))
    images = js("Array.from(document.images).map(e => [e.src.startsWith('data:image/png;base64,'), e.naturalWidth,"
                " e.naturalHeight, e.getBoundingClientRect().width])")
    c.equal(len(images), len(steps), "one picture per step")
    shown_width = demo["width"] if demo["width"] <= 1280 else 1024
    for n, img in enumerate(images):
        c.equal(img, [True, demo["width"], demo["height"], shown_width], "step %d picture: PNG, size, shown width" % (n + 1))

    # What lies between one heading and the next: the note's text and the picture.
    sections = driver.execute_script(r"""
const out = [];
const hs = Array.from(document.querySelectorAll('h3')).filter(e => /^Step /.test(e.textContent.trim()));
hs.forEach((h, i) => {
  const r = document.createRange();
  r.setStartAfter(h);
  if (i + 1 < hs.length) r.setEndBefore(hs[i + 1]); else r.setEndAfter(document.body.lastChild);
  const box = document.createElement('div');
  box.appendChild(r.cloneContents());
  document.body.appendChild(box);
  const text = box.innerText;
  const imgs = box.querySelectorAll('img').length;
  box.remove();
  out.push([text, imgs]);
});
return out;""")
    for n, f in enumerate(steps[:len(sections)]):
        text, imgs = sections[n]
        c.equal(text_lines(text), text_lines(demo["frames"][f]["note"]), "step %d shows the note of frame %d" % (n + 1, f))
        c.equal(imgs, 1, "step %d has one picture" % (n + 1))
    body = js("document.body.textContent")
    c.expect(SCRIPT_NOTE in body, "the note with a script element is shown literally")

    # The pictures: the frame with its red boxes, pixel for pixel.
    elements = driver.find_elements("tag name", "img")
    for n, f in enumerate(steps[:len(elements)]):
        w, h, rgba = bs.image_rgba(driver, None, elements[n])
        expected = bs.read_rgb(os.path.join(work, "expected", "guide_%d.rgb" % f))
        bs.check_picture(c, "step %d picture is frame %d with its red boxes" % (n + 1, f), demo["width"],
                         demo["height"], rgba, expected, w, h)
    return steps


def check_pdf(demo, work, steps, checks):
    profile = tempfile.mkdtemp(prefix="pictomira-chromium-")
    pdf_path = os.path.join(work, "guide.pdf")
    try:
        rc, err = bs.print_to_pdf(demo["guide"], pdf_path, profile)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if not checks.expect(rc == 0 and os.path.exists(pdf_path), "chromium --print-to-pdf wrote the PDF",
                         "status %d: %s" % (rc, err[-500:])):
        return
    with open(pdf_path, "rb") as f:
        pdf = f.read()
    checks.expect(pdf.startswith(b"%PDF-"), "the PDF starts as a PDF")
    checks.equal(bs.pdf_page_count(pdf), 1 + len(steps), "PDF pages: the title page and one per step")


def main():
    return bs.run_test(__doc__, check_page,
                       lambda steps, demo, work, checks:
                       check_pdf(demo, work, steps or guide_steps(demo["frames"]), checks))


if __name__ == "__main__":
    sys.exit(main())
