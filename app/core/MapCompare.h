#pragma once

#include "app/core/MapStore.h"

#include <QList>
#include <QString>

// The reference of a map: its values as last read from the variator, opened
// from a file or saved to a file, whichever came last. The editors show the
// map beside it; undo and redo do not move it. A point whose value the
// variator did not give (its exchange failed) is NaN: there is no reference
// value there, and the point counts as differing.
struct MapReference {
    bool exists = false;
    double Uoz[MapPoints];
};

extern MapReference LPGReference;
extern MapReference PetrolReference;

// No reference for either map, as at start.
void ClearMapReferences();
// Makes the advance values of `table` the reference.
void SetMapReference(MapReference& reference, const MapTable& table);

// Whether two advances are the same for the variator: the same code on the
// wire, or, where a value does not fit the wire, the same double. NaN is never
// the same as anything.
bool SameAdvance(double a, double b);

// Whether point i of `table` differs from an existing reference.
bool DiffersFromReference(const MapReference& reference, const MapTable& table, int i);

// Indices of the points whose advances differ between two maps.
QList<int> DifferingPoints(const MapTable& a, const MapTable& b);
// How many points of both maps differ between (lpgA, petrolA) and (lpgB,
// petrolB), by the same rule.
int DifferingPointCount(const MapTable& lpgA, const MapTable& petrolA, const MapTable& lpgB, const MapTable& petrolB);

// The one message of a comparison with the variator, from the differing points
// of each map: "Карты совпадают с вариатором", or "Отличаются точек: N (газ:
// 1200, 1300 об/мин; бензин: 0 об/мин)" with at most ten speeds a map, ", …"
// after them, and a map without differences left out.
QString ComparisonMessage(const QList<int>& lpgPoints, const QList<int>& petrolPoints);

extern const QString MapsMatchMessage;
