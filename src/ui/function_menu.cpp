#include "ui/function_menu.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "config/descriptions.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The text before the tab, without its accelerator mark, is what a screen
// reader says.
QString spoken(const QString& text)
{
    QString s = text.section(QLatin1Char('\t'), 0, 0);
    s.remove(QLatin1Char('&'));
    return s;
}

constexpr int kSubmenuDelayMs = 250;

}  // namespace

// One item: drawn by the style exactly as a menu item, chosen by click,
// Enter or Space; a submenu opens beside it.
class MenuRow final : public QWidget {
public:
    MenuRow(FunctionMenu* menu, const cvk::MenuItem& item, int column)
        : QWidget(menu), menu_(menu), item_(item), column_(column)
    {
        const bool separator = item.separator;
        setFocusPolicy(separator || item.grayed ? Qt::NoFocus : Qt::StrongFocus);
        setEnabled(!item.grayed);
        setMouseTracking(true);
        if (!separator) {
            setAccessibleName(spoken(qs(item.text)));
            const QString shortcut = qs(item.text).section(QLatin1Char('\t'), 1);
            if (!shortcut.isEmpty())
                setAccessibleDescription(shortcut);
        }
        submenuTimer_.setSingleShot(true);
        submenuTimer_.setInterval(kSubmenuDelayMs);
        connect(&submenuTimer_, &QTimer::timeout, this, [this] {
            if (underMouse() && item_.isSubmenu())
                menu_->openSubmenuOf(this);
        });
    }

    const cvk::MenuItem& item() const { return item_; }
    int column() const { return column_; }
    bool selectable() const { return !item_.separator && !item_.grayed; }

    QStyleOptionMenuItem option() const
    {
        QStyleOptionMenuItem opt;
        opt.initFrom(this);
        opt.text = qs(item_.text);
        opt.menuItemType = item_.separator     ? QStyleOptionMenuItem::Separator
                           : item_.isSubmenu() ? QStyleOptionMenuItem::SubMenu
                                               : QStyleOptionMenuItem::Normal;
        if (item_.isDefault)
            opt.menuItemType = QStyleOptionMenuItem::DefaultItem;
        opt.checkType =
            item_.ticked ? QStyleOptionMenuItem::NonExclusive : QStyleOptionMenuItem::NotCheckable;
        opt.checked = item_.ticked;
        opt.font = font();
        if (item_.isDefault)
            opt.font.setBold(true);
        opt.fontMetrics = QFontMetrics(opt.font);
        opt.maxIconWidth = 0;
        opt.reservedShortcutWidth = shortcutWidth_;
        opt.menuRect = parentWidget()->rect();
        opt.rect = rect();
        if (hasFocus() || (menu_->submenu_ && menu_->submenu_->isVisible() && openedSubmenu_))
            opt.state |= QStyle::State_Selected;
        if (!item_.grayed)
            opt.state |= QStyle::State_Enabled;
        else
            opt.state &= ~QStyle::State_Enabled;
        return opt;
    }

