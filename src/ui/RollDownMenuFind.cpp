#include "ui/RollDownMenuFind.h"

#include "ui/MenuColours.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuAccessible.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <algorithm>

namespace {

constexpr int kItemRole = Qt::UserRole;
constexpr int kGroupRole = Qt::UserRole + 1;

bool within(const QObject* object, const QObject* ancestor) {
    for (; object; object = object->parent()) {
        if (object == ancestor)
            return true;
    }
    return false;
}

bool reachesWholeWindow(Qt::ShortcutContext context) {
    return context == Qt::WindowShortcut || context == Qt::ApplicationShortcut;
}

} // namespace

RollDownMenuFind::RollDownMenuFind(RollDownMenu& menu)
    : QObject(&menu), menu_(menu), field_(new QLineEdit(&menu)), list_(new QListWidget(&menu)) {
    field_->setObjectName(QStringLiteral("findField"));
    field_->setAccessibleName(QStringLiteral("查找节目"));
    field_->setPlaceholderText(QStringLiteral("查找节目"));
    field_->setClearButtonEnabled(false);
    field_->hide();
    list_->setObjectName(QStringLiteral("findMatches"));
    list_->setAccessibleName(QStringLiteral("找到的节目"));
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setTextElideMode(Qt::ElideRight);
    list_->hide();

    const RollDownMenuModel& model = menu.model();
    connect(&model, &RollDownMenuModel::groupAdded, this, [this] { stale_ = true; });
    connect(&model, &RollDownMenuModel::itemAdded, this, [this] { stale_ = true; });
    connect(&model, &RollDownMenuModel::libraryChanged, this, [this] {
        stale_ = true;
        if (isOpen())
            filter(field_->text());
    });
    connect(&menu, &RollDownMenu::findRequested, this, &RollDownMenuFind::open);
    connect(field_, &QLineEdit::textChanged, this, &RollDownMenuFind::filter);
    connect(list_, &QListWidget::itemClicked, this, &RollDownMenuFind::choose);
    field_->installEventFilter(this);
    menu.installEventFilter(this);
}

bool RollDownMenuFind::isOpen() const {
    return field_->isVisibleTo(&menu_);
}

void RollDownMenuFind::open(const QString& text) {
    if (!isOpen()) {
        foldsBefore_ = menu_.openGroup();
        // Placed first, so that it shows where it stays and the menu's rows have moved above it.
        place();
        field_->show();
    }
    field_->setFocus(Qt::ShortcutFocusReason);
    if (!text.isEmpty())
        field_->insert(text);
}

void RollDownMenuFind::close() {
    if (!isOpen())
        return;
    // The menu takes the focus first: the field, hidden with it, would hand it on to the next
    // widget for a moment, and a screen reader would announce that one.
    if (field_->hasFocus())
        menu_.setFocus(Qt::OtherFocusReason);
    {
        const QSignalBlocker blocker(field_);
        field_->clear();
    }
    list_->hide();
    field_->hide();
    matchCount_ = -1;
    notifyFindResult(&menu_);
    menu_.setBottomReserve(0);
    menu_.setOpenGroup(foldsBefore_);
}

void RollDownMenuFind::place() {
    const int height = field_->sizeHint().height();
    const QRect inner = menu_.rect().adjusted(1, 1, -1, -1);
    field_->setGeometry(inner.left(), inner.bottom() + 1 - height, inner.width(), height);
    list_->setGeometry(inner.left(), inner.top(), inner.width(), inner.height() - height);
    menu_.setBottomReserve(height + 1);
}

void RollDownMenuFind::rebuild() {
    stale_ = false;
    rows_.clear();
    searchRow_.clear();
    headerRow_.clear();
    const RollDownMenuModel& model = menu_.model();
    const MenuColours colours = menuColours(menu_.palette());
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Base, colours.background);
    palette.setColor(QPalette::Text, colours.itemText);
    list_->setPalette(palette);
    list_->setFont(menu_.font());
    headerFont_ = menu_.font();
    headerFont_.setBold(true);
    headerBackground_ = colours.headerBottom;
    headerText_ = colours.headerText;
    std::vector<QString> titles;
    for (int g = 0; g < model.groupCount(); ++g) {
        headerRow_.push_back(int(rows_.size()));
        rows_.push_back({g, -1});
        for (int p = 0; p < model.itemCount(g); ++p) {
            const int index = model.itemIndex(g, p);
            searchRow_.push_back(int(rows_.size()));
            rows_.push_back({g, index});
            titles.push_back(model.itemDisplayTitle(index));
        }
    }
    search_.setTitles(titles);
}

QListWidgetItem* RollDownMenuFind::makeRow(const Row& row) const {
    const RollDownMenuModel& model = menu_.model();
    const QString group = model.groupDisplayTitle(row.group);
    if (row.item < 0) {
        auto* header = new QListWidgetItem(group);
        header->setFlags(Qt::ItemIsEnabled);
        header->setFont(headerFont_);
        header->setBackground(headerBackground_);
        header->setForeground(headerText_);
        header->setData(kGroupRole, row.group);
        return header;
    }
    auto* item = new QListWidgetItem(model.itemDisplayTitle(row.item));
    item->setFlags(model.isChoosable(row.item) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                               : Qt::NoItemFlags);
    item->setData(kItemRole, row.item);
    item->setData(kGroupRole, row.group);
    // A listener who arrives on a match hears which group it is in.
    item->setData(Qt::AccessibleDescriptionRole, group);
    return item;
}

