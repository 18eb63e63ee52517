#pragma once
// What assistive technology is told about the window: the window is a window (a frame),
// and the captions, which are locked text boxes, are labels.

#include <QLineEdit>

namespace holmtex {

// A locked text box that serves as a caption: it looks and behaves like any text box,
// and is announced as a label named by its text.
class CaptionBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    // Sets the text and tells assistive technology that the label's name changed.
    void setCaption(const QString& text);
};

// Makes the window and the captions known to Qt's accessibility by their roles; once.
void installAccessibleRoles();

}  // namespace holmtex
