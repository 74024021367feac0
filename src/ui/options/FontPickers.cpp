#include "ui/options/FontPickers.h"

#include "app/FontSizes.h"
#include "ui/common/FontConvert.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr BYTE kAnsiCharset = 0;
constexpr BYTE kSymbolCharset = 2;
constexpr BYTE kFixedPitch = 0x01;
constexpr BYTE kVariablePitch = 0x02;
constexpr BYTE kFamilyModern = 0x30;

struct Charset {
    QFontDatabase::WritingSystem system;
    BYTE nCharSet;
    const char* script;
};

// The writing systems that stand for a character set of a stored font record.
constexpr Charset kCharsets[] = {
    {QFontDatabase::Latin, kAnsiCharset, "Western"},
    {QFontDatabase::Greek, 161, "Greek"},
    {QFontDatabase::Cyrillic, 204, "Cyrillic"},
    {QFontDatabase::Hebrew, 177, "Hebrew"},
    {QFontDatabase::Arabic, 178, "Arabic"},
    {QFontDatabase::Thai, 222, "Thai"},
    {QFontDatabase::Vietnamese, 163, "Vietnamese"},
    {QFontDatabase::Japanese, 128, "Japanese"},
    {QFontDatabase::Korean, 129, "Hangul"},
    {QFontDatabase::SimplifiedChinese, 134, "CHINESE_GB2312"},
    {QFontDatabase::TraditionalChinese, 136, "CHINESE_BIG5"},
    {QFontDatabase::Symbol, kSymbolCharset, "Symbol"},
};

QIcon TrueTypeGlyph() {
    static const QIcon icon = [] {
        QPixmap pixmap(16, 15);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        QFont font = QApplication::font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0, 0, 128));
        p.drawText(QRect(0, 0, 10, 12), Qt::AlignCenter, QStringLiteral("T"));
        p.setPen(QColor(128, 128, 128));
        p.drawText(QRect(5, 3, 10, 12), Qt::AlignCenter, QStringLiteral("T"));
        return QIcon(pixmap);
    }();
    return icon;
}

} // namespace

// ---- common base ----------------------------------------------------------------------------

CFontComboBase::CFontComboBase(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // No completion while typing: it would take the Enter meant for the dialog's default
    // button. A typed beginning is completed when the box is left (SelectByText).
    setCompleter(nullptr);
}

QString CFontComboBase::GetBoxText() const {
    return currentIndex() >= 0 && itemText(currentIndex()) == currentText()
               ? itemText(currentIndex())
               : currentText();
}

