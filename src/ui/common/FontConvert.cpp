#include "ui/common/FontConvert.h"

#include "platform/Encoding.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr BYTE kFixedPitch = 0x01;
constexpr BYTE kVariablePitch = 0x02;
constexpr BYTE kFamilyRoman = 0x10;
constexpr BYTE kFamilySwiss = 0x20;
constexpr BYTE kFamilyModern = 0x30;
constexpr BYTE kFamilyScript = 0x40;
constexpr BYTE kFamilyDecorative = 0x50;
constexpr double kDefaultPoints = 10.0;

std::string FaceOf(const LOGFONT& lf) {
    const char* face = lf.lfFaceName;
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(LF_FACESIZE) && face[n] != '\0')
        ++n;
    return enc::DecodeStored(std::string(face, n));
}

// Faces of Windows fonts that are fixed-pitch, for records that do not say so themselves.
bool IsKnownFixedFace(const QString& face) {
    static const char* const kFaces[] = {"Courier",  "Courier New", "Lucida Console",
                                         "Consolas", "Fixedsys",    "Terminal"};
    for (const char* known : kFaces)
        if (face.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QFont::StyleHint HintOf(BYTE pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
    case kFamilyRoman:
        return QFont::Serif;
    case kFamilySwiss:
        return QFont::SansSerif;
    case kFamilyModern:
        return QFont::TypeWriter;
    case kFamilyScript:
        return QFont::Cursive;
    case kFamilyDecorative:
        return QFont::Decorative;
    default:
        return (pitchAndFamily & 0x03) == kFixedPitch ? QFont::TypeWriter : QFont::AnyStyle;
    }
}

BYTE FamilyOf(QFont::StyleHint hint) {
    switch (hint) {
    case QFont::Serif:
        return kFamilyRoman;
    case QFont::SansSerif:
        return kFamilySwiss;
    case QFont::TypeWriter:
        return kFamilyModern;
    case QFont::Cursive:
        return kFamilyScript;
    case QFont::Decorative:
        return kFamilyDecorative;
    default:
        return 0;
    }
}

} // namespace

int ScreenLogPixelsY() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return std::max(1, static_cast<int>(std::lround(screen->logicalDotsPerInchY())));
    return 96;
}

QFont LogFontToQFont(const LOGFONT& lf, int logPixelsY) {
    QFont font;
    const std::string face = FaceOf(lf);
    if (!face.empty())
        font.setFamily(QString::fromStdString(face));
    QFont::StyleHint hint = HintOf(lf.lfPitchAndFamily);
    if (hint == QFont::AnyStyle && IsKnownFixedFace(QString::fromStdString(face)))
        hint = QFont::TypeWriter;
    font.setStyleHint(hint);
    font.setFixedPitch(hint == QFont::TypeWriter);
    const int dpi = logPixelsY > 0 ? logPixelsY : 96;
    const double pixels = std::abs(static_cast<double>(lf.lfHeight));
    font.setPointSizeF(lf.lfHeight == 0 ? kDefaultPoints
                                        : std::max(1.0, std::min(pixels * 72.0 / dpi, 1000.0)));
    const LONG weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(lf.lfWeight, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

LOGFONT QFontToLogFont(const QFont& font, int logPixelsY) {
    LOGFONT lf;
    const int dpi = logPixelsY > 0 ? logPixelsY : 96;
    if (font.pointSizeF() > 0)
        lf.lfHeight = -static_cast<LONG>(std::lround(font.pointSizeF() * dpi / 72.0));
    else if (font.pixelSize() > 0)
        lf.lfHeight = -font.pixelSize();
    lf.lfWeight = static_cast<LONG>(font.weight());
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    const bool fixed = font.fixedPitch() || QFontInfo(font).fixedPitch();
    lf.lfPitchAndFamily = static_cast<BYTE>((fixed ? kFixedPitch : kVariablePitch) |
                                            FamilyOf(fixed ? QFont::TypeWriter : font.styleHint()));
    const std::string face =
        enc::CutToBytes(FamilyName(font.family()).toStdString(), LF_FACESIZE - 1);
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::memcpy(lf.lfFaceName, face.data(), face.size());
    return lf;
}

QString FamilyName(const QString& databaseName) {
    const qsizetype bracket = databaseName.indexOf(QStringLiteral(" ["));
    if (bracket > 0 && databaseName.endsWith(u']'))
        return databaseName.left(bracket);
    return databaseName;
}
