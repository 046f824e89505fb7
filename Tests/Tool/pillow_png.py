"""Pillow's side of the tool's PNG tests.

make DIR        writes one PNG of each kind the tool reads into DIR
same A B MODE   exits 0 when B has Pillow mode MODE and the pixels of A as the
                tool should give them (16-bit samples reduced, alpha dropped,
                palettes expanded); prints B's resolution in dpi
"""
import sys

from PIL import Image


def make(folder):
    pixels = [(x * 37 % 256, y * 59 % 256, (x * y) % 256) for y in range(13) for x in range(19)]
    rgb = Image.new("RGB", (19, 13))
    rgb.putdata(pixels)
    rgb.save(f"{folder}/rgb.png", dpi=(150, 150))
    rgb.convert("1").save(f"{folder}/bw.png", dpi=(300, 72))
    rgb.convert("L").save(f"{folder}/gray8.png")
    rgb.convert("P", palette=Image.ADAPTIVE, colors=23).save(f"{folder}/palette.png")
    deep = Image.new("I;16", (19, 13))
    deep.putdata([(r * 256 + g) for r, g, _ in pixels])
    deep.save(f"{folder}/gray16.png")
    rgba = rgb.copy()
    rgba.putalpha(Image.new("L", (19, 13), 77))
    rgba.save(f"{folder}/rgba.png")
    rgba.convert("LA").save(f"{folder}/graya.png")


def expected(image):
    if image.mode == "I;16" or image.mode == "I":
        out = Image.new("L", image.size)
        out.putdata([(v * 255 + 32767) // 65535 for v in image.getdata()])
        return out
    return image.convert({"LA": "L", "RGBA": "RGB", "P": "RGB"}.get(image.mode, image.mode))


def same(a, b, mode):
    want, got = expected(Image.open(a)), Image.open(b)
    print(got.info.get("dpi", "none"))
    if got.mode != mode or want.mode != mode:
        print(f"modes: {want.mode} expected, {got.mode} written, {mode} asked")
        return 1
    return 0 if list(want.getdata()) == list(got.getdata()) else 1


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        sys.exit(same(*sys.argv[2:5]))
