#include "MapFile.h"

#include "MapStore.h"
#include "NumberText.h"

#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

const QString MapFileFilter = QStringLiteral("Text Files (*.xml)");

namespace {

const QString RootName = QStringLiteral("variatorTarvo");
const QString LPGMapName = QStringLiteral("LPGmap");
const QString LPGPointName = QStringLiteral("LPGPoint");
const QString PetrolMapName = QStringLiteral("Petrolmap");
const QString PetrolPointName = QStringLiteral("PetrolPoint");
const QString DecimalPoint = QStringLiteral(".");

[[noreturn]] void FailSave(const QString& fileName, const QString& reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot save map file '%1': %2").arg(fileName, reason).toStdString());
}

[[noreturn]] void FailLoad(const QString& fileName, const QString& reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot open map file '%1': %2").arg(fileName, reason).toStdString());
}

// ---------------------------------------------------------------- writing

// True when every character of text may stand in an XML 1.0 document.
bool IsXmlText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(c))
            return false;
        if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD)
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
    }
    return true;
}

QString Escaped(const QString& text, bool attribute)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"':
            out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        // Line breaks and tabs in an attribute value would be read back as
        // spaces; character references keep them.
        case '\t': out += attribute ? QLatin1String("&#9;") : QLatin1String("\t"); break;
        case '\n': out += attribute ? QLatin1String("&#10;") : QLatin1String("\n"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        default: out += ch;
        }
    }
    return out;
}

// Markup of a node and its subtree without any whitespace between nodes.
// Attributes come out sorted by name: the document model keeps them in a hash,
// and sorted order gives "Inversion" before "Timeout" on every run.
void WriteNode(const QDomNode& node, QString& out)
{
    if (node.isText()) {
        out += Escaped(node.nodeValue(), false);
        return;
    }
    if (node.isProcessingInstruction()) {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        out += QLatin1String("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QLatin1String("?>");
        return;
    }
    if (!node.isElement())
        return;
    const QDomElement element = node.toElement();
    out += QLatin1Char('<') + element.tagName();
    const QDomNamedNodeMap attributes = element.attributes();
    std::vector<QDomAttr> sorted;
    for (int i = 0; i < attributes.count(); ++i)
        sorted.push_back(attributes.item(i).toAttr());
    std::sort(sorted.begin(), sorted.end(),
              [](const QDomAttr& a, const QDomAttr& b) { return a.name() < b.name(); });
    for (const QDomAttr& a : sorted)
        out += QLatin1Char(' ') + a.name() + QLatin1String("=\"") + Escaped(a.value(), true)
               + QLatin1Char('"');
    if (!element.hasChildNodes()) {
        out += QLatin1String("/>");
        return;
    }
    out += QLatin1Char('>');
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
        WriteNode(child, out);
    out += QLatin1String("</") + element.tagName() + QLatin1Char('>');
}

QByteArray Serialised(const QDomDocument& document)
{
    QString out;
    for (QDomNode child = document.firstChild(); !child.isNull(); child = child.nextSibling()) {
        WriteNode(child, out);
        if (child.isProcessingInstruction())
            out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

void AddMap(QDomDocument& document, QDomElement& map, const QString& pointName,
            const MapTable& table)
{
    for (int i = 0; i < MapPoints; ++i) {
        QDomElement point = document.createElement(pointName);
        map.appendChild(point);
        point.setAttribute(QString::asprintf("UOZ%.0f", table.Rpm[i]), FormatGeneral(table.Uoz[i], DecimalPoint));
        const double thousandths = table.Uoz[i] * 1000;
        point.appendChild(document.createTextNode(FormatGeneral(thousandths, DecimalPoint)));
    }
}

QDomDocument MapDocument(const MapTable& lpg, const MapTable& petrol, const QString& startTimeout)
{
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = document.createElement(RootName);
    document.appendChild(root);

    QDomElement settings = document.createElement(QStringLiteral("Settings"));
    root.appendChild(settings);
    settings.appendChild(document.createTextNode(QStringLiteral("variator settings")));
    settings.setAttribute(QStringLiteral("Inversion"), QStringLiteral("0"));
    settings.setAttribute(QStringLiteral("Timeout"), startTimeout);

    QDomElement lpgMap = document.createElement(LPGMapName);
    root.appendChild(lpgMap);
    lpgMap.appendChild(document.createTextNode(QStringLiteral("LPG map)))")));
    AddMap(document, lpgMap, LPGPointName, lpg);

    QDomElement petrolMap = document.createElement(PetrolMapName);
    root.appendChild(petrolMap);
    AddMap(document, petrolMap, PetrolPointName, petrol);
    return document;
}

// ---------------------------------------------------------------- reading

// A point text: optional white space, an optional sign, digits with "." or ","
// as the decimal separator, an optional exponent, optional white space.
bool ParsePointText(const QString& text, double& value)
{
    return TextToFloat(text, {QStringLiteral("."), QStringLiteral(",")}, value);
}

QString Quoted(const QString& text)
{
    constexpr int Shown = 40;
    if (text.size() <= Shown)
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    return QLatin1Char('\'') + text.left(Shown) + QStringLiteral("...'");
}

// The one child element of root named name.
QDomElement MapElement(const QString& fileName, const QDomElement& root, const QString& name)
{
    QDomElement found;
    for (QDomElement e = root.firstChildElement(name); !e.isNull(); e = e.nextSiblingElement(name)) {
        if (!found.isNull())
            FailLoad(fileName, QStringLiteral("there is more than one <%1> element").arg(name));
        found = e;
    }
    if (found.isNull())
        FailLoad(fileName, QStringLiteral("there is no <%1> element").arg(name));
    return found;
}

// The advance values of one map element: its point elements in document order,
// each with the advance in thousandths of a degree as its text. Text, comments
// and processing instructions between the points are passed over.
void ReadMap(const QString& fileName, const QDomElement& map, const QString& pointName,
             double (&uoz)[MapPoints])
{
    const QString mapName = map.tagName();
    int count = 0;
    for (QDomNode node = map.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        const QDomElement point = node.toElement();
        if (point.tagName() != pointName)
            FailLoad(fileName, QStringLiteral("<%1> holds an element <%2> that is not a <%3>")
                                   .arg(mapName, point.tagName(), pointName));
        ++count;
        if (count > MapPoints)
            continue;
        QString text;
        for (QDomNode child = point.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.isText())  // CDATA sections included
                text += child.nodeValue();
            else if (child.isElement())
                FailLoad(fileName, QStringLiteral("<%1> %2 of <%3> holds an element <%4>")
                                       .arg(pointName)
                                       .arg(count)
                                       .arg(mapName, child.toElement().tagName()));
        }
        double value = 0;
        if (!ParsePointText(text, value))
            FailLoad(fileName, QStringLiteral("the text %1 of <%2> %3 of <%4> is not a number")
                                   .arg(Quoted(text), pointName)
                                   .arg(count)
                                   .arg(mapName));
        uoz[count - 1] = value / 1000;
    }
    if (count != MapPoints)
        FailLoad(fileName, QStringLiteral("<%1> holds %2 <%3> elements instead of %4")
                               .arg(mapName)
                               .arg(count)
                               .arg(pointName)
                               .arg(MapPoints));
}

// The bytes of the file, refusing files over the size limit without reading
// them whole.
QByteArray ReadMapFileBytes(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        FailLoad(fileName, file.errorString());
    const QString tooLarge = QStringLiteral("the file is larger than %1 MiB").arg(MaxMapFileSize / (1024 * 1024));
    if (file.size() > MaxMapFileSize)
        FailLoad(fileName, tooLarge);
    const QByteArray data = file.read(MaxMapFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        FailLoad(fileName, file.errorString());
    if (data.size() > MaxMapFileSize)
        FailLoad(fileName, tooLarge);
    return data;
}

// Map files never carry a document type declaration; refusing one before the
// document is built keeps entity expansion and external entities out.
void RefuseDocumentType(const QString& fileName, const QByteArray& data)
{
    QXmlStreamReader reader(data);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            FailLoad(fileName, QStringLiteral("the file has a document type declaration, which map files do not use"));
        if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::Invalid)
            return;  // a malformed prolog is reported by the parser below
    }
}

} // namespace

