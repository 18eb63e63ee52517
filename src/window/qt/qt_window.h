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
class QScreen;

namespace holmtex {

class LinesView;
class ListLinesModel;

// Twips to pixels at 96 dots per inch.
int twipsToPixels(int twips);

// The share of its design size a window takes on a screen's available area: 1 where it fits
// with its frame, less where it does not (never below kSmallestScale). Sizes in pixels.
inline constexpr double kSmallestScale = 0.25;
double fitScale(QSize available, QSize frame, QSize client);

class QtWindow : public QWidget {
    Q_OBJECT
public:
    explicit QtWindow(Holmtex& form, QWidget* parent = nullptr);

    Holmtex& form() { return form_; }
    QWidget* widgetFor(const Control& control) const;
    // Pixels for twips at the window's scale: 15 twips to the pixel where the window fits its
    // screen, fewer where it is scaled down to fit, keeping its proportions.
    int px(int twips) const;
    double scale() const { return scale_; }

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
    void showLine(int row);  // in sight, not selected
    // Ctrl+S, Ctrl+Shift+S, Ctrl+F, F3 and Shift+F3.
    void addSearchAndSaveKeys();
    void nameTheList();
    void showEntries(const ComboBox& combo, QComboBox* box);
    void applyGeometry(Control& control, QWidget* widget);
    QSize clientTwips() const;  // the client area's design size
    void applyWindowSize();
    // Scales the window down to its screen's available area where it does not fit there,
    // back to its design size where it does.
    void fitToScreen();
    void setTabOrder();
    void mirrorOptions();
    void updateCoverage();
    bool handleKey(QObject* watched, const QKeyEvent& key);
    void addHistoryKeys();

    // The option buttons in their order, with their widgets.
    struct Option {
        OptionButton* model;
        QRadioButton* radio;
    };

    // Borders and caption bar of the classic desktop, the window's outer size less its client.
    static constexpr QSize kBorderTwips{240, 480};

    Holmtex& form_;
    double scale_ = 1.0;
    QScreen* watchedScreen_ = nullptr;
    QMetaObject::Connection screenWatch_;
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
