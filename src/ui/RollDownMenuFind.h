#pragma once

#include "ui/TitleSearch.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <vector>

class QKeySequence;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class RollDownMenu;

// Finding a programme in the roll-down menu: a field at the menu's bottom and, while it holds
// text, the matching items under their group headers in place of the folding groups. The menu's
// own choice does the rest, so a found item plays exactly as a clicked one.
class RollDownMenuFind : public QObject {
    Q_OBJECT
  public:
    static inline const QString kNoMatch = QStringLiteral("没有找到节目");

    explicit RollDownMenuFind(RollDownMenu& menu);

    // Shows the field with `text` in it and the focus on it; from the menu's printable keys and
    // Ctrl+F (empty text).
    void open(const QString& text = {});
    // Clears and hides the field and folds the groups as they were before it opened.
    void close();
    bool isOpen() const;

    QLineEdit& field() const { return *field_; }
    QListWidget& matches() const { return *list_; }
    // The model item of each match shown, top to bottom.
    std::vector<int> shownItems() const;
    // What the search found, as assistive technology announces it ("找到 3 个节目", or kNoMatch);
    // empty while the list of matches does not show.
    QString resultText() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void rebuild();
    void filter(const QString& text);
    void place();
    void step(int direction);
    void chooseCurrent();
    void choose(QListWidgetItem* row);
    // Whether the field's window has an enabled action or shortcut on `keys` that the focus in
    // the field does not keep from firing.
    bool isWindowShortcut(const QKeySequence& keys) const;

    RollDownMenu& menu_;
    QLineEdit* field_;
    QListWidget* list_;
    TitleSearch search_;
    // Every row the list can show: per group its header row and its item rows; worked out when
    // the menu changes. The list itself holds only those that match.
    struct Row {
        int group = -1;
        int item = -1; // model item, -1 for a header
    };
    QListWidgetItem* makeRow(const Row& row) const;

    std::vector<Row> rows_;
    std::vector<int> searchRow_; // row of each searched title
    std::vector<int> headerRow_; // row of each group's header
    QFont headerFont_;
    QColor headerBackground_;
    QColor headerText_;
    int matchCount_ = -1; // -1 while the list does not show
    bool stale_ = true;
    int foldsBefore_ = -1;
};
