#!/usr/bin/python3
"""Writes the built-in transliteration table of cloudwick-feed.exe, for
Windows without icu.dll: each code point of the scripts below as ICU's
"Any-Latin; Latin-ASCII" writes it alone, asked of the build machine's ICU
(uconv, from Debian's icu-devtools).

    script_table.py OUTPUT.inc [UCONV]

Hangul syllables are not listed one by one: ICU writes each as its
leading consonant, vowel and trailing consonant in a row, and the script
checks that this holds for every syllable before it writes the three
short jamo lists instead."""
import subprocess
import sys

BLOCKS = [
    (0x00A0, 0x024F),  # Latin-1 and Latin Extended-A, -B
    (0x0300, 0x036F),  # combining marks (accents written apart)
    (0x0370, 0x03FF),  # Greek
    (0x0400, 0x052F),  # Cyrillic
    (0x0530, 0x058F),  # Armenian
    (0x05D0, 0x05EA),  # Hebrew letters
    (0x0620, 0x064A),  # Arabic letters
    (0x10A0, 0x10FF),  # Georgian
    (0x1E00, 0x1EFF),  # Latin Extended Additional (Vietnamese)
    (0x2010, 0x2027),  # dashes and quotes
    (0x3041, 0x30FF),  # Hiragana, Katakana
    (0x4E00, 0x9FFF),  # CJK unified ideographs
    (0xFF01, 0xFF5E),  # full-width ASCII
]
HANGUL_FIRST, HANGUL_COUNT = 0xAC00, 11172
UCONV = sys.argv[2] if len(sys.argv) > 2 else "uconv"


def transliterate(code_points):
    text = "".join(chr(c) + "\n" for c in code_points)
    out = subprocess.run([UCONV, "-f", "utf-8", "-t", "utf-8", "-x", "Any-Latin; Latin-ASCII"],
                         input=text.encode("utf-8"), capture_output=True, check=True).stdout.decode("utf-8")
    lines = out.split("\n")
    if len(lines) < len(code_points):
        sys.exit("script_table: uconv gave %d lines for %d characters" % (len(lines), len(code_points)))
    # Only plain printable ASCII is kept; anything else ICU left alone is dropped.
    return [s if all(0x20 <= ord(c) < 0x7F for c in s) else "" for s in lines[:len(code_points)]]


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"').replace("?", "\\?") + '"'


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    pool, at = [], {}

    def offset(s):
        if s not in at:
            at[s] = sum(len(p) + 1 for p in pool)
            pool.append(s)
        return at[s]

    offset("")
    out = ["// Made by service/gen/script_table.py from the build machine's ICU; do not edit."]
    blocks = []
    for first, last in BLOCKS:
        names = transliterate(range(first, last + 1))
        offsets = [offset(s) for s in names]
        blocks.append((first, last, offsets))

    syllables = transliterate(range(HANGUL_FIRST, HANGUL_FIRST + HANGUL_COUNT))
    lead = transliterate([0x1100 + i for i in range(19)])
    vowel = transliterate([0x1161 + i for i in range(21)])
    tail = [""] + transliterate([0x11A8 + i for i in range(27)])
    for i, s in enumerate(syllables):
        if s != lead[i // 588] + vowel[i % 588 // 28] + tail[i % 28]:
            sys.exit("script_table: ICU writes Hangul U+%04X as %r, not jamo by jamo" % (HANGUL_FIRST + i, s))

    size = sum(len(p) + 1 for p in pool)
    if size > 0xFFFF:
        sys.exit("script_table: the string pool outgrew 16-bit offsets")
    out.append("const char kPool[] =")
    line = ""
    for p in pool:
        piece = c_string(p)[:-1] + '\\0"'
        if len(line) + len(piece) > 100:
            out.append("    " + line)
            line = ""
        line += piece
    out.append("    " + line + ";")
    for n, (first, last, offsets) in enumerate(blocks):
        out.append("const uint16_t kBlock%d[] = {" % n)
        for i in range(0, len(offsets), 16):
            out.append("    " + ", ".join(str(o) for o in offsets[i:i + 16]) + ",")
        out.append("};")
    out.append("const ScriptBlock kBlocks[] = {")
    for n, (first, last, _) in enumerate(blocks):
        out.append("    {0x%04X, 0x%04X, kBlock%d}," % (first, last, n))
    out.append("};")
    for name, items in (("kHangulLead", lead), ("kHangulVowel", vowel), ("kHangulTail", tail)):
        out.append("const char* const %s[] = {%s};" % (name, ", ".join(c_string(s) for s in items)))
    with open(sys.argv[1], "w", encoding="ascii") as f:
        f.write("\n".join(out) + "\n")


main()
