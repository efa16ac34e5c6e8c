#!/usr/bin/env python3
"""Writes the device pictures (res/pictures/*.svg) from one shared style.

    scripts/draw-pictures.py res/pictures

The SVG files are what the program loads and stay editable by hand; this
script keeps the models in one style when several of them change.

Every model is lit from the top left and seen from slightly above, lying on
the desk in front of a keyboard's front edge. Each button is one group whose
first shape is opaque and covers the whole key, because the window's hit map
fills a button's group with one colour: decoration that must not be
clickable (shadows, seams, emblems) stays outside the button groups."""
import sys, os
OUT = sys.argv[1]

# Satin plastic in two finishes; the accent marks the model.
GRAPHITE = dict(top0='#60656d', top1='#43474e', top2='#2e3136', face0='#25272b', face1='#121315',
                rim='#9aa0a8', outline='#15171a', key0='#575c63', key1='#393c42', skirt='#1f2124',
                slot='#0d0e10', rest0='#7a7e85', rest1='#5b5f65', rest2='#3c3f44', seam='#8d9298',
                cable0='#2d3034', cable1='#121315', cablehi='#5a5f66', emblem='#80868e')
NAVY = dict(GRAPHITE, top0='#5c667a', top1='#3e4658', top2='#2a3040', face0='#222734', face1='#101319',
            rim='#9aa6bc', outline='#141822', key0='#545d70', key1='#363d4d', skirt='#1d212b',
            rest0='#737c8f', rest1='#535b6d', rest2='#363c4b', seam='#8b95aa', emblem='#7f8aa0')
SILVER = dict(top0='#f4f5f7', top1='#d7dade', top2='#b7bcc3', face0='#9ba1a9', face1='#737981',
              rim='#ffffff', outline='#8a9098', key0='#5b6068', key1='#3d4046', skirt='#222427',
              slot='#5d636b', rest0='#cfd3d8', rest1='#b4b9c0', rest2='#9aa0a8', seam='#eef0f3',
              cable0='#e6e8eb', cable1='#a9aeb5', cablehi='#ffffff', emblem='#9da3ab')


def defs(m, accent):
    a0, a1 = accent
    return f"""  <defs>
    <linearGradient id="top" x1="0" y1="0" x2="0.15" y2="1">
      <stop offset="0" stop-color="{m['top0']}"/>
      <stop offset="0.3" stop-color="{m['top1']}"/>
      <stop offset="1" stop-color="{m['top2']}"/>
    </linearGradient>
    <linearGradient id="face" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{m['face0']}"/>
      <stop offset="1" stop-color="{m['face1']}"/>
    </linearGradient>
    <linearGradient id="sheen" x1="0" y1="0" x2="0.6" y2="1">
      <stop offset="0" stop-color="#ffffff" stop-opacity="0.22"/>
      <stop offset="0.45" stop-color="#ffffff" stop-opacity="0.04"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="rest" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{m['rest1']}"/>
      <stop offset="0.3" stop-color="{m['rest0']}"/>
      <stop offset="0.6" stop-color="{m['rest1']}"/>
      <stop offset="1" stop-color="{m['rest2']}"/>
    </linearGradient>
    <linearGradient id="well" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#0e0f11"/>
      <stop offset="0.6" stop-color="#3a3d42"/>
      <stop offset="1" stop-color="#a3a8af"/>
    </linearGradient>
    <linearGradient id="pad" x1="0" y1="0" x2="0.4" y2="1">
      <stop offset="0" stop-color="#33373d"/>
      <stop offset="0.55" stop-color="#3f434a"/>
      <stop offset="1" stop-color="#2c2f34"/>
    </linearGradient>
    <linearGradient id="padShadeTop" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#000000" stop-opacity="0.42"/>
      <stop offset="0.06" stop-color="#000000" stop-opacity="0.16"/>
      <stop offset="0.2" stop-color="#000000" stop-opacity="0.03"/>
      <stop offset="0.35" stop-color="#000000" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="padShadeLeft" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#000000" stop-opacity="0.26"/>
      <stop offset="0.04" stop-color="#000000" stop-opacity="0.08"/>
      <stop offset="0.12" stop-color="#000000" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="key" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{m['key0']}"/>
      <stop offset="1" stop-color="{m['key1']}"/>
    </linearGradient>
    <linearGradient id="keyTop" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#ffffff" stop-opacity="0.28"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
    </linearGradient>
    <linearGradient id="cable" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="{m['cable0']}"/>
      <stop offset="1" stop-color="{m['cable1']}"/>
    </linearGradient>
    <linearGradient id="accent" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{a0}"/>
      <stop offset="1" stop-color="{a1}"/>
    </linearGradient>
    <linearGradient id="keyboard" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#e4e6e9"/>
      <stop offset="1" stop-color="#d4d7db"/>
    </linearGradient>
    <linearGradient id="keyboardShadow" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#000000" stop-opacity="0.10"/>
      <stop offset="1" stop-color="#000000" stop-opacity="0"/>
    </linearGradient>
    <radialGradient id="led" cx="0.5" cy="0.5" r="0.5">
      <stop offset="0" stop-color="#e4f6ff"/>
      <stop offset="0.35" stop-color="#55bdf5"/>
      <stop offset="1" stop-color="#2a8fd6" stop-opacity="0"/>
    </radialGradient>
  </defs>
"""


