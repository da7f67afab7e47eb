"""The Windows Installer package as an administrator deploys it: a silent
install for one user (both programs, the Start-menu shortcut, one entry in
Apps & features), the installed card showing weather, a newer package over
it (settings and the Run value kept) and an older one refused, and a silent
removal with the card running that leaves nothing of ours. The packages are
made by tools/package.sh from the built programs; the installed service
reads a stub Open-Meteo from the cloudwick-feed.conf an administrator puts
beside it."""
import glob
import os
import subprocess
import time

from tests.support import feed_wine, harness, stub_upstream
from tests.support.harness import OPTIONS
from e2e_local_service import SPRINGFIELD_IL, feed_conf, feed_exe

CONF = harness.conf_text(woeid=str(SPRINGFIELD_IL), name="Springfield, IL")
UNINSTALL_KEYS = ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                  "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
ERROR_INSTALL_FAILURE = 1603
BM_GETCHECK = 0xF0
# What `wine` passes on of a Windows exit code: its low 8 bits.
INSTALL_FAILURE_CODES = (ERROR_INSTALL_FAILURE, ERROR_INSTALL_FAILURE & 0xFF)


def version_text():
    with open(os.path.join(harness.REPO, "resources", "version.h")) as f:
        for line in f:
            if line.startswith("#define CLOUDWICK_VERSION_TEXT"):
                return line.split('"')[1]
    raise AssertionError("no CLOUDWICK_VERSION_TEXT")


def packages(name, *versions):
    """{version: path of the .msi}: the built programs packaged as the
    program's own version (None) or as another version number."""
    harness.require("wixl", "msibuild")
    win = os.path.dirname(feed_exe())
    out = os.path.join(harness.work_dir(), "msi", name)
    made = {}
    for v in versions:
        args = ["bash", os.path.join(harness.REPO, "tools", "package.sh")]
        if v is not None:
            args += ["--msi-version", v]
        subprocess.run(args + [win, out], check=True, timeout=300, stdout=subprocess.DEVNULL)
        made[v] = os.path.join(out, "cloudwick-%s-win32.msi" % (v or version_text()))
    return made


