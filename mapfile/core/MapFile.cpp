#include "mapfile/core/MapFile.h"

#include "app/core/MapStore.h"
#include "app/core/NumberText.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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

// Most attributes one element of a map file may carry; the program writes at
// most two. The XML parser checks an element's attributes against each other,
// at a cost that grows with the square of their number, so the limit is
// enforced on the raw markup before the parser sees it.
constexpr int MaxAttributes = 8;

// Deepest nesting that is parsed on after the file's shape has already been
// refused (so that a file that is not XML at all is still reported as such);
// the shape itself allows three levels.
constexpr int MaxParsedDepth = 16;

const QString DocumentTypeRefused =
    QStringLiteral("the file has a document type declaration, which map files do not use");

// Looks over the markup without parsing it: refuses a document type
// declaration (no entity is ever declared, expanded or fetched) and an
// element with more than MaxAttributes attributes. Comments, CDATA sections
// and processing instructions are passed over. On well-formed text the scan
// sees exactly the parser's markup; on malformed text it may go astray, and
// the parser then reports the fault.
template <typename Char>
void CheckMarkup(const QString& fileName, const Char* text, qsizetype size)
{
    auto at = [&](qsizetype i, const char* s) {
        for (qsizetype k = 0; s[k]; ++k)
            if (i + k >= size || text[i + k] != static_cast<Char>(s[k]))
                return false;
        return true;
    };
    auto past = [&](qsizetype i, const char* end) {
        for (; i < size; ++i)
            if (text[i] == static_cast<Char>(end[0]) && at(i, end))
                return i + static_cast<qsizetype>(std::strlen(end));
        return size;
    };
    qsizetype i = 0;
    while (i < size) {
        if (text[i] != '<') {
            ++i;
        } else if (at(i, "<!--")) {
            i = past(i + 4, "-->");
        } else if (at(i, "<![CDATA[")) {
            i = past(i + 9, "]]>");
        } else if (at(i, "<?")) {
            i = past(i + 2, "?>");
        } else if (at(i, "<!DOCTYPE")) {
            FailLoad(fileName, DocumentTypeRefused);
        } else {
            // A start or end tag: one '=' outside the quoted values per attribute.
            int attributes = 0;
            Char quote = 0;
            for (++i; i < size; ++i) {
                const Char c = text[i];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++attributes > MaxAttributes)
                        FailLoad(fileName, QStringLiteral("an element has more than %1 attributes").arg(MaxAttributes));
                } else if (c == '>') {
                    ++i;
                    break;
                } else if (c == '<') {
                    break;
                }
            }
        }
    }
}

void CheckMarkup(const QString& fileName, const QByteArray& data)
{
    // Files in UTF-16 or UTF-32 are scanned as decoded text, all others as
    // bytes (the markup characters are ASCII in every other encoding).
    const auto encoding = QStringConverter::encodingForData(data, u'<');
    if (encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decode(*encoding);
        const QString text = decode(data);
        CheckMarkup(fileName, text.utf16(), text.size());
    } else {
        CheckMarkup(fileName, data.constData(), data.size());
    }
}

// One map element of the file as it streams in.
struct MapRead {
    QString name;       // LPGmap or Petrolmap
    QString pointName;  // LPGPoint or PetrolPoint
    double uoz[MapPoints] = {};
    int count = 0;      // point elements seen so far
    bool seen = false;
};

