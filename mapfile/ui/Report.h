#pragma once

#include <QByteArray>
#include <QString>

class TForm2;

// "Файл" / "Отчёт в PDF…": a record of the car's maps for the customer, an A4
// PDF in Russian: the car, the date and time, the port and firmware version
// as last read and the start timeout; then per map its chart as the window
// draws it (with the reference line), its 80 values as a table by engine
// speed and the points that differ from its reference. Numbers follow the
// regional settings.

// The report of the window's maps as PDF bytes.
QByteArray MapReportPdf(TForm2* window);

// Writes the report to fileName whole or not at all, as a map file is
// saved; std::runtime_error ("Отчёт не сохранён: …") names the file and the
// fault.
void SaveMapReport(TForm2* window, const QString& fileName);
