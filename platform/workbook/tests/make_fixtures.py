#!/usr/bin/python3
"""Writes the workbooks the workbook and import tests read, into the folder given.

openpyxl writes .xlsx (inline strings), xlwt writes .xls (BIFF8), LibreOffice (when
installed) converts some of them, giving files written by another spreadsheet program:
shared strings, its own date styles, BIFF8 .xls with formula results. Gnumeric's ssconvert
writes BIFF5 .xls (Excel 5/95), which LibreOffice no longer writes. A few .xlsx are
put together by hand for what no writer here produces (rich text, escapes, cells
without references, prefixed elements), and the damaged files are cut from good ones.
"""
import datetime
import os
import shutil
import subprocess
import sys
import zipfile

import openpyxl
import xlwt

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


HEAD = ["Name", "Mobile", "Company"]
ROWS = [
    ["Ali bin Abu", 60123456789, "Acme Sdn Bhd"],
    ["Bee Float", 60129876543.0, "O'Brien & Sons"],
    ["Chong Dashes", "012-345 6789", "100% \"Quoted\""],
    [None, None, None],                      # wholly empty: skipped
    ["Dewi Ünïcödé 李", "0123456789", None],
    ["Blank Number", None, "Has Company"],
]


def write_xlsx(name, rows, sheet="Sheet1", epoch1904=False):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = sheet
    if epoch1904:
        wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    for r in rows:
        ws.append(r)
    wb.save(path(name))


write_xlsx("contacts.xlsx", [HEAD] + ROWS)
write_xlsx("lowercase.xlsx", [HEAD] + ROWS[:1], sheet="sheet1")
write_xlsx("nosheet.xlsx", [HEAD] + ROWS[:1], sheet="Contacts")
write_xlsx("headonly.xlsx", [HEAD])
write_xlsx("twocols.xlsx", [["Name", "Mobile"], ["Ali", "0123"]])
write_xlsx("extra.xlsx", [HEAD + ["Note"], ["Ali", "0123", "Co", "x"]])

# Values of every kind, one per row: (cell, number format or None).
kinds = openpyxl.Workbook()
ks = kinds.active
ks.title = "Sheet1"
values = [
    (60123456789, None),
    (2 ** 53 + 1, None),
    (-0.0, None),
    (0.5, None),
    (datetime.date(2024, 1, 31), "yyyy-mm-dd"),
    (datetime.datetime(2024, 1, 31, 13, 45, 30), "yyyy-mm-dd hh:mm:ss"),
    (datetime.time(18, 30, 0), "hh:mm:ss"),
    (datetime.date(2100, 3, 1), "dd/mm/yyyy"),
    (True, None),
    (False, None),
    ("_x0041_ literal", None),
]
for i, (v, fmt) in enumerate(values, start=1):
    c = ks.cell(row=i, column=1, value=v)
    if fmt:
        c.number_format = fmt
kinds.save(path("kinds.xlsx"))

f = openpyxl.Workbook()
f.active.title = "Sheet1"
f.active.append(HEAD)
f.active.append(["Ali", "=1+1", "Co"])
f.active.append(["Bee", "0123", "Co"])
f.active.append(["Cat", "=A2", "Co"])
f.save(path("formula.xlsx"))

write_xlsx("date1904.xlsx", [[datetime.date(2024, 1, 31)]], epoch1904=True)
d = openpyxl.load_workbook(path("date1904.xlsx"))
d.active["A1"].number_format = "yyyy-mm-dd"
d.save(path("date1904.xlsx"))

# By hand: shared strings with rich text and phonetic runs, escapes, references left
# out, a prefixed namespace, error/boolean/string-formula/ISO-date cells.
CT = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
      '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
      '<Default Extension="xml" ContentType="application/xml"/></Types>')
RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/book.xml"/>'
        '</Relationships>')
WB = ('<?xml version="1.0" encoding="UTF-8"?><x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><x:sheets>'
      '<x:sheet name="Other" sheetId="1" r:id="rId2"/><x:sheet name="SHEET1" sheetId="2" r:id="rId1"/></x:sheets></x:workbook>')
WBRELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
          '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/sheets/data.xml"/>'
          '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="sheets/other.xml"/>'
          '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>'
          '<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>'
          '</Relationships>')
SST = ('<?xml version="1.0" encoding="UTF-8"?><x:sst xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
       '<x:si><x:t>Plain</x:t></x:si>'
       '<x:si><x:r><x:t>Ri</x:t></x:r><x:r><x:rPr><x:b/></x:rPr><x:t xml:space="preserve">ch </x:t></x:r>'
       '<x:r><x:t>text</x:t></x:r><x:rPh sb="0" eb="1"><x:t>PHONETIC</x:t></x:rPh></x:si>'
       '<x:si><x:t>line_x000D__x000A_two _x005F_x0041_</x:t></x:si></x:sst>')
SHEET = ('<?xml version="1.0" encoding="UTF-8"?><x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
         '<x:sheetData>'
         '<x:row><x:c t="s"><x:v>0</x:v></x:c><x:c t="s"><x:v>1</x:v></x:c><x:c t="s"><x:v>2</x:v></x:c></x:row>'
         '<x:row><x:c r="B2" t="e"><x:v>#DIV/0!</x:v></x:c><x:c t="b"><x:v>1</x:v></x:c></x:row>'
         '<x:row r="5"><x:c r="A5" t="str"><x:f>A1&amp;"x"</x:f><x:v>Plainx</x:v></x:c>'
         '<x:c t="d"><x:v>2024-02-29T10:11:12</x:v></x:c><x:c t="inlineStr"><x:is><x:t> padded </x:t></x:is></x:c></x:row>'
         '</x:sheetData></x:worksheet>')
OTHER = ('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
         '<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>')


