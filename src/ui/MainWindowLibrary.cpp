// The main window's part of the user's library: an item's context menu.
#include "ui/LibraryService.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QMenu>

void MainWindow::showItemMenu(MenuRow row, const QPoint& globalPos) {
    if (!library_ || row.isHeader())
        return;
    const int item = menu_->model().itemIndex(row.group, row.position);
    const std::optional<LibraryService::ItemMenu> offer = library_->menuFor(item);
    if (!offer)
        return;
    // A popup rather than a nested event loop: the window may be torn down while it is open.
    auto* menu = new QMenu(menu_);
    menu->setObjectName(QStringLiteral("libraryMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(offer->favourite ? QStringLiteral("取消收藏") : QStringLiteral("加入收藏"),
                    library_, [this, item] { library_->toggleFavourite(item); });
    if (offer->canPlayFromStart) {
        menu->addAction(QStringLiteral("从头播放"), library_, [this, row] {
            // Chosen as a click would choose it, then told to start at the beginning.
            menu_->activate(row);
            library_->startOver();
        });
    }
    menu->popup(globalPos);
}
