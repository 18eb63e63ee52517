#include "window/qt/qt_window.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "window/qt/accessibility.h"
#include "window/qt/list_lines.h"

namespace holmtex {

int twipsToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

namespace {

std::string toModel(const QString& text) {
    QString s = text;
    s.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    s.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return s.toStdString();
}

QColor toColor(Rgb c) { return QColor(c.r, c.g, c.b); }

void installFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    // Metric-compatible stand-ins for the window's Windows fonts.
    const QStringList sans = {"Liberation Sans", "Arial", "DejaVu Sans"};
    QFont::insertSubstitutions("MS Sans Serif", sans);
    QFont::insertSubstitutions("Arial Unicode MS", sans);
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "DejaVu Serif"});
}

QFont toFont(const Font& font, double scale) {
    QFont f(QString::fromUtf8(font.name.data(), static_cast<qsizetype>(font.name.size())));
    // Sizes in points at 96 dpi, given in pixels so the layout does not depend on the screen.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.points * 96.0 / 72.0 * scale))));
    f.setBold(font.bold);
    return f;
}

// The option buttons' look; scaled down, their round indicator shrinks with their text.
QString optionStyle(double scale) {
    if (scale >= 1.0) return "QRadioButton { spacing: 3px; }";
    const int indicator = std::max(5, static_cast<int>(std::lround(13 * scale)));
    return QString(
               "QRadioButton { spacing: %1px; } QRadioButton::indicator { width: %2px; "
               "height: %2px; }")
        .arg(std::max(1, static_cast<int>(std::lround(3 * scale))))
        .arg(indicator);
}

// A straight line 3 pixels wide; it takes no mouse input.
class LineWidget : public QWidget {
public:
    LineWidget(const Line& line, const QtWindow& window, QWidget* parent)
        : QWidget(parent), line_(line), window_(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(
            QPen(toColor(line_.foreColor.value_or(colors::Black)), 3, Qt::SolidLine, Qt::FlatCap));
        const QPoint origin = pos();
        painter.drawLine(QPoint(window_.px(line_.x1), window_.px(line_.y1)) - origin,
                         QPoint(window_.px(line_.x2), window_.px(line_.y2)) - origin);
    }

private:
    const Line& line_;
    const QtWindow& window_;
};

// A push button whose caption wraps onto several lines when it is too long for one,
// as the narrow buttons of the window need.
class WrapButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect area = rect().adjusted(2, 1, -2, -1);
        if (isDown()) area.translate(1, 1);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text());
    }
};

}  // namespace

QIcon holmtexIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    // A light yellow note page with four family blocks, in a few plain colours.
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(toColor(colors::LightYellow));
    p.drawRect(3, 1, 25, 29);
    p.fillRect(6, 5, 8, 9, toColor(colors::LightGreen));
    p.fillRect(17, 5, 8, 9, toColor(colors::LightBlue));
    p.fillRect(6, 17, 8, 9, toColor(colors::LightRed));
    p.fillRect(17, 17, 8, 9, toColor(colors::LightOrange));
    p.setPen(QPen(QColor(0, 128, 0), 1));
    for (int y : {7, 9, 11}) p.drawLine(7, y, 12, y);
    p.end();
    return QIcon(pixmap);
}

QtWindow::QtWindow(Holmtex& form, QWidget* parent) : QWidget(parent), form_(form) {
    installFontSubstitutions();
    installAccessibleRoles();
    setObjectName("Holmtex");
    setWindowTitle(QString::fromStdString(form.Caption));
    setWindowIcon(holmtexIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toColor(form.BackColor));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(toFont(Font{}, scale_));

    // Controls inside the frame need the frame's widget first.
    for (Control* control : form.controls())
        if (control->kind() == ControlKind::Frame) widgets_[control] = createWidget(*control, this);
    for (Control* control : form.controls()) {
        if (widgets_.count(control)) continue;
        QWidget* parentWidget = control->container ? widgets_.at(control->container) : this;
        widgets_[control] = createWidget(*control, parentWidget);
    }

    OptionButton* models[] = {&form.Option1, &form.Option2, &form.Option3};
    for (size_t i = 0; i < options_.size(); ++i)
        options_[i] = {models[i], static_cast<QRadioButton*>(widgets_.at(models[i]))};
    mirrorOptions();

    for (auto& [control, widget] : widgets_) {
        Control* c = const_cast<Control*>(control);
        c->observe([this, c](Property property) { sync(*c, property); });
    }
    widgets_.at(&form.Command18)->raise();  // covers "2 Familien" at the shared place
    widgets_.at(&form.Text2)->raise();      // the number stays readable under its caption
    widgets_.at(&form.Line1)->raise();
    widgets_.at(&form.Line2)->raise();
    widgets_.at(&form.Text1)->raise();  // the big text window lies over the panels
    setTabOrder();
    updateCoverage();
    nameTheList();

    // Ctrl+P prints the page as a family sheet, as the command word "drucken!" does.
    auto* print = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(print, &QShortcut::activated, this, [this] { form_.PrintFamilySheet(); });
    addHistoryKeys();
    addSearchAndSaveKeys();

    applyWindowSize();
    form.observeWindowSize([this] { applyWindowSize(); });
    fitToScreen();
}

