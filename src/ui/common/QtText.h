#pragma once
// Stored bytes and the text the widgets show. Titles and texts are kept as bytes (UTF-8, or
// Windows-1252 for files made elsewhere); what the user types goes back as UTF-8. Stored texts
// break lines with CR LF, the edit pane with plain line feeds; offsets between the two forms
// are converted here and nowhere else.

#include <QString>

#include <cstddef>
#include <string>

// Stored bytes as text for display.
QString BytesToQString(const std::string& bytes);
// Text as UTF-8 bytes.
std::string QStringToBytes(const QString& text);

// A stored text (CR LF line breaks) as the edit pane shows it (LF line breaks).
QString StoredTextToPane(const std::string& stored);
// The edit pane's text (LF or paragraph separators) as stored bytes with CR LF line breaks.
std::string PaneTextToStored(const QString& text);

// Offset conversions between a stored text and the same text in the edit pane. Offsets past
// the end are clamped; a stored offset inside a CR LF pair or inside a character maps to the
// start of that line break or character.
int StoredOffsetToPane(const std::string& stored, std::size_t offset);
std::size_t PaneOffsetToStored(const std::string& stored, int position);

// Removes leading and trailing blanks: space, tab, line feed, vertical tab, form feed and
// carriage return (other white space, such as a no-break space, stays).
QString TrimBlanks(const QString& text);
