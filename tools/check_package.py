#!/usr/bin/python3
"""Builds the Windows download with tools/package.sh into a folder of its
own and checks what a user gets: exactly the two programs (the built ones,
PE32 for x86, the service a GUI program under 1 MB) and a plain-text
read-me with Windows line ends that names both programs, the data source's
credit and terms, how to start, how to open the menu, port 80 and the
card's messages, and how to remove; one version number throughout. Then
the installer beside it: its ProductVersion the exe's own version
resource, the same three files, a Start-menu shortcut, an Apps & features
icon and publisher, no elevation asked, and one UpgradeCode that replaces
older versions and refuses to go back.
Usage: check_package.py WINDOWS_BUILD_DIR WORK_DIR   (exit 77: nothing built)"""
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pe_header(data):
    """(machine, subsystem) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None, None
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0] if magic == 0x10B else None
    return machine, subsystem


def file_version(data):
    """The (major, minor, build, revision) of a PE's VS_FIXEDFILEINFO."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def msi_table(msi, table):
    """Rows of an MSI table as dicts (msiinfo export: names, types, key line, rows)."""
    # A table with a binary column (Icon) is exported with its streams in a
    # folder of the table's name, made where msiinfo runs: a scratch folder.
    import tempfile
    with tempfile.TemporaryDirectory() as scratch:
        out = subprocess.run(["msiinfo", "export", os.path.abspath(msi), table], capture_output=True, text=True,
                             check=True, cwd=scratch).stdout
    lines = out.split("\n")
    names = lines[0].split("\t")
    return [dict(zip(names, l.split("\t"))) for l in lines[3:] if l]


def check_policy_template(admx, adml, check):
    """The template's values are the names the programs read, and every
    string and presentation it refers to is in the language file."""
    import xml.etree.ElementTree as ET
    ns = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
    definitions, resources = ET.fromstring(admx), ET.fromstring(adml)
    values = sorted(e.get("valueName") for e in definitions.iter() if e.get("valueName"))
    check(values == ["FeedHost", "NoProxy", "PlaceSearchHost", "Proxy"], "the policy values: %r" % values)
    keys = {p.get("key") for p in definitions.iter(ns + "policy")}
    check(keys == {"Software\\Policies\\Cloudwick"}, "one policy key: %r" % keys)
    strings = {s.get("id") for s in resources.iter(ns + "string")}
    shown = {p.get("id") for p in resources.iter(ns + "presentation")}
    wanted = set(re.findall(rb"\$\(string\.(\w+)\)", admx))
    check({w.decode() for w in wanted} <= strings, "every string is in the .adml: %r" % (wanted, ))
    wanted = {w.decode() for w in re.findall(rb"\$\(presentation\.(\w+)\)", admx)}
    check(wanted <= shown, "every presentation is in the .adml: %r" % wanted)
    card = open(os.path.join(ROOT, "app", "host_policy_win.cpp")).read()
    check('"FeedHost"' in card and '"PlaceSearchHost"' in card and "Software\\\\Policies\\\\Cloudwick" in card,
          "the card reads the template's names")


def check_msi(msi, win, check):
    exe = open(os.path.join(win, "Cloudwick.exe"), "rb").read()
    fv = file_version(exe)
    props = {r["Property"]: r["Value"] for r in msi_table(msi, "Property")}
    check(fv is not None and props.get("ProductVersion") == "%d.%d.%d" % fv[:3],
          "the installer's ProductVersion %r is the exe's version %r" % (props.get("ProductVersion"), fv))
    check(props.get("ProductName") == "Cloudwick" and props.get("Manufacturer") == "Cloudwick",
          "the Apps & features name and publisher: %r, %r" % (props.get("ProductName"), props.get("Manufacturer")))
    check(props.get("UpgradeCode") == "{6F1C2A4E-8D3B-4F5A-9C7E-2B1D0E3F4A51}", "one UpgradeCode for every version")
    check("ALLUSERS" not in props, "one user's install unless ALLUSERS=1 is given")
    icons = [r["Name"] for r in msi_table(msi, "Icon")]
    check(props.get("ARPPRODUCTICON") in icons, "the Apps & features icon is in the package: %r" % icons)
    files = sorted(r["FileName"].split("|")[-1] for r in msi_table(msi, "File"))
    check(files == ["Cloudwick.exe", "README.txt", "cloudwick-feed.exe"], "the installer's files: %r" % files)
    shortcuts = msi_table(msi, "Shortcut")
    check([(r["Directory_"], r["Target"]) for r in shortcuts] == [("ProgramMenuFolder", "[INSTALLDIR]Cloudwick.exe")],
          "one Start-menu shortcut to the card: %r" % shortcuts)
    upgrade = {r["ActionProperty"]: r for r in msi_table(msi, "Upgrade")}
    new = upgrade.get("WIX_UPGRADE_DETECTED", {})
    check(new.get("VersionMax") == props.get("ProductVersion") and int(new.get("Attributes", "0")) & 0x200,
          "older versions, and a rebuild of this one, are replaced: %r" % new)
    check("WIX_DOWNGRADE_DETECTED" in upgrade, "a newer version installed is detected")
    launch = [r["Condition"] for r in msi_table(msi, "LaunchCondition")]
    check("NOT WIX_DOWNGRADE_DETECTED" in launch, "and an older package over it is refused with a message")
    summary = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True, text=True, check=True).stdout
    source = re.search(r"Source: (\d+)", summary)
    check(source and int(source.group(1)) & 8, "no elevation asked (word count %r)" % (source and source.group(1)))
    components = {r["Component"]: r["Condition"] for r in msi_table(msi, "Component")}
    check("ALLUSERS=1" in components.get("FeedHostPolicy", ""), "FEEDHOST writes the policy only for the machine")