void QtWindow::addSearchAndSaveKeys() {
    const auto key = [this](QKeyCombination keys, bool repeats, auto run) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        // Held down, a save key would save the page over and over.
        shortcut->setAutoRepeat(repeats);
        connect(shortcut, &QShortcut::activated, this, run);
    };
    key(Qt::CTRL | Qt::Key_S, false,
        [this] { static_cast<QPushButton*>(widgets_.at(&form_.Command1))->click(); });
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_S, false, [this] { form_.ReplacePage(); });
    key(Qt::CTRL | Qt::Key_F, false, [this] {
        auto* combo = static_cast<QComboBox*>(widgets_.at(&form_.Combo1));
        combo->setFocus(Qt::ShortcutFocusReason);
        combo->lineEdit()->selectAll();
    });
    key(QKeyCombination(Qt::Key_F3), true, [this] { form_.NextHit(); });
    key(Qt::SHIFT | Qt::Key_F3, true, [this] { form_.PreviousHit(); });
}

QWidget* QtWindow::widgetFor(const Control& control) const {
    auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

int QtWindow::px(int twips) const { return static_cast<int>(std::lround(twips * scale_ / 15.0)); }

QSize QtWindow::clientTwips() const {
    // The outer size includes the borders and the caption bar (240 x 480 twips on the
    // classic desktop); the client area is what Qt sizes.
    if (form_.windowWidth() > 0)
        return {form_.windowWidth() - kBorderTwips.width(),
                form_.windowHeight() - kBorderTwips.height()};
    return {Holmtex::kClientWidth, Holmtex::kClientHeight};
}

void QtWindow::applyWindowSize() {
    const QSize client = clientTwips();
    resize(px(client.width()), px(client.height()));
}

void QtWindow::applyGeometry(Control& control, QWidget* widget) {
    if (control.kind() == ControlKind::Line) {
        auto& line = static_cast<Line&>(control);
        const int x = px(std::min(line.x1, line.x2)) - 1;
        const int y = px(std::min(line.y1, line.y2)) - 1;
        widget->setGeometry(x, y, px(std::abs(line.x2 - line.x1)) + 3,
                            px(std::abs(line.y2 - line.y1)) + 3);
        return;
    }
    widget->setGeometry(px(control.left()), px(control.top()), px(control.width()),
                        px(control.height()));
}

QWidget* QtWindow::createWidget(Control& control, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (control.kind()) {
        case ControlKind::TextBox:
            widget = createTextBox(static_cast<TextBox&>(control), parent);
            break;
        case ControlKind::CommandButton:
            widget = createButton(static_cast<CommandButton&>(control), parent);
            break;
        case ControlKind::OptionButton:
            widget = createOption(static_cast<OptionButton&>(control), parent);
            break;
        case ControlKind::ListBox:
            widget = createList(static_cast<ListBox&>(control), parent);
            break;
        case ControlKind::ComboBox:
            widget = createCombo(static_cast<ComboBox&>(control), parent);
            break;
        case ControlKind::Frame: {
            auto* frame = new QFrame(parent);
            frame->setFrameShape(QFrame::Box);
            frame->setFrameShadow(QFrame::Sunken);
            frame->setAutoFillBackground(true);
            widget = frame;
            break;
        }
        case ControlKind::Line:
            widget = new LineWidget(static_cast<Line&>(control), *this, parent);
            break;
    }
    applyLook(control, widget);
    applyGeometry(control, widget);
    widget->setVisible(control.visible());
    return widget;
}

void QtWindow::applyLook(const Control& control, QWidget* widget) {
    widget->setObjectName(QString::fromStdString(control.qualifiedName()));
    // A caption without a name of its own is named by what it shows, whatever the program
    // puts there later.
    const bool namedByText = qobject_cast<CaptionBox*>(widget) &&
                             control.accessibleName == static_cast<const TextBox&>(control).text();
    if (!control.accessibleName.empty() && !namedByText)
        widget->setAccessibleName(QString::fromStdString(control.accessibleName));
    widget->setFont(toFont(control.font, scale_));
    QPalette pal = widget->palette();
    // Without colours of its own a control has the system's, not those of its frame.
    const QPalette system = QApplication::palette(widget);
    pal.setColor(QPalette::Base,
                 control.backColor ? toColor(*control.backColor) : system.color(QPalette::Base));
    pal.setColor(QPalette::Text,
                 control.foreColor ? toColor(*control.foreColor) : system.color(QPalette::Text));
    if (control.backColor) pal.setColor(QPalette::Window, toColor(*control.backColor));
    if (control.foreColor) pal.setColor(QPalette::WindowText, toColor(*control.foreColor));
    widget->setPalette(pal);
    if (!control.tabStop && control.kind() != ControlKind::TextBox)
        widget->setFocusPolicy(Qt::NoFocus);
}

QWidget* QtWindow::createButton(CommandButton& model, QWidget* parent) {
    auto* button = new WrapButton(QString::fromStdString(model.caption()), parent);
    button->setAutoDefault(false);
    button->installEventFilter(this);  // Enter presses it, as Space does
    connect(button, &QPushButton::clicked, this, [&model] { model.click(); });
    return button;
}

QWidget* QtWindow::createOption(OptionButton& model, QWidget* parent) {
    auto* radio = new QRadioButton(QString::fromStdString(model.caption()), parent);
    // One exclusive group, also for assistive technology; the model still decides which
    // button is on (mirrorOptions).
    radio->setAutoExclusive(true);
    radio->setAutoFillBackground(true);
    radio->setStyleSheet(optionStyle(scale_));
    radio->installEventFilter(this);  // arrow keys move the choice
    connect(radio, &QRadioButton::clicked, this, [this, &model] {
        if (syncing_) return;
        model.setValue(true);  // a click on the selected button keeps it selected
        mirrorOptions();
    });
    // Assistive technology switches the button on without a click.
    connect(radio, &QRadioButton::toggled, this, [this, &model](bool on) {
        if (syncing_ || !on) return;
        model.setValue(true);
        mirrorOptions();
    });
    return radio;
}

QWidget* QtWindow::createTextBox(TextBox& box, QWidget* parent) {
    Qt::Alignment align = box.alignment == Alignment::Right    ? Qt::AlignRight
                          : box.alignment == Alignment::Center ? Qt::AlignHCenter
                                                               : Qt::AlignLeft;
    if (box.multiLine) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy(box.scrollBar ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
        edit->document()->setDocumentMargin(1);
        edit->setPlainText(toQt(box.text()));
        edit->setReadOnly(box.locked);
        if (!box.tabStop) edit->setFocusPolicy(box.locked ? Qt::NoFocus : Qt::ClickFocus);
        connect(edit, &QPlainTextEdit::textChanged, this, [this, &box, edit] {
            if (!syncing_) box.setText(toModel(edit->toPlainText()));
        });
        return edit;
    }
    QLineEdit* edit = box.locked ? new CaptionBox(toQt(box.text()), parent)
                                 : new QLineEdit(toQt(box.text()), parent);
    // Captions keep their text at the top, clear of the controls that overlap their foot
    // (the list under its heading, Text2 under "Vorgang Nr. ").
    edit->setAlignment(align | (box.locked ? Qt::AlignTop : Qt::AlignVCenter));
    edit->setReadOnly(box.locked);
    edit->setTextMargins(0, 0, 0, 0);
    if (box.locked) edit->setFrame(false);  // a caption: its text needs the whole height
    if (!box.tabStop) edit->setFocusPolicy(box.locked ? Qt::NoFocus : Qt::ClickFocus);
    if (box.locked) edit->setCursor(Qt::ArrowCursor);
    connect(edit, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
        if (!syncing_) box.setText(toModel(text));
    });
    return edit;
}

