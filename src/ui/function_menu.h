#pragma once
// A button's function menu as the core builds it, in columns: each column
// break starts a new column beside the last, as the long menus of the
// nine-button models need. QMenu has no column break, so the popup is a
// frame of rows drawn by the style as menu items; each row is a focusable
// widget of its own, which gives the keyboard and screen readers the items.

#include <QFrame>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <vector>

#include "config/catalogue.h"

class MenuRow;

class FunctionMenu final : public QFrame {
public:
    explicit FunctionMenu(QWidget* parent);

    void setItems(const std::vector<cvk::MenuItem>& items);
    // Opens at a point on the screen, moved to stay on it.
    void popup(const QPoint& globalPos);

    // A command was chosen; the menu has closed by then.
    std::function<void(int command)> onCommand;
    // The menu closed (chosen or not).
    std::function<void()> onClosed;

    int columnCount() const { return columns_; }
    // The rows' texts in order, separators left out.
    QStringList texts() const;
    // The row showing `text` (its accelerator marks included), or null.
    QWidget* row(const QString& text) const;
    QMenu* openSubmenu() const { return submenu_; }

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class MenuRow;

    void choose(int command);
    void openSubmenuOf(MenuRow* row);
    void moveFocus(MenuRow* from, int rowStep, int columnStep);
    void showHint(MenuRow* row);
    QMenu* buildSubmenu(const std::vector<cvk::MenuItem>& items, QWidget* parent);

    std::vector<MenuRow*> rows_;
    int columns_ = 0;
    QPointer<QMenu> submenu_;
    bool chosen_ = false;
};
