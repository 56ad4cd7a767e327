# Writes the workbook sample files the import tests read, with openpyxl and odfpy.
# Run from this directory with Debian's python3 (python3-openpyxl, python3-odf):
#   /usr/bin/python3 make_sheets.py
import datetime

from openpyxl import Workbook

wb = Workbook()
ws = wb.active
ws.title = "Scores"
ws.append(["score", "group", "when"])
ws.append([12.5, "control", datetime.date(2020, 1, 3)])
ws.append([14, "treated", datetime.date(2020, 1, 4)])
ws.append([None, "control", None])
ws.append(["=A2+A3", "caf\u00e9", datetime.date(2020, 1, 5)])
other = wb.create_sheet("Other")
other.append([1, 2])
other.append([3, 4])
wb.save("study.xlsx")

from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableRow, TableCell
from odf.text import P


def cell(shown=None, kind=None, **attributes):
    c = TableCell(valuetype=kind, **attributes) if kind else TableCell()
    if shown is not None:
        c.addElement(P(text=str(shown)))
    return c


doc = OpenDocumentSpreadsheet()
for name, rows in [
    ("Scores", [
        [cell("score", "string"), cell("group", "string"), cell("when", "string")],
        [cell(12.5, "float", value=12.5), cell("control", "string"), cell("2020-01-03", "date", datevalue="2020-01-03")],
        [cell(14, "float", value=14), cell("treated", "string"), cell("2020-01-04", "date", datevalue="2020-01-04")],
        [cell(), cell("control", "string"), cell()],
        [cell(26.5, "float", value=26.5, formula="of:=[.A2]+[.A3]"), cell("caf\u00e9", "string"),
         cell("2020-01-05", "date", datevalue="2020-01-05")],
    ]),
    ("Other", [[cell(1, "float", value=1), cell(2, "float", value=2)],
               [cell(3, "float", value=3), cell(4, "float", value=4)]]),
]:
    table = Table(name=name)
    for values in rows:
        row = TableRow()
        for c in values:
            row.addElement(c)
        table.addElement(row)
    doc.spreadsheet.addElement(table)
doc.save("study.ods")

# A few bytes that claim a billion cells: one row of 1000 repeated cells,
# repeated a million times. The import must refuse it, not unpack it.
bomb = OpenDocumentSpreadsheet()
table = Table(name="Bomb")
row = TableRow(numberrowsrepeated=1000000)
row.addElement(cell(1, "float", value=1, numbercolumnsrepeated=1000))
table.addElement(row)
bomb.spreadsheet.addElement(table)
bomb.save("bomb.ods")
