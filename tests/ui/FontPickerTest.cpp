// The font name and size boxes and the sample.

#include "app/FontSizes.h"
#include "ui/options/FontPickers.h"

#include <QFontDatabase>
#include <gtest/gtest.h>

#include <map>

TEST(FontPickers, TheNameBoxListsFixedPitchFontsOnlyUntilVariableWidthIsAsked) {
    CFontNameCombo names;
    names.setEditText(QStringLiteral("DejaVu Sans Mono"));
    names.FillFontList(true);
    ASSERT_GT(names.count(), 0);
    for (int i = 0; i < names.count(); ++i)
        EXPECT_TRUE(QFontDatabase::isFixedPitch(names.EntryAt(i)->strFace))
            << names.itemText(i).toStdString();
    // The first listed name that begins with the text.
    const QString chosen = names.currentText();
    EXPECT_TRUE(chosen.startsWith(QStringLiteral("DejaVu Sans Mono"))) << chosen.toStdString();
    const int fixedCount = names.count();

    names.FillFontList(false);
    EXPECT_GT(names.count(), fixedCount);
    EXPECT_EQ(names.currentText(), chosen); // kept
    // Sorted by face, ignoring case; each face's entry of the user's own writing system
    // comes first, the others follow by display text.
    for (int i = 1; i < names.count(); ++i) {
        const CFontEntry* a = names.EntryAt(i - 1);
        const CFontEntry* b = names.EntryAt(i);
        const int byFace = a->strFace.compare(b->strFace, Qt::CaseInsensitive);
        EXPECT_LE(byFace, 0) << names.itemText(i).toStdString();
        if (byFace == 0 && a->nCharSet != names.UserCharSet() &&
            b->nCharSet != names.UserCharSet()) {
            EXPECT_LE(names.itemText(i - 1).compare(names.itemText(i), Qt::CaseInsensitive), 0);
        }
        if (byFace == 0) {
            EXPECT_NE(b->nCharSet, names.UserCharSet()) << names.itemText(i).toStdString();
        }
    }
}

TEST(FontPickers, AFaceInSeveralCharacterSetsIsListedOncePerSetWithItsScript) {
    CFontNameCombo names;
    names.FillFontList(false);
    std::map<QString, int> perFace;
    for (int i = 0; i < names.count(); ++i)
        ++perFace[names.EntryAt(i)->strFace];
    int ambiguous = 0;
    for (int i = 0; i < names.count(); ++i) {
        const CFontEntry* e = names.EntryAt(i);
        if (perFace[e->strFace] > 1) {
            ++ambiguous;
            EXPECT_EQ(names.itemText(i), e->strFace + " (" + e->strScript + ")");
        } else {
            EXPECT_EQ(names.itemText(i), e->strFace);
        }
    }
    EXPECT_GT(ambiguous, 0) << "DejaVu Sans covers several scripts";

    // SelectFont picks the entry of the wanted set; GetSelectedFont puts it into the record.
    names.SelectFont(QStringLiteral("DejaVu Sans"), 204);
    EXPECT_EQ(names.currentText(), QStringLiteral("DejaVu Sans (Cyrillic)"));
    LOGFONT lf;
    ASSERT_TRUE(names.GetSelectedFont(lf));
    EXPECT_STREQ(lf.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(lf.lfCharSet, 204);
    EXPECT_EQ(lf.lfPitchAndFamily & 0x03, 0x02);        // variable pitch
    names.SelectFont(QStringLiteral("DejaVu Sans"), 1); // any set: the first listed
    EXPECT_TRUE(names.currentText().startsWith(QStringLiteral("DejaVu Sans (")));

    // A name that is not listed goes into the record as typed, in the default set.
    names.setCurrentIndex(-1);
    names.setEditText(QStringLiteral("Zq Missing"));
    ASSERT_TRUE(names.GetSelectedFont(lf));
    EXPECT_STREQ(lf.lfFaceName, "Zq Missing");
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(lf.lfPitchAndFamily, 0);
    names.setEditText(QString());
    EXPECT_FALSE(names.GetSelectedFont(lf));
}

TEST(FontPickers, ScalableFacesOfferTheSixteenStandardSizesAndTypedSizesParse) {
    CFontNameCombo names;
    names.FillFontList(false);
    names.SelectFont(QStringLiteral("DejaVu Sans Mono"), DEFAULT_CHARSET);
    CFontSizeCombo sizes;
    sizes.FillSizes(names);
    ASSERT_EQ(sizes.count(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sizes.itemText(i), QString::number(fontsize::kStandardPoints[i]));
    // A bitmap face would list its own sizes; the test machine has only outline fonts.

    sizes.setEditText(QStringLiteral("12"));
    EXPECT_EQ(sizes.GetSize(), 240);
    sizes.setEditText(QStringLiteral("12pt"));
    EXPECT_EQ(sizes.GetSize(), fontsize::kNotNumber);
    sizes.SetSize(200);
    EXPECT_EQ(sizes.currentText(), QStringLiteral("10"));
    EXPECT_EQ(sizes.currentIndex(), 2);
    EXPECT_EQ(sizes.LastSize(), 200);
    sizes.SetSize(0);
    EXPECT_EQ(sizes.currentText(), QString());
    EXPECT_EQ(sizes.currentIndex(), -1);

    LOGFONT lf;
    lf.SetFaceName("DejaVu Sans Mono");
    lf.lfHeight = -15; // 11.25 points at 96 dots per inch
    sizes.SetSizeFromFont(lf, 96);
    EXPECT_EQ(sizes.currentText(), QStringLiteral("11"));
    EXPECT_EQ(sizes.LastSize(), 225);

    // Without a face the list is empty.
    names.setCurrentIndex(-1);
    names.setEditText(QStringLiteral("Zq Missing"));
    sizes.FillSizes(names);
    EXPECT_EQ(sizes.count(), 0);

    CFontSample sample;
    sample.SetLogFont(lf);
    EXPECT_EQ(sample.LogFont(), lf);
}

TEST(FontPickers, FacesAreFamilyNamesWithoutTheirFoundry) {
    // The database calls a family that two foundries make "Family [Foundry]"; the stored face
    // name must be the family, which is how a font is asked for again.
    CFontNameCombo names;
    names.FillFontList(false);
    std::map<QString, int> listed;
    for (int i = 0; i < names.count(); ++i) {
        const CFontEntry* e = names.EntryAt(i);
        ASSERT_NE(e, nullptr);
        EXPECT_FALSE(e->strFace.contains(QStringLiteral(" ["))) << e->strFace.toStdString();
        ++listed[e->strFace];
    }
    for (const QString& family : QFontDatabase::families()) {
        if (family.startsWith(u'@') || QFontDatabase::isPrivateFamily(family))
            continue;
        const QString face = family.left(family.indexOf(QStringLiteral(" [")));
        EXPECT_TRUE(listed.count(face)) << family.toStdString();
    }
}