def handmade(name, sheet_xml, extra=()):
    with zipfile.ZipFile(path(name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", CT)
        z.writestr("_rels/.rels", RELS)
        z.writestr("xl/book.xml", WB)
        z.writestr("xl/_rels/book.xml.rels", WBRELS)
        z.writestr("xl/strings.xml", SST)
        z.writestr("xl/sheets/data.xml", sheet_xml)
        z.writestr("xl/sheets/other.xml", OTHER)
        for n, data in extra:
            z.writestr(n, data)


handmade("handmade.xlsx", SHEET)
# A sheet part that unpacks to 40 MB of blanks: stopped at the reader's cap.
handmade("bomb.xlsx", SHEET.replace("<x:sheetData>", "<x:sheetData>" + " " * (40 << 20)))
# A small part read whole (the styles; the others have none) that unpacks to 40 MB:
# stopped at the cap of parts read whole.
handmade("bomb-styles.xlsx", SHEET, [("xl/styles.xml", " " * (40 << 20))])
# Entities declared in the sheet and nested a thousandfold ("billion laughs"): the
# reader knows no entity but the predefined ones, so the sheet is damaged, never expanded.
LAUGHS = ('<?xml version="1.0"?><!DOCTYPE x:worksheet [<!ENTITY a "aaaaaaaaaa">'
          '<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]>'
          + SHEET[SHEET.index("<x:worksheet"):].replace("<x:t> padded </x:t>", "<x:t>&c;</x:t>"))
handmade("entities.xlsx", LAUGHS)
with zipfile.ZipFile(path("notworkbook.xlsx"), "w") as z:
    z.writestr("readme.txt", "just a zip")

# .xls written by xlwt (BIFF8).
def write_xls(name, rows, sheet="Sheet1"):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet(sheet)
    date_style = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    dt_style = xlwt.easyxf(num_format_str="YYYY-MM-DD HH:MM:SS")
    time_style = xlwt.easyxf(num_format_str="HH:MM:SS")
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            if v is None:
                continue
            if isinstance(v, datetime.datetime):
                ws.write(r, c, v, dt_style)
            elif isinstance(v, datetime.date):
                ws.write(r, c, v, date_style)
            elif isinstance(v, datetime.time):
                ws.write(r, c, v, time_style)
            else:
                ws.write(r, c, v)
    wb.save(path(name))


write_xls("contacts.xls", [HEAD] + ROWS)
write_xls("nosheet.xls", [HEAD] + ROWS[:1], sheet="Contacts")
write_xls("kinds.xls", [[60123456789], [0.5], [datetime.date(2024, 1, 31)],
                        [datetime.datetime(2024, 1, 31, 13, 45, 30)], [datetime.time(18, 30, 0)],
                        [datetime.date(2100, 3, 1)], [True], [False], [2 ** 31 + 5]])
fx = xlwt.Workbook()
fs = fx.add_sheet("Sheet1")
fs.write(0, 0, "Ali")
fs.write(0, 1, xlwt.Formula('"0123"&"456"'))
fs.write(0, 2, xlwt.Formula("1+1"))
fx.save(path("formula.xls"))

# Not workbooks, or damaged ones.
open(path("empty.xls"), "wb").close()
with open(path("text.xls"), "w") as t:
    t.write("Name,Mobile,Company\nAli,0123,Acme\n")
with open(path("html.xls"), "w") as t:
    t.write("<html><body><table><tr><td>Ali</td><td>0123</td></tr></table></body></html>")
shutil.copy(path("contacts.xlsx"), path("xlsx-named.xls"))
for src, dst in (("contacts.xlsx", "truncated.xlsx"), ("contacts.xls", "truncated.xls")):
    data = open(path(src), "rb").read()
    open(path(dst), "wb").write(data[: len(data) // 2])
data = bytearray(open(path("contacts.xls"), "rb").read())
for i in range(512, len(data), 7):
    data[i] = (data[i] * 31 + 17) & 0xFF
open(path("corrupt.xls"), "wb").write(bytes(data))

# Password protection, made from good files: no writer here encrypts. A FILEPASS record
# in place of the record after the workbook's BOF marks an .xls as encrypted; an
# encrypted .xlsx is a compound file holding an "EncryptedPackage" stream.
data = bytearray(open(path("contacts.xls"), "rb").read())
bof = data.find(b"\x09\x08\x10\x00\x00\x06\x05\x00")
nxt = bof + 4 + 16
data[nxt:nxt + 2] = b"\x2f\x00"
open(path("password.xls"), "wb").write(bytes(data))
data = bytearray(open(path("contacts.xls"), "rb").read())
name = "Workbook".encode("utf-16-le") + b"\x00\x00"
at = data.find(name)
new_name = "EncryptedPackage".encode("utf-16-le") + b"\x00\x00"
data[at:at + len(new_name)] = new_name
data[at + 0x40:at + 0x42] = len(new_name).to_bytes(2, "little")
open(path("encrypted.xlsx"), "wb").write(bytes(data))

# Written by LibreOffice: BIFF8 .xls (it no longer writes BIFF5), .xlsx with shared strings; the
# formulas get their values on the way.
soffice = shutil.which("soffice") or shutil.which("libreoffice")
if soffice:
    lo = os.path.join(out, "lo")
    profile = "file://" + os.path.join(out, "lo-profile")
    jobs = [("xls:MS Excel 97", "lo97"), ("xlsx:Calc MS Excel 2007 XML", "lox")]
    for fmt, sub in jobs:
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to", fmt,
                        "--outdir", os.path.join(lo, sub), path("contacts.xlsx"), path("formula.xlsx"),
                        path("kinds.xlsx")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    for sub, ext, tag in (("lo97", "xls", "lo"), ("lox", "xlsx", "lo")):
        for base in ("contacts", "formula", "kinds"):
            shutil.move(os.path.join(lo, sub, base + "." + ext), path(base + "-" + tag + "." + ext))
    shutil.rmtree(lo, ignore_errors=True)
    shutil.rmtree(os.path.join(out, "lo-profile"), ignore_errors=True)

# Written by Gnumeric: BIFF5 .xls (Excel 5/95, one code page: "李" becomes "?"), also from
# an .xlsx whose name and number are rich text, which BIFF5 keeps in RSTRING records.
RICH = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles><style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/>
</style:style></office:automatic-styles><office:body><office:spreadsheet><table:table table:name="Sheet1">
%s</table:table></office:spreadsheet></office:body></office:document>"""


def rich_row(*cells):
    return "<table:table-row>" + "".join('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
                                         "</table:table-cell>" % c for c in cells) + "</table:table-row>"


ssconvert = shutil.which("ssconvert")
if soffice and ssconvert:
    with open(path("rich.fods"), "w") as f:
        f.write(RICH % (rich_row("Name", "Mobile", "Company") +
                        rich_row('Ri<text:span text:style-name="B">ch</text:span> Name',
                                 '01<text:span text:style-name="B">23</text:span>45', "Co")))
    subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to", "xlsx",
                    "--outdir", out, path("rich.fods")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    shutil.rmtree(os.path.join(out, "lo-profile"), ignore_errors=True)
    for src, dst in (("contacts.xlsx", "contacts-biff5.xls"), ("kinds.xlsx", "kinds-biff5.xls"),
                     ("rich.xlsx", "rich-biff5.xls")):
        subprocess.run([ssconvert, "--export-type=Gnumeric_Excel:excel_biff7", path(src), path(dst)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    # Its cell area (DIMENSIONS) told two columns short: FreeXL refuses such a sheet.
    data = bytearray(open(path("contacts-biff5.xls"), "rb").read())
    dims = data.find(b"\x00\x02\x0a\x00")
    data[dims + 10:dims + 12] = (1).to_bytes(2, "little")
    open(path("dims-biff5.xls"), "wb").write(bytes(data))

# Edges that LibreOffice and Gnumeric write: a formula whose result is an empty text
# (LibreOffice stores it as the empty-text result kind of BIFF8, Gnumeric as an empty
# STRING record), and the serials 59, 60 and 61 shown as dates (Excel counts a 29
# February 1900, serial 60). Gnumeric also writes the workbook for Excel 5 and Excel 97
# at once: a "Book" and a "Workbook" stream in one file.
edges = openpyxl.Workbook()
es = edges.active
es.title = "Sheet1"
es.append(HEAD)
es.append(["Ali", '=IF(1>2,"x","")', "Co"])
es.append(["Bee", "0123", '=IF(LEN(A3)>9,A3,"")'])
es.append([59, 60, 61, 60.25])
for c in es[4]:
    c.number_format = "yyyy-mm-dd"
es["D4"].number_format = "yyyy-mm-dd hh:mm:ss"
edges.save(path("edges.xlsx"))
if soffice:
    lo = os.path.join(out, "lo-edges")
    for fmt in ("xls:MS Excel 97", "xlsx:Calc MS Excel 2007 XML"):
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to", fmt,
                        "--outdir", lo, path("edges.xlsx")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    for ext in ("xls", "xlsx"):
        shutil.move(os.path.join(lo, "edges." + ext), path("edges-lo." + ext))
    shutil.rmtree(lo, ignore_errors=True)
    shutil.rmtree(os.path.join(out, "lo-profile"), ignore_errors=True)
if ssconvert:
    for kind, dst in (("excel_biff8", "edges-gnumeric.xls"), ("excel_dsf", "edges-dual.xls")):
        subprocess.run([ssconvert, "--export-type=Gnumeric_Excel:" + kind, path("edges.xlsx"), path(dst)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    # The same file with the two streams' directory entries in the other order (the
    # "Workbook" entry first): a reader that takes the last match then gets Excel 5's.
    data = bytearray(open(path("edges-dual.xls"), "rb").read())
    sector = 1 << int.from_bytes(data[0x1E:0x20], "little")
    base = (int.from_bytes(data[0x30:0x34], "little") + 1) * sector
    entries = {}
    for k in range(sector // 128):
        e = base + 128 * k
        size = int.from_bytes(data[e + 0x40:e + 0x42], "little")
        entries[bytes(data[e:e + max(size - 2, 0)]).decode("utf-16-le", "replace")] = e
    book, workbook = entries["Book"], entries["Workbook"]
    for lo_, hi in ((0, 0x44), (0x50, 128)):  # all but the tree links
        a, b = data[book + lo_:book + hi], data[workbook + lo_:workbook + hi]
        data[book + lo_:book + hi], data[workbook + lo_:workbook + hi] = b, a
    open(path("edges-dual-swapped.xls"), "wb").write(bytes(data))
