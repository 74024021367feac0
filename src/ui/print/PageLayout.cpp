#include "ui/print/PageLayout.h"

#include "app/Bookmarks.h"
#include "platform/Encoding.h"
#include "platform/TreeCtrl.h"
#include "ui/common/FontConvert.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

// A line of more characters than this is laid out in pieces, so that one huge line cannot
// hold up the first page.
constexpr qsizetype kMaxPieceChars = 16 * 1024;
constexpr int kDefaultTabWidth = 8;

QRectF ToQRect(const RECT& r) {
    return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom));
}

PAGEMETRICS MetricsOf(QPrinter& printer) {
    PAGEMETRICS m;
    m.logPixelsX = printer.logicalDpiX();
    m.logPixelsY = printer.logicalDpiY();
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    m.physicalWidth = static_cast<LONG>(std::lround(paper.width()));
    m.physicalHeight = static_cast<LONG>(std::lround(paper.height()));
    if (!printer.fullPage()) {
        // The painter's origin is the corner of the printable area.
        const QRectF page = printer.pageRect(QPrinter::DevicePixel);
        m.physicalOffsetX = static_cast<LONG>(std::lround(page.left() - paper.left()));
        m.physicalOffsetY = static_cast<LONG>(std::lround(page.top() - paper.top()));
    }
    return m;
}

// A font record for the screen, as a font of the printer's device pixels.
QFont PrinterFontOf(LOGFONT lf, QPrinter& printer, int screenDpiX, int screenDpiY) {
    ScaleFontToPrinter(lf, printer.logicalDpiX(), printer.logicalDpiY(), screenDpiX, screenDpiY);
    QFont font = LogFontToQFont(lf, printer.logicalDpiY());
    if (lf.lfHeight != 0)
        font.setPixelSize(std::max<LONG>(1, std::labs(lf.lfHeight)));
    return font;
}

} // namespace

// Where the body text continues: the paragraph (a piece of a line) being laid out and the
// next of its lines to print.
struct CPageLayout::Cursor {
    qsizetype nextStart = 0; // where the paragraph after the current one starts
    bool bMore = true;       // another paragraph follows (an empty text is one empty line)
    bool bHaveParagraph = false;
    QTextLayout layout;
    int nextLine = 0;
};

CPageLayout::CPageLayout(const CAppSettings& settings, PRINTSOURCE source, int screenDpiX,
                         int screenDpiY)
    : m_settings(settings), m_source(std::move(source)), m_nScreenDpiX(screenDpiX),
      m_nScreenDpiY(screenDpiY) {}

CPageLayout::~CPageLayout() = default;

void CPageLayout::Begin(QPrinter& printer) {
    m_pPrinter = &printer;
    const LOGFONT body =
        m_settings.m_bUseScreenFont ? m_settings.m_lfScreenFont : m_settings.m_lfPrinterFont;
    m_bodyFont = PrinterFontOf(body, printer, m_nScreenDpiX, m_nScreenDpiY);
    m_headerFont = PrinterFontOf(m_settings.m_lfHeaderFont, printer, m_nScreenDpiX, m_nScreenDpiY);

    int tabWidth = m_settings.m_nTabWidth;
    if (tabWidth < 1 || tabWidth > 1000)
        tabWidth = kDefaultTabWidth;
    m_tabStop = QFontMetricsF(m_bodyFont, &printer).averageCharWidth() * tabWidth;

    m_nHeaderLine = static_cast<LONG>(std::ceil(QFontMetricsF(m_headerFont, &printer).height()));
    const RECT area = CalcPrintRect(m_settings.m_rcPageMargins, MetricsOf(printer));
    m_bands = SplitPageBands(area, m_nHeaderLine, !m_settings.m_strHeader.empty(),
                             !m_settings.m_strFooter.empty());

    m_codes.ClearCodes();
    m_codes.SetCode('f', m_source.docTitle);
    m_codes.SetCode('F', m_source.docPath);
    m_codes.SetCode('n', m_source.itemTitle);
    m_codes.SetCode('N', m_source.itemPath);
    m_codes.SetCode('d', m_source.date.empty() ? TodayPrintDate() : m_source.date);
    m_nPage = 0;
    m_pCursor = std::make_unique<Cursor>();
}

bool CPageLayout::PrintNextPage(QPainter& painter) {
    if (!m_pCursor)
        return false;
    ++m_nPage;
    PaintHeaderFooter(painter);
    return PaintBody(painter);
}

