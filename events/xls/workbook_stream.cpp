#include "events/xls/workbook_stream.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "events/xls/sst_writer.h"
#include "events/xls/utf16.h"

namespace ixan {
namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kDefColWidth = 0x0055;
constexpr std::uint16_t kColInfo = 0x007D;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kRow = 0x0208;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kDbCell = 0x00D7;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kInterfaceHdr = 0x00E1;
constexpr std::uint16_t kMms = 0x00C1;
constexpr std::uint16_t kInterfaceEnd = 0x00E2;
constexpr std::uint16_t kWriteAccess = 0x005C;
constexpr std::uint16_t kDsf = 0x0161;
constexpr std::uint16_t kRrTabId = 0x013D;
constexpr std::uint16_t kWinProtect = 0x0019;
constexpr std::uint16_t kProtect = 0x0012;
constexpr std::uint16_t kPassword = 0x0013;
constexpr std::uint16_t kProt4Rev = 0x01AF;
constexpr std::uint16_t kProt4RevPass = 0x01BC;
constexpr std::uint16_t kBackup = 0x0040;
constexpr std::uint16_t kHideObj = 0x008D;
constexpr std::uint16_t kDate1904 = 0x0022;
constexpr std::uint16_t kCalcPrecision = 0x000E;
constexpr std::uint16_t kRefreshAll = 0x01B7;
constexpr std::uint16_t kBookBool = 0x00DA;
constexpr std::uint16_t kUsesElfs = 0x0160;
constexpr std::uint16_t kCountry = 0x008C;
constexpr std::uint16_t kDefaultRowHeight = 0x0225;
constexpr std::uint16_t kWsBool = 0x0081;

constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kCodePageUtf16 = 1200;
constexpr std::uint16_t kStyleXfCount = 15;
constexpr std::uint16_t kCellXf = 15;  // the first cell XF, right after the style XFs
constexpr std::size_t kRowsPerBlock = 32;
constexpr std::size_t kRowRecordSize = 20;
constexpr std::uint16_t kColumnWidth = 20 * 256;  // in 1/256 of a character
constexpr std::size_t kMaxSheetNameChars = 31;
constexpr std::size_t kMaxStreamSize = 0x7FFFFFFF;

const std::vector<std::string>& rowTexts(const XlsSheet& sheet, std::size_t sheetRow) {
    return sheetRow == 0 ? sheet.columns : sheet.rows[sheetRow - 1];
}

// The distinct texts in order of first use, and for every cell (row by row) the index
// of its text.
struct StringTable {
    std::unordered_map<std::string_view, std::uint32_t> index;
    std::vector<std::string_view> texts;
    std::vector<std::uint32_t> cellText;
    std::size_t cellsCut = 0;
    std::vector<bool> cut;

