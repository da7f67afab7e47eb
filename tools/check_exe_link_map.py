#!/usr/bin/env python3
"""Holds a Windows exe of the card to its size choices, from its link map.

    check_exe_link_map.py MAP [MAP...]          each must pass
    check_exe_link_map.py --must-fail MAP ...   each must be rejected

The card is built without exceptions, and app/small_runtime_win.cpp stands
in for the standard library's throw helpers; one use of a library part that
throws through a helper not stood in for (std::function, std::thread,
iostreams) links the exception runtime back in, silently, at 40 KB and up.
A map passes when:
  - no archive member of the unwinder or the exception runtime is linked
    (libgcc_eh, libgcc's unwind-*, libsupc++/libstdc++ eh_*, the
    terminate handler, the demangler);
  - the libstdc++ archive members linked are on ALLOWED_LIBSTDCXX;
  - no kept code is one of the standard library's parts that need the
    exception runtime or bring in a lot (FORBIDDEN_CODE: std::function,
    threads, streams, exception classes).
"""
import re
import sys

ALLOWED_LIBSTDCXX = {"new_handler.o", "tree.o", "list.o", "hash_bytes.o"}
EXCEPTION_RUNTIME = re.compile(r"unwind|sjlj|(^|[-_])eh[_.]|gcc_eh|personality|terminate|demangle|functexcept|"
                               r"functional\.o|system_error|future\.o|ios_failure|cow-")
FORBIDDEN_CODE = [
    ("std::function", re.compile(r"_Function_handler|_Function_base|St8function|bad_function_call")),
    ("std::thread", re.compile(r"St6thread")),
    ("iostreams", re.compile(r"basic_ostream|basic_istream|basic_ios|ios_base")),
    ("exception objects", re.compile(r"__cxa_throw|__cxa_allocate_exception|_Unwind_|__gxx_personality")),
]
MEMBER = re.compile(r"^(?:.*/)?(lib[^/(]+\.a)\(([^)]+)\)")


def problems(text):
    out = []
    head, _, body = text.partition("Linker script and memory map")
    head = head.split("Discarded input sections")[0]
    lines = head.splitlines()
    for i, line in enumerate(lines):
        m = MEMBER.match(line)
        if not m:
            continue
        lib, member = m.groups()
        why = lines[i + 1].strip() if i + 1 < len(lines) else ""
        if EXCEPTION_RUNTIME.search(member) or lib in ("libgcc_eh.a", "libgcc_s.a", "libsupc++.a") and "eh" in member:
            out.append("exception runtime linked: %s(%s), for %s" % (lib, member, why))
        elif lib == "libstdc++.a" and member not in ALLOWED_LIBSTDCXX:
            out.append("libstdc++ member not on the allowed list: %s, for %s" % (member, why))
    for what, pattern in FORBIDDEN_CODE:
        hits = sorted(set(m.group(0) for m in re.finditer(r"\.text\$(\S+)", body) if pattern.search(m.group(1))))
        hits += sorted(set(l.strip() for l in body.splitlines()
                           if pattern.search(l) and "0x" in l and ".text" not in l))[:3]
        if hits:
            out.append("%s in the exe: %s" % (what, hits[0]))
    return out


def main(argv):
    must_fail = "--must-fail" in argv
    paths = [a for a in argv[1:] if a != "--must-fail"]
    if not paths:
        print(__doc__)
        return 2
    failed = False
    for path in paths:
        try:
            with open(path, encoding="latin-1") as f:
                text = f.read()
        except OSError as e:
            print("%s: cannot read the link map (%s)" % (path, e))
            return 77
        found = problems(text)
        for p in found:
            print("%s: %s" % (path, p))
        if must_fail and not found:
            print("%s: a planted breach was not found" % path)
            failed = True
        elif not must_fail and found:
            failed = True
        elif not found:
            print("%s: only the allowed runtime is linked" % path)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
