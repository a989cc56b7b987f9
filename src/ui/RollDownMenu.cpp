#include "ui/RollDownMenu.h"

#include "ui/Fonts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace {

const QColor kFrame(0x7f, 0x9d, 0xb9);
const QColor kHeaderText(0x12, 0x35, 0x5f);
const QColor kHeaderRule(0x9d, 0xb8, 0xda);
const QColor kArrow(0x2b, 0x57, 0x97);
const QColor kItemText(0x1f, 0x1f, 0x1f);
const QColor kItemRule(0xee, 0xf3, 0xf9);
const QColor kBullet(0x8a, 0xae, 0xd8);
const QColor kHover(0xe7, 0xf0, 0xfb);
const QColor kSelectedTop(0x4b, 0x9a, 0xec);
const QColor kSelectedBottom(0x2a, 0x78, 0xd4);
const QColor kFoldedBackground(0xf3, 0xf7, 0xfc);

constexpr int kTextIndentHeader = 20;
constexpr int kTextIndentItem = 24;

QAccessibleInterface* createAccessible(const QString& className, QObject* object);

} // namespace

// The menu as assistive technology sees it: a tree whose children are the group headers, each
// holding its items. Rows are not QObjects, so their interfaces are made on demand, registered
// with the accessibility cache and deleted with this one; rows are never removed, so an
// interface once made stays right.
class RollDownMenuAccessible : public QAccessibleWidget {
  public:
    explicit RollDownMenuAccessible(RollDownMenu* menu)
        : QAccessibleWidget(menu, QAccessible::Tree) {}

    RollDownMenu* menu() const { return static_cast<RollDownMenu*>(widget()); }
    QAccessibleInterface* row(int group, int position) const;

    int childCount() const override { return menu()->groupCount(); }
    QAccessibleInterface* child(int index) const override { return row(index, -1); }
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

  protected:
    ~RollDownMenuAccessible() override {
        for (const QAccessible::Id id : std::as_const(rows_))
            QAccessible::deleteAccessibleInterface(id);
    }

  private:
    mutable QMap<std::pair<int, int>, QAccessible::Id> rows_;
};

class RollDownMenuRowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    RollDownMenuRowAccessible(RollDownMenuAccessible* owner, int group, int position)
        : owner_(owner), row_{group, position} {}

    bool isValid() const override { return owner_->isValid() && owner_->menu()->hasRow(row_); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_->window(); }

    QAccessibleInterface* childAt(int x, int y) const override {
        if (!row_.isHeader() || !isValid())
            return nullptr;
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* item = child(i);
            if (item && item->rect().contains(x, y))
                return item;
        }
        return nullptr;
    }
    QAccessibleInterface* parent() const override {
        return row_.isHeader() ? static_cast<QAccessibleInterface*>(owner_)
                               : owner_->row(row_.group, -1);
    }
    QAccessibleInterface* child(int index) const override {
        return row_.isHeader() ? owner_->row(row_.group, index) : nullptr;
    }
    int childCount() const override {
        return row_.isHeader() && isValid() ? owner_->menu()->itemCount(row_.group) : 0;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* other = dynamic_cast<const RollDownMenuRowAccessible*>(child);
        if (!row_.isHeader() || !other || other->owner_ != owner_ || other->row_.isHeader() ||
            other->row_.group != row_.group)
            return -1;
        return other->row_.position;
    }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid())
            return {};
        const RollDownMenu* menu = owner_->menu();
        if (row_.isHeader())
            return menu->groups_[size_t(row_.group)].text;
        return menu->items_[size_t(menu->groups_[size_t(row_.group)].items[size_t(row_.position)])]
            .text;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const RollDownMenu* menu = owner_->menu();
        const QRect local = menu->rowRect(row_);
        return local.isEmpty() ? QRect() : QRect(menu->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const RollDownMenu* menu = owner_->menu();
        s.focusable = true;
        s.focused = menu->hasFocus() && menu->current_ == row_;
        if (row_.isHeader()) {
            s.expandable = true;
            s.expanded = menu->openGroup_ == row_.group;
            s.collapsed = !s.expanded;
        } else {
            s.selectable = true;
            s.selected =
                menu->selected_ == menu->groups_[size_t(row_.group)].items[size_t(row_.position)];
            s.invisible = menu->openGroup_ != row_.group;
            s.offscreen = menu->rowRect(row_).isEmpty();
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid())
            owner_->menu()->activate(row_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    RollDownMenuAccessible* owner_;
    RollDownMenu::Row row_;

    friend class RollDownMenuAccessible;
};

QAccessibleInterface* RollDownMenuAccessible::row(int group, int position) const {
    if (!isValid() || !menu()->hasRow({group, position}))
        return nullptr;
    const auto key = std::make_pair(group, position);
    if (const auto found = rows_.constFind(key); found != rows_.cend()) {
        if (QAccessibleInterface* iface = QAccessible::accessibleInterface(*found))
            return iface;
    }
    auto* iface =
        new RollDownMenuRowAccessible(const_cast<RollDownMenuAccessible*>(this), group, position);
    rows_.insert(key, QAccessible::registerAccessibleInterface(iface));
    return iface;
}

int RollDownMenuAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* other = dynamic_cast<const RollDownMenuRowAccessible*>(child);
    if (!other || other->owner_ != this || !other->row_.isHeader())
        return -1;
    return other->row_.group;
}

