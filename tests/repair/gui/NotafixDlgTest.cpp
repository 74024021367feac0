#include "repair/gui/NotaFixDlg.h"
#include "platform/File.h"
#include "repair/gui/HelpViewer.h"
#include "store/DataFormat.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <new>

using namespace nota;

namespace {

// The window with its file dialogs answered from the test.
class CTestFixDlg : public CNotaFixDlg {
public:
    using CNotaFixDlg::CNotaFixDlg;
    QString source, target;
    int sourceAsked = 0, targetAsked = 0;
    bool enabledDuringRun = true;

protected:
    QString ChooseSource() override {
        ++sourceAsked;
        return source;
    }
    QString ChooseTarget() override {
        ++targetAsked;
        return target;
    }
};

CFileBuilder SmallFile() {
    CFileBuilder b;
    DWORD tree = b.AddBlock(0, 0);
    b.SetTreeData(tree);
    DWORD text = b.AddText("hello");
    b.PutChain({tree}, CTreeStreamBuilder()
                           .Item(IMAGE_ROOT, "Notarium")
                           .Leaf(IMAGE_TEXTLET, "Note", text)
                           .End()
                           .Finish());
    return b;
}

QStringList LogLines(const CNotaFixDlg& dlg) {
    return dlg.Log()->toPlainText().split(QLatin1Char('\n'));
}

class NotafixDlgTest : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    CTestFixDlg dlg{ui};

    void SetUp() override {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }
    QString Path(const char* name) const { return QString::fromStdString(dir.File(name)); }
};

} // namespace

TEST_F(NotafixDlgTest, ControlsFollowTheLayoutRules) {
    EXPECT_EQ(dlg.windowTitle(), "Notarium Data File Repair Utility");
    EXPECT_EQ(dlg.RepairButton()->text(), "&Repair File...");
    EXPECT_EQ(dlg.HelpButton()->text(), "&Help");
    EXPECT_EQ(dlg.ExitButton()->text(), "E&xit");
    EXPECT_TRUE(dlg.Log()->isReadOnly());

    QWidget* client = dlg.centralWidget();
    const int m = dlg.Margin();
    const int wR = dlg.RepairButton()->width(), h = dlg.RepairButton()->height();
    const int wH = dlg.HelpButton()->width();
    ASSERT_GT(m, 0);
    for (QSize size : {QSize(900, 500), QSize(400, 300), QSize(10, 10)}) {
        dlg.resize(size);
        QApplication::processEvents();
        int cx = client->width(), cy = client->height();
        EXPECT_GE(cx, 4 * m + 2 * wH + wR);
        EXPECT_GE(cy, 6 * h);
        EXPECT_EQ(dlg.RepairButton()->geometry(), QRect(m, m, wR, h));
        EXPECT_EQ(dlg.HelpButton()->geometry(), QRect(cx - 2 * (wH + m), m, wH, h));
        EXPECT_EQ(dlg.ExitButton()->geometry(), QRect(cx - m - wH, m, wH, h));
        EXPECT_EQ(dlg.Log()->geometry(), QRect(m, 2 * m + h, cx - 2 * m, cy - 5 * m - h));
        EXPECT_EQ(dlg.Progress()->geometry(), QRect(m, cy - 2 * m, cx - 2 * m, m));
    }
    // The smallest window holds the two button groups with their margins and six buttons' height.
    EXPECT_EQ(client->width(), 4 * m + 2 * wH + wR);
    EXPECT_EQ(client->height(), 6 * h);
}

TEST_F(NotafixDlgTest, SuccessfulRunLogsAndShowsTheLastLine) {
    SmallFile().WriteTo(dir.File("in.Nota"));
    dlg.source = Path("in.Nota");
    dlg.target = Path("out"); // no dot: ".Nota" is added
    QTest::mouseClick(dlg.RepairButton(), Qt::LeftButton);

    QStringList lines = LogLines(dlg);
    EXPECT_EQ(lines.first(), "Source file: " + Path("in.Nota"));
    EXPECT_EQ(lines[1], "Target file: " + Path("out.Nota"));
    EXPECT_EQ(lines.last(), "PROCESS COMPLETE: No errors detected");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "PROCESS COMPLETE: No errors detected");
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.Nota")));
    EXPECT_TRUE(dlg.RepairButton()->isEnabled());
    EXPECT_TRUE(dlg.HelpButton()->isEnabled());
    EXPECT_TRUE(dlg.ExitButton()->isEnabled());
    EXPECT_EQ(dlg.Progress()->value(), 0);
    EXPECT_EQ(ui.waitDepth, 0);
}

