#include "app/core/MapCompare.h"

#include "device/core/Dataextractor.h"

#include <cmath>
#include <limits>

MapReference LPGReference;
MapReference PetrolReference;

const QString MapsMatchMessage = QStringLiteral("Карты совпадают с вариатором");

namespace {

constexpr int ListedSpeeds = 10;

QString SpeedList(const QString& mapName, const QList<int>& points)
{
    QString text = mapName + QStringLiteral(": ");
    for (int k = 0; k < points.size() && k < ListedSpeeds; ++k) {
        if (k > 0)
            text += QStringLiteral(", ");
        text += QString::number(points[k] * RpmStep);
    }
    if (points.size() > ListedSpeeds)
        text += QStringLiteral(", …");
    return text + QStringLiteral(" об/мин");
}

}  // namespace

void ClearMapReferences()
{
    for (MapReference* r : {&LPGReference, &PetrolReference}) {
        r->exists = false;
        for (double& v : r->Uoz)
            v = std::numeric_limits<double>::quiet_NaN();
    }
}

void SetMapReference(MapReference& reference, const MapTable& table)
{
    reference.exists = true;
    for (int i = 0; i < MapPoints; ++i)
        reference.Uoz[i] = table.Uoz[i];
}

bool SameAdvance(double a, double b)
{
    short codeA = 0;
    short codeB = 0;
    const bool fitsA = AdvanceToThousandths(a, &codeA);
    const bool fitsB = AdvanceToThousandths(b, &codeB);
    if (fitsA && fitsB)
        return codeA == codeB;
    return !fitsA && !fitsB && a == b;
}

bool DiffersFromReference(const MapReference& reference, const MapTable& table, int i)
{
    return reference.exists && !SameAdvance(reference.Uoz[i], table.Uoz[i]);
}

QList<int> DifferingPoints(const MapTable& a, const MapTable& b)
{
    QList<int> points;
    for (int i = 0; i < MapPoints; ++i)
        if (!SameAdvance(a.Uoz[i], b.Uoz[i]))
            points.append(i);
    return points;
}

int DifferingPointCount(const MapTable& lpgA, const MapTable& petrolA, const MapTable& lpgB, const MapTable& petrolB)
{
    return int(DifferingPoints(lpgA, lpgB).size() + DifferingPoints(petrolA, petrolB).size());
}

QString ComparisonMessage(const QList<int>& lpgPoints, const QList<int>& petrolPoints)
{
    if (lpgPoints.isEmpty() && petrolPoints.isEmpty())
        return MapsMatchMessage;
    QStringList maps;
    if (!lpgPoints.isEmpty())
        maps << SpeedList(QStringLiteral("газ"), lpgPoints);
    if (!petrolPoints.isEmpty())
        maps << SpeedList(QStringLiteral("бензин"), petrolPoints);
    return QStringLiteral("Отличаются точек: %1 (%2)")
        .arg(lpgPoints.size() + petrolPoints.size())
        .arg(maps.join(QStringLiteral("; ")));
}