QAccessibleInterface* RollDownMenuAccessible::childAt(int x, int y) const {
    const RollDownMenu::Row hit = menu()->rowAt(menu()->mapFromGlobal(QPoint(x, y)));
    return hit.isValid() ? row(hit.group, -1) : nullptr;
}

QAccessibleInterface* RollDownMenuAccessible::focusChild() const {
    const RollDownMenu* m = menu();
    if (!m->hasFocus() || !m->current_.isValid())
        return nullptr;
    return row(m->current_.group, m->current_.position);
}

namespace {

QAccessibleInterface* createAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("RollDownMenu") && object && object->isWidgetType())
        return new RollDownMenuAccessible(static_cast<RollDownMenu*>(object));
    return nullptr;
}

} // namespace

RollDownMenu::RollDownMenu(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    // Made first: setting the font below already lays the menu out.
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this] {
        updateHover();
        update();
    });
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(songFont(12));

    relayout();
}

RollDownMenu::~RollDownMenu() = default;

void RollDownMenu::AddGroup(const std::string& title, int first, int second) {
    groups_.push_back(Group{title, gbkToDisplay(title), first, second, {}});
    if (groups_.size() == 1)
        openGroup_ = 0;
    relayout();
    notifyAccessible({int(groups_.size()) - 1, -1}, QAccessible::ObjectCreated);
}

void RollDownMenu::AddItem(const std::string& title, int groupIndex, GbkCut cut) {
    if (groupIndex < 0 || groupIndex >= groupCount())
        return;
    Group& group = groups_[size_t(groupIndex)];
    const int position = int(group.items.size());
    group.items.push_back(int(items_.size()));
    items_.push_back(Item{title, gbkToDisplay(title, cut), groupIndex, position});
    relayout();
    notifyAccessible({groupIndex, position}, QAccessible::ObjectCreated);
}

int RollDownMenu::SelectedItem() const {
    return selected_;
}

std::string RollDownMenu::ItemTitle(int index) const {
    if (index < 0 || index >= int(items_.size()))
        return {};
    return items_[size_t(index)].title;
}

QString RollDownMenu::itemText(int index) const {
    if (index < 0 || index >= int(items_.size()))
        return {};
    return items_[size_t(index)].text;
}

int RollDownMenu::groupCount() const {
    return int(groups_.size());
}

std::string RollDownMenu::groupTitle(int group) const {
    if (group < 0 || group >= groupCount())
        return {};
    return groups_[size_t(group)].title;
}

int RollDownMenu::itemCount(int group) const {
    if (group < 0 || group >= groupCount())
        return 0;
    return int(groups_[size_t(group)].items.size());
}