def rr(x0, y0, x1, y1, r, extra=""):
    return (f'<rect x="{x0:g}" y="{y0:g}" width="{x1 - x0:g}" height="{y1 - y0:g}" '
            f'rx="{r:g}" ry="{r:g}" {extra}/>')


def slab_path(x0, y0, x1, y1, r, taper=0.0):
    """A rounded outline whose back edge is `taper` shorter at either end, as
    a long flat body looks from slightly above; the front edge is rounded more
    than the back so the body seems to lie on the desk."""
    rb, rf = r * 0.8, r
    bx0, bx1 = x0 + taper, x1 - taper
    return (f'M {bx0 + rb:g} {y0:g} H {bx1 - rb:g} Q {bx1:g} {y0:g} {bx1 + taper * rb / (y1 - y0):g} {y0 + rb:g} '
            f'L {x1:g} {y1 - rf:g} Q {x1:g} {y1:g} {x1 - rf:g} {y1:g} H {x0 + rf:g} '
            f'Q {x0:g} {y1:g} {x0:g} {y1 - rf:g} L {bx0 - taper * rb / (y1 - y0):g} {y0 + rb:g} '
            f'Q {bx0:g} {y0:g} {bx0 + rb:g} {y0:g} Z')


def keyboard(w):
    # The keyboard's front edge behind the device: pale, so captions above
    # the device stay readable on it.
    out = ['  <g id="keyboard-edge">',
           f'    <rect x="0" y="8" width="{w}" height="5" fill="url(#keyboardShadow)"/>',
           f'    <rect x="-10" y="-12" width="{w + 20}" height="20" rx="6" ry="6" fill="url(#keyboard)"/>']
    x = -14
    for width in [44] + [37] * 4 + [186] + [37] * 3 + [37, 37, 37, 37, 37, 37, 37]:
        out.append('    ' + rr(x + 2, -8, x + width - 2, 4.5, 3, 'fill="#f3f4f6" stroke="#ccd0d5" stroke-width="0.8"'))
        x += width
    out.append(f'    <path d="M 0 7.5 H {w}" stroke="#c4c8cd" stroke-width="1" fill="none"/>')
    out.append('  </g>')
    return out


def shadow(x0, y0, x1, y1, r):
    # Stacked translucent copies stand in for a blur, which QtSvg lacks; the
    # light comes from the top left, so the shadow falls right and down.
    out = ['  <g id="shadow">']
    for grow, op in [(11, 0.02), (8.5, 0.03), (6.5, 0.04), (4.5, 0.05), (3, 0.06), (1.5, 0.08), (0.5, 0.1)]:
        out.append('    ' + rr(x0 - grow + 6, y0 - grow + 8, x1 + grow + 4, y1 + grow * 0.4 + 3, r + grow,
                              f'fill="#000000" fill-opacity="{op}"'))
    out.append('  </g>')
    return out


