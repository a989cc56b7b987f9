#include "ui/RollDownMenu.h"

#include "ui/Fonts.h"
#include "ui/MenuColours.h"
#include "ui/RollDownMenuAccessible.h"

#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace {

constexpr int kTextIndentHeader = 20;
constexpr int kTextIndentItem = 24;

} // namespace

RollDownMenu::RollDownMenu(QWidget* parent) : QWidget(parent), layout_(model_) {
    installRollDownMenuAccessibility();

    // Made first: setting the font below already lays the menu out.
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this] {
        relayout();
        updateHover();
    });
    connect(&model_, &RollDownMenuModel::groupAdded, this, &RollDownMenu::onGroupAdded);
    connect(&model_, &RollDownMenuModel::itemAdded, this, &RollDownMenu::onItemAdded);
    connect(&model_, &RollDownMenuModel::libraryChanged, this, &RollDownMenu::onLibraryChanged);
    setAccessibleName(QStringLiteral("节目菜单"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(songFont(desktopPixelSize(12)));
    whenDesktopTextChanges(this, [this] { setFont(songFont(desktopPixelSize(12))); });
    colours_ = menuColours(palette());

    relayout();
}

RollDownMenu::~RollDownMenu() = default;

void RollDownMenu::onGroupAdded(int group) {
    if (model_.groupCount() == 1)
        openGroup_ = 0;
    relayout();
    notifyMenuRow(this, {group, -1}, QAccessible::ObjectCreated);
}

void RollDownMenu::onItemAdded(int group, int position) {
    relayout();
    notifyMenuRow(this, {group, position}, QAccessible::ObjectCreated);
}

void RollDownMenu::setOpenGroup(int group) {
    if (group < -1 || group >= model_.groupCount() || group == openGroup_)
        return;
    const int previous = openGroup_;
    openGroup_ = group;
    // An item of a group that folds cannot keep the keyboard highlight; its header takes it.
    if (current_.isValid() && !current_.isHeader() && current_.group != openGroup_)
        current_ = {current_.group, -1};
    scrollBar_->setValue(0);
    relayout();
    updateHover();
    notifyMenuExpansion(this, previous);
    notifyMenuExpansion(this, openGroup_);
}

QRect RollDownMenu::headerRect(int group) const {
    return layout().rowRect({group, -1});
}

QRect RollDownMenu::itemRect(int group, int position) const {
    return position >= 0 ? layout().rowRect({group, position}) : QRect();
}

QSize RollDownMenu::sizeHint() const {
    return {152, 440};
}

bool RollDownMenu::isSelected(MenuRow row) const {
    return !row.isHeader() && model_.itemIndex(row.group, row.position) == model_.SelectedItem();
}

const RollDownMenuLayout& RollDownMenu::layout() const {
    layout_.update(rect().adjusted(0, 0, 0, -bottomReserve_), itemHeight_ + 4, itemHeight_,
                   openGroup_, scrollBar_->value(), scrollBarExtent_);
    return layout_;
}

void RollDownMenu::relayout() {
    const QFontMetrics metrics(font());
    itemHeight_ = std::max(20, metrics.height() + 6);
    scrollBarExtent_ = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollBar_);
    const QSignalBlocker blocker(scrollBar_);
    if (layout().needsScrollBar()) {
        scrollBar_->setGeometry(layout().scrollBarRect());
        scrollBar_->setRange(0, layout().scrollRange());
        scrollBar_->setPageStep(layout().scrollBarRect().height());
        scrollBar_->setSingleStep(itemHeight_);
        scrollBar_->show();
    } else {
        scrollBar_->hide();
        scrollBar_->setRange(0, 0);
    }
    update();
}

void RollDownMenu::activate(MenuRow row) {
    if (!layout().hasRow(row))
        return;
    if (row.isHeader()) {
        setCurrent(row);
        setOpenGroup(openGroup_ == row.group ? -1 : row.group);
        return;
    }
    // Assistive technology may choose an item of a folded group; show it as a click would.
    setOpenGroup(row.group);
    if (model_.isChoosable(model_.itemIndex(row.group, row.position)))
        choose(row);
    else
        setCurrent(row);
}

