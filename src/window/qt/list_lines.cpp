#include "window/qt/list_lines.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace holmtex {

QString toQt(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

ListLinesModel::ListLinesModel(const ListBox& list, std::function<QString(int)> tip,
                               QObject* parent)
    : QAbstractListModel(parent), list_(list), tip_(std::move(tip)), rows_(list.listCount()) {}

int ListLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant ListLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    if (role == Qt::ToolTipRole && tip_) return tip_(index.row());
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return toQt(list_.lines()[static_cast<std::size_t>(index.row())]);
}

void ListLinesModel::reset() {
    beginResetModel();
    rows_ = list_.listCount();
    endResetModel();
}

void ListLinesModel::appendRows() {
    const int count = list_.listCount();
    if (count <= rows_) return;
    beginInsertRows(QModelIndex(), rows_, count - 1);
    rows_ = count;
    endInsertRows();
}

LinesView::LinesView(QWidget* parent) : QListView(parent) { setVerticalScrollMode(ScrollPerItem); }

int LinesView::rows() const { return model() ? model()->rowCount(rootIndex()) : 0; }

QModelIndex LinesView::line(int row) const { return model()->index(row, 0, rootIndex()); }

QSize LinesView::lineSize() const {
    if (!lineSize_.isValid() && rows() > 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QModelIndex last = line(rows() - 1);
        lineSize_ = itemDelegateForIndex(last)->sizeHint(option, last);
    }
    return lineSize_;
}

int LinesView::wholeLines() const { return std::max(1, viewport()->height() / lineHeight()); }

int LinesView::topLine() const { return verticalScrollBar()->value(); }

int LinesView::lineAt(int y) const {
    const int from = y + verticalOffset();
    return from >= 0 ? from / lineHeight() : -1;
}

int LinesView::horizontalOffset() const { return horizontalScrollBar()->value(); }

int LinesView::verticalOffset() const { return topLine() * lineHeight(); }

void LinesView::layOutNow() const {
    // As QListView does, places are asked for with the scroll bars of the lines shown.
    const_cast<LinesView*>(this)->executeDelayedItemsLayout();
}

QRect LinesView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= rows()) return {};
    layOutNow();
    const int width = std::max(viewport()->width(), lineSize().width());
    return QRect(-horizontalOffset(), index.row() * lineHeight() - verticalOffset(), width,
                 lineHeight());
}

QModelIndex LinesView::indexAt(const QPoint& point) const {
    layOutNow();
    const int row = lineAt(point.y());
    if (row < 0 || row >= rows()) return {};
    const QModelIndex index = line(row);
    return visualRect(index).contains(point) ? index : QModelIndex();
}

void LinesView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const QRect rect = visualRect(index);
    if (!rect.isValid()) return;
    if (hint == EnsureVisible && viewport()->rect().contains(rect)) {
        viewport()->update(rect);
        return;
    }
    if (hint == EnsureVisible && rect.top() < 0)
        hint = PositionAtTop;
    else if (hint == EnsureVisible && rect.bottom() > viewport()->rect().bottom())
        hint = PositionAtBottom;
    const int row = index.row(), whole = std::min(wholeLines(), row + 1);
    int top = topLine();
    if (hint == PositionAtTop) top = row;
    if (hint == PositionAtBottom) top = row - whole + 1;
    if (hint == PositionAtCenter) top = row - whole / 2;
    verticalScrollBar()->setValue(top);
}

void LinesView::doItemsLayout() {
    lineSize_ = QSize();
    QAbstractItemView::doItemsLayout();  // the scroll bars and a repaint
}

QModelIndex LinesView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int count = rows();
    if (count == 0) return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return line(0);
    const int row = current.row(), page = wholeLines() - 1;
    switch (action) {
        case MoveUp:
        case MovePrevious:
            return row > 0 ? line(row - 1) : current;
        case MoveDown:
        case MoveNext:
            return row + 1 < count ? line(row + 1) : current;
        case MovePageUp:
            return line(std::max(0, row - page));
        case MovePageDown:
            return line(std::min(count - 1, row + page));
        case MoveHome:
            return line(0);
        case MoveEnd:
            return line(count - 1);
        default:  // one column: nothing lies left or right
            return current;
    }
}

void LinesView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel() || rect.isNull()) return;
    const QRect normal = rect.normalized();
    const int first = std::max(0, lineAt(normal.top()));
    const int last = std::min(rows() - 1, lineAt(normal.bottom()));
    const int left = -horizontalOffset(), width = std::max(viewport()->width(), lineSize().width());
    QItemSelection selection;
    if (first <= last && normal.right() >= left && normal.left() < left + width)
        selection.select(line(first), line(last));
    selectionModel()->select(selection, command);
}

void LinesView::updateGeometries() {
    const int count = rows();
    if (geometry().isEmpty() || count <= 0) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        const int width = lineSize().width(), whole = wholeLines();
        horizontalScrollBar()->setSingleStep(width);
        horizontalScrollBar()->setPageStep(viewport()->width());
        horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
        verticalScrollBar()->setSingleStep(1);
        verticalScrollBar()->setPageStep(whole);
        verticalScrollBar()->setRange(
            0, count * lineHeight() > viewport()->height() ? count - whole : 0);
    }
    QAbstractItemView::updateGeometries();
}

void LinesView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(isRightToLeft() ? -dx : dx, dy * lineHeight());
}

// As QListView paints its lines, for the lines in sight only.
void LinesView::paintEvent(QPaintEvent* event) {
    const int count = rows();
    if (count == 0) return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int first = std::max(0, lineAt(area.top()));
    const int last = std::min(count - 1, lineAt(area.bottom()));
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = line(row);
        option.rect = visualRect(index);
        option.rect.setWidth(std::min(viewport()->width(), option.rect.width()));
        option.state = state;
        if (selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
        if (state & QStyle::State_Enabled) option.palette.setCurrentColorGroup(QPalette::Normal);
        if (focus && current == index) option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void LinesView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        lineSize_ = QSize();  // measured again in the new font
    QListView::changeEvent(event);
}

void LinesView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (QAccessible::isActive() && current.isValid()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
    QAbstractItemView::currentChanged(current, previous);
}

}  // namespace holmtex