def body(x0, y0, x1, y1, r, taper=0.0, depth=6, trim=None):
    """The body: a front face `depth` high under a shaded top surface, a lit
    rim along the back and left, and `trim` as an accent inlay along the back."""
    face = slab_path(x0, y0 + depth, x1, y1 + depth, r, taper)
    top = slab_path(x0, y0, x1, y1, r, taper)
    out = ['  <g id="body">',
           f'    <path d="{face}" fill="url(#face)" stroke="#000000" stroke-opacity="0.6" stroke-width="1"/>',
           f'    <path d="{top}" fill="url(#top)" stroke="#000000" stroke-opacity="0.35" stroke-width="1"/>',
           f'    <path d="{slab_path(x0 + 2, y0 + 1.5, x1 - 2, y0 + (y1 - y0) * 0.55, r - 2, taper)}" fill="url(#sheen)"/>',
           f'    <path d="M {x0 + taper + r * 0.8:g} {y0 + 1:g} H {x1 - taper - r * 0.8:g}" stroke="#ffffff" '
           'stroke-opacity="0.45" stroke-width="1" fill="none"/>']
    if trim:
        out.append(f'    <path d="M {x0 + taper + r:g} {y0 + 3.5:g} H {x1 - taper - r:g}" stroke="{trim}" '
                   'stroke-width="1.4" stroke-linecap="round" fill="none"/>')
    out.append('  </g>')
    return out


def rest(x0, y0, x1, y1, ident='wrist-rest'):
    # The padded band the wrists lie on: softer, with a stitched seam and a
    # fine grain, and its own little shadow on the body.
    r = (y1 - y0) / 2
    out = [f'  <g id="{ident}">',
           '    ' + rr(x0 + 1, y0 + 1.5, x1 + 1, y1 + 1.5, r, 'fill="#000000" fill-opacity="0.35"'),
           '    ' + rr(x0, y0, x1, y1, r, 'fill="url(#rest)" stroke="#000000" stroke-opacity="0.45" stroke-width="0.8"')]
    for i, y in enumerate([y0 + (y1 - y0) * f for f in (0.56, 0.68, 0.80)]):
        out.append(f'    <path d="M {x0 + r + 2:g} {y:.1f} H {x1 - r - 2:g}" stroke="#000000" '
                   f'stroke-opacity="{0.10 - i * 0.02:.2f}" stroke-width="0.7" fill="none"/>')
    out += [f'    <path d="M {x0 + r * 0.8:g} {y0 + 3.2:g} H {x1 - r * 0.8:g}" stroke="#SEAM" '
            'stroke-width="0.8" stroke-dasharray="2.6,2" stroke-opacity="0.75" fill="none"/>',
            f'    <path d="M {x0 + r * 0.6:g} {y0 + 1:g} H {x1 - r * 0.6:g}" stroke="#ffffff" stroke-opacity="0.35" '
            'stroke-width="1" fill="none"/>',
            '  </g>']
    return out


def pad(x0, y0, x1, y1, r, ring=None):
    """The touch-and-press pad, one element over its whole surface: a dark
    bevelled well with a matte glass surface set into it, shaded along the
    walls the light does not reach. The surface stays dark, since the pad's
    caption is written on it in yellow."""
    out = []
    if ring:
        out.append('  ' + rr(x0 - 2.5, y0 - 2.5, x1 + 2.5, y1 + 2.5, r + 2.5, f'fill="none" stroke="{ring}" stroke-width="1.6"'))
    out += ['  <g id="button0">',
            '    ' + rr(x0, y0, x1, y1, r, 'fill="url(#well)"'),
            '    ' + rr(x0 + 1.5, y0 + 2.5, x1 - 1.5, y1 - 1.5, r - 1.5, 'fill="url(#pad)"'),
            '    ' + rr(x0 + 1.5, y0 + 2.5, x1 - 1.5, y1 - 1.5, r - 1.5, 'fill="url(#padShadeTop)"'),
            '    ' + rr(x0 + 1.5, y0 + 2.5, x1 - 1.5, y1 - 1.5, r - 1.5, 'fill="url(#padShadeLeft)"'),
            '  </g>']
    return out


def key(ident, x0, y0, x1, y1, r=5):
    """A key in its slot, seen from slightly above: the cap's front skirt
    shows under its top, which catches the light along its back edge."""
    return ['  ' + rr(x0 + 1, y0 + 2, x1 + 1.5, y1 + 1.5, r, 'fill="#000000" fill-opacity="0.25"'),
            f'  <g id="{ident}">',
            '    ' + rr(x0, y0, x1, y1, r, 'fill="#SLOT"'),
            '    ' + rr(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 0.5, 'fill="#SKIRT"'),
            '    ' + rr(x0 + 1.5, y0 + 1.2, x1 - 1.5, y1 - 4, max(r - 1, 1), 'fill="url(#key)"'),
            '    ' + rr(x0 + 2.5, y0 + 2, x1 - 2.5, y0 + (y1 - y0) * 0.5, max(r - 2, 1), 'fill="url(#keyTop)"'),
            f'    <path d="M {x0 + r:g} {y0 + 1.8:g} H {x1 - r:g}" stroke="#ffffff" stroke-opacity="0.35" '
            'stroke-width="0.8" fill="none"/>',
            '  </g>']


