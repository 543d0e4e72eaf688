// The HTML5 page's player, second half: stepping, the splash and the
// settings, the two modes, touch, the hint and the keyboard. It is the
// same script element as the loader, which comes before it.
function stepOneFrame(stepDir) {
  if (stepDir < 0) {
    var i = gNextHist - 1;
    while (i >= 0 && gClickHist[i] == gCurrFrame) i--;
    gClickHist.length = i + 1;
    gNextHist = i + 1;
    loadFrame("x", i < 0 ? 0 : gClickHist[i]);
    return;
  }
  var first = byId("C" + gCurrFrame + "_0");
  if (first) {
    for (var a = 0; a < first.attributes.length; a++) {
      var code = first.attributes[a].value;
      if (code.indexOf("loadFrame(") == 0) {
        (new Function(code))();
        return;
      }
    }
  }
  loadFrame("x", Number(gCurrFrame) + 1);
}
function doLoadDone() {
  byId("loadWaitDiv").style.display = "none";
  byId("loadDoneDiv").style.display = "block";
  document.addEventListener("touchstart", touchStart, false);
  document.addEventListener("touchmove", touchMove, false);
  document.addEventListener("touchstart", touchBegin, true);
  document.addEventListener("touchend", touchEnd, { passive: false });
  document.addEventListener("keydown", doKeyDown, false);
}
function doPresentDemo() {
  document.body.style.backgroundColor = "#444444";
  byId("sDiv").style.display = "none";
  byId("cDiv").style.display = "block";
  byId("controlDiv").style.display = "block";
  gLearnMode = 1;
  loadFrame("x", 0);
}
function toggleSettDiv() {
  var s = byId("settDiv");
  if (s.style.display == "none") {
    s.style.zIndex = 199;
    s.style.display = "block";
  } else {
    s.style.display = "none";
    s.style.zIndex = 1;
  }
}
function setLearningMode(lm) {
  if (lm == "P") {
    gLearnMode = -1;
    byId("rightArrow").style.left = "80px";
    byId("hintButton").style.display = "block";
  } else {
    gLearnMode = 1;
    byId("rightArrow").style.left = "120px";
    byId("hintButton").style.display = "none";
  }
  byId("settDiv").style.display = "none";
  loadFrame("x", gCurrFrame);
}
function touchStart(evt) {
  gTouchStartX = -999;
  if (gLearnMode == 0 || evt.touches.length != 1) return;
  gTouchStartX = evt.touches[0].pageX;
  gTouchStartY = evt.touches[0].pageY;
}
function touchMove(evt) {
  if (gTouchStartX == -999 || evt.touches.length != 1) return;
  var dx = evt.touches[0].pageX - gTouchStartX;
  var dy = evt.touches[0].pageY - gTouchStartY;
  if (dx == 0 || Math.abs(dy) > Math.abs(dx)) return;
  gTouchStartX = -999;
  stepOneFrame(dx < 0 ? -1 : 1);
}
// A touch that already changed the frame (a swipe, a mouse-over area's
// touch handler) must not click whatever the new frame has under the finger.
function touchBegin(evt) {
  gTouchFrame = gCurrFrame;
}
function touchEnd(evt) {
  if (gLearnMode != 0 && gCurrFrame != gTouchFrame && evt.cancelable) evt.preventDefault();
}
function doFrameJump(fn) {
  byId("settDiv").style.display = "none";
  loadFrame("x", fn);
}
function showClickHint(sflag) {
  if (gLearnMode != -1) return;
  var first = byId("C" + gCurrFrame + "_0");
  if (!first) return;
  if (sflag == 1) {
    first.style.backgroundColor = "#FFFFFF";
    setTimeout(function () { showClickHint(-1); }, 300);
  } else {
    first.style.backgroundColor = "rgba(0,0,0,0)";
  }
}
// Enter or Space on a focused area runs its first handler, as a click,
// a mouse-over or a mouse-out would.
function activateArea(t) {
  var kinds = ["onclick", "onmouseenter", "onmouseover", "oncontextmenu", "ontouchstart", "onmouseleave"];
  for (var i = 0; i < kinds.length; i++) {
    var code = t.getAttribute(kinds[i]);
    if (code) {
      (new Function(code))();
      return;
    }
  }
}
// Keys while presenting: a key the frame waits for, then Left and Right
// Arrow to step, then a frame's any-key wait for keys that type a character.
function doKeyDown(evt) {
  if (gLearnMode == 0 || evt.altKey || evt.ctrlKey || evt.metaKey) return;
  var t = evt.target;
  if ((evt.keyCode == 13 || evt.keyCode == 32) && t && t.getAttribute && t.getAttribute("role") == "button") {
    evt.preventDefault();
    activateArea(t);
    return;
  }
  var pic = byId("P" + gCurrFrame);
  var keys = pic ? pic.getAttribute("data-k") : null;
  var anyKey = null;
  if (keys) {
    var list = keys.split(";");
    for (var i = 0; i < list.length; i++) {
      var k = list[i].split(",");
      if (k[0] == "0") {
        anyKey = k[1];
      } else if (Number(k[0]) == evt.keyCode) {
        evt.preventDefault();
        loadFrame(gCurrFrame, k[1]);
        return;
      }
    }
  }
  if (evt.keyCode == 37 || evt.keyCode == 39) {
    evt.preventDefault();
    stepOneFrame(evt.keyCode == 37 ? -1 : 1);
    return;
  }
  if (anyKey !== null && evt.key && evt.key.length == 1) {
    evt.preventDefault();
    loadFrame(gCurrFrame, anyKey);
  }
}