void CPageLayout::PaintHeaderFooter(QPainter& painter) {
    m_codes.SetCodeNumber('p', m_nPage);
    painter.save();
    painter.setFont(m_headerFont);
    painter.setBackgroundMode(Qt::TransparentMode);
    QPen pen(Qt::black);
    pen.setWidthF(std::max(1.0, m_pPrinter->logicalDpiY() / 150.0));
    painter.setPen(pen);
    if (m_bands.hasHeader) {
        m_codes.Format(m_settings.m_strHeader);
        PaintBand(painter, m_bands.header);
        if (m_settings.m_bLineBelowHeader)
            painter.drawLine(QPointF(m_bands.header.left, m_bands.header.bottom),
                             QPointF(m_bands.header.right, m_bands.header.bottom));
    }
    if (m_bands.hasFooter) {
        m_codes.Format(m_settings.m_strFooter);
        PaintBand(painter, m_bands.footer);
        if (m_settings.m_bLineAboveFooter)
            painter.drawLine(QPointF(m_bands.footer.left, m_bands.footer.top),
                             QPointF(m_bands.footer.right, m_bands.footer.top));
    }
    painter.restore();
}

void CPageLayout::PaintBand(QPainter& painter, const RECT& band) {
    const QRectF rect = ToQRect(band);
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter;
    const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (int section = 0; section < 3; ++section) {
        const std::string& text = m_codes.SectionText(section);
        if (!text.empty())
            painter.drawText(rect, flags | aligns[section], QString::fromStdString(text));
    }
}

bool CPageLayout::NextParagraph() {
    Cursor& c = *m_pCursor;
    if (!c.bMore)
        return false;
    const QString& text = m_source.text;
    const qsizetype start = c.nextStart;
    qsizetype end = text.indexOf(u'\n', start);
    qsizetype next = 0;
    bool more = false;
    if (end < 0) {
        end = next = text.size();
    } else {
        next = end + 1;
        more = next < text.size(); // a final line feed starts no line of its own
    }
    if (end - start > kMaxPieceChars) {
        // Lay a huge line out in pieces, cut after a blank near the limit, else at the limit.
        qsizetype cut = start + kMaxPieceChars;
        const qsizetype blank = text.lastIndexOf(u' ', cut - 1);
        if (blank > start + kMaxPieceChars / 2)
            cut = blank + 1;
        if (text[cut - 1].isHighSurrogate())
            --cut;
        end = next = cut;
        more = true;
    }
    c.layout.clearLayout();
    c.layout.setText(text.mid(start, end - start));
    c.layout.setFont(m_bodyFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(m_tabStop);
    c.layout.setTextOption(option);
    const qreal width = std::max<LONG>(1, m_bands.body.right - m_bands.body.left);
    c.layout.beginLayout();
    for (;;) {
        QTextLine line = c.layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
    }
    c.layout.endLayout();
    c.nextLine = 0;
    c.bHaveParagraph = true;
    c.nextStart = next;
    c.bMore = more;
    return true;
}

bool CPageLayout::PaintBody(QPainter& painter) {
    Cursor& c = *m_pCursor;
    painter.save();
    painter.setFont(m_bodyFont);
    painter.setPen(Qt::black);
    const qreal left = m_bands.body.left;
    const qreal bottom = m_bands.body.bottom;
    qreal y = m_bands.body.top;
    bool pageHasLine = false;
    for (;;) {
        if (!c.bHaveParagraph || c.nextLine >= c.layout.lineCount()) {
            if (!NextParagraph())
                break;
            if (c.layout.lineCount() == 0)
                continue;
        }
        QTextLine line = c.layout.lineAt(c.nextLine);
        const qreal height = line.height();
        // A page always takes at least one line, so a line taller than the page still prints.
        if (pageHasLine && y + height > bottom)
            break;
        line.draw(&painter, QPointF(left, y - line.y()));
        y += height;
        pageHasLine = true;
        ++c.nextLine;
    }
    painter.restore();
    return (c.bHaveParagraph && c.nextLine < c.layout.lineCount()) || c.bMore;
}

PRINTSOURCE MakePrintSource(const QString& text, const std::string& docPathName,
                            const CTreeCtrl& tree) {
    PRINTSOURCE src;
    src.text = text;
    src.docPath = docPathName;
    const std::size_t slash = docPathName.find_last_of('/');
    src.docTitle = slash == std::string::npos ? docPathName : docPathName.substr(slash + 1);
    if (HTREEITEM h = tree.GetSelectedItem()) {
        src.itemTitle = enc::DecodeStored(tree.GetItemText(h));
        src.itemPath = bookmarks::GetItemPath(tree, h, bookmarks::kListPathChars);
    }
    return src;
}
