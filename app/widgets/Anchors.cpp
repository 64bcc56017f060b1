#include "app/widgets/Anchors.h"

#include <QEvent>
#include <QObject>
#include <QRect>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Per child: the anchor kind and, depending on it, the margins to the parent's
// edges or the centre as a fraction of the parent's size.
struct AnchorBase {
    Anchor anchor;
    int left, top, right, bottom;
    double centreX, centreY;
};

const char* const kBaseProperty = "tarvoAnchorBase";
const char* const kFilterProperty = "tarvoAnchorFilter";

AnchorBase MakeBase(Anchor anchor, const QRect& g, QSize parent)
{
    AnchorBase b{anchor, g.left(), g.top(),
                 parent.width() - (g.x() + g.width()), parent.height() - (g.y() + g.height()),
                 0.0, 0.0};
    if (parent.width() > 0)
        b.centreX = (g.x() + g.width() / 2.0) / parent.width();
    if (parent.height() > 0)
        b.centreY = (g.y() + g.height() / 2.0) / parent.height();
    return b;
}

void Apply(QWidget* w, const AnchorBase& b, QSize parent)
{
    QRect g = w->geometry();
    switch (b.anchor) {
    case Anchor::LeftTop:
        g.moveTo(b.left, b.top);
        break;
    case Anchor::All:
        g = QRect(b.left, b.top, std::max(0, parent.width() - b.left - b.right),
                  std::max(0, parent.height() - b.top - b.bottom));
        break;
    case Anchor::None:
        g.moveTo(static_cast<int>(std::lround(b.centreX * parent.width() - g.width() / 2.0)),
                 static_cast<int>(std::lround(b.centreY * parent.height() - g.height() / 2.0)));
        break;
    }
    if (g != w->geometry())
        w->setGeometry(g);
}

class AnchorFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched->isWidgetType())
            ApplyAnchors(static_cast<QWidget*>(watched));
        return false;
    }
};

void Store(QWidget* w, const AnchorBase& b)
{
    w->setProperty(kBaseProperty, QVariant::fromValue(QByteArray(reinterpret_cast<const char*>(&b), sizeof b)));
}

bool Load(const QWidget* w, AnchorBase& b)
{
    const QByteArray raw = w->property(kBaseProperty).toByteArray();
    if (raw.size() != static_cast<int>(sizeof b))
        return false;
    std::memcpy(&b, raw.constData(), sizeof b);
    return true;
}

}  // namespace

void SetAnchors(QWidget* widget, Anchor anchor, QSize designParent)
{
    QWidget* parent = widget->parentWidget();
    Store(widget, MakeBase(anchor, widget->geometry(), designParent));
    if (parent && !parent->property(kFilterProperty).toBool()) {
        parent->installEventFilter(new AnchorFilter(parent));
        parent->setProperty(kFilterProperty, true);
    }
    if (parent) {
        AnchorBase b;
        Load(widget, b);
        Apply(widget, b, parent->size());
    }
}

void RebaseAnchors(QWidget* widget)
{
    AnchorBase b;
    if (!widget->parentWidget() || !Load(widget, b))
        return;
    Store(widget, MakeBase(b.anchor, widget->geometry(), widget->parentWidget()->size()));
}

void ApplyAnchors(QWidget* parent)
{
    for (QObject* o : parent->children()) {
        if (!o->isWidgetType())
            continue;
        QWidget* w = static_cast<QWidget*>(o);
        AnchorBase b;
        if (Load(w, b))
            Apply(w, b, parent->size());
    }
}