QWidget* QtWindow::createList(ListBox& list, QWidget* parent) {
    listView_ = new LinesView(parent);
    listModel_ = new ListLinesModel(
        list, [this](int row) { return toQt(form_.lineTip(row)); }, listView_);
    listView_->setModel(listModel_);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView_->viewport()->installEventFilter(this);
    // A click or a selection key selects a line and opens it. The keyboard focus coming
    // into the list only puts the focus frame on a line; that opens nothing.
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, &list](const QItemSelection& selected) {
                if (!syncing_ && !selected.indexes().isEmpty())
                    list.setListIndex(selected.indexes().first().row());
            });
    // A click on the line that is already selected opens it again.
    connect(listView_, &QListView::pressed, this, [this, &list](const QModelIndex& index) {
        if (!syncing_ && index.isValid() && index.row() == rowBeforePress_)
            list.clickLine(index.row());
    });
    return listView_;
}

QWidget* QtWindow::createCombo(ComboBox& combo, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would put a command word back into the box after a command
    // has emptied it, and run it by itself.
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(8);
    for (const auto& entry : combo.entries()) box->addItem(toQt(entry));
    box->setEditText(toQt(combo.text()));
    box->lineEdit()->setAccessibleName(QString::fromStdString(combo.accessibleName));
    // The words the box takes besides a search text, for those who cannot see the help.
    const QString words = QString::fromStdString(Holmtex::commandBoxDescription());
    box->setAccessibleDescription(words);
    box->lineEdit()->setAccessibleDescription(words);
    box->installEventFilter(this);  // Enter searches
    box->lineEdit()->installEventFilter(this);
    connect(box, &QComboBox::editTextChanged, this, [this, &combo](const QString& text) {
        if (!syncing_) combo.setText(toModel(text));
    });
    return box;
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
    if (listView_ && watched == listView_->viewport() && event->type() == QEvent::MouseButtonPress)
        rowBeforePress_ = form_.List1.listIndex();
    if (event->type() == QEvent::KeyPress && handleKey(watched, *static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool QtWindow::handleKey(QObject* watched, const QKeyEvent& key) {
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    auto* combo = static_cast<QComboBox*>(widgets_.at(&form_.Combo1));
    if (enter && (watched == combo || watched == combo->lineEdit())) {
        // A command word has run by itself already, and emptied the box where it does: the
        // Enter that follows out of habit leaves its message alone.
        const std::string& text = form_.Combo1.text();
        if (!key.isAutoRepeat() && !text.empty() && !Holmtex::isCommandWord(text))
            form_.Command8.click();
        return true;
    }
    if (enter && qobject_cast<QPushButton*>(watched)) {
        // Held down, Enter would save the page over and over.
        if (!key.isAutoRepeat()) static_cast<QPushButton*>(watched)->click();
        return true;
    }
    const bool back = key.key() == Qt::Key_Left || key.key() == Qt::Key_Up;
    const bool on = key.key() == Qt::Key_Right || key.key() == Qt::Key_Down;
    if ((back || on) && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        for (size_t i = 0; i < options_.size(); ++i) {
            if (watched != options_[i].radio) continue;
            // Round the group, as on the desktop the program comes from.
            const Option& next = options_[(i + (back ? options_.size() - 1 : 1)) % options_.size()];
            next.radio->setFocus(Qt::TabFocusReason);
            next.model->setValue(true);
            return true;
        }
    }
    return false;
}

void QtWindow::addHistoryKeys() {
    // Outside the text fields Ctrl+Z takes back the last change of a list, Ctrl+Y and
    // Ctrl+Shift+Z redo it, as zurück! and wieder! do; in a text field they undo and redo
    // the typing there, and the field takes them before the window does.
    const std::pair<QKeySequence, void (Holmtex::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &Holmtex::TakeBackChange},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &Holmtex::RedoChange},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &Holmtex::RedoChange},
    };
    for (const auto& [sequence, step] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const QWidget* focus = QApplication::focusWidget();
            const bool typing = (qobject_cast<const QLineEdit*>(focus) &&
                                 !static_cast<const QLineEdit*>(focus)->isReadOnly()) ||
                                (qobject_cast<const QPlainTextEdit*>(focus) &&
                                 !static_cast<const QPlainTextEdit*>(focus)->isReadOnly());
            if (!typing) (form_.*step)();
        });
    }
}

