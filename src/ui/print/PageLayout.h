#pragma once
// The one page-layout engine behind Print, Print Preview and PDF output. It lays the text out
// page by page on the printer's device: margins from the paper edges, a one-line header and
// footer from the "&" codes with optional rules, the body wrapped at the text width with tabs
// at the editor's tab stops, in the printer font or the editor font. Pages are laid out only
// as they are printed, so the first page of a long text comes at once.

#include "app/HeaderFooter.h"
#include "app/PrintGeometry.h"
#include "app/Settings.h"

#include <QFont>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <string>

class QPainter;
class QPrinter;

// What is printed and the values of the header and footer codes.
struct PRINTSOURCE {
    QString text;          // line feeds separate lines
    std::string docTitle;  // &f: the file name as the title bar shows it
    std::string docPath;   // &F: the data file's full path
    std::string itemTitle; // &n: the selected item's title
    std::string itemPath;  // &N: its path, at most 50 characters
    std::string date;      // &d; empty: today
};

class CPageLayout {
public:
    // Copies what it needs from settings; screenDpi* scale the stored font heights.
    CPageLayout(const CAppSettings& settings, PRINTSOURCE source, int screenDpiX = 96,
                int screenDpiY = 96);
    ~CPageLayout();

    // Starts over on printer: fonts, text area, header and footer bands. Call before the first
    // page and again after the printer's page or resolution changed.
    void Begin(QPrinter& printer);
    // Paints the next page (numbered from 1) with painter, which draws on the printer given to
    // Begin; returns true while text remains for another page. An empty text gives one page.
    bool PrintNextPage(QPainter& painter);
    // Pages printed since Begin.
    int PagesDone() const { return m_nPage; }

    // Rectangles of the current page set-up, in device units of the painter's coordinates.
    const PAGEBANDS& Bands() const { return m_bands; }
    const QFont& BodyFont() const { return m_bodyFont; }
    const QFont& HeaderFont() const { return m_headerFont; }

private:
    struct Cursor;
    CAppSettings m_settings;
    PRINTSOURCE m_source;
    int m_nScreenDpiX;
    int m_nScreenDpiY;
    QPrinter* m_pPrinter = nullptr;
    QFont m_bodyFont;
    QFont m_headerFont;
    qreal m_tabStop = 0;
    LONG m_nHeaderLine = 0;
    PAGEBANDS m_bands;
    CHeaderFooter m_codes;
    int m_nPage = 0;
    std::unique_ptr<Cursor> m_pCursor;

    void PaintHeaderFooter(QPainter& painter);
    void PaintBand(QPainter& painter, const RECT& band);
    bool PaintBody(QPainter& painter);
    bool NextParagraph();
};

class CTreeCtrl;

// What the window prints: text (the edit pane's text as shown), the codes from the open
// file's path and the tree's selected item (its title, and its path of at most 50 characters).
PRINTSOURCE MakePrintSource(const QString& text, const std::string& docPathName,
                            const CTreeCtrl& tree);
