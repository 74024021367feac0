#include "ui/frame/ToolIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

using Painter = std::function<void(QPainter&)>;

// Outlines of shapes filled with paper, which stand out by their fill on any background.
const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kFolder(235, 190, 60);
const QColor kBlue(40, 90, 200);
const QColor kGreen(30, 150, 50);
const QColor kRed(200, 30, 30);

// What the pictures are drawn against and with while one is rendered: lines that stand on
// the toolbar itself take the palette's text colour, and coloured marks are lightened or
// darkened until they stand out from the palette's background (a dark theme's as much as a
// light one's).
struct Scheme {
    QColor background{240, 240, 240};
    QColor ink{40, 40, 40};
} g_scheme;

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// A colour of c's hue that stands out from the background.
QColor Seen(const QColor& c) {
    const bool dark = Luminance(g_scheme.background) < 0.4;
    QColor out = c;
    for (int i = 0; i < 12 && ToolIconContrast(out, g_scheme.background) < kMinIconContrast; ++i)
        out = dark ? out.lighter(125) : out.darker(125);
    if (ToolIconContrast(out, g_scheme.background) < kMinIconContrast)
        out = g_scheme.ink;
    return out;
}

QColor Ink() {
    return g_scheme.ink;
}

void Page(QPainter& p, QRectF r, bool lines = true) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(path);
    if (lines) {
        p.setPen(QPen(QColor(120, 120, 120), 1));
        for (qreal y = r.top() + 4; y < r.bottom() - 1; y += 2.5)
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

void Arrow(QPainter& p, QPointF tip, bool down, const QColor& color) {
    const QColor c = Seen(color);
    const qreal d = down ? -1 : 1;
    QPolygonF tri{tip, QPointF(tip.x() - 3, tip.y() + 3 * d),
                  QPointF(tip.x() + 3, tip.y() + 3 * d)};
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(tri);
    p.fillRect(QRectF(tip.x() - 1, tip.y() + (down ? -6 : 3), 2, 3), c);
}

void Ribbon(QPainter& p, QRectF r) {
    QPolygonF shape{r.topLeft(), r.topRight(), r.bottomRight(),
                    QPointF(r.center().x(), r.bottom() - r.width() / 2), r.bottomLeft()};
    p.setPen(QPen(Seen(kRed.darker(140)), 1));
    p.setBrush(Seen(kRed));
    p.drawPolygon(shape);
}

void Magnifier(QPainter& p, QPointF c, qreal radius) {
    p.setPen(QPen(Ink(), 2));
    p.drawLine(c + QPointF(radius * 0.7, radius * 0.7), c + QPointF(radius * 1.8, radius * 1.8));
    p.setPen(QPen(Ink(), 1.2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(c, radius, radius);
}

void BoxSign(QPainter& p, bool plus) {
    p.setPen(QPen(Seen(QColor(120, 120, 120)), 1));
    p.drawLine(QPointF(4, 1), QPointF(4, 14));
    p.drawLine(QPointF(4, 8), QPointF(8, 8));
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(7.5, 4.5, 7, 7));
    p.drawLine(QPointF(9.5, 8), QPointF(12.5, 8));
    if (plus)
        p.drawLine(QPointF(11, 6.5), QPointF(11, 9.5));
}

void Folder(QPainter& p, bool open) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kFolder.darker(115));
    p.drawRect(QRectF(1.5, 3.5, 12, 10));
    if (open) {
        QPolygonF front{QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                        QPointF(1.5, 13.5)};
        p.setBrush(kFolder);
        p.drawPolygon(front);
    }
}

void Clock(QPainter& p) {
    p.setPen(QPen(Ink(), 1));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(1.5, 1, 13, 13));
    p.setPen(QPen(kBlue, 1.4));
    p.drawLine(QPointF(8, 7.5), QPointF(8, 3.5));
    p.drawLine(QPointF(8, 7.5), QPointF(11, 9));
}

void Scissors(QPainter& p) {
    p.setPen(QPen(Ink(), 1.3));
    p.drawLine(QPointF(4, 1), QPointF(10, 10));
    p.drawLine(QPointF(12, 1), QPointF(6, 10));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Seen(kBlue), 1.4));
    p.drawEllipse(QRectF(2, 9.5, 4.5, 4.5));
    p.drawEllipse(QRectF(9.5, 9.5, 4.5, 4.5));
}

void Clipboard(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(170, 120, 60));
    p.drawRect(QRectF(1.5, 2.5, 10, 12));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(4.5, 1.5, 4, 2));
    Page(p, QRectF(6.5, 5.5, 8, 9));
}

void Printer(QPainter& p) {
    Page(p, QRectF(4.5, 1.5, 7, 6), false);
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(1.5, 6.5, 13, 5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3.5, 10.5, 9, 3));
    p.fillRect(QRectF(12, 8, 1.5, 1.5), Seen(kGreen));
}