    void addCell(std::string_view text) {
        const auto [it, inserted] =
            index.try_emplace(text, static_cast<std::uint32_t>(texts.size()));
        if (inserted) {
            texts.push_back(text);
            // A text has at least as many bytes as UTF-16 units, so only long ones count.
            cut.push_back(text.size() > kXlsMaxCellChars && utf16Length(text) > kXlsMaxCellChars);
        }
        if (cut[it->second]) {
            ++cellsCut;
        }
        cellText.push_back(it->second);
    }
};

// What the INDEX and DIMENSIONS records need to know before the cells are written.
struct SheetExtent {
    std::size_t firstRow = 0;
    std::size_t endRow = 0;  // one past the last row with cells; 0 when there is none
    std::size_t endColumn = 0;
    std::size_t blocks = 0;  // row blocks with at least one cell
};

std::string validateSheetName(const std::string& name, std::u16string& units) {
    utf8ToUtf16(name, name.size(), units);
    if (units.empty()) {
        return "the sheet name is empty";
    }
    if (units.size() > kMaxSheetNameChars) {
        return "the sheet name '" + name + "' is longer than 31 characters";
    }
    if (units.find_first_of(u":\\/?*[]") != std::u16string::npos) {
        return "the sheet name '" + name + "' holds one of the characters : \\ / ? * [ ]";
    }
    if (units.find_first_of(std::u16string_view(u"\0\3", 2)) != std::u16string::npos) {
        return "the sheet name '" + name + "' holds a control character";
    }
    if (units.front() == u'\'' || units.back() == u'\'') {
        return "the sheet name '" + name + "' begins or ends with an apostrophe";
    }
    return {};
}

void writeBof(Bytes& out, std::uint16_t type) {
    const std::size_t start = beginRecord(out, kBof);
    put16(out, 0x0600);  // BIFF8
    put16(out, type);
    put16(out, 0x0DBB);  // build
    put16(out, 0x07CC);  // year
    put32(out, 0);
    put32(out, 0x06);  // lowest BIFF version
    endRecord(out, start);
}

void writeEof(Bytes& out) {
    endRecord(out, beginRecord(out, kEof));
}

void writeRecord16(Bytes& out, std::uint16_t id, std::uint16_t value) {
    const std::size_t start = beginRecord(out, id);
    put16(out, value);
    endRecord(out, start);
}

void writeWriteAccess(Bytes& out) {
    static constexpr std::string_view kUser = "IXAN";
    const std::size_t start = beginRecord(out, kWriteAccess);
    put16(out, static_cast<std::uint16_t>(kUser.size()));
    put8(out, 0);
    out.insert(out.end(), kUser.begin(), kUser.end());
    out.resize(start + 4 + 112, ' ');  // the record always holds 112 bytes
    endRecord(out, start);
}

void writeFont(Bytes& out) {
    const std::size_t start = beginRecord(out, kFont);
    put16(out, 200);     // 10 pt in twips
    put16(out, 0);       // no italic, strike-out, ...
    put16(out, 0x7FFF);  // automatic colour
    put16(out, 400);     // normal weight
    put16(out, 0);       // no super- or subscript
    put8(out, 0);        // no underline
    put8(out, 2);        // swiss family
    put8(out, 0);        // ANSI character set
    put8(out, 0);
    static constexpr std::string_view kName = "Arial";
    put8(out, static_cast<std::uint8_t>(kName.size()));
    put8(out, 0);
    out.insert(out.end(), kName.begin(), kName.end());
    endRecord(out, start);
}

// `style`: a style XF (parent none); otherwise a cell XF with the Normal style as parent.
// `usedAttributes`: the fAtr* bits of the XF.
void writeXf(Bytes& out, bool style, std::uint8_t usedAttributes) {
    const std::size_t start = beginRecord(out, kXf);
    put16(out, 0);                        // font
    put16(out, 0);                        // number format: General
    put16(out, style ? 0xFFF5 : 0x0001);  // locked; style flag and parent 0xFFF, or parent 0
    put8(out, 0x20);                      // aligned at the bottom
    put8(out, 0);                         // no rotation
    put8(out, 0);                         // no indent
    put8(out, usedAttributes);
    put32(out, 0);  // no borders
    put32(out, 0);
    put16(out, 0x20C0);  // pattern colours: system foreground, background
    endRecord(out, start);
}

void writeGlobals(Bytes& out, const std::u16string& sheetName, std::size_t& sheetPosField) {
    writeBof(out, kBofGlobals);
    writeRecord16(out, kInterfaceHdr, kCodePageUtf16);
    writeRecord16(out, kMms, 0);
    endRecord(out, beginRecord(out, kInterfaceEnd));
    writeWriteAccess(out);
    writeRecord16(out, kCodePage, kCodePageUtf16);
    writeRecord16(out, kDsf, 0);
    writeRecord16(out, kRrTabId, 1);  // the one sheet's id
    // No protection of any kind.
    for (std::uint16_t id : {kWinProtect, kProtect, kPassword, kProt4Rev, kProt4RevPass}) {
        writeRecord16(out, id, 0);
    }

    std::size_t start = beginRecord(out, kWindow1);
    put16(out, 360);     // left
    put16(out, 270);     // top
    put16(out, 14940);   // width
    put16(out, 9150);    // height
    put16(out, 0x0038);  // scroll bars and sheet tabs shown
    put16(out, 0);       // active sheet
    put16(out, 0);       // first visible tab
    put16(out, 1);       // selected sheets
    put16(out, 600);     // tab bar width ratio
    endRecord(out, start);

    writeRecord16(out, kBackup, 0);
    writeRecord16(out, kHideObj, 0);
    writeRecord16(out, kDate1904, 0);       // dates count from 1900
    writeRecord16(out, kCalcPrecision, 1);  // full precision
    writeRecord16(out, kRefreshAll, 0);
    writeRecord16(out, kBookBool, 0);

    // Fonts 0 to 3 (index 4 is never used in BIFF).
    for (int i = 0; i < 4; ++i) {
        writeFont(out);
    }
    writeXf(out, true, 0x00);
    for (std::uint16_t i = 1; i < kStyleXfCount; ++i) {
        writeXf(out, true, 0xF4);
    }
    writeXf(out, false, 0x00);

    start = beginRecord(out, kStyle);
    put16(out, 0x8000);  // built-in style for XF 0
    put8(out, 0);        // Normal
    put8(out, 0xFF);
    endRecord(out, start);

    writeRecord16(out, kUsesElfs, 0);

    start = beginRecord(out, kBoundSheet);
    sheetPosField = out.size();
    put32(out, 0);  // filled in once the sheet's position is known
    put8(out, 0);   // visible
    put8(out, 0);   // worksheet
    const bool wide =
        std::any_of(sheetName.begin(), sheetName.end(), [](char16_t c) { return c > 0xFF; });
    put8(out, static_cast<std::uint8_t>(sheetName.size()));
    put8(out, wide ? 1 : 0);
    for (char16_t c : sheetName) {
        if (wide) {
            put16(out, static_cast<std::uint16_t>(c));
        } else {
            put8(out, static_cast<std::uint8_t>(c));
        }
    }
    endRecord(out, start);

    start = beginRecord(out, kCountry);
    put16(out, 49);  // Germany, for the program and the system
    put16(out, 49);
    endRecord(out, start);
}

void writeSharedStrings(Bytes& out, const StringTable& table) {
    SstWriter sst(out, static_cast<std::uint32_t>(table.cellText.size()),
                  static_cast<std::uint32_t>(table.texts.size()));
    std::u16string units;
    for (std::string_view text : table.texts) {
        utf8ToUtf16(text, kXlsMaxCellChars, units);
        sst.add(units);
    }
    sst.finish();
}

void writeRow(Bytes& out, std::size_t row, std::size_t cells) {
    const std::size_t start = beginRecord(out, kRow);
    put16(out, static_cast<std::uint16_t>(row));
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(cells));
    put16(out, 0x00FF);  // default height, 12.75 pt
    put16(out, 0);
    put16(out, 0);
    put16(out, 0x0100);  // no outline, not hidden; reserved bit set
    put16(out, kCellXf);
    endRecord(out, start);
}

