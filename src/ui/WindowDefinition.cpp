#include "ui/WindowDefinition.h"

#include "ui/Fonts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr int kBorder = 4;
constexpr int kCaption = 19;
constexpr int kMenuBar = 19;

QWidget* makeUnit(const UnitDefinition& def, QWidget* parent, const UnitFactory& custom) {
    switch (def.kind) {
    case UnitKind::Label: {
        auto* label = new QLabel(def.text, parent);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setAlignment(def.alignment);
        return label;
    }
    case UnitKind::Button: {
        auto* button = new QPushButton(def.text, parent);
        button->setDefault(def.defaultButton);
        button->setAutoDefault(def.defaultButton);
        return button;
    }
    case UnitKind::EditableComboBox: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case UnitKind::TabControl: {
        auto* tabs = new QTabWidget(parent);
        for (const QString& caption : def.text.split(QLatin1Char('\n'))) {
            auto* page = new QWidget(tabs);
            page->setObjectName(def.name + QLatin1Char('/') + caption);
            tabs->addTab(page, caption);
        }
        return tabs;
    }
    case UnitKind::RadioButton:
        return new QRadioButton(def.text, parent);
    case UnitKind::Hyperlink: {
        auto* link = new QLabel(parent);
        link->setTextFormat(Qt::PlainText);
        link->setText(def.text);
        link->setCursor(Qt::PointingHandCursor);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(palette);
        return link;
    }
    case UnitKind::PictureBox: {
        auto* picture = new QLabel(parent);
        picture->setPixmap(QPixmap(def.text));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return picture;
    }
    case UnitKind::Divider: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        return line;
    }
    case UnitKind::Panel: {
        auto* panel = new QWidget(parent);
        return panel;
    }
    case UnitKind::Custom:
        return custom ? custom(def, parent) : nullptr;
    }
    return nullptr;
}

// Labels have no click of their own; a release of the left button over one counts as a click.
class LabelClickFilter : public QObject {
  public:
    LabelClickFilter(std::function<void()> handler, QLabel* label)
        : QObject(label), handler_(std::move(handler)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            auto* label = static_cast<QWidget*>(watched);
            if (event->type() == QEvent::MouseButtonRelease &&
                label->rect().contains(mouse->position().toPoint())) {
                const std::function<void()> handler = handler_; // may outlive the label
                handler();
            }
            return true;
        }
        return false;
    }

  private:
    std::function<void()> handler_;
};

// A unit declared on another unit is placed relative to it. On a tab control that means relative
// to the control itself, not to its page, so it becomes the control's child, above the page.
QWidget* containerFor(const UnitDefinition& def, QWidget* client, const Units& built) {
    if (def.parent.isEmpty())
        return client;
    QWidget* parent = built.value(def.parent);
    return parent ? parent : client;
}

// Where the text of a label has room: its contents, up to where another unit with text begins
// inside its box on the same line (E-mail's label runs two pixels into its link's box).
int labelRoom(const UnitDefinition& def, const std::vector<UnitDefinition>& definitions,
              const QLabel& label) {
    int room = label.contentsRect().width();
    for (const UnitDefinition& other : definitions) {
        if (&other == &def || other.parent != def.parent || other.text.isEmpty() ||
            (other.kind != UnitKind::Label && other.kind != UnitKind::Hyperlink))
            continue;
        const QRect a = def.geometry, b = other.geometry;
        if (b.left() > a.left() && b.left() <= a.right() && b.top() <= a.bottom() &&
            b.bottom() >= a.top())
            room = std::min(room, b.left() - a.left() - label.contentsMargins().left());
    }
    return room;
}

// How many times its declared size a unit must be to show its text whole in the font it has now;
// 0 for a unit without text.
double growthFor(const UnitDefinition& def, const std::vector<UnitDefinition>& definitions,
                 QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    const QStyle* style = widget->style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    QSize need;
    int room = def.geometry.width();
    switch (def.kind) {
    case UnitKind::Label: {
        if (def.text.isEmpty())
            return 0;
        const auto* label = static_cast<QLabel*>(widget);
        room = labelRoom(def, definitions, *label);
        need = {metrics.horizontalAdvance(label->text()),
                metrics.height() + label->height() - label->contentsRect().height()};
        break;
    }
    case UnitKind::Hyperlink: // drawn to fit its width (fitTextInto); its line must fit
        need = {0, metrics.height()};
        break;
    case UnitKind::Button: {
        const int margins =
            style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget) + 2 * frame;
        need = QSize(metrics.horizontalAdvance(static_cast<QAbstractButton*>(widget)->text()),
                     metrics.height()) +
               QSize(margins, margins);
        break;
    }
    case UnitKind::RadioButton:
        need = widget->sizeHint();
        break;
    case UnitKind::EditableComboBox:
        need = {0, widget->sizeHint().height()};
        break;
    default:
        return 0;
    }
    return std::max(double(need.width()) / std::max(1, room),
                    double(need.height()) / std::max(1, def.geometry.height()));
}

