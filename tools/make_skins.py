#!/usr/bin/env python3
"""Draws every skin image of Lumsek from one palette and writes the skin table.

Writes, under the given resource folder (default: resources/ beside this script):
  images/<name>.png   every skin image, RGBA with straight alpha
  images/lumsek.ico   the program icon (16, 24, 32 and 48 px)
  images/images.rc    the resource lines that embed them (included by lumsek.rc)
  xml/60000.xml       the skin table that names them

Nothing here is drawn by hand: change a colour in PALETTE and run the script
again, and every skin follows. Python 3 standard library only.

    python3 tools/make_skins.py             # write into resources/
    python3 tools/make_skins.py --out DIR   # write into DIR (DIR/images, DIR/xml)
    python3 tools/make_skins.py --check     # exit 1 when resources/ differs from what would be written
"""
import argparse
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- palette

PALETTE = {
    "surface": 0xFFFFFF,
    "quiet": 0xF6F6FB,
    "line": 0xDADCE3,
    "text": 0x202124,
    "secondary": 0x5F6368,
    "disabled": 0xB0B4BC,
    "accent": 0x3399FF,
    "strong": 0x62C2F0,
    "soft": 0xEDF6FC,
    "warning": 0xFA1313,
    "deleted": 0x9AA0A6,
    "shadow": 0x202124,
}

RADIUS = 4          # corners of bars, panels and buttons
STROKE = 1.5        # line icons
SHADOW_ALPHA = 0.16
SHADOW_SPREAD = 6.0


def rgb(name):
    v = PALETTE[name]
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


# ---------------------------------------------------------------- canvas

class Canvas:
    """Premultiplied floating-point RGBA pixels; shapes are drawn from signed
    distance functions with one sample per pixel (distance gives the coverage)."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def blend(self, x, y, color, alpha):
        if alpha <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        alpha = min(alpha, 1.0)
        p = self.px[y * self.w + x]
        k = 1.0 - alpha
        p[0] = color[0] / 255.0 * alpha + p[0] * k
        p[1] = color[1] / 255.0 * alpha + p[1] * k
        p[2] = color[2] / 255.0 * alpha + p[2] * k
        p[3] = alpha + p[3] * k

    def shape(self, sdf, color, alpha=1.0, box=None):
        """Fills the region where sdf(x, y) < 0, anti-aliased over one pixel."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = sdf(x + 0.5, y + 0.5)
                cover = 0.5 - d
                if cover > 0.0:
                    self.blend(x, y, color, alpha * min(cover, 1.0))

    def field(self, func, color):
        """Blends color with the opacity func(x, y) gives for each pixel centre."""
        for y in range(self.h):
            for x in range(self.w):
                self.blend(x, y, color, func(x + 0.5, y + 0.5))

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                s = other.px[y * other.w + x]
                if s[3] <= 0.0:
                    continue
                tx, ty = x + ox, y + oy
                if not (0 <= tx < self.w and 0 <= ty < self.h):
                    continue
                p = self.px[ty * self.w + tx]
                k = 1.0 - s[3]
                for i in range(4):
                    p[i] = s[i] + p[i] * k

    def rgba_rows(self):
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a <= 0.0:
                    row += b"\0\0\0\0"
                    continue
                a8 = int(round(min(a, 1.0) * 255))
                if a8 == 0:
                    row += b"\0\0\0\0"
                    continue
                row += bytes((min(255, int(round(r / a * 255))), min(255, int(round(g / a * 255))),
                              min(255, int(round(b / a * 255))), a8))
            rows.append(bytes(row))
        return rows


# ---------------------------------------------------------------- distances

def sd_round_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    bx, by = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx, qy = abs(x - cx) - bx, abs(y - cy) - by
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def sd_ring_box(x0, y0, x1, y1, r, width):
    """A rounded rectangle's outline, centred on the box edge."""
    box = sd_round_box(x0, y0, x1, y1, r)
    return lambda x, y: abs(box(x, y)) - width / 2.0


def sd_inner_border(x0, y0, x1, y1, r, width=1.0):
    """An outline that lies just inside the box (crisp 1 px lines on pixel edges)."""
    outer = sd_round_box(x0, y0, x1, y1, r)
    inner = sd_round_box(x0 + width, y0 + width, x1 - width, y1 - width, max(r - width, 0.0))
    return lambda x, y: max(outer(x, y), -inner(x, y))


def sd_segment(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def f(x, y):
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2.0
    return f


def sd_polyline(points, width, closed=False):
    segs = [sd_segment(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1], width)
            for i in range(len(points) - 1)]
    if closed:
        segs.append(sd_segment(points[-1][0], points[-1][1], points[0][0], points[0][1], width))
    return lambda x, y: min(s(x, y) for s in segs)


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2.0


