#!/usr/bin/env python3
"""Writes the device pictures (res/pictures/*.svg) from one shared style.

    scripts/draw-pictures.py res/pictures

The SVG files are what the program loads and stay editable by hand; this
script keeps the models in one style when several of them change."""
import sys, os
OUT = sys.argv[1]

DEFS = """  <defs>
    <linearGradient id="body" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#62676f"/>
      <stop offset="0.18" stop-color="#464a51"/>
      <stop offset="0.75" stop-color="#2f3237"/>
      <stop offset="1" stop-color="#1d1f23"/>
    </linearGradient>
    <linearGradient id="deck" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#4d5259"/>
      <stop offset="1" stop-color="#34373c"/>
    </linearGradient>
    <linearGradient id="rest" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#6d727a"/>
      <stop offset="0.35" stop-color="#575b62"/>
      <stop offset="1" stop-color="#3c3f45"/>
    </linearGradient>
    <linearGradient id="well" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#17191c"/>
      <stop offset="1" stop-color="#8a9098"/>
    </linearGradient>
    <linearGradient id="pad" x1="0" y1="0" x2="0.35" y2="1">
      <stop offset="0" stop-color="#d3d7dc"/>
      <stop offset="0.5" stop-color="#e6e9ec"/>
      <stop offset="1" stop-color="#dadee2"/>
    </linearGradient>
    <linearGradient id="padShade" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#000000" stop-opacity="0.22"/>
      <stop offset="0.12" stop-color="#000000" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="key" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#5d626a"/>
      <stop offset="0.5" stop-color="#40444a"/>
      <stop offset="1" stop-color="#2a2d31"/>
    </linearGradient>
    <linearGradient id="keyTop" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#ffffff" stop-opacity="0.30"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="sheen" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#ffffff" stop-opacity="0.20"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="cable" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#2c2f33"/>
      <stop offset="1" stop-color="#15171a"/>
    </linearGradient>
    <linearGradient id="accent" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#f3a25a"/>
      <stop offset="1" stop-color="#c8671f"/>
    </linearGradient>
    <radialGradient id="led" cx="0.5" cy="0.5" r="0.5">
      <stop offset="0" stop-color="#d6f1ff"/>
      <stop offset="0.5" stop-color="#49b4f0"/>
      <stop offset="1" stop-color="#1d6fa8" stop-opacity="0"/>
    </radialGradient>
  </defs>
"""

def rr(x0, y0, x1, y1, r, extra=""):
    return f'<rect x="{x0}" y="{y0}" width="{x1-x0}" height="{y1-y0}" rx="{r}" ry="{r}" {extra}/>'

def shadow(x0, y0, x1, y1, r):
    # Stacked translucent copies stand in for a blur, which QtSvg lacks.
    out = ['  <g id="shadow">']
    for grow, dy, op in [(5, 4, 0.05), (3, 3, 0.07), (1.5, 2, 0.10), (0.5, 1, 0.14)]:
        out.append('    ' + rr(x0 - grow, y0 - grow + dy + 1, x1 + grow, y1 + grow * 0.6 + dy, r + grow,
                              f'fill="#000000" fill-opacity="{op}"'))
    out.append('  </g>')
    return out

def body(x0, y0, x1, y1, r):
    return ['  <g id="body">',
            '    ' + rr(x0, y0, x1, y1, r, 'fill="url(#body)" stroke="#16181b" stroke-width="1"'),
            '    ' + rr(x0 + 3, y0 + 2.5, x1 - 3, y1 - 6, r - 2, 'fill="url(#deck)"'),
            '    ' + rr(x0 + 3, y0 + 2.5, x1 - 3, y0 + (y1 - y0) * 0.45, r - 2, 'fill="url(#sheen)"'),
            f'    <path d="M {x0 + r} {y0 + 1.5} H {x1 - r}" stroke="#9aa0a8" stroke-width="1" stroke-opacity="0.7" fill="none"/>',
            '  </g>']

def rest(x0, y0, x1, y1, r, ident):
    # A padded wrist rest with a stitched seam.
    return [f'  <g id="{ident}">',
            '    ' + rr(x0, y0, x1, y1, r, 'fill="url(#rest)" stroke="#1e2023" stroke-width="1"'),
            '    ' + rr(x0 + 5, y0 + 4, x1 - 5, y1 - 4, max(r - 4, 2),
                        'fill="none" stroke="#8c9198" stroke-width="0.8" stroke-dasharray="3,2.5" stroke-opacity="0.8"'),
            '    ' + rr(x0 + 2, y0 + 1.5, x1 - 2, y0 + (y1 - y0) * 0.4, max(r - 2, 2), 'fill="url(#sheen)"'),
            '  </g>']

