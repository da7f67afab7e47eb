"""An organisation's own feed service named by policy: cloudwick-feed (the
Linux program, sample data) runs on port 80 of another address of the
case's namespace, under a name the namespace's hosts file gives it, with
--allowed-host. FeedHost in HKLM\\Software\\Policies\\Cloudwick, or the
installer's FEEDHOST property, points the card there: it shows that
server's weather and starts no service of its own; with the value removed,
the card's own service is back at the next start."""
import os
import socket
import subprocess
import time

from tests.support import harness, stub_upstream
from e2e_local_service import card_with_service, service_log, service_pids
import e2e_installer

ORG_HOST = "weather.corp.example"
ORG_ADDRESS = "127.0.0.5"  # not 127.0.0.1, where a card's own service would listen
TOKYO = 1850147  # a place of the sample data
CONF = harness.conf_text(woeid=str(TOKYO), name="Tokyo", celsius=1)
POLICY_KEY = "HKLM\\Software\\Policies\\Cloudwick"


def name_in_hosts_file():
    """/etc/hosts of this namespace with ORG_HOST added (a bind mount in the
    case's own mount namespace)."""
    path = os.path.join(harness.work_dir(), "netns", "policy-hosts-%d" % os.getpid())
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open("/etc/hosts") as f:
        text = f.read()
    with open(path, "w") as f:
        f.write(text + "\n%s %s\n" % (ORG_ADDRESS, ORG_HOST))
    subprocess.run(["mount", "--bind", path, "/etc/hosts"], check=True)
    assert socket.gethostbyname(ORG_HOST) == ORG_ADDRESS


