#!/usr/bin/env python3
"""A wrong-way include is rejected twice: by the include check's table of
allowed arrows, and by the per-folder libraries, which do not let feed/ see
options/ at all. The right-way control must pass both.

    check_layers_test.py REPO_ROOT BUILD_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile


def include_check(repo, plant):
    """Runs the include check on a copy of the card's folders with `plant` added to feed/."""
    with tempfile.TemporaryDirectory() as tmp:
        for folder in ("app", "feed", "options", "card", "resources"):
            shutil.copytree(os.path.join(repo, folder), os.path.join(tmp, folder),
                            ignore=shutil.ignore_patterns("gen", "*.png", "*.txt"))
        with open(os.path.join(tmp, "feed", "planted.cpp"), "w") as f:
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
    rc, out = build(build_dir, "planted_wrong_way_include")
    if rc == 0 or "options/place_search.h" not in out:
        failures.append("the feed library compiled a file that includes options/:\n" + out[-2000:])
    rc, out = build(build_dir, "planted_right_way_include")
    if rc != 0:
        failures.append("the feed library could not compile a file that includes app/:\n" + out[-2000:])
    for f in failures:
        print(f)
    if not failures:
        print("feed/ -> options/ rejected by the include check and by the libraries; feed/ -> app/ accepted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
