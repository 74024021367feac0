// Printing on real output: texts are printed to PDF files through the page-layout engine and
// read back with pdftotext -bbox, which gives every word with its position in points.

#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include "app/HeaderFooter.h"
#include "app/Settings.h"
#include "platform/TreeCtrl.h"
#include "ui/print/PageLayout.h"
#include "ui/print/PageSetupDlg.h"
#include "ui/print/PrintJob.h"
#include "ui/print/PrintService.h"
#include "ui/text/EditPaneView.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};
struct Page {
    double width = 0, height = 0;
    std::vector<Word> words;
    const Word* Find(const QString& text) const {
        for (const Word& w : words)
            if (w.text == text)
                return &w;
        return nullptr;
    }
};

// The words of every page of a PDF file, with positions in points from the top left corner.
std::vector<Page> ReadPdf(const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    EXPECT_TRUE(tool.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    const QString html = QString::fromUtf8(tool.readAllStandardOutput());
    std::vector<Page> pages;
    static const QRegularExpression pageRe(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression wordRe(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (const QString& chunk : html.split(QStringLiteral("</page>"))) {
        const auto pm = pageRe.match(chunk);
        if (!pm.hasMatch())
            continue;
        Page page{pm.captured(1).toDouble(), pm.captured(2).toDouble(), {}};
        for (auto it = wordRe.globalMatch(chunk); it.hasNext();) {
            const auto wm = it.next();
            QString text = wm.captured(5);
            text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            page.words.push_back({wm.captured(1).toDouble(), wm.captured(2).toDouble(),
                                  wm.captured(3).toDouble(), wm.captured(4).toDouble(), text});
        }
        pages.push_back(std::move(page));
    }
    return pages;
}

CAppSettings PrintSettings() {
    CAppSettings s(96);
    s.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
    s.m_lfHeaderFont.SetFaceName("DejaVu Sans");
    s.m_strHeader = "&l&n&r&d";
    s.m_strFooter = "Page &p";
    return s;
}

// Lines "Line 001" ... with a long line in the middle that must wrap.
QString NumberedLines(int count) {
    QString text;
    for (int i = 1; i <= count; ++i) {
        text += QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0'));
        if (i == 20)
            text += QStringLiteral(" and a long tail") + QStringLiteral(" wrapword").repeated(30);
        if (i < count)
            text += u'\n';
    }
    return text;
}

PRINTSOURCE Source(const QString& text) {
    PRINTSOURCE src;
    src.text = text;
    src.docTitle = "Notes.Nota";
    src.docPath = "/home/ann/Notes.Nota";
    src.itemTitle = "Shopping";
    src.itemPath = "Notarium\\Shopping";
    return src;
}

class PrintTest : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    CAppSettings settings = PrintSettings();
    CPrintService service{settings, ui};
    QString Pdf(const char* name) const { return QString::fromStdString(dir.File(name)); }
    void SetUp() override {
        service.Printer().setPageSize(QPageSize(QPageSize::Letter));
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            << "install poppler-utils (make deps)";
    }
};

class CancelAt : public IPrintProgress {
public:
    explicit CancelAt(int page) : m_nPage(page) {}
    bool OnPage(int page) override {
        pages.push_back(page);
        return page < m_nPage;
    }
    std::vector<int> pages;

private:
    int m_nPage;
};

// The body's words: neither in the header line nor in the footer line.
std::vector<Word> BodyWords(const Page& page, double headerBottom, double footerTop) {
    std::vector<Word> body;
    for (const Word& w : page.words)
        if (w.yMin > headerBottom && w.yMax < footerTop)
            body.push_back(w);
    return body;
}

} // namespace

TEST_F(PrintTest, AThreePageTextletPrintsHeadersFootersAndKeepsTheMargins) {
    settings.m_bWordWrap = false; // printed lines wrap all the same
    const QString path = Pdf("three.pdf");
    CancelAt never(1000);
    ASSERT_EQ(service.PrintToPdf(Source(NumberedLines(120)), path, &never), PrintResult::Printed);
    EXPECT_EQ(never.pages, (std::vector<int>{1, 2, 3}));
    if (const QByteArray keep = qgetenv("NOTA_PRINT_SAMPLE"); !keep.isEmpty())
        QFile::copy(path, QString::fromLocal8Bit(keep));

    const std::vector<Page> pages = ReadPdf(path);
    ASSERT_EQ(pages.size(), 3u);
    const QString today = QString::fromStdString(TodayPrintDate());
    constexpr double kInch = 72.0, kSlack = 1.5;
    QString lastLine;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const Page& page = pages[i];
        SCOPED_TRACE(i + 1);
        EXPECT_NEAR(page.width, 612, 1);
        EXPECT_NEAR(page.height, 792, 1);

        // Header: the item's title at the left margin, the date at the right margin.
        const Word* title = page.Find(QStringLiteral("Shopping"));
        const Word* date = page.Find(today);
        ASSERT_TRUE(title && date);
        EXPECT_NEAR(title->xMin, kInch, kSlack);
        EXPECT_NEAR(date->xMax, page.width - kInch, kSlack);
        EXPECT_GE(title->yMin, kInch - kSlack);
        EXPECT_LT(title->yMax, kInch + 20);

        // Footer: "Page n" centred, ending at the bottom margin.
        const Word* number = page.Find(QString::number(i + 1));
        const Word* label = page.Find(QStringLiteral("Page"));
        ASSERT_TRUE(number && label);
        EXPECT_NEAR((label->xMin + number->xMax) / 2, page.width / 2, 2.0);
        EXPECT_LE(number->yMax, page.height - kInch + kSlack);
        EXPECT_GT(number->yMin, page.height - kInch - 20);

        // Body: inside the margins, below the header's two lines, above the footer's.
        const std::vector<Word> body = BodyWords(page, title->yMax, label->yMin);
        ASSERT_FALSE(body.empty());
        const double lineHeight = title->yMax - title->yMin;
        for (const Word& w : body) {
            EXPECT_GE(w.xMin, kInch - kSlack) << w.text.toStdString();
            EXPECT_LE(w.xMax, page.width - kInch + kSlack) << w.text.toStdString();
            EXPECT_GE(w.yMin, title->yMax + lineHeight * 0.8) << w.text.toStdString();
            EXPECT_LE(w.yMax, label->yMin - lineHeight * 0.8) << w.text.toStdString();
        }
        // Each page continues where the previous one stopped.
        QStringList numbers;
        for (std::size_t k = 0; k + 1 < body.size(); ++k)
            if (body[k].text == QStringLiteral("Line"))
                numbers << body[k + 1].text;
        ASSERT_FALSE(numbers.isEmpty());
        if (!lastLine.isEmpty()) {
            EXPECT_EQ(numbers.front().toInt(), lastLine.toInt() + 1);
        }
        lastLine = numbers.back();
    }
    EXPECT_EQ(lastLine, QStringLiteral("120"));
    // The long line wrapped: all thirty of its words printed, none past the right margin.
    int wraps = 0;
    for (const Page& page : pages)
        wraps +=
            static_cast<int>(std::count_if(page.words.begin(), page.words.end(),
                                           [](const Word& w) { return w.text == "wrapword"; }));
    EXPECT_EQ(wraps, 30);
}

