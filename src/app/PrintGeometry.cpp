#include "app/PrintGeometry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

RECT CalcPrintRect(const RECT& m, const PAGEMETRICS& p) {
    RECT r;
    r.left = MulDiv(m.left, p.logPixelsX, 1000) - p.physicalOffsetX;
    r.top = MulDiv(m.top, p.logPixelsY, 1000) - p.physicalOffsetY;
    r.right = p.physicalWidth - p.physicalOffsetX - MulDiv(m.right, p.logPixelsX, 1000);
    r.bottom = p.physicalHeight - p.physicalOffsetY - MulDiv(m.bottom, p.logPixelsY, 1000);
    return r;
}

void ScaleFontToPrinter(LOGFONT& lf, LONG printerDpiX, LONG printerDpiY, LONG screenDpiX,
                        LONG screenDpiY) {
    if (printerDpiY > 0 && screenDpiY > 0)
        lf.lfHeight = MulDiv(lf.lfHeight, printerDpiY, screenDpiY);
    if (printerDpiX > 0 && screenDpiX > 0)
        lf.lfWidth = MulDiv(lf.lfWidth, printerDpiX, screenDpiX);
}

PAGEBANDS SplitPageBands(const RECT& printRect, LONG h, bool header, bool footer) {
    PAGEBANDS b;
    b.body = printRect;
    if (header) {
        b.hasHeader = true;
        b.header = RECT{printRect.left, printRect.top, printRect.right, printRect.top + h};
        b.body.top += 2 * h;
    }
    if (footer) {
        b.hasFooter = true;
        b.footer = RECT{printRect.left, printRect.bottom - h, printRect.right, printRect.bottom};
        b.body.bottom -= 2 * h;
    }
    return b;
}

std::string DescribeFont(const LOGFONT& lf, LONG screenDpiY) {
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(LF_FACESIZE) && lf.lfFaceName[n] != '\0')
        ++n;
    std::string text(lf.lfFaceName, n);
    const LONG points = MulDiv(std::labs(lf.lfHeight), 72, screenDpiY > 0 ? screenDpiY : 96);
    text += ", " + std::to_string(points) + "pt.";
    if (lf.lfWeight >= FW_BOLD)
        text += ", Bold";
    if (lf.lfItalic)
        text += ", Italic";
    if (lf.lfUnderline)
        text += ", Underline";
    if (lf.lfStrikeOut)
        text += ", Strike Out";
    return text;
}