def sd_polygon(points):
    n = len(points)

    def f(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            ll = dx * dx + dy * dy
            t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
            d = min(d, math.hypot(x - ax - t * dx, y - ay - t * dy))
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / dy:
                inside = not inside
        return -d if inside else d
    return f


# ---------------------------------------------------------------- shared pieces

def drop_shadow(c, x0, y0, x1, y1, r, spread=SHADOW_SPREAD, alpha=SHADOW_ALPHA, dy=1.0):
    """A soft shadow around a rounded box, falling off over `spread` pixels."""
    box = sd_round_box(x0, y0 + dy, x1, y1 + dy, r)

    def opacity(x, y):
        d = box(x, y)
        if d <= 0:
            return alpha
        if d >= spread:
            return 0.0
        t = 1.0 - d / spread
        return alpha * t * t
    c.field(opacity, rgb("shadow"))


def surface(c, x0, y0, x1, y1, r, fill="surface", border="line"):
    """A flat surface with a 1 px border inside its edge."""
    c.shape(sd_round_box(x0, y0, x1, y1, r), rgb(fill))
    if border:
        c.shape(sd_inner_border(x0, y0, x1, y1, r), rgb(border))


def strip(frames):
    """Sub-images side by side, in state order."""
    w = sum(f.w for f in frames)
    out = Canvas(w, frames[0].h)
    x = 0
    for f in frames:
        out.paste(f, x, 0)
        x += f.w
    return out


# ---------------------------------------------------------------- 16 px line icons
# Each draws into a canvas at (ox, oy) in the given colour.

def icon_all(c, ox, oy, col):
    for gx, gy in ((2.5, 2.5), (9.0, 2.5), (2.5, 9.0), (9.0, 9.0)):
        c.shape(sd_ring_box(ox + gx, oy + gy, ox + gx + 4.5, oy + gy + 4.5, 1.2, STROKE), col,
                box=(ox, oy, ox + 16, oy + 16))


def icon_photo(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring_box(ox + 1.75, oy + 2.75, ox + 14.25, oy + 13.25, 1.5, STROKE), col, box=b)
    c.shape(sd_polyline([(ox + 3.5, oy + 11.5), (ox + 6.5, oy + 8.0), (ox + 9.0, oy + 10.5),
                         (ox + 10.5, oy + 9.0), (ox + 12.5, oy + 11.5)], STROKE), col, box=b)
    c.shape(sd_circle(ox + 10.5, oy + 6.0, 1.3), col, box=b)


def icon_movi(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring_box(ox + 1.75, oy + 3.25, ox + 14.25, oy + 12.75, 1.5, STROKE), col, box=b)
    c.shape(sd_polygon([(ox + 6.5, oy + 5.6), (ox + 6.5, oy + 10.4), (ox + 10.6, oy + 8.0)]), col, box=b)


def icon_music(c, ox, oy, col):
    # a quaver: an outlined head, its stem and a flag
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring(ox + 6.0, oy + 11.75, 2.25, STROKE), col, box=b)
    c.shape(sd_segment(ox + 8.25, oy + 11.5, ox + 8.25, oy + 2.0, STROKE), col, box=b)
    c.shape(sd_polyline([(ox + 8.25, oy + 2.0), (ox + 12.5, oy + 4.25), (ox + 12.5, oy + 7.0)], STROKE), col, box=b)


def icon_document(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_polyline([(ox + 3.25, oy + 1.75), (ox + 9.5, oy + 1.75), (ox + 12.75, oy + 5.0),
                         (ox + 12.75, oy + 14.25), (ox + 3.25, oy + 14.25)], STROKE, closed=True), col, box=b)
    c.shape(sd_polyline([(ox + 9.25, oy + 2.0), (ox + 9.25, oy + 5.25), (ox + 12.5, oy + 5.25)], STROKE * 0.8),
            col, box=b)
    c.shape(sd_segment(ox + 5.5, oy + 8.5, ox + 10.5, oy + 8.5, STROKE), col, box=b)
    c.shape(sd_segment(ox + 5.5, oy + 11.5, ox + 10.5, oy + 11.5, STROKE), col, box=b)


def icon_zip(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring_box(ox + 2.25, oy + 1.75, ox + 13.75, oy + 14.25, 1.5, STROKE), col, box=b)
    for y in (2.5, 5.0):
        c.shape(sd_segment(ox + 7.0, oy + y + 0.6, ox + 9.0, oy + y + 0.6, 1.2), col, box=b)
    c.shape(sd_ring_box(ox + 6.5, oy + 8.0, ox + 9.5, oy + 12.0, 0.8, 1.2), col, box=b)


def calendar(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring_box(ox + 1.75, oy + 3.0, ox + 14.25, oy + 14.25, 1.5, STROKE), col, box=b)
    c.shape(sd_segment(ox + 2.0, oy + 6.5, ox + 14.0, oy + 6.5, STROKE), col, box=b)
    c.shape(sd_segment(ox + 5.0, oy + 1.5, ox + 5.0, oy + 4.0, STROKE), col, box=b)
    c.shape(sd_segment(ox + 11.0, oy + 1.5, ox + 11.0, oy + 4.0, STROKE), col, box=b)


def icon_today(c, ox, oy, col):
    calendar(c, ox, oy, col)
    c.shape(sd_round_box(ox + 9.0, oy + 8.75, ox + 12.0, oy + 11.75, 0.6), col)


def icon_oneweek(c, ox, oy, col):
    calendar(c, ox, oy, col)
    c.shape(sd_segment(ox + 4.5, oy + 10.25, ox + 11.5, oy + 10.25, 2.0), col)


def icon_onemonth(c, ox, oy, col):
    calendar(c, ox, oy, col)
    for gx in (5.0, 8.0, 11.0):
        for gy in (9.0, 11.75):
            c.shape(sd_circle(ox + gx, oy + gy, 0.95), col)


def icon_more(c, ox, oy, col):
    for gx in (3.5, 8.0, 12.5):
        c.shape(sd_circle(ox + gx, oy + 8.0, 1.5), col)


def icon_magnifier(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring(ox + 6.75, oy + 6.75, 4.5, STROKE), col, box=b)
    c.shape(sd_segment(ox + 10.2, oy + 10.2, ox + 14.0, oy + 14.0, STROKE + 0.5), col, box=b)


