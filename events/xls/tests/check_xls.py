#!/usr/bin/python3
"""Independent check of a written .xls file with xlrd.

check_xls.py workbook FILE EXPECTED.json
    EXPECTED.json: {"sheet": NAME, "rows": [[text, ...], ...]} with the title row first.
    The file must hold exactly one sheet of that name whose cells are these texts.
check_xls.py compound FILE SIZE
    The compound file must hold a "Workbook" stream of SIZE bytes, byte i being
    (i * 131 + (i >> 11)) & 0xFF.
Both check that xlrd reports no problem in the compound file structure and that every
sector of the file belongs to exactly one structure. A workbook's stream is also checked
against the record rules of the format that xlrd does not enforce: record sizes, strings
split across CONTINUE records, the EXTSST index, the INDEX, DBCELL, ROW and DIMENSIONS
records. Exit code 0 when all is well;
otherwise the differences are printed.
"""

import io
import json
import struct
import sys

import xlrd
from xlrd import compdoc

MAX_REPORTS = 20


def check_compound(data, problems):
    log = io.StringIO()
    try:
        doc = compdoc.CompDoc(data, logfile=log, DEBUG=1)
        stream = doc.get_named_stream("Workbook")
    except compdoc.CompDocError as error:
        problems.append("compound file: %s" % error)
        return None
    text = log.getvalue()
    for line in text.splitlines():
        if "WARNING" in line or "===>>>" in line:
            problems.append("compound file: xlrd reports: " + line.strip())
    if stream is None:
        problems.append("compound file: no Workbook stream")
        return None
    unused = [i for i, seen in enumerate(doc.seen) if not seen]
    if unused:
        problems.append("compound file: sectors belonging to nothing: %r" % unused[:20])
    return stream


MAX_RECORD_DATA = 8224
BOF, EOF, BOUNDSHEET, SST, CONTINUE, EXTSST = 0x0809, 0x000A, 0x0085, 0x00FC, 0x003C, 0x00FF
INDEX, DEFCOLWIDTH, DIMENSIONS, ROW, LABELSST, DBCELL = 0x020B, 0x0055, 0x0200, 0x0208, 0x00FD, 0x00D7


def parse_records(stream, start):
    """Records from `start` up to and including the next EOF: (position, id, data)."""
    records = []
    pos = start
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        records.append((pos, rid, stream[pos + 4:pos + 4 + size]))
        pos += 4 + size
        if rid == EOF:
            return records
    raise ValueError("no EOF record after position %d" % start)