def switch(ident, on, display=True):
    # The pad's on/off slider, always at (508, 27), 50x33: the window lays
    # its overlay there. The knob sits left (off) or right (on).
    x0, y0, w, h = 508, 27, 50, 33
    kx = x0 + (27 if on else 5)
    style = '' if display else ' style="display:none"'
    lamp = '#5fd36a' if on else '#6a6e74'
    return [f'  <g id="{ident}"{style}>',
            '    ' + rr(x0, y0, x0 + w, y0 + h, 7, 'fill="#SLOT"'),
            '    ' + rr(x0 + 1, y0 + 1, x0 + w - 1, y0 + h - 1, 6.5, 'fill="#SKIRT"'),
            '    ' + rr(x0 + 1.5, y0 + 1.2, x0 + w - 1.5, y0 + h - 3.5, 6, 'fill="url(#key)"'),
            '    ' + rr(x0 + 5, y0 + 10, x0 + w - 5, y0 + 24, 7, 'fill="#141518" stroke="#000000" stroke-width="0.8"'),
            '    ' + rr(kx, y0 + 7, kx + 18, y0 + 26, 5, 'fill="url(#accent)" stroke="#000000" stroke-opacity="0.5" stroke-width="0.8"'),
            '    ' + rr(kx + 2, y0 + 8, kx + 16, y0 + 15, 3, 'fill="url(#keyTop)"'),
            f'    <circle cx="{x0 + w - 6}" cy="{y0 + 5}" r="1.8" fill="{lamp}"/>',
            '  </g>']


def cable(x_end, y_mid):
    # Leaves the right end and runs back past the keyboard to the computer.
    d = (f'M {x_end + 8} {y_mid} C {x_end + 46} {y_mid} {x_end + 58} {y_mid * 0.55:.0f} '
         f'{x_end + 74} {y_mid * 0.25:.0f} S {x_end + 92} 2 {x_end + 98} -8')
    return ['  <g id="cable">',
            f'    <path d="{d}" fill="none" stroke="#000000" stroke-opacity="0.12" stroke-width="7" '
            'stroke-linecap="round" transform="translate(4,5)"/>',
            f'    <path d="{d}" fill="none" stroke="#CABLE1" stroke-width="6" stroke-linecap="round"/>',
            f'    <path d="{d}" fill="none" stroke="#CABLE0" stroke-width="3.6" stroke-linecap="round"/>',
            f'    <path d="{d}" fill="none" stroke="#CABLEHI" stroke-opacity="0.6" stroke-width="1.2" '
            'stroke-linecap="round" transform="translate(-0.6,-1.2)"/>',
            f'    <path d="M {x_end - 2} {y_mid - 6} H {x_end + 10} Q {x_end + 16} {y_mid - 4} {x_end + 16} {y_mid} '
            f'Q {x_end + 16} {y_mid + 4} {x_end + 10} {y_mid + 6} H {x_end - 2} Z" fill="url(#face)" '
            'stroke="#000000" stroke-opacity="0.5" stroke-width="0.8"/>',
            '  </g>']


def status_light(cx, cy):
    # Wireless models: a small light under a clear window, and the radio mark.
    out = ['  <g id="status-light">',
           f'    <circle cx="{cx}" cy="{cy}" r="8" fill="url(#led)"/>',
           f'    <circle cx="{cx}" cy="{cy}" r="2.6" fill="#0b2436"/>',
           f'    <circle cx="{cx}" cy="{cy}" r="1.9" fill="#bfe9ff"/>']
    for rad in (6.5, 10):
        out.append(f'    <path d="M {cx + rad * 0.62:.1f} {cy + 16 - rad * 0.78:.1f} A {rad} {rad} 0 0 1 '
                   f'{cx + rad * 0.62:.1f} {cy + 16 + rad * 0.78:.1f}" fill="none" stroke="#EMBLEM" '
                   'stroke-width="1.3" stroke-linecap="round" transform="translate(-5,0)"/>')
    out.append(f'    <circle cx="{cx - 5}" cy="{cy + 16}" r="1.4" fill="#EMBLEM"/>')
    out.append('  </g>')
    return out