QRect grown(const QRect& r, double factor) {
    const auto at = [factor](int v) { return int(std::floor(v * factor)); };
    const auto upTo = [factor](int v) { return int(std::ceil(v * factor)); };
    return QRect(QPoint(at(r.left()), at(r.top())),
                 QPoint(upTo(r.right() + 1) - 1, upTo(r.bottom() + 1) - 1));
}

} // namespace

double growUnitsForText(const std::vector<UnitDefinition>& definitions, const Units& units) {
    const double textScale = desktopTextScale();
    if (textScale <= 1)
        return 1;
    for (const UnitDefinition& def : definitions) {
        QWidget* widget = units.value(def.name);
        if (!widget || !def.font)
            continue;
        QFont font = *def.font;
        if (font.pixelSize() > 0)
            font.setPixelSize(int(std::lround(font.pixelSize() * textScale)));
        else
            font.setPointSizeF(font.pointSizeF() * textScale);
        widget->setFont(font);
    }
    double factor = 1;
    for (const UnitDefinition& def : definitions) {
        if (QWidget* widget = units.value(def.name))
            factor = std::max(factor, growthFor(def, definitions, widget));
    }
    if (factor <= 1)
        return 1;
    for (const UnitDefinition& def : definitions) {
        QWidget* widget = units.value(def.name);
        if (!widget)
            continue;
        QRect place = grown(def.geometry, factor);
        if (def.kind == UnitKind::Divider)
            place.setHeight(def.geometry.height());
        widget->setGeometry(place);
        if (def.kind == UnitKind::PictureBox) {
            const QPixmap picture(def.text);
            static_cast<QLabel*>(widget)->setPixmap(
                picture.scaled(grown(picture.rect(), factor).size(), Qt::KeepAspectRatio,
                               Qt::SmoothTransformation));
        }
    }
    return factor;
}

QSize clientSizeFor(const WindowDefinition& definition) {
    const int height = definition.outerSize.height() - 2 * kBorder - kCaption -
                       (definition.hasMenuBar ? kMenuBar : 0);
    return {definition.outerSize.width() - 2 * kBorder, height};
}

Units buildUnits(QWidget* client, const std::vector<UnitDefinition>& units,
                 const UnitFactory& custom) {
    Units built;
    for (const UnitDefinition& def : units) {
        QWidget* container = containerFor(def, client, built);
        QWidget* widget = makeUnit(def, container, custom);
        if (!widget)
            continue;
        widget->setObjectName(def.name);
        widget->setGeometry(def.geometry);
        widget->raise();
        if (def.font)
            widget->setFont(*def.font);
        if (def.color) {
            QPalette palette = widget->palette();
            palette.setColor(def.kind == UnitKind::Divider ? QPalette::Window
                                                           : QPalette::WindowText,
                             *def.color);
            widget->setPalette(palette);
        }
        widget->setVisible(def.visible);
        built.insert(def.name, widget);
    }
    return built;
}

QStringList bindEvents(const Units& units, const std::vector<Binding>& bindings) {
    QStringList unresolved;
    for (const Binding& binding : bindings) {
        QWidget* widget = units.value(binding.unit);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        auto* label = qobject_cast<QLabel*>(widget);
        if (binding.event != UnitEvent::Clicked || !(button || label)) {
            unresolved << binding.unit;
            continue;
        }
        if (button)
            QObject::connect(button, &QAbstractButton::clicked, button, binding.handler);
        else
            label->installEventFilter(new LabelClickFilter(binding.handler, label));
    }
    return unresolved;
}

QStringList addMenus(QMenuBar* bar, const std::vector<Menu>& menus, QObject* context) {
    QStringList idle;
    for (const Menu& definition : menus) {
        QMenu* menu = bar->addMenu(definition.title);
        menu->setObjectName(definition.title);
        for (const MenuItem& item : definition.items) {
            if (item.caption.isEmpty()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(item.caption);
            action->setObjectName(item.caption);
            action->setShortcut(item.shortcut);
            if (item.handler)
                QObject::connect(action, &QAction::triggered, context, item.handler);
            if (item.keep)
                *item.keep = action;
            if (!item.handler && !item.keep)
                idle << item.caption;
        }
    }
    return idle;
}

} // namespace ui
