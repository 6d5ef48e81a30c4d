#!/usr/bin/python3
"""Prints the first sheet of an .xlsx as JSON (rows of cell values, None for empty),
as openpyxl reads it: how the tests check what our writer wrote. openpyxl 3.0 leaves
the format's "_xHHHH_" escapes in the text; they are decoded here as the format says
("_x005F_" being a literal "_")."""
import json
import re
import sys

import openpyxl

wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
ws = wb.worksheets[0]
ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def text(value):
    if not isinstance(value, str):
        return value
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), value).encode("utf-16", "surrogatepass").decode("utf-16")


rows = [[text(c) for c in row] for row in ws.iter_rows(values_only=True)]
json.dump({"sheet": ws.title, "rows": rows}, sys.stdout, ensure_ascii=False, default=str)
