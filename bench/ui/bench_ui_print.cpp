// Printing a 10 MB text to PDF through the page-layout engine: time to the first page, the
// longest gap between pages (how long Cancel can wait) and the total. As a reference in the
// same run, the same text printed by Qt's own document printing (QTextDocument::print), which
// lays the whole text out before its first page.
//
// Build: cmake --build build --target bench_ui_print; run with QT_QPA_PLATFORM=offscreen.
// Arguments: [megabytes, default 10] [--no-reference]

#include "app/Settings.h"
#include "platform/UiServices.h"
#include "ui/print/PrintJob.h"
#include "ui/print/PrintService.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QTextDocument>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

QString MakeText(qsizetype bytes) {
    QString text;
    text.reserve(bytes + 200);
    int n = 0;
    while (text.size() < bytes) {
        text += QStringLiteral("%1\tThe quick brown fox jumps over the lazy dog; line of a long "
                               "textlet.")
                    .arg(++n, 7);
        if (n % 50 == 0) // now and then a paragraph that wraps over several lines
            text += QStringLiteral(" More words follow here to make it wrap.").repeated(8);
        text += u'\n';
    }
    return text;
}

class CTimer : public IPrintProgress {
public:
    explicit CTimer(Clock::time_point start) : m_start(start), m_last(start) {}
    bool OnPage(int page) override {
        const Clock::time_point now = Clock::now();
        if (page == 2)
            firstPage = Seconds(m_start, now);
        if (page > 1)
            maxGap = std::max(maxGap, Seconds(m_last, now));
        m_last = now;
        pages = page;
        return true;
    }
    double firstPage = 0;
    double maxGap = 0;
    int pages = 0;

private:
    Clock::time_point m_start;
    Clock::time_point m_last;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int megabytes = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 10;
    bool reference = true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-reference") == 0)
            reference = false;

    const QString text = MakeText(qsizetype(megabytes) * 1024 * 1024);
    const QString dir = QDir::tempPath();
    CAppSettings settings(96);
    CNullUi ui;
    CPrintService service(settings, ui);
    service.Printer().setPageSize(QPageSize(QPageSize::Letter));
    PRINTSOURCE source;
    source.text = text;
    source.itemTitle = "Benchmark";

    const QString ours = dir + QStringLiteral("/nota_bench_print.pdf");
    const Clock::time_point start = Clock::now();
    CTimer timer(start);
    const PrintResult result = service.PrintToPdf(source, ours, &timer);
    const double total = Seconds(start, Clock::now());
    std::printf("Printing %d MB (%lld characters, %lld lines) to PDF\n", megabytes,
                static_cast<long long>(text.size()), static_cast<long long>(text.count(u'\n')));
    std::printf("  layout engine: %s, %d pages, first page %.3f s, longest page %.3f s, total "
                "%.2f s, %.1f MB written\n",
                result == PrintResult::Printed ? "printed" : "FAILED", timer.pages, timer.firstPage,
                timer.maxGap, total, QFileInfo(ours).size() / 1048576.0);

    if (reference) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir + QStringLiteral("/nota_bench_print_ref.pdf"));
        printer.setPageSize(QPageSize(QPageSize::Letter));
        const Clock::time_point refStart = Clock::now();
        QTextDocument doc;
        doc.setPlainText(text);
        doc.print(&printer);
        std::printf("  reference QTextDocument::print: total %.2f s (its first page comes only "
                    "after the whole text is laid out)\n",
                    Seconds(refStart, Clock::now()));
        QFile::remove(printer.outputFileName());
    }
    QFile::remove(ours);
    return result == PrintResult::Printed ? 0 : 1;
}