void SaveMapFile(const QString& fileName, const MapTable& lpg, const MapTable& petrol,
                 const QString& startTimeout)
{
    if (!IsXmlText(startTimeout))
        FailSave(fileName, QStringLiteral("the start timeout text holds a character that an XML file cannot hold"));
    const QByteArray bytes = Serialised(MapDocument(lpg, petrol, startTimeout));

    // Written unbuffered and in a loop: a short write is retried, so that a
    // full disk shows up as an error of the next write, with its reason,
    // before the new file can replace the old one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        FailSave(fileName, file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            FailSave(fileName, reason);
        }
        done += written;
    }
    if (!file.commit())
        FailSave(fileName, file.errorString());
}

void LoadMapFile(const QString& fileName, MapTable& lpg, MapTable& petrol)
{
    const QByteArray data = ReadMapFileBytes(fileName);
    RefuseDocumentType(fileName, data);

    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(data, false, &message, &line, &column))
        FailLoad(fileName, QStringLiteral("the file is not well-formed XML (line %1, column %2: %3)")
                               .arg(line)
                               .arg(column)
                               .arg(message));
    const QDomElement root = document.documentElement();
    if (root.tagName() != RootName)
        FailLoad(fileName, QStringLiteral("the document element is <%1>, not <%2>").arg(root.tagName(), RootName));

    double lpgUoz[MapPoints];
    double petrolUoz[MapPoints];
    ReadMap(fileName, MapElement(fileName, root, LPGMapName), LPGPointName, lpgUoz);
    ReadMap(fileName, MapElement(fileName, root, PetrolMapName), PetrolPointName, petrolUoz);

    std::copy(std::begin(lpgUoz), std::end(lpgUoz), std::begin(lpg.Uoz));
    std::copy(std::begin(petrolUoz), std::end(petrolUoz), std::begin(petrol.Uoz));
}

QString MapFileStartTimeout(const QString& fileName)
{
    const QByteArray data = ReadMapFileBytes(fileName);
    RefuseDocumentType(fileName, data);
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 2 && reader.name() == QLatin1String("Settings"))
                return reader.attributes().value(QLatin1String("Timeout")).toString();
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (reader.hasError())
        FailLoad(fileName, QStringLiteral("the file is not well-formed XML (line %1, column %2: %3)")
                               .arg(reader.lineNumber())
                               .arg(reader.columnNumber())
                               .arg(reader.errorString()));
    return QString();
}