// Reads the advance values of both maps while checking the file's shape as
// it streams through the parser; no document model is built. The shape: the
// document element <variatorTarvo> holds <LPGmap> and <Petrolmap> once each
// and at most one <Settings>, in any order; <Settings> holds text only; each
// map holds its 80 point elements (<LPGPoint> or <PetrolPoint>), each with one
// attribute and the advance in thousandths of a degree as its text. Text,
// comments and processing instructions between the elements are passed over,
// and so are comments inside a point's text. A file that is not well-formed
// is reported as such before any fault of its shape.
void ReadMaps(const QString& fileName, const QByteArray& data, MapRead& lpg, MapRead& petrol)
{
    QXmlStreamReader reader(data);
    reader.setNamespaceProcessing(false);
    QString fault;  // the first fault of the shape
    auto refuse = [&fault](const QString& reason) {
        if (fault.isEmpty())
            fault = reason;
    };
    int depth = 0;
    bool seenSettings = false;
    bool inSettings = false;
    MapRead* map = nullptr;  // the map element being read
    bool inPoint = false;
    QString text;  // of the point being read

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            FailLoad(fileName, DocumentTypeRefused);
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (!fault.isEmpty()) {
                if (depth > MaxParsedDepth)
                    break;
                continue;
            }
            const QStringView name = reader.name();
            if (depth == 1) {
                if (name != RootName)
                    refuse(QStringLiteral("the document element is <%1>, not <%2>").arg(name.toString(), RootName));
            } else if (depth == 2) {
                if (name == QLatin1String("Settings")) {
                    if (seenSettings)
                        refuse(QStringLiteral("there is more than one <Settings> element"));
                    seenSettings = inSettings = true;
                } else if (name == lpg.name || name == petrol.name) {
                    map = name == lpg.name ? &lpg : &petrol;
                    if (map->seen)
                        refuse(QStringLiteral("there is more than one <%1> element").arg(map->name));
                    map->seen = true;
                    map->count = 0;
                } else {
                    refuse(QStringLiteral("<%1> holds an element <%2>, which map files do not have").arg(RootName, name.toString()));
                }
            } else if (depth == 3 && inSettings) {
                refuse(QStringLiteral("<Settings> holds an element <%1>").arg(name.toString()));
            } else if (depth == 3) {
                if (name != map->pointName) {
                    refuse(QStringLiteral("<%1> holds an element <%2> that is not a <%3>")
                               .arg(map->name, name.toString(), map->pointName));
                    continue;
                }
                // Points beyond the 80th are only counted, for the message.
                if (++map->count > MapPoints)
                    continue;
                const qsizetype attributes = reader.attributes().size();
                if (attributes != 1)
                    refuse(QStringLiteral("<%1> %2 of <%3> has %4 attributes instead of one")
                               .arg(map->pointName)
                               .arg(map->count)
                               .arg(map->name)
                               .arg(attributes));
                inPoint = true;
                text.clear();
            } else {
                refuse(QStringLiteral("<%1> %2 of <%3> holds an element <%4>")
                           .arg(map->pointName)
                           .arg(map->count)
                           .arg(map->name, name.toString()));
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (!fault.isEmpty())
                continue;
            if (depth == 2 && map && map->count > MapPoints) {
                continue;
            } else if (depth == 2 && inPoint) {
                inPoint = false;
                double value = 0;
                if (!ParsePointText(text, value))
                    refuse(QStringLiteral("the text %1 of <%2> %3 of <%4> is not a number")
                               .arg(Quoted(text), map->pointName)
                               .arg(map->count)
                               .arg(map->name));
                else if (map->count <= MapPoints)
                    map->uoz[map->count - 1] = value / 1000;
            } else if (depth == 1 && inSettings) {
                inSettings = false;
            } else if (depth == 1 && map) {
                if (map->count != MapPoints)
                    refuse(QStringLiteral("<%1> holds %2 <%3> elements instead of %4")
                               .arg(map->name)
                               .arg(map->count)
                               .arg(map->pointName)
                               .arg(MapPoints));
                map = nullptr;
            }
        } else if (token == QXmlStreamReader::Characters && inPoint && fault.isEmpty()) {
            text += reader.text();  // CDATA sections and references included
        }
    }
    if (reader.hasError())
        FailLoad(fileName, QStringLiteral("the file is not well-formed XML (line %1, column %2: %3)")
                               .arg(reader.lineNumber())
                               .arg(reader.columnNumber())
                               .arg(reader.errorString()));
    if (!fault.isEmpty())
        FailLoad(fileName, fault);
    for (const MapRead* m : {&lpg, &petrol})
        if (!m->seen)
            FailLoad(fileName, QStringLiteral("there is no <%1> element").arg(m->name));
}

// The save writes a new file beside the old one and renames it over the old
// one; a device, a pipe or a socket under the name would be replaced by a
// regular file. A symbolic link to a regular file saves into its target.
void RefuseSpecialTarget(const QString& fileName)
{
    const QFileInfo target(fileName);  // follows symbolic links
    if (!target.exists() || target.isFile())
        return;
    if (target.isDir())
        FailSave(fileName, QStringLiteral("it is a folder, not a file"));
    QString kind = QStringLiteral("a device, a pipe or a socket");
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            kind = QStringLiteral("a named pipe");
        else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            kind = QStringLiteral("a device");
        else if (S_ISSOCK(st.st_mode))
            kind = QStringLiteral("a socket");
    }
#endif
    FailSave(fileName, QStringLiteral("it is %1, not a regular file; it is left as it is").arg(kind));
}

} // namespace

void SaveMapFile(const QString& fileName, const MapTable& lpg, const MapTable& petrol,
                 const QString& startTimeout)
{
    if (!IsXmlText(startTimeout))
        FailSave(fileName, QStringLiteral("the start timeout text holds a character that an XML file cannot hold"));
    const QByteArray bytes = Serialised(MapDocument(lpg, petrol, startTimeout));

    RefuseSpecialTarget(fileName);

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
    CheckMarkup(fileName, data);
    MapRead lpgRead{LPGMapName, LPGPointName};
    MapRead petrolRead{PetrolMapName, PetrolPointName};
    ReadMaps(fileName, data, lpgRead, petrolRead);
    std::copy(std::begin(lpgRead.uoz), std::end(lpgRead.uoz), std::begin(lpg.Uoz));
    std::copy(std::begin(petrolRead.uoz), std::end(petrolRead.uoz), std::begin(petrol.Uoz));
}

QString MapFileStartTimeout(const QString& fileName)
{
    const QByteArray data = ReadMapFileBytes(fileName);
    CheckMarkup(fileName, data);
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