def emblem(x, y):
    # The maker's small emblem, embossed in the deck; on the older pads a
    # click on it opens the maker's web site (its id marks it in the hit map).
    return [f'  <g id="web-link" fill="none" stroke-width="1.2">',
            f'    <path d="M {x} {y + 1} l 7 -9 l 7 9 l -7 9 z" stroke="#000000" stroke-opacity="0.4"/>',
            f'    <path d="M {x} {y} l 7 -9 l 7 9 l -7 9 z" stroke="#EMBLEM"/>',
            '  </g>']


def svg(w, h, parts, title, m, accent=('#f3a25a', '#c8671f')):
    text = '\n'.join(parts)
    for name in ('slot', 'skirt', 'seam', 'emblem', 'cable0', 'cable1', 'cablehi'):
        text = text.replace('#' + name.upper(), m[name])
    head = ['<?xml version="1.0" encoding="UTF-8"?>',
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{w}" height="{h}" viewBox="0 0 {w} {h}">',
            f'  <title>{title}</title>', defs(m, accent).rstrip('\n')]
    return '\n'.join(head + [text, '</svg>']) + '\n'


def write(name, text):
    with open(os.path.join(OUT, name), 'w') as f:
        f.write(text)


# Arvel, the classic: buttons 1 and 5 along the back edge, 2, 3, 4 along the front.
m = GRAPHITE
p = keyboard(720)
p += shadow(14, 12, 622, 172, 24)
p += cable(622, 70)
p += body(14, 12, 622, 170, 24, taper=3, trim='#8f959c')
p += rest(26, 160, 610, 176)
p += pad(190, 20, 314, 112, 10)
p += key('button1', 36, 20, 178, 46, 6)
p += key('button5', 330, 20, 600, 46, 6)
p += key('button2', 36, 126, 178, 156, 6)
p += key('button3', 190, 119, 314, 153, 7)
p += key('button4', 330, 126, 600, 156, 6)
p += emblem(100, 86)
write('arvel.svg', svg(720, 180, p, 'Arvel', m))

# Essom: compact, the pad between two tall keys at the back, two at the front.
m = GRAPHITE
p = keyboard(720)
p += shadow(126, 12, 394, 172, 22)
p += cable(394, 60)
p += body(126, 12, 394, 170, 22, taper=2, trim='#d0443a')
p += rest(138, 150, 382, 176)
p += pad(200, 20, 320, 106, 10)
p += key('button1', 140, 20, 194, 68, 7)
p += key('button5', 326, 20, 380, 68, 7)
p += key('button2', 140, 112, 256, 142, 7)
p += key('button4', 264, 112, 380, 142, 7)
p += emblem(160, 88)
write('essom.svg', svg(720, 180, p, 'Essom', m, accent=('#f06a5e', '#b8322a')))

# Dorrin: a column of three keys either side of the pad, three at the front.
# The side columns stay inside the captions' rectangles (they end at 182 on
# the left and start at 378 on the right).
m = GRAPHITE
p = keyboard(720)
p += shadow(180, 10, 380, 172, 18)
p += cable(380, 128)
p += body(180, 10, 380, 170, 18, taper=2)
p += rest(190, 160, 370, 176)
p += pad(222, 18, 338, 112, 10)
for ident, y0, y1 in [('button1', 18, 46), ('button2', 50, 80), ('button3', 84, 112)]:
    p += key(ident, 188, y0, 216, y1, 6)
for ident, y0, y1 in [('button9', 18, 46), ('button8', 50, 80), ('button7', 84, 112)]:
    p += key(ident, 344, y0, 372, y1, 6)
p += key('button4', 188, 120, 244, 156, 7)
p += key('button5', 250, 120, 310, 156, 7)
p += key('button6', 316, 120, 372, 156, 7)
write('dorrin.svg', svg(720, 180, p, 'Dorrin', m, accent=('#f5b95e', '#c8781f')))


