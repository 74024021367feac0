// The tool pictures under a light and a dark theme: each stands out from the toolbar's
// background, as measured by the contrast ratio of its pixels; the window redraws them when
// the palette changes while it runs.

#include "AppFixture.h"

#include "ui/frame/ToolIcons.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

namespace {

QPalette DarkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), text(230, 230, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    return p;
}

QPalette LightPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(239, 239, 239));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Button, QColor(239, 239, 239));
    p.setColor(QPalette::ButtonText, Qt::black);
    return p;
}

// The share of an icon's visible pixels, laid over the background, that stand out from it.
struct Visibility {
    int inked = 0;    // pixels the picture covers
    int standing = 0; // of those, pixels with enough contrast
};

Visibility Measure(const QIcon& icon, const QColor& background) {
    QImage image(16, 15, QImage::Format_ARGB32);
    image.fill(background);
    {
        QPainter p(&image);
        icon.paint(&p, QRect(0, 0, 16, 15));
    }
    QImage bare(16, 15, QImage::Format_ARGB32);
    bare.fill(Qt::transparent);
    {
        QPainter p(&bare);
        icon.paint(&p, QRect(0, 0, 16, 15));
    }
    Visibility v;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(bare.pixel(x, y)) < 128)
                continue;
            ++v.inked;
            if (ToolIconContrast(image.pixelColor(x, y), background) >= kMinIconContrast)
                ++v.standing;
        }
    return v;
}

void ExpectAllStandOut(const QPalette& palette, const char* theme) {
    const QColor background = palette.color(QPalette::Window);
    for (const char* name : ToolIconNames()) {
        const Visibility v = Measure(ToolIcon(name, palette), background);
        ASSERT_GT(v.inked, 0) << name;
        // A quarter of what is drawn must stand out: the lines and marks, not only a fill.
        EXPECT_TRUE(v.standing * 4 >= v.inked && v.standing >= 10)
            << theme << ": '" << name << "' shows " << v.standing << " of " << v.inked
            << " pixels against its background";
    }
}

} // namespace

TEST(ToolIconsTest, EveryPictureStandsOutUnderALightAndADarkTheme) {
    ExpectAllStandOut(LightPalette(), "light");
    ExpectAllStandOut(DarkPalette(), "dark");
}

class ToolIconsWindowTest : public OpenWindowTest {};

TEST_F(ToolIconsWindowTest, ADarkPaletteChosenWhileRunningRedrawsTheToolbarsPictures) {
    OpenWindow("dark.Nota");
    const QPalette dark = DarkPalette();
    Frame()->setPalette(dark);
    QApplication::processEvents();
    const Visibility cut =
        Measure(Frame()->Action(ID_EDIT_CUT)->icon(), dark.color(QPalette::Window));
    EXPECT_TRUE(cut.standing * 4 >= cut.inked && cut.standing >= 10)
        << cut.standing << " of " << cut.inked;
    Frame()->setPalette(QPalette());
}

// With NOTA_ICON_SHEET=FILE.png, writes every picture at twice its size on the light and the
// dark toolbar, one row each, to look at.
TEST(ToolIconsTest, SheetToLookAt) {
    const QByteArray file = qgetenv("NOTA_ICON_SHEET");
    if (file.isEmpty())
        GTEST_SKIP() << "NOTA_ICON_SHEET not set";
    const std::vector<const char*> names = ToolIconNames();
    QImage sheet(static_cast<int>(names.size()) * 40 + 8, 88, QImage::Format_ARGB32);
    QPainter p(&sheet);
    int y = 4;
    for (const QPalette& palette : {LightPalette(), DarkPalette()}) {
        p.fillRect(QRect(0, y - 4, sheet.width(), 44), palette.color(QPalette::Window));
        int x = 8;
        for (const char* name : names) {
            ToolIcon(name, palette).paint(&p, QRect(x, y + 2, 32, 30));
            x += 40;
        }
        y += 44;
    }
    p.end();
    EXPECT_TRUE(sheet.save(QString::fromLocal8Bit(file)));
}