def icon_funnel(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_polyline([(ox + 2.0, oy + 3.0), (ox + 14.0, oy + 3.0), (ox + 9.5, oy + 8.5), (ox + 9.5, oy + 13.0),
                         (ox + 6.5, oy + 11.5), (ox + 6.5, oy + 8.5)], STROKE, closed=True), col, box=b)


def gear_outline(cx, cy, teeth=6, r_out=6.75, r_in=4.75):
    """Corner points of a gear's outline: flat teeth a little narrower at the tip."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in)):
            pts.append((cx + r * math.cos(a + da * step * 1.6), cy + r * math.sin(a + da * step * 1.6)))
    return pts


def icon_gear(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_polyline(gear_outline(ox + 8.0, oy + 8.0), STROKE, closed=True), col, box=b)
    c.shape(sd_ring(ox + 8.0, oy + 8.0, 2.0, STROKE), col, box=b)


def icon_drive(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring_box(ox + 1.75, oy + 4.25, ox + 14.25, oy + 11.75, 1.5, STROKE), col, box=b)
    c.shape(sd_circle(ox + 11.5, oy + 8.0, 1.0), col, box=b)
    c.shape(sd_segment(ox + 4.5, oy + 8.0, ox + 7.5, oy + 8.0, STROKE), col, box=b)


def icon_chevron_down(c, ox, oy, col, size=1.0):
    c.shape(sd_polyline([(ox - 2.5 * size, oy - 1.25 * size), (ox, oy + 1.25 * size),
                         (ox + 2.5 * size, oy - 1.25 * size)], STROKE), col)


def icon_cross(c, cx, cy, half, col, width=STROKE):
    c.shape(sd_segment(cx - half, cy - half, cx + half, cy + half, width), col)
    c.shape(sd_segment(cx - half, cy + half, cx + half, cy - half, width), col)


# ---------------------------------------------------------------- skins
# Each entry: name, resource id, drawing function, skin element and attributes.
# The drawing functions return a Canvas.

SKINS = []


def skin(name, res_id, element="png", **attrs):
    def register(fn):
        SKINS.append((name, res_id, fn, element, attrs))
        return fn
    return register


# Filter buttons of the bar: three states side by side (normal, hover,
# selected), an icon at the left and room for the label the layout puts over it.
FILTER_H = 20


def filter_button(width, icon):
    frames = []
    for state in range(3):
        c = Canvas(width, FILTER_H)
        if state == 1:
            c.shape(sd_round_box(0, 0, width, FILTER_H, RADIUS), rgb("soft"))
        elif state == 2:
            surface(c, 0, 0, width, FILTER_H, RADIUS, fill="soft", border="accent")
        icon(c, 5, 2, rgb("secondary") if state == 0 else rgb("accent"))
        frames.append(c)
    return strip(frames)


FILTERS = [
    ("btn_all", 4010, 56, icon_all),
    ("btn_photo", 4011, 56, icon_photo),
    ("btn_movi", 4012, 56, icon_movi),
    ("btn_music", 4013, 56, icon_music),
    ("btn_document", 4014, 56, icon_document),
    ("btn_zip", 4015, 56, icon_zip),
    ("btn_today", 4016, 56, icon_today),
    ("btn_oneweek", 4017, 68, icon_oneweek),
    ("btn_onemonth", 4018, 68, icon_onemonth),
    ("btn_more", 4019, 56, icon_more),
]
for _name, _id, _w, _icon in FILTERS:
    SKINS.append((_name, _id, (lambda w=_w, i=_icon: filter_button(w, i)), "png", {"subwidth": _w}))


def button_states(w, h, draw, hover_fill=True):
    """Four states side by side (normal, hover, pushed, disabled) as image
    buttons use them; draw(canvas, state) paints the face of one state."""
    frames = []
    for state in range(4):
        c = Canvas(w, h)
        if state == 1 and hover_fill:
            c.shape(sd_round_box(0, 0, w, h, RADIUS), rgb("soft"))
        elif state == 2 and hover_fill:
            c.shape(sd_round_box(0, 0, w, h, RADIUS), rgb("strong"))
        draw(c, state)
        frames.append(c)
    return strip(frames)


def state_colour(state):
    return rgb(("secondary", "accent", "surface", "disabled")[state])


@skin("main_background", 4001, margin_left=12, margin_right=12)
def main_background():
    # The bar: a white surface on a soft shadow; 4 px of shadow at the sides,
    # 8 px below (the panels hang over that part).
    c = Canvas(800, 73)
    drop_shadow(c, 4, 0, 796, 65, RADIUS)
    surface(c, 4, 0, 796, 65, RADIUS)
    return c


@skin("btn_search", 4002, subwidth=16)
def btn_search():
    return button_states(16, 16, lambda c, s: icon_magnifier(c, 0, 0, rgb("secondary") if s != 3 else rgb("disabled")),
                         hover_fill=False)


@skin("btn_closeedit", 4003, subwidth=16)
def btn_closeedit():
    def draw(c, s):
        fill = ("disabled", "accent", "strong", "line")[s]
        c.shape(sd_circle(8, 8, 7.0), rgb(fill))
        icon_cross(c, 8, 8, 2.6, rgb("surface"))
    return button_states(16, 16, draw, hover_fill=False)


@skin("btn_search_push", 4004, subwidth=30)
def btn_search_push():
    def draw(c, s):
        col = state_colour(s)
        icon_funnel(c, 3, 3, col)
        icon_chevron_down(c, 23.5, 11.5, col, 0.8)
    return button_states(30, 22, draw)


@skin("btn_setting", 4005, subwidth=24)
def btn_setting():
    return button_states(24, 20, lambda c, s: icon_gear(c, 4, 2, state_colour(s)))


def lumsek_mark(c, s=1.0, ox=0.0, oy=0.0):
    """The product mark, drawn in a 26 px square scaled by s: an L whose foot
    runs into a lens, in the accent colours on no face of its own, so that it
    reads as the product's sign and not as a button."""
    w = max(3.0 * s, 1.6)
    c.shape(sd_polyline([(ox + 6.0 * s, oy + 3.5 * s), (ox + 6.0 * s, oy + 20.0 * s), (ox + 12.0 * s, oy + 20.0 * s)],
                        w), rgb("accent"))
    c.shape(sd_ring(ox + 17.0 * s, oy + 17.0 * s, 4.5 * s, max(2.2 * s, 1.3)), rgb("strong"))
    c.shape(sd_segment(ox + 20.4 * s, oy + 20.4 * s, ox + 23.0 * s, oy + 23.0 * s, w), rgb("strong"))