def dos(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def msiexec(card, *args):
    """msiexec's exit code, once every msiexec of the prefix has ended."""
    card.msi_logs = getattr(card, "msi_logs", 0) + 1
    log = os.path.join(harness.artifacts_dir(), "%s.msiexec%d.log" % (card.name, card.msi_logs))
    r = card.wine("msiexec", *(args + ("/l*v", dos(log))), timeout=180)
    assert harness.wait_for(lambda: not feed_wine.prefix_pids(card.prefix, "msiexec"), 120), "msiexec still running"
    return r.returncode


def user_dir(card):
    users = [d for d in glob.glob(os.path.join(card.prefix, "drive_c", "users", "*"))
             if os.path.basename(d) not in ("Public", "public")]
    assert len(users) == 1, users
    return users[0]


def install_dir(card):
    return os.path.join(user_dir(card), "AppData", "Local", "Programs", "Cloudwick")


def shortcut(card):
    return os.path.join(user_dir(card), "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                        "Cloudwick.lnk")


def reg_query(card, key, value=None):
    args = ["reg", "query", key] + (["/v", value] if value else ["/s"])
    r = card.wine(*args)
    return r.stdout.decode("latin-1") if r.returncode == 0 else ""


def entries(card):
    """Apps & features entries named Cloudwick: [{value: data}]."""
    found = []
    for root in UNINSTALL_KEYS:
        block = {}
        for line in reg_query(card, root).splitlines() + [""]:
            if line.startswith("HKEY_"):
                if block.get("DisplayName") == "Cloudwick":
                    found.append(block)
                block = {}
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                block[parts[0]] = parts[2]
        if block.get("DisplayName") == "Cloudwick":
            found.append(block)
    return found


def run_value(card):
    for line in reg_query(card, RUN_KEY, "Cloudwick").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == "Cloudwick":
            return parts[2]
    return None


def start_installed(card, stub):
    """The installed card, with the administrator's cloudwick-feed.conf
    beside the installed service (and a place chosen), until it shows weather."""
    folder = install_dir(card)
    with open(os.path.join(folder, "cloudwick-feed.conf"), "wb") as f:
        f.write(feed_conf(stub))
    if not os.path.exists(os.path.join(folder, "cloudwick.conf")):
        with open(os.path.join(folder, "cloudwick.conf"), "wb") as f:
            f.write(CONF)
    card.app = folder
    card.launch()
    return card.wait_text("txtTemp", "ne", b"", 15000)[0]


def card_with_desktop(name):
    # The harness's own copy of the exe is not used: the installed one is.
    return harness.Card(name, conf=False, start=False)


def case_silent_install_for_one_user_shows_weather(name):
    """msiexec /i /qn: both programs and the read-me in
    %LOCALAPPDATA%\\Programs\\Cloudwick, the Start-menu shortcut, one
    Apps & features entry with the exe's version and the publisher; the
    installed card shows the source's weather. Installed again and repaired
    (a program deleted): one entry, the program back, the settings kept."""
    msi = packages(name, None)[None]
    stub = stub_upstream.StubUpstream()
    c = harness.Checks()
    try:
        with card_with_desktop(name) as card:
            c.eq(msiexec(card, "/i", dos(msi), "/qn"), 0, "msiexec /i /qn")
            folder = install_dir(card)
            for f in ("Cloudwick.exe", "cloudwick-feed.exe", "README.txt"):
                c.true(os.path.isfile(os.path.join(folder, f)), "%s installed in %s" % (f, folder))
            with open(os.path.join(folder, "Cloudwick.exe"), "rb") as f:
                c.true(f.read() == open(card.card_exe, "rb").read(), "the built card is installed")
            c.true(os.path.isfile(shortcut(card)), "the Start-menu shortcut")
            found = entries(card)
            c.eq(len(found), 1, "one Apps & features entry")
            if found:
                c.eq(found[0].get("DisplayVersion"), version_text() + ".0", "the entry's version is the exe's")
                c.eq(found[0].get("Publisher"), "Cloudwick", "the entry's publisher")
                # Wine writes neither DisplayIcon nor EstimatedSize (Windows takes them from
                # ARPPRODUCTICON and the costing); the package checks test the icon's rows.
                c.true("MSIEXEC" in found[0].get("UninstallString", "").upper(),
                       "the entry uninstalls: %r" % found[0].get("UninstallString"))
            c.eq(run_value(card), None, "no Run value unless asked for")
            c.true(start_installed(card, stub), "the installed card shows weather")
            c.true(stub.calls > 0, "from the source, through the installed service")
            c.eq(len(feed_wine.feed_pids(card.prefix)), 1, "the installed service runs")
            card.screenshot()
            card.menu_command("exit")
            c.true(card.exited(15), "Exit ends the card")
            conf = open(os.path.join(folder, "cloudwick.conf"), "rb").read()

            # Installed twice, and repaired: still one entry, the settings kept.
            c.eq(msiexec(card, "/i", dos(msi), "/qn"), 0, "the same package again")
            os.remove(os.path.join(folder, "cloudwick-feed.exe"))
            # A repair in its property form (Wine's msiexec answered usage to /fa {code} /qn).
            c.eq(msiexec(card, "/i", dos(msi), "/qn", "REINSTALL=ALL", "REINSTALLMODE=amus"), 0, "a repair")
            c.true(os.path.isfile(os.path.join(folder, "cloudwick-feed.exe")), "the repair put the service back")
            c.eq(len(entries(card)), 1, "still one entry")
            c.eq(open(os.path.join(folder, "cloudwick.conf"), "rb").read(), conf, "the settings kept")
    finally:
        stub.close()
    c.done()


def case_newer_package_keeps_settings_older_refused(name):
    """Installed with STARTWITHWINDOWS=1 and the card running with a place:
    a package of a higher version installed over it leaves one entry (the
    new version), the settings file with its place and the Run value
    pointing at the installed exe; the card starts again with weather. An
    older package over it is refused and changes nothing."""
    msis = packages(name, "1.20", "1.90")
    stub = stub_upstream.StubUpstream()
    c = harness.Checks()
    try:
        with card_with_desktop(name) as card:
            c.eq(msiexec(card, "/i", dos(msis["1.20"]), "/qn", "STARTWITHWINDOWS=1"), 0, "1.20 installed")
            exe_dos = "C:\\users\\%s\\AppData\\Local\\Programs\\Cloudwick\\Cloudwick.exe" % os.path.basename(
                user_dir(card))
            c.eq(run_value(card), '"%s"' % exe_dos, "the Run value starts the installed exe")
            c.true(start_installed(card, stub), "the card shows weather")
            conf = os.path.join(install_dir(card), "cloudwick.conf")

            c.eq(msiexec(card, "/i", dos(msis["1.90"]), "/qn"), 0, "1.90 over 1.20, the card running")
            c.true(card.exited(20), "the upgrade ended the running card (it saved and closed)")
            c.true(harness.wait_for(lambda: not [p for p in feed_wine.feed_pids(card.prefix)], 20),
                   "and its service")
            found = entries(card)
            c.eq([e.get("DisplayVersion") for e in found], ["1.90.0"], "one entry, the new version")
            c.true(os.path.isfile(conf) and b"\r\n%d\r\n" % SPRINGFIELD_IL in open(conf, "rb").read(),
                   "the settings file and its place kept")
            c.true(os.path.isfile(os.path.join(install_dir(card), "cloudwick-feed.conf")),
                   "the administrator's service options kept")
            c.eq(run_value(card), '"%s"' % exe_dos, "the Run value still starts the installed exe")
            c.true(os.path.isfile(shortcut(card)), "the shortcut is there")

            rc = msiexec(card, "/i", dos(msis["1.20"]), "/qn")
            c.true(rc in INSTALL_FAILURE_CODES, "an older package over the newer one is refused (%d)" % rc)
            c.eq([e.get("DisplayVersion") for e in entries(card)], ["1.90.0"], "and the newer one stays")
            c.true(os.path.isfile(os.path.join(install_dir(card), "Cloudwick.exe")), "with its files")

            c.true(start_installed(card, stub), "the upgraded card shows weather with the kept place")
            c.true(card.text("txtTitle").startswith(b"Springfield"), "the kept place: %r" % card.text("txtTitle"))
            # The installer's Run value shows as "Start on Windows" ticked, and "Okay" keeps it.
            card.menu_command("options")
            c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
            checked = card.must("send %s %d %d 0 0" % (OPTIONS, harness.control_id("chkOnStart", OPTIONS), BM_GETCHECK))
            c.eq(harness.parse_fields(checked[0]).get("value"), "1", "Start on Windows is ticked")
            card.must("click %s %d" % (OPTIONS, harness.control_id("cmdOK", OPTIONS)))
            c.true(harness.wait_for(lambda: run_value(card) == '"%s"' % exe_dos, 5),
                   "the Run value is still right after Okay: %r" % run_value(card))
    finally:
        stub.close()
    c.done()


def case_silent_removal_with_the_card_running_leaves_nothing(name):
    """msiexec /x /qn while the installed card (started with Windows, set by
    STARTWITHWINDOWS=1) shows weather and its service runs: the card and the
    service end, and no file, folder, shortcut, entry, Run value or process
    of ours is left. A second removal changes nothing."""
    msi = packages(name, None)[None]
    stub = stub_upstream.StubUpstream()
    c = harness.Checks()
    try:
        with card_with_desktop(name) as card:
            c.eq(msiexec(card, "/i", dos(msi), "/qn", "STARTWITHWINDOWS=1"), 0, "installed")
            c.true(start_installed(card, stub), "the installed card shows weather")
            c.true(harness.wait_for(lambda: os.path.exists(os.path.join(install_dir(card), "cloudwick-feed.log")), 10),
                   "the service writes its log beside itself")
            started = time.time()
            c.eq(msiexec(card, "/x", dos(msi), "/qn"), 0, "msiexec /x /qn")
            c.true(card.exited(20), "the card ended")
            c.true(harness.wait_for(lambda: not feed_wine.feed_pids(card.prefix), 20), "its service ended")
            print("removal with the card running: %.1f s" % (time.time() - started))
            left = []
            for root, dirs, files in os.walk(install_dir(card)):
                left += [os.path.join(root, f) for f in files] + [os.path.join(root, d) for d in dirs]
            c.eq(left, [], "no file of ours left")
            c.true(not os.path.exists(install_dir(card)), "the folder is gone")
            c.true(not os.path.exists(shortcut(card)), "the shortcut is gone")
            c.eq(entries(card), [], "no Apps & features entry")
            c.eq(run_value(card), None, "no Run value")
            msiexec(card, "/x", dos(msi), "/qn")  # a second removal: nothing to remove, nothing comes back
            c.true(not os.path.exists(install_dir(card)) and not entries(card), "a second removal changes nothing")
    finally:
        stub.close()
    c.done()


def case_machine_wide_install_writes_the_policy(name):
    """ALLUSERS=1 FEEDHOST=name STARTWITHWINDOWS=1: the programs in Program
    Files, the Run value and the FeedHost policy under HKLM; the removal
    takes all three."""
    msi = packages(name, None)[None]
    c = harness.Checks()
    with card_with_desktop(name) as card:
        c.eq(msiexec(card, "/i", dos(msi), "/qn", "ALLUSERS=1", "FEEDHOST=weather.example.org",
                     "STARTWITHWINDOWS=1"), 0, "installed for the machine")
        folder = os.path.join(card.prefix, "drive_c", "Program Files", "Cloudwick")
        for f in ("Cloudwick.exe", "cloudwick-feed.exe", "README.txt"):
            c.true(os.path.isfile(os.path.join(folder, f)), "%s in Program Files" % f)
        c.true(not os.path.exists(install_dir(card)), "nothing in the user's own folder")
        policy = reg_query(card, "HKLM\\Software\\Policies\\Cloudwick", "FeedHost")
        c.true("weather.example.org" in policy, "the FeedHost policy: %r" % policy)
        run = reg_query(card, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Cloudwick")
        c.true("Program Files\\Cloudwick\\Cloudwick.exe" in run, "the machine's Run value: %r" % run)
        c.eq(len(entries(card)), 1, "one Apps & features entry")
        c.eq(msiexec(card, "/x", dos(msi), "/qn"), 0, "removed")
        c.true(not os.path.exists(folder), "the folder is gone")
        c.eq(reg_query(card, "HKLM\\Software\\Policies\\Cloudwick", "FeedHost"), "", "the policy value is gone")
        c.eq(reg_query(card, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Cloudwick"), "",
             "the Run value is gone")
        c.eq(entries(card), [], "no entry")
    c.done()
