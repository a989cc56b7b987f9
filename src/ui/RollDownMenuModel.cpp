#include "ui/RollDownMenuModel.h"

RollDownMenuModel::RollDownMenuModel(QObject* parent) : QObject(parent) {}

void RollDownMenuModel::AddGroup(const GbkBytes& title, int first, int second) {
    // The station's groups come first whatever arrives when.
    if (groupCount() > stationGroups_)
        setLibraryGroups({});
    ++stationGroups_;
    groups_.push_back(Group{title, gbkToDisplay(title), first, second, {}});
    Q_EMIT groupAdded(groupCount() - 1);
}

void RollDownMenuModel::AddItem(const GbkBytes& title, int groupIndex, GbkCut cut) {
    if (groupIndex < 0 || groupIndex >= stationGroups_)
        return;
    if (itemCount() > stationItems_)
        setLibraryGroups({});
    Group& group = groups_[size_t(groupIndex)];
    const int position = int(group.items.size());
    group.items.push_back(int(items_.size()));
    items_.push_back(Item{title, decodeGbk(title, cut), groupIndex, position, stationItems_});
    ++stationItems_;
    Q_EMIT itemAdded(groupIndex, position);
}

GbkBytes RollDownMenuModel::ItemTitle(int index) const {
    const Item* found = item(index);
    return found ? found->title : GbkBytes();
}

int RollDownMenuModel::itemCount(int group) const {
    const Group* found = this->group(group);
    return found ? int(found->items.size()) : 0;
}

const RollDownMenuModel::Group* RollDownMenuModel::group(int group) const {
    return group >= 0 && group < groupCount() ? &groups_[size_t(group)] : nullptr;
}

const RollDownMenuModel::Item* RollDownMenuModel::item(int index) const {
    return index >= 0 && index < itemCount() ? &items_[size_t(index)] : nullptr;
}

int RollDownMenuModel::itemIndex(int group, int position) const {
    const Group* found = this->group(group);
    if (!found || position < 0 || position >= int(found->items.size()))
        return -1;
    return found->items[size_t(position)];
}

QString RollDownMenuModel::itemDisplayTitle(int index) const {
    const Item* found = item(index);
    return found ? found->decoded.text : QString();
}

void RollDownMenuModel::select(int index) {
    if (isChoosable(index))
        selected_ = index;
}

RollDownMenuModel::GroupKind RollDownMenuModel::groupKind(int group) const {
    const Group* found = this->group(group);
    return found ? found->kind : GroupKind::Station;
}

int RollDownMenuModel::sourceItem(int index) const {
    const Item* found = item(index);
    return found ? found->source : -1;
}

void RollDownMenuModel::setLibraryGroups(const std::vector<LibraryGroup>& groups) {
    if (selected_ >= stationItems_)
        selected_ = sourceItem(selected_);
    groups_.resize(size_t(stationGroups_));
    items_.resize(size_t(stationItems_));
    for (const LibraryGroup& library : groups) {
        Group group{GbkBytes(), library.title, 0, 0, {}, library.kind};
        const int groupIndex = groupCount();
        for (const LibraryGroup::Entry& entry : library.entries) {
            const Item* source = item(entry.source);
            Item added = source ? *source : Item{GbkBytes(), GbkDecoded{entry.title}, 0, 0, -1};
            added.source = source && source->source >= 0 ? source->source : -1;
            added.group = groupIndex;
            added.position = int(group.items.size());
            group.items.push_back(int(items_.size()));
            items_.push_back(added);
        }
        groups_.push_back(std::move(group));
    }
    Q_EMIT libraryChanged();
}

GbkBytes RollDownMenuModel::groupTitle(int group) const {
    const Group* found = this->group(group);
    return found ? found->title : GbkBytes();
}

QString RollDownMenuModel::groupDisplayTitle(int group) const {
    const Group* found = this->group(group);
    return found ? found->displayTitle : QString();
}