@skin("right_logo", 4006)
def right_logo():
    c = Canvas(26, 26)
    lumsek_mark(c)
    return c


@skin("line_v", 4007)
def line_v():
    c = Canvas(1, 14)
    c.shape(lambda x, y: -1.0, rgb("line"))
    return c


@skin("edit_frame", 4008, tile_stretch=1, left=4, top=4, margin_bottom=4)
def edit_frame():
    # The search box outline; its centre stays empty (the edit covers it).
    c = Canvas(9, 9)
    c.shape(sd_inner_border(0, 0, 9, 9, RADIUS), rgb("line"))
    return c


def fill(colour):
    # A plain fill: one column, stretched across and copied 1:1 downwards,
    # tall enough for any panel on any screen.
    c = Canvas(1, FILL_HEIGHT)
    for y in range(FILL_HEIGHT):
        c.blend(0, y, rgb(colour), 1.0)
    return c


FILL_HEIGHT = 4096


@skin("fill_white", 4009)
def fill_white():
    return fill("surface")


@skin("fill_quiet", 4020)
def fill_quiet():
    return fill("quiet")


# Result panel: hangs under the bar (its top row continues the bar), white
# margins around the list window, rounded bottom corners and a shadow. The
# eight-piece frame leaves the list area (18 px in from the sides, 22 from the
# top, 31 from the bottom) to the list window and the panel's fill.
PANEL_SIDE, PANEL_TOP, PANEL_BOTTOM = 18, 22, 31


@skin("frame_dlg3", 4021, tile_stretch=1, left=PANEL_SIDE, top=PANEL_TOP, margin_bottom=PANEL_BOTTOM)
def frame_dlg3():
    w, h = 2 * PANEL_SIDE + 1, PANEL_TOP + 1 + PANEL_BOTTOM
    c = Canvas(w, h)
    drop_shadow(c, 4, -20, w - 4, h - 6, RADIUS)
    surface(c, 4, -20, w - 4, h - 6, RADIUS)
    return c


@skin("loading_big", 4022, subwidth=32)
def loading_big():
    # Eight frames of a ring of dots; the bright dot walks clockwise.
    frames = []
    for f in range(8):
        c = Canvas(32, 32)
        for i in range(8):
            a = (i / 8.0) * 2 * math.pi - math.pi / 2
            age = (f - i) % 8
            alpha = max(0.18, 1.0 - age * 0.16)
            c.shape(sd_circle(16 + 10 * math.cos(a), 16 + 10 * math.sin(a), 2.6), rgb("accent"), alpha)
        frames.append(c)
    return strip(frames)


@skin("icon_drive", 4023)
def icon_drive_skin():
    c = Canvas(16, 16)
    icon_drive(c, 0, 0, rgb("accent"))
    return c


@skin("panel_grip", 4024)
def panel_grip():
    c = Canvas(24, 3)
    for y in (0, 2):
        for x in range(24):
            c.blend(x, y, rgb("line"), 1.0)
    return c


@skin("bgminidock", 4025, margin_left=4, margin_right=4)
def bgminidock():
    # The strip left at the screen top while the bar hides: an accent edge.
    c = Canvas(16, 4)
    c.shape(sd_round_box(0, -4, 16, 4, 2), rgb("accent"), 0.85)
    return c


@skin("dragbox", 4026, tile_stretch=1, left=3, top=3, margin_bottom=3)
def dragbox():
    # Outline of the bar while it is dragged: the centre stays clear.
    c = Canvas(7, 7)
    c.shape(sd_inner_border(0, 0, 7, 7, 3, 2.0), rgb("accent"))
    return c


@skin("dragline", 4027, margin_left=2, margin_right=2)
def dragline():
    # The 4 px edge line shown while a panel edge is dragged.
    c = Canvas(8, 4)
    c.shape(sd_round_box(0, 0.5, 8, 3.5, 1.5), rgb("accent"))
    return c


# The second, taller bar: the same surface, with room for the advanced-search
# popup between the filter row and the search box.
@skin("main_background2", 4050, margin_left=12, margin_right=12)
def main_background2():
    c = Canvas(800, 171)
    drop_shadow(c, 4, 0, 796, 163, RADIUS)
    surface(c, 4, 0, 796, 163, RADIUS)
    return c


