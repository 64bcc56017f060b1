#pragma once

// The window's reusable controls: its font, a self-sizing label, check box
// and push button, an up-down spinner for an edit box, and the placing of a
// control at its design geometry.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <type_traits>

#include "app/widgets/Anchors.h"

class QLineEdit;
class QToolButton;

// Captions are never cut: a control with a caption is as wide as its caption
// needs in the font and style in use, and never narrower than its design
// width (DesignWidth, set by Place; 0 for none). It keeps its left edge, top
// and height, and grows into the free room of its row: where a neighbour
// stands in the way on its right, it moves left as far as it must. Its
// anchors follow.
void FitCaptionWidth(QWidget* control, int designWidth, int needed);

// Fits every self-sizing control under `root` to its caption: once all the
// controls of a window are placed, so that each finds its neighbours there.
void FitCaptions(QWidget* root);

// A self-sizing label: whenever its caption or its font changes, it takes
// the caption's width plus two pixels (or its design width, if wider). The
// caption is set through TLabel::setText (a call through a QLabel pointer
// would not resize the label).
class TLabel : public QLabel {
    Q_OBJECT
public:
    TLabel(const QString& caption, QWidget* parent);
    void setText(const QString& caption);
    // Fits the width to the caption.
    void FitCaption();
    void setVisible(bool visible) override;
    int DesignWidth = 0;

protected:
    void changeEvent(QEvent* event) override;
};

// A check box and a push button that fit their width to their caption (the
// style's size for it) once placed (FitCaptions) and whenever their font or
// style changes.
class TCheckBox : public QCheckBox {
    Q_OBJECT
public:
    TCheckBox(const QString& caption, QWidget* parent);
    void FitCaption();
    int DesignWidth = 0;

protected:
    void changeEvent(QEvent* event) override;
};

class TButton : public QPushButton {
    Q_OBJECT
public:
    TButton(const QString& caption, QWidget* parent);
    void FitCaption();
    int DesignWidth = 0;

protected:
    void changeEvent(QEvent* event) override;
};

// The window's font: Tahoma 8 pt. A Tahoma installed on the system comes
// first, else the one that Wine's fonts bring (Debian fonts-wine), else a
// sans face of similar width.
QFont WindowFont();

// Up-down spinner attached to an edit box: each click, and the Up and Down
// keys in the box, step from the box's current integer (held within the
// range; text that is not an integer counts as the last position) and write
// the new position into the edit box.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, QLineEdit* associate, int min, int max, int position);
    int Position() const { return position; }
    void SetPosition(int value);
    // One step up (+1) or down (-1) from the box's current integer.
    void Step(int delta);
    QToolButton* UpButton;
    QToolButton* DownButton;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* associate;
    int min, max, position;
};

// Places a control at its design geometry in a parent of the design size
// and anchors it; a self-sizing control keeps that width as its least and
// fits its caption once all its neighbours are there (FitCaptions).
template <class W>
W* Place(W* widget, int left, int top, int width, int height, Anchor anchor, QSize design)
{
    widget->setGeometry(left, top, width, height);
    SetAnchors(widget, anchor, design);
    if constexpr (std::is_base_of_v<TLabel, W> || std::is_base_of_v<TCheckBox, W> || std::is_base_of_v<TButton, W>)
        widget->DesignWidth = width;
    return widget;
}
