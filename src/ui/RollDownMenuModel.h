#pragma once

#include "catalogue/Gbk.h"

#include <QObject>
#include <QString>
#include <vector>

// What the roll-down menu holds: ordered groups of ordered items, and the item chosen last.
// Titles arrive as GBK bytes and are decoded here, once: the menu, its accessible names, the
// window title and the stream address all take that one decoding.
//
// Item indexes count across the whole menu in the order of the AddItem calls. The station's groups
// and items are only ever appended, so such an index stays valid and names the same item for the
// model's life. After them come the library's groups (favourites, recently watched), which are
// replaced as a whole whenever they change; their items stand for station items.
class RollDownMenuModel : public QObject {
    Q_OBJECT
  public:
    // What a group holds: one of the station's categories, or one of the user's own lists.
    enum class GroupKind { Station, Favourites, Recent };

    struct Item {
        GbkBytes title;
        GbkDecoded decoded; // decoded.text is what shows
        int group = 0;
        int position = 0; // within its group
        // The station item this one stands for: its own index for a station item, -1 for a
        // library entry that today's catalogue does not have, which cannot be chosen.
        int source = -1;
    };
    struct Group {
        GbkBytes title;
        QString displayTitle;
        int first = 0; // the two integers of AddGroup; they mean nothing to the menu
        int second = 0;
        std::vector<int> items; // indexes of its items
        GroupKind kind = GroupKind::Station;
    };

    struct LibraryGroup {
        QString title;
        struct Entry {
            QString title; // shown when `source` is -1
            int source = -1;
        };
        std::vector<Entry> entries;
        GroupKind kind = GroupKind::Favourites;
    };

    explicit RollDownMenuModel(QObject* parent = nullptr);

    void AddGroup(const GbkBytes& title, int first, int second);
    // `cut` tells which end of a cut title sits on a character boundary. A bad group index is
    // ignored.
    void AddItem(const GbkBytes& title, int groupIndex, GbkCut cut = GbkCut::CleanStart);
    // The item chosen last, -1 before the first choice.
    int SelectedItem() const { return selected_; }
    // Empty for a bad index.
    GbkBytes ItemTitle(int index) const;

    int groupCount() const { return int(groups_.size()); }
    int itemCount(int group) const; // 0 for a bad group
    int itemCount() const { return int(items_.size()); }
    // nullptr for a bad index.
    const Group* group(int group) const;
    const Item* item(int index) const;
    // The index of a group's item, -1 when there is none at that position.
    int itemIndex(int group, int position) const;
    // Empty for a bad index.
    QString itemDisplayTitle(int index) const;
    GbkBytes groupTitle(int group) const;
    QString groupDisplayTitle(int group) const;

    // Makes an item the chosen one; a bad index or one that cannot be chosen is ignored.
    void select(int index);

    // Replaces the library's groups after the station's. A chosen library item gives way to the
    // station item it stands for, so the choice survives.
    void setLibraryGroups(const std::vector<LibraryGroup>& groups);
    int stationGroupCount() const { return stationGroups_; }
    int stationItemCount() const { return stationItems_; }
    bool isLibraryGroup(int group) const { return group >= stationGroups_ && group < groupCount(); }
    // Station for a bad index.
    GroupKind groupKind(int group) const;
    // -1 for a bad index.
    int sourceItem(int index) const;
    bool isChoosable(int index) const { return sourceItem(index) >= 0; }

  Q_SIGNALS:
    void groupAdded(int group);
    void itemAdded(int group, int position);
    void libraryChanged();

  private:
    std::vector<Group> groups_;
    std::vector<Item> items_;
    int selected_ = -1;
    int stationGroups_ = 0;
    int stationItems_ = 0;
};
