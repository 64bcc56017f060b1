#include "app/widgets/Controls.h"

#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace {

// Where Wine's Tahoma is found: Debian's fonts-wine, Fedora's wine-tahoma-fonts.
const char* const WineTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
    "/usr/share/fonts/wine-tahoma-fonts/tahoma.ttf",
    "/usr/share/fonts/wine-tahoma-fonts/tahomabd.ttf",
};

}  // namespace

QFont WindowFont()
{
    static const bool tahomaLoaded = [] {
        const QString tahoma = QStringLiteral("Tahoma");
        if (QFontDatabase::families().contains(tahoma))
            return true;
        bool loaded = false;
        for (const char* file : WineTahomaFiles) {
            const QString path = QString::fromLatin1(file);
            if (QFile::exists(path))
                loaded |= QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(path)).contains(tahoma);
        }
        return loaded;
    }();
    (void)tahomaLoaded;
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPointSize(8);
    return font;
}

// ---------------------------------------------------------------------------

TLabel::TLabel(const QString& caption, QWidget* parent)
    : QLabel(caption, parent)
{
}

void TLabel::setText(const QString& caption)
{
    QLabel::setText(caption);
    FitCaption();
}

void FitCaptionWidth(QWidget* control, int designWidth, int needed)
{
    QRect place = control->geometry();
    place.setWidth(std::max(designWidth, needed));
    // The room in the control's row: from the nearest sibling on its left to
    // the nearest on its right, or the parent's edges. A sibling it already
    // lies on (a chart under its check boxes) is its backdrop, not a
    // neighbour.
    if (QWidget* parent = control->parentWidget(); parent && parent->width() > 0) {
        int left = 0;
        int right = parent->width();
        for (QObject* child : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (!sibling || sibling == control || sibling->isWindow())
                continue;
            const QRect other = sibling->geometry();
            if (other.intersects(control->geometry()) || other.bottom() < place.top() || other.top() > place.bottom())
                continue;
            if (other.left() >= control->x())
                right = std::min(right, other.left());
            else
                left = std::max(left, other.right() + 1);
        }
        // Blocked on the right, it moves left into free room.
        if (place.right() >= right)
            place.moveRight(right - 1);
        if (place.left() < left)
            place.moveLeft(left);
    }
    if (place == control->geometry())
        return;
    control->setGeometry(place);
    RebaseAnchors(control);
}

void FitCaptions(QWidget* root)
{
    for (TLabel* label : root->findChildren<TLabel*>())
        label->FitCaption();
    for (TCheckBox* box : root->findChildren<TCheckBox*>())
        box->FitCaption();
    for (TButton* button : root->findChildren<TButton*>())
        button->FitCaption();
}

void TLabel::FitCaption()
{
    FitCaptionWidth(this, DesignWidth, fontMetrics().horizontalAdvance(text()) + 2);
}

// A label that took a wider caption while hidden would be painted, when
// shown, only as wide as it was before: the whole label is marked for the
// next paint, which also comes when a transfer repaints its progress bar.
void TLabel::setVisible(bool visible)
{
    QLabel::setVisible(visible);
    if (visible)
        update();
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitCaption();
}

// ---------------------------------------------------------------------------

namespace {

bool ChangesCaptionWidth(const QEvent* event)
{
    return event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange;
}

}  // namespace

TCheckBox::TCheckBox(const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent)
{
}

void TCheckBox::FitCaption()
{
    FitCaptionWidth(this, DesignWidth, sizeHint().width());
}

// The base class drops its size for the old font first.
void TCheckBox::changeEvent(QEvent* event)
{
    QCheckBox::changeEvent(event);
    if (ChangesCaptionWidth(event))
        FitCaption();
}

TButton::TButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
}

void TButton::FitCaption()
{
    FitCaptionWidth(this, DesignWidth, sizeHint().width());
}

void TButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (ChangesCaptionWidth(event))
        FitCaption();
}

// ---------------------------------------------------------------------------

TUpDown::TUpDown(QWidget* parent, QLineEdit* associate, int min, int max, int position)
    : QWidget(parent)
    , associate(associate)
    , min(min)
    , max(max)
    , position(position)
{
    setFocusPolicy(Qt::TabFocus);
    UpButton = new QToolButton(this);
    UpButton->setArrowType(Qt::UpArrow);
    DownButton = new QToolButton(this);
    DownButton->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {UpButton, DownButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(UpButton, &QToolButton::clicked, this, [this] { Step(1); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
    if (associate)
        associate->installEventFilter(this);
}

void TUpDown::Step(int delta)
{
    bool isInteger = false;
    const int typed = associate ? associate->text().trimmed().toInt(&isInteger) : 0;
    SetPosition((isInteger ? std::clamp(typed, min, max) : position) + delta);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == associate && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::SetPosition(int value)
{
    position = std::clamp(value, min, max);
    if (associate)
        associate->setText(QString::number(position));
}

void TUpDown::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    UpButton->setGeometry(0, 0, width(), half);
    DownButton->setGeometry(0, half, width(), height() - half);
}

void TUpDown::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up)
        Step(1);
    else if (event->key() == Qt::Key_Down)
        Step(-1);
    else
        QWidget::keyPressEvent(event);
}