    QSize sizeHint() const override
    {
        QStyleOptionMenuItem opt = option();
        const QString text = opt.text.section(QLatin1Char('\t'), 0, 0);
        const int textWidth =
            opt.fontMetrics.horizontalAdvance(text) + shortcutWidth_ + (shortcutWidth_ ? 24 : 0);
        return style()->sizeFromContents(QStyle::CT_MenuItem, &opt,
                                         QSize(textWidth, opt.fontMetrics.height()), this);
    }
    void setShortcutWidth(int width) { shortcutWidth_ = width; }
    int shortcutWidth() const
    {
        const QString shortcut = qs(item_.text).section(QLatin1Char('\t'), 1);
        QFont f = font();
        f.setBold(item_.isDefault);
        return shortcut.isEmpty() ? 0 : QFontMetrics(f).horizontalAdvance(shortcut);
    }
    void setOpenedSubmenu(bool on)
    {
        openedSubmenu_ = on;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QStyleOptionMenuItem opt = option();
        style()->drawControl(QStyle::CE_MenuItem, &opt, &painter, this);
    }
    void enterEvent(QEnterEvent*) override
    {
        if (!selectable())
            return;
        setFocus(Qt::MouseFocusReason);
        menu_->showHint(this);
        if (item_.isSubmenu())
            submenuTimer_.start();
    }
    void mouseMoveEvent(QMouseEvent*) override
    {
        if (selectable() && !hasFocus())
            setFocus(Qt::MouseFocusReason);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !selectable() ||
            !rect().contains(event->position().toPoint()))
            return;
        activate();
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QWidget::focusInEvent(event);
        update();
        menu_->showHint(this);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QWidget::focusOutEvent(event);
        update();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Up: menu_->moveFocus(this, -1, 0); return;
        case Qt::Key_Down: menu_->moveFocus(this, +1, 0); return;
        case Qt::Key_Left: menu_->moveFocus(this, 0, -1); return;
        case Qt::Key_Right:
            if (item_.isSubmenu())
                menu_->openSubmenuOf(this);
            else
                menu_->moveFocus(this, 0, +1);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: activate(); return;
        default: QWidget::keyPressEvent(event);
        }
    }
    bool focusNextPrevChild(bool next) override
    {
        menu_->moveFocus(this, next ? +1 : -1, 0);
        return true;
    }

private:
    void activate()
    {
        if (item_.isSubmenu())
            menu_->openSubmenuOf(this);
        else if (item_.command != 0)
            menu_->choose(item_.command);
    }

    FunctionMenu* menu_;
    cvk::MenuItem item_;
    int column_;
    int shortcutWidth_ = 0;
    bool openedSubmenu_ = false;
    QTimer submenuTimer_;
};

FunctionMenu::FunctionMenu(QWidget* parent) : QFrame(parent, Qt::Popup)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setAccessibleName(QStringLiteral("Functions"));
}

void FunctionMenu::setItems(const std::vector<cvk::MenuItem>& items)
{
    auto* grid = new QGridLayout(this);
    const int margin = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this) +
                       style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(0);
    int column = 0;
    int line = 0;
    for (const cvk::MenuItem& item : items) {
        if (item.columnBreak && line > 0) {
            ++column;
            line = 0;
        }
        auto* row = new MenuRow(this, item, column);
        rows_.push_back(row);
        grid->addWidget(row, line++, column);
    }
    columns_ = column + 1;
    // Each column lines its shortcuts up at its own right edge.
    for (int c = 0; c < columns_; ++c) {
        int width = 0;
        for (MenuRow* row : rows_)
            if (row->column() == c)
                width = std::max(width, row->shortcutWidth());
        for (MenuRow* row : rows_)
            if (row->column() == c)
                row->setShortcutWidth(width);
    }
    for (int line2 = 0; line2 < grid->rowCount(); ++line2)
        grid->setRowStretch(line2, 0);
    grid->setRowStretch(grid->rowCount(), 1);
    // Tab and the arrows walk the rows in their order.
    for (size_t i = 1; i < rows_.size(); ++i)
        setTabOrder(rows_[i - 1], rows_[i]);
}

QStringList FunctionMenu::texts() const
{
    QStringList texts;
    for (const MenuRow* row : rows_)
        if (!row->item().separator)
            texts << qs(row->item().text);
    return texts;
}

QWidget* FunctionMenu::row(const QString& text) const
{
    for (MenuRow* row : rows_)
        if (!row->item().separator && qs(row->item().text) == text)
            return row;
    return nullptr;
}

void FunctionMenu::popup(const QPoint& globalPos)
{
    adjustSize();
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    const QRect room = screen ? screen->availableGeometry() : QRect(globalPos, size());
    QPoint at = globalPos;
    if (at.x() + width() > room.right() + 1)
        at.setX(std::max(room.left(), room.right() + 1 - width()));
    if (at.y() + height() > room.bottom() + 1)
        at.setY(std::max(room.top(), room.bottom() + 1 - height()));
    move(at);
    show();
    activateWindow();
    for (MenuRow* row : rows_)
        if (row->selectable()) {
            // The first item has the focus for the keyboard, without showing
            // a hint the mouse user did not ask for.
            row->blockSignals(true);
            row->setFocus(Qt::PopupFocusReason);
            row->blockSignals(false);
            break;
        }
}

