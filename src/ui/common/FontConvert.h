#pragma once
// The one place where a stored font description (LOGFONT) and a Qt font meet. Heights follow
// the stored record's rule: negative = character height in pixels at logPixelsY dots per inch,
// positive = cell height, 0 = the default size.

#include "app/Records.h"

#include <QFont>

// Vertical resolution of the primary screen (96 without a screen).
int ScreenLogPixelsY();

QFont LogFontToQFont(const LOGFONT& lf, int logPixelsY);
LOGFONT QFontToLogFont(const QFont& font, int logPixelsY);

// The family of a font database name: where two foundries make one family the database
// calls it "Family [Foundry]"; a face name stores the family alone, which is how a font is
// asked for again.
QString FamilyName(const QString& databaseName);
