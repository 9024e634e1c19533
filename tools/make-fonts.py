#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the fonts shipped beside the built-in one from the built-in font
# file and the letters drawn below: fonts/cyrillic.vlf and fonts/greek.vlf.
#
#   build/bin/varlo-cli font --export /tmp/built-in.vlf
#   tools/make-fonts.py /tmp/built-in.vlf fonts/
#
# Codes 0 to 127 (ASCII, the icons and the pictures) and every code not
# named below keep the built-in glyphs. A letter whose shape the built-in
# font already has (Cyrillic А, Greek Α) takes that glyph in both faces; the
# others are drawn here in the normal face's 5 x 7 style, capitals on rows
# 0 to 6 and small letters on rows 2 to 6, and made bold as the bold face is
# heavier: a lit dot also lights the dot to its right where no gap closes.
import sys

# Drawings: 7 rows of 5 columns, '#' lit. Small letters without ascender or
# descender give 5 rows, set on rows 2 to 6.
D = {}
def draw(names, *rows):
    for name in names.split():
        D[name] = list(rows)

draw('Б', '#####', '#....', '#....', '####.', '#...#', '#...#', '####.')
draw('Г Γ', '#####', '#....', '#....', '#....', '#....', '#....', '#....')
draw('Д', '.###.', '.#.#.', '.#.#.', '.#.#.', '.#.#.', '#####', '#...#')
draw('Ж', '#.#.#', '#.#.#', '.###.', '..#..', '.###.', '#.#.#', '#.#.#')
draw('З', '.###.', '#...#', '....#', '..##.', '....#', '#...#', '.###.')
draw('И', '#...#', '#...#', '#..##', '#.#.#', '##..#', '#...#', '#...#')
draw('Й', '#...#', '.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#')
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
draw('Δ', '..#..', '..#..', '.#.#.', '.#.#.', '#...#', '#...#', '#####')
draw('Θ', '.###.', '#...#', '#...#', '#####', '#...#', '#...#', '.###.')
draw('Λ', '..#..', '..#..', '.#.#.', '.#.#.', '#...#', '#...#', '#...#')
draw('Ξ', '#####', '.....', '.....', '.###.', '.....', '.....', '#####')
draw('Σ', '#####', '#....', '.#...', '..#..', '.#...', '#....', '#####')
draw('Ψ', '#.#.#', '#.#.#', '#.#.#', '.###.', '..#..', '..#..', '..#..')
draw('Ω', '.###.', '#...#', '#...#', '#...#', '.#.#.', '.#.#.', '##.##')
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
draw('ν', '#...#', '#...#', '#...#', '.#.#.', '..#..')
draw('ξ', '#####', '.#...', '..##.', '.#...', '#....', '.###.', '....#')
draw('π', '#####', '.#.#.', '.#.#.', '.#.#.', '.#..#')
draw('ρ', '.###.', '#...#', '####.', '#....', '#....')
draw('σ', '.####', '#..#.', '#...#', '#...#', '.###.')
draw('ς', '.###.', '#....', '.##..', '...#.', '.##..')
draw('τ', '#####', '..#..', '..#..', '..#..', '...#.')
draw('υ', '#...#', '#...#', '#...#', '#...#', '.###.')
draw('φ', '..#..', '.###.', '#.#.#', '.###.', '..#..')
draw('χ', '#...#', '.#.#.', '..#..', '.#.#.', '#...#')
draw('ψ', '#.#.#', '#.#.#', '.###.', '..#..', '..#..')
draw('ω', '.#.#.', '#...#', '#.#.#', '#.#.#', '.#.#.')

# Letters drawn as a built-in code already draws them (both faces).
SAME = {
    'А': 65, 'В': 66, 'Е': 69, 'К': 75, 'М': 77, 'Н': 72, 'О': 79, 'Р': 80, 'С': 67, 'Т': 84, 'Х': 88,
    'а': 97, 'е': 101, 'о': 111, 'р': 112, 'с': 99, 'у': 121, 'х': 120, 'Ё': 211, 'ё': 137,
    'Α': 65, 'Β': 66, 'Ε': 69, 'Ζ': 90, 'Η': 72, 'Ι': 73, 'Κ': 75, 'Μ': 77, 'Ν': 78, 'Ο': 79,
    'Ρ': 80, 'Τ': 84, 'Υ': 89, 'Χ': 88, 'ο': 111, 'μ': 230,
}

def letters(first, last):
    return [chr(c) for c in range(ord(first), ord(last) + 1)]

# Where the letters go: the code pages that DOS used for these alphabets.
LAYOUTS = {
    'cyrillic': ('Cyrillic letters in the places of code page 866', list(zip(range(128, 160), letters('А', 'Я')))
                 + list(zip(range(160, 176), letters('а', 'п'))) + list(zip(range(224, 240), letters('р', 'я')))
                 + [(240, 'Ё'), (241, 'ё')]),
    'greek': ('Greek letters in the places of code page 737',
              list(zip(range(128, 145), letters('Α', 'Ρ'))) + list(zip(range(145, 152), letters('Σ', 'Ω')))
              + list(zip(range(152, 169), letters('α', 'ρ'))) + [(169, 'σ'), (170, 'ς')]
              + list(zip(range(171, 175), letters('τ', 'χ'))) + [(175, 'ψ'), (224, 'ω')]),
}


def read_font(path):
    """The file's lines, and where each glyph's header is: (face, code) -> index."""
    lines = open(path, encoding='utf-8').read().split('\n')
    where, face = {}, None
    for i, line in enumerate(lines):
        if line.startswith('face '):
            face = line[5:]
        elif line.startswith('['):
            where[(face, int(line[1:4]))] = i
    return lines, where


def rows_of(lines, at):
    return lines[at + 1:at + 8]


def embolden(rows):
    out = []
    for row in rows:
        bits = [c == '#' for c in row] + [False] * (8 - len(row))
        # A dot also lights its right neighbour, unless that would close a
        # one-dot gap (Ш, Ж and Ю would turn into blocks).
        out.append(''.join('#' if bits[x] or (x > 0 and bits[x - 1] and not (x < 7 and bits[x + 1])) else '.'
                           for x in range(8)))
    return out


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: make-fonts.py BUILT-IN.vlf OUTPUT-FOLDER')
    source, folder = sys.argv[1:]
    for name, (title, layout) in LAYOUTS.items():
        lines, where = read_font(source)
        for code, letter in layout:
            for face in ('normal', 'bold'):
                at = where[(face, code)]
                lines[at] = '[%03d] %s' % (code, letter)
                if letter in SAME:
                    rows = rows_of(lines, where[(face, SAME[letter])])
                else:
                    drawn = D[letter]
                    drawn = ['.....'] * 2 + drawn if len(drawn) == 5 else drawn
                    rows = [r + '...' for r in drawn] if face == 'normal' else embolden(drawn)
                lines[at + 1:at + 8] = rows
        header = ['// SPDX-License-Identifier: GPL-3.0-or-later',
                  '// Varlo font: ASCII, the icons and the pictures of the built-in font,',
                  '// %s.' % title,
                  '// Made by tools/make-fonts.py; edit that, or this file in the Character Generator.']
        with open('%s/%s.vlf' % (folder, name), 'w', encoding='utf-8') as out:
            out.write('\n'.join(header + lines))


main()