void QtWindow::mirrorOptions() {
    const bool wasSyncing = std::exchange(syncing_, true);
    const bool any = std::any_of(options_.begin(), options_.end(),
                                 [](const Option& o) { return o.model->value(); });
    for (const Option& option : options_) {
        // Qt would not switch off the last checked button of an exclusive group.
        option.radio->setAutoExclusive(false);
        option.radio->setChecked(option.model->value());
        option.radio->setAutoExclusive(true);
        // Tab comes into the group at the selected button.
        option.radio->setFocusPolicy(option.model->value() || !any ? Qt::StrongFocus
                                                                   : Qt::ClickFocus);
    }
    syncing_ = wasSyncing;
}

void QtWindow::updateCoverage() {
    const Control& text1 = form_.Text1;
    const QRect cover(text1.left(), text1.top(), text1.width(), text1.height());
    for (auto& [control, widget] : widgets_) {
        if (control == &text1 || control->kind() == ControlKind::Line ||
            control->kind() == ControlKind::Frame)
            continue;
        QRect place(control->left(), control->top(), control->width(), control->height());
        if (control->container)
            place.translate(control->container->left(), control->container->top());
        const bool covered = text1.visible() && cover.contains(place);
        auto it = covered_.find(widget);
        if (covered && it == covered_.end()) {
            covered_[widget] = widget->focusPolicy();
            widget->setFocusPolicy(Qt::NoFocus);
            QWidget* focus = QApplication::focusWidget();
            if (focus && (focus == widget || widget->isAncestorOf(focus)))
                widgets_.at(&text1)->setFocus(Qt::OtherFocusReason);
        } else if (!covered && it != covered_.end()) {
            widget->setFocusPolicy(it->second);
            covered_.erase(it);
        }
    }
}

