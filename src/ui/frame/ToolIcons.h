#pragma once
// The toolbar pictures, drawn here so that they stay sharp at any scale.

#include <QIcon>

#include <vector>

class QPalette;

// The picture named by a command table entry ("new", "open", ...); a null icon for an
// unknown name. Lines that stand on the toolbar take the palette's text colour and coloured
// marks keep a contrast of at least kMinIconContrast with its window colour, so the pictures
// stay visible under a dark theme. Without a palette: the application's.
QIcon ToolIcon(const char* name);
QIcon ToolIcon(const char* name, const QPalette& palette);
// Every name ToolIcon knows.
std::vector<const char*> ToolIconNames();

// The contrast ratio of two colours by their relative luminance (1 to 21), and the least
// that the pictures' marks keep with the toolbar's background.
double ToolIconContrast(const QColor& a, const QColor& b);
inline constexpr double kMinIconContrast = 3.0;
// The program's own icon (an open book).
QIcon AppIcon();

// The program's resources (help pages, icons) live in a static library; this links them in
// and registers them. Safe to call more than once.
void InitNotariumResources();