const std::pair<const char*, Painter> kPainters[] = {
    {"new", [](QPainter& p) { Page(p, QRectF(2.5, 0.5, 10, 14), false); }},
    {"open", [](QPainter& p) { Folder(p, true); }},
    {"cut", Scissors},
    {"copy",
     [](QPainter& p) {
         Page(p, QRectF(1.5, 0.5, 8, 10));
         Page(p, QRectF(6.5, 4.5, 8, 10));
     }},
    {"paste", Clipboard},
    {"quickcopy",
     [](QPainter& p) {
         Page(p, QRectF(1.5, 0.5, 9, 13));
         QPolygonF bolt{QPointF(12, 3), QPointF(9, 9),  QPointF(12, 9),  QPointF(10, 15),
                        QPointF(15, 7), QPointF(12, 7), QPointF(14.5, 3)};
         p.setPen(QPen(QColor(150, 110, 0), 0.8));
         p.setBrush(QColor(255, 210, 0));
         p.drawPolygon(bolt);
     }},
    {"datetime", Clock},
    {"additem",
     [](QPainter& p) {
         Page(p, QRectF(1.5, 0.5, 9, 13));
         p.fillRect(QRectF(9, 9.5, 7, 2), Seen(kGreen));
         p.fillRect(QRectF(11.5, 7, 2, 7), Seen(kGreen));
     }},
    {"deleteitem",
     [](QPainter& p) {
         p.setPen(QPen(Seen(kRed), 2.4, Qt::SolidLine, Qt::RoundCap));
         p.drawLine(QPointF(3, 3), QPointF(13, 12));
         p.drawLine(QPointF(13, 3), QPointF(3, 12));
     }},
    {"expandall", [](QPainter& p) { BoxSign(p, true); }},
    {"collapseall", [](QPainter& p) { BoxSign(p, false); }},
    {"find", [](QPainter& p) { Magnifier(p, QPointF(6, 6), 4); }},
    {"findnext",
     [](QPainter& p) {
         Magnifier(p, QPointF(5.5, 5.5), 3.5);
         Arrow(p, QPointF(13, 14.5), true, kBlue);
     }},
    {"findprev",
     [](QPainter& p) {
         Magnifier(p, QPointF(5.5, 5.5), 3.5);
         Arrow(p, QPointF(13, 7.5), false, kBlue);
     }},
    {"print", Printer},
    {"togglebookmark", [](QPainter& p) { Ribbon(p, QRectF(4.5, 0.5, 7, 14)); }},
    {"nextbookmark",
     [](QPainter& p) {
         Ribbon(p, QRectF(1.5, 0.5, 6, 13));
         Arrow(p, QPointF(12, 14.5), true, kBlue);
     }},
    {"prevbookmark",
     [](QPainter& p) {
         Ribbon(p, QRectF(1.5, 0.5, 6, 13));
         Arrow(p, QPointF(12, 7.5), false, kBlue);
     }},
    {"bookmarks",
     [](QPainter& p) {
         Page(p, QRectF(1.5, 0.5, 11, 14));
         Ribbon(p, QRectF(9.5, 6.5, 5, 8));
     }},
    {"removebookmarks",
     [](QPainter& p) {
         Ribbon(p, QRectF(1.5, 0.5, 6, 13));
         p.setPen(QPen(Ink(), 1.8));
         p.drawLine(QPointF(9.5, 8), QPointF(15, 13.5));
         p.drawLine(QPointF(15, 8), QPointF(9.5, 13.5));
     }},
    {"app",
     [](QPainter& p) {
         p.setPen(QPen(kInk, 0.8));
         p.setBrush(QColor(60, 100, 170));
         p.drawRect(QRectF(0.5, 2.5, 15, 11));
         Page(p, QRectF(1.5, 1.5, 6.5, 11));
         Page(p, QRectF(8, 1.5, 6.5, 11));
     }},
};

QPixmap Render(const Painter& paint, int scale) {
    QPixmap pix(16 * scale, 15 * scale);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale * 15.0 / 16.0);
    paint(p);
    return pix;
}

} // namespace

double ToolIconContrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QIcon ToolIcon(const char* name) {
    return ToolIcon(name, QApplication::palette());
}

QIcon ToolIcon(const char* name, const QPalette& palette) {
    if (!name)
        return {};
    for (const auto& [key, paint] : kPainters) {
        if (std::strcmp(key, name) == 0) {
            g_scheme = {palette.color(QPalette::Window), palette.color(QPalette::WindowText)};
            QIcon icon;
            for (int scale : {1, 2, 3})
                icon.addPixmap(Render(paint, scale));
            return icon;
        }
    }
    return {};
}

std::vector<const char*> ToolIconNames() {
    std::vector<const char*> names;
    for (const auto& entry : kPainters)
        names.push_back(entry.first);
    return names;
}

QIcon AppIcon() {
    InitNotariumResources();
    QIcon icon(QStringLiteral(":/icons/notarium.png"));
    return icon.isNull() ? ToolIcon("app") : icon;
}

static void RegisterNotariumResources() {
    Q_INIT_RESOURCE(notarium);
}

void InitNotariumResources() {
    static const bool bDone = (RegisterNotariumResources(), true);
    (void)bDone;
}
