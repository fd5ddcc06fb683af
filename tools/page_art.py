#!/usr/bin/env python3
"""Draws the four configuration pages' background pictures (assets/pictures/page-*.svg).

Every coordinate is the page's, as the fields sit; each picture is placed at its control's
position, so the drawing subtracts that offset. Text is Persian: Qt's SVG renderer shapes it
right to left. Words written with a half-space carry the zero-width non-joiner (U+200C). Run from the project
root after changing the art; the SVGs are committed."""

PERSIAN_DIGITS = "۰۱۲۳۴۵۶۷۸۹"
FONT = "DejaVu Sans"


def fa(n):
    return "".join(PERSIAN_DIGITS[int(d)] for d in str(n))


class Picture:
    def __init__(self, left, top):
        self.left, self.top = left, top
        self.parts = []

    def heading(self, text, x0, x1, y=41, size=14):
        x, y = (x0 + x1) / 2 - self.left, y - self.top
        # No filters in the renderer: the glow is a wide soft stroke under the letters.
        for width, opacity in ((5, 0.35), (3, 0.6)):
            self.parts.append(
                f'<text x="{x:.1f}" y="{y}" text-anchor="middle" font-family="{FONT}" '
                f'font-weight="bold" font-size="{size}" fill="none" stroke="#d4d4d4" '
                f'stroke-width="{width}" stroke-opacity="{opacity}" stroke-linejoin="round">{text}</text>')
        self.parts.append(
            f'<text x="{x:.1f}" y="{y}" text-anchor="middle" font-family="{FONT}" '
            f'font-weight="bold" font-size="{size}" fill="#2e1a0c">{text}</text>')

    def label(self, text, x0, x1, top, height=23, size=13):
        x, y = (x0 + x1) / 2 - self.left, top + height / 2 + size * 0.36 - self.top
        # The renderer strokes no text, so the teal rim is the text drawn in eight directions
        # around the white letters: a closed rim, dark enough for the white to read on the page.
        common = (f'text-anchor="middle" font-family="{FONT}" font-weight="bold" '
                  f'font-size="{size}"')
        for dx, dy in ((-1, -1), (0, -1), (1, -1), (-1, 0), (1, 0), (-1, 1), (0, 1), (1, 1)):
            self.parts.append(f'<text x="{x + dx:.1f}" y="{y + dy:.1f}" {common} '
                              f'fill="#08595d">{text}</text>')
        self.parts.append(f'<text x="{x:.1f}" y="{y:.1f}" {common} fill="#ffffff">{text}</text>')

    def box(self, x0, top, width=190, height=23):
        x, y = x0 - self.left, top - self.top
        self.parts.append(
            f'<rect x="{x + 1:.1f}" y="{y + 1.5:.1f}" width="{width}" height="{height}" rx="6" '
            f'fill="#000000" fill-opacity="0.12"/>')
        self.parts.append(
            f'<rect x="{x:.1f}" y="{y:.1f}" width="{width}" height="{height}" rx="6" '
            f'fill="#ffffff" stroke="#4a4a4a" stroke-opacity="0.55" stroke-width="1"/>')

    def svg(self):
        body = "\n  ".join(self.parts)
        return ('<svg xmlns="http://www.w3.org/2000/svg" width="686" height="510" '
                f'viewBox="0 0 686 510">\n  {body}\n</svg>\n')


def output_page():
    p = Picture(3, 0)
    p.heading("شماره رله", 545, 602)
    p.heading("فرمان روشن شدن", 350, 458)
    p.heading("فرمان خاموش شدن", 116, 235)
    for n, top in enumerate([59, 96, 133, 170, 207, 244, 282, 319, 356, 393, 430, 467], 1):
        p.label(f"رله شماره {fa(n)}", 543, 614, top)
        p.box(318, top)
        p.box(88, top)
    return p


def input_page():
    p = Picture(8, 0)
    p.heading("شماره ورودی", 548, 629)
    p.heading("تغییر وضعیت از صفر به یک", 339, 499)
    p.heading("تغییر وضعیت از یک به صفر", 109, 276)
    for n, top in enumerate([74, 115, 157, 198, 240, 281, 323, 364, 406, 447], 1):
        p.label(f"ورودی شماره {fa(n)}", 545, 638, top)
        p.box(325, top)
        p.box(95, top)
    return p


def tell_number_page():
    p = Picture(0, 0)
    p.heading("ردیف", 567, 600)
    p.heading("شماره تلفن", 380, 450)
    p.heading("تماس‌های ورودی", 157, 272)
    p.heading("تماس‌های خروجی", 17, 126)
    for n, top in enumerate([79, 122, 165, 208, 250, 293, 336, 379], 1):
        p.label(f"تلفن شماره {fa(n)}", 531, 610, top)
        p.box(315, top)
    return p


def config_page():
    p = Picture(0, 0)
    for (nx0, nx1), (ox0, ox1), (lx0, lx1), first in (((561, 618), (389, 480), (557, 630), 1),
                                                     ((259, 316), (65, 156), (257, 330), 7)):
        p.heading("شماره رله", nx0, nx1)
        p.heading("روشن / خاموش", ox0, ox1)
        for i, top in enumerate([84, 121, 158, 195, 233, 270]):
            p.label(f"رله شماره {fa(first + i)}", lx0, lx1, top)
    p.label("فرمان درخواست وضعیت رله‌ها", 457, 629, 337)
    p.box(247, 337, width=114)
    p.label("فعال‌سازی تایید اجرای فرمان", 458, 629, 402, height=17)
    p.label("حفظ وضعیت رله‌ها در راه‌اندازی", 445, 631, 455, height=17)
    return p


if __name__ == "__main__":
    for name, page in (("output", output_page), ("input", input_page),
                       ("tell-number", tell_number_page), ("config", config_page)):
        with open(f"assets/pictures/page-{name}.svg", "w", encoding="utf-8") as f:
            f.write(page().svg())