void RollDownMenu::setOpenGroup(int group) {
    if (group < -1 || group >= groupCount() || group == openGroup_)
        return;
    const int previous = openGroup_;
    openGroup_ = group;
    // An item of a group that folds cannot keep the keyboard highlight; its header takes it.
    if (current_.isValid() && !current_.isHeader() && current_.group != openGroup_)
        current_ = {current_.group, -1};
    scrollBar_->setValue(0);
    relayout();
    updateHover();
    notifyExpansion(previous);
    notifyExpansion(openGroup_);
}

QRect RollDownMenu::headerRect(int group) const {
    return group >= 0 && group < groupCount() ? rowRect({group, -1}) : QRect();
}

QRect RollDownMenu::itemRect(int group, int position) const {
    return position >= 0 && hasRow({group, position}) ? rowRect({group, position}) : QRect();
}

QSize RollDownMenu::sizeHint() const {
    return {152, 440};
}

bool RollDownMenu::hasRow(Row row) const {
    return row.group >= 0 && row.group < groupCount() && row.position >= -1 &&
           row.position < itemCount(row.group);
}

std::vector<RollDownMenu::Row> RollDownMenu::visibleRows() const {
    std::vector<Row> rows;
    for (int g = 0; g < groupCount(); ++g) {
        rows.push_back({g, -1});
        if (g == openGroup_) {
            for (int i = 0; i < itemCount(g); ++i)
                rows.push_back({g, i});
        }
    }
    return rows;
}

// Headers up to the open one stack at the top, the rest at the bottom; the open group's items
// fill the band between them.
QRect RollDownMenu::itemArea() const {
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (openGroup_ < 0)
        return {};
    const int top = inner.top() + (openGroup_ + 1) * headerHeight_;
    const int bottom = inner.bottom() + 1 - (groupCount() - openGroup_ - 1) * headerHeight_;
    if (bottom <= top)
        return {};
    int right = inner.right();
    if (scrollBar_->isVisibleTo(this))
        right -= scrollBar_->width();
    return QRect(QPoint(inner.left(), top), QPoint(right, bottom - 1));
}

int RollDownMenu::itemOffset() const {
    return scrollBar_->isVisibleTo(this) ? scrollBar_->value() : 0;
}

QRect RollDownMenu::rowRect(Row row) const {
    if (!hasRow(row))
        return {};
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (row.isHeader()) {
        int top = inner.top() + row.group * headerHeight_;
        if (openGroup_ >= 0 && row.group > openGroup_)
            top = inner.bottom() + 1 - (groupCount() - row.group) * headerHeight_;
        return QRect(inner.left(), top, inner.width(), headerHeight_).intersected(inner);
    }
    if (row.group != openGroup_)
        return {};
    const QRect area = itemArea();
    const QRect full(area.left(), area.top() + row.position * itemHeight_ - itemOffset(),
                     area.width(), itemHeight_);
    return full.intersected(area);
}

RollDownMenu::Row RollDownMenu::rowAt(QPoint pos) const {
    for (const Row& row : visibleRows()) {
        if (rowRect(row).contains(pos))
            return row;
    }
    return {};
}

void RollDownMenu::relayout() {
    const QFontMetrics metrics(font());
    itemHeight_ = std::max(20, metrics.height() + 6);
    headerHeight_ = itemHeight_ + 4;

    const QRect inner = rect().adjusted(1, 1, -1, -1);
    int areaTop = 0;
    int areaHeight = 0;
    if (openGroup_ >= 0) {
        areaTop = inner.top() + (openGroup_ + 1) * headerHeight_;
        areaHeight = inner.height() - groupCount() * headerHeight_;
    }
    const int contentHeight = itemCount(openGroup_) * itemHeight_;
    if (areaHeight > 0 && contentHeight > areaHeight) {
        const int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollBar_);
        scrollBar_->setGeometry(inner.right() + 1 - width, areaTop, width, areaHeight);
        scrollBar_->setRange(0, contentHeight - areaHeight);
        scrollBar_->setPageStep(areaHeight);
        scrollBar_->setSingleStep(itemHeight_);
        scrollBar_->show();
    } else {
        scrollBar_->hide();
        scrollBar_->setRange(0, 0);
    }
    update();
}