class OrgService:
    """cloudwick-feed on ORG_ADDRESS:80 for ORG_HOST; its log is its standard error."""

    def __init__(self, name):
        exe = os.environ.get("FEED_SERVICE_EXE", "")
        if not exe or not os.path.isfile(exe):
            raise harness.Skip("FEED_SERVICE_EXE (cloudwick-feed) is not built: %r" % exe)
        self.log_path = os.path.join(harness.artifacts_dir(), "%s.org-service.log" % name)
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([exe, "--provider", "sample", "--listen", "%s:80" % ORG_ADDRESS,
                                      "--allowed-host", ORG_HOST, "--fixed-time", "2026-12-08T09:50"],
                                     stdout=subprocess.DEVNULL, stderr=self.log)

        def listening():
            try:
                socket.create_connection((ORG_ADDRESS, 80), 0.5).close()
                return True
            except OSError:
                return False

        if not harness.wait_for(listening, 30):
            raise RuntimeError("cloudwick-feed does not listen on %s:80" % ORG_ADDRESS)

    def requests(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("latin-1").count('"GET /forecastrss')

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


def case_policy_feed_host_replaces_the_local_service(name):
    """FeedHost set by policy: the card shows the organisation's server's
    weather (asked for by that name) and starts no service; a search finds
    a sample place there. The value removed: the next start has the card's
    own service back, and the card asks it."""
    name_in_hosts_file()
    org = OrgService(name)
    stub = stub_upstream.StubUpstream()
    c = harness.Checks()
    try:
        with card_with_service(name, stub, CONF, start=False) as card:
            r = card.wine("reg", "add", POLICY_KEY, "/v", "FeedHost", "/t", "REG_SZ", "/d", ORG_HOST, "/f")
            c.eq(r.returncode, 0, "the policy value written")
            card.launch()
            c.true(card.wait_text("txtTemp", "ne", b"", 15000)[0], "weather shown")
            c.true(card.text("txtTitle").startswith(b"Tokyo"), "the place: %r" % card.text("txtTitle"))
            c.true(harness.wait_for(lambda: org.requests() > 0, 5), "from the organisation's server")
            c.eq(service_pids(card), [], "no service of the card's own")
            c.eq(stub.calls, 0, "nothing asked of the card's own source")
            card.screenshot()
            card.menu_command("exit")
            c.true(card.exited(15), "Exit ends the card")

            r = card.wine("reg", "delete", POLICY_KEY, "/v", "FeedHost", "/f")
            c.eq(r.returncode, 0, "the policy value removed")
            before = org.requests()
            card.launch()
            # The stub source knows other places than the sample data: the
            # forecast asked of the card's own service is what counts here.
            c.true(harness.wait_for(lambda: service_log(card).count("GET /forecastrss?w=%d" % TOKYO) > 0, 15),
                   "the card asks its own service again")
            c.eq(len(service_pids(card)), 1, "the card's own service is back")
            c.eq(org.requests(), before, "nothing more asked of the organisation's server")
    finally:
        stub.close()
        org.close()
    c.done()


def case_installer_feedhost_property_points_the_card(name):
    """msiexec /i /qn FEEDHOST=name for one user: the installed card shows
    the organisation's server's weather and starts no service; the removal
    takes the setting with it."""
    msi = e2e_installer.packages(name, None)[None]
    name_in_hosts_file()
    org = OrgService(name)
    c = harness.Checks()
    try:
        with harness.Card(name, conf=False, start=False) as card:
            c.eq(e2e_installer.msiexec(card, "/i", e2e_installer.dos(msi), "/qn", "FEEDHOST=" + ORG_HOST), 0,
                 "installed with FEEDHOST")
            folder = e2e_installer.install_dir(card)
            with open(os.path.join(folder, "cloudwick.conf"), "wb") as f:
                f.write(CONF)
            card.app = folder
            card.launch()
            c.true(card.wait_text("txtTemp", "ne", b"", 15000)[0], "weather shown")
            c.true(harness.wait_for(lambda: org.requests() > 0, 5), "from the organisation's server")
            c.eq(service_pids(card), [], "no service of the card's own")
            c.eq(e2e_installer.msiexec(card, "/x", e2e_installer.dos(msi), "/qn"), 0, "removed")
            c.true(card.exited(20), "the removal ended the card")
            c.true("FeedHost" not in e2e_installer.reg_query(card, "HKCU\\Software\\Cloudwick"),
                   "the setting went with it")
    finally:
        org.close()
    c.done()


def case_policy_value_that_cannot_be_used_is_said(name):
    """FeedHost set to a URL, to a number, and to a name nothing resolves:
    each time the card's forecast line says what is wrong with the policy,
    no service of the card's own is started, and for the URL a search in
    Options says the same instead of asking anyone."""
    stub = stub_upstream.StubUpstream()
    c = harness.Checks()
    values = [
        (("/t", "REG_SZ", "/d", "http://%s/" % ORG_HOST), b"Policy FeedHost is not a host name"),
        (("/t", "REG_DWORD", "/d", "80"), b"Policy FeedHost is not a string"),
        (("/t", "REG_SZ", "/d", "nowhere.corp.example"), b"Policy FeedHost not found"),
    ]
    try:
        with card_with_service(name, stub, CONF, start=False) as card:
            for i, (value, line) in enumerate(values):
                r = card.wine("reg", "add", POLICY_KEY, "/v", "FeedHost", *value, "/f")
                c.eq(r.returncode, 0, "the policy value written: %r" % (value,))
                card.launch()
                ok, shown = card.wait_text("txtDay1", "eq", line, 20000)
                c.true(ok, "the forecast line says %r: %r" % (line, shown))
                c.eq(card.text("txtTemp"), b"", "no weather from anywhere else")
                c.eq(service_pids(card), [], "no service of the card's own")
                if i == 0:
                    card.screenshot()
                    card.menu_command("options")
                    c.true(card.wait_window("visible", 5000, harness.OPTIONS), "Options open")
                    card.must("settext %s %d \"Tokyo\"" % (harness.OPTIONS, harness.control_id("txtWord", harness.OPTIONS)))
                    card.must("click %s %d" % (harness.OPTIONS, harness.control_id("Command1", harness.OPTIONS)))
                    ok, status = card.wait_text("txtLocation", "eq", line, 10000, harness.OPTIONS)
                    c.true(ok, "the search says so too: %r" % status)
                    card.must("click %s %d" % (harness.OPTIONS, harness.control_id("Command2", harness.OPTIONS)))
                card.menu_command("exit")
                c.true(card.exited(15), "Exit ends the card")
            c.eq(stub.calls, 0, "nothing asked of the card's own source")
    finally:
        stub.close()
    c.done()
