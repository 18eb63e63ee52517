#pragma once
// The window model shown as Qt widgets: one widget per control, placed at its design
// values (15 twips to the pixel). Model changes are mirrored into the widgets; user input
// goes through the model's setters, so it raises the same events as an operation.

#include <QWidget>
#include <array>
#include <map>

#include "window/holmtex.h"

class QComboBox;
class QKeyEvent;
class QRadioButton;

namespace holmtex {

class LinesView;
class ListLinesModel;

// Twips to pixels at 96 dots per inch.
int twipsToPixels(int twips);

class QtWindow : public QWidget {
    Q_OBJECT
public:
    explicit QtWindow(Holmtex& form, QWidget* parent = nullptr);

    Holmtex& form() { return form_; }
    QWidget* widgetFor(const Control& control) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createWidget(Control& control, QWidget* parent);
    void applyLook(const Control& control, QWidget* widget);
    QWidget* createButton(CommandButton& model, QWidget* parent);
    QWidget* createOption(OptionButton& model, QWidget* parent);
    QWidget* createTextBox(TextBox& box, QWidget* parent);
    QWidget* createList(ListBox& list, QWidget* parent);
    QWidget* createCombo(ComboBox& combo, QWidget* parent);
    void sync(Control& control, Property property);
    // A text, caption or command-box text that the model changed.
    void showText(const Control& control, QWidget* widget);
    void showListIndex(int row);
    void showEntries(const ComboBox& combo, QComboBox* box);
    void applyGeometry(Control& control, QWidget* widget);
    void applyWindowSize();
    void setTabOrder();
    void mirrorOptions();
    void updateCoverage();
    bool handleKey(QObject* watched, const QKeyEvent& key);

    // The option buttons in their order, with their widgets.
    struct Option {
        OptionButton* model;
        QRadioButton* radio;
    };

    Holmtex& form_;
    std::map<const Control*, QWidget*> widgets_;
    LinesView* listView_ = nullptr;
    ListLinesModel* listModel_ = nullptr;
    std::array<Option, 3> options_{};
    // Controls lying under Text1 take no focus; the focus policy each had before.
    std::map<QWidget*, Qt::FocusPolicy> covered_;
    int rowBeforePress_ = -1;
    bool syncing_ = false;  // set while the model is being mirrored into the widgets
    bool focusSet_ = false;
};

// The program's own window icon, drawn at 32 x 32 pixels.
QIcon holmtexIcon();

}  // namespace holmtex
