#pragma once

#include <QSize>

class QWidget;

// How a child control follows its parent's size.
enum class Anchor {
    LeftTop,  // keeps its distance from the left and top edges and its size
    All,      // keeps its distance from all four edges: stretches with the parent
    None      // keeps its size; its centre stays at the same fraction of the parent
};

// Places `widget` at its current geometry, which is taken as its place in a
// parent of the design size `designParent`, and keeps it anchored from then on.
void SetAnchors(QWidget* widget, Anchor anchor, QSize designParent);

// Takes the widget's current geometry in its parent's current size as its new
// anchor base (after code moved or resized it explicitly).
void RebaseAnchors(QWidget* widget);

// Applies the anchors of every anchored child of `parent` to its current size.
void ApplyAnchors(QWidget* parent);