int CFontComboBase::FindExact(const QString& text) const {
    for (int i = 0; i < count(); ++i)
        if (itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void CFontComboBase::SelectByText(const QString& text, bool exact) {
    int found = -1;
    if (!text.isEmpty()) {
        if (exact) {
            found = FindExact(text);
        } else {
            for (int i = 0; i < count() && found < 0; ++i)
                if (itemText(i).startsWith(text, Qt::CaseInsensitive))
                    found = i;
        }
    }
    if (found >= 0) {
        if (currentIndex() != found)
            setCurrentIndex(found);
        setEditText(itemText(found));
    } else {
        setCurrentIndex(-1);
        setEditText(text);
    }
    ShowTextStart();
}

void CFontComboBase::ShowTextStart() {
    if (lineEdit())
        lineEdit()->setCursorPosition(0); // a long name shows its beginning, not its end
}

void CFontComboBase::LimitText(int n) {
    m_nLimit = n;
    if (lineEdit())
        lineEdit()->setMaxLength(n);
}

// ---- names ----------------------------------------------------------------------------------

CFontNameCombo::CFontNameCombo(QWidget* parent) : CFontComboBase(parent) {
    setIconSize(QSize(16, 15));
}

void CFontNameCombo::FillFontList(bool fixedOnly) {
    const QString remembered = GetBoxText();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nFixedOnly = fixedOnly ? 1 : 0;
    blockSignals(true);
    clear();
    m_entries.clear();

    std::vector<CFontEntry> found;
    std::set<QString> seen;
    for (const QString& family : QFontDatabase::families()) {
        if (family.startsWith(u'@') || QFontDatabase::isPrivateFamily(family))
            continue;
        const bool fixed = QFontDatabase::isFixedPitch(family);
        if (fixedOnly && !fixed)
            continue;
        const QString face = FamilyName(family);
        if (!seen.insert(face).second)
            continue;
        CFontEntry base;
        base.strFace = face;
        base.nPitchAndFamily = fixed ? (kFixedPitch | kFamilyModern) : kVariablePitch;
        base.nType = QFontDatabase::isSmoothlyScalable(family) ? CFontEntry::kTrueType : 0;
        const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
        bool any = false;
        for (const Charset& cs : kCharsets)
            if (systems.contains(cs.system)) {
                CFontEntry e = base;
                e.nCharSet = cs.nCharSet;
                e.strScript = QString::fromLatin1(cs.script);
                found.push_back(e);
                any = true;
            }
        if (!any) {
            base.nCharSet = DEFAULT_CHARSET;
            found.push_back(base);
        }
    }
    std::map<QString, int> faces;
    for (const CFontEntry& e : found)
        ++faces[e.strFace];
    m_entries = std::move(found);

    std::vector<std::pair<QString, int>> items;
    for (int i = 0; i < static_cast<int>(m_entries.size()); ++i) {
        const CFontEntry& e = m_entries[i];
        QString text = e.strFace;
        if (faces[e.strFace] > 1 && !e.strScript.isEmpty())
            text += QStringLiteral(" (") + e.strScript + u')';
        items.emplace_back(text, i);
    }
    // By face; within a face the user's own writing system first, so that a face typed or
    // asked for by its name alone (the first entry that begins with it) is that one.
    const BYTE own = UserCharSet();
    auto key = [&](const std::pair<QString, int>& item) {
        const CFontEntry& e = m_entries[item.second];
        return std::make_tuple(e.strFace.toCaseFolded(), e.nCharSet == own ? 0 : 1,
                               item.first.toCaseFolded());
    };
    std::stable_sort(items.begin(), items.end(),
                     [&](const auto& a, const auto& b) { return key(a) < key(b); });
    for (const auto& [text, index] : items) {
        if (m_entries[index].nType == CFontEntry::kTrueType)
            addItem(TrueTypeGlyph(), text, index);
        else
            addItem(text, index);
    }
    SelectByText(remembered, false);
    blockSignals(false);
    // The list is as wide as its longest name, so that similar names can be told apart.
    view()->setTextElideMode(Qt::ElideRight);
    view()->setMinimumWidth(view()->sizeHintForColumn(0) +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    QApplication::restoreOverrideCursor();
}

BYTE CFontNameCombo::UserCharSet() const {
    if (m_nUserCharSet >= 0)
        return static_cast<BYTE>(m_nUserCharSet);
    const QLocale locale = QLocale::system();
    switch (locale.script()) {
    case QLocale::GreekScript:
        return 161;
    case QLocale::CyrillicScript:
        return 204;
    case QLocale::HebrewScript:
        return 177;
    case QLocale::ArabicScript:
        return 178;
    case QLocale::ThaiScript:
        return 222;
    case QLocale::JapaneseScript:
        return 128;
    case QLocale::KoreanScript:
        return 129;
    case QLocale::SimplifiedHanScript:
        return 134;
    case QLocale::TraditionalHanScript:
        return 136;
    default:
        return locale.language() == QLocale::Vietnamese ? 163 : kAnsiCharset;
    }
}

const CFontEntry* CFontNameCombo::EntryAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    bool ok = false;
    const int i = itemData(index).toInt(&ok);
    if (!ok || i < 0 || i >= static_cast<int>(m_entries.size()))
        return nullptr;
    return &m_entries[i];
}

QString CFontNameCombo::ChosenFace() const {
    const CFontEntry* e = EntryAt(FindExact(GetBoxText()));
    return e ? e->strFace : QString();
}

bool CFontNameCombo::GetSelectedFont(LOGFONT& lf) {
    SelectByText(GetBoxText(), false);
    const QString text = GetBoxText();
    if (text.isEmpty())
        return false;
    std::string face;
    if (const CFontEntry* e = EntryAt(FindExact(text))) {
        face = e->strFace.toStdString();
        lf.lfCharSet = e->nCharSet;
        lf.lfPitchAndFamily = e->nPitchAndFamily;
    } else {
        face = text.toStdString();
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfPitchAndFamily = 0;
    }
    if (face.size() > static_cast<std::size_t>(LF_FACESIZE - 1))
        face.resize(LF_FACESIZE - 1);
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::memcpy(lf.lfFaceName, face.data(), face.size());
    return true;
}

void CFontNameCombo::SelectFont(const QString& face, BYTE charSet) {
    for (int i = 0; i < count(); ++i) {
        if (!itemText(i).startsWith(face, Qt::CaseInsensitive))
            continue;
        const CFontEntry* e = EntryAt(i);
        if (e && e->strFace == face && (charSet == DEFAULT_CHARSET || e->nCharSet == charSet)) {
            if (currentIndex() != i)
                setCurrentIndex(i);
            setEditText(itemText(i));
            ShowTextStart();
            return;
        }
    }
    SelectByText(face, true);
}

// ---- sizes ----------------------------------------------------------------------------------

CFontSizeCombo::CFontSizeCombo(QWidget* parent) : CFontComboBase(parent) {}

void CFontSizeCombo::FillSizes(const CFontNameCombo& names) {
    const QString face = names.ChosenFace();
    const QString keep = currentText();
    blockSignals(true);
    clear();
    if (!face.isEmpty()) {
        const QList<int> own =
            QFontDatabase::isSmoothlyScalable(face) || QFontDatabase::isScalable(face)
                ? QList<int>()
                : QFontDatabase::pointSizes(face);
        if (own.isEmpty()) {
            for (int points : fontsize::kStandardPoints)
                addItem(QString::number(points));
        } else {
            for (int points : own)
                AddSize(points * 20);
        }
    }
    setEditText(keep);
    blockSignals(false);
}

void CFontSizeCombo::AddSize(int size) {
    const QString text = QString::fromStdString(fontsize::ToText(size));
    for (int i = 0; i < count(); ++i)
        if (itemText(i) == text)
            return;
    int at = count();
    for (int i = 0; i < count(); ++i)
        if (itemData(i).toInt() > size) {
            at = i;
            break;
        }
    insertItem(at, text, size);
}

int CFontSizeCombo::GetSize() const {
    return fontsize::Parse(GetBoxText().toStdString());
}

void CFontSizeCombo::SetSize(int size) {
    if (size != GetSize())
        SelectByText(QString::fromStdString(fontsize::ToText(size)), true);
    m_nLastSize = size;
}

void CFontSizeCombo::SetSizeFromFont(const LOGFONT& lf, int logPixelsY) {
    const QFont font = LogFontToQFont(lf, logPixelsY);
    const double points = QFontInfo(font).pointSizeF();
    SetSize(static_cast<int>(std::lround(points * 20.0)));
}

// ---- sample ---------------------------------------------------------------------------------

CFontSample::CFontSample(QWidget* parent) : QFrame(parent) {
    setMinimumSize(120, 40);
}

void CFontSample::SetLogFont(const LOGFONT& lf) {
    m_lf = lf;
    update();
}

void CFontSample::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setFont(LogFontToQFont(m_lf, ScreenLogPixelsY()));
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(kSampleText));
}