@skin("btn_moretype", 4051, subwidth=24)
def btn_moretype():
    # Four frames: expand (normal, hover), collapse (normal, hover).
    frames = []
    for state in range(4):
        c = Canvas(24, 20)
        hot = state % 2 == 1
        if hot:
            c.shape(sd_round_box(0, 0, 24, 20, RADIUS), rgb("soft"))
        col = rgb("accent") if hot else rgb("secondary")
        up = state >= 2
        for dy in (-2.5, 2.5):
            y = 10 + dy
            pts = [(7.5, y + 2.0), (12.0, y - 2.0), (16.5, y + 2.0)] if up else \
                  [(7.5, y - 2.0), (12.0, y + 2.0), (16.5, y - 2.0)]
            c.shape(sd_polyline(pts, STROKE), col)
        frames.append(c)
    return strip(frames)


@skin("moresearch_frame", 4052, tile_stretch=1, left=1, top=1, margin_bottom=1)
def moresearch_frame():
    # A 1 px outline around the advanced-search popup, which covers the rest.
    c = Canvas(3, 3)
    c.shape(sd_inner_border(0, 0, 3, 3, 0), rgb("line"))
    return c


# ---------------------------------------------------------------- dialogs
# The dialogs are ordinary (not layered) windows: their frames are opaque and
# square, and the framework's drop shadow ("dlg_shadow") gives them depth.

