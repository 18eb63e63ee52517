#pragma once
// The page list in Qt: a model that reads the lines of List1 only when the view shows
// them, and a list view whose every line has the same height, so that a new list or a line
// added at its end costs the same at a million lines as at ten. QListView itself walks
// every row on each layout, even with uniform item sizes.

#include <QAbstractListModel>
#include <QListView>
#include <functional>

#include "window/controls.h"

namespace holmtex {

// A model text as Qt shows it: CR LF line breaks become LF.
QString toQt(std::string_view text);

class ListLinesModel : public QAbstractListModel {
public:
    // `tip` gives a line's tooltip, read when the mouse rests on it.
    ListLinesModel(const ListBox& list, std::function<QString(int row)> tip, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The list's lines were replaced.
    void reset();
    // Lines were added at the list's end; the rows before them stay.
    void appendRows();

private:
    const ListBox& list_;
    std::function<QString(int row)> tip_;
    int rows_;
};

// Lines top to bottom, one column, scrolled by whole lines or by pixels as the style
// says; places are counted from the line height, never laid out line by line.
class LinesView : public QListView {
public:
    explicit LinesView(QWidget* parent);

    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void doItemsLayout() override;

protected:
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void changeEvent(QEvent* event) override;

private:
    int rows() const;
    // The size of every line: that of the last one, as QListView takes it.
    QSize lineSize() const;
    int lineHeight() const { return std::max(1, lineSize().height()); }
    // Lines that fit whole into the view, at least one.
    int wholeLines() const;
    bool perLine() const { return verticalScrollMode() == ScrollPerItem; }
    int topLine() const;  // the first line shown, perhaps in part
    // The line at a height in the view, counted from the first line; may lie outside.
    int lineAt(int y) const;
    QModelIndex line(int row) const;
    void layOutNow() const;  // a layout still to come, done now

    mutable QSize lineSize_;  // invalid: not measured since the last layout
};

}  // namespace holmtex
