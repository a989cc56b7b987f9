#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QKeySequence>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenuBar;
class QObject;
class QWidget;

// Every window is declared as data: its units (name, kind, place, initial state) and a table that
// binds (unit, event) pairs to handlers. The builder turns a definition into Qt widgets whose
// objectName is the declared unit name, so code and tests find units by name.
namespace ui {

enum class UnitKind {
    Label,            // text label; transparent background
    Button,           // push button
    EditableComboBox, // combo box with an edit field
    TabControl,       // tab widget; `text` holds the tab captions separated by '\n'
    RadioButton,      // radio button; `parent` names the tab control when placed on one
    Hyperlink,        // blue link label; `text` is what it shows
    PictureBox,       // shows the image resource named in `text`, unscaled, top-left
    Divider,          // a flat line in `color`
    Panel,            // a plain container that clips its children
    Custom,           // made by the window's factory (player, roll-down menu, web view...)
};

// Every member has a default, so tables may name only what they set (designated initializers).
struct UnitDefinition {
    QString name{};
    UnitKind kind = UnitKind::Label;
    QRect geometry{}; // client pixels, or relative to `parent`
    QString text{};
    bool visible = true;
    QString parent{}; // another unit's name; empty: the client area
    std::optional<QFont> font{};
    std::optional<QColor> color{};
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool defaultButton = false;
};

// Clicked: a button's click; on a label or hyperlink, a left-button release over it.
enum class UnitEvent { Clicked };

struct Binding {
    QString unit;
    UnitEvent event;
    std::function<void()> handler;
};

struct WindowDefinition {
    QString title;
    QSize outerSize; // the original frame's outer size, frame, caption and menu bar included
    bool hasMenuBar = false;
    std::vector<UnitDefinition> units;
};

using UnitFactory = std::function<QWidget*(const UnitDefinition&, QWidget* parent)>;
using Units = QHash<QString, QWidget*>;

// The original frames: 4 px borders, a 19 px caption and a 19 px menu bar. The window manager
// draws its own frame, so only the client area is ours to size.
QSize clientSizeFor(const WindowDefinition& definition);

// Creates every unit as a child of `client` (or of its declared parent unit), in order.
Units buildUnits(QWidget* client, const std::vector<UnitDefinition>& units,
                 const UnitFactory& custom = {});

// Grows the units built from `definitions` until every text shows whole in the application's
// font, when the desktop's text is larger than the windows were declared for: declared fonts
// grow with the desktop's text, then every unit's place and size by one factor, so that the
// window keeps its proportions (lines keep their thickness, pictures grow with their boxes).
// Returns that factor, by which the client area grows too: 1, and nothing changed, at the
// declared text size or smaller.
double growUnitsForText(const std::vector<UnitDefinition>& definitions, const Units& units);

// Connects each binding's unit event to its handler. Returns the units of the bindings that
// could not be made, in table order: a unit that does not exist, or one without that event.
[[nodiscard]] QStringList bindEvents(const Units& units, const std::vector<Binding>& bindings);

// An item of a menu bar's menu: what it shows and what it does.
struct MenuItem {
    QString caption{}; // empty: a separator
    QKeySequence shortcut{};
    std::function<void()> handler{};
    QAction** keep = nullptr; // where the action is handed out, for an item handled elsewhere
};

struct Menu {
    QString title;
    std::vector<MenuItem> items;
};

// Adds the menus to `bar`, each menu and action named by its caption, each action connected to
// its handler for as long as `context` lives. Returns the captions of the items that neither
// have a handler nor are handed out, in table order: items that would do nothing.
[[nodiscard]] QStringList addMenus(QMenuBar* bar, const std::vector<Menu>& menus, QObject* context);

// Finds a unit by name under `root`, whatever its type; nullptr when absent.
template <typename T> T* unit(const QWidget* root, const QString& name);

} // namespace ui

#include <QWidget>

template <typename T> T* ui::unit(const QWidget* root, const QString& name) {
    return root->findChild<T*>(name);
}
