#pragma once

#include <QString>

class QLabel;

// Shows `text` whole in the label's box, drawing it smaller (down to `smallestPixelSize`, then a
// little tighter) where it does not fit; past that it is cut short with an ellipsis. The whole
// text is always the label's accessible name, and its tooltip when cut.
void fitTextInto(QLabel* label, const QString& text, int smallestPixelSize = 9);
