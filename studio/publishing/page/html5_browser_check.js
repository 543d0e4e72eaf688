// Runs once the page's body is read: warns on a browser the page was not made for.
var gAgent = navigator.userAgent;
if (/MSIE [678]\./.test(gAgent)) {
  alert("This demo only works with Internet Explorer 9+ or with current versions of Firefox, Chrome, Safari, or Opera");
} else if (!/MSIE|Trident|Firefox|Chrome|Safari|Opera|OPR/.test(gAgent)) {
  alert("Warning: This browser may not work.  Pictomira recommends current versions of Firefox or Chrome.");
}