def mix(a, b, t):
    """Colour a moved towards colour b by t (0..1)."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


@skin("dlg_shadow", 4030)
def dlg_shadow():
    # Nine parts around the window: 4 px corners, the window over the middle.
    # The middle stays clear, so that a window with see-through parts of its
    # own (a layered panel) shows no dark patch behind them.
    c = Canvas(10, 10)
    drop_shadow(c, 4, 4, 6, 6, 0, spread=4.0, alpha=0.14, dy=0.0)
    for y in range(4, 6):
        for x in range(4, 6):
            c.px[y * c.w + x] = [0.0, 0.0, 0.0, 0.0]
    return c


DIALOG_HEADER = 32


@skin("recoverbg", 4031, tile_stretch=1, left=1, top=DIALOG_HEADER, margin_bottom=1)
def recoverbg():
    # Border, white header and its separator; the body fills the middle.
    c = Canvas(3, DIALOG_HEADER + 2)
    c.shape(lambda x, y: -1.0, rgb("surface"))
    c.shape(sd_inner_border(0, 0, 3, DIALOG_HEADER + 2, 0), rgb("line"))
    for x in range(3):
        c.blend(x, DIALOG_HEADER - 1, rgb("line"), 1.0)
    return c


@skin("background_menu", 4032, tile_stretch=1, left=1, top=1, margin_bottom=1)
def background_menu():
    # The 1 px outline of popups; their fill comes first.
    c = Canvas(3, 3)
    c.shape(sd_inner_border(0, 0, 3, 3, 0), rgb("line"))
    return c


@skin("btn_sys_close", 4033, subwidth=24)
def btn_sys_close():
    def draw(c, s):
        icon_cross(c, 12, 12, 4.0, state_colour(s))
    return button_states(24, 24, draw)


def text_button(w, h, kind):
    """Faces for buttons whose label the layout draws over them: primary
    (accent, white label), secondary (outlined) and ghost (no face until hot)."""
    frames = []
    for state in range(4):
        c = Canvas(w, h)
        if kind == "primary":
            fill = (rgb("accent"), mix(rgb("accent"), rgb("surface"), 0.18), mix(rgb("accent"), rgb("text"), 0.18),
                    rgb("disabled"))[state]
            c.shape(sd_round_box(0, 0, w, h, RADIUS), fill)
        elif kind == "secondary":
            border = (rgb("line"), rgb("accent"), rgb("accent"), rgb("line"))[state]
            fill = (rgb("surface"), rgb("soft"), mix(rgb("soft"), rgb("strong"), 0.35), rgb("quiet"))[state]
            surface_colours(c, 0, 0, w, h, RADIUS, fill, border)
        else:
            if state in (1, 2):
                c.shape(sd_round_box(0, 0, w, h, RADIUS), rgb("soft") if state == 1 else
                        mix(rgb("soft"), rgb("strong"), 0.35))
        frames.append(c)
    return strip(frames)


def surface_colours(c, x0, y0, x1, y1, r, fill_rgb, border_rgb):
    c.shape(sd_round_box(x0, y0, x1, y1, r), fill_rgb)
    c.shape(sd_inner_border(x0, y0, x1, y1, r), border_rgb)


@skin("btn_recovery", 4034, subwidth=88)
def btn_recovery():
    return text_button(88, 28, "primary")


@skin("btn_secondary", 4035, subwidth=88)
def btn_secondary():
    return text_button(88, 28, "secondary")


@skin("btn_ghost", 4036, subwidth=150)
def btn_ghost():
    return text_button(150, 28, "ghost")


@skin("progressbg", 4037, margin_left=4, margin_right=4)
def progressbg():
    c = Canvas(12, 8)
    c.shape(sd_round_box(0, 0, 12, 8, 4), mix(rgb("line"), rgb("surface"), 0.45))
    return c


@skin("progresspos", 4038, margin_left=4, margin_right=4)
def progresspos():
    c = Canvas(12, 8)
    c.shape(sd_round_box(0, 0, 12, 8, 4), rgb("accent"))
    return c


# The module library's progress dialogs: a taller bar that holds its percent.
@skin("progressbg_big", 4053, margin_left=6, margin_right=6)
def progressbg_big():
    c = Canvas(16, 18)
    c.shape(sd_round_box(0, 0, 16, 18, RADIUS), mix(rgb("line"), rgb("surface"), 0.45))
    return c


@skin("progresspos_big", 4054, margin_left=6, margin_right=6)
def progresspos_big():
    c = Canvas(16, 18)
    c.shape(sd_round_box(0, 0, 16, 18, RADIUS), rgb("accent"))
    return c


@skin("frame_dlg", 4055, tile_stretch=1, left=1, top=DIALOG_HEADER, margin_bottom=9)
def frame_dlg():
    # The web window: header, a 9 px quiet foot; the browser covers the rest.
    h = DIALOG_HEADER + 1 + 9
    c = Canvas(3, h)
    c.shape(lambda x, y: -1.0, rgb("surface"))
    for y in range(h - 9, h):
        for x in range(3):
            c.blend(x, y, rgb("quiet"), 1.0)
    c.shape(sd_inner_border(0, 0, 3, h, 0), rgb("line"))
    for x in range(3):
        c.blend(x, DIALOG_HEADER - 1, rgb("line"), 1.0)
        c.blend(x, h - 10, rgb("line"), 1.0)
    return c


DIALOG_FOOTER = 44


@skin("proxy", 4056, tile_stretch=1, left=1, top=DIALOG_HEADER, margin_bottom=DIALOG_FOOTER)
def proxy():
    # Header, white body (the layout fills it) and a quiet footer for the buttons.
    h = DIALOG_HEADER + 1 + DIALOG_FOOTER
    c = Canvas(3, h)
    c.shape(lambda x, y: -1.0, rgb("surface"))
    for y in range(h - DIALOG_FOOTER, h):
        for x in range(3):
            c.blend(x, y, rgb("quiet"), 1.0)
    c.shape(sd_inner_border(0, 0, 3, h, 0), rgb("line"))
    for x in range(3):
        c.blend(x, DIALOG_HEADER - 1, rgb("line"), 1.0)
        c.blend(x, h - DIALOG_FOOTER, rgb("line"), 1.0)
    return c


@skin("dlg_footer", 4057, tile_stretch=1, left=1, top=1, margin_bottom=1)
def dlg_footer():
    # The quiet footer under a dialog's body, where its buttons sit: a line
    # on top, the quiet surface below.
    c = Canvas(3, 3)
    c.shape(lambda x, y: -1.0, rgb("quiet"))
    for x in range(3):
        c.blend(x, 0, rgb("line"), 1.0)
    return c


# Scope popup rows: the whole row is the button (a check box at the left,
# the row's text laid over it); four states as image buttons use them.
MENU_ROW_W, MENU_ROW_H = 104, 24


CHECK_SIZE = 14


def check_mark(c, x0, y0, checked, state, round_mark=False):
    """One check box (or radio mark) of CHECK_SIZE px at (x0, y0) in one of the
    four image-button states: the scope popup and the dialogs share it."""
    x1, y1 = x0 + CHECK_SIZE, y0 + CHECK_SIZE
    r = CHECK_SIZE / 2.0 if round_mark else 3
    if checked and not round_mark:
        c.shape(sd_round_box(x0, y0, x1, y1, r), rgb("disabled") if state == 3 else rgb("accent"))
        c.shape(sd_polyline([(x0 + 3.5, y0 + 7.0), (x0 + 6.3, y0 + 9.8), (x0 + 10.8, y0 + 4.2)], 1.8),
                rgb("surface"))
        return
    border = rgb("accent") if state in (1, 2) or (checked and state != 3) else rgb("disabled")
    surface_colours(c, x0, y0, x1, y1, r, rgb("quiet") if state == 3 else rgb("surface"), border)
    if checked:
        c.shape(sd_circle(x0 + CHECK_SIZE / 2.0, y0 + CHECK_SIZE / 2.0, 3.5),
                rgb("disabled") if state == 3 else rgb("accent"))


def menu_row(checked):
    frames = []
    for state in range(4):
        c = Canvas(MENU_ROW_W, MENU_ROW_H)
        if state in (1, 2):
            c.shape(sd_round_box(0, 0, MENU_ROW_W, MENU_ROW_H, RADIUS),
                    rgb("soft") if state == 1 else mix(rgb("soft"), rgb("strong"), 0.35))
        check_mark(c, 6, 5, checked, state)
        frames.append(c)
    return strip(frames)


def mark_box(checked, round_mark=False):
    frames = []
    for state in range(4):
        c = Canvas(CHECK_SIZE, CHECK_SIZE)
        check_mark(c, 0, 0, checked, state, round_mark)
        frames.append(c)
    return strip(frames)


# The dialogs' check boxes and radio buttons, in the scope popup's style.
@skin("cmn_checkbox", 4060, subwidth=CHECK_SIZE)
def cmn_checkbox():
    return mark_box(False)


@skin("cmn_checkbox_check", 4061, subwidth=CHECK_SIZE)
def cmn_checkbox_check():
    return mark_box(True)


@skin("cmn_radio", 4062, subwidth=CHECK_SIZE)
def cmn_radio():
    return mark_box(False, True)


@skin("cmn_radio_check", 4063, subwidth=CHECK_SIZE)
def cmn_radio_check():
    return mark_box(True, True)


@skin("btn_menu_gou", 4039, subwidth=MENU_ROW_W)
def btn_menu_gou():
    return menu_row(True)


@skin("btn_menu", 4040, subwidth=MENU_ROW_W)
def btn_menu():
    return menu_row(False)


# Web-search panel: like the result panel, with a top border (it can hang
# under the result panel) and a 16 px bottom strip.
WEB_TOP, WEB_BOTTOM = 22, 16


@skin("frame_dlg2", 4041, tile_stretch=1, left=PANEL_SIDE, top=WEB_TOP, margin_bottom=WEB_BOTTOM)
def frame_dlg2():
    w, h = 2 * PANEL_SIDE + 1, WEB_TOP + 1 + WEB_BOTTOM
    c = Canvas(w, h)
    drop_shadow(c, 4, 0, w - 4, h - 6, RADIUS)
    surface(c, 4, 0, w - 4, h - 6, RADIUS)
    return c


def icon_web(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_ring(ox + 8, oy + 8, 6.25, STROKE), col, box=b)
    c.shape(sd_segment(ox + 2.0, oy + 8, ox + 14.0, oy + 8, 1.2), col, box=b)

    def meridian(x, y):
        # an ellipse of half-width 2.8 through the poles
        dx, dy = (x - ox - 8) / 2.8, (y - oy - 8) / 6.25
        return abs(math.hypot(dx, dy) - 1.0) * 2.8 - 0.6
    c.shape(meridian, col, box=b)


@skin("icon_web", 4042)
def icon_web_skin():
    c = Canvas(16, 16)
    icon_web(c, 0, 0, rgb("accent"))
    return c


# Result list header, 25 px: a quiet band with a line below, column
# separators and the hot column.
LIST_HEADER = 25


@skin("list_header_bg", 4043)
def list_header_bg():
    c = Canvas(1, LIST_HEADER)
    for y in range(LIST_HEADER):
        c.blend(0, y, rgb("line") if y == LIST_HEADER - 1 else rgb("quiet"), 1.0)
    return c


@skin("list_header_horzline", 4044)
def list_header_horzline():
    c = Canvas(1, LIST_HEADER - 1)
    for y in range(6, LIST_HEADER - 7):
        c.blend(0, y, rgb("line"), 1.0)
    return c


@skin("list_header_honver", 4045)
def list_header_honver():
    c = Canvas(1, LIST_HEADER)
    for y in range(LIST_HEADER - 1):
        c.blend(0, y, rgb("soft"), 1.0)
    c.blend(0, LIST_HEADER - 1, rgb("accent"), 1.0)
    return c


# Buttons under the expanded result row: a face with the action's icon at
# x 3, normal and hot side by side, each frame as wide as its button. The list
# writes the label right of the icon.
ACTION_H = 24


def icon_page(c, ox, oy, col, b):
    c.shape(sd_polyline([(ox + 3.25, oy + 1.75), (ox + 9.5, oy + 1.75), (ox + 12.75, oy + 5.0),
                         (ox + 12.75, oy + 14.25), (ox + 3.25, oy + 14.25)], STROKE, closed=True), col, box=b)
    c.shape(sd_polyline([(ox + 9.25, oy + 2.0), (ox + 9.25, oy + 5.25), (ox + 12.5, oy + 5.25)], STROKE * 0.8),
            col, box=b)


def icon_open_file(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    icon_page(c, ox, oy, col, b)
    c.shape(sd_segment(ox + 5.75, oy + 11.75, ox + 9.75, oy + 7.75, STROKE), col, box=b)
    c.shape(sd_polyline([(ox + 6.75, oy + 7.5), (ox + 10.0, oy + 7.5), (ox + 10.0, oy + 10.75)], STROKE), col, box=b)


def icon_open_folder(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_polyline([(ox + 1.75, oy + 3.0), (ox + 6.0, oy + 3.0), (ox + 7.5, oy + 4.75), (ox + 14.25, oy + 4.75),
                         (ox + 14.25, oy + 13.0), (ox + 1.75, oy + 13.0)], STROKE, closed=True), col, box=b)
    c.shape(sd_segment(ox + 2.0, oy + 7.25, ox + 14.0, oy + 7.25, STROKE), col, box=b)


def icon_copy_file(c, ox, oy, col):
    b = (ox, oy, ox + 16, oy + 16)
    # the page behind shows only above and left of the one in front
    c.shape(sd_polyline([(ox + 3.5, oy + 11.0), (ox + 1.75, oy + 11.0), (ox + 1.75, oy + 1.75),
                         (ox + 10.0, oy + 1.75), (ox + 10.0, oy + 3.5)], STROKE), col, box=b)
    c.shape(sd_ring_box(ox + 5.5, oy + 5.0, ox + 14.25, oy + 14.25, 1.5, STROKE), col, box=b)


def sd_capsule_ring(ax, ay, bx, by, r, width):
    seg = sd_segment(ax, ay, bx, by, 0.0)
    return lambda x, y: abs(seg(x, y) - r) - width / 2.0


def icon_copy_path(c, ox, oy, col):
    # two links of a chain
    b = (ox, oy, ox + 16, oy + 16)
    c.shape(sd_capsule_ring(ox + 4.25, oy + 11.75, ox + 7.25, oy + 8.75, 2.5, STROKE), col, box=b)
    c.shape(sd_capsule_ring(ox + 8.75, oy + 7.25, ox + 11.75, oy + 4.25, 2.5, STROKE), col, box=b)


def icon_recover(c, ox, oy, col):
    # a circle turning back on itself: the arc leaves a gap at the upper left,
    # where the arrow head points into it
    b = (ox, oy, ox + 16, oy + 16)
    cx, cy, r = ox + 8.0, oy + 8.5, 5.25
    ring = sd_ring(cx, cy, r, STROKE)

    def arc(x, y):
        a = math.degrees(math.atan2(y - cy, x - cx))
        return ring(x, y) if not (-165.0 < a < -105.0) else 1.0
    c.shape(arc, col, box=b)
    tip = (cx + r * math.cos(math.radians(-165.0)), cy + r * math.sin(math.radians(-165.0)))
    c.shape(sd_polygon([(tip[0] - 2.6, tip[1] - 0.4), (tip[0] + 2.4, tip[1] - 0.9), (tip[0] - 0.3, tip[1] + 3.2)]),
            col, box=b)


def action_button(width, icon):
    frames = []
    for state in range(2):
        c = Canvas(width, ACTION_H)
        if state == 0:
            surface(c, 0, 0, width, ACTION_H, RADIUS)
        else:
            surface(c, 0, 0, width, ACTION_H, RADIUS, fill="soft", border="accent")
        icon(c, 3, 4, rgb("secondary") if state == 0 else rgb("accent"))
        frames.append(c)
    return strip(frames)


ACTIONS = [
    ("btn_openfile", 4081, 46, icon_open_file),
    ("btn_openfolder", 4082, 70, icon_open_folder),
    ("btn_copyfile", 4083, 48, icon_copy_file),
    ("btn_copyfolder", 4084, 72, icon_copy_path),
    ("btn_recoverdelfile", 4085, 97, icon_recover),
]
for _name, _id, _w, _icon in ACTIONS:
    SKINS.append((_name, _id, (lambda w=_w, i=_icon: action_button(w, i)), "png", {"subwidth": _w}))


# ---------------------------------------------------------------- icon

def logo(size):
    # The program icon: the bar's mark on a white tile.
    c = Canvas(size, size)
    s = size / 26.0
    surface(c, 0.5 * s, 0.5 * s, 25.5 * s, 25.5 * s, 6 * s)
    lumsek_mark(c, s * 0.84, 2.0 * s, 2.0 * s)
    return c


ICON_FILES = [("lumsek", 670, (16, 24, 32, 48))]


# ---------------------------------------------------------------- writers

def png_bytes(canvas):
    raw = b"".join(b"\0" + row for row in canvas.rgba_rows())

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_pixels(data):
    """Size and RGBA rows of a PNG this script wrote (8-bit RGBA, any filter)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, w, h = 8, b"", 0, 0
    while pos < len(data):
        n, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if tag == b"IHDR":
            w, h, depth, ctype = struct.unpack(">IIBB", body[:10])
            if depth != 8 or ctype != 6:
                raise ValueError("not 8-bit RGBA")
        elif tag == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    stride = w * 4
    rows, prev = [], bytearray(stride)
    for y in range(h):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 255
            elif ftype == 2:
                line[i] = (line[i] + b) & 255
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        rows.append(bytes(line))
        prev = line
    return w, h, rows