TEST_F(NotafixDlgTest, CancelInEitherDialogKeepsThePreviousLog) {
    dlg.Log()->setPlainText("previous run");
    dlg.source = "";
    QTest::mouseClick(dlg.RepairButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.targetAsked, 0);
    dlg.source = Path("in.Nota");
    dlg.target = "";
    QTest::mouseClick(dlg.RepairButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.targetAsked, 1);
    EXPECT_EQ(dlg.Log()->toPlainText(), "previous run");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(NotafixDlgTest, FatalAndUnexpectedErrorsShowOneMessage) {
    SmallFile().WriteTo(dir.File("in.Nota"));
    {
        CFile holder(dir.File("in.Nota"), CFile::modeReadWrite | CFile::shareExclusive);
        dlg.RunRepair(Path("in.Nota"), Path("out.Nota"));
    }
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "FATAL ERROR: Unable to open " + dir.File("in.Nota") +
                                    " : A sharing violation occurred while accessing " +
                                    dir.File("in.Nota") + ".");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.Nota")));
    EXPECT_TRUE(dlg.RepairButton()->isEnabled());

    int writes = 0;
    CFile::SetFaultHook([&](CFile::Op op, const std::string& path) {
        // The work file's first write, its header: its blocks are gathered in memory and
        // written in large runs later, the last of them at its commit.
        if (op == CFile::Op::Write && path.find("FIX") != std::string::npos && ++writes == 1)
            throw std::bad_alloc();
    });
    dlg.RunRepair(Path("in.Nota"), Path("out.Nota"));
    CFile::SetFaultHook(nullptr);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "An unexpected error was encountered : Out of memory. :  Last "
                                "status message = \"Writing data to temporary file\"");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.Nota")));
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().substr(0, 3), "FIX");
    EXPECT_TRUE(dlg.ExitButton()->isEnabled());
}

TEST_F(NotafixDlgTest, NotaExtensionOnlyWhenThePathHasNoDot) {
    EXPECT_EQ(CNotaFixDlg::WithNotaExtension("/home/u/data/repaired"),
              "/home/u/data/repaired.Nota");
    EXPECT_EQ(CNotaFixDlg::WithNotaExtension("/home/u/my.data/repaired"),
              "/home/u/my.data/repaired");
    EXPECT_EQ(CNotaFixDlg::WithNotaExtension("/home/u/data/repaired.bak"),
              "/home/u/data/repaired.bak");
}

TEST_F(NotafixDlgTest, HelpAndAbout) {
    QTest::mouseClick(dlg.HelpButton(), Qt::LeftButton);
    auto* viewer = dlg.findChild<CFixHelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->CurrentPage(), "repair.html");
    viewer->close();

    QString title, lines;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        title = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>())
            lines += label->text() + "|";
        box->close();
    });
    QAction* about = nullptr;
    for (QAction* a : dlg.menuBar()->findChildren<QAction*>())
        if (a->text() == "&About NotaFix...")
            about = a;
    ASSERT_NE(about, nullptr);
    about->trigger();
    EXPECT_EQ(title, "About NotaFix");
    EXPECT_TRUE(lines.contains("NotaFix Version 1.50|"));
    EXPECT_TRUE(lines.contains("Notarium Data File Repair Utility|"));
}

TEST_F(NotafixDlgTest, FileDialogFiltersFindNotaFilesInAnyCaseAndAllFiles) {
    for (const char* name : {"a.Nota", "b.nota", "plain", "c.txt"})
        WriteFileBytes(dir.File(name), {'x'});
    QFileDialog fileDlg(&dlg);
    CNotaFixDlg::SetUpFileDialog(fileDlg);
    fileDlg.setDirectory(QString::fromStdString(dir.Path()));
    auto* model = fileDlg.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    QModelIndex root = model->index(QString::fromStdString(dir.Path()));
    auto shown = [&] {
        QStringList names;
        for (int row = 0; row < model->rowCount(root); ++row) {
            QModelIndex index = model->index(row, 0, root);
            // Names that the filter rejects stay in the model but are disabled.
            if (model->flags(index) & Qt::ItemIsEnabled)
                names << model->fileName(index);
        }
        names.sort();
        return names;
    };
    const QStringList nota{"a.Nota", "b.nota"}, all{"a.Nota", "b.nota", "c.txt", "plain"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == nota; }))
        << shown().join(",").toStdString();
    fileDlg.selectNameFilter("All Files (*.*)");
    emit fileDlg.filterSelected("All Files (*.*)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == all; })) << shown().join(",").toStdString();
}
