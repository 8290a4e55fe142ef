#!/usr/bin/python3
"""Reads a workbook back for the sheet tests and prints what it holds as JSON.

.xls goes through xlrd (a real reader of Excel 97-2003 files); .xlsx through the
zip container and its XML parts, so the check does not depend on xlrd's version.
Output: {"rows", "cols", "cells": {"R,C": [type, value]}, "merges": [[r1, r2, c1, c2]],
"columns": {"C": {"width", "hidden"}}, "rowHeights": {"R": points}, "footer", "printTitles",
"frozenRows", "columnRecords": [[c1, c2]], "dimensions": [r1, r2, c1, c2]} with rows and columns
counted from 0, merge and dimension ends exclusive (as xlrd gives them); frozenRows is the number
of rows held at the top (0 when the panes are not frozen). columnRecords are the column ranges of
the width records as written (COLINFO, <col>), inclusive, which readers silently let overlap.
"""
import json
import re
import sys
import zipfile
import xml.etree.ElementTree as ET


def xls_records(path):
    """What xlrd does not give as written: the FOOTER, the COLINFO ranges and the
    DIMENSIONS of the (one) worksheet. The workbook stream is taken from the compound
    file by xlrd's own reader and its records are walked."""
    import struct
    from xlrd import compdoc
    with open(path, "rb") as f:
        stream = compdoc.CompDoc(f.read()).get_named_stream("Workbook")
    found = {"footer": None, "columnRecords": [], "dimensions": None}
    pos = 0
    while pos + 4 <= len(stream):
        rtype, size = struct.unpack_from("<HH", stream, pos)
        data = stream[pos + 4:pos + 4 + size]
        pos += 4 + size
        if rtype == 0x0015 and size >= 3:
            cch, flags = struct.unpack_from("<HB", data, 0)
            raw = data[3:3 + (cch * 2 if flags & 1 else cch)]
            found["footer"] = raw.decode("utf-16-le" if flags & 1 else "latin-1")
        elif rtype == 0x007D:
            found["columnRecords"].append(list(struct.unpack_from("<HH", data, 0)))
        elif rtype == 0x0200:
            r1, r2, c1, c2 = struct.unpack_from("<IIHH", data, 0)
            found["dimensions"] = [r1, r2, c1, c2]
    return found


def read_xls_last_row(path):
    """Row count and the last row's values only: for very large workbooks."""
    import xlrd
    sheet = xlrd.open_workbook(path, on_demand=True).sheet_by_index(0)
    r = sheet.nrows - 1
    cells = {}
    for c in range(sheet.ncols):
        cell = sheet.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_NUMBER:
            cells["%d,%d" % (r, c)] = ["number", cell.value]
        elif cell.ctype == xlrd.XL_CELL_TEXT:
            cells["%d,%d" % (r, c)] = ["text", cell.value]
    return {"rows": sheet.nrows, "cols": sheet.ncols, "cells": cells}


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_BLANK: "blank",
             xlrd.XL_CELL_EMPTY: "empty"}
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER):
                cells["%d,%d" % (r, c)] = [kinds[cell.ctype], cell.value]
    columns = {str(c): {"width": info.width, "hidden": bool(info.hidden)} for c, info in sheet.colinfo_map.items()}
    heights = {str(r): info.height / 20.0 for r, info in sheet.rowinfo_map.items()}
    titles = [n.result.text for n in book.name_obj_list if n.name == "Print_Titles" and n.result is not None]
    bold = {}
    for key in cells:
        r, c = map(int, key.split(","))
        xf = book.xf_list[sheet.cell_xf_index(r, c)]
        bold[key] = bool(book.font_list[xf.font_index].bold)
    data = {"rows": sheet.nrows, "cols": sheet.ncols, "cells": cells, "merges": [list(m) for m in sheet.merged_cells],
            "columns": columns, "rowHeights": heights, "printTitles": titles[0] if titles else None, "bold": bold,
            "frozenRows": sheet.horz_split_pos if sheet.panes_are_frozen else 0}
    data.update(xls_records(path))
    return data


NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}


def cell_ref(ref):
    m = re.match(r"([A-Z]+)(\d+)$", ref)
    col = 0
    for ch in m.group(1):
        col = col * 26 + ord(ch) - 64
    return int(m.group(2)) - 1, col - 1


def read_xlsx(path):
    with zipfile.ZipFile(path) as z:
        strings = []
        if "xl/sharedStrings.xml" in z.namelist():
            for si in ET.fromstring(z.read("xl/sharedStrings.xml")).findall("m:si", NS):
                strings.append("".join(t.text or "" for t in si.iter("{%s}t" % NS["m"])))
        root = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
    cells, rows, cols, heights = {}, 0, 0, {}
    for row in root.iter("{%s}row" % NS["m"]):
        r = int(row.get("r")) - 1
        if row.get("ht"):
            heights[str(r)] = float(row.get("ht"))
        for c in row.findall("m:c", NS):
            rr, cc = cell_ref(c.get("r"))
            rows, cols = max(rows, rr + 1), max(cols, cc + 1)
            if c.get("t") == "inlineStr":
                cells["%d,%d" % (rr, cc)] = ["text", "".join(t.text or "" for t in c.iter("{%s}t" % NS["m"]))]
                continue
            v = c.find("m:v", NS)
            if v is None:
                continue
            if c.get("t") == "s":
                cells["%d,%d" % (rr, cc)] = ["text", strings[int(v.text)]]
            elif c.get("t") in (None, "n"):
                cells["%d,%d" % (rr, cc)] = ["number", float(v.text)]
    merges = []
    for m in root.iter("{%s}mergeCell" % NS["m"]):
        a, b = m.get("ref").split(":")
        (r1, c1), (r2, c2) = cell_ref(a), cell_ref(b)
        merges.append([r1, r2 + 1, c1, c2 + 1])
    columns, column_records = {}, []
    for col in root.iter("{%s}col" % NS["m"]):
        column_records.append([int(col.get("min")) - 1, int(col.get("max")) - 1])
        for c in range(int(col.get("min")) - 1, int(col.get("max"))):
            columns[str(c)] = {"width": float(col.get("width", "0")), "hidden": col.get("hidden") == "1"}
    first, _, last = root.find("m:dimension", NS).get("ref").partition(":")
    (r1, c1), (r2, c2) = cell_ref(first), cell_ref(last or first)
    footer = root.find("m:headerFooter/m:oddFooter", NS)
    pane = root.find("m:sheetViews/m:sheetView/m:pane", NS)
    frozen = int(float(pane.get("ySplit", "0"))) if pane is not None and pane.get("state") == "frozen" else 0
    return {"rows": rows, "cols": cols, "cells": cells, "merges": merges, "columns": columns,
            "rowHeights": heights, "footer": footer.text if footer is not None else None, "printTitles": None,
            "frozenRows": frozen, "columnRecords": column_records, "dimensions": [r1, r2 + 1, c1, c2 + 1]}


def main():
    path = sys.argv[1]
    if "--last-row" in sys.argv[2:]:
        data = read_xls_last_row(path)
    else:
        data = read_xlsx(path) if path.lower().endswith(".xlsx") else read_xls(path)
    json.dump(data, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
