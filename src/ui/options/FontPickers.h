#pragma once
// The three font controls of the Editor page: the name box (the screen's fonts, once per
// character set a face supports, scalable faces marked with a glyph), the size box (the sizes
// the chosen face really has) and the sample. Sizes are in twentieths of a point.

#include "app/Records.h"

#include <QComboBox>
#include <QFrame>
#include <QString>
#include <vector>

// One listed font.
struct CFontEntry {
    QString strFace;
    QString strScript; // the character set's name
    BYTE nCharSet = DEFAULT_CHARSET;
    BYTE nPitchAndFamily = 0;
    int nType = 0; // kTrueType for a scalable outline font
    static constexpr int kTrueType = 0x200;
};

// What both boxes share: an editable combo box with look-ups that ignore case.
class CFontComboBase : public QComboBox {
    Q_OBJECT
public:
    explicit CFontComboBase(QWidget* parent = nullptr);
    // The selected item's text, else the text in the edit field.
    QString GetBoxText() const;
    // Selects the first item equal to text (exact) or beginning with it; with none, selects
    // nothing and puts text into the edit field.
    void SelectByText(const QString& text, bool exact);
    void LimitText(int n);
    int TextLimit() const { return m_nLimit; }
    // The index of the item whose text equals text, ignoring case; -1 for none.
    int FindExact(const QString& text) const;

protected:
    // Scrolls the edit field to the start of its text.
    void ShowTextStart();

private:
    int m_nLimit = 0;
};

class CFontNameCombo : public CFontComboBase {
    Q_OBJECT
public:
    explicit CFontNameCombo(QWidget* parent = nullptr);

    // Lists the screen's fonts; only fixed-pitch ones while fixedOnly. Keeps the present text
    // selected when it is still listed (or begins a listed name).
    void FillFontList(bool fixedOnly);
    // The chosen face into the record's face name, character set and pitch and family; false
    // when the box is empty. A typed beginning of a name selects the first name with it.
    bool GetSelectedFont(LOGFONT& lf);
    // Selects the entry of face in charset (any set for DEFAULT_CHARSET).
    void SelectFont(const QString& face, BYTE charSet);
    const CFontEntry* EntryAt(int index) const;
    // The face of the item exactly matching the box's text, or empty.
    QString ChosenFace() const;

    int m_nFixedOnly = 500; // neither 0 nor 1: the first filling always happens
    // The character set listed first for each face: -1 (the default) for the one of the
    // user's locale's script; a test sets another.
    int m_nUserCharSet = -1;
    BYTE UserCharSet() const;

private:
    std::vector<CFontEntry> m_entries;
};

class CFontSizeCombo : public CFontComboBase {
    Q_OBJECT
public:
    explicit CFontSizeCombo(QWidget* parent = nullptr);

    // The sizes of the face chosen in names: sixteen standard sizes for a scalable face, the
    // face's own sizes in ascending order for a bitmap face; nothing without a face.
    void FillSizes(const CFontNameCombo& names);
    // The size in the box: fontsize::kEmpty, kNotNumber, 0 for zero or less, else twentieths.
    int GetSize() const;
    void SetSize(int twentieths);
    // Shows the size of the font that lf really gives at logPixelsY.
    void SetSizeFromFont(const LOGFONT& lf, int logPixelsY);
    int LastSize() const { return m_nLastSize; }

private:
    int m_nLastSize = 0;
    void AddSize(int twentieths);
};

// "AaBbYyZz" in the chosen font, centred.
class CFontSample : public QFrame {
    Q_OBJECT
public:
    explicit CFontSample(QWidget* parent = nullptr);
    void SetLogFont(const LOGFONT& lf);
    const LOGFONT& LogFont() const { return m_lf; }
    static constexpr const char* kSampleText = "AaBbYyZz";

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LOGFONT m_lf;
};
