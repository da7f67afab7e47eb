#!/usr/bin/env python3
"""A wrong-way include is rejected twice: by the include check's table of
allowed arrows, and by the per-folder libraries, which do not let feed/ see
options/ at all, nor the service's model/ its feed/. The right-way controls
must pass both.

    check_layers_test.py REPO_ROOT BUILD_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile


SERVICE_FOLDERS = ("model", "documents", "upstream", "places", "state", "http", "feed", "config",
                   "server", "linux", "windows")


def include_check(repo, plant, where="feed"):
    """Runs the include check on a copy of the card's and the service's
    folders with `plant` added to `where` (a card folder, or service/...)."""
    with tempfile.TemporaryDirectory() as tmp:
        ignore = shutil.ignore_patterns("gen", "*.png", "*.txt")
        for folder in ("app", "feed", "options", "card", "resources"):
            shutil.copytree(os.path.join(repo, folder), os.path.join(tmp, folder), ignore=ignore)
        for folder in SERVICE_FOLDERS:
            shutil.copytree(os.path.join(repo, "service", folder), os.path.join(tmp, "service", folder), ignore=ignore)
        with open(os.path.join(tmp, where, "planted.cpp"), "w") as f:
            f.write('#include "%s"\n' % plant)
        run = subprocess.run([sys.executable, "-B", os.path.join(repo, "tools", "check_include_cycles.py"), tmp],
                             capture_output=True, text=True)
        return run.returncode, run.stdout


def build(build_dir, target):
    run = subprocess.run(["cmake", "--build", build_dir, "--target", target], capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


# (folder the file is planted in, what it includes, the library that must
# or must not compile it, whether that is the right way)
PLANTS = [
    ("feed", "options/place_search.h", "planted_wrong_way_include", False),
    ("feed", "app/text_scan.h", "planted_right_way_include", True),
    ("service/model", "feed/feed_service.h", "planted_service_wrong_way_include", False),
    ("service/documents", "model/weather_model.h", "planted_service_right_way_include", True),
]


def main(argv):
    repo, build_dir = argv[1], argv[2]
    failures = []
    for where, plant, target, right_way in PLANTS:
        arrow = "%s/ -> %s/" % (where, plant.split("/")[0])
        rc, out = include_check(repo, plant, where)
        label = where.rsplit("/", 1)[0] + "/" if "/" in where else ""
        refused = "%s/ must not include %s%s/" % (where, label, plant.split("/")[0])
        if right_way and rc != 0:
            failures.append("the include check rejected %s:\n%s" % (arrow, out))
        if not right_way and (rc != 1 or refused not in out or "%s/planted.cpp:1" % where not in out):
            failures.append("the include check let %s pass:\n%s" % (arrow, out))
        rc, out = build(build_dir, target)
        if right_way and rc != 0:
            failures.append("%s could not compile a file that includes %s:\n%s" % (target, plant, out[-2000:]))
        if not right_way and (rc == 0 or plant not in out):
            failures.append("%s compiled a file that includes %s:\n%s" % (target, plant, out[-2000:]))
    for f in failures:
        print(f)
    if not failures:
        print("wrong-way includes rejected by the include check and by the libraries; right-way ones accepted: "
              + ", ".join("%s -> %s" % (w, p) for w, p, _, _ in PLANTS))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
