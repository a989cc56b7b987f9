#include "ui/MenuColours.h"

#include <QPalette>

namespace {

// `amount` of `over` laid on `base`.
QColor mix(const QColor& base, const QColor& over, double amount) {
    const auto channel = [&](double a, double b) { return int(a + (b - a) * amount + 0.5); };
    return QColor(channel(base.red(), over.red()), channel(base.green(), over.green()),
                  channel(base.blue(), over.blue()));
}

MenuColours lightLook() {
    MenuColours c;
    c.frame = QColor(0x7f, 0x9d, 0xb9);
    c.background = Qt::white;
    c.foldedBackground = QColor(0xf3, 0xf7, 0xfc);
    c.headerTop = QColor(0xf8, 0xfb, 0xff);
    c.headerBottom = QColor(0xd7, 0xe5, 0xf6);
    c.hoveredHeaderTop = Qt::white;
    c.hoveredHeaderBottom = QColor(0xe2, 0xed, 0xfa);
    c.openHeaderTop = QColor(0xea, 0xf3, 0xfd);
    c.openHeaderBottom = QColor(0xbf, 0xd6, 0xf2);
    c.headerHighlight = Qt::white;
    c.headerRule = QColor(0x9d, 0xb8, 0xda);
    c.headerText = QColor(0x12, 0x35, 0x5f);
    c.arrow = QColor(0x2b, 0x57, 0x97);
    c.itemText = QColor(0x1f, 0x1f, 0x1f);
    c.itemRule = QColor(0xee, 0xf3, 0xf9);
    c.bullet = QColor(0x8a, 0xae, 0xd8);
    c.hover = QColor(0xe7, 0xf0, 0xfb);
    c.selectedTop = QColor(0x4b, 0x9a, 0xec);
    c.selectedBottom = QColor(0x2a, 0x78, 0xd4);
    c.selectedText = Qt::white;
    return c;
}

MenuColours darkLook(const QPalette& p) {
    const QColor base = p.color(QPalette::Active, QPalette::Base);
    const QColor text = p.color(QPalette::Active, QPalette::Text);
    const QColor button = p.color(QPalette::Active, QPalette::Button);
    const QColor buttonText = p.color(QPalette::Active, QPalette::ButtonText);
    const QColor highlight = p.color(QPalette::Active, QPalette::Highlight);
    MenuColours c;
    c.frame = mix(button, buttonText, 0.3);
    c.background = base;
    c.foldedBackground = p.color(QPalette::Active, QPalette::Window);
    c.headerTop = mix(button, buttonText, 0.08);
    c.headerBottom = button;
    c.hoveredHeaderTop = mix(button, buttonText, 0.16);
    c.hoveredHeaderBottom = mix(button, buttonText, 0.06);
    c.openHeaderTop = mix(button, highlight, 0.3);
    c.openHeaderBottom = mix(button, highlight, 0.15);
    c.headerHighlight = mix(button, buttonText, 0.2);
    c.headerRule = mix(button, base, 0.6);
    c.headerText = buttonText;
    c.arrow = mix(highlight, buttonText, 0.45);
    c.itemText = text;
    c.itemRule = mix(base, text, 0.1);
    c.bullet = mix(highlight, text, 0.3);
    c.hover = mix(base, highlight, 0.25);
    c.selectedTop = highlight.lighter(115);
    c.selectedBottom = highlight;
    c.selectedText = p.color(QPalette::Active, QPalette::HighlightedText);
    return c;
}

} // namespace

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Text).lightness() >
           palette.color(QPalette::Active, QPalette::Base).lightness();
}

MenuColours menuColours(const QPalette& palette) {
    return isDarkPalette(palette) ? darkLook(palette) : lightLook();
}
