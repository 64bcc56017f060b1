#pragma once

#include <QByteArray>
#include <QString>

class TForm2;

// "Файл" / "Отчёт в PDF…": a record of the car's maps for the customer, an A4
// PDF in Russian: the car, the date and time, the port of the visit's last
// complete read, the firmware version and the start timeout. For a visit that
// has its before (app/core/Visit.h): how many points changed, or that none
// did, and per map a chart of its "до" and "после" lines, the 80 values now
// on the car as a table by engine speed and the points that differ from "до"
// with both values. With no read made: that said, and per map its chart as the
// window draws it (with the reference line), its values and the points that
// differ from its reference. Numbers follow the regional settings.

// The report of the window's maps as PDF bytes.
QByteArray MapReportPdf(TForm2* window);

// The beginning of the error of a report that could not be written to
// fileName: "Отчёт не сохранён: не удалось записать «fileName»: ", the
// reason follows.
QString ReportSaveError(const QString& fileName);

// Writes the report to fileName whole or not at all, as a map file is
// saved (a final rename that fails saved nothing); std::runtime_error
// (ReportSaveError and the reason) names the file and the fault.
void SaveMapReport(TForm2* window, const QString& fileName);