void RollDownMenu::choose(MenuRow row) {
    model_.select(model_.itemIndex(row.group, row.position));
    setCurrent(row);
    ensureVisible(row);
    update();
    Q_EMIT itemChosen(row.group, row.position);
}

void RollDownMenu::setCurrent(MenuRow row) {
    if (row == current_)
        return;
    current_ = row;
    update();
    if (hasFocus())
        notifyMenuRow(this, current_, QAccessible::Focus);
}

void RollDownMenu::ensureVisible(MenuRow row) {
    if (row.isHeader() || row.group != openGroup_ || !layout().needsScrollBar())
        return;
    scrollBar_->setValue(layout().offsetShowing(row.position, scrollBar_->value()));
}

void RollDownMenu::moveCurrent(int steps) {
    const std::vector<MenuRow> rows = layout().visibleRows();
    if (rows.empty())
        return;
    const auto found = std::find(rows.begin(), rows.end(), current_);
    int index = found == rows.end() ? 0 : int(found - rows.begin()) + steps;
    index = std::clamp(index, 0, int(rows.size()) - 1);
    setCurrent(rows[size_t(index)]);
    ensureVisible(current_);
}

void RollDownMenu::setHover(MenuRow row) {
    if (row != hover_) {
        hover_ = row;
        update();
    }
}

void RollDownMenu::updateHover() {
    setHover(underMouse() ? layout().rowAt(mapFromGlobal(QCursor::pos())) : MenuRow{});
}

void RollDownMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner = layout().inner();
    painter.fillRect(inner, openGroup_ >= 0 ? colours_.background : colours_.foldedBackground);

    const QRect area = layout().itemArea();
    if (!area.isEmpty()) {
        painter.save();
        painter.setClipRect(area);
        for (int i = 0; i < model_.itemCount(openGroup_); ++i) {
            const QRect r = layout().rowRect({openGroup_, i});
            if (!r.isEmpty())
                paintItem(painter, {openGroup_, i}, r);
        }
        painter.restore();
    }
    for (int g = 0; g < model_.groupCount(); ++g)
        paintHeader(painter, g, layout().rowRect({g, -1}));

    if (hasFocus() && current_.isValid()) {
        const QRect r = layout().rowRect(current_);
        if (!r.isEmpty()) {
            painter.setPen(QPen(isSelected(current_) ? colours_.selectedText : colours_.arrow, 1,
                                Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r.adjusted(1, 1, -2, -2));
        }
    }
    painter.setPen(colours_.frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void RollDownMenu::paintHeader(QPainter& painter, int group, const QRect& rect) const {
    if (rect.isEmpty())
        return;
    const bool open = group == openGroup_;
    const bool hovered = hover_ == MenuRow{group, -1};
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    if (open) {
        gradient.setColorAt(0, colours_.openHeaderTop);
        gradient.setColorAt(1, colours_.openHeaderBottom);
    } else if (hovered) {
        gradient.setColorAt(0, colours_.hoveredHeaderTop);
        gradient.setColorAt(1, colours_.hoveredHeaderBottom);
    } else {
        gradient.setColorAt(0, colours_.headerTop);
        gradient.setColorAt(1, colours_.headerBottom);
    }
    painter.fillRect(rect, gradient);
    painter.setPen(colours_.headerHighlight);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.setPen(colours_.headerRule);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());

    // A small triangle: pointing right when folded, down when open.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours_.arrow);
    const QPointF c(rect.left() + 10.5, rect.top() + rect.height() / 2.0);
    QPainterPath arrow;
    if (open) {
        arrow.moveTo(c + QPointF(-4, -2));
        arrow.lineTo(c + QPointF(4, -2));
        arrow.lineTo(c + QPointF(0, 2.5));
    } else {
        arrow.moveTo(c + QPointF(-2, -4));
        arrow.lineTo(c + QPointF(-2, 4));
        arrow.lineTo(c + QPointF(2.5, 0));
    }
    arrow.closeSubpath();
    painter.drawPath(arrow);
    painter.restore();

    const QRect textRect = rect.adjusted(kTextIndentHeader, 0, -4, 0);
    painter.setPen(colours_.headerText);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(model_.groupDisplayTitle(group), Qt::ElideRight,
                                              textRect.width()));
}