def nine(name, title, m, accent, wireless=False, pad_switch=False, two_and_eight=True,
         r=24, taper=3, ring=None, trim=None):
    p = keyboard(720)
    x0, y0, x1, y1 = 12, 12, 622, 170
    p += shadow(x0, y0, x1, y1 + 2, r)
    if not wireless:
        p += cable(x1, 84)
    p += body(x0, y0, x1, y1, r, taper=taper, trim=trim)
    # The wrist rest leaves room for the thumb keys under the pad.
    p += rest(24, 154, 190, 176, 'wrist-rest-left')
    p += rest(328, 154, 610, 176, 'wrist-rest-right')
    if two_and_eight:
        p += pad(198, 38, 320, 106, 10, ring)
        p += key('button2', 198, 17, 257, 34, 5)
        p += key('button8', 261, 17, 320, 34, 5)
    else:
        p += pad(198, 20, 320, 106, 10, ring)
    p += key('button1', 34, 20, 186, 46, 6)
    p += key('button9', 334, 20, 498, 46, 6)
    p += switch('button3', True)
    p += key('button4', 34, 120, 186, 148, 6)
    p += key('button5', 198, 110, 320, 134, 6)
    p += key('button6', 198, 138, 320, 164, 6)
    p += key('button7', 334, 120, 600, 148, 6)
    if wireless:
        p += status_light(588, 40)
    else:
        p += emblem(103, 82)
    if pad_switch:
        p += switch('pad-switch', False, display=False)
    write(name, svg(720, 180, p, title, m, accent))


nine('wireless.svg', 'Cindel (wireless)', NAVY, ('#7cc8f5', '#2f86c9'), wireless=True, r=34, taper=5)
nine('brill.svg', 'Brill', GRAPHITE, ('#f3a25a', '#c8671f'), pad_switch=True, r=12, taper=1, trim='#e0833a')
nine('arvel2.svg', 'Arvel 2.0', SILVER, ('#6fb1f2', '#2f75c8'), two_and_eight=False, r=40, taper=8,
     ring='#3d86d6')

# No device: an empty place in front of the keyboard, where a pad shows as a
# dashed outline and its unplugged cable ends in a USB plug.
m = GRAPHITE
p = ['  <g id="keyboard-edge">',
     '    <rect x="0" y="40" width="720" height="8" fill="url(#keyboardShadow)"/>',
     '    <rect x="-10" y="-12" width="740" height="52" rx="8" ry="8" fill="url(#keyboard)"/>']
x = -14
for width in [44] + [37] * 4 + [186] + [37] * 10:
    p.append('    ' + rr(x + 2, 2, x + width - 2, 34, 4, 'fill="#f3f4f6" stroke="#ccd0d5" stroke-width="0.8"'))
    x += width
p += ['    <path d="M 0 39.5 H 720" stroke="#c4c8cd" stroke-width="1" fill="none"/>',
      '  </g>',
      '  <g id="silhouette" fill="#f3f4f6" stroke="#c3c7cc" stroke-width="2" stroke-dasharray="7,5">',
      '    <path d="' + slab_path(70, 62, 590, 222, 26, 4) + '"/>',
      '    ' + rr(232, 78, 368, 166, 12, 'fill="#eaecef"'),
      '    ' + rr(94, 78, 216, 104, 7),
      '    ' + rr(384, 78, 566, 104, 7),
      '    ' + rr(94, 170, 216, 194, 7),
      '    ' + rr(232, 174, 368, 194, 7),
      '    ' + rr(384, 170, 566, 194, 7),
      '    ' + rr(100, 200, 560, 214, 7),
      '  </g>',
      '  <g id="usb-plug">',
      '    <path d="M 600 142 C 640 142 648 120 650 100 S 660 76 676 76" fill="none" stroke="#c3c7cc" '
      'stroke-width="5" stroke-linecap="round"/>',
      '    ' + rr(674, 68, 694, 84, 3, 'fill="#d5d8dc" stroke="#b3b8be" stroke-width="1"'),
      '    ' + rr(694, 70.5, 712, 81.5, 1, 'fill="#eceef0" stroke="#b3b8be" stroke-width="1"'),
      '    ' + rr(700, 73.5, 704, 76, 0.5, 'fill="#b3b8be"'),
      '    ' + rr(705, 73.5, 709, 76, 0.5, 'fill="#b3b8be"'),
      '  </g>']
write('no-device.svg', svg(720, 255, p, 'No device', m))