void RollDownMenu::activate(Row row) {
    if (!hasRow(row))
        return;
    if (row.isHeader()) {
        setCurrent(row);
        setOpenGroup(openGroup_ == row.group ? -1 : row.group);
        return;
    }
    // Assistive technology may choose an item of a folded group; show it as a click would.
    setOpenGroup(row.group);
    choose(row.group, row.position);
}

void RollDownMenu::choose(int group, int position) {
    selected_ = groups_[size_t(group)].items[size_t(position)];
    setCurrent({group, position});
    ensureVisible({group, position});
    update();
    Q_EMIT itemChosen(group, position);
}

void RollDownMenu::setCurrent(Row row) {
    if (row == current_)
        return;
    current_ = row;
    update();
    if (hasFocus())
        notifyAccessible(current_, QAccessible::Focus);
}

void RollDownMenu::ensureVisible(Row row) {
    if (row.isHeader() || row.group != openGroup_ || !scrollBar_->isVisibleTo(this))
        return;
    const int top = row.position * itemHeight_;
    const int height = scrollBar_->pageStep();
    if (top < scrollBar_->value())
        scrollBar_->setValue(top);
    else if (top + itemHeight_ > scrollBar_->value() + height)
        scrollBar_->setValue(top + itemHeight_ - height);
}

void RollDownMenu::moveCurrent(int steps) {
    const std::vector<Row> rows = visibleRows();
    if (rows.empty())
        return;
    const auto found = std::find(rows.begin(), rows.end(), current_);
    int index = found == rows.end() ? 0 : int(found - rows.begin()) + steps;
    index = std::clamp(index, 0, int(rows.size()) - 1);
    setCurrent(rows[size_t(index)]);
    ensureVisible(current_);
}

void RollDownMenu::updateHover() {
    const Row row = underMouse() ? rowAt(mapFromGlobal(QCursor::pos())) : Row{};
    if (row != hover_) {
        hover_ = row;
        update();
    }
}

void RollDownMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, openGroup_ >= 0 ? QColor(Qt::white) : kFoldedBackground);

    const QRect area = itemArea();
    if (!area.isEmpty()) {
        painter.save();
        painter.setClipRect(area);
        const int first = itemOffset() / itemHeight_;
        for (int i = first; i < itemCount(openGroup_); ++i) {
            const QRect r(area.left(), area.top() + i * itemHeight_ - itemOffset(), area.width(),
                          itemHeight_);
            if (r.top() > area.bottom())
                break;
            paintItem(painter, openGroup_, i, r);
        }
        painter.restore();
    }
    for (int g = 0; g < groupCount(); ++g)
        paintHeader(painter, g, rowRect({g, -1}));

    if (hasFocus() && current_.isValid()) {
        const QRect r = rowRect(current_);
        if (!r.isEmpty()) {
            const bool onSelection =
                !current_.isHeader() &&
                selected_ == groups_[size_t(current_.group)].items[size_t(current_.position)];
            painter.setPen(QPen(onSelection ? QColor(Qt::white) : kArrow, 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r.adjusted(1, 1, -2, -2));
        }
    }
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void RollDownMenu::paintHeader(QPainter& painter, int group, const QRect& rect) const {
    if (rect.isEmpty())
        return;
    const bool open = group == openGroup_;
    const bool hovered = hover_ == Row{group, -1};
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    if (open) {
        gradient.setColorAt(0, QColor(0xea, 0xf3, 0xfd));
        gradient.setColorAt(1, QColor(0xbf, 0xd6, 0xf2));
    } else if (hovered) {
        gradient.setColorAt(0, QColor(0xff, 0xff, 0xff));
        gradient.setColorAt(1, QColor(0xe2, 0xed, 0xfa));
    } else {
        gradient.setColorAt(0, QColor(0xf8, 0xfb, 0xff));
        gradient.setColorAt(1, QColor(0xd7, 0xe5, 0xf6));
    }
    painter.fillRect(rect, gradient);
    painter.setPen(Qt::white);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.setPen(kHeaderRule);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());

    // A small triangle: pointing right when folded, down when open.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kArrow);
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
    painter.setPen(kHeaderText);
    painter.drawText(
        textRect, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(groups_[size_t(group)].text, Qt::ElideRight, textRect.width()));
}

