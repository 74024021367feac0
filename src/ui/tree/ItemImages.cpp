#include "ui/tree/ItemImages.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

const QColor kOutline(64, 64, 64);
const QColor kBookCover(30, 70, 150);
const QColor kFolderFill(236, 200, 90);
const QColor kFolderDark(190, 150, 50);
const QColor kPaper(252, 252, 252);
const QColor kLines(120, 120, 160);
const QColor kRibbon(220, 30, 30);

void DrawBook(QPainter& p, bool open) {
    p.setPen(kOutline);
    if (!open) {
        p.setBrush(kBookCover);
        p.drawRect(3, 1, 10, 12);
        p.setBrush(kPaper);
        p.drawRect(11, 2, 2, 10);
        p.setPen(QColor(200, 200, 230));
        p.drawLine(5, 4, 9, 4);
        return;
    }
    p.setBrush(kPaper);
    QPolygon left({QPoint(1, 3), QPoint(7, 4), QPoint(7, 13), QPoint(1, 12)});
    QPolygon right({QPoint(8, 4), QPoint(14, 3), QPoint(14, 12), QPoint(8, 13)});
    p.drawPolygon(left);
    p.drawPolygon(right);
    p.setPen(kBookCover);
    p.drawLine(1, 13, 7, 14);
    p.drawLine(8, 14, 14, 13);
    p.setPen(kLines);
    for (int y = 6; y <= 10; y += 2) {
        p.drawLine(3, y, 5, y);
        p.drawLine(10, y, 12, y);
    }
}

void DrawFolder(QPainter& p, bool open) {
    p.setPen(kOutline);
    p.setBrush(kFolderDark);
    QPolygon back(
        {QPoint(1, 3), QPoint(6, 3), QPoint(7, 5), QPoint(14, 5), QPoint(14, 13), QPoint(1, 13)});
    p.drawPolygon(back);
    p.setBrush(kFolderFill);
    if (open) {
        QPolygon front({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)});
        p.drawPolygon(front);
    } else {
        p.drawRect(1, 6, 13, 7);
    }
}

void DrawPage(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kPaper);
    QPolygon page({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)});
    p.drawPolygon(page);
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
    p.setPen(kLines);
    for (int y = 6; y <= 12; y += 2)
        p.drawLine(5, y, 11, y);
}

void DrawRibbon(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRibbon);
    QPolygon ribbon({QPoint(10, 7), QPoint(15, 7), QPoint(15, 15), QPoint(12, 12), QPoint(10, 15)});
    p.drawPolygon(ribbon);
}

QPixmap Draw(int code) {
    QImage image(kItemImageWidth, kItemImageHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const bool open = code & nota::IMAGE_OPEN;
    if (code < nota::IMAGE_FOLDER)
        DrawBook(p, open);
    else if (code < nota::IMAGE_TEXTLET)
        DrawFolder(p, open);
    else
        DrawPage(p);
    if (code & nota::IMAGE_BOOKMARK)
        DrawRibbon(p);
    p.end();
    return QPixmap::fromImage(image);
}

std::array<QPixmap, kItemImageCount>& Pictures() {
    static std::array<QPixmap, kItemImageCount> pictures;
    return pictures;
}

} // namespace

namespace itemimages {

void Create() {
    auto& pictures = Pictures();
    if (!pictures[0].isNull())
        return;
    for (int code = 0; code < kItemImageCount; ++code)
        pictures[static_cast<std::size_t>(code)] = Draw(code);
}

const QPixmap& Get(int imageCode) {
    Create();
    int code = imageCode;
    if (code < 0)
        code = nota::IMAGE_ROOT;
    else if (code >= kItemImageCount)
        code = nota::IMAGE_TEXTLET | (code & nota::IMAGE_BOOKMARK);
    return Pictures()[static_cast<std::size_t>(code)];
}

QImage Strip() {
    QImage strip(kItemImageWidth * kItemImageCount, kItemImageHeight, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    for (int code = 0; code < kItemImageCount; ++code)
        p.drawPixmap(code * kItemImageWidth, 0, Get(code));
    return strip;
}

} // namespace itemimages