// The most frequent record, written in one piece.
void writeLabelSst(Bytes& out, std::size_t row, std::size_t column, std::uint32_t text) {
    const std::uint8_t record[14] = {
        kLabelSst & 0xFF,
        kLabelSst >> 8,
        10,
        0,
        static_cast<std::uint8_t>(row),
        static_cast<std::uint8_t>(row >> 8),
        static_cast<std::uint8_t>(column),
        static_cast<std::uint8_t>(column >> 8),
        kCellXf & 0xFF,
        kCellXf >> 8,
        static_cast<std::uint8_t>(text),
        static_cast<std::uint8_t>(text >> 8),
        static_cast<std::uint8_t>(text >> 16),
        static_cast<std::uint8_t>(text >> 24),
    };
    out.insert(out.end(), record, record + sizeof record);
}

void writeSheet(Bytes& out, const XlsSheet& sheet, std::size_t sheetRows, const StringTable& table,
                const SheetExtent& extent) {
    writeBof(out, kBofWorksheet);

    std::size_t start = beginRecord(out, kIndex);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(extent.firstRow));
    put32(out, static_cast<std::uint32_t>(extent.endRow));
    const std::size_t defColWidthField = out.size();
    put32(out, 0);
    const std::size_t dbCellFields = out.size();
    out.resize(out.size() + 4 * extent.blocks);
    endRecord(out, start);

    start = beginRecord(out, kDefaultRowHeight);
    put16(out, 0);
    put16(out, 0x00FF);  // 12.75 pt
    endRecord(out, start);
    writeRecord16(out, kWsBool, 0x04C1);  // outline symbols below and right, page breaks shown

    patch32(out, defColWidthField, static_cast<std::uint32_t>(out.size()));
    start = beginRecord(out, kDefColWidth);
    put16(out, 8);
    endRecord(out, start);

    if (extent.endColumn > 0) {
        start = beginRecord(out, kColInfo);
        put16(out, 0);
        put16(out, static_cast<std::uint16_t>(extent.endColumn - 1));
        put16(out, kColumnWidth);
        put16(out, kCellXf);
        put16(out, 0x0002);  // width set by the user
        put16(out, 0);
        endRecord(out, start);
    }

    start = beginRecord(out, kDimensions);
    put32(out, static_cast<std::uint32_t>(extent.firstRow));
    put32(out, static_cast<std::uint32_t>(extent.endRow));
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(extent.endColumn));
    put16(out, 0);
    endRecord(out, start);

    std::size_t cell = 0;
    std::size_t block = 0;
    std::vector<std::uint16_t> cellOffsets;
    for (std::size_t blockStart = 0; blockStart < sheetRows; blockStart += kRowsPerBlock) {
        const std::size_t blockEnd = std::min(blockStart + kRowsPerBlock, sheetRows);
        const std::size_t firstRowRecord = out.size();
        for (std::size_t r = blockStart; r < blockEnd; ++r) {
            const std::size_t cells = rowTexts(sheet, r).size();
            if (cells > 0) {
                writeRow(out, r, cells);
            }
        }
        if (out.size() == firstRowRecord) {
            continue;
        }
        cellOffsets.clear();
        std::size_t previous = firstRowRecord + kRowRecordSize;
        for (std::size_t r = blockStart; r < blockEnd; ++r) {
            const std::size_t cells = rowTexts(sheet, r).size();
            if (cells == 0) {
                continue;
            }
            cellOffsets.push_back(static_cast<std::uint16_t>(out.size() - previous));
            previous = out.size();
            for (std::size_t c = 0; c < cells; ++c) {
                writeLabelSst(out, r, c, table.cellText[cell++]);
            }
        }
        const std::size_t dbCell = out.size();
        patch32(out, dbCellFields + 4 * block++, static_cast<std::uint32_t>(dbCell));
        start = beginRecord(out, kDbCell);
        put32(out, static_cast<std::uint32_t>(dbCell - firstRowRecord));
        for (std::uint16_t offset : cellOffsets) {
            put16(out, offset);
        }
        endRecord(out, start);
    }

    start = beginRecord(out, kWindow2);
    put16(out, 0x06B6);  // grid, headers, zeros, outline symbols shown; sheet selected
    put16(out, 0);       // top row
    put16(out, 0);       // left column
    put16(out, 0x40);    // header colour: automatic
    put16(out, 0);
    put16(out, 0);  // page break preview zoom: default
    put16(out, 0);  // normal view zoom: default
    put32(out, 0);
    endRecord(out, start);

    writeEof(out);
}

}  // namespace

