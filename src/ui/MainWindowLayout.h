#pragma once

#include <QRect>
#include <QSize>

// The units of the main window that move or grow with it.
struct MainWindowPlaces {
    QRect player;      // 播放器1
    QRect menu;        // 卷帘式菜单1
    QRect adPanel;     // 广告
    QRect adText;      // 广告字1
    QRect adCountdown; // 广告计时
    bool operator==(const MainWindowPlaces&) const = default;
};

// Where the units go in a client area of `client`, given where they were declared for
// `declaredClient`. At the declared size (and the window is never smaller) every unit keeps its
// declared place exactly. Larger, the player takes all the growth, the roll-down menu keeps its
// width at the right edge and grows in height, the advertisement panel stays centred over the
// player's picture (the player less its bar, which keeps its height) and the countdown stays at
// the player's top right corner. Pure geometry.
MainWindowPlaces placeMainWindowUnits(const MainWindowPlaces& declared, QSize declaredClient,
                                      QSize client);
