#pragma once
// The arithmetic of a printed page, in the printer's device units: the text area from the
// margins, font heights from screen to printer, and the bands the header and footer take.

#include "app/Records.h"

#include <string>

// What the printing code needs to know of a printer page (device units, dots per inch).
struct PAGEMETRICS {
    LONG logPixelsX = 0;
    LONG logPixelsY = 0;
    LONG physicalWidth = 0; // the whole sheet
    LONG physicalHeight = 0;
    LONG physicalOffsetX = 0; // from the sheet's edge to the first printable dot
    LONG physicalOffsetY = 0;
};

// The text area for margins in thousandths of an inch, measured from the sheet's edges, in
// the coordinates of the printable area (whose origin is at the physical offset). Margins of
// 0 give a rectangle that may start before the printable area.
RECT CalcPrintRect(const RECT& marginsThousandths, const PAGEMETRICS& page);

// Scales a font record made for the screen to the printer: height by the vertical, width by
// the horizontal resolutions. A resolution of 0 leaves that value alone.
void ScaleFontToPrinter(LOGFONT& lf, LONG printerDpiX, LONG printerDpiY, LONG screenDpiX,
                        LONG screenDpiY);

// How the header and footer divide the text area. lineHeight is the height of one line of
// the header font. A non-empty header takes its line at the top and one more line of space;
// a non-empty footer likewise at the bottom.
struct PAGEBANDS {
    RECT header; // meaningful when hasHeader
    RECT footer; // meaningful when hasFooter
    RECT body;   // what remains for the text
    bool hasHeader = false;
    bool hasFooter = false;
};
PAGEBANDS SplitPageBands(const RECT& printRect, LONG lineHeight, bool header, bool footer);

// "Face, 10pt." followed by ", Bold", ", Italic", ", Underline", ", Strike Out" as they apply;
// the size rounded to whole points at screenDpiY.
std::string DescribeFont(const LOGFONT& lf, LONG screenDpiY);