// The list holds only the rows that show, so that assistive technology counts and names exactly
// what is on screen; the titles are folded once per change of the menu, so a key costs a scan of
// them and the rows that match.
void RollDownMenuFind::filter(const QString& text) {
    if (text.isEmpty()) {
        list_->hide();
        matchCount_ = -1;
        notifyFindResult(&menu_);
        return;
    }
    if (stale_)
        rebuild();
    std::vector<char> shown(rows_.size(), 0);
    for (int match : search_.matches(text)) {
        const size_t row = size_t(searchRow_[size_t(match)]);
        shown[row] = 1;
        shown[size_t(headerRow_[size_t(rows_[row].group)])] = 1;
    }
    list_->setUpdatesEnabled(false);
    list_->clear();
    matchCount_ = 0;
    QListWidgetItem* first = nullptr;
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (!shown[r])
            continue;
        QListWidgetItem* row = makeRow(rows_[r]);
        list_->addItem(row);
        if (rows_[r].item >= 0) {
            ++matchCount_;
            if (!first && (row->flags() & Qt::ItemIsSelectable))
                first = row;
        }
    }
    if (matchCount_ == 0) {
        auto* none = new QListWidgetItem(kNoMatch, list_);
        none->setFlags(Qt::NoItemFlags);
        none->setTextAlignment(Qt::AlignCenter);
    }
    list_->setCurrentItem(first);
    if (first)
        list_->scrollToItem(first);
    list_->setUpdatesEnabled(true);
    list_->show();
    notifyFindResult(&menu_);
}

QString RollDownMenuFind::resultText() const {
    if (matchCount_ < 0)
        return {};
    return matchCount_ == 0 ? kNoMatch : QStringLiteral("找到 %1 个节目").arg(matchCount_);
}

std::vector<int> RollDownMenuFind::shownItems() const {
    std::vector<int> items;
    if (!list_->isVisibleTo(&menu_))
        return items;
    for (int r = 0; r < list_->count(); ++r) {
        const QVariant item = list_->item(r)->data(kItemRole);
        if (item.isValid())
            items.push_back(item.toInt());
    }
    return items;
}

void RollDownMenuFind::step(int direction) {
    const int count = list_->count();
    int r = list_->currentRow();
    for (int next = r + direction; next >= 0 && next < count; next += direction) {
        QListWidgetItem* row = list_->item(next);
        if (row->flags() & Qt::ItemIsSelectable) {
            list_->setCurrentItem(row);
            list_->scrollToItem(row);
            return;
        }
    }
}

void RollDownMenuFind::chooseCurrent() {
    if (list_->isVisible())
        choose(list_->currentItem());
}

void RollDownMenuFind::choose(QListWidgetItem* row) {
    if (!row || !(row->flags() & Qt::ItemIsSelectable))
        return;
    const int index = row->data(kItemRole).toInt();
    const RollDownMenuModel::Item* item = menu_.model().item(index);
    if (item)
        menu_.activate({item->group, item->position});
}

bool RollDownMenuFind::isWindowShortcut(const QKeySequence& keys) const {
    const QWidget* window = field_->window();
    const auto matches = [&](const QList<QKeySequence>& shortcuts) {
        return std::any_of(shortcuts.begin(), shortcuts.end(), [&](const QKeySequence& shortcut) {
            return shortcut.matches(keys) == QKeySequence::ExactMatch;
        });
    };
    // The field's own context menu has actions for its editing keys; those stay the field's.
    for (const QAction* action : window->findChildren<QAction*>()) {
        if (action->isEnabled() && reachesWholeWindow(action->shortcutContext()) &&
            !within(action, field_) && matches(action->shortcuts()))
            return true;
    }
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) {
        if (shortcut->isEnabled() && reachesWholeWindow(shortcut->context()) &&
            !within(shortcut, field_) && matches(shortcut->keys()))
            return true;
    }
    return false;
}

bool RollDownMenuFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &menu_) {
        // The list takes the menu's font when it is filled next.
        if (event->type() == QEvent::FontChange)
            stale_ = true;
        if ((event->type() == QEvent::Resize || event->type() == QEvent::FontChange) && isOpen())
            place();
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            close();
            return true;
        // Taken here: the field would pass Enter on to the menu, which would choose its own row.
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!key->isAutoRepeat())
                chooseCurrent();
            return true;
        case Qt::Key_Up:
            step(-1);
            return true;
        case Qt::Key_Down:
            step(1);
            return true;
        default:
            break;
        }
    } else if (event->type() == QEvent::ShortcutOverride) {
        // Esc, Enter and the arrows belong to the field while it has the focus, not to the player.
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Up || key == Qt::Key_Down ||
            key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            return true;
        }
        // The window's menus promise their keys everywhere in it: Ctrl+U opens 打开URL rather
        // than clearing the field as a line edit's own binding would. Left unaccepted, the key
        // goes to the window's shortcut.
        if (isWindowShortcut(QKeySequence(keyEvent->keyCombination()))) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
