#!/usr/bin/python3
# The window as a screen reader meets it over the AT-SPI bus: the real updater on a slow virtual
# camera, Update and the sheet's OK found by name and pressed through their actions, the ring read
# as a progress bar mid-way, the status heard changing until the completion. Skipped (77) without
# xvfb-run, dbus-run-session, at-spi2-core or pyatspi. Usage: <lumivex-updater> <demo resources>
import importlib.util, os, shutil, subprocess, sys, tempfile, time

updater, resources = sys.argv[1:3]
if "ATSPI_INSIDE" not in os.environ:
    if not (importlib.util.find_spec("pyatspi") and shutil.which("xvfb-run") and shutil.which("dbus-run-session")
            and os.path.exists("/usr/libexec/at-spi-bus-launcher")):
        sys.exit(77)
    # A screen and a session bus of its own; the accessibility bus starts on the first request.
    sys.exit(subprocess.call(["xvfb-run", "-a", "-n", str(100 + os.getpid() % 800), "dbus-run-session", "--",
                              sys.executable, *sys.argv], env=dict(os.environ, ATSPI_INSIDE="1")))

import pyatspi
from gi.repository import GLib

work = tempfile.mkdtemp()
with open(f"{resources}/Opt/LUMIVEX_RZ52940_0100.bin", "rb") as image, open(f"{work}/flash.bin", "wb") as flash:
    flash.write(image.read()[4:])  # firmware 0100 as the camera holds it, without the file's prefix
with open(f"{work}/camera.json", "w") as camera:
    camera.write('{"product": "LUMIVEX T", "flash": "flash.bin", "latency_us": 500, "program_us": 10000}')
heard = []  # the names and values the bus announced, in order
pyatspi.Registry.registerEventListener(
    lambda e: heard.append(e.source.queryValue().currentValue if "value" in e.type else e.source.name),
    "object:property-change:accessible-name", "object:property-change:accessible-value")
# The updater starts once the registry answers, so that it finds the registry running when it
# registers its window.
pyatspi.Registry.getDesktop(0).childCount
app = subprocess.Popen([updater], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(
    os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="C.UTF-8", XDG_STATE_HOME=work,
    LUMIVEX_RESOURCES_DIR=resources, LUMIVEX_VIRTUAL_CAMERA=f"{work}/camera.json"))

def wait_for(what, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            if found := what():
                return found
        except Exception:  # the tree changes under the reader while the window grows
            pass
        time.sleep(0.05)
    sys.exit(f"gave up waiting; heard {heard[-5:]}")

def find(role, name=None):
    window = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "lumivex-updater")
    return pyatspi.findDescendant(window, lambda o: o.getRoleName() == role and name in (None, o.name)
                                  and o.getState().contains(pyatspi.STATE_SHOWING))

try:
    for button in ("Update", "OK"):
        wait_for(lambda: find("push button", button).queryAction().doAction(0))
    ring = wait_for(lambda: find("progress bar")).queryValue()
    wait_for(lambda: (ring.minimumValue, ring.maximumValue) == (0, 100) and 0 < ring.currentValue < 100)
    done = "Firmware 0102 is now installed on your LUMIVEX T. Please reconnect the camera."
    wait_for(lambda: find("label").name == done and done in heard, 60)
    updating = heard.index("Updating firmware… Do not unplug the camera.")
    assert any(isinstance(v, float) and 0 < v < 100 for v in heard[updating:]), "no value heard mid-way"
finally:
    app.terminate()
    app.wait()
    shutil.rmtree(work)