def check_sst(records, problems):
    """Walks the SST and its CONTINUE records string by string; returns cstTotal, cstUnique."""
    i = next(k for k, r in enumerate(records) if r[1] == SST)
    chunks = [records[i]]
    k = i + 1
    while records[k][1] == CONTINUE:
        chunks.append(records[k])
        k += 1
    if records[k][1] != EXTSST:
        problems.append("SST: not followed by EXTSST")
    total, unique = struct.unpack_from("<II", chunks[0][2], 0)
    starts = []  # (stream position, offset from the record header) of every string
    c, o = 0, 8
    for n in range(unique):
        if o == len(chunks[c][2]) and c + 1 < len(chunks):
            c, o = c + 1, 0
        data = chunks[c][2]
        if o + 3 > len(data):
            problems.append("SST string %d: header split across records" % n)
            return total, unique
        cch, flags = struct.unpack_from("<HB", data, o)
        if flags & ~0x01:
            problems.append("SST string %d: unexpected option flags 0x%02X" % (n, flags))
        starts.append((chunks[c][0] + 4 + o, o + 4))
        o += 3
        wide = flags & 1
        if cch > 0 and o + (2 if wide else 1) > len(data):
            problems.append("SST string %d: header not followed by its first character" % n)
            return total, unique
        left = cch
        while left > 0:
            data = chunks[c][2]
            size = 2 if wide else 1
            fit = min(left, (len(data) - o) // size)
            o += fit * size
            left -= fit
            if left == 0:
                break
            if o != len(data):
                problems.append("SST string %d: 16-bit character split across records" % n)
                return total, unique
            if c + 1 >= len(chunks):
                problems.append("SST string %d: runs past the last CONTINUE record" % n)
                return total, unique
            c, o = c + 1, 0
            wide = chunks[c][2][0]
            if wide not in (0, 1):
                problems.append("SST string %d: CONTINUE option byte 0x%02X" % (n, wide))
                return total, unique
            o = 1
    if c != len(chunks) - 1 or o != len(chunks[c][2]):
        problems.append("SST: data left after the last string")

    extsst = records[k][2]
    dsst = struct.unpack_from("<H", extsst, 0)[0]
    if dsst != max(unique // 128 + 1, 8):
        problems.append("EXTSST: %d strings per bucket for %d strings" % (dsst, unique))
    buckets = (unique + dsst - 1) // dsst
    if len(extsst) != 2 + 8 * buckets:
        problems.append("EXTSST: %d bytes for %d buckets" % (len(extsst), buckets))
        return total, unique
    for b in range(buckets):
        ib, cb = struct.unpack_from("<IH", extsst, 2 + 8 * b)
        if (ib, cb) != starts[b * dsst]:
            problems.append("EXTSST bucket %d: (%d, %d), string starts at %r"
                            % (b, ib, cb, starts[b * dsst]))
            break
    return total, unique


def check_sheet(stream, sheet_pos, unique, problems):
    records = parse_records(stream, sheet_pos)
    pos_of = {r[0]: r for r in records}
    if records[0][1] != BOF or struct.unpack_from("<H", records[0][2], 2)[0] != 0x0010:
        problems.append("sheet: does not start with a worksheet BOF")
    index = next((r for r in records if r[1] == INDEX), None)
    dims = next((r for r in records if r[1] == DIMENSIONS), None)
    if index is None or dims is None:
        problems.append("sheet: INDEX or DIMENSIONS missing")
        return 0
    cells = 0
    rows_seen = {}  # row -> (colMic, colMac) from its ROW record
    cell_cols = {}  # row -> columns of its cells
    block_rows = []  # ROW records of the current block
    block_first_cells = []  # position of the first cell of each row of the block
    dbcells = []
    for pos, rid, data in records:
        if rid == ROW:
            row, col_mic, col_mac = struct.unpack_from("<HHH", data, 0)
            rows_seen[row] = (col_mic, col_mac)
            block_rows.append((pos, row))
        elif rid == LABELSST:
            row, col, _, isst = struct.unpack_from("<HHHI", data, 0)
            cells += 1
            if isst >= unique:
                problems.append("cell (%d, %d): string %d of %d" % (row, col, isst, unique))
            if row not in cell_cols:
                block_first_cells.append(pos)
            cell_cols.setdefault(row, []).append(col)
        elif rid == DBCELL:
            dbcells.append(pos)
            rt = struct.unpack_from("<I", data, 0)[0]
            offsets = struct.unpack_from("<%dH" % ((len(data) - 4) // 2), data, 4)
            if not block_rows or pos - rt != block_rows[0][0]:
                problems.append("DBCELL at %d: does not point to its first ROW record" % pos)
            elif len({r // 32 for _, r in block_rows}) != 1:
                problems.append("DBCELL at %d: block spans more than 32 rows" % pos)
            else:
                expected = []
                previous = block_rows[0][0] + 20
                for first in block_first_cells:
                    expected.append(first - previous)
                    previous = first
                if list(offsets) != expected or len(block_first_cells) != len(block_rows):
                    problems.append("DBCELL at %d: offsets %r, cells at %r"
                                    % (pos, offsets[:4], expected[:4]))
            block_rows, block_first_cells = [], []
    if block_rows:
        problems.append("sheet: ROW records after the last DBCELL")
    for row, cols in cell_cols.items():
        if cols != list(range(len(cols))) or rows_seen.get(row) != (0, len(cols)):
            problems.append("row %d: ROW record %r for cells %r" % (row, rows_seen.get(row), cols[:5]))
            break
    rw_mic, rw_mac, col_mic, col_mac = struct.unpack_from("<IIHH", dims[2], 0)
    used = sorted(cell_cols)
    want = (used[0], used[-1] + 1, 0, max(len(c) for c in cell_cols.values())) if used else (0, 0, 0, 0)
    if (rw_mic, rw_mac, col_mic, col_mac) != want:
        problems.append("DIMENSIONS %r, cells need %r" % ((rw_mic, rw_mac, col_mic, col_mac), want))
    _, i_mic, i_mac, ib_xf = struct.unpack_from("<IIII", index[2], 0)
    positions = list(struct.unpack_from("<%dI" % ((len(index[2]) - 16) // 4), index[2], 16))
    if (i_mic, i_mac) != want[:2]:
        problems.append("INDEX rows %r, cells need %r" % ((i_mic, i_mac), want[:2]))
    if pos_of.get(ib_xf, (0, 0))[1] != DEFCOLWIDTH:
        problems.append("INDEX: does not point to DEFCOLWIDTH")
    if positions != dbcells:
        problems.append("INDEX: DBCELL positions differ")
    return cells


def check_biff(stream, problems):
    globals_ = parse_records(stream, 0)
    for pos, rid, data in globals_:
        if len(data) > MAX_RECORD_DATA:
            problems.append("record 0x%04X at %d: %d bytes" % (rid, pos, len(data)))
    if globals_[0][1] != BOF or struct.unpack_from("<HH", globals_[0][2], 0) != (0x0600, 0x0005):
        problems.append("stream does not start with a BIFF8 workbook BOF")
    sheets = [r for r in globals_ if r[1] == BOUNDSHEET]
    if len(sheets) != 1:
        problems.append("%d BOUNDSHEET records" % len(sheets))
        return
    total, unique = check_sst(globals_, problems)
    sheet_pos = struct.unpack_from("<I", sheets[0][2], 0)[0]
    cells = check_sheet(stream, sheet_pos, unique, problems)
    if cells != total:
        problems.append("SST counts %d cell references, the sheet has %d cells" % (total, cells))


def check_workbook(path, expected_path, problems):
    with open(path, "rb") as f:
        data = f.read()
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    stream = check_compound(data, problems)
    if stream is not None:
        try:
            check_biff(stream, problems)
        except (ValueError, struct.error, IndexError, StopIteration) as error:
            problems.append("records cannot be walked: %r" % error)
    log = io.StringIO()
    try:
        book = xlrd.open_workbook(file_contents=data, logfile=log, ragged_rows=True)
    except Exception as error:  # xlrd raises several types for a broken file
        problems.append("xlrd cannot open the file: %r" % error)
        return
    if "WARNING" in log.getvalue():
        problems.append("xlrd warns:\n" + log.getvalue()[-2000:])
    if book.sheet_names() != [expected["sheet"]]:
        problems.append("sheets: expected %r, actual %r" % ([expected["sheet"]], book.sheet_names()))
        return
    sheet = book.sheet_by_index(0)
    rows = expected["rows"]
    if sheet.nrows != len(rows):
        problems.append("rows: expected %d, actual %d" % (len(rows), sheet.nrows))
    reports = 0
    for r in range(min(sheet.nrows, len(rows))):
        actual_row = sheet.row(r)
        if len(actual_row) != len(rows[r]):
            problems.append("row %d: expected %d cells, actual %d" % (r, len(rows[r]), len(actual_row)))
            reports += 1
        for c in range(min(len(actual_row), len(rows[r]))):
            cell = actual_row[c]
            if cell.ctype != xlrd.XL_CELL_TEXT or cell.value != rows[r][c]:
                problems.append("cell (%d, %d): expected text %r, actual type %d value %r"
                                % (r, c, rows[r][c][:80], cell.ctype, str(cell.value)[:80]))
                reports += 1
        if reports >= MAX_REPORTS:
            problems.append("... further differences not shown")
            return


def expected_byte(i):
    return (i * 131 + (i >> 11)) & 0xFF


def check_stream(path, size, problems):
    with open(path, "rb") as f:
        data = f.read()
    stream = check_compound(data, problems)
    if stream is None:
        return
    if len(stream) != size:
        problems.append("stream size: expected %d, actual %d" % (size, len(stream)))
        return
    pattern = bytes(expected_byte(i) for i in range(size))
    if stream != pattern:
        first = next(i for i in range(size) if stream[i] != pattern[i])
        problems.append("stream differs first at byte %d" % first)


def main():
    problems = []
    if len(sys.argv) == 4 and sys.argv[1] == "workbook":
        check_workbook(sys.argv[2], sys.argv[3], problems)
    elif len(sys.argv) == 4 and sys.argv[1] == "compound":
        check_stream(sys.argv[2], int(sys.argv[3]), problems)
    else:
        print(__doc__)
        return 2
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