def ico_bytes(canvases):
    """An icon file of 32-bit DIB images (with their AND masks), one per size."""
    images = []
    for c in canvases:
        rows = c.rgba_rows()
        xor = b"".join(bytes(b for i in range(0, len(row), 4) for b in (row[i + 2], row[i + 1], row[i], row[i + 3]))
                       for row in reversed(rows))
        mask_stride = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x in range(c.w):
                if row[x * 4 + 3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, header + xor + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(d for _, _, d in images)


def skin_table():
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             "<!-- Written by tools/make_skins.py: edit the script, not this file. -->",
             "<skins>"]
    for name, res_id, _, element, attrs in SKINS:
        extra = "".join(' %s="%s"' % (k, v) for k, v in attrs.items())
        lines.append('  <%s name="%s" src="%d"%s/>' % (element, name, res_id, extra))
    lines.append("</skins>")
    return "\n".join(lines) + "\n"


def resource_lines():
    lines = ["// Written by tools/make_skins.py: the skin images and icons, by resource id."]
    for name, res_id, _, _, _ in SKINS:
        lines.append('%d PNG "images/%s.png"' % (res_id, name))
    for name, res_id, _ in ICON_FILES:
        lines.append('%d ICON "images/%s.ico"' % (res_id, name))
    return "\n".join(lines) + "\n"