def pad(x0, y0, x1, y1, r):
    # Recessed: a dark-to-light well with the light surface set into it.
    return ['  <g id="button0">',
            '    ' + rr(x0, y0, x1, y1, r, 'fill="url(#well)"'),
            '    ' + rr(x0 + 2, y0 + 2.5, x1 - 2, y1 - 1.5, r - 1.5, 'fill="url(#pad)"'),
            '    ' + rr(x0 + 2, y0 + 2.5, x1 - 2, y1 - 1.5, r - 1.5, 'fill="url(#padShade)"'),
            '  </g>']

def key(ident, x0, y0, x1, y1, r=5, extra=None):
    out = [f'  <g id="{ident}">',
           '    ' + rr(x0, y0, x1, y1, r, 'fill="#141618"'),
           '    ' + rr(x0 + 1, y0 + 1, x1 - 1, y1 - 1.5, r - 0.5, 'fill="url(#key)"'),
           '    ' + rr(x0 + 2, y0 + 1.8, x1 - 2, y0 + (y1 - y0) * 0.55, max(r - 1.5, 1), 'fill="url(#keyTop)"')]
    out += extra or []
    out.append('  </g>')
    return out

def switch(ident, x0, y0, on, display=True):
    # The pad's on/off slider, 50x33; the knob sits left (off) or right (on).
    w, h = 50, 33
    kx = x0 + (27 if on else 5)
    style = '' if display else ' style="display:none"'
    lamp = '#5fd36a' if on else '#5a5e64'
    return [f'  <g id="{ident}"{style}>',
            '    ' + rr(x0, y0, x0 + w, y0 + h, 7, 'fill="#141618"'),
            '    ' + rr(x0 + 1, y0 + 1, x0 + w - 1, y0 + h - 1.5, 6.5, 'fill="url(#key)"'),
            '    ' + rr(x0 + 5, y0 + 9, x0 + w - 5, y0 + 24, 7, 'fill="#1a1c1f" stroke="#070809" stroke-width="0.8"'),
            '    ' + rr(kx, y0 + 7, kx + 18, y0 + 26, 5, 'fill="url(#accent)" stroke="#7a3b0d" stroke-width="0.8"'),
            '    ' + rr(kx + 2, y0 + 8, kx + 16, y0 + 15, 3, 'fill="url(#keyTop)"'),
            f'    <circle cx="{x0 + w - 6}" cy="{y0 + 5}" r="2" fill="{lamp}"/>',
            '  </g>']

def cable(x_end, y_mid):
    # Leaves the right end and bends off towards the computer.
    return ['  <g id="cable">',
            f'    <path d="M {x_end - 2} {y_mid} C {x_end + 40} {y_mid} {x_end + 62} {y_mid * 0.6:.0f} {x_end + 80} -8"'
            ' fill="none" stroke="#15171a" stroke-width="7" stroke-linecap="round"/>',
            f'    <path d="M {x_end - 2} {y_mid} C {x_end + 40} {y_mid} {x_end + 62} {y_mid * 0.6:.0f} {x_end + 80} -8"'
            ' fill="none" stroke="#4a4f56" stroke-width="2" stroke-linecap="round" transform="translate(-0.8,-1.6)"/>',
            '    ' + rr(x_end - 4, y_mid - 7, x_end + 14, y_mid + 7, 3, 'fill="#26292d" stroke="#111214" stroke-width="1"'),
            '  </g>']

def radio(cx, cy):
    out = ['  <g id="radio-mark">',
           f'    <circle cx="{cx}" cy="{cy}" r="7" fill="url(#led)"/>',
           f'    <circle cx="{cx}" cy="{cy}" r="2.2" fill="#e8f7ff"/>']
    for rad in (6, 10, 14):
        out.append(f'    <path d="M {cx - rad * 0.7:.1f} {cy - rad * 0.7:.1f} A {rad} {rad} 0 0 1 {cx + rad * 0.7:.1f} {cy - rad * 0.7:.1f}"'
                   ' fill="none" stroke="#9fd8f7" stroke-width="1.6" stroke-linecap="round"/>')
    out.append('  </g>')
    return out

def logo(x, y):
    # The maker's small emblem, embossed.
    return [f'  <path id="emblem" d="M {x} {y} l 6 -8 l 6 8 l -6 8 z" fill="none" stroke="#7d838b" stroke-width="1.2"/>']

def svg(w, h, parts, title):
    head = [f'<?xml version="1.0" encoding="UTF-8"?>',
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{w}" height="{h}" viewBox="0 0 {w} {h}">',
            f'  <title>{title}</title>', DEFS.rstrip('\n')]
    return '\n'.join(head + parts + ['</svg>']) + '\n'

def write(name, text):
    with open(os.path.join(OUT, name), 'w') as f:
        f.write(text)