TEST_F(PrintTest, AnEmptyHeaderLetsTheBodyStartAtTheTopMarginAndCodesExpandInTheFooter) {
    settings.m_strHeader.clear();
    settings.m_strFooter = "&l&f&c&N&r&&&p&";
    settings.m_rcPageMargins = RECT{500, 1500, 2000, 500};
    const QString path = Pdf("codes.pdf");
    ASSERT_EQ(service.PrintToPdf(Source(QStringLiteral("First\tline")), path),
              PrintResult::Printed);
    const std::vector<Page> pages = ReadPdf(path);
    ASSERT_EQ(pages.size(), 1u);
    const Page& page = pages[0];
    const Word* first = page.Find(QStringLiteral("First"));
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->xMin, 36, 1.5);  // half an inch
    EXPECT_NEAR(first->yMin, 108, 4.0); // an inch and a half, no header lines
    const Word* file = page.Find(QStringLiteral("Notes.Nota"));
    const Word* itemPath = page.Find(QStringLiteral("Notarium\\Shopping"));
    const Word* right = page.Find(QStringLiteral("&1&"));
    ASSERT_TRUE(file && itemPath && right);
    EXPECT_NEAR(file->xMin, 36, 1.5);
    EXPECT_NEAR(right->xMax, 612 - 144, 1.5); // two inches on the right
    EXPECT_NEAR(right->yMax, 792 - 36, 3.0);
    // The tab moved "line" to the next tab stop, well clear of "First".
    const Word* line = page.Find(QStringLiteral("line"));
    ASSERT_TRUE(line);
    EXPECT_GT(line->xMin - first->xMax, 10);
}

