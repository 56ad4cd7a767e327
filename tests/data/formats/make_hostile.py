# Writes the hostile workbooks the import tests read (hostile/): a few hundred
# bytes to a few hundred kilobytes each, every one built to make a careless
# reader take gigabytes, recurse without end, spin, or read a date that does
# not exist. Python's own zipfile only; run from this directory:
#   python3 make_hostile.py
import os
import zipfile

os.makedirs("hostile", exist_ok=True)

ODS_MIME = "application/vnd.oasis.opendocument.spreadsheet"
ODS_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>'
            '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
            '<office:body><office:spreadsheet><table:table table:name="Sheet1">')
ODS_TAIL = '</table:table></office:spreadsheet></office:body></office:document-content>'


def write_ods(name, rows):
    """rows: the XML between the table's start and end tags (a str, or an iterable of str pieces)."""
    pieces = [rows] if isinstance(rows, str) else rows
    content = (ODS_HEAD + "".join(pieces) + ODS_TAIL).encode()
    with zipfile.ZipFile(os.path.join("hostile", name), "w") as z:
        # The stored type first and uncompressed, as OpenDocument wants it.
        z.writestr(zipfile.ZipInfo("mimetype"), ODS_MIME, compress_type=zipfile.ZIP_STORED)
        z.writestr("content.xml", content, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def number_cell(value):
    return f'<table:table-cell office:value-type="float" office:value="{value}"><text:p>{value}</text:p></table:table-cell>'


def text_cell(text, extra=""):
    return f'<table:table-cell office:value-type="string"{extra}><text:p>{text}</text:p></table:table-cell>'


# One cell whose single space element claims 2^31 - 1 spaces (8 GB once unpacked into memory).
write_ods("spaces.ods", '<table:table-row><table:table-cell office:value-type="string"><text:p>a'
          '<text:s text:c="2147483647"/></text:p></table:table-cell></table:table-row>')
# Five of them, in five rows.
write_ods("spaces5.ods", "".join('<table:table-row><table:table-cell office:value-type="string"><text:p>a'
                                 '<text:s text:c="2147483647"/></text:p></table:table-cell></table:table-row>'
                                 for _ in range(5)))
# A 100 KB text repeated across 16,384 columns (1.6 GB as copies).
write_ods("repeated_columns.ods", '<table:table-row>'
          + text_cell("x" * 100000, ' table:number-columns-repeated="16384"') + '</table:table-row>')
# A 100 KB text in a row repeated 100,000 times (10 GB as copies).
write_ods("repeated_rows.ods", '<table:table-row table:number-rows-repeated="100000">'
          + text_cell("x" * 100000) + '</table:table-row>')
# A repeat count of 2^64 + 5 after one cell: a count that saturates or wraps passes an overflow check
# (1 + (2^64 - 1) is 0) and never ends the copy loop.
write_ods("columns_overflow.ods", '<table:table-row>' + number_cell(1)
          + '<table:table-cell table:number-columns-repeated="18446744073709551621" office:value-type="float" '
            'office:value="1"><text:p>1</text:p></table:table-cell></table:table-row>')
# 100,000 row groups, one inside the other, around one row: a reader that recurses on the nesting overflows its stack.
write_ods("nested_groups.ods", ["<table:table-row-group>" * 100000,
                                "<table:table-row>" + number_cell(7) + "</table:table-row>",
                                "</table:table-row-group>" * 100000])


def date_rows(values):
    return "".join('<table:table-row><table:table-cell office:value-type="date" '
                   f'office:date-value="{value}"><text:p>{value}</text:p></table:table-cell></table:table-row>'
                   for value in values)


# Dates at the edges of the calendar, each with its serial number beside it (days since 1899-12-30).
write_ods("dates.ods", "".join('<table:table-row><table:table-cell office:value-type="date" '
                               f'office:date-value="{value}"><text:p>{value}</text:p></table:table-cell>'
                               + number_cell(serial) + '</table:table-row>'
                               for value, serial in [("1899-12-30", 0), ("1900-03-01", 61), ("2000-02-29", 36585),
                                                     ("2020-01-03T12:00:00", 43833.5), ("0001-01-01", -693593),
                                                     ("9999-12-31", 2958465)]))
# Dates that do not exist, each under one that does: a year past any int with the 25th hour, an eleven-digit
# year, the 29th of February of a common year, the 31st of April, the 13th month, the 61st minute.
for n, value in enumerate(["-2147483648-12-31T25:61:99", "99999999999-01-01", "2021-02-29", "2020-04-31",
                           "2020-13-01", "2020-01-03T12:61:00"]):
    write_ods(f"bad_date{n + 1}.ods", date_rows(["2020-01-03", value]))

XLSX_TYPES = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
              'content-types"><Default Extension="xml" ContentType="application/xml"/></Types>')
XLSX_WORKBOOK = ('<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/'
                 'spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/'
                 'relationships"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
XLSX_RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/'
             '2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/'
             '2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>')
SHEET_HEAD = ('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/'
              'spreadsheetml/2006/main"><sheetData>')
SHEET_TAIL = '</sheetData></worksheet>'
SST_HEAD = '<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'


def write_xlsx(name, sheet, shared=None):
    with zipfile.ZipFile(os.path.join("hostile", name), "w", compression=zipfile.ZIP_DEFLATED,
                         compresslevel=9) as z:
        z.writestr("[Content_Types].xml", XLSX_TYPES)
        z.writestr("xl/workbook.xml", XLSX_WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", XLSX_RELS)
        z.writestr("xl/worksheets/sheet1.xml", SHEET_HEAD + sheet + SHEET_TAIL)
        if shared is not None:
            z.writestr("xl/sharedStrings.xml", SST_HEAD + shared + "</sst>")


# One 1 MB shared string shown by 20,000 cells (20 GB as copies).
write_xlsx("shared_string.xlsx",
           "".join(f'<row r="{r}"><c r="A{r}" t="s"><v>0</v></c></row>' for r in range(1, 20001)),
           "<si><t>" + "y" * 1000000 + "</t></si>")
# One shared string of 100,000 runs nested one in another, each with a text: a
# query that walks every text's ancestors takes minutes.
write_xlsx("nested_runs.xlsx", '<row r="1"><c r="A1" t="s"><v>0</v></c></row>',
           "<si>" + "<r><t>a</t>" * 100000 + "</r>" * 100000 + "</si>")
# 50 MB of empty cell elements in one row: a document tree of it takes most of a gigabyte.
write_xlsx("empty_elements.xlsx", '<row r="1"><c r="A1"><v>1</v></c>' + "<c/>" * 12500000 + "</row>")
