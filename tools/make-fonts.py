#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the fonts shipped beside the built-in one from the built-in font
# file and the glyphs drawn below: fonts/cyrillic.vlf and fonts/greek.vlf.
#
#   build/bin/varlo-cli font builtin --export /tmp/built-in.vlf
#   tools/make-fonts.py /tmp/built-in.vlf fonts/
#
# tools/font-pictures.sh then draws their font sheets and proofs in docs/;
# read the proofs letter by letter after any change here.
#
# Codes 0 to 127 (ASCII, the icons and the pictures) keep the built-in
# glyphs. Codes 128 to 255 hold what the DOS code page of the alphabet has
# there (866 for Cyrillic, 737 for Greek), every one of them drawn:
# - a letter whose shape the built-in font already has (Cyrillic А, Greek Α,
#   ± or °) takes that glyph, in both faces, from the built-in font as it
#   was exported (never from a place this script has already filled);
# - the other letters and signs are drawn here in the normal face's 5 x 7
#   style, capitals on rows 0 to 6 and small letters on rows 2 to 6, with
#   an accent on rows 0 and 1 over a 5-row letter. Where a capital and its
#   small letter would then look alike (Й й, Ў ў, Ό ό) the capital keeps a
#   6-row letter under a 1-row mark, as the built-in Ó does;
# - the box-drawing, block and shade places are drawn as what they are, the
#   same in both faces, lines meeting the cell's edges so that they join
#   across cells. The normal face's rule of 5 columns is not theirs: the
#   reader warns of wide glyphs only for other characters.
# Bold glyphs are made from the normal ones by doubling the outer strokes,
# as the built-in bold face is drawn; where that fails (three stems in five
# columns, diagonals) the bold glyph is drawn by hand below.
import codecs
import sys

# Drawings of the normal face: 7 rows of 5 columns, '#' lit. Small letters
# without ascender or descender give 5 rows, set on rows 2 to 6.
D = {}
# Bold drawings by hand, up to 7 columns, where doubling the outer strokes
# merges or notches them.
B = {}


def draw(names, *rows):
    for name in names.split():
        D[name] = list(rows)


def bold(names, *rows):
    for name in names.split():
        B[name] = list(rows)


