#!/usr/bin/env python3
"""Sorts the pixels of a binary PPM screenshot (P6) into the saver's kinds and
prints their shares: background (the dark blue pulse), spheres (the bright
charge colours), white (the cores of field lines and white labels) and other
(the grey edges of text and lines, anything else).

    screen_shares.py shot.ppm   ->   background=0.981 spheres=0.016 white=0.001 other=0.002
"""
import sys


def read_ppm(path):
    with open(path, "rb") as file:
        data = file.read()
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise SystemExit(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position + 1:position + 1 + width * height * 3]


def kind(red, green, blue):
    # The background is red 0.03 (8), green 0.05 (13) and a blue from 0 to
    # 0.5; plain black, as around a smaller desktop, is not it.
    if 6 <= red <= 10 and 11 <= green <= 15 and blue <= 130:
        return "background"
    # Sphere colours are saturated: one of red and green bright, blue low.
    if max(red, green) >= 120 and blue <= 80:
        return "spheres"
    # No sphere has any blue, so nothing near white is a sphere.
    if min(red, green, blue) >= 200:
        return "white"
    return "other"


def main():
    width, height, pixels = read_ppm(sys.argv[1])
    counts = {"background": 0, "spheres": 0, "white": 0, "other": 0}
    cache = {}
    for offset in range(0, width * height * 3, 3):
        colour = pixels[offset:offset + 3]
        name = cache.get(colour)
        if name is None:
            name = cache[colour] = kind(colour[0], colour[1], colour[2])
        counts[name] += 1
    total = width * height
    print(" ".join(f"{name}={counts[name] / total:.4f}" for name in ("background", "spheres", "white", "other")))


if __name__ == "__main__":
    main()
