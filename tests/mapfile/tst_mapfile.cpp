// The map file on its own: the bytes the writer produces, round trips under
// both decimal separators, the files the reader accepts and the ones it refuses
// without touching the tables, failed saves and hostile files.

#include "common/CoreTestBase.h"
#include "mapfile/core/MapFile.h"
#include "MapFileSamples.h"
#include "app/core/MapStore.h"
#include "app/core/Recovery.h"

#include <QDir>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

MapTable WholeThousandthsLPG()
{
    return SampleTable([](int i) { return ((i * 6133) % 64001 - 32000) / 1000.0; });
}

MapTable WholeThousandthsPetrol()
{
    return SampleTable([](int i) {
        switch (i) {
        case 0: return 0.0;
        case 1: return -0.001;
        case 2: return 32.0;
        case 3: return -32.0;
        case 4: return 0.001;
        default: return (9500 - (i * 337) % 20000) / 1000.0;
        }
    });
}

// The text the message of a failed load or save must carry.
QString What(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

class TestMapFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;
    // A file as the program writes it, with whole-thousandth values.
    QByteArray valid;
    MapTable validLPG;
    MapTable validPetrol;

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Loads bytes into sentinel tables. Returns the error message, or an empty
    // text when the load succeeded.
    QString TryLoad(const QByteArray& bytes, MapTable& lpg, MapTable& petrol, QString* timeout = nullptr)
    {
        if (!WriteAll(path, bytes))
            return QStringLiteral("test could not write its file");
        try {
            LoadMapFile(path, lpg, petrol, timeout);
        } catch (const std::runtime_error& e) {
            return What(e);
        }
        return QString();
    }

    // What the recovery restore and the start-timeout reader answer otherwise
    // than Open did (error, maps, start timeout) for the file at path.
    QString Disagreement(const QString& error, const MapTable& lpg, const MapTable& petrol, const QString& timeout)
    {
        MapTable otherLPG = Sentinel(500);
        MapTable otherPetrol = Sentinel(600);
        QString recovered, read, errors[2];
        const auto attempt = [&errors](int i, const std::function<void()>& reader) {
            try {
                reader();
            } catch (const std::runtime_error& e) {
                errors[i] = What(e);
            }
        };
        attempt(0, [&] { ReadRecoveryFile(path, otherLPG, otherPetrol, recovered); });
        attempt(1, [&] { read = MapFileStartTimeout(path); });
        if (errors[0] == error && errors[1] == error && SameTable(otherLPG, lpg) && SameTable(otherPetrol, petrol)
            && recovered == timeout && read == timeout)
            return QString();
        return QStringLiteral("'%1' / '%2'; start timeouts '%3' / '%4' / '%5'").arg(errors[0], errors[1], timeout, recovered, read);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        path = Path(QStringLiteral("map.xml"));
        validLPG = WholeThousandthsLPG();
        validPetrol = WholeThousandthsPetrol();
        SaveMapFile(path, validLPG, validPetrol, QStringLiteral("7"));
        valid = ReadAll(path);
        QVERIFY(!valid.isEmpty());
    }

    void cleanup() { ResetCoreGlobals(); }

    // The markup matches the documented example, extended to 80 points a map.
    void writerBytes()
    {
        const MapTable lpg = SampleTable([](int i) { return i == 0 ? 12.5 : -4.35 + i * 0.25; });
        const MapTable petrol = SampleTable([](int i) { return i == 0 ? 10.0 : -i * 0.5; });
        SaveMapFile(path, lpg, petrol, QStringLiteral("0"));
        QByteArray bytes = ReadAll(path);

        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        QVERIFY(bytes.startsWith(declaration));
        bytes.remove(0, declaration.size());
        if (bytes.startsWith("\r\n"))
            bytes.remove(0, 2);
        else if (bytes.startsWith("\n"))
            bytes.remove(0, 1);

        QByteArray expected = "<variatorTarvo><Settings Inversion=\"0\" Timeout=\"0\">variator settings</Settings>"
                              "<LPGmap>LPG map)))<LPGPoint UOZ0=\"12.5\">12500</LPGPoint>";
        for (int i = 1; i < MapPoints; ++i)
            expected += QStringLiteral("<LPGPoint UOZ%1=\"%2\">%3</LPGPoint>")
                            .arg(i * 100)
                            .arg(QString::number(lpg.Uoz[i], 'g', 15), QString::number(lpg.Uoz[i] * 1000, 'g', 15))
                            .toUtf8();
        expected += "</LPGmap><Petrolmap><PetrolPoint UOZ0=\"10\">10000</PetrolPoint>";
        for (int i = 1; i < MapPoints; ++i)
            expected += QStringLiteral("<PetrolPoint UOZ%1=\"%2\">%3</PetrolPoint>")
                            .arg(i * 100)
                            .arg(QString::number(petrol.Uoz[i], 'g', 15), QString::number(petrol.Uoz[i] * 1000, 'g', 15))
                            .toUtf8();
        expected += "</Petrolmap></variatorTarvo>";
        QCOMPARE(bytes, expected);
        QVERIFY(bytes.contains("<LPGPoint UOZ100=\"-4.1\">-4100</LPGPoint>"));
        QVERIFY(bytes.contains("<PetrolPoint UOZ7900=\"-39.5\">-39500</PetrolPoint>"));
    }

    void writerAttributeNamesFollowSpeedAxis()
    {
        MapTable lpg = WholeThousandthsLPG();
        lpg.Rpm[1] = 149.6;  // "UOZ%.0f" rounds
        SaveMapFile(path, lpg, validPetrol, QStringLiteral("0"));
        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.contains("<LPGPoint UOZ150="));
        QVERIFY(bytes.contains("<PetrolPoint UOZ7900="));
    }

    // The start-timeout text is written character for character, escaped.
    void timeoutText_data()
    {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QByteArray>("markup");
        QTest::newRow("empty") << QString() << QByteArray("Timeout=\"\"");
        QTest::newRow("abc") << QStringLiteral("abc") << QByteArray("Timeout=\"abc\"");
        QTest::newRow("markup characters") << QStringLiteral("a\"<>&'b") << QByteArray("Timeout=\"a&quot;&lt;&gt;&amp;'b\"");
        QTest::newRow("cyrillic") << QStringLiteral("пять") << QStringLiteral("Timeout=\"пять\"").toUtf8();
        QTest::newRow("tab") << QStringLiteral("1\t2") << QByteArray("Timeout=\"1&#9;2\"");
    }
    void timeoutText()
    {
        QFETCH(QString, timeout);
        QFETCH(QByteArray, markup);
        SaveMapFile(path, validLPG, validPetrol, timeout);
        const QByteArray bytes = ReadAll(path);
        QVERIFY2(bytes.contains("<Settings Inversion=\"0\" " + markup + ">variator settings</Settings>"), bytes.left(200));

        QDomDocument document;
        QVERIFY(document.setContent(bytes));
        QCOMPARE(document.documentElement().firstChildElement(QStringLiteral("Settings")).attribute(QStringLiteral("Timeout")),
                 timeout);
        // The timeout is not read back; the maps are.
        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        LoadMapFile(path, lpg, petrol);
        QVERIFY(SameTable(lpg, validLPG));
        QVERIFY(SameTable(petrol, validPetrol));
    }

    void timeoutThatXmlCannotHoldIsRefused()
    {
        QVERIFY(WriteAll(path, valid));
        try {
            SaveMapFile(path, validLPG, validPetrol, QStringLiteral("1") + QChar(0x01));
            QFAIL("saved a control character");
        } catch (const std::runtime_error& e) {
            QVERIFY2(What(e).contains(path), e.what());
        }
        QCOMPARE(ReadAll(path), valid);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("point") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("comma") << QLocale(QLocale::Russian);
    }
    void roundTrip()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);

        SaveMapFile(path, validLPG, validPetrol, QStringLiteral("7"));
        QCOMPARE(ReadAll(path), valid);  // the same bytes whatever the settings

        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        LoadMapFile(path, lpg, petrol);
        QVERIFY(SameTable(lpg, validLPG));  // whole thousandths come back exactly
        QVERIFY(SameTable(petrol, validPetrol));

        MapTable fine = validLPG;
        fine.Uoz[5] = 12.3456;
        fine.Uoz[6] = -0.0001;
        fine.Uoz[7] = 0.0000015;
        SaveMapFile(path, fine, validPetrol, QStringLiteral("3"));
        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.contains("<LPGPoint UOZ500=\"12.3456\">12345.6</LPGPoint>"));
        QVERIFY(bytes.contains("<LPGPoint UOZ600=\"-0.0001\">-0.1</LPGPoint>"));
        QVERIFY(bytes.contains("<LPGPoint UOZ700=\"1.5E-6\">0.0015</LPGPoint>"));
        LoadMapFile(path, lpg, petrol);
        QCOMPARE(lpg.Uoz[5], 12.3456);
        QCOMPARE(lpg.Uoz[6], -0.0001);
        QCOMPARE(lpg.Uoz[7], 0.0000015);
        QCOMPARE(lpg.Uoz[8], validLPG.Uoz[8]);
    }

    // Files that load, each with the values it was made from, alike for
    // every reader.
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lpgIndex");
        QTest::addColumn<double>("lpgValue");

        const QByteArray body = valid.mid(valid.indexOf("<variatorTarvo>"));
        const QByteArray declaration = "<?xml version='1.0' encoding='utf-8'?>";
        const double first = validLPG.Uoz[0];
        QTest::newRow("as written") << valid << 0 << first;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + valid << 0 << first;
        QTest::newRow("no line break") << declaration + body << 0 << first;
        QTest::newRow("CRLF") << declaration + "\r\n" + body << 0 << first;
        QTest::newRow("no declaration") << body << 0 << first;

        QByteArray indented = valid;
        indented.replace("><", ">\n\t  <");
        indented.replace("LPG map)))<", "LPG map)))\n  <");
        QTest::newRow("hand-indented") << indented << 0 << first;

        QByteArray noText = valid;
        noText.replace("LPG map)))", "");
        QTest::newRow("no LPG map text") << noText << 79 << validLPG.Uoz[79];

        QByteArray comments = valid;
        comments.replace("LPG map)))", "LPG map)))<!-- tuned -->");
        comments.replace("<Petrolmap>", "<Petrolmap><!-- p --><?note x?>");
        comments.replace("</LPGmap>", "<!-- end --></LPGmap>");
        QTest::newRow("comments and instruction") << comments << 79 << validLPG.Uoz[79];

        const QByteArray settings = Element(valid, "Settings");
        const QByteArray lpgMap = Element(valid, "LPGmap");
        const QByteArray petrolMap = Element(valid, "Petrolmap");
        QTest::newRow("reordered") << declaration + "<variatorTarvo>" + petrolMap + lpgMap + settings + "</variatorTarvo>"
                                   << 3 << validLPG.Uoz[3];
        QTest::newRow("no settings") << declaration + "<variatorTarvo>" + lpgMap + petrolMap + "</variatorTarvo>"
                                     << 3 << validLPG.Uoz[3];

        QTest::newRow("comma") << WithPointText(valid, "LPGPoint", 4, "12345,6") << 4 << 12.3456;
        QTest::newRow("point") << WithPointText(valid, "LPGPoint", 4, "12345.6") << 4 << 12.3456;
        QTest::newRow("white space") << WithPointText(valid, "LPGPoint", 4, " \n\t-4350\r\n ") << 4 << -4.35;
        QTest::newRow("exponent") << WithPointText(valid, "LPGPoint", 4, "1.5E3") << 4 << 1.5;
        QTest::newRow("plus sign") << WithPointText(valid, "LPGPoint", 4, "+7") << 4 << 0.007;
        QTest::newRow("no range check") << WithPointText(valid, "LPGPoint", 4, "40000") << 4 << 40.0;
        QTest::newRow("CDATA") << WithPointText(valid, "LPGPoint", 4, "<![CDATA[2500]]>") << 4 << 2.5;
        QTest::newRow("character reference") << WithPointText(valid, "LPGPoint", 4, "&#51;000") << 4 << 3.0;
        QTest::newRow("prefixed Timeout") << QByteArray(valid).replace(" Timeout=", " x:Timeout=") << 0 << first;
        QTest::newRow("prefixed point attribute") << QByteArray(valid).replace("<LPGPoint UOZ0=", "<LPGPoint p:UOZ0=") << 0 << first;
        QByteArray markupInComments = valid;
        markupInComments.replace("LPG map)))", "LPG map)))<!-- <x a='1' b='2' c=3 d=4 e=5 f=6 g=7 h=8 i=9> <!DOCTYPE -->"
                                               "<?pi a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 i=9?><![CDATA[ <x a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 i=9> ]]>");
        QTest::newRow("markup in comments") << markupInComments << 0 << first;
        QTest::newRow("comment inside point") << WithPointText(valid, "LPGPoint", 4, "12<!-- x -->500") << 4 << 12.5;
        // The pre-scan counts one '=' per attribute outside quoted values.
        QTest::newRow("eight attributes") << QByteArray(valid).replace("<variatorTarvo>", "<variatorTarvo a1='' a2='' a3='' a4='' "
                                                                       "a5='' a6='' a7='' a8=''>") << 0 << first;
        QByteArray singleQuoted = valid;
        singleQuoted.replace('"', '\'').replace("Timeout='7'", "Timeout='a=b=c=d=e=f=g=h=i=\"'");
        QTest::newRow("single-quoted values") << singleQuoted << 0 << first;
    }
    void accepted()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lpgIndex);
        QFETCH(double, lpgValue);
        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        QString timeout;
        const QString error = TryLoad(bytes, lpg, petrol, &timeout);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(lpg.Uoz[lpgIndex], lpgValue);
        for (int i = 0; i < MapPoints; ++i) {
            if (i != lpgIndex)
                QCOMPARE(lpg.Uoz[i], validLPG.Uoz[i]);
            QCOMPARE(lpg.Rpm[i], 100.0 * i);
        }
        QVERIFY(SameTable(petrol, validPetrol));
        const QString other = Disagreement(error, lpg, petrol, timeout);
        QVERIFY2(other.isEmpty(), qPrintable(other));
    }

    // Files that are refused with a message naming the file and the fault,
    // alike by every reader; neither table changes.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");

        QByteArray short79 = valid;
        short79.replace(PointElement(valid, "LPGPoint", 79), "");
        QTest::newRow("79 points") << short79 << "элементов <LPGPoint>: 79";
        QByteArray long81 = valid;
        long81.replace("</Petrolmap>", PointElement(valid, "PetrolPoint", 0) + "</Petrolmap>");
        QTest::newRow("81 points") << long81 << "элементов <PetrolPoint>: 81";

        QTest::newRow("abc") << WithPointText(valid, "PetrolPoint", 79, "abc") << "«abc» в <PetrolPoint> номер 80";
        QTest::newRow("empty text") << WithPointText(valid, "LPGPoint", 0, "") << "«» в <LPGPoint> номер 1";
        QTest::newRow("number and letters") << WithPointText(valid, "LPGPoint", 3, "12abc") << "«12abc»";
        QTest::newRow("two numbers") << WithPointText(valid, "LPGPoint", 3, "1 2") << "«1 2»";
        QTest::newRow("two separators") << WithPointText(valid, "LPGPoint", 3, "1.2,3") << "«1.2,3»";
        QTest::newRow("nan") << WithPointText(valid, "LPGPoint", 3, "nan") << "«nan»";
        QTest::newRow("overflow") << WithPointText(valid, "LPGPoint", 3, "1e999") << "«1e999»";
        QTest::newRow("bare exponent") << WithPointText(valid, "LPGPoint", 3, "5e") << "«5e»";
        QTest::newRow("element in point") << WithPointText(valid, "LPGPoint", 3, "<v>1</v>") << "элемент <v>";

        QByteArray wrongPoint = valid;
        wrongPoint.replace("LPG map)))", "LPG map)))" + PointElement(valid, "PetrolPoint", 0));
        QTest::newRow("foreign point") << wrongPoint << "элемент <PetrolPoint>, а не <LPGPoint>";
        QByteArray noLPG = valid;
        noLPG.replace(Element(valid, "LPGmap"), "");
        QTest::newRow("no LPGmap") << noLPG << "нет элемента <LPGmap>";
        QByteArray twoPetrol = valid;
        twoPetrol.replace("</variatorTarvo>", Element(valid, "Petrolmap") + "</variatorTarvo>");
        QTest::newRow("two Petrolmap") << twoPetrol << "элемент <Petrolmap> встречается больше одного раза";
        QByteArray root = valid;
        root.replace("variatorTarvo>", "tarvo>");
        QTest::newRow("other root") << root << "<tarvo>";
        QByteArray nested = valid;
        nested.replace("<variatorTarvo>", "<variatorTarvo><x>").replace("</variatorTarvo>", "</x></variatorTarvo>");
        QTest::newRow("maps one level down") << nested << "в <variatorTarvo> есть элемент <x>";
        QByteArray twoAttributes = valid;
        twoAttributes.replace("<PetrolPoint UOZ0=", "<PetrolPoint extra=\"1\" UOZ0=");
        QTest::newRow("point with two attributes") << twoAttributes << "у <PetrolPoint> номер 1 в <Petrolmap> атрибутов 2";
        QByteArray noAttribute = valid;
        noAttribute.replace(PointElement(valid, "LPGPoint", 2), "<LPGPoint>1000</LPGPoint>");
        QTest::newRow("point without attribute") << noAttribute << "у <LPGPoint> номер 3 в <LPGmap> атрибутов 0";
        QByteArray settingsChild = valid;
        settingsChild.replace("variator settings</Settings>", "<v/></Settings>");
        QTest::newRow("element in Settings") << settingsChild << "в <Settings> есть элемент <v>";
        QByteArray attributeBomb = valid;
        attributeBomb.replace("<variatorTarvo>", "<variatorTarvo a1='' a2='' a3='' a4='' a5='' a6='' a7='' a8='' a9=''>");
        QTest::newRow("nine attributes") << attributeBomb << "больше 8 атрибутов";
        // The same attributes in UTF-7, where "+AD0-" stands for "=".
        QTest::newRow("UTF-7") << QByteArray(valid).replace("UTF-8", "UTF-7").replace("<Settings ", "<Settings a1+AD0-'' a2+AD0-'' "
                                  "a3+AD0-'' a4+AD0-'' a5+AD0-'' a6+AD0-'' a7+AD0-'' a8+AD0-'' a9+AD0-'' ")
                               << "файл объявляет кодировку «UTF-7», а файлы карт — в UTF-8";
        const QString utf16 = QString::fromUtf8(QByteArray(valid).replace("UTF-8", "UTF-16"));
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2)
                                << "файл в кодировке UTF-16LE";
        QTest::newRow("not UTF-8") << QByteArray(valid).replace("LPG map)))", "\xB0") << "не является текстом в UTF-8";

        QTest::newRow("empty file") << QByteArray() << "не является правильно построенным XML";
        QTest::newRow("truncated") << valid.left(valid.size() - 10) << "не является правильно построенным XML";
        QByteArray unclosed = valid;
        unclosed.replace("</LPGPoint><LPGPoint UOZ500", "<LPGPoint UOZ500");
        QTest::newRow("mismatched tags") << unclosed << "не является правильно построенным XML";
        QTest::newRow("undefined entity") << WithPointText(valid, "LPGPoint", 3, "&x;") << "не является правильно построенным XML";
        QTest::newRow("text after root") << valid + "junk" << "не является правильно построенным XML";
        QByteArray doctype = valid;
        doctype.replace("<variatorTarvo>", "<!DOCTYPE variatorTarvo><variatorTarvo>");
        QTest::newRow("document type") << doctype << "объявление типа документа";
    }
    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        const QString error = TryLoad(bytes, lpg, petrol);
        QVERIFY2(!error.isEmpty(), "the file loaded");
        QVERIFY2(error.startsWith(MapFileOpenError(path)), qPrintable(error));
        QVERIFY2(error.contains(fault), qPrintable(error));
        QVERIFY(SameTable(lpg, Sentinel(500)));
        QVERIFY(SameTable(petrol, Sentinel(600)));
        const QString other = Disagreement(error, lpg, petrol, QString());
        QVERIFY2(other.isEmpty(), qPrintable(other));
    }

    void unreadablePath()
    {
        for (const QString& p : {Path(QStringLiteral("missing.xml")), dir.path()}) {
            MapTable lpg = Sentinel(500);
            MapTable petrol = Sentinel(600);
            try {
                LoadMapFile(p, lpg, petrol);
                QFAIL(qPrintable(QStringLiteral("loaded %1").arg(p)));
            } catch (const std::runtime_error& e) {
                QVERIFY2(What(e).startsWith(MapFileOpenError(p)), e.what());
            }
            QVERIFY(SameTable(lpg, Sentinel(500)));
            QVERIFY(SameTable(petrol, Sentinel(600)));
        }
    }

    // Files built to keep the parser busy are refused as they stream in, long
    // before a document model could be built; printed for the figures.
    void hostileShapes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");
        QByteArray attributes;
        for (int i = 0; attributes.size() < 3500000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"1\"";
        QTest::newRow("3.5 MB of attributes") << WithPointText(valid, "LPGPoint", 0, "<v" + attributes + "/>")
                                                << "больше 8 атрибутов";
        QByteArray onRoot = valid;
        onRoot.replace("<variatorTarvo>", "<variatorTarvo" + attributes + ">");
        QTest::newRow("attributes on the root") << onRoot << "больше 8 атрибутов";
        QByteArray hidden;  // "+AD0-" is "=" in UTF-7
        for (int i = 0; hidden.size() < 4100000; ++i)
            hidden += " a" + QByteArray::number(i) + "+AD0-\"1\"";
        QTest::newRow("4 MiB of attributes in UTF-7")
            << QByteArray(valid).replace("UTF-8", "UTF-7").replace("<variatorTarvo>", "<variatorTarvo" + hidden + ">")
            << "кодировку «UTF-7»";
        QTest::newRow("700 KB of nesting") << WithPointText(valid, "LPGPoint", 0, QByteArray("<n>").repeated(233000))
                                           << "в <LPGPoint> номер 1 в <LPGmap> есть элемент <n>";
        QByteArray deepRoot = QByteArray("<variatorTarvo>") + QByteArray("<n>").repeated(1390000);
        QTest::newRow("4 MiB of nesting") << deepRoot << "есть элемент <n>";
        QByteArray points = valid;
        points.replace("</Petrolmap>", PointElement(valid, "PetrolPoint", 0).repeated(100000) + "</Petrolmap>");
        QTest::newRow("100,000 points") << points << "элементов <PetrolPoint>: 100080";
        // Billion laughs: nothing expanded; an external entity naming a file
        // is not read.
        QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE variatorTarvo [<!ENTITY a \"aaaaaaaaaa\">";
        for (int level = 1; level <= 9; ++level)
            bomb += "<!ENTITY a" + QByteArray::number(level) + " \""
                + QByteArray("&a" + (level > 1 ? QByteArray::number(level - 1) : QByteArray()) + ";").repeated(10) + "\">";
        QTest::newRow("entity bomb") << WithPointText(QByteArray(valid).replace("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", bomb + "]>"),
                                                      "LPGPoint", 0, "&a9;")
                                     << "объявление типа документа";
        QVERIFY(WriteAll(Path(QStringLiteral("secret.txt")), "31337"));
        QTest::newRow("external entity")
            << WithPointText(QByteArray(valid).replace("<variatorTarvo>", "<!DOCTYPE variatorTarvo [<!ENTITY x SYSTEM \"file://"
                                                       + Path(QStringLiteral("secret.txt")).toUtf8() + "\">]><variatorTarvo>"),
                             "LPGPoint", 0, "&x;")
            << "объявление типа документа";
    }
    void hostileShapes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        QVERIFY(bytes.size() <= MaxMapFileSize);
        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        QElapsedTimer timer;
        timer.start();
        const QString error = TryLoad(bytes, lpg, petrol);
        const qint64 elapsed = timer.elapsed();
        qInfo("%s: %lld bytes refused in %lld ms", QTest::currentDataTag(), static_cast<long long>(bytes.size()),
              static_cast<long long>(elapsed));
        QVERIFY2(error.startsWith(MapFileOpenError(path)), qPrintable(error));
        QVERIFY2(error.contains(fault), qPrintable(error));
        QVERIFY(SameTable(lpg, Sentinel(500)));
        QVERIFY(SameTable(petrol, Sentinel(600)));
        QVERIFY2(elapsed < 10000, "the parser was kept busy");  // sanity bound only
    }

    void sizeLimit()
    {
        // A valid file padded with a comment just under the limit still loads.
        const qsizetype room = MaxMapFileSize - valid.size() - 7;
        QByteArray padded = valid;
        padded.replace("</variatorTarvo>", "<!--" + QByteArray(room, 'x') + "--></variatorTarvo>");
        QCOMPARE(padded.size(), MaxMapFileSize);
        MapTable lpg = Sentinel(500);
        MapTable petrol = Sentinel(600);
        QElapsedTimer timer;
        timer.start();
        QString error = TryLoad(padded, lpg, petrol);
        qInfo("a 4 MiB file loaded in %lld ms", static_cast<long long>(timer.elapsed()));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(SameTable(lpg, validLPG));

        // One byte more and it is refused.
        lpg = Sentinel(500);
        padded.insert(padded.indexOf("<!--") + 4, 'x');
        error = TryLoad(padded, lpg, petrol);
        QVERIFY2(error.contains(QStringLiteral("больше 4 МиБ")), qPrintable(error));
        QVERIFY(SameTable(lpg, Sentinel(500)));
    }

