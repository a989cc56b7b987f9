#!/usr/bin/env bash
# Runs the suite under the sanitizers:
# 1. preset `asan` (address + undefined behaviour): every unit, GUI and end-to-end test;
# 2. preset `tsan` (thread): the catalogue run handing its work to the UI thread
#    (tests/gui/tst_catalogue_threads.cpp), the only place where two threads share anything.
set -euo pipefail
cd "$(dirname "$0")/.."
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24")
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake --preset asan >/dev/null
cmake --build --preset asan -- -j2
# Unit tests run only our own code: every check, leaks included. Those that make a real player
# host libVLC, whose plugins are unloaded at exit: what a plugin left is reported from an
# unknown module, with no name to tell it by, so those run with every check but leaks.
hosts_libvlc='^unit\.tst_(library_service|mpris|playback_controller|screen_saver_inhibitor|speed_snapshot)$'
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan -L unit -E "$hosts_libvlc" -j2 \
  --output-on-failure
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan -R "$hosts_libvlc" -j2 --output-on-failure
# GUI and end-to-end tests host the web engine (Chromium inside QtWebEngineCore), libVLC,
# fontconfig, Mesa and D-Bus, none built with the sanitizer. Chromium deletes objects through a
# pointer of another type inside its own code (new-delete-type-mismatch in ~WebContentsAdapter,
# every time a web view goes away), and those libraries leave allocations at exit that the leak
# checker reports without a name to tell them apart. These two checks are off here; every other
# check stays on. One test at a time: the end-to-end tests start several viewers each.
# tst_hostile_ad_memory is left to the plain build: it measures the process tree's memory and the
# render processes' lives, which the sanitizer's shadow memory and pace change.
ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 \
  "${xvfb[@]}" ctest --test-dir build-asan -L 'gui|e2e' -E '^e2e\.tst_hostile_ad_memory$' -j1 \
  --output-on-failure

cmake --preset tsan >/dev/null
cmake --build --preset tsan --target tst_catalogue_threads -- -j2
# Qt is not built with the thread sanitizer; tests/tsan.supp says what that costs and why the
# check still holds. A report makes the run fail (exit code 66). No session bus: libdbus is not
# built with the sanitizer either, and where dbus-x11 is installed it would start a bus of its own
# and report races inside itself.
DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus \
  TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp exitcode=66" \
  "${xvfb[@]}" build-tsan/bin/tst_catalogue_threads