def outputs():
    """Every file the script writes: relative path -> bytes."""
    files = {}
    ids = set()
    for name, res_id, fn, _, _ in SKINS:
        if res_id in ids:
            raise SystemExit("duplicate resource id %d" % res_id)
        ids.add(res_id)
        files["images/%s.png" % name] = png_bytes(fn())
    for name, _, sizes in ICON_FILES:
        files["images/%s.ico" % name] = ico_bytes([logo(s) for s in sizes])
    files["images/images.rc"] = resource_lines().encode("utf-8")
    files["xml/60000.xml"] = skin_table().encode("utf-8")
    return files


def same_content(path, data):
    """PNGs compare by size and pixels (zlib builds may differ); the rest by bytes."""
    try:
        with open(path, "rb") as f:
            old = f.read()
    except OSError:
        return False
    if path.endswith(".png"):
        try:
            return png_pixels(old) == png_pixels(data)
        except (ValueError, zlib.error, struct.error):
            return False
    return old == data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "resources"))
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    args = parser.parse_args()

    files = outputs()
    if args.check:
        stale = [rel for rel, data in sorted(files.items()) if not same_content(os.path.join(args.out, rel), data)]
        known = set(os.listdir(os.path.join(args.out, "images"))) if os.path.isdir(
            os.path.join(args.out, "images")) else set()
        extra = sorted(known - {os.path.basename(rel) for rel in files if rel.startswith("images/")})
        for rel in stale:
            print("differs from the generator: %s" % rel)
        for name in extra:
            print("not made by the generator: images/%s" % name)
        return 1 if stale or extra else 0
    for rel, data in files.items():
        path = os.path.join(args.out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if not same_content(path, data):
            with open(path, "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