TEST_F(PrintTest, PrintingTheSelectionLeavesTheEditPaneExactlyAsItWas) {
    CEditPaneView pane(settings, ui);
    pane.setPlainText(QStringLiteral("keep out\nprint me\nalso\nkeep out too"));
    pane.SetImageCode(8);
    QTextCursor cursor = pane.textCursor();
    cursor.setPosition(9);
    cursor.setPosition(22, QTextCursor::KeepAnchor);
    pane.setTextCursor(cursor);
    pane.SetTextChanged(false);

    const QString path = Pdf("selection.pdf");
    bool preselected = false;
    service.m_runPrintDialog = [&](QPrintDialog& dialog) {
        preselected = dialog.printer()->printRange() == QPrinter::Selection &&
                      dialog.testOption(QAbstractPrintDialog::PrintSelection);
        dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog.printer()->setOutputFileName(path);
        return true;
    };
    service.m_makeProgress = [](const QString&, QWidget*) {
        return std::make_unique<CancelAt>(1000);
    };
    const QString before = pane.PaneText();
    EXPECT_EQ(service.Print(Source(before), pane.textCursor().selectedText(), &pane),
              PrintResult::Printed);
    EXPECT_TRUE(preselected);
    const std::vector<Page> pages = ReadPdf(path);
    ASSERT_EQ(pages.size(), 1u);
    const Word* print = pages[0].Find(QStringLiteral("print"));
    const Word* also = pages[0].Find(QStringLiteral("also"));
    ASSERT_TRUE(print && also);
    EXPECT_GT(also->yMin, print->yMax - 1); // the selection's two lines stay two lines
    EXPECT_FALSE(pages[0].Find(QStringLiteral("keep")));

    EXPECT_EQ(pane.PaneText(), before);
    EXPECT_EQ(pane.textCursor().selectionStart(), 9);
    EXPECT_EQ(pane.textCursor().selectionEnd(), 22);
    EXPECT_FALSE(pane.IsTextChanged());

    // Without a selection the dialog offers none and the whole text prints.
    service.m_runPrintDialog = [&](QPrintDialog& dialog) {
        preselected = dialog.testOption(QAbstractPrintDialog::PrintSelection);
        dialog.printer()->setOutputFileName(path);
        return true;
    };
    EXPECT_EQ(service.Print(Source(before), QString(), &pane), PrintResult::Printed);
    EXPECT_FALSE(preselected);
    EXPECT_TRUE(ReadPdf(path)[0].Find(QStringLiteral("keep")));

    // A cancelled print dialog prints nothing.
    QFile::remove(path);
    service.m_runPrintDialog = [](QPrintDialog&) { return false; };
    EXPECT_EQ(service.Print(Source(before), QString(), &pane), PrintResult::Cancelled);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(PrintTest, CancelStopsBetweenPagesAndAPrinterThatCannotStartIsReported) {
    const QString path = Pdf("cancel.pdf");
    CancelAt second(2);
    EXPECT_EQ(service.PrintToPdf(Source(NumberedLines(400)), path, &second),
              PrintResult::Cancelled);
    EXPECT_EQ(second.pages, (std::vector<int>{1, 2}));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(ui.boxes.empty());

    EXPECT_EQ(service.PrintToPdf(Source(QStringLiteral("x")), Pdf("no/such/dir/x.pdf")),
              PrintResult::Failed);
    EXPECT_EQ(ui.LastBox(), "Could not start print job.");
}

TEST_F(PrintTest, AnEmptyTextPrintsOnePageAndLinesDoNotSplitAcrossPageCounts) {
    const QString path = Pdf("empty.pdf");
    ASSERT_EQ(service.PrintToPdf(Source(QString()), path), PrintResult::Printed);
    const std::vector<Page> pages = ReadPdf(path);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].Find(QStringLiteral("Shopping")));

    // The printer font replaces the editor font when the setting says so.
    settings.m_bUseScreenFont = false;
    settings.m_lfPrinterFont.lfHeight *= 2;
    CPageLayout big(settings, Source(QStringLiteral("x")));
    settings.m_bUseScreenFont = true;
    CPageLayout normal(settings, Source(QStringLiteral("x")));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    big.Begin(printer);
    normal.Begin(printer);
    EXPECT_NEAR(big.BodyFont().pixelSize(), 2.0 * 13 * printer.logicalDpiY() / 96, 2);
    EXPECT_NEAR(normal.BodyFont().pixelSize(), 13.0 * printer.logicalDpiY() / 96, 2);
    EXPECT_EQ(big.BodyFont().family(), QStringLiteral("Arial"));
}

