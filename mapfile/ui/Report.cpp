#include "mapfile/ui/Report.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "device/ui/DeviceCommands.h"
#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "mapfile/core/MapFile.h"

#include <QBuffer>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QDateTime>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <cmath>
#include <stdexcept>

namespace {

// The chart is drawn this wide in the document, in its own pixels; the page
// scales it to the text width.
constexpr int ChartWidth = 820;
constexpr int ChartHeight = 380;
// The chart's width on the page, in the document's own pixels (the page's
// text is some 680 wide).
constexpr int ChartPageWidth = 650;

QString Escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString Speed(int point)
{
    return QLocale().toString(point * RpmStep);
}

// The chart of one map as the window draws it, reference line and all, at a
// size of its own, whatever the window's size.
QImage ChartImage(TChart* view)
{
    QChart* chart = view->chart();
    const QSizeF shown = chart->size();
    const auto layOut = [chart](const QSizeF& size) {
        chart->resize(size);
        if (chart->layout())
            chart->layout()->activate();
    };
    layOut(QSizeF(ChartWidth, ChartHeight));
    QImage image(ChartWidth * 2, ChartHeight * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        view->scene()->render(&painter, QRectF(image.rect()), QRectF(chart->pos(), chart->size()));
    }
    layOut(shown);
    return image;
}

// The 80 values laid out as the window's table shows them: a column a
// thousand rpm, a row a hundred more.
QString ValueTable(const MapTable& table)
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>"
                                  "<th>об/мин</th>");
    for (int col = 1; col <= GridCols; ++col)
        html += QStringLiteral("<th>%1</th>").arg(Speed(CellPoint(col, 1)));
    html += QStringLiteral("</tr>");
    for (int row = 1; row <= GridRows; ++row) {
        html += QStringLiteral("<tr><th>+%1</th>").arg(Speed(CellPoint(1, row)));
        for (int col = 1; col <= GridCols; ++col)
            html += QStringLiteral("<td align=\"right\">%1</td>").arg(FloatToStr(table.Uoz[CellPoint(col, row)]));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// The points that differ from the reference, each with both values.
QString Differences(const MapReference& reference, const MapTable& table)
{
    if (!reference.exists)
        return QStringLiteral("<p>Исходной карты нет: карта не читалась из вариатора, не открывалась и не "
                              "сохранялась.</p>");
    QStringList points;
    for (int i = 0; i < MapPoints; ++i) {
        if (!DiffersFromReference(reference, table, i))
            continue;
        const double was = reference.Uoz[i];
        points << QStringLiteral("%1 об/мин: %2 (исходная %3)")
                      .arg(Speed(i), FloatToStr(table.Uoz[i]),
                           std::isnan(was) ? QStringLiteral("не прочитана") : FloatToStr(was));
    }
    if (points.isEmpty())
        return QStringLiteral("<p>Все точки совпадают с исходной картой.</p>");
    return QStringLiteral("<p>Отличаются от исходной карты точек: %1</p><p>%2</p>")
        .arg(QLocale().toString(points.size()), points.join(QStringLiteral("; ")));
}

QString MapSection(QTextDocument& document, TChart* chart, const QString& title, const QString& resource,
                   const MapTable& table, const MapReference& reference, bool newPage)
{
    document.addResource(QTextDocument::ImageResource, QUrl(resource), ChartImage(chart));
    return QStringLiteral("<h2%1>%2</h2><p><img src=\"%3\" width=\"%4\"></p><h3>Значения, градусы</h3>%5"
                          "<h3>Отличия от исходной карты</h3>%6")
        .arg(newPage ? QStringLiteral(" style=\"page-break-before: always\"") : QString(), Escaped(title), resource)
        .arg(ChartPageWidth)
        .arg(ValueTable(table), Differences(reference, table));
}

}  // namespace

QByteArray MapReportPdf(TForm2* window)
{
    // The charts show the maps as they are now, as a change of page would.
    RefreshChart(window, QStringLiteral("LPG"));
    RefreshChart(window, QStringLiteral("Petrol"));

    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSizeF(9);
    document.setDefaultFont(font);

    const QString note = window->CarNoteEdit->text().trimmed();
    const auto row = [](const QString& name, const QString& value) {
        return QStringLiteral("<tr><td>%1</td><td><b>%2</b></td></tr>").arg(name, Escaped(value));
    };
    QString html = QStringLiteral("<h1>Карты УОЗ вариатора</h1><table cellspacing=\"0\" cellpadding=\"2\">");
    html += row(QStringLiteral("Автомобиль"), note.isEmpty() ? QStringLiteral("не указан") : note);
    html += row(QStringLiteral("Дата и время"), QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
    html += row(QStringLiteral("Порт"), LastReadPort > 0 ? QStringLiteral("COM%1").arg(LastReadPort)
                                                         : QStringLiteral("карты не читались из вариатора"));
    html += row(QStringLiteral("Версия прошивки"), window->MicroCodeVersionEdit->text());
    html += row(QStringLiteral("Время до включения вариатора"), window->EEditVariatorStartTimeout->text());
    html += QStringLiteral("</table>");
    html += MapSection(document, window->ChartLPG, QStringLiteral("Карта УОЗ для газа"), QStringLiteral("chart:lpg"),
                       LPGTable, LPGReference, false);
    html += MapSection(document, window->ChartPetrol, QStringLiteral("Карта УОЗ для бензина"),
                       QStringLiteral("chart:petrol"), PetrolTable, PetrolReference, true);
    document.setHtml(html);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(QStringLiteral("Карты УОЗ вариатора") + (note.isEmpty() ? QString() : QStringLiteral(": ") + note));
        pdf.setCreator(QStringLiteral("Tarvo GUI"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                      QPageLayout::Millimeter));
        document.print(&pdf);
    }
    return bytes;
}

void SaveMapReport(TForm2* window, const QString& fileName)
{
    try {
        SaveWholeFile(fileName, MapReportPdf(window));
    } catch (const std::runtime_error& e) {
        // The map file's own words name a map file: the report says what it is.
        const QString text = QString::fromUtf8(e.what());
        const QString prefix = MapFileSaveError(fileName);
        const QString reason = text.startsWith(prefix) ? text.mid(prefix.size()) : text;
        throw std::runtime_error(QStringLiteral("Отчёт не сохранён: не удалось записать «%1»: %2").arg(fileName, reason).toStdString());
    }
}

// "Файл" / "Отчёт в PDF…"
void TForm2::N24Click()
{
    if (!ReportDialog1) {
        ReportDialog1 = new QFileDialog(this);
        ReportDialog1->setObjectName(QStringLiteral("ReportDialog1"));
        ReportDialog1->setAcceptMode(QFileDialog::AcceptSave);
        ReportDialog1->setFileMode(QFileDialog::AnyFile);
        ReportDialog1->setDefaultSuffix(QStringLiteral("pdf"));
        ReportDialog1->setNameFilter(QStringLiteral("PDF (*.pdf)"));
    }
    QString fileName;
    if (ExecuteFileDialog(ReportDialog1, fileName))
        SaveMapReport(this, fileName);
}