def main(win, work):
    for exe in ("Cloudwick.exe", "cloudwick-feed.exe"):
        if not os.path.isfile(os.path.join(win, exe)):
            print("SKIP: %s is not built in %s" % (exe, win))
            return 77
    for tool in ("wixl", "msibuild", "msiinfo"):
        if not shutil.which(tool):
            print("SKIP: %s is missing (tools/setup.sh installs msitools and wixl)" % tool)
            return 77
    version_h = open(os.path.join(ROOT, "resources", "version.h")).read()
    version = re.search(r'#define CLOUDWICK_VERSION_TEXT "([^"]+)"', version_h).group(1)
    shown = re.search(r'#define CLOUDWICK_APP_VERSION "([^"]+)"', version_h).group(1)
    numbers = re.search(r'#define CLOUDWICK_VERSION_NUMBERS (\d+),(\d+),', version_h).groups()
    subprocess.run(["bash", os.path.join(ROOT, "tools", "package.sh"), win, work], check=True)
    path = os.path.join(work, "cloudwick-%s-win32.zip" % version)
    failures = []

    def check(cond, what):
        if not cond:
            failures.append(what)

    # One version story: the card's about text, the resource and the zip's name.
    check(version == shown, "the download's version %s is the card's %s" % (version, shown))
    check("%d.%02d" % tuple(int(n) for n in numbers) == version,
          "the version resource's numbers %s say %s" % (",".join(numbers), version))

    with zipfile.ZipFile(path) as z:
        check(z.testzip() is None, "the archive reads back")
        names = sorted(z.namelist())
        check(names == ["Cloudwick.exe", "README.txt", "cloudwick-feed.exe", "policy/Cloudwick.admx",
                        "policy/en-US/Cloudwick.adml"], "contents: %r" % names)
        if "policy/Cloudwick.admx" in names and "policy/en-US/Cloudwick.adml" in names:
            check_policy_template(z.read("policy/Cloudwick.admx"), z.read("policy/en-US/Cloudwick.adml"), check)
        for exe in ("Cloudwick.exe", "cloudwick-feed.exe"):
            if exe not in names:
                continue
            data = z.read(exe)
            check(data == open(os.path.join(win, exe), "rb").read(), exe + " is the built one")
            machine, subsystem = pe_header(data)
            check(machine == 0x14C, "%s is PE32 for x86 (machine %r)" % (exe, machine))
            check(subsystem == 2, "%s is a GUI program (subsystem %r)" % (exe, subsystem))
        if "cloudwick-feed.exe" in names:
            size = z.getinfo("cloudwick-feed.exe").file_size
            check(size < 1 << 20, "cloudwick-feed.exe is under 1 MB (%d bytes)" % size)
        if "README.txt" in names:
            raw = z.read("README.txt")
            check(all(b < 0x80 for b in raw), "the read-me is plain ASCII")
            check(raw.count(b"\n") == raw.count(b"\r\n") > 10, "the read-me has Windows line ends")
            text = raw.decode("ascii", "replace")
            for words in ("Cloudwick " + version, "Cloudwick.exe", "cloudwick-feed.exe",
                          "Weather data by Open-Meteo.com", "CC BY 4.0", "https://open-meteo.com/en/terms",
                          "GeoNames", "non-commercial", "How to start", "How to remove", "Start on Windows",
                          "Exit", "Delete the folder", "title strip", "options\" picture", "port 80",
                          "Port 80 is used by another program", "network error", "cloudwick-feed.log"):
                check(words in text, "the read-me says %r" % words)
    msi = os.path.join(work, "cloudwick-%s-win32.msi" % version)
    check(os.path.isfile(msi), "the installer is made beside the zip")
    if os.path.isfile(msi):
        check_msi(msi, win, check)
    for f in failures:
        print("FAIL:", f)
    print("checked", path, "and", msi, "FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