void QtWindow::sync(Control& control, Property property) {
    QWidget* widget = widgets_.at(&control);
    const bool wasSyncing = syncing_;
    syncing_ = true;
    switch (property) {
        case Property::Visible:
            widget->setVisible(control.visible());
            if (&control == &form_.Text1) updateCoverage();
            break;
        case Property::Geometry:
            applyGeometry(control, widget);
            updateCoverage();
            break;
        case Property::Text:
            showText(control, widget);
            if (&control == &form_.Text31) nameTheList();
            break;
        case Property::Value:
            mirrorOptions();
            break;
        case Property::Lines:
            listModel_->reset();  // one reset, however many lines
            break;
        case Property::LinesAppended:
            listModel_->appendRows();
            // No line is selected now, unless lines came while one was.
            if (static_cast<ListBox&>(control).listIndex() < 0)
                listView_->selectionModel()->clear();
            break;
        case Property::ListIndex:
            showListIndex(static_cast<ListBox&>(control).listIndex());
            break;
        case Property::Entries:
            showEntries(static_cast<ComboBox&>(control), static_cast<QComboBox*>(widget));
            break;
        case Property::ScrollTo:
            showLine(static_cast<ListBox&>(control).scrollLine());
            break;
    }
    syncing_ = wasSyncing;
}

void QtWindow::nameTheList() {
    // The list is named by its heading, which names the list chosen.
    listView_->setAccessibleName(toQt(form_.Text31.text()));
}

void QtWindow::showListIndex(int row) {
    auto* selection = listView_->selectionModel();
    if (row < 0) {
        selection->clear();
        return;
    }
    const QModelIndex index = listModel_->index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    listView_->scrollTo(index);
}

