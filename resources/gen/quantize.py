"""Fewer colours for a large opaque picture: median cut over its colours,
weighted by how often each is used, then each pixel to its nearest palette
colour. The dialog's map has about a thousand colours, nearly all of them
the edges of its lines and letters; 256 keep it as it looks at half the
size."""


def _split(box):
    """The box's colours in two halves along its widest channel, by use."""
    spans = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
    k = spans.index(max(spans))
    box.sort(key=lambda item: item[0][k])
    total = sum(n for _, n in box)
    run = 0
    for i, (_, n) in enumerate(box):
        run += n
        if run * 2 >= total:
            cut = min(max(i + 1, 1), len(box) - 1)
            return box[:cut], box[cut:]
    return box[:-1], box[-1:]


def _mean(box):
    total = sum(n for _, n in box)
    return bytes(int(round(sum(c[k] * n for c, n in box) / total)) for k in range(3))


def quantize(rgba, colours=256):
    """RGBA pixels (opaque) with at most `colours` colours; pictures that
    already have no more come back as they are."""
    counts = {}
    for i in range(0, len(rgba), 4):
        c = rgba[i:i + 3]
        counts[c] = counts.get(c, 0) + 1
    if len(counts) <= colours:
        return rgba
    boxes = [list(counts.items())]
    while len(boxes) < colours:
        # The box with most use and more than one colour is split next.
        boxes.sort(key=lambda b: (len(b) > 1, sum(n for _, n in b)))
        if len(boxes[-1]) < 2:
            break
        boxes.extend(_split(boxes.pop()))
    palette = [_mean(b) for b in boxes]
    nearest = {}
    for c in counts:
        nearest[c] = min(palette, key=lambda p: sum((p[k] - c[k]) ** 2 for k in range(3)))
    out = bytearray(rgba)
    for i in range(0, len(rgba), 4):
        out[i:i + 3] = nearest[rgba[i:i + 3]]
    return bytes(out)
