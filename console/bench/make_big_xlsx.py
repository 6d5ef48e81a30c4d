#!/usr/bin/python3
"""Writes the large workbooks parlix_console_workbook_bench reads, into the folder given (kept there):

contacts-1m.xlsx  1,000,000 contacts under a heading row, as Excel saves them: names
                  and companies in the shared-string table (every name its own
                  string), numbers as numbers.
bomb-1m.xlsx      about 1 MB of zip whose sheet part unpacks to 1 GiB of blanks.
"""
import os
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
ROWS = 1000000
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
CT = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
      '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
      '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
      '<Default Extension="xml" ContentType="application/xml"/>'
      '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
      '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
      '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
      '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
      '</Types>')
RELS = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="' + R + '/officeDocument" Target="xl/workbook.xml"/></Relationships>')
WB = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><workbook ' + NS + ' xmlns:r="' + R + '">'
      '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
WBRELS = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
          '<Relationship Id="rId1" Type="' + R + '/worksheet" Target="worksheets/sheet1.xml"/>'
          '<Relationship Id="rId2" Type="' + R + '/sharedStrings" Target="sharedStrings.xml"/>'
          '<Relationship Id="rId3" Type="' + R + '/styles" Target="styles.xml"/></Relationships>')
STYLES = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><styleSheet ' + NS + '>'
          '<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs></styleSheet>')
COMPANIES = 50


def common(z):
    z.writestr("[Content_Types].xml", CT)
    z.writestr("_rels/.rels", RELS)
    z.writestr("xl/workbook.xml", WB)
    z.writestr("xl/_rels/workbook.xml.rels", WBRELS)
    z.writestr("xl/styles.xml", STYLES)


def chunks(head, body, tail, size=1 << 20):
    buf = [head]
    n = len(head)
    for piece in body:
        buf.append(piece)
        n += len(piece)
        if n >= size:
            yield "".join(buf).encode()
            buf, n = [], 0
    buf.append(tail)
    yield "".join(buf).encode()


path = os.path.join(out, "contacts-1m.xlsx")
if not os.path.exists(path):
    with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        common(z)
        # Strings: 0-2 the headings, 3..52 the companies, then one name per contact.
        strings = ["Name", "Mobile", "Company"] + ["Company %d Sdn Bhd" % c for c in range(COMPANIES)]
        names = ("<si><t>Contact %d bin Abdullah</t></si>" % i for i in range(ROWS))
        with z.open("xl/sharedStrings.xml", "w", force_zip64=True) as f:
            head = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><sst ' + NS +
                    ' count="%d" uniqueCount="%d">' % (2 * ROWS + 3, ROWS + len(strings)) +
                    "".join("<si><t>%s</t></si>" % s for s in strings))
            for c in chunks(head, names, "</sst>"):
                f.write(c)
        base = len(strings)

        def rows():
            for i in range(ROWS):
                r = i + 2
                yield ('<row r="%d" spans="1:3"><c r="A%d" t="s"><v>%d</v></c><c r="B%d"><v>%d</v></c>'
                       '<c r="C%d" t="s"><v>%d</v></c></row>' % (r, r, base + i, r, 60120000000 + i, r, 3 + i % COMPANIES))
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
            head = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><worksheet ' + NS + '><sheetData>'
                    '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c></row>')
            for c in chunks(head, rows(), "</sheetData></worksheet>"):
                f.write(c)
    os.rename(path + ".tmp", path)

path = os.path.join(out, "bomb-1m.xlsx")
if not os.path.exists(path):
    with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        common(z)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
            f.write(('<?xml version="1.0" encoding="UTF-8"?><worksheet ' + NS + '><sheetData>').encode())
            blanks = b" " * (1 << 20)
            for _ in range(1024):
                f.write(blanks)
            f.write(b"</sheetData></worksheet>")
    os.rename(path + ".tmp", path)
