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

QString MapFileSaveError(const QString& fileName)
{
    return QStringLiteral("Не удалось сохранить файл карт «%1»: ").arg(fileName);
}

QString MapFileOpenError(const QString& fileName)
{
    return QStringLiteral("Не удалось открыть файл карт «%1»: ").arg(fileName);
}

namespace {

const QString RootName = QStringLiteral("variatorTarvo");
const QString LPGMapName = QStringLiteral("LPGmap");
const QString LPGPointName = QStringLiteral("LPGPoint");
const QString PetrolMapName = QStringLiteral("Petrolmap");
const QString PetrolPointName = QStringLiteral("PetrolPoint");
const QString DecimalPoint = QStringLiteral(".");

[[noreturn]] void FailSave(const QString& fileName, const QString& reason)
{
    throw std::runtime_error((MapFileSaveError(fileName) + reason).toStdString());
}

[[noreturn]] void FailLoad(const QString& fileName, const QString& reason)
{
    throw std::runtime_error((MapFileOpenError(fileName) + reason).toStdString());
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
        return QStringLiteral("«%1»").arg(text);
    return QStringLiteral("«%1...»").arg(text.left(Shown));
}

// The bytes of the file, refusing files over the size limit without reading
// them whole. The buffer grows with what the file holds: a map file of a few
// KiB takes a few KiB, whatever the limit.
QByteArray ReadMapFileBytes(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        FailLoad(fileName, file.errorString());
    const QString tooLarge = QStringLiteral("файл больше %1 МиБ").arg(MaxMapFileSize / (1024 * 1024));
    if (file.size() > MaxMapFileSize)
        FailLoad(fileName, tooLarge);
    QByteArray data;
    data.reserve(static_cast<qsizetype>(file.size()));
    char chunk[16384];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            FailLoad(fileName, file.errorString());
        if (got == 0)
            break;
        if (data.size() + got > MaxMapFileSize)
            FailLoad(fileName, tooLarge);
        data.append(chunk, static_cast<qsizetype>(got));
    }
    return data;
}

// The text of a map file. Map files are UTF-8, with or without a byte order
// mark; a file in UTF-16 or UTF-32 is refused here, naming its encoding, and
// a declaration naming any other encoding when the parser meets it
// (RefuseDeclaredEncoding). The text is decoded here once, and both the
// markup check and the parser read this same text, so no declared encoding
// can hide markup from the check. badUtf8 is set when a byte sequence is not
// UTF-8; the parser reports it after the declaration.
QString MapFileText(const QString& fileName, bool& badUtf8)
{
    const QByteArray data = ReadMapFileBytes(fileName);
    const auto encoding = QStringConverter::encodingForData(data, u'<');
    if (encoding && *encoding != QStringConverter::Utf8)
        FailLoad(fileName, QStringLiteral("файл в кодировке %1, а файлы карт — в UTF-8")
                               .arg(QLatin1String(QStringConverter::nameForEncoding(*encoding))));
    QStringDecoder decode(QStringConverter::Utf8);  // passes over a byte order mark
    QString text = decode(data);
    badUtf8 = decode.hasError();
    return text;
}