void RollDownMenu::paintItem(QPainter& painter, int group, int position, const QRect& rect) const {
    const int index = groups_[size_t(group)].items[size_t(position)];
    const bool selected = index == selected_;
    if (selected) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0, kSelectedTop);
        gradient.setColorAt(1, kSelectedBottom);
        painter.fillRect(rect, gradient);
    } else {
        if (hover_ == Row{group, position})
            painter.fillRect(rect, kHover);
        painter.setPen(kItemRule);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(selected ? QColor(Qt::white) : kBullet);
    painter.drawEllipse(QPointF(rect.left() + 14.5, rect.top() + rect.height() / 2.0), 2, 2);
    painter.restore();

    const QRect textRect = rect.adjusted(kTextIndentItem, 0, -2, 0);
    painter.setPen(selected ? QColor(Qt::white) : kItemText);
    painter.drawText(
        textRect, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(items_[size_t(index)].text, Qt::ElideRight, textRect.width()));
}

void RollDownMenu::resizeEvent(QResizeEvent*) {
    relayout();
}

void RollDownMenu::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        relayout();
    QWidget::changeEvent(event);
}

void RollDownMenu::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = rowAt(event->position().toPoint());
    if (pressed_.isValid())
        setCurrent(pressed_);
}

// A click acts on release over the row it was pressed on, as a button does.
void RollDownMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const Row pressed = std::exchange(pressed_, Row{});
    if (pressed.isValid() && rowAt(event->position().toPoint()) == pressed)
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
    const Row row = rowAt(event->position().toPoint());
    if (row != hover_) {
        hover_ = row;
        update();
    }
}

void RollDownMenu::leaveEvent(QEvent*) {
    if (hover_.isValid()) {
        hover_ = {};
        update();
    }
}

void RollDownMenu::wheelEvent(QWheelEvent* event) {
    if (!scrollBar_->isVisibleTo(this)) {
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(scrollBar_, event);
}

void RollDownMenu::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        moveCurrent(-1);
        break;
    case Qt::Key_Down:
        moveCurrent(1);
        break;
    case Qt::Key_Home:
        moveCurrent(-int(visibleRows().size()));
        break;
    case Qt::Key_End:
        moveCurrent(int(visibleRows().size()));
        break;
    case Qt::Key_PageUp:
        moveCurrent(-std::max(1, itemArea().height() / itemHeight_));
        break;
    case Qt::Key_PageDown:
        moveCurrent(std::max(1, itemArea().height() / itemHeight_));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // Holding the key down must not repeat the choice.
        if (!event->isAutoRepeat())
            activate(current_);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RollDownMenu::focusInEvent(QFocusEvent* event) {
    if (!current_.isValid() && groupCount() > 0)
        current_ = {0, -1};
    update();
    notifyAccessible(current_, QAccessible::Focus);
    QWidget::focusInEvent(event);
}

void RollDownMenu::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void RollDownMenu::notifyAccessible(Row row, int event) const {
    if (!QAccessible::isActive() || !hasRow(row))
        return;
    auto* menu = dynamic_cast<RollDownMenuAccessible*>(
        QAccessible::queryAccessibleInterface(const_cast<RollDownMenu*>(this)));
    if (QAccessibleInterface* iface = menu ? menu->row(row.group, row.position) : nullptr) {
        QAccessibleEvent accessibleEvent(iface, QAccessible::Event(event));
        QAccessible::updateAccessibility(&accessibleEvent);
    }
}

void RollDownMenu::notifyExpansion(int group) const {
    if (!QAccessible::isActive() || group < 0 || group >= groupCount())
        return;
    auto* menu = dynamic_cast<RollDownMenuAccessible*>(
        QAccessible::queryAccessibleInterface(const_cast<RollDownMenu*>(this)));
    if (QAccessibleInterface* iface = menu ? menu->row(group, -1) : nullptr) {
        QAccessible::State changed;
        changed.expanded = true;
        changed.collapsed = true;
        QAccessibleStateChangeEvent accessibleEvent(iface, changed);
        QAccessible::updateAccessibility(&accessibleEvent);
    }
}
