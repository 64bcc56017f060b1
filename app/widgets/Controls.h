#pragma once

// The window's reusable controls: its font, a self-sizing label, an up-down
// spinner for an edit box, and the placing of a control at its design
// geometry.

#include <QLabel>
#include <QString>
#include <QWidget>
#include <type_traits>

#include "app/widgets/Anchors.h"

class QLineEdit;
class QToolButton;

// A self-sizing label: whenever its caption or its font changes, it takes
// the caption's width plus two pixels, keeping its left edge, top and height.
// The caption is set through TLabel::setText (a call through a QLabel
// pointer would not resize the label).
class TLabel : public QLabel {
    Q_OBJECT
public:
    TLabel(const QString& caption, QWidget* parent);
    void setText(const QString& caption);
    // Fits the width to the caption.
    void FitCaption();
    void setVisible(bool visible) override;

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
// and anchors it; a self-sizing label then takes the width of its caption.
template <class W>
W* Place(W* widget, int left, int top, int width, int height, Anchor anchor, QSize design)
{
    widget->setGeometry(left, top, width, height);
    SetAnchors(widget, anchor, design);
    if constexpr (std::is_base_of_v<TLabel, W>)
        widget->FitCaption();
    return widget;
}
