// The HTML5 page's player, first half: its state and the frame loader.
//
// Every frame of the demo is a hidden IMG "P<frame>" on the page; a delta
// frame (data-d) holds only what changed since its base frame, so painting it
// paints the chain of bases underneath first. A frame's areas are the DIV
// "C<frame>" (areas "C<frame>_<k>", the first one the one a hint flashes); a
// note picture is the IMG "N<frame>" and its text the hidden "T<frame>".
//
// gLearnMode: 0 before the demo starts, 1 learning (red boxes, frame number,
// notes), -1 presentation (no boxes, the hint button).
// gClickHist/gNextHist: the frames that enter the back-step history (data-h),
// newest last, for stepping back. gTouch*: where a touch began, for swipes.
var gLearnMode = 0;
var gCurrFrame = "x";
var gClickHist = [];
var gNextHist = 0;
var gTouchStartX = -999;
var gTouchStartY = -999;
var gTouchFrame = "x";
function byId(id) {
  return document.getElementById(id);
}
// Paints frame fn; a delta frame needs the frame before it underneath,
// which is painted first unless it is the one on the canvas (shown).
function paintFrame(ctx, fn, shown) {
  var chain = [];
  var at = fn;
  for (;;) {
    var pic = byId("P" + at);
    if (!pic) break;
    chain.push(pic);
    var base = pic.getAttribute("data-d");
    if (base === null || base == shown) break;
    at = base;
  }
  for (var i = chain.length - 1; i >= 0; i--) ctx.drawImage(chain[i], 0, 0);
}
function showNoteText(fn) {
  var text = byId("T" + fn);
  byId("noteLive").innerHTML = text ? text.innerHTML : "";
}
function loadFrame(ofn, fn) {
  ofn = String(ofn);
  fn = String(fn);
  if (ofn != "x" && gCurrFrame != ofn) return;
  var pic = byId("P" + fn);
  if (!pic) return;
  var shown = gCurrFrame;
  var old = byId("C" + shown);
  if (old) old.style.display = "none";
  var areas = byId("C" + fn);
  if (areas) {
    var first = byId("C" + fn + "_0");
    if (first) first.style.backgroundColor = "rgba(0,0,0,0)";
    areas.style.borderColor = gLearnMode == 1 ? "#FF0000" : "transparent";
    areas.style.display = "block";
  }
  var canvas = byId("mainCanvas");
  var ctx = canvas.getContext("2d");
  paintFrame(ctx, fn, shown);
  if (gLearnMode == 1) {
    var note = byId("N" + fn);
    if (note) ctx.drawImage(note, Number(note.getAttribute("data-x")), Number(note.getAttribute("data-y")));
    byId("fnumDiv").innerHTML = fn;
  } else {
    byId("fnumDiv").innerHTML = "";
  }
  gCurrFrame = fn;
  if ((gNextHist == 0 || gClickHist[gNextHist - 1] != fn) && pic.hasAttribute("data-h")) {
    gClickHist.length = gNextHist;
    gClickHist.push(fn);
    gNextHist = gClickHist.length;
  }
  canvas.setAttribute("aria-label", pic.alt);
  if (fn != shown) showNoteText(fn);
  var timer = pic.getAttribute("data-timer");
  if (timer) {
    var parts = timer.split(",");
    setTimeout(function () { loadFrame(fn, parts[0]); }, parseInt(parts[1], 10));
  }
}
