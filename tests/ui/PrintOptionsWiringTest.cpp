// Printing, Date and Time and Options as the window runs them: from the menu's actions through
// the command router, with the enable rules of the panes, a real PDF printed from the frame,
// the Options sheet's OK applied at once to both panes and the bars, and Cancel changing
// nothing. Also the rules under the header and over the footer, found in a rendered page.

#include "AppFixture.h"
#include "app/Records.h"
#include "ui/common/FontConvert.h"
#include "ui/frame/PrintCommands.h"
#include "ui/options/FontPickers.h"
#include "ui/options/OptionsPages.h"
#include "ui/options/OptionsSheet.h"
#include "ui/print/PageSetupDlg.h"
#include "ui/text/DateTimeDlg.h"
#include "ui/text/EditPaneView.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include <functional>

namespace {

// Runs act on the modal dialog of type T once it is up. act closes it, or with reject set the
// dialog is rejected afterwards; a dialog that stays open where act closed it is a failure.
template <typename T> void WhenModal(std::function<void(T&)> act, bool reject = false) {
    QTimer::singleShot(0, [act = std::move(act), reject] {
        T* dialog = nullptr;
        const bool up = QTest::qWaitFor([&] {
            dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        });
        if (!up || !dialog) {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        QPointer<T> guard(dialog);
        act(*dialog);
        if (guard && guard->isVisible()) {
            if (!reject)
                ADD_FAILURE() << T::staticMetaObject.className() << " refused to close";
            guard->reject();
        }
    });
}

class NoProgress : public IPrintProgress {
public:
    bool OnPage(int) override { return true; }
};

// The text of a PDF file, pages separated by form feeds.
QString PdfText(const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(tool.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    return QString::fromUtf8(tool.readAllStandardOutput());
}

class WiringTest : public OpenWindowTest {
protected:
    void SetUp() override { OpenWindow("wiring.Nota", true); }
    void Select(HTREEITEM h) {
        Tree().SelectItem(h);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !TreePane()->IsSelChangePending(); }, 2000));
    }
    // Focus moves within the active window only; after a dialog the window is active again.
    void Focus(QWidget* pane) {
        Frame()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Frame()));
        pane->setFocus();
        QApplication::processEvents();
    }
    bool Enabled(UINT id) {
        Frame()->UpdateCommandStates();
        return Frame()->Action(id)->isEnabled();
    }
    CPrintService& Service() { return Frame()->PrintCommands().Service(); }

    // The print dialog answers OK and sends the job to a PDF file.
    void PrintTo(const QString& pdf) {
        Service().m_runPrintDialog = [pdf](QPrintDialog& dialog) {
            dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog.printer()->setOutputFileName(pdf);
            return true;
        };
        Service().m_makeProgress = [](const QString&, QWidget*) {
            return std::make_unique<NoProgress>();
        };
    }
};

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

} // namespace