# Arvel: buttons 1 and 5 along the back edge, 2, 3, 4 along the front.
p = []
p += shadow(12, 6, 608, 174, 26)
p += cable(608, 70)
p += body(12, 6, 608, 174, 26)
p += rest(30, 48, 178, 132, 16, 'wrist-rest-left')
p += rest(322, 48, 590, 132, 16, 'wrist-rest-right')
p += pad(186, 18, 314, 122, 10)
p += key('button1', 38, 14, 172, 40, 7)
p += key('button5', 328, 14, 582, 40, 7)
p += key('button2', 38, 140, 178, 166, 7)
p += key('button3', 190, 130, 310, 168, 8)
p += key('button4', 322, 140, 582, 166, 7)
write('arvel.svg', svg(720, 180, p, 'Arvel'))

# Essom: compact, the pad flanked by two keys at the back and two at the front.
p = []
p += shadow(128, 4, 392, 176, 24)
p += cable(392, 60)
p += body(128, 4, 392, 176, 24)
p += rest(140, 108, 380, 134, 12, 'wrist-rest')
p += pad(200, 12, 320, 102, 10)
p += key('button1', 140, 12, 194, 60, 8)
p += key('button5', 326, 12, 380, 60, 8)
p += key('button2', 140, 140, 256, 166, 8)
p += key('button4', 264, 140, 380, 166, 8)
p += logo(161, 76)
write('essom.svg', svg(720, 180, p, 'Essom'))

# Dorrin: three side keys at either end of the pad, three front keys.
p = []
p += shadow(160, 2, 404, 178, 22)
p += cable(404, 128)
p += body(160, 2, 404, 178, 22)
p += pad(220, 12, 344, 114, 10)
for ident, y0, y1 in [('button1', 8, 38), ('button2', 46, 80), ('button3', 86, 114)]:
    p += key(ident, 184, y0, 214, y1, 6)
for ident, y0, y1 in [('button9', 8, 38), ('button8', 46, 80), ('button7', 86, 114)]:
    p += key(ident, 350, y0, 380, y1, 6)
p += rest(172, 120, 392, 140, 9, 'wrist-rest')
p += key('button4', 176, 146, 238, 170, 7)
p += key('button5', 244, 144, 320, 172, 8)
p += key('button6', 326, 146, 388, 170, 7)
write('dorrin.svg', svg(720, 180, p, 'Dorrin'))

def nine(name, title, wireless=False, brill=False, two_and_eight=True, sleek=False):
    p = []
    if sleek:
        x0, y0, x1, y1, r = 14, 8, 606, 174, 40
    elif brill:
        x0, y0, x1, y1, r = 12, 2, 608, 176, 14
    else:
        x0, y0, x1, y1, r = 12, 2, 608, 176, 24
    p += shadow(x0, y0, x1, y1, r)
    if not wireless:
        p += cable(x1, 80)
    p += body(x0, y0, x1, y1, r)
    p += rest(34, 46, 186, 136, 14, 'wrist-rest-left')
    p += rest(334, 72, 590, 138, 14, 'wrist-rest-right')
    p += pad(198, 24, 320, 112, 10)
    top = 12 if sleek else 8
    p += key('button1', 34, top, 186, top + 26, 7)
    if two_and_eight:
        p += key('button2', 198, 6, 257, 20, 5)
        p += key('button8', 261, 6, 320, 20, 5)
    p += key('button9', 334, top, 498, top + 26, 7)
    p += switch('button3', 508, 27, True)
    p += key('button4', 34, 144, 186, 168, 7)
    p += key('button5', 198, 118, 320, 146, 7)
    p += key('button6', 198, 150, 320, 172, 7)
    p += key('button7', 334, 144, 590, 168, 7)
    if wireless:
        p += radio(575, 48)
    if brill:
        p += switch('pad-switch', 508, 27, False, display=False)
    write(name, svg(720, 180, p, title))

nine('wireless.svg', 'Cindel (wireless)', wireless=True)
nine('brill.svg', 'Brill', brill=True)
nine('arvel2.svg', 'Arvel 2.0', two_and_eight=False, sleek=True)

# No device: a calm gray outline of a pad with its cable.
p = ['  <g id="silhouette" fill="#f1f2f4" stroke="#b9bdc2" stroke-width="2">',
     '    ' + rr(70, 50, 590, 200, 26),
     '    ' + rr(228, 66, 372, 160, 12, 'fill="#e6e8eb"'),
     '    ' + rr(94, 64, 212, 88, 7),
     '    ' + rr(388, 64, 566, 88, 7),
     '    ' + rr(94, 172, 212, 190, 7),
     '    ' + rr(236, 172, 364, 190, 7),
     '    ' + rr(388, 172, 566, 190, 7),
     '    ' + rr(94, 100, 212, 160, 14, 'fill="#e9ebee"'),
     '    ' + rr(388, 100, 566, 160, 14, 'fill="#e9ebee"'),
     '    <path d="M 590 110 C 640 110 640 70 660 40 S 690 0 700 -6" fill="none" stroke-linecap="round" stroke-width="5"/>',
     '  </g>']
write('no-device.svg', svg(720, 255, p, 'No device'))