# Cyrillic capitals.
draw('Б', '#####', '#....', '#....', '####.', '#...#', '#...#', '####.')
draw('Г Γ', '#####', '#....', '#....', '#....', '#....', '#....', '#....')
draw('Д', '.###.', '.#.#.', '.#.#.', '.#.#.', '.#.#.', '#####', '#...#')
draw('Ж', '#.#.#', '#.#.#', '.###.', '..#..', '.###.', '#.#.#', '#.#.#')
draw('З', '.###.', '#...#', '....#', '..##.', '....#', '#...#', '.###.')
draw('И', '#...#', '#...#', '#..##', '#.#.#', '##..#', '#...#', '#...#')
draw('Л', '..###', '.#..#', '.#..#', '.#..#', '.#..#', '.#..#', '#...#')
draw('П Π', '#####', '#...#', '#...#', '#...#', '#...#', '#...#', '#...#')
draw('У', '#...#', '#...#', '#...#', '.####', '....#', '#...#', '.###.')
draw('Ф Φ', '..#..', '.###.', '#.#.#', '#.#.#', '.###.', '..#..', '..#..')
draw('Ц', '#..#.', '#..#.', '#..#.', '#..#.', '#..#.', '#####', '....#')
draw('Ч', '#...#', '#...#', '#...#', '.####', '....#', '....#', '....#')
draw('Ш', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#####')
draw('Щ', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#####', '....#')
draw('Ъ', '##...', '.#...', '.#...', '.###.', '.#..#', '.#..#', '.###.')
draw('Ы', '#...#', '#...#', '#...#', '###.#', '#.#.#', '#.#.#', '###.#')
draw('Ь', '#....', '#....', '#....', '####.', '#...#', '#...#', '####.')
draw('Э', '.###.', '#...#', '....#', '..###', '....#', '#...#', '.###.')
draw('Ю', '#..#.', '#.#.#', '#.#.#', '###.#', '#.#.#', '#.#.#', '#..#.')
draw('Я', '.####', '#...#', '#...#', '.####', '..#.#', '.#..#', '#...#')
draw('Є', '.###.', '#...#', '#....', '####.', '#....', '#...#', '.###.')
# Й and Ў: a 6-row letter under a 1-row breve, so that they differ from й
# and ў, whose breve takes two rows over a small letter.
draw('Й', '.###.', '#...#', '#...#', '#..##', '#.#.#', '##..#', '#...#')
draw('Ў', '.###.', '#...#', '#...#', '.####', '....#', '#...#', '.###.')

# Cyrillic small letters.
draw('б', '.###.', '#....', '####.', '#...#', '#...#', '#...#', '.###.')
draw('в', '####.', '#...#', '####.', '#...#', '####.')
draw('г', '#####', '#....', '#....', '#....', '#....')
draw('д', '..##.', '.#.#.', '.#.#.', '#####', '#...#')
draw('ж', '#.#.#', '.###.', '..#..', '.###.', '#.#.#')
draw('з', '.###.', '#...#', '..##.', '#...#', '.###.')
draw('и', '#...#', '#..##', '#.#.#', '##..#', '#...#')
draw('й', '#...#', '.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#')
draw('к κ', '#..#.', '#.#..', '##...', '#.#..', '#..#.')
draw('л', '..###', '.#..#', '.#..#', '.#..#', '#...#')
draw('м', '#...#', '##.##', '#.#.#', '#...#', '#...#')
draw('н', '#...#', '#...#', '#####', '#...#', '#...#')
draw('п', '#####', '#...#', '#...#', '#...#', '#...#')
draw('т', '#####', '..#..', '..#..', '..#..', '..#..')
draw('ф', '..#..', '..#..', '.###.', '#.#.#', '#.#.#', '.###.', '..#..')
draw('ц', '#..#.', '#..#.', '#..#.', '#####', '....#')
draw('ч', '#...#', '#...#', '.####', '....#', '....#')
draw('ш', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#####')
draw('щ', '#.#.#', '#.#.#', '#.#.#', '#####', '....#')
draw('ъ', '##...', '.#...', '.###.', '.#..#', '.###.')
draw('ы', '#...#', '#...#', '###.#', '#.#.#', '###.#')
draw('ь', '#....', '#....', '####.', '#...#', '####.')
draw('э', '.###.', '#...#', '..###', '#...#', '.###.')
draw('ю', '#..#.', '#.#.#', '###.#', '#.#.#', '#..#.')
draw('я', '.####', '#...#', '.####', '.#..#', '#...#')
draw('є', '.###.', '#....', '###..', '#....', '.###.')
draw('ў', '#...#', '.###.', '#...#', '#...#', '.####', '....#', '.###.')

# Greek capitals.
draw('Δ', '..#..', '..#..', '.#.#.', '.#.#.', '#...#', '#...#', '#####')
draw('Θ', '.###.', '#...#', '#...#', '#####', '#...#', '#...#', '.###.')
draw('Λ', '..#..', '..#..', '.#.#.', '.#.#.', '#...#', '#...#', '#...#')
draw('Ξ', '#####', '.....', '.....', '.###.', '.....', '.....', '#####')
draw('Σ', '#####', '#....', '.#...', '..#..', '.#...', '#....', '#####')
draw('Ψ', '#.#.#', '#.#.#', '#.#.#', '.###.', '..#..', '..#..', '..#..')
draw('Ω', '.###.', '#...#', '#...#', '#...#', '.#.#.', '.#.#.', '##.##')
# With tonos: the mark stands at the top left, over a 5-row capital that
# keeps clear of it; Ό keeps a full-height O under a 1-dot mark so that it
# differs from ό.
draw('Ά', '.#...', '#....', '..#..', '.#.#.', '#...#', '#####', '#...#')
draw('Έ', '.#...', '#....', '.####', '.#...', '.###.', '.#...', '.####')
draw('Ή', '.#...', '#....', '.#..#', '.#..#', '.####', '.#..#', '.#..#')
draw('Ί', '.#...', '#....', '..###', '...#.', '...#.', '...#.', '..###')
draw('Ό', '#.##.', '.#..#', '.#..#', '.#..#', '.#..#', '.#..#', '..##.')
draw('Ύ', '.#...', '#....', '..#.#', '..#.#', '...#.', '...#.', '...#.')
draw('Ώ', '.#...', '#....', '.###.', '#...#', '#...#', '.#.#.', '##.##')
draw('Ϊ', '.#.#.', '.....', '.###.', '..#..', '..#..', '..#..', '.###.')
draw('Ϋ', '.#.#.', '.....', '#...#', '#...#', '.#.#.', '..#..', '..#..')

# Greek small letters.
draw('α', '.##.#', '#..#.', '#..#.', '#..#.', '.##.#')
draw('β', '.##..', '#..#.', '###..', '#..#.', '#..#.', '###..', '#....')
draw('γ', '#...#', '.#.#.', '..#..', '..#..', '..#..')
draw('δ', '.###.', '#....', '.##..', '#..#.', '#...#', '#...#', '.###.')
draw('ε', '.###.', '#....', '.##..', '#....', '.###.')
draw('ζ', '#####', '...#.', '..#..', '.#...', '#....', '.###.', '....#')
draw('η', '#.##.', '##..#', '#...#', '#...#', '....#')
draw('θ', '.##..', '#..#.', '#..#.', '####.', '#..#.', '#..#.', '.##..')
draw('ι', '##...', '.#...', '.#...', '.#...', '..##.')
draw('λ', '#....', '.#...', '.#...', '..#..', '.#.#.', '#...#', '#...#')
draw('ξ', '#####', '.#...', '..##.', '.#...', '#....', '.###.', '....#')
draw('π', '#####', '.#.#.', '.#.#.', '.#.#.', '.#..#')
draw('ρ', '.###.', '#...#', '####.', '#....', '#....')
draw('σ', '.####', '#..#.', '#...#', '#...#', '.###.')
draw('ς', '.###.', '#....', '.##..', '...#.', '.##..')
draw('τ', '#####', '..#..', '..#..', '..#..', '...#.')
draw('υ', '#...#', '#...#', '#...#', '#...#', '.###.')
draw('φ', '..#..', '.###.', '#.#.#', '.###.', '..#..')
draw('ψ', '#.#.#', '#.#.#', '.###.', '..#..', '..#..')
draw('ω', '.#.#.', '#...#', '#.#.#', '#.#.#', '.#.#.')

# Signs of the two code pages that the built-in font lacks.
draw('·', '.....', '.....', '.....', '..#..', '.....', '.....', '.....')
draw('∙', '.....', '.....', '.###.', '.###.', '.###.', '.....', '.....')
draw('√', '..###', '..#..', '..#..', '..#..', '#.#..', '.##..', '..#..')
# № in 5 columns: a raised o over a short N.
draw('№', '...#.', '..#.#', '...#.', '#..#.', '##.#.', '#.##.', '#..#.')
draw('≥', '#....', '.##..', '...##', '.##..', '#....', '.....', '#####')
draw('≤', '....#', '..##.', '##...', '..##.', '....#', '.....', '#####')
draw('≈', '.....', '.#..#', '#.##.', '.....', '.#..#', '#.##.', '.....')
draw('ⁿ', '###..', '#..#.', '#..#.', '#..#.', '.....', '.....', '.....')
draw('■', '.....', '#####', '#####', '#####', '#####', '#####', '.....')

# Accents over the small letters, rows 0 and 1.
TONOS = ['...#.', '..#..']
DIALYTIKA = ['.#.#.', '.....']
for accented, mark, letter in [('ά', TONOS, 'α'), ('έ', TONOS, 'ε'), ('ή', TONOS, 'η'), ('ί', ['..#..', '.#...'], 'ι'),
                               ('ό', TONOS, 'o'), ('ύ', TONOS, 'υ'), ('ώ', TONOS, 'ω'), ('ϊ', ['#.#..', '.....'], 'ι'),
                               ('ϋ', DIALYTIKA, 'υ')]:
    # ο is the Latin o, which the built-in font draws.
    D[accented] = mark + (['.###.', '#...#', '#...#', '#...#', '.###.'] if letter == 'o' else D[letter])

# Bold by hand: outer stems two dots, inner ones one, as the built-in bold
# draws M and W.
bold('Ж', '##.#.##', '##.#.##', '.#####.', '...#...', '.#####.', '##.#.##', '##.#.##')
bold('ж', '##.#.##', '.#####.', '...#...', '.#####.', '##.#.##')
bold('Ш', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '#######')
bold('ш', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '#######')
bold('Щ', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '##.#.##', '#######', '.....##')
bold('щ', '##.#.##', '##.#.##', '##.#.##', '#######', '.....##')
bold('Ю', '##..##.', '##.#..#', '##.#..#', '####..#', '##.#..#', '##.#..#', '##..##.')
bold('ю', '##..##.', '##.#..#', '####..#', '##.#..#', '##..##.')
bold('Ы', '##...##', '##...##', '##...##', '####.##', '##.#.##', '##.#.##', '####.##')
bold('ы', '##...##', '##...##', '####.##', '##.#.##', '####.##')
bold('Ф Φ', '...#...', '.#####.', '##.#.##', '##.#.##', '.#####.', '...#...', '...#...')
bold('ф', '...#...', '...#...', '.#####.', '##.#.##', '##.#.##', '.#####.', '...#...')
bold('φ', '...#...', '.#####.', '##.#.##', '.#####.', '...#...')
bold('И', '##...##', '##...##', '##..###', '##.#.##', '###..##', '##...##', '##...##')
bold('и', '##...##', '##..###', '##.#.##', '###..##', '##...##')
bold('Й', '..###..', '##...##', '##...##', '##..###', '##.#.##', '###..##', '##...##')
bold('й', '##...##', '.#####.', '##...##', '##..###', '##.#.##', '###..##', '##...##')
bold('м', '##...##', '###.###', '##.#.##', '##...##', '##...##')
bold('к κ', '##..##', '##.##.', '####..', '##.##.', '##..##')
bold('Ψ', '##.#.##', '##.#.##', '##.#.##', '.#####.', '...#...', '...#...', '...#...')
bold('ψ', '##.#.##', '##.#.##', '.#####.', '...#...', '...#...')
bold('ω', '.##.##.', '##...##', '##.#.##', '##.#.##', '.##.##.')
bold('Д', '..####.', '..##.##', '..##.##', '..##.##', '..##.##', '#######', '##...##')
bold('д', '...###.', '..##.##', '..##.##', '#######', '##...##')
bold('Л', '...####', '..##.##', '..##.##', '..##.##', '..##.##', '..##.##', '###..##')
bold('л', '...####', '..##.##', '..##.##', '..##.##', '###..##')
bold('Ц', '##..##.', '##..##.', '##..##.', '##..##.', '##..##.', '#######', '.....##')
bold('ц', '##..##.', '##..##.', '##..##.', '#######', '.....##')
bold('Ъ', '###....', '.##....', '.##....', '.#####.', '.##..##', '.##..##', '.#####.')
bold('ъ', '###....', '.##....', '.#####.', '.##..##', '.#####.')
bold('Я', '.######', '##...##', '##...##', '.######', '..##.##', '.##..##', '##...##')
bold('я', '.######', '##...##', '.######', '.##..##', '##...##')
bold('т', '######.', '..##...', '..##...', '..##...', '..##...')
bold('τ', '######.', '..##...', '..##...', '..##...', '...##..')
bold('Λ', '...#...', '..###..', '.##.##.', '.##.##.', '##...##', '##...##', '##...##')
bold('Δ', '...#...', '..###..', '.##.##.', '.##.##.', '##...##', '##...##', '#######')
bold('γ', '##...##', '.##.##.', '..###..', '..##...', '..##...')
bold('α', '.###.##', '##..##.', '##..##.', '##..##.', '.###.##')
bold('ά', '....##.', '...##..', '.###.##', '##..##.', '##..##.', '##..##.', '.###.##')
bold('№', '....#..', '...#.#.', '....#..', '##..##.', '###.##.', '##.###.', '##..##.')
bold('ώ', '....##.', '...##..', '.##.##.', '##...##', '##.#.##', '##.#.##', '.##.##.')

# Letters drawn as a built-in character already draws them (both faces).
SAME = {
    'А': 'A', 'В': 'B', 'Е': 'E', 'К': 'K', 'М': 'M', 'Н': 'H', 'О': 'O', 'Р': 'P', 'С': 'C', 'Т': 'T', 'Х': 'X',
    'а': 'a', 'е': 'e', 'о': 'o', 'р': 'p', 'с': 'c', 'у': 'y', 'х': 'x', 'Ё': 'Ë', 'ё': 'ë', 'Ї': 'Ï', 'ї': 'ï',
    'І': 'I', 'і': 'i',
    'Α': 'A', 'Β': 'B', 'Ε': 'E', 'Ζ': 'Z', 'Η': 'H', 'Ι': 'I', 'Κ': 'K', 'Μ': 'M', 'Ν': 'N', 'Ο': 'O',
    'Ρ': 'P', 'Τ': 'T', 'Υ': 'Y', 'Χ': 'X', 'μ': 'µ', 'ο': 'o', 'ν': 'v', 'χ': 'x',
}

# Box drawing: the arms of each character, up, right, down and left, 0 for
# none, 1 for a single line and 2 for a double one.
BOX = {
    '│': '1010', '┤': '1011', '╡': '1012', '╢': '2021', '╖': '0021', '╕': '0012', '╣': '2022', '║': '2020',
    '╗': '0022', '╝': '2002', '╜': '2001', '╛': '1002', '┐': '0011', '└': '1100', '┴': '1101', '┬': '0111',
    '├': '1110', '─': '0101', '┼': '1111', '╞': '1210', '╟': '2120', '╚': '2200', '╔': '0220', '╩': '2202',
    '╦': '0222', '╠': '2220', '═': '0202', '╬': '2222', '╧': '1202', '╨': '2101', '╤': '0212', '╥': '0121',
    '╙': '2100', '╘': '1200', '╒': '0210', '╓': '0120', '╫': '2121', '╪': '1212', '┘': '1001', '┌': '0110',
}
WIDTH, HEIGHT = 8, 7
# A single line on the middle column or row, a double one a dot either side.
MIDDLE_X, MIDDLE_Y = 3, 3
STROKES = {1: [0], 2: [-1, 1]}


def box(arms):
    """The glyph of a box-drawing character, its lines to the cell's edges."""
    up, right, down, left = (int(a) for a in arms)
    lit = set()
    for edge, weight in (('up', up), ('right', right), ('down', down), ('left', left)):
        for offset in STROKES.get(weight, []):
            lit |= arm_dots(edge, weight, offset, up, right, down, left)
    return [''.join('#' if (x, y) in lit else '.' for x in range(WIDTH)) for y in range(HEIGHT)]


def arm_dots(edge, weight, offset, up, right, down, left):
    """The dots of one stroke of an arm: `offset` is -1, 0 or 1 from the
    middle line, towards the left or the top for -1."""
    # Turn everything so that the arm comes down from the top edge: then
    # `before` is the arm on the stroke's side (left for offset -1), `after`
    # the one on the other side, `opposite` the arm at the bottom.
    turn = {'up': (up, left, right, down), 'down': (down, right, left, up),
            'left': (left, down, up, right), 'right': (right, up, down, left)}
    _, side_neg, side_pos, opposite = turn[edge]
    stroke_side = side_neg if offset < 0 else side_pos if offset > 0 else 0
    other_side = side_pos if offset < 0 else side_neg if offset > 0 else 0
    # How far down the stroke runs, as an offset from the middle row.
    if weight == 1:
        if opposite or not (side_neg or side_pos):
            end = 0
        else:
            across = max(side_neg, side_pos)
            both = side_neg and side_pos
            # A line straight across: stop at its near stroke; a line that
            # turns away to one side only: reach its far stroke.
            end = min(STROKES[across]) if both else max(STROKES[across])
    else:
        if stroke_side:
            end = min(STROKES[stroke_side])
        elif opposite:
            end = 0
        else:
            across = other_side
            end = max(STROKES[across]) if across else 0
    # In the arm's own frame: column `offset` from the middle, rows from the
    # edge down to `end` from the middle. Back to the cell's frame:
    dots = set()
    if edge in ('up', 'down'):
        x = MIDDLE_X + offset * (1 if edge == 'up' else -1)
        rows = range(0, MIDDLE_Y + end + 1) if edge == 'up' else range(MIDDLE_Y - end, HEIGHT)
        dots = {(x, y) for y in rows}
    else:
        y = MIDDLE_Y + offset * (-1 if edge == 'left' else 1)
        cols = range(0, MIDDLE_X + end + 1) if edge == 'left' else range(MIDDLE_X - end, WIDTH)
        dots = {(x, y) for x in cols}
    return dots


def blocks():
    """Shades as dot patterns, blocks filling their part of the 8 x 8 cell
    (row 7 is the panel's dark row, so the lower half is rows 4 to 6)."""
    cell = [(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    parts = {
        '░': lambda x, y: x % 2 == 0 and y % 2 == 0,
        '▒': lambda x, y: (x + y) % 2 == 0,
        '▓': lambda x, y: not (x % 2 == 1 and y % 2 == 1),
        '█': lambda x, y: True,
        '▄': lambda x, y: y >= 4,
        '▀': lambda x, y: y < 4,
        '▌': lambda x, y: x < 4,
        '▐': lambda x, y: x >= 4,
    }
    return {ch: [''.join('#' if part(x, y) else '.' for x in range(WIDTH)) for y in range(HEIGHT)]
            for ch, part in parts.items()}


BLOCKS = blocks()


def layout(code_page):
    return [(code, bytes([code]).decode(code_page)) for code in range(128, 256)]


# The code pages that DOS used for these alphabets.
FONTS = {
    'cyrillic': ('Cyrillic letters in the places of code page 866', layout('cp866')),
    'greek': ('Greek letters in the places of code page 737', layout('cp737')),
}


def read_font(path):
    """The file's lines, where each glyph's header is ((face, code) -> line),
    and the code of each label in the normal face."""
    lines = open(path, encoding='utf-8').read().split('\n')
    where, codes, face = {}, {}, None
    for i, line in enumerate(lines):
        if line.startswith('face '):
            face = line[5:]
        elif line.startswith('['):
            code, label = int(line[1:4]), line[6:]
            where[(face, code)] = i
            if label.startswith('U+'):
                label = chr(int(label[2:], 16))
            if face == 'normal' and len(label) == 1:
                codes[label] = code
    return lines, where, codes


def padded(rows):
    rows = ['.....'] * (7 - len(rows)) + rows
    return [(r + '........')[:8] for r in rows]


def embolden(rows):
    """The bold face's way: a 5-column letter gets its outer columns
    doubled (7 columns, like the built-in M and W); a narrower sign has each
    dot also light its right neighbour unless that would close a one-dot
    gap."""
    lit = [x for x in range(8) if any(r[x] == '#' for r in rows)]
    if lit and lit[0] == 0 and lit[-1] == 4:
        return [(r[0] + r[:4] + r[4] + r[4] + '.')[:8] for r in rows]
    out = []
    for row in rows:
        bits = [c == '#' for c in row] + [False]
        out.append(''.join('#' if bits[x] or (x > 0 and bits[x - 1] and not bits[x + 1]) else '.'
                           for x in range(8)))
    return out


def glyphs_of(ch, source, where, codes):
    """The normal and the bold glyph of the character, or an error."""
    if ch in BOX:
        rows = box(BOX[ch])
        return rows, rows
    if ch in BLOCKS:
        return BLOCKS[ch], BLOCKS[ch]
    if ch in D:
        normal = padded(D[ch])
        return normal, padded(B[ch]) if ch in B else embolden(normal)
    built_in = SAME.get(ch, ch)
    if built_in in codes:
        code = codes[built_in]
        normal = source[where[('normal', code)] + 1:where[('normal', code)] + 8]
        heavy = source[where[('bold', code)] + 1:where[('bold', code)] + 8]
        # The built-in bold face leaves ¹ ² ³ empty: a sign drawn in the
        # normal face only is made bold here.
        if all(r == '........' for r in heavy) and any('#' in r for r in normal):
            heavy = embolden(normal)
        return normal, heavy
    sys.exit('make-fonts.py: nothing draws %s (U+%04X)' % (ch, ord(ch)))


def written(ch):
    return 'U+%04X' % ord(ch) if ch.isspace() else ch


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: make-fonts.py BUILT-IN.vlf OUTPUT-FOLDER')
    source_path, folder = sys.argv[1:]
    source, where, codes = read_font(source_path)
    for name, (title, places) in FONTS.items():
        lines = list(source)
        for code, ch in places:
            normal, heavy = glyphs_of(ch, source, where, codes)
            for face, rows in (('normal', normal), ('bold', heavy)):
                at = where[(face, code)]
                lines[at] = '[%03d] %s' % (code, written(ch))
                lines[at + 1:at + 8] = rows
        header = ['// SPDX-License-Identifier: GPL-3.0-or-later',
                  '// Varlo font: ASCII, the icons and the pictures of the built-in font,',
                  '// %s.' % title,
                  '// Made by tools/make-fonts.py; edit that, or this file in the Character Generator.']
        with open('%s/%s.vlf' % (folder, name), 'w', encoding='utf-8') as out:
            out.write('\n'.join(header + lines))


main()
