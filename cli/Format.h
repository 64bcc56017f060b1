#pragma once

// How tarvo-cli writes its results: degrees with ".", point names, the
// differences of two pairs of maps as lines or JSON.

#include "cli/Maps.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

namespace cli {

// A value in degrees, general format with ".".
QString Degrees(double value);
// "LPG map, 1200 rpm (parameter 92)".
QString PointName(int firstParameter, int point);

struct Difference {
    QString map;
    int rpm;
    double a;
    double b;
};

// The points where two pairs of maps differ, LPG first: the window's
// comparison, the same code on the wire being the same point.
QVector<Difference> Compare(const MapTable& lpgA, const MapTable& petrolA, const MapTable& lpgB,
                            const MapTable& petrolB);
// "LPG 1200 5.5 6".
QString DifferenceLine(const Difference& d);

void PrintJson(const QJsonObject& object);
QJsonArray JsonMap(const MapTable& table);

// The comparison as the result of verify or diff; returns the exit status.
int ReportComparison(const QString& command, const QVector<Difference>& differences, const char* nameA,
                     const char* nameB, bool json, QJsonObject object);

}  // namespace cli