std::string buildWorkbookStream(const XlsSheet& sheet, WorkbookStream& result) {
    std::u16string sheetName;
    if (std::string problem = validateSheetName(sheet.name, sheetName); !problem.empty()) {
        return problem;
    }

    const std::size_t dataRows = std::min(sheet.rows.size(), kXlsMaxDataRows);
    result.rowsNotWritten = sheet.rows.size() - dataRows;
    const std::size_t sheetRows = 1 + dataRows;

    SheetExtent extent;
    std::size_t cells = 0;
    std::size_t lastBlock = 0;
    for (std::size_t r = 0; r < sheetRows; ++r) {
        const std::size_t width = rowTexts(sheet, r).size();
        if (width > kXlsMaxColumns) {
            return "row " + std::to_string(r + 1) + " holds " + std::to_string(width) +
                   " texts; a sheet holds at most 256 columns";
        }
        if (width == 0) {
            continue;
        }
        if (extent.endRow == 0) {
            extent.firstRow = r;
        }
        if (extent.blocks == 0 || r / kRowsPerBlock != lastBlock) {
            ++extent.blocks;
            lastBlock = r / kRowsPerBlock;
        }
        extent.endRow = r + 1;
        extent.endColumn = std::max(extent.endColumn, width);
        cells += width;
    }

    StringTable table;
    table.index.reserve(cells);
    table.cellText.reserve(cells);
    std::size_t textBytes = 0;
    for (std::size_t r = 0; r < sheetRows; ++r) {
        for (const std::string& text : rowTexts(sheet, r)) {
            table.addCell(text);
        }
    }
    for (std::string_view text : table.texts) {
        textBytes += 3 + text.size();
    }
    result.cellsCut = table.cellsCut;

    Bytes& out = result.bytes;
    out.clear();
    out.reserve(4096 + textBytes + textBytes / 8 + cells * 14 + sheetRows * kRowRecordSize +
                extent.blocks * (4 + 4 + 2 * kRowsPerBlock + 4));

    std::size_t sheetPosField = 0;
    writeGlobals(out, sheetName, sheetPosField);
    writeSharedStrings(out, table);
    writeEof(out);

    if (out.size() > kMaxStreamSize) {
        return "the texts are too long for one workbook (over 2 GB)";
    }
    patch32(out, sheetPosField, static_cast<std::uint32_t>(out.size()));
    writeSheet(out, sheet, sheetRows, table, extent);
    if (out.size() > kMaxStreamSize) {
        return "the texts are too long for one workbook (over 2 GB)";
    }
    return {};
}

}  // namespace ixan