void FunctionMenu::choose(int command)
{
    chosen_ = true;
    close();
    if (onCommand)
        onCommand(command);
}

void FunctionMenu::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    QToolTip::hideText();
    if (submenu_)
        submenu_->close();
    if (onClosed) {
        auto closed = std::move(onClosed);
        onClosed = nullptr;
        closed();
    }
}

void FunctionMenu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void FunctionMenu::moveFocus(MenuRow* from, int rowStep, int columnStep)
{
    const auto at = std::find(rows_.begin(), rows_.end(), from);
    if (at == rows_.end())
        return;
    if (rowStep != 0) {
        const auto n = static_cast<long>(rows_.size());
        long i = at - rows_.begin();
        for (long k = 0; k < n; ++k) {
            i = (i + rowStep + n) % n;
            if (rows_[static_cast<size_t>(i)]->selectable()) {
                rows_[static_cast<size_t>(i)]->setFocus(Qt::TabFocusReason);
                return;
            }
        }
        return;
    }
    // The row of the next column nearest in height.
    const int column = from->column() + columnStep;
    MenuRow* best = nullptr;
    for (MenuRow* row : rows_)
        if (row->column() == column && row->selectable() &&
            (!best || std::abs(row->y() - from->y()) < std::abs(best->y() - from->y())))
            best = row;
    if (best)
        best->setFocus(Qt::TabFocusReason);
}

void FunctionMenu::showHint(MenuRow* row)
{
    const cvk::MenuItem& item = row->item();
    const std::optional<std::string> hint =
        item.command != 0 ? cvk::menuHint(item.command, spoken(qs(item.text)).toStdString()) : std::nullopt;
    if (hint)
        QToolTip::showText(row->mapToGlobal(QPoint(row->width(), 0)), qs(*hint));
    else
        QToolTip::hideText();
}

QMenu* FunctionMenu::buildSubmenu(const std::vector<cvk::MenuItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    connect(menu, &QMenu::hovered, menu, [](QAction* action) {
        const std::optional<std::string> hint =
            action->data().isValid()
                ? cvk::menuHint(action->data().toInt(), spoken(action->text()).toStdString())
                : std::nullopt;
        if (hint)
            QToolTip::showText(QCursor::pos(), qs(*hint));
        else
            QToolTip::hideText();
    });
    for (const cvk::MenuItem& item : items) {
        if (item.separator || (item.columnBreak && !menu->actions().isEmpty()))
            menu->addSeparator();
        if (item.separator)
            continue;
        QAction* action = nullptr;
        if (item.isSubmenu()) {
            QMenu* sub = buildSubmenu(item.submenu, menu);
            sub->setTitle(qs(item.text));
            action = menu->addMenu(sub);
        } else {
            action = menu->addAction(qs(item.text));
            const int command = item.command;
            if (command != 0)
                connect(action, &QAction::triggered, this, [this, command] { choose(command); });
        }
        if (item.command != 0)
            action->setData(item.command);
        if (item.ticked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        action->setEnabled(!item.grayed);
        if (item.isDefault) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
        }
    }
    return menu;
}

void FunctionMenu::openSubmenuOf(MenuRow* row)
{
    if (submenu_) {
        submenu_->close();
        submenu_->deleteLater();
    }
    for (MenuRow* other : rows_)
        other->setOpenedSubmenu(other == row);
    QMenu* menu = buildSubmenu(row->item().submenu, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    submenu_ = menu;
    connect(menu, &QMenu::aboutToHide, row, [row] { row->setOpenedSubmenu(false); });
    menu->popup(row->mapToGlobal(QPoint(row->width(), 0)));
    if (!menu->actions().isEmpty())
        menu->setActiveAction(menu->actions().first());
}
