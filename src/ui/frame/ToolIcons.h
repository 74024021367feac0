#pragma once
// The toolbar pictures, drawn here so that they stay sharp at any scale.

#include <QIcon>

// The picture named by a command table entry ("new", "open", ...); a null icon for an
// unknown name.
QIcon ToolIcon(const char* name);
// The program's own icon (an open book).
QIcon AppIcon();

// The program's resources (help pages, icons) live in a static library; this links them in
// and registers them. Safe to call more than once.
void InitNotariumResources();
