#pragma once

#include <QList>

class TForm2;
struct MapReference;
struct MapViews;

// Each map beside its reference (MapCompare.h): the reference as a grey
// dashed line on the map's chart, and a light background on every cell of
// the map's table whose value differs from it, while "Вид" / "Показывать
// исходную карту" is ticked. The views draw it whenever they are reloaded;
// a committed cell updates its table's marks at once.

// Creates the menu "Вид" after "Правка" with the checkable item "Показывать
// исходную карту", ticked, and the item "Сравнить с вариатором" at the end of
// "Подключение". The window's constructor calls it once.
void SetupReferenceView(TForm2* window);

// Whether the references are shown.
bool ReferenceShown(const TForm2* window);

// The points of a shown reference that hold no value (the variator did not
// give it): their cells and chart points get a mark of their own, not the
// mark of a differing value, until a read or compare fills them.
QList<int> UnknownReferencePoints(const TForm2* window, const MapReference& reference);

// Draws the reference line on the map's chart, or takes it away.
void ShowChartReference(TForm2* window, const MapViews& m);
// Marks the cells of the map's table that differ from its reference.
void ShowGridMarks(TForm2* window, const MapViews& m);
// Both, for both maps, without reloading the views.
void ShowReferences(TForm2* window);
