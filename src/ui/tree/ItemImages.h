#pragma once
// The twelve item pictures of the tree, 16 x 15 pixels each, in image-code order:
// 0-3 root (book), 4-7 folder, 8-11 textlet (page); +1 open, +2 bookmark ribbon.

#include "store/DataFormat.h"

#include <QImage>
#include <QPixmap>

constexpr int kItemImageCount = 12;
constexpr int kItemImageWidth = 16;
constexpr int kItemImageHeight = 15;

namespace itemimages {

// Draws the pictures once (needs a QGuiApplication); later calls do nothing.
void Create();
// The picture of an image code; codes outside 0..11 get the closest kind's picture.
const QPixmap& Get(int imageCode);
// All twelve pictures side by side on white, as one strip (192 x 15).
QImage Strip();

} // namespace itemimages
