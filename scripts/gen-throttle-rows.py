#!/usr/bin/env python3
"""Writes the 32 ESC rows of the throttle tab into configurator/tqcan.ui.

Each row N (1..32) belongs to node N + 15 and holds 13 widgets whose object
names end in "_N"; the page finds a row's widgets by that suffix, so every
row widget must be a direct child of scrollAreaWidgetContents, in row order
and, within a row, in the order below. The rows are written between the two
marker comments of the form; everything else in the file is left alone.

    scripts/gen-throttle-rows.py            # rewrite the block in place
    scripts/gen-throttle-rows.py --check    # exit 1 when the block is stale
"""

import argparse
import pathlib
import sys

ROWS = 32
FIRST_NODE = 16

BEGIN = "<!-- BEGIN GENERATED ESC ROWS"
END = "<!-- END GENERATED ESC ROWS -->"

# Column widths; the header labels above the scroll area use the same ones.
W_ID = 56
W_SETPOINT = 72
W_BAR = 156
W_VALUE = 64
W_POLES = 64
W_CHECK = 40

# (object name prefix, kind, width); the row number is appended to the prefix.
COLUMNS = [
    ("lEdit_id_y1_", "id", W_ID),
    ("spinBox_y_", "setpoint", W_SETPOINT),
    ("frame_progress_", "bar", W_BAR),
    ("lEdit_zs_y1_", "value", W_VALUE),
    ("lEdit_dl_y1_", "value", W_VALUE),
    ("lEdit_ym_y1_", "value", W_VALUE),
    ("lEdit_dy_y1_", "value", W_VALUE),
    ("lEdit_tmos_y1_", "value", W_VALUE),
    ("lEdit_tcap_y1_", "value", W_VALUE),
    ("lEdit_tmot_y1_", "value", W_VALUE),
    ("lEdit_sta_y1_", "value", W_VALUE),
    ("spinBox_jdz_y1_", "poles", W_POLES),
    ("checkBox_y1_", "check", W_CHECK),
]


def fixed_width(width, height=None):
    h_min = height if height is not None else 0
    h_max = height if height is not None else 16777215
    return [
        '<property name="minimumSize">',
        f' <size><width>{width}</width><height>{h_min}</height></size>',
        '</property>',
        '<property name="maximumSize">',
        f' <size><width>{width}</width><height>{h_max}</height></size>',
        '</property>',
    ]


def widget(kind, name, width, row):
    if kind in ("id", "value"):
        text = f"0x{row + FIRST_NODE - 1:x}" if kind == "id" else "0"
        body = fixed_width(width) + [
            '<property name="text"><string notr="true">' + text + '</string></property>',
            '<property name="alignment"><set>Qt::AlignCenter</set></property>',
            '<property name="readOnly"><bool>true</bool></property>',
        ]
        cls = "QLineEdit"
    elif kind in ("setpoint", "poles"):
        maximum = 2048 if kind == "setpoint" else 100
        body = fixed_width(width) + [
            f'<property name="maximum"><number>{maximum}</number></property>',
        ]
        cls = "QSpinBox"
    elif kind == "bar":
        body = fixed_width(width, 22) + [
            '<property name="frameShape"><enum>QFrame::StyledPanel</enum></property>',
            '<property name="frameShadow"><enum>QFrame::Sunken</enum></property>',
        ]
        cls = "QFrame"
    elif kind == "check":
        body = fixed_width(width) + [
            '<property name="text"><string notr="true">c</string></property>',
        ]
        cls = "QCheckBox"
    else:
        raise ValueError(kind)
    lines = ["<item>", f' <widget class="{cls}" name="{name}">']
    lines += ["  " + b for b in body]
    lines += [" </widget>", "</item>"]
    return lines


def row_block(row):
    lines = [f'<item row="{row - 1}" column="0">',
             f' <layout class="QHBoxLayout" name="escRow{row}Layout">',
             '  <property name="spacing"><number>4</number></property>']
    for prefix, kind, width in COLUMNS:
        lines += ["  " + l for l in widget(kind, f"{prefix}{row}", width, row)]
    lines += [
        '  <item>',
        f'   <spacer name="escRow{row}Spacer">',
        '    <property name="orientation"><enum>Qt::Horizontal</enum></property>',
        '    <property name="sizeHint" stdset="0"><size><width>10</width><height>10</height></size></property>',
        '   </spacer>',
        '  </item>',
        ' </layout>',
        '</item>',
    ]
    return lines


def generate(indent):
    out = []
    for row in range(1, ROWS + 1):
        out += [indent + l for l in row_block(row)]
    return out


def rewrite(text):
    lines = text.split("\n")
    begin = next((i for i, l in enumerate(lines) if l.strip().startswith(BEGIN)), None)
    end = next((i for i, l in enumerate(lines) if l.strip() == END), None)
    if begin is None or end is None or end < begin:
        raise SystemExit("gen-throttle-rows: markers not found in the form")
    indent = lines[begin][: len(lines[begin]) - len(lines[begin].lstrip())]
    return "\n".join(lines[: begin + 1] + generate(indent) + lines[end:])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="only check that the form holds the current rows")
    parser.add_argument("--form", default=None, help="path of tqcan.ui")
    args = parser.parse_args()

    form = pathlib.Path(args.form) if args.form else \
        pathlib.Path(__file__).resolve().parent.parent / "configurator" / "tqcan.ui"
    old = form.read_text(encoding="utf-8")
    new = rewrite(old)
    if args.check:
        if new != old:
            print(f"{form}: the ESC rows are stale; run {sys.argv[0]}", file=sys.stderr)
            return 1
        return 0
    if new != old:
        form.write_text(new, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
