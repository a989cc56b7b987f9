#include "ui/FitText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

void fitTextInto(QLabel* label, const QString& text, int smallestPixelSize) {
    label->setAccessibleName(text);
    const int room = label->contentsRect().width();
    QFont font = label->font();
    const int largest = QFontInfo(font).pixelSize();
    for (int size = largest; size >= std::min(largest, smallestPixelSize); --size) {
        font.setPixelSize(size);
        for (const int spacing : {100, 95, 90}) {
            font.setLetterSpacing(QFont::PercentageSpacing, spacing);
            if (QFontMetrics(font).horizontalAdvance(text) <= room) {
                label->setFont(font);
                label->setText(text);
                label->setToolTip(QString());
                return;
            }
        }
    }
    font.setLetterSpacing(QFont::PercentageSpacing, 100);
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
    label->setToolTip(text);
}