void QtWindow::showLine(int row) {
    const QModelIndex index = listModel_->index(row);
    // Out of sight, it comes to the top, with the lines after it below.
    if (!listView_->viewport()->rect().contains(listView_->visualRect(index)))
        listView_->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void QtWindow::showEntries(const ComboBox& combo, QComboBox* box) {
    const QString text = box->currentText();
    box->clear();
    for (const auto& entry : combo.entries()) box->addItem(toQt(entry));
    box->setEditText(text);
}

void QtWindow::showText(const Control& control, QWidget* widget) {
    if (control.kind() == ControlKind::CommandButton) {
        static_cast<QPushButton*>(widget)->setText(
            QString::fromStdString(static_cast<const CommandButton&>(control).caption()));
        return;
    }
    if (control.kind() == ControlKind::ComboBox) {
        auto* box = static_cast<QComboBox*>(widget);
        const QString text = toQt(static_cast<const ComboBox&>(control).text());
        if (box->currentText() != text) box->setEditText(text);
        return;
    }
    if (control.kind() != ControlKind::TextBox) return;
    // Only a text the program put there is shown afresh, from its start: what the user
    // types is already in the widget, and the cursor stays where it is.
    const QString text = toQt(static_cast<const TextBox&>(control).text());
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        if (edit->toPlainText() == text) return;
        if (edit->document()->isModified()) {
            // Put over what the user typed: Ctrl+Z there brings the typing back.
            QTextCursor all(edit->document());
            all.select(QTextCursor::Document);
            all.insertText(text);
            edit->document()->setModified(false);
        } else {
            edit->setPlainText(text);
        }
        edit->moveCursor(QTextCursor::Start);
        edit->verticalScrollBar()->setValue(0);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() == text) return;
        if (auto* caption = qobject_cast<CaptionBox*>(line)) {
            caption->setCaption(text);
        } else if (line->isModified()) {
            // As above: an edit that Ctrl+Z takes back.
            line->selectAll();
            line->insert(text);
            line->setModified(false);
        } else {
            line->setText(text);
        }
        line->setCursorPosition(0);
    }
}

void QtWindow::setTabOrder() {
    std::vector<Control*> stops;
    for (Control* control : form_.controls()) {
        if (control->tabIndex < 0 || !control->tabStop) continue;
        if (control->kind() == ControlKind::Frame || control->kind() == ControlKind::Line) continue;
        stops.push_back(control);
    }
    std::sort(stops.begin(), stops.end(),
              [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    for (size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(widgets_.at(stops[i - 1]), widgets_.at(stops[i]));
}

void QtWindow::closeEvent(QCloseEvent* event) {
    form_.WindowClosing();
    QWidget::closeEvent(event);
}

void QtWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!focusSet_) {
        focusSet_ = true;
        listView_->setFocus(Qt::OtherFocusReason);
        // Once the window system has finished moving the window there.
        connect(
            windowHandle(), &QWindow::screenChanged, this, [this] { fitToScreen(); },
            Qt::QueuedConnection);
    }
    fitToScreen();  // now with the window system's frame
}

double fitScale(QSize available, QSize frame, QSize client) {
    if (client.isEmpty()) return 1.0;
    const double wide = static_cast<double>(available.width() - frame.width()) / client.width();
    const double high = static_cast<double>(available.height() - frame.height()) / client.height();
    return std::clamp(std::min(wide, high), kSmallestScale, 1.0);
}

void QtWindow::fitToScreen() {
    QScreen* shown = screen();
    if (shown != watchedScreen_) {
        disconnect(screenWatch_);
        watchedScreen_ = shown;
        if (shown)
            screenWatch_ = connect(
                shown, &QScreen::availableGeometryChanged, this, [this] { fitToScreen(); },
                Qt::QueuedConnection);
    }
    if (!shown) return;
    // The frame the window system gives the window; before it is shown, the classic one.
    const bool framed = isVisible() && frameGeometry().size() != size();
    const QSize frame =
        framed ? frameGeometry().size() - size()
               : QSize(twipsToPixels(kBorderTwips.width()), twipsToPixels(kBorderTwips.height()));
    const QSize client = clientTwips();
    const double scale =
        fitScale(shown->availableGeometry().size(), frame,
                 QSize(twipsToPixels(client.width()), twipsToPixels(client.height())));
    if (scale == scale_) return;
    scale_ = scale;
    setFont(toFont(Font{}, scale_));
    for (const Option& option : options_) option.radio->setStyleSheet(optionStyle(scale_));
    for (auto& [control, widget] : widgets_) {
        widget->setFont(toFont(control->font, scale_));
        applyGeometry(*const_cast<Control*>(control), widget);
    }
    applyWindowSize();
    if (scale_ < 1.0 && isVisible()) {
        // Wholly on the screen, where the window system left it in part outside.
        const QRect area = shown->availableGeometry();
        const QSize outer = size() + frame;
        move(std::clamp(x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
             std::clamp(y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    }
}

}  // namespace holmtex