TEST(PrintSource, CodesComeFromTheFileAndTheSelectedItemWithLongPathsShortened) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", 0, 0, TVI_ROOT, TVI_LAST);
    HTREEITEM parent = root;
    for (const char* title : {"Projects for the year", "Garden and the big shed", "Tools"})
        parent = tree.InsertItem(title, 4, 4, parent, TVI_LAST);
    HTREEITEM item = tree.InsertItem("Caf\xe9 list", 8, 8, parent, TVI_LAST); // Windows-1252
    tree.SelectItem(item);
    const PRINTSOURCE src = MakePrintSource(QStringLiteral("body"), "/home/ann/Notes.Nota", tree);
    EXPECT_EQ(src.text, QStringLiteral("body"));
    EXPECT_EQ(src.docTitle, "Notes.Nota");
    EXPECT_EQ(src.docPath, "/home/ann/Notes.Nota");
    EXPECT_EQ(src.itemTitle, "Caf\xc3\xa9 list");
    EXPECT_EQ(src.itemPath.rfind("...\\", 0), 0u) << src.itemPath;
    EXPECT_NE(src.itemPath.find("\\Tools\\Caf\xc3\xa9 list"), std::string::npos);
    EXPECT_LE(QString::fromStdString(src.itemPath).size(), 50);

    CTreeCtrl empty;
    EXPECT_TRUE(MakePrintSource(QString(), "", empty).itemTitle.empty());
}

namespace {

// Runs check on the modal dialog of type T once it is up, then closes it with accept or
// reject.
template <typename T> void WhenModal(std::function<void(T&)> check, bool accept) {
    QTimer::singleShot(0, [check = std::move(check), accept] {
        T* dialog = nullptr;
        const bool up = QTest::qWaitFor([&] {
            dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        });
        ASSERT_TRUE(up && dialog);
        check(*dialog);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
}

} // namespace

TEST_F(PrintTest, PrintPreviewShowsTheSamePagesAsPrint) {
    int previewPages = 0;
    WhenModal<QPrintPreviewDialog>(
        [&](QPrintPreviewDialog& dialog) {
            auto* widget = dialog.findChild<QPrintPreviewWidget*>();
            ASSERT_TRUE(widget);
            widget->updatePreview();
            previewPages = widget->pageCount();
        },
        false);
    service.PrintPreview(Source(NumberedLines(120)), nullptr);
    EXPECT_EQ(previewPages, 3);
}

TEST_F(PrintTest, PageSetupEditsMarginsInThousandthsAndThePaperOnlyOnOk) {
    WhenModal<CPageSetupDlg>(
        [](CPageSetupDlg& dialog) {
            EXPECT_DOUBLE_EQ(dialog.MarginBox(0)->value(), 1.0);
            dialog.MarginBox(0)->setValue(0.5);
            dialog.MarginBox(1)->setValue(0.0);
            dialog.MarginBox(2)->setValue(1.234);
            dialog.MarginBox(3)->setValue(2.0);
            dialog.PaperBox()->setCurrentIndex(
                dialog.PaperBox()->findData(static_cast<int>(QPageSize::A4)));
        },
        true);
    EXPECT_TRUE(service.PageSetup(nullptr));
    EXPECT_EQ(settings.m_rcPageMargins, (RECT{500, 0, 1234, 2000}));
    EXPECT_EQ(service.Printer().pageLayout().pageSize().id(), QPageSize::A4);

    WhenModal<CPageSetupDlg>([](CPageSetupDlg& dialog) { dialog.MarginBox(0)->setValue(3.0); },
                             false);
    EXPECT_FALSE(service.PageSetup(nullptr));
    EXPECT_EQ(settings.m_rcPageMargins, (RECT{500, 0, 1234, 2000}));

    // The new margins reach the printed page.
    const QString path = Pdf("setup.pdf");
    ASSERT_EQ(service.PrintToPdf(Source(QStringLiteral("Left")), path), PrintResult::Printed);
    const std::vector<Page> pages = ReadPdf(path);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(pages[0].width, 595, 1); // A4
    const Word* word = pages[0].Find(QStringLiteral("Left"));
    ASSERT_TRUE(word);
    EXPECT_NEAR(word->xMin, 36, 1.5);
}

TEST(PrintProgress, CancelInTheProgressWindowStopsTheJobAtTheNextPage) {
    CPrintProgressDlg progress(QStringLiteral("Shopping"));
    EXPECT_TRUE(progress.OnPage(1));
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.PageText(), QStringLiteral("Page 1"));
    auto* buttons = progress.findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(progress.OnPage(2));
    EXPECT_TRUE(progress.IsCancelled());
    QTest::keyClick(&progress, Qt::Key_Escape); // Escape cancels too and does not close
    EXPECT_TRUE(progress.isVisible());
}
