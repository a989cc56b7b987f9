#include "HostileAds.h"

#include <algorithm>

namespace station {

namespace {

// Sends the beacon synchronously, so that it leaves before any loop that follows can stop the
// page's thread; failures are of no interest to the page.
constexpr std::string_view kBeaconScript = R"(
function beacon(what) {
  try {
    var x = new XMLHttpRequest();
    x.open('GET', '/ad/beacon?' + what, false);
    x.send();
  } catch (e) {}
}
function probe(name, attempt) {
  try { attempt(); } catch (e) { beacon(name + '=threw-' + e.name); }
}
)";

std::string page(std::string_view title, std::string_view head, std::string_view script) {
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
    html += title;
    html += "</title>";
    html += head;
    html += "</head>\n<body style=\"margin:0;width:380px;height:328px;background:#a33;color:#fff;"
            "font:20px sans-serif\">";
    html += title;
    html += "\n<script>";
    html += kBeaconScript;
    html += script;
    html += "</script></body></html>\n";
    return html;
}

struct Entry {
    HostileAd ad;
    std::string_view head;
    std::string_view script;
};

const std::vector<Entry>& entries() {
    static const std::vector<Entry> table = {
        {{"alert-loop", "alert() again and again"},
         "",
         R"(beacon('alert-loop-start');
beacon('alert-loop-returned=' + String(alert('广告')));
for (;;) alert('广告');
)"},
        {{"confirm-loop", "confirm() again and again"},
         "",
         R"(beacon('confirm-loop-start');
beacon('confirm-loop-returned=' + String(confirm('广告')));
for (;;) confirm('广告');
)"},
        {{"prompt-loop", "prompt() again and again"},
         "",
         R"(beacon('prompt-loop-start');
beacon('prompt-loop-returned=' + String(prompt('广告', 'default')));
for (;;) prompt('广告', 'default');
)"},
        {{"meta-refresh", "<meta> refresh after 0 s"},
         R"(<meta http-equiv="refresh" content="0">)",
         R"(beacon('meta-refresh-load');
)"},
        {{"reload-loop", "location.reload() on every load"},
         "",
         R"(beacon('reload-loop-load');
location.reload();
)"},
        {{"popups", "window.open() on load, on a timer and on a click"},
         "",
         R"(beacon('popups-onload=' + (window.open('/ad/hostile/popups?child-onload') === null));
var opened = 0;
for (var i = 0; i < 1000; i++)
  if (window.open('/ad/hostile/popups?child-loop') !== null) opened++;
beacon('popups-loop-opened=' + opened);
document.addEventListener('mousedown', function () {
  beacon('popups-click=' + (window.open('/ad/hostile/popups?child-click') === null));
  var a = document.createElement('a');
  a.href = '/ad/hostile/popups?child-link';
  a.target = '_blank';
  document.body.appendChild(a);
  a.click();
  beacon('popups-click-done');
});
)"},
        {{"schemes", "file:, custom-scheme and browser-internal navigations"},
         "",
         R"(var targets = ['file:///etc/passwd', 'velmora-evil://steal', 'chrome://crash',
  'chrome://gpuhang', 'view-source:/ad/', 'mailto:victim@example.com',
  'data:text/html,<h1>x</h1>', 'ftp://127.0.0.1/'];
var frame = document.createElement('iframe');
frame.src = 'file:///etc/hostname';
frame.style = 'position:absolute;left:0;top:0;width:2px;height:2px;border:0'; // not under a click
document.body.appendChild(frame);
fetch('file:///etc/hostname').then(function () { beacon('schemes-fetch=read'); },
                                   function () { beacon('schemes-fetch=refused'); });
for (var i = 0; i < targets.length; i++) {
  try { location.href = targets[i]; } catch (e) {}
}
setTimeout(function () { beacon('schemes-still-here'); }, 300);
document.addEventListener('mousedown', function () {
  location.href = 'file:///etc/passwd';
  var input = document.createElement('input');
  input.type = 'file';
  document.body.appendChild(input);
  input.click();
  setTimeout(function () { beacon('schemes-click-still-here'); }, 500);
});
)"},
        {{"permissions", "fullscreen, location, camera, notifications, plugins, clipboard"},
         "",
         R"(function report(name) { return function (v) { beacon('permissions-' + name + '=' + v); }; }
function failure(name) { return function (e) { beacon('permissions-' + name + '=' + (e && e.name || e)); }; }
probe('permissions-plugins', function () { report('plugins')(navigator.plugins.length); });
probe('permissions-geolocation', function () {
  navigator.geolocation.getCurrentPosition(function () { report('geolocation')('granted'); },
                                           function (e) { report('geolocation')('denied-' + e.code); });
});
probe('permissions-notification', function () {
  Notification.requestPermission().then(report('notification'), failure('notification'));
});
probe('permissions-media', function () {
  navigator.mediaDevices.getUserMedia({audio: true, video: true})
    .then(function () { report('media')('granted'); }, failure('media'));
});
probe('permissions-fullscreen', function () {
  document.documentElement.requestFullscreen()
    .then(function () { report('fullscreen')('granted'); }, failure('fullscreen'));
});
document.addEventListener('mousedown', function () {
  probe('permissions-click-fullscreen', function () {
    document.documentElement.requestFullscreen()
      .then(function () { report('click-fullscreen')('granted'); }, failure('click-fullscreen'));
  });
  probe('permissions-click-pointer', function () { document.body.requestPointerLock(); });
  probe('permissions-click-clipboard', function () {
    navigator.clipboard.readText()
      .then(function () { report('click-clipboard')('read'); }, failure('click-clipboard'));
  });
});
)"},
        {{"busy", "a script that never returns"},
         "",
         R"(beacon('busy-start');
for (;;) {}
)"},
        {{"memory", "a script that allocates without end"},
         "",
         R"(beacon('memory-start');
var hoard = [];
for (;;) hoard.push(new Array(1 << 20).fill(1.5));
)"},
        // From the load on, or with "?while-shown" only while it can be seen, as an advertisement
        // animates: a page hidden until the countdown must not get through it unwatched. Each
        // round takes 64 MiB or a DOM of 20 000 nodes, none of it on the script heap, all of it
        // written to.
        {{"outside-heap", "typed arrays, canvases, WebAssembly memory and DOM nodes"},
         "",
         R"(var whileShown = location.search.indexOf('while-shown') >= 0;
beacon('outside-heap-load=' + document.visibilityState);
var held = [], round = 0, timer = null;
function hoard() {
  if (whileShown && document.visibilityState !== 'visible')
    return;
  switch (round++ % 4) {
  case 0:
    var bytes = new Uint8Array(64 << 20);
    bytes.fill(1);
    held.push(bytes);
    break;
  case 1:
    var canvas = document.createElement('canvas');
    canvas.width = 4096;
    canvas.height = 4096;
    var g = canvas.getContext('2d');
    g.fillStyle = '#a33';
    g.fillRect(0, 0, 4096, 4096);
    held.push(canvas, g.getImageData(0, 0, 4096, 1024));
    break;
  case 2:
    var memory = new WebAssembly.Memory({initial: 1024});
    new Uint8Array(memory.buffer).fill(2);
    held.push(memory);
    break;
  default:
    var box = document.createElement('div');
    for (var i = 0; i < 20000; i++)
      box.appendChild(document.createElement('span')).textContent = 'x' + i;
    held.push(box);
  }
  if (round === 1)
    beacon('outside-heap-start=' + document.visibilityState);
}
setInterval(hoard, 20);
)"},
    };
    return table;
}

} // namespace

const std::vector<HostileAd>& hostileAds() {
    static const std::vector<HostileAd> ads = [] {
        std::vector<HostileAd> out;
        for (const Entry& e : entries())
            out.push_back(e.ad);
        out.push_back({kRedirectLoopAd, "a redirect to itself, again and again"});
        return out;
    }();
    return ads;
}

std::optional<std::string> hostileAdPage(std::string_view name) {
    const auto& table = entries();
    const auto it =
        std::find_if(table.begin(), table.end(), [&](const Entry& e) { return e.ad.name == name; });
    if (it == table.end())
        return std::nullopt;
    return page(it->ad.name, it->head, it->script);
}

} // namespace station