void RefuseDeclaredEncoding(const QString& fileName, QStringView declared)
{
    if (!declared.isEmpty() && declared.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
        FailLoad(fileName, QStringLiteral("файл объявляет кодировку %1, а файлы карт — в UTF-8")
                               .arg(Quoted(declared.toString())));
}

// Most attributes one element of a map file may carry; the program writes at
// most two. The XML parser checks an element's attributes against each other,
// at a cost that grows with the square of their number, so the limit is
// enforced on the text before the parser sees it.
constexpr int MaxAttributes = 8;

// Deepest nesting that is parsed on after the file's shape has already been
// refused (so that a file that is not XML at all is still reported as such);
// the shape itself allows three levels.
constexpr int MaxParsedDepth = 16;

const QString DocumentTypeRefused =
    QStringLiteral("в файле есть объявление типа документа, которого в файлах карт не бывает");

// Looks over the markup of the text the parser is given, without parsing
// it: refuses a document type declaration (no entity is ever declared,
// expanded or fetched) and an element with more than MaxAttributes
// attributes. Comments, CDATA sections and processing instructions are passed
// over. On well-formed text the scan sees exactly the parser's markup; on
// malformed text it may go astray, and the parser then reports the fault.
void CheckMarkup(const QString& fileName, QStringView text)
{
    const qsizetype size = text.size();
    auto at = [&](qsizetype i, const char* s) {
        for (qsizetype k = 0; s[k]; ++k)
            if (i + k >= size || text[i + k] != QLatin1Char(s[k]))
                return false;
        return true;
    };
    auto past = [&](qsizetype i, const char* end) {
        for (; i < size; ++i)
            if (text[i] == QLatin1Char(end[0]) && at(i, end))
                return i + static_cast<qsizetype>(std::strlen(end));
        return size;
    };
    qsizetype i = 0;
    while (i < size) {
        if (text[i] != QLatin1Char('<')) {
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
            char16_t quote = 0;
            for (++i; i < size; ++i) {
                const char16_t c = text[i].unicode();
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++attributes > MaxAttributes)
                        FailLoad(fileName, QStringLiteral("у элемента больше %1 атрибутов").arg(MaxAttributes));
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

// One map element of the file as it streams in.
struct MapRead {
    QString name;       // LPGmap or Petrolmap
    QString pointName;  // LPGPoint or PetrolPoint
    double uoz[MapPoints] = {};
    int count = 0;  // point elements seen so far
    bool seen = false;
};

// Everything that the readers of a map file take from it, from one reading.
struct MapFileRead {
    MapRead lpg{LPGMapName, LPGPointName};
    MapRead petrol{PetrolMapName, PetrolPointName};
    QString startTimeout;  // the Timeout attribute of <Settings>, as written
};

// Reads the advance values of both maps while checking the file's shape as
// it streams through the parser; no document model is built. The shape: the
// document element <variatorTarvo> holds <LPGmap> and <Petrolmap> once each
// and at most one <Settings>, in any order; <Settings> holds text only (its
// Timeout attribute is the start-timeout text); each map holds its 80 point
// elements (<LPGPoint> or <PetrolPoint>), each with one attribute and the
// advance in thousandths of a degree as its text. Text, comments and
// processing instructions between the elements are passed over, and so are
// comments inside a point's text. A file that is not well-formed is reported
// as such before any fault of its shape. Names are taken as written, prefixes
// included: "x:Timeout" is not the Timeout attribute. A declaration naming
// another encoding than UTF-8, and then text that is not UTF-8, are refused
// before anything else.
void ReadMaps(const QString& fileName, const QString& data, bool badUtf8, MapFileRead& read)
{
    // Given decoded text, the parser keeps to it whatever the declaration says.
    QXmlStreamReader reader(data);
    reader.setNamespaceProcessing(false);
    MapRead& lpg = read.lpg;
    MapRead& petrol = read.petrol;
    bool first = true;
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
        if (first) {
            first = false;
            if (token == QXmlStreamReader::StartDocument)
                RefuseDeclaredEncoding(fileName, reader.documentEncoding());
            if (badUtf8)
                FailLoad(fileName, QStringLiteral("файл не является текстом в UTF-8"));
        }
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
                    refuse(QStringLiteral("корневой элемент — <%1>, а не <%2>").arg(name.toString(), RootName));
            } else if (depth == 2) {
                if (name == QLatin1String("Settings")) {
                    if (seenSettings)
                        refuse(QStringLiteral("элемент <Settings> встречается больше одного раза"));
                    seenSettings = inSettings = true;
                    read.startTimeout = reader.attributes().value(QLatin1String("Timeout")).toString();
                } else if (name == lpg.name || name == petrol.name) {
                    map = name == lpg.name ? &lpg : &petrol;
                    if (map->seen)
                        refuse(QStringLiteral("элемент <%1> встречается больше одного раза").arg(map->name));
                    map->seen = true;
                    map->count = 0;
                } else {
                    refuse(QStringLiteral("в <%1> есть элемент <%2>, которого в файлах карт не бывает").arg(RootName, name.toString()));
                }
            } else if (depth == 3 && inSettings) {
                refuse(QStringLiteral("в <Settings> есть элемент <%1>").arg(name.toString()));
            } else if (depth == 3) {
                if (name != map->pointName) {
                    refuse(QStringLiteral("в <%1> есть элемент <%2>, а не <%3>")
                               .arg(map->name, name.toString(), map->pointName));
                    continue;
                }
                // Points beyond the 80th are only counted, for the message.
                if (++map->count > MapPoints)
                    continue;
                const qsizetype attributes = reader.attributes().size();
                if (attributes != 1)
                    refuse(QStringLiteral("у <%1> номер %2 в <%3> атрибутов %4 вместо одного")
                               .arg(map->pointName)
                               .arg(map->count)
                               .arg(map->name)
                               .arg(attributes));
                inPoint = true;
                text.clear();
            } else {
                refuse(QStringLiteral("в <%1> номер %2 в <%3> есть элемент <%4>")
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
                    refuse(QStringLiteral("текст %1 в <%2> номер %3 в <%4> — не число")
                               .arg(Quoted(text), map->pointName)
                               .arg(map->count)
                               .arg(map->name));
                else if (map->count <= MapPoints)
                    map->uoz[map->count - 1] = value / 1000;
            } else if (depth == 1 && inSettings) {
                inSettings = false;
            } else if (depth == 1 && map) {
                if (map->count != MapPoints)
                    refuse(QStringLiteral("в <%1> элементов <%3>: %2 вместо %4")
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
        FailLoad(fileName, QStringLiteral("файл не является правильно построенным XML (строка %1, столбец %2: %3)")
                               .arg(reader.lineNumber())
                               .arg(reader.columnNumber())
                               .arg(reader.errorString()));
    if (!fault.isEmpty())
        FailLoad(fileName, fault);
    for (const MapRead* m : {&lpg, &petrol})
        if (!m->seen)
            FailLoad(fileName, QStringLiteral("нет элемента <%1>").arg(m->name));
}

// The one reading of a map file that every reader takes its decision from.
void ReadMapFile(const QString& fileName, MapFileRead& read)
{
    bool badUtf8 = false;
    const QString text = MapFileText(fileName, badUtf8);
    CheckMarkup(fileName, text);
    ReadMaps(fileName, text, badUtf8, read);
}

// The save writes a new file beside the old one and renames it over the old
// one; a device, a pipe or a socket under the name would be replaced by a
// regular file. A symbolic link to a regular file saves into its target.
// Why fileName cannot be written over: a folder, a device, a pipe or a
// socket; empty for a regular file or none.
QString SpecialTargetReason(const QString& fileName)
{
    const QFileInfo target(fileName);  // follows symbolic links
    if (!target.exists() || target.isFile())
        return QString();
    if (target.isDir())
        return QStringLiteral("это папка, а не файл");
    QString kind = QStringLiteral("устройство, канал или сокет");
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            kind = QStringLiteral("именованный канал");
        else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            kind = QStringLiteral("устройство");
        else if (S_ISSOCK(st.st_mode))
            kind = QStringLiteral("сокет");
    }
#endif
    return QStringLiteral("это %1, а не обычный файл; он оставлен как есть").arg(kind);
}

}  // namespace

void SaveMapFile(const QString& fileName, const MapTable& lpg, const MapTable& petrol,
                 const QString& startTimeout)
{
    if (!IsXmlText(startTimeout))
        FailSave(fileName, QStringLiteral("в тексте времени до включения вариатора есть символ, которого не может быть в XML-файле"));
    SaveWholeFile(fileName, Serialised(MapDocument(lpg, petrol, startTimeout)));
}

void (*BeforeWholeFileCommit)(const QString& fileName) = nullptr;

bool WriteWholeFile(const QString& fileName, const QByteArray& bytes, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    const QString special = SpecialTargetReason(fileName);
    if (!special.isEmpty())
        return fail(special);

    // Written unbuffered and in a loop: a short write is retried, so that a
    // full disk shows up as an error of the next write, with its reason,
    // before the new file can replace the old one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            return fail(why);
        }
        done += written;
    }
    if (BeforeWholeFileCommit)
        BeforeWholeFileCommit(fileName);
    // The rename that puts the file in place can fail too: then nothing was saved.
    if (!file.commit())
        return fail(file.errorString().isEmpty() ? QStringLiteral("файл не удалось переименовать")
                                                 : file.errorString());
    return true;
}

void SaveWholeFile(const QString& fileName, const QByteArray& bytes)
{
    QString reason;
    if (!WriteWholeFile(fileName, bytes, &reason))
        FailSave(fileName, reason);
}

void LoadMapFile(const QString& fileName, MapTable& lpg, MapTable& petrol, QString* startTimeout)
{
    MapFileRead read;
    ReadMapFile(fileName, read);
    std::copy(std::begin(read.lpg.uoz), std::end(read.lpg.uoz), std::begin(lpg.Uoz));
    std::copy(std::begin(read.petrol.uoz), std::end(read.petrol.uoz), std::begin(petrol.Uoz));
    if (startTimeout)
        *startTimeout = read.startTimeout;
}

QString MapFileStartTimeout(const QString& fileName)
{
    MapFileRead read;
    ReadMapFile(fileName, read);
    return read.startTimeout;
}
