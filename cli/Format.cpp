#include "cli/Format.h"

#include "app/core/MapCompare.h"
#include "app/core/NumberText.h"
#include "cli/Console.h"
#include "device/wire/Frame.h"

#include <QJsonDocument>

namespace cli {

namespace {
const QString DecimalPoint = QStringLiteral(".");
}

QString Degrees(double value)
{
    return FormatGeneral(value, DecimalPoint);
}

QString PointName(int firstParameter, int point)
{
    return QStringLiteral("%1 map, %2 rpm (parameter %3)")
        .arg(firstParameter == LPGFirstParameter ? QStringLiteral("LPG") : QStringLiteral("petrol"))
        .arg(point * RpmStep)
        .arg(firstParameter + point);
}

QVector<Difference> Compare(const MapTable& lpgA, const MapTable& petrolA, const MapTable& lpgB,
                            const MapTable& petrolB)
{
    QVector<Difference> differences;
    // The window's comparison: the same code on the wire is the same point.
    const auto compare = [&](const QString& map, const MapTable& a, const MapTable& b) {
        for (int i : DifferingPoints(a, b))
            differences.push_back({map, i * RpmStep, a.Uoz[i], b.Uoz[i]});
    };
    compare(QStringLiteral("LPG"), lpgA, lpgB);
    compare(QStringLiteral("Petrol"), petrolA, petrolB);
    return differences;
}

QString DifferenceLine(const Difference& d)
{
    return QStringLiteral("%1 %2 %3 %4").arg(d.map).arg(d.rpm).arg(Degrees(d.a), Degrees(d.b));
}

void PrintJson(const QJsonObject& object)
{
    PrintResult(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

QJsonArray JsonMap(const MapTable& table)
{
    QJsonArray values;
    for (int i = 0; i < MapPoints; ++i)
        values.append(table.Uoz[i]);
    return values;
}

int ReportComparison(const QString& command, const QVector<Difference>& differences, const char* nameA,
                     const char* nameB, bool json, QJsonObject object)
{
    if (json) {
        QJsonArray list;
        for (const Difference& d : differences)
            list.append(QJsonObject{{QStringLiteral("map"), d.map},
                                    {QStringLiteral("rpm"), d.rpm},
                                    {QLatin1String(nameA), d.a},
                                    {QLatin1String(nameB), d.b}});
        object.insert(QStringLiteral("command"), command);
        object.insert(QStringLiteral("equal"), differences.isEmpty());
        object.insert(QStringLiteral("points"), MapExchanges);
        object.insert(QStringLiteral("differences"), list);
        PrintJson(object);
    } else {
        for (const Difference& d : differences)
            PrintResult(DifferenceLine(d));
        if (differences.isEmpty())
            PrintResult(QStringLiteral("equal %1 points").arg(MapExchanges));
        else
            PrintResult(QStringLiteral("different %1 of %2 points").arg(differences.size()).arg(MapExchanges));
    }
    return differences.isEmpty() ? ExitDone : ExitDifferent;
}

}  // namespace cli
