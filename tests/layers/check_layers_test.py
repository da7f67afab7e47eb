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


def main(argv):
    repo, build_dir = argv[1], argv[2]
    failures = []
    rc, out = include_check(repo, "options/place_search.h")
    if rc != 1 or "feed/ must not include options/" not in out or "feed/planted.cpp:1" not in out:
        failures.append("the include check let feed/ -> options/ pass:\n" + out)
    rc, out = include_check(repo, "app/text_scan.h")
    if rc != 0:
        failures.append("the include check rejected feed/ -> app/:\n" + out)
    rc, out = include_check(repo, "feed/feed_service.h", "service/model")
    if rc != 1 or "service/model/ must not include service/feed/" not in out or "service/model/planted.cpp:1" not in out:
        failures.append("the include check let the service's model/ -> feed/ pass:\n" + out)
    rc, out = include_check(repo, "model/weather_model.h", "service/documents")
    if rc != 0:
        failures.append("the include check rejected the service's documents/ -> model/:\n" + out)
    rc, out = build(build_dir, "planted_service_wrong_way_include")
    if rc == 0 or "feed/feed_service.h" not in out:
        failures.append("the service's model library compiled a file that includes feed/:\n" + out[-2000:])
    rc, out = build(build_dir, "planted_service_right_way_include")
    if rc != 0:
        failures.append("the service's documents library could not compile a file that includes model/:\n" + out[-2000:])
    rc, out = build(build_dir, "planted_wrong_way_include")
    if rc == 0 or "options/place_search.h" not in out:
        failures.append("the feed library compiled a file that includes options/:\n" + out[-2000:])
    rc, out = build(build_dir, "planted_right_way_include")
    if rc != 0:
        failures.append("the feed library could not compile a file that includes app/:\n" + out[-2000:])
    for f in failures:
        print(f)
    if not failures:
        print("feed/ -> options/ and service model/ -> feed/ rejected by the include check and by the libraries; "
              "feed/ -> app/ and service documents/ -> model/ accepted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