void RollDownMenu::paintItem(QPainter& painter, MenuRow row, const QRect& rect) const {
    const bool selected = isSelected(row);
    const bool choosable = model_.isChoosable(model_.itemIndex(row.group, row.position));
    if (selected) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0, colours_.selectedTop);
        gradient.setColorAt(1, colours_.selectedBottom);
        painter.fillRect(rect, gradient);
    } else {
        if (hover_ == row)
            painter.fillRect(rect, colours_.hover);
        painter.setPen(colours_.itemRule);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(selected ? colours_.selectedText : colours_.bullet);
    painter.drawEllipse(QPointF(rect.left() + 14.5, rect.top() + rect.height() / 2.0), 2, 2);
    painter.restore();

    const QRect textRect = rect.adjusted(kTextIndentItem, 0, -2, 0);
    painter.setPen(selected    ? colours_.selectedText
                   : choosable ? colours_.itemText
                               : palette().color(QPalette::Disabled, QPalette::Text));
    const QString title = model_.itemDisplayTitle(model_.itemIndex(row.group, row.position));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(title, Qt::ElideRight, textRect.width()));
}

void RollDownMenu::resizeEvent(QResizeEvent*) {
    relayout();
}

void RollDownMenu::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        relayout();
    if (event->type() == QEvent::PaletteChange) {
        colours_ = menuColours(palette());
        update();
    }
    QWidget::changeEvent(event);
}

void RollDownMenu::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = layout().rowAt(event->position().toPoint());
    if (pressed_.isValid())
        setCurrent(pressed_);
}

// A click acts on release over the row it was pressed on, as a button does.
void RollDownMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const MenuRow pressed = std::exchange(pressed_, MenuRow{});
    if (pressed.isValid() && layout().rowAt(event->position().toPoint()) == pressed)
        activate(pressed);
}

// A double click is one choice: its second press would otherwise fold a header straight back or
// choose the same item a second time.
void RollDownMenu::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressed_ = {};
    else
        QWidget::mouseDoubleClickEvent(event);
}

void RollDownMenu::mouseMoveEvent(QMouseEvent* event) {
    setHover(layout().rowAt(event->position().toPoint()));
}

void RollDownMenu::leaveEvent(QEvent*) {
    setHover({});
}

void RollDownMenu::wheelEvent(QWheelEvent* event) {
    if (!scrollBar_->isVisibleTo(this)) {
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(scrollBar_, event);
}

void RollDownMenu::keyPressEvent(QKeyEvent* event) {
    const int rows = int(layout().visibleRows().size());
    switch (event->key()) {
    case Qt::Key_Up:
        moveCurrent(-1);
        break;
    case Qt::Key_Down:
        moveCurrent(1);
        break;
    case Qt::Key_Home:
        moveCurrent(-rows);
        break;
    case Qt::Key_End:
        moveCurrent(rows);
        break;
    case Qt::Key_PageUp:
        moveCurrent(-layout().pageRows());
        break;
    case Qt::Key_PageDown:
        moveCurrent(layout().pageRows());
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // Holding the key down must not repeat the choice.
        if (!event->isAutoRepeat())
            activate(current_);
        break;
    default:
        if (!requestFind(event))
            QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RollDownMenu::focusInEvent(QFocusEvent* event) {
    if (!current_.isValid() && model_.groupCount() > 0)
        current_ = {0, -1};
    update();
    // After the focus event Qt sends for the menu itself, so that the row is what has it last.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus())
                notifyMenuRow(this, current_, QAccessible::Focus);
        },
        Qt::QueuedConnection);
    QWidget::focusInEvent(event);
}

void RollDownMenu::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}
