"""The card's and the options dialog's design tables: ids, names, kinds,
rectangles in twips, colours, texts and tab indexes, read from the JSON
that design_tables_json writes from the very tables the exe is built from
(its path comes in DESIGN_TABLES_JSON, set by CMake). The tests name
controls by their design names and never type an id or a row again."""
import json
import os

_tables = None


class Control:
    def __init__(self, row, parent_id):
        self.id = row["id"]
        self.name = row["name"]
        self.kind = row["kind"]
        self.parent = row["parent"]        # the parent's name, None for the window itself
        self.parent_id = parent_id         # 0 for the window itself
        self.left, self.top, self.width, self.height = row["left"], row["top"], row["width"], row["height"]
        self.fg, self.bg = tuple(row["fg"]), tuple(row["bg"])
        self.text = row["text"].encode("latin-1")  # the ANSI bytes the control starts with
        self.tab_index = row["tabIndex"]   # the design's tab index (frames and labels have one too); -1: none
        self.flags = set(row["flags"])

    def __repr__(self):
        return "<%s %d>" % (self.name, self.id)


def tables():
    global _tables
    if _tables is None:
        path = os.environ.get("DESIGN_TABLES_JSON", "")
        if not path or not os.path.isfile(path):
            from tests.support import harness
            raise harness.Skip("DESIGN_TABLES_JSON (the design tables, built in the native tree) not found: %r"
                               % path)
        with open(path, encoding="utf-8") as f:
            _tables = json.load(f)
    return _tables


def window(which):
    """"card" or "options": {"widthTwips", "heightTwips", "designLeft", "designTop"}."""
    return tables()[which]["window"]


def controls(which):
    """The window's controls in creation order."""
    rows = tables()[which]["controls"]
    ids = {r["name"]: r["id"] for r in rows}
    return [Control(r, ids[r["parent"]] if r["parent"] else 0) for r in rows]


def control(which, name):
    for c in controls(which):
        if c.name == name:
            return c
    raise KeyError("%s has no control named %r" % (which, name))


def forecast_lines():
    """Twips the card uses for its two forecast lines: day1Top, day2ResetTop,
    day1TallHeight, day2TallShift."""
    return tables()["card"]["forecastLines"]


def menu_id(item):
    """The card's popup menu: "open", "refresh", "options", "exit"."""
    return tables()["card"]["menu"][item]