#ifdef Q_OS_UNIX
    // A write that cannot finish (here: the file size limit, which also binds
    // root) leaves the previous file as it was.
    void failedWriteKeepsPreviousFile()
    {
        const QString old = Path(QStringLiteral("old.xml"));
        QVERIFY(WriteAll(old, valid));
        const MapTable other = SampleTable([](int i) { return i / 8.0; });

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        try {
            SaveMapFile(old, other, other, QStringLiteral("0"));
        } catch (const std::runtime_error& e) {
            error = What(e);
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY2(error.startsWith(MapFileSaveError(old)), qPrintable(error));
        QVERIFY(error.size() > MapFileSaveError(old).size());
        QCOMPARE(ReadAll(old), valid);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("old.xml.*")}, QDir::Files | QDir::Hidden), QStringList());

        if (geteuid() != 0) {
            const QString locked = Path(QStringLiteral("locked"));
            QVERIFY(QDir().mkpath(locked));
            const QString lockedFile = locked + QStringLiteral("/map.xml");
            QVERIFY(WriteAll(lockedFile, valid));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, SaveMapFile(lockedFile, other, other, QStringLiteral("0")));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(ReadAll(lockedFile), valid);
        }
    }
#endif

    // A save below a regular file, over a folder, onto a pipe or a device,
    // or through a link to a pipe is refused with a message naming the
    // file, and leaves what stands there as it was, with no leftovers.
    void saveRefused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("kept");  // what must stay as it was
        QTest::addColumn<QString>("says");
        const QString plain = Path(QStringLiteral("plain"));
        QVERIFY(WriteAll(plain, "x"));
        QTest::newRow("below a regular file") << plain + QStringLiteral("/map.xml") << plain << "";
        const QString folder = Path(QStringLiteral("folder.xml"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/keep")));
        QTest::newRow("over a folder") << folder << folder + QStringLiteral("/keep") << "";
#ifdef Q_OS_UNIX
        const QString fifo = Path(QStringLiteral("pipe.xml"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QTest::newRow("pipe") << fifo << fifo << "это ";
        QString device = QStringLiteral("/dev/full");
        if (geteuid() == 0) {
            // As root the rename would succeed: use a device node of our own.
            device = Path(QStringLiteral("full.xml"));
            QCOMPARE(mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 7)), 0);
        }
        QTest::newRow("device") << device << device << "это ";
        const QString linkToFifo = Path(QStringLiteral("link-to-pipe.xml"));
        QVERIFY(QFile::link(fifo, linkToFifo));
        QTest::newRow("link to a pipe") << linkToFifo << linkToFifo << "это ";
#endif
    }
    void saveRefused()
    {
        QFETCH(QString, target);
        QFETCH(QString, kept);
        QFETCH(QString, says);
        const auto state = [&kept] {
            struct stat st {};
            lstat(QFile::encodeName(kept).constData(), &st);
            return QStringLiteral("%1 %2").arg(st.st_mode).arg(QString::fromLatin1(S_ISREG(st.st_mode) ? ReadAll(kept) : ""));
        };
        const QString before = state();
        QString error;
        try {
            SaveMapFile(target, validLPG, validPetrol, QStringLiteral("0"));
        } catch (const std::runtime_error& e) {
            error = What(e);
        }
        const QString prefix = MapFileSaveError(target);
        QVERIFY2(error.startsWith(prefix + says), qPrintable(error));
        QVERIFY2(says.isEmpty() || error.contains(QStringLiteral("а не обычный файл")), qPrintable(error));
        QCOMPARE(state(), before);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.xml.*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A symbolic link to a regular file saves into its target.
    void saveThroughALink()
    {
        const QString real = Path(QStringLiteral("real.xml"));
        QVERIFY(WriteAll(real, "old"));
        const QString link = Path(QStringLiteral("link.xml"));
        QVERIFY(QFile::link(real, link));
        SaveMapFile(link, validLPG, validPetrol, QStringLiteral("7"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(ReadAll(real), valid);
    }

    // Random damage to valid files: a load either takes the whole file or
    // changes nothing.
    void mutatedFilesLoadWholeOrNotAtAll()
    {
        QRandomGenerator random(20240611);
        const QList<QByteArray> snippets = {"<!-- c -->", "<LPGPoint UOZ0=\"1\">5</LPGPoint>", "abc", ",", ".", "-",
                                            "<", ">", "&amp;", "&#48;", "<![CDATA[9]]>", " ", "\n", "e5",
                                            "</LPGmap>", "<Petrolmap>", "\xEF\xBB\xBF", QByteArray(1, '\0'), "\xFF"};
        int loaded = 0;
        for (int round = 0; round < 400; ++round) {
            // A fresh valid file with values of this round.
            const MapTable lpgIn = SampleTable([&](int) { return random.bounded(-32000, 32001) / 1000.0; });
            const MapTable petrolIn = SampleTable([&](int) { return random.bounded(-32000, 32001) / 1000.0; });
            SaveMapFile(path, lpgIn, petrolIn, QString::number(round));
            QByteArray bytes = ReadAll(path);

            const int edits = 1 + random.bounded(3);
            for (int e = 0; e < edits; ++e) {
                const qsizetype at = random.bounded(bytes.size() + 1);
                switch (random.bounded(5)) {
                case 0: bytes.remove(at, 1 + random.bounded(12)); break;
                case 1: bytes.insert(at, snippets[random.bounded(snippets.size())]); break;
                case 2:
                    if (at < bytes.size())
                        bytes[at] = static_cast<char>(random.bounded(256));
                    break;
                case 3: bytes.insert(at, bytes.mid(random.bounded(bytes.size()), 1 + random.bounded(60))); break;
                case 4:
                    if (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9')
                        bytes[at] = static_cast<char>('0' + random.bounded(10));
                    break;
                }
            }

            MapTable lpg = Sentinel(500);
            MapTable petrol = Sentinel(600);
            const QString error = TryLoad(bytes, lpg, petrol);
            if (error.isEmpty()) {
                ++loaded;
                for (int i = 0; i < MapPoints; ++i) {
                    QVERIFY(std::isfinite(lpg.Uoz[i]) && std::isfinite(petrol.Uoz[i]));
                    QCOMPARE(lpg.Rpm[i], 100.0 * i);
                    QCOMPARE(petrol.Rpm[i], 100.0 * i);
                }
                QVERIFY(!SameTable(lpg, Sentinel(500)));
                QVERIFY(!SameTable(petrol, Sentinel(600)));
                // Damage that left the file loadable may change a value, not the count.
                int changed = 0;
                for (int i = 0; i < MapPoints; ++i)
                    changed += (lpg.Uoz[i] != lpgIn.Uoz[i]) + (petrol.Uoz[i] != petrolIn.Uoz[i]);
                QVERIFY2(changed <= 2 * edits, qPrintable(QStringLiteral("round %1 changed %2 values").arg(round).arg(changed)));
            } else {
                QVERIFY2(error.contains(path), qPrintable(error));
                QVERIFY2(SameTable(lpg, Sentinel(500)), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(error)));
                QVERIFY(SameTable(petrol, Sentinel(600)));
            }
        }
        // The damage is not so heavy that every file is refused.
        QVERIFY2(loaded > 20, qPrintable(QString::number(loaded)));
    }
};

QTEST_GUILESS_MAIN(TestMapFile)
#include "tst_mapfile.moc"
