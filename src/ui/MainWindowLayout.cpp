#include "ui/MainWindowLayout.h"

#include <algorithm>

MainWindowPlaces placeMainWindowUnits(const MainWindowPlaces& declared, QSize declaredClient,
                                      QSize client) {
    const int dw = std::max(0, client.width() - declaredClient.width());
    const int dh = std::max(0, client.height() - declaredClient.height());
    MainWindowPlaces places = declared;
    places.player.setSize(declared.player.size() + QSize(dw, dh));
    places.menu.translate(dw, 0);
    places.menu.setHeight(declared.menu.height() + dh);
    // The picture grows by the whole growth, so its centre moves by half of it.
    places.adPanel.translate(dw / 2, dh / 2);
    places.adText.translate(dw, 0);
    places.adCountdown.translate(dw, 0);
    return places;
}