TEST_F(WiringTest, PrintPreviewSitsInTheFileMenuAfterPrintAndTheCommandsFollowTheOpenFile) {
    QMenu* file = Frame()->menuBar()->actions().at(0)->menu();
    ASSERT_TRUE(file);
    const QStringList texts = MenuTexts(file);
    const qsizetype print = texts.indexOf(QStringLiteral("&Print...\tCtrl+P"));
    ASSERT_GE(print, 1);
    EXPECT_EQ(texts.value(print - 1), QStringLiteral("Page Set&up..."));
    EXPECT_EQ(texts.value(print + 1), QStringLiteral("Print Pre&view"));
    EXPECT_EQ(texts.value(print + 2), QStringLiteral("-"));
    QAction* preview = Frame()->Action(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(preview->statusTip(), QStringLiteral("Display full pages"));
    EXPECT_EQ(preview->toolTip(), QStringLiteral("Print Preview"));

    for (QWidget* pane : {static_cast<QWidget*>(TreePane()), static_cast<QWidget*>(Edit())}) {
        Focus(pane);
        for (UINT id : {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PAGE_SETUP, ID_OPTIONS})
            EXPECT_TRUE(Enabled(id)) << id;
    }
    // Print Setup has no command of its own: Page Setup chooses the printer.
    EXPECT_EQ(Frame()->Action(ID_FILE_PRINT_SETUP), nullptr);
}

TEST_F(WiringTest, PrintFromEitherPanePrintsTheSelectedTextletAndLeavesThePaneAsItWas) {
    app->Settings().m_strHeader = "&l&n&r&f";
    app->Settings().m_strFooter = "Page &p";
    Add(Root(), "Shopping", false);
    Focus(Edit());
    Edit()->insertPlainText(QStringLiteral("apples\npears\nplums"));
    QTextCursor cursor = Edit()->textCursor();
    cursor.setPosition(7);
    cursor.setPosition(12, QTextCursor::KeepAnchor); // "pears"
    Edit()->setTextCursor(cursor);
    const QString before = Edit()->PaneText();

    const QString pdf = QString::fromStdString(dir.File("edit.pdf"));
    PrintTo(pdf);
    Service().m_runPrintDialog = [pdf](QPrintDialog& dialog) {
        // The dialog offers the selection and has it chosen; printing it prints only that.
        EXPECT_EQ(dialog.printer()->printRange(), QPrinter::Selection);
        dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog.printer()->setOutputFileName(pdf);
        return true;
    };
    Frame()->Action(ID_FILE_PRINT)->trigger();
    QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("pears")));
    EXPECT_FALSE(text.contains(QStringLiteral("apples")));
    EXPECT_TRUE(text.contains(QStringLiteral("Shopping")));
    EXPECT_TRUE(text.contains(QStringLiteral("wiring.Nota")));
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1")));
    EXPECT_EQ(Edit()->PaneText(), before);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 7);
    EXPECT_EQ(Edit()->textCursor().selectionEnd(), 12);
    EXPECT_TRUE(Edit()->IsTextChanged()); // not stored yet, and still to be stored

    // From the tree pane (Ctrl+P there): the edit pane's whole text, not yet stored.
    Edit()->moveCursor(QTextCursor::End);
    Focus(TreePane());
    const QString whole = QString::fromStdString(dir.File("tree.pdf"));
    PrintTo(whole);
    QTest::keyClick(TreePane(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(QFile::exists(whole));
    text = PdfText(whole);
    for (const char* word : {"apples", "pears", "plums", "Shopping", "Page 1"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
    EXPECT_EQ(Edit()->PaneText(), before);
}

TEST_F(WiringTest, PrintPreviewAndPageSetupRunFromTheFrame) {
    Add(Root(), "Long", false);
    QString lines;
    for (int i = 1; i <= 120; ++i)
        lines += QStringLiteral("Line %1\n").arg(i);
    Edit()->setPlainText(lines);
    Focus(TreePane());

    int pages = 0;
    WhenModal<QPrintPreviewDialog>(
        [&](QPrintPreviewDialog& dialog) {
            auto* widget = dialog.findChild<QPrintPreviewWidget*>();
            ASSERT_TRUE(widget);
            widget->updatePreview();
            pages = widget->pageCount();
        },
        true);
    Frame()->Action(ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_GE(pages, 2);

    // Page Setup: the margins reach the settings on OK, and nothing on Cancel.
    WhenModal<CPageSetupDlg>([](CPageSetupDlg& dialog) {
        dialog.MarginBox(0)->setValue(0.5);
        dialog.accept();
    });
    Frame()->Action(ID_FILE_PAGE_SETUP)->trigger();
    EXPECT_EQ(app->Settings().m_rcPageMargins.left, 500);
    WhenModal<CPageSetupDlg>([](CPageSetupDlg& dialog) { dialog.MarginBox(0)->setValue(2.0); },
                             true);
    Frame()->Action(ID_FILE_PAGE_SETUP)->trigger();
    EXPECT_EQ(app->Settings().m_rcPageMargins.left, 500);
}

TEST_F(WiringTest, DateAndTimeInsertsAtTheCaretOnlyWhereTheTextCanBeEdited) {
    HTREEITEM hFolder = Add(Root(), "Folder", true);
    HTREEITEM hNote = Add(hFolder, "Note", false);
    Focus(Edit());
    Edit()->setPlainText(QStringLiteral("ab"));
    Edit()->SetTextChanged(false);
    QTextCursor cursor = Edit()->textCursor();
    cursor.setPosition(1);
    Edit()->setTextCursor(cursor);
    ASSERT_TRUE(Enabled(ID_DATE_TIME));

    QString chosen;
    WhenModal<CDateTimeDlg>([&](CDateTimeDlg& dialog) {
        dialog.List()->setCurrentRow(0);
        chosen = dialog.List()->currentItem()->text();
        dialog.accept();
    });
    QTest::keyClick(Edit(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_FALSE(chosen.isEmpty());
    EXPECT_EQ(Edit()->PaneText(), QStringLiteral("a") + chosen + QStringLiteral("b"));
    EXPECT_TRUE(Edit()->IsTextChanged());
    EXPECT_EQ(Edit()->textCursor().position(), 1 + chosen.size());

    // Cancel inserts nothing.
    const QString after = Edit()->PaneText();
    WhenModal<CDateTimeDlg>([](CDateTimeDlg&) {}, true);
    Frame()->Action(ID_DATE_TIME)->trigger();
    EXPECT_EQ(Edit()->PaneText(), after);

    // The tree pane active: Date and Time is not there (and its key does nothing).
    Focus(TreePane());
    EXPECT_FALSE(Enabled(ID_DATE_TIME));

    // A folder without folder text: the pane is read-only and the command is off.
    Select(hFolder);
    Focus(Edit());
    ASSERT_TRUE(Edit()->isReadOnly());
    EXPECT_FALSE(Enabled(ID_DATE_TIME));
    EXPECT_FALSE(Frame()->Action(ID_DATE_TIME)->isEnabled());
    (void)hNote;
}

namespace {

// Sets what an Options run changes on every page and presses OK or Cancel.
void ChangeEverything(COptionsSheet& sheet, bool ok) {
    CGeneralPageDlg& general = sheet.General();
    for (int i = 0; i < CGeneralPageDlg::kCheckCount; ++i)
        general.Check(i)->click(); // folders get text, no renaming in place, bars hidden, ...
    sheet.Tabs()->setCurrentIndex(1);
    CEditorPageDlg& editor = sheet.Editor();
    editor.TabWidthBox()->setText(QStringLiteral("3"));
    editor.WordWrapBox()->click();
    editor.SizeBox()->setEditText(QStringLiteral("16"));
    editor.OnSizeLeft();
    sheet.Tabs()->setCurrentIndex(2);
    sheet.Printing().HeaderBox()->setText(QStringLiteral("&c&n"));
    sheet.Printing().LineAboveFooterBox()->click();
    QTest::mouseClick(ok ? sheet.OkButton() : sheet.CancelButton(), Qt::LeftButton);
}

} // namespace

TEST_F(WiringTest, OptionsOkAppliesAtOnceToBothPanesAndTheBarsAndCancelChangesNothing) {
    HTREEITEM hFolder = Add(Root(), "Folder", true);
    Focus(Edit());
    ASSERT_TRUE(Edit()->isReadOnly());
    const QFont fontBefore = Edit()->font();
    const qreal tabsBefore = Edit()->tabStopDistance();
    const CAppSettings settingsBefore = app->Settings();

    // Cancel: nothing changes, in the settings, the store, the panes or the bars.
    WhenModal<COptionsSheet>([](COptionsSheet& sheet) { ChangeEverything(sheet, false); });
    Frame()->Action(ID_OPTIONS)->trigger();
    EXPECT_EQ(app->Settings().m_nTabWidth, settingsBefore.m_nTabWidth);
    EXPECT_EQ(app->Settings().m_bWordWrap, settingsBefore.m_bWordWrap);
    EXPECT_EQ(app->Settings().m_lfScreenFont.ToBytes(), settingsBefore.m_lfScreenFont.ToBytes());
    EXPECT_EQ(app->Settings().m_strHeader, settingsBefore.m_strHeader);
    EXPECT_FALSE(store->GetInt("Settings", "TabWidth").has_value());
    EXPECT_EQ(Edit()->font(), fontBefore);
    EXPECT_EQ(Edit()->tabStopDistance(), tabsBefore);
    EXPECT_EQ(Edit()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(Edit()->isReadOnly());
    EXPECT_TRUE(Frame()->statusBar()->isVisible());
    EXPECT_TRUE(Frame()->MainToolBar()->isVisible());
    EXPECT_NE(TreePane()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(app->LastOptionsPage(), 2);

    // OK (reopening on the Printing page): stored, and applied at once.
    WhenModal<COptionsSheet>([](COptionsSheet& sheet) {
        EXPECT_EQ(sheet.Tabs()->currentIndex(), 2);
        sheet.Tabs()->setCurrentIndex(0);
        ChangeEverything(sheet, true);
    });
    Frame()->Action(ID_OPTIONS)->trigger();
    const CAppSettings& s = app->Settings();
    EXPECT_EQ(s.m_nTabWidth, 3);
    EXPECT_FALSE(s.m_bWordWrap);
    EXPECT_TRUE(s.m_bFoldersHaveText);
    EXPECT_FALSE(s.m_bInlineRename);
    EXPECT_EQ(s.m_strHeader, "&c&n");
    EXPECT_TRUE(s.m_bLineAboveFooter);
    EXPECT_EQ(store->GetInt("Settings", "TabWidth"), 3);
    EXPECT_EQ(store->GetInt("Settings", "FoldersHaveText"), 1);
    EXPECT_EQ(*store->GetBinary("Settings", "Font"), s.m_lfScreenFont.ToBytes());

    EXPECT_NEAR(Edit()->font().pointSizeF(), 16.0, 0.5);
    EXPECT_EQ(Edit()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_NEAR(Edit()->tabStopDistance(), 3 * QFontMetricsF(Edit()->font()).averageCharWidth(),
                0.01);
    EXPECT_FALSE(Edit()->isReadOnly()); // the folder shown now has text
    EXPECT_TRUE(Enabled(ID_DATE_TIME));
    EXPECT_EQ(TreePane()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(Frame()->statusBar()->isVisible());
    EXPECT_FALSE(Frame()->MainToolBar()->isVisible());
    EXPECT_FALSE(Frame()->BookmarkBar()->isVisible());

    // The bars come back from the sheet.
    WhenModal<COptionsSheet>([](COptionsSheet& sheet) {
        sheet.Tabs()->setCurrentIndex(0);
        for (int i = CGeneralPageDlg::kCheckCount - 3; i < CGeneralPageDlg::kCheckCount; ++i) {
            EXPECT_FALSE(sheet.General().Check(i)->isChecked()) << i;
            sheet.General().Check(i)->click();
        }
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    });
    Frame()->Action(ID_OPTIONS)->trigger();
    EXPECT_TRUE(Frame()->statusBar()->isVisible());
    EXPECT_TRUE(Frame()->MainToolBar()->isVisible());
    EXPECT_TRUE(Frame()->BookmarkBar()->isVisible());
    (void)hFolder;
}

namespace {

// Rows of the rendered page image where at least three quarters of the columns between x0
// and x1 are dark: a drawn rule (no line of text covers that much of a pixel row).
std::vector<int> RuleRows(const QImage& page, int x0, int x1) {
    std::vector<int> rows;
    for (int y = 0; y < page.height(); ++y) {
        int dark = 0;
        for (int x = x0; x < x1; ++x)
            if (qGray(page.pixel(x, y)) < 128)
                ++dark;
        if (dark * 4 >= (x1 - x0) * 3)
            rows.push_back(y);
    }
    return rows;
}

// Page 1 of pdf, rendered at 72 dots per inch (one pixel per point).
QImage RenderFirstPage(const QString& pdf, const QString& stem) {
    QProcess tool;
    tool.start(QStringLiteral("pdftoppm"),
               {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, stem});
    EXPECT_TRUE(tool.waitForFinished(30000)) << "pdftoppm (poppler-utils) is needed";
    return QImage(stem + QStringLiteral(".png"));
}

} // namespace

TEST_F(WiringTest, RulesLieUnderTheHeaderAndOverTheFooterOnlyWhenAsked) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty());
    CAppSettings& s = app->Settings();
    s.m_strHeader = "&lHeader";
    s.m_strFooter = "&lFooter";
    s.m_rcPageMargins = {1000, 1000, 1000, 1000};
    Service().Printer().setPageSize(QPageSize(QPageSize::Letter));
    Add(Root(), "Ruled", false);
    Edit()->setPlainText(QStringLiteral("Body text\nmore body text"));

    struct Case {
        bool below, above;
    };
    for (const Case c : {Case{true, true}, Case{false, false}, Case{true, false}}) {
        s.m_bLineBelowHeader = c.below;
        s.m_bLineAboveFooter = c.above;
        const QString stem =
            QString::fromStdString(dir.File("rules")) + QString::number(c.below * 2 + c.above);
        ASSERT_EQ(Service().PrintToPdf(Frame()->PrintCommands().CurrentSource(),
                                       stem + QStringLiteral(".pdf")),
                  PrintResult::Printed);
        const QImage page = RenderFirstPage(stem + QStringLiteral(".pdf"), stem);
        ASSERT_EQ(page.size(), QSize(612, 792)); // Letter in points
        // One-inch margins: the rules run from x = 72 to 540; test well inside them.
        const std::vector<int> rows = RuleRows(page, 90, 520);
        const bool top = std::any_of(rows.begin(), rows.end(), [](int y) { return y < 200; });
        const bool bottom = std::any_of(rows.begin(), rows.end(), [](int y) { return y > 592; });
        EXPECT_EQ(top, c.below) << c.below << c.above;
        EXPECT_EQ(bottom, c.above) << c.below << c.above;
        // A rule stays inside the margins: nothing dark in the left and right margin columns.
        for (int y : rows) {
            EXPECT_GT(qGray(page.pixel(36, y)), 200) << y;
            EXPECT_GT(qGray(page.pixel(576, y)), 200) << y;
        }
    }
}
