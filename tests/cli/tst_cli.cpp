// tarvo-cli run as a program against simulated variators on pseudo-terminals:
// every command, every exit status, faults of the link, files that must never
// be written half, refused writes that send nothing, the backup and Ctrl+C.

#include "CliFixture.h"
#include "common/ScopedEnvironment.h"
#include "device/core/TransferLoop.h"
#include "device/wire/Frame.h"
#include "app/core/History.h"
#include "mapfile/core/MapFile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

// A limit on the size of the files that this process and the programs it
// starts may write, for one scope; a write beyond it fails instead of
// ending the program.
struct FileSizeLimit {
    rlimit old{};
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

namespace {

// A recognisable map on the device: LPG point i holds 100 * i + 7, petrol
// point i holds -50 * i (thousandths).
int OldLPG(int i) { return 100 * i + 7; }
int OldPetrol(int i) { return -50 * i; }

void StoreOldMaps(VariatorSim& sim)
{
    StoreMaps(sim, OldLPG, OldPetrol);
    sim.SetValue(StartTimeoutParameter, 45);
    sim.SetValue(FirmwareParameter, 12);
}

// Parameters of the requests the simulator received, and how many were writes.
QList<int> Parameters(const VariatorSim& sim)
{
    QList<int> list;
    for (const SimRequest& r : sim.Requests())
        list << r.bytes[1];
    return list;
}

int Writes(const VariatorSim& sim)
{
    int n = 0;
    for (const SimRequest& r : sim.Requests())
        n += r.bytes[0] == WriteCommand;
    return n;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The order of a full read: handshake, LPG, petrol, start timeout, firmware.
bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<int> FullReadOrder()
{
    QList<int> order{HandshakeParameter};
    for (int i = 0; i < MapPoints; ++i)
        order << LPGFirstParameter + i;
    for (int i = 0; i < MapPoints; ++i)
        order << PetrolFirstParameter + i;
    order << StartTimeoutParameter << FirmwareParameter;
    return order;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    CliFixture f;

    // A map file with new values: LPG 12.5 + i/4, petrol -i/8, Timeout text.
    QString NewFile(const QString& name, const QString& timeout = QStringLiteral("55"),
                    double lpg1200 = 12.5 + 12 / 4.0)
    {
        const QString path = f.Path(name);
        MapTable lpg = SampleTable([](int i) { return 12.5 + i / 4.0; });
        lpg.Uoz[12] = lpg1200;
        const MapTable petrol = SampleTable([](int i) { return -i / 8.0; });
        SaveMapFile(path, lpg, petrol, timeout);
        return path;
    }

private slots:
    void initTestCase() { f.InitRuntime(); }
    void cleanup() { f.Cleanup(); }

    void usageAndBadInputExitTwo()
    {
        QCOMPARE(f.Run({QStringLiteral("--version")}).out, QStringLiteral("tarvo-cli 1.0.0\n"));
        const CliRun help = f.Run({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains(QLatin1String("tarvo-cli write  (--port N | --auto) FILE.xml")));

        const struct {
            QStringList arguments;
            const char* says;
        } cases[] = {
            {{}, "no command given"},
            {{"flash", "--port", "7", "a.xml"}, "unknown command flash"},
            {{"read", "a.xml"}, "read needs either --port N or --auto"},
            {{"read", "--port", "7", "--auto", "a.xml"}, "read needs either --port N or --auto"},
            {{"read", "--port", "0", "a.xml"}, "--port 0: Неверный номер порта"},
            {{"read", "--port", "1000", "a.xml"}, "--port 1000: Неверный номер порта"},
            {{"read", "--port", "abc", "a.xml"}, "--port: 'abc' is not a valid integer value"},
            {{"read", "--port"}, "--port needs a value"},
            {{"read", "--port", "7", "--fast", "a.xml"}, "unknown option --fast"},
            {{"diff", "a.xml"}, "diff takes 2 file names"},
            {{"verify", "--port", "7", "--no-verify", "a.xml"}, "--timeout, --backup and --no-verify belong to write"},
            {{"write", "--port", "7", "--json", "a.xml"}, "--json belongs to read, verify, diff and history"},
            {{"ports", "--port", "7"}, "ports takes no port"},
            {{"diff", "a.xml", "b.xml", "--note", "Golf"}, "--note belongs to read, write and verify"},
            {{"diff", "a.xml", "b.xml", "--history", "/srv"}, "--history belongs to read, write, verify and history"},
            {{"read", "--port", "7", "a.xml", "--history", " "}, "--history needs a folder"},
        };
        for (const auto& c : cases) {
            const CliRun run = f.Run(c.arguments);
            QVERIFY2(run.status == 2, qPrintable(c.arguments.join(' ')));
            QVERIFY2(run.err.startsWith(QLatin1String("tarvo-cli: ") + QString::fromUtf8(c.says)), qPrintable(run.err));
            QCOMPARE(run.out, QString());
        }
    }

    void portsListsTheSimulator()
    {
        VariatorSim* sim = f.AddSim(7);
        const CliRun run = f.Run({QStringLiteral("ports")});
        QCOMPARE(run.status, 0);
        const QString device = QFileInfo(QString::fromStdString(sim->DevicePath())).canonicalFilePath();
        QVERIFY2(run.out.contains(QStringLiteral("COM7\t%1\talias\t").arg(device)), qPrintable(run.out));
        QCOMPARE(sim->RequestCount(), 0);  // listing never talks to a port
    }

    void readSavesEverythingInTheWindowsOrder()
    {
        VariatorSim* sim = f.AddSim(7);
        StoreOldMaps(*sim);
        sim->SetValue(LPGFirstParameter + 1, -1);       // 0xFFFF is -0.001
        sim->SetValue(PetrolFirstParameter + 2, -32768);
        const QString file = f.Path(QStringLiteral("read.xml"));

        const CliRun run = f.Run({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines(), (QStringList{QStringLiteral("saved ") + file, QStringLiteral("timeout 45"),
                                           QStringLiteral("firmware 12")}));
        QVERIFY(run.err.contains(QLatin1String("read: 162/162")));
        QCOMPARE(Parameters(*sim), FullReadOrder());
        for (const SimRequest& r : sim->Requests()) {
            QCOMPARE(r.bytes[0], ReadCommand);
            const int data = DataField(r.bytes);
            QCOMPARE(data, r.bytes[1] == HandshakeParameter ? HandshakeData
                           : r.bytes[1] >= FirmwareParameter ? SettingReadData : MapReadData);
        }

        MapTable lpg = SampleTable([](int) { return 99.0; });
        MapTable petrol = lpg;
        LoadMapFile(file, lpg, petrol);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(lpg.Uoz[i], (i == 1 ? -1 : OldLPG(i)) / 1000.0);
            QCOMPARE(petrol.Uoz[i], (i == 2 ? -32768 : OldPetrol(i)) / 1000.0);
        }
        QCOMPARE(MapFileStartTimeout(file), QStringLiteral("45"));

        // --json: the same result as one object.
        const CliRun json = f.Run({QStringLiteral("read"), QStringLiteral("--port=7"), file, QStringLiteral("--json")});
        QCOMPARE(json.status, 0);
        QCOMPARE(json.lines().size(), 1);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("port")).toInt(), 7);
        QCOMPARE(o.value(QLatin1String("timeout")).toInt(), 45);
        QCOMPARE(o.value(QLatin1String("firmware")).toInt(), 12);
        QCOMPARE(o.value(QLatin1String("lpg")).toArray().at(79).toDouble(), OldLPG(79) / 1000.0);
        QCOMPARE(o.value(QLatin1String("petrol")).toArray().at(2).toDouble(), -32.768);
    }

    // Any exchange without a valid reply: exit 1, every failing point named
    // (a silent one ends the read at once), and the file that was there
    // before stays byte for byte, with no leftovers.
    void readNeverWritesAPartialFile_data()
    {
        QTest::addColumn<QStringList>("faults");  // as the simulator's --fault takes them
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<int>("requests");        // the simulator got; -1: not counted
        QTest::newRow("short reply") << QStringList{"short,3,param=85"}
                                     << QStringList{"LPG map, 500 rpm (parameter 85): UARTdataExchange: Вариатор не отвечает (the reply broke off before its sixth byte)"}
                                     << 1 + 162;
        QTest::newRow("bad checksum") << QStringList{"bad-crc,param=3"}
                                      << QStringList{"petrol map, 300 rpm (parameter 3)"} << 1 + 162;
        QTest::newRow("error report") << QStringList{"error,2,param=160"}
                                      << QStringList{"firmware version (parameter 160)"} << 1 + 162;
        QTest::newRow("hangup") << QStringList{"hangup,3,param=100"}
                                << QStringList{"LPG map, 2000 rpm (parameter 100)"} << -1;
        QTest::newRow("two failures, both named")
            << QStringList{"bad-crc,param=81", "error,1,param=40"}
            << QStringList{"tarvo-cli: LPG map, 100 rpm (parameter 81): UARTdataExchange: Ошибка контрольной суммы пакета, принятого от вариатора",
                           "tarvo-cli: petrol map, 4000 rpm (parameter 40): UARTdataExchange: Вариатор сообщает о получении пакета с неверной контрольной суммой"}
            << 1 + 162;
        QTest::newRow("silent from LPG point 19 on")
            << QStringList{"silent,from=21"}
            << QStringList{"tarvo-cli: no reply from the variator at LPG map, 1900 rpm (parameter 99)"} << 1 + 20;
    }
    void readNeverWritesAPartialFile()
    {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, named);
        QFETCH(int, requests);
        VariatorSim* sim = f.AddSim(7);
        QVERIFY(AddFaults(*sim, faults));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("car.xml"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("what was here before");
        old.close();

        const CliRun run = f.Run({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(run.status, 1);
        for (const QString& text : named)
            QVERIFY2(run.err.contains(text), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("tarvo-cli: '%1' was not written").arg(file)));
        QCOMPARE(run.out, QString());
        QCOMPARE(ReadAll(file), QByteArray("what was here before"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("car.xml")});
        if (requests >= 0)
            QCOMPARE(sim->RequestCount(), requests);  // collected, not stopped, unless silent
    }

    void autoFindsThePortAndSaysWhich()
    {
        f.AliasToNull(1);
        f.AliasToNull(2);
        VariatorSim* sim = f.AddSim(3);
        StoreOldMaps(*sim);
        const QString file = f.Path(QStringLiteral("auto.xml"));
        const CliRun run = f.Run({QStringLiteral("verify"), QStringLiteral("--auto"), NewFile(QStringLiteral("auto.xml"))});
        QCOMPARE(run.status, 3);
        QCOMPARE(run.lines().value(0), QStringLiteral("port 3"));

        // No variator anywhere: every number tried, exit 1.
        f.Cleanup();
        for (int n = 1; n <= 254; ++n)
            f.AliasToNull(n);
        const CliRun none = f.Run({QStringLiteral("read"), QStringLiteral("--auto"), file});
        QCOMPARE(none.status, 1);
        QVERIFY(none.err.contains(QLatin1String("tarvo-cli: no variator answered on COM1 to COM254")));
        QCOMPARE(none.out, QString());
    }

    void noVariatorOnThePort()
    {
        f.AliasToNull(9);
        const CliRun run = f.Run({QStringLiteral("verify"), QStringLiteral("--port"), QStringLiteral("9"),
                                  NewFile(QStringLiteral("nine.xml"))});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains(QStringLiteral("tarvo-cli: COM9: Не удалось подключиться")));
    }

    void writeBacksUpWritesAndReadsBack()
    {
        VariatorSim* sim = f.AddSim(7);
        StoreOldMaps(*sim);
        const QString file = NewFile(QStringLiteral("golf.xml"), QStringLiteral("55"), 12.3456);

        const CliRun run = f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(run.status, 0);
        const QStringList lines = run.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(QRegularExpression(QStringLiteral("^backup .*/golf\\.before-\\d{8}-\\d{6}\\.xml$")).match(lines[0]).hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("written 160 points, start timeout 55"));
        QCOMPARE(lines[2], QStringLiteral("verified 160 points"));

        // The backup holds what the variator held, timeout included.
        const QString backup = lines[0].mid(7);
        MapTable lpg = SampleTable([](int) { return 0.0; });
        MapTable petrol = lpg;
        LoadMapFile(backup, lpg, petrol);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(lpg.Uoz[i], OldLPG(i) / 1000.0);
            QCOMPARE(petrol.Uoz[i], OldPetrol(i) / 1000.0);
        }
        QCOMPARE(MapFileStartTimeout(backup), QStringLiteral("45"));

        // The variator holds the new maps, encoded as the window encodes them.
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(int(sim->Value(LPGFirstParameter + i)), i == 12 ? 12345 : 12500 + 250 * i);
            QCOMPARE(int(sim->Value(PetrolFirstParameter + i)), -125 * i);
        }
        QCOMPARE(int(sim->Value(StartTimeoutParameter)), 55);
        // Handshake, backup read, 161 writes (LPG, petrol, timeout), read-back.
        const QList<int> order = Parameters(*sim);
        QCOMPARE(order.size(), 1 + 162 + 161 + 160);
        QCOMPARE(order.mid(0, 163), FullReadOrder());
        QCOMPARE(order.mid(163, 161), FullReadOrder().mid(1, 160) << StartTimeoutParameter);
        QCOMPARE(order.mid(324), FullReadOrder().mid(1, 160));
        QCOMPARE(Writes(*sim), 161);

        // --no-verify and --timeout; --backup names the backup.
        sim->ClearRequests();
        const QString named = f.Path(QStringLiteral("kept.xml"));
        const CliRun quick = f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file,
                                    QStringLiteral("--no-verify"), QStringLiteral("--timeout"), QStringLiteral("-1"),
                                    QStringLiteral("--backup"), named});
        QCOMPARE(quick.status, 0);
        QCOMPARE(quick.lines(), (QStringList{QStringLiteral("backup ") + named,
                                              QStringLiteral("written 160 points, start timeout -1")}));
        QCOMPARE(sim->RequestCount(), 1 + 162 + 161);
        QCOMPARE(int(sim->Value(StartTimeoutParameter)), -1);
        QCOMPARE(MapFileStartTimeout(named), QStringLiteral("55"));
    }

    // Nothing that would not fit the wire goes out: not a single frame, not
    // even the handshake, and no backup.
    void refusedWriteSendsNoFrame_data()
    {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<double>("lpg1200");
        QTest::addColumn<QString>("says");
        QTest::newRow("map point") << "55" << QStringList() << 40.0
                                   << WriteRefusal("(карта газа, 1200 об/мин)");
        QTest::newRow("timeout too large") << "55" << QStringList{"--timeout", "70000"} << 1.0
                                           << WriteRefusal("(время до включения вариатора)");
        QTest::newRow("file timeout not a number") << "abc" << QStringList() << 1.0
                                                   << "start timeout (Timeout in ";
        QTest::newRow("--timeout not a number") << "55" << QStringList{"--timeout", "7s"} << 1.0
                                                << "start timeout (--timeout): '7s' is not a valid integer value; give --timeout T";
        for (const char* spelling : {"FILE", "DIR/./bad.xml", "DIR/../NAME/bad.xml", "LINK"})
            QTest::addRow("backup over the file: %s", spelling) << "55" << QStringList{"--backup", spelling} << 1.0
                                                               << "the backup would replace '";
        QTest::newRow("backup cannot be saved") << "55" << QStringList{"--backup", "DIR/no/folder/b.xml"} << 1.0
                                                << "cannot write '";
    }
    // Every read that got both maps and every write whose map echoes all
    // matched leaves a restore point in the window's history folder; one
    // that cannot be saved is told on standard error once, and the exit
    // status stays the command's.
    void commandsAddToTheHistory_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("history");  // "shop", "gone": --history DIR under the test's folder; "blocked": the default cannot be made
        QTest::addColumn<int>("echoFault");  // a wrong echo for this parameter; -1: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("points");  // their names without date, time and workstation, sorted
        const QStringList wrote{"read-COM7-fw12.xml", "read-COM7.xml", "write-COM7.xml"};
        QTest::newRow("read") << "read" << "" << -1 << 0 << QStringList{"read-COM7-fw12.xml"};
        QTest::newRow("write") << "write" << "" << -1 << 0 << wrote;
        QTest::newRow("write, a wrong echo") << "write" << "" << 5 << 1 << QStringList{"read-COM7-fw12.xml"};
        QTest::newRow("verify") << "verify" << "" << -1 << 3 << QStringList{"compare-COM7.xml"};
        QTest::newRow("read, no folder") << "read" << "blocked" << -1 << 0 << QStringList();
        QTest::newRow("read, --history") << "read" << "shop" << -1 << 0 << QStringList{"read-COM7-fw12.xml"};
        QTest::newRow("write, --history missing") << "write" << "gone" << -1 << 0 << wrote;
    }
    void commandsAddToTheHistory()
    {
        QFETCH(QString, command);
        QFETCH(QString, history);
        QFETCH(int, echoFault);
        QFETCH(int, status);
        QFETCH(QStringList, points);
        QTemporaryDir data;
        const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().toLocal8Bit());
        const bool blocked = history == QLatin1String("blocked");
        QVERIFY(!blocked || WriteBytes(data.path() + QStringLiteral("/tarvo-gui"), ""));
        VariatorSim* sim = f.AddSim(7);
        StoreOldMaps(*sim);
        if (echoFault >= 0)
            sim->AddFault(Fault(SimFault::WrongEcho, 1, echoFault));
        const QString file = command == QLatin1String("read") ? f.Path(QStringLiteral("read.xml"))
                                                              : NewFile(QStringLiteral("new.xml"));
        const QString note = QStringLiteral("Golf А123ВС");
        QStringList arguments{command, QStringLiteral("--port"), QStringLiteral("7"), file, QStringLiteral("--note"), note};
        const QString shop = data.path() + QStringLiteral("/shop");
        QVERIFY(QDir().mkpath(shop));
        if (!history.isEmpty() && !blocked)
            arguments << QStringLiteral("--history") << data.path() + QLatin1Char('/') + history;
        const CliRun run = f.Run(arguments);

        QCOMPARE(run.status, status);
        const QString folder = history == QLatin1String("shop") ? shop : data.path() + QStringLiteral("/tarvo-gui/history");
        QCOMPARE(QDir(shop).isEmpty(), history != QLatin1String("shop"));
        QStringList names;
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            // Each point has its note beside it; anything else is listed.
            const QString path = QDir(folder).filePath(name);
            if (name.endsWith(QLatin1String(".note")) && QFile::exists(path.chopped(5) + QStringLiteral(".xml")))
                continue;
            names << name.mid(16).replace(QStringLiteral("-h") + LocalHostToken(), QString());
            if (name.endsWith(QLatin1String(".xml")))
                QCOMPARE(ReadRestorePointNote(path), note);
        }
        names.sort();
        QCOMPARE(names, points);
        const QString failure = QStringLiteral("tarvo-cli: Не удалось сохранить точку восстановления: %1: ").arg(folder);
        QCOMPARE(run.err.count(failure), blocked ? 1 : 0);
        const QString away = QStringLiteral("tarvo-cli: Папка истории «%1/gone» недоступна: ").arg(data.path());
        QCOMPARE(run.err.count(away), history == QLatin1String("gone") ? 1 : 0);
    }

    // Four workstations' tools writing into one history folder at once:
    // every restore point and its note is there, whole, under a name of its
    // own, with the maps of the variator it came from, and nothing else is
    // left there. TARVO_TEST_SHARE=DIR runs it in a folder under DIR, such
    // as a mounted share.
    void fourWritersIntoOneFolder()
    {
        constexpr int Writers = 4;
        const int Runs = qEnvironmentVariableIntValue("TARVO_TEST_RUNS") > 0 ? qEnvironmentVariableIntValue("TARVO_TEST_RUNS") : 500;
        const QString share = qEnvironmentVariable("TARVO_TEST_SHARE", QDir::tempPath());
        QTemporaryDir shop(share + QStringLiteral("/shop-XXXXXX"));
        QVERIFY(shop.isValid());
        const QString folder = shop.filePath(QStringLiteral("history"));
        QVERIFY(QDir().mkpath(folder));
        std::vector<std::unique_ptr<QProcess>> loops;
        for (int w = 1; w <= Writers; ++w) {
            VariatorSim* sim = f.AddSim(20 + w);
            StoreMaps(*sim, [w](int i) { return 1000 * w + i; }, [w](int i) { return -1000 * w - i; });
            loops.push_back(std::make_unique<QProcess>());
            QProcess& loop = *loops.back();
            loop.setStandardErrorFile(f.Path(QStringLiteral("err%1.txt").arg(w)));
            loop.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("i=0; while [ $i -lt %1 ]; do \"$0\" read --port %2 --history \"$1\" --note \"COM%2 #$i\" "
                                       "\"$2\" > /dev/null || exit 1; i=$((i+1)); done")
                            .arg(Runs)
                            .arg(20 + w),
                        QStringLiteral(TARVO_CLI_PATH), folder, f.Path(QStringLiteral("read%1.xml").arg(w))});
        }
        for (int w = 1; w <= Writers; ++w) {
            QVERIFY(loops[w - 1]->waitForFinished(300000));
            QVERIFY2(loops[w - 1]->exitCode() == 0,
                     ReadAll(f.Path(QStringLiteral("err%1.txt").arg(w))).right(400).constData());
        }

        const QList<RestorePointEntry> list = ListRestorePoints(folder);
        QCOMPARE(list.size(), Writers * Runs);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                 2 * Writers * Runs);
        QSet<QString> notes;
        for (const RestorePointEntry& e : list) {
            const QString note = ReadRestorePointNote(e.file);
            QVERIFY2(note.startsWith(QStringLiteral("COM%1 #").arg(e.port)), qPrintable(e.file));
            notes.insert(note);
            MapTable lpg = {};
            MapTable petrol = {};
            LoadRestorePoint(e.file, lpg, petrol);
            const int w = e.port - 20;
            QCOMPARE(lpg.Uoz[79], (1000 * w + 79) / 1000.0);
            QCOMPARE(petrol.Uoz[1], (-1000 * w - 1) / 1000.0);
        }
        QCOMPARE(notes.size(), Writers * Runs);
    }

    void refusedWriteSendsNoFrame()
    {
        QFETCH(QString, timeout);
        QFETCH(QStringList, extra);
        QFETCH(double, lpg1200);
        QFETCH(QString, says);
        VariatorSim* sim = f.AddSim(7);
        QTemporaryDir dir;
        MapTable lpg = SampleTable([](int) { return 1.0; });
        lpg.Uoz[12] = lpg1200;
        const QString file = dir.filePath(QStringLiteral("bad.xml"));
        SaveMapFile(file, lpg, lpg, timeout);
        const QString link = f.Path(QStringLiteral("link.xml"));
        QFile::remove(link);
        QVERIFY(QFile::link(file, link));
        extra.replaceInStrings(QStringLiteral("FILE"), file)
            .replaceInStrings(QStringLiteral("LINK"), link)
            .replaceInStrings(QStringLiteral("DIR"), dir.path())
            .replaceInStrings(QStringLiteral("NAME"), QFileInfo(dir.path()).fileName());

        const CliRun run = f.Run(QStringList{QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file} + extra);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith(QStringLiteral("tarvo-cli: ") + says), qPrintable(run.err));
        QCOMPARE(sim->RequestCount(), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bad.xml")});
    }

    // The backup's place passes the check before the old maps are read, and
    // the backup still cannot be saved (here: a file size limit lets the
    // check's empty file through, not the backup): not one frame is written.
    void backupThatFailsOnDiskStopsTheWrite()
    {
        VariatorSim* sim = f.AddSim(7);
        StoreOldMaps(*sim);
        const QString file = NewFile(QStringLiteral("new.xml"));
        const QString backup = f.Path(QStringLiteral("full/backup.xml"));
        QVERIFY(QDir().mkpath(QFileInfo(backup).path()));
        CliRun run;
        {
            const FileSizeLimit limit(QFileInfo(file).size() / 2);
            run = f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file,
                         QStringLiteral("--backup"), backup});
        }
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(QStringLiteral("tarvo-cli: nothing was written")), qPrintable(run.err));
        QCOMPARE(Writes(*sim), 0);
        QVERIFY(!QFile::exists(backup));
        QCOMPARE(int(sim->Value(LPGFirstParameter + 5)), OldLPG(5));
    }

    void unreadableFilesExitTwo()
    {
        VariatorSim* sim = f.AddSim(7);
        const QString broken = f.Path(QStringLiteral("broken.xml"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<variatorTarvo><Settings");
        file.close();
        for (const QString& command : {QStringLiteral("write"), QStringLiteral("verify")}) {
            const CliRun run = f.Run({command, QStringLiteral("--port"), QStringLiteral("7"), broken});
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.startsWith(QStringLiteral("tarvo-cli: ") + MapFileOpenError(broken)), qPrintable(run.err));
        }
        const CliRun diff = f.Run({QStringLiteral("diff"), broken, f.Path(QStringLiteral("missing.xml"))});
        QCOMPARE(diff.status, 2);
        const CliRun read = f.Run({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"),
                                   f.Path(QStringLiteral("no/such/folder/x.xml"))});
        QCOMPARE(read.status, 2);
        QVERIFY(read.err.startsWith(QLatin1String("tarvo-cli: cannot write ")));
        QCOMPARE(sim->RequestCount(), 0);
    }

    // A write that went wrong exits 1 and says what: wrong echoes and error
    // reports, which do not stop it, are all named; a read-back that differs
    // from what was written, while every echo matched, lists the points.
    void writeThatWentWrong_data()
    {
        QTest::addColumn<QStringList>("faults");  // as the simulator's --fault takes them
        QTest::addColumn<QStringList>("says");     // on standard error
        QTest::addColumn<QString>("shows");        // on standard output
        const QString firstWrite = QStringLiteral(",from=%1").arg(1 + 162 + 1);
        const QString firstReadBack = QStringLiteral(",from=%1").arg(1 + 162 + 161 + 1);
        QTest::newRow("bad echoes")
            << QStringList{"wrong-echo,1,param=90" + firstWrite, "error,2,param=5" + firstWrite}
            << QStringList{"tarvo-cli: LPG map, 1000 rpm (parameter 90): " + LPGWriteMismatch + " (sent 15000, echo 15001)",
                           "tarvo-cli: petrol map, 500 rpm (parameter 5): " + ReportedParameterMessage + "; " + PetrolWriteMismatch,
                           "160 of 160 map points went out, the start timeout went out"}
            << QString();
        QTest::newRow("read-back differs")
            << QStringList{"wrong-echo,1,param=92" + firstReadBack}
            << QStringList{"tarvo-cli: the variator holds 1 points other than written; the old maps are in '"}
            << "written 160 points, start timeout 55\nLPG 1200 15.5 15.501\n";
    }
    void writeThatWentWrong()
    {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, says);
        QFETCH(QString, shows);
        VariatorSim* sim = f.AddSim(7);
        StoreOldMaps(*sim);
        QVERIFY(AddFaults(*sim, faults));
        const CliRun run = f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"),
                                  NewFile(QStringLiteral("echo.xml"))});
        QCOMPARE(run.status, 1);
        for (const QString& text : says)
            QVERIFY2(run.err.contains(text), qPrintable(run.err));
        QVERIFY2(run.out.contains(shows), qPrintable(run.out));
        QVERIFY(!run.out.contains(QLatin1String("verified")));
        QCOMPARE(Writes(*sim), 161);
        QCOMPARE(int(sim->Value(LPGFirstParameter + 79)), 12500 + 250 * 79);
    }

    void verifyAndDiffReportEachDifferingPoint()
    {
        VariatorSim* sim = f.AddSim(7);
        const QString file = NewFile(QStringLiteral("v.xml"));
        QCOMPARE(f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file,
                        QStringLiteral("--no-verify")}).status, 0);
        const CliRun equal = f.Run({QStringLiteral("verify"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(equal.status, 0);
        QCOMPARE(equal.lines(), QStringList{QStringLiteral("equal 160 points")});

        sim->SetValue(LPGFirstParameter + 12, 4350);
        sim->SetValue(PetrolFirstParameter + 79, 1);
        const CliRun differ = f.Run({QStringLiteral("verify"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(differ.status, 3);
        QCOMPARE(differ.lines(), (QStringList{QStringLiteral("LPG 1200 15.5 4.35"), QStringLiteral("Petrol 7900 -9.875 0.001"),
                                              QStringLiteral("different 2 of 160 points")}));
        // A read that fails is the link's failure, whatever it found so far.
        QVERIFY(AddFaults(*sim, {"error,2,param=3"}));
        const CliRun unread = f.Run({QStringLiteral("verify"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(unread.status, 1);
        QVERIFY2(unread.err.contains(QStringLiteral("petrol map, 300 rpm (parameter 3)")), qPrintable(unread.err));
        sim->ClearFaults();
        const CliRun json = f.Run({QStringLiteral("verify"), QStringLiteral("--port"), QStringLiteral("7"), file,
                                   QStringLiteral("--json")});
        QCOMPARE(json.status, 3);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("equal")).toBool(), false);
        const QJsonObject first = o.value(QLatin1String("differences")).toArray().at(0).toObject();
        QCOMPARE(first.value(QLatin1String("map")).toString(), QStringLiteral("LPG"));
        QCOMPARE(first.value(QLatin1String("rpm")).toInt(), 1200);
        QCOMPARE(first.value(QLatin1String("file")).toDouble(), 15.5);
        QCOMPARE(first.value(QLatin1String("device")).toDouble(), 4.35);

        // diff: the same comparison between files; 12.3456 and 12.345 go on
        // the wire as the same code and count as equal.
        const QString a = NewFile(QStringLiteral("a.xml"), QStringLiteral("1"), 12.3456);
        const QString b = NewFile(QStringLiteral("b.xml"), QStringLiteral("2"), 12.345);
        const CliRun same = f.Run({QStringLiteral("diff"), a, b});
        QCOMPARE(same.status, 0);
        QCOMPARE(same.lines(), QStringList{QStringLiteral("equal 160 points")});
        const CliRun other = f.Run({QStringLiteral("diff"), a, file, QStringLiteral("--json")});
        QCOMPARE(other.status, 3);
        const QJsonObject d = QJsonDocument::fromJson(other.out.toUtf8()).object();
        QCOMPARE(d.value(QLatin1String("differences")).toArray().size(), 1);
        QCOMPARE(d.value(QLatin1String("differences")).toArray().at(0).toObject().value(QLatin1String("a")).toDouble(), 12.3456);
    }

    // Ctrl+C in the middle of a write: the exchange in flight completes, the
    // tool says how many points went out (exactly the writes the variator
    // got), the backup is on disk, exit 1.
    void ctrlCStopsAfterTheExchangeInFlight()
    {
        VariatorSim* sim = f.AddSim(7, false);  // paced like a 9600-baud line
        StoreOldMaps(*sim);
        const QString file = NewFile(QStringLiteral("stop.xml"));
        const CliRun run = f.Run({QStringLiteral("write"), QStringLiteral("--port"), QStringLiteral("7"), file},
                                 [&](QProcess& process) {
                                     QTRY_VERIFY_WITH_TIMEOUT(sim->RequestCount() >= 1 + 162 + 30, 20000);
                                     ::kill(pid_t(process.processId()), SIGINT);
                                 });
        QCOMPARE(run.status, 1);
        const int written = Writes(*sim);
        QVERIFY(written >= 30 && written < 160);
        QVERIFY2(run.err.contains(QStringLiteral("tarvo-cli: stopped by Ctrl+C")), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("%1 of 160 map points went out, the start timeout did not").arg(written)),
                 qPrintable(run.err));
        for (int i = 0; i < MapPoints; ++i)
            QCOMPARE(int(sim->Value(LPGFirstParameter + i)), i < written ? 12500 + 250 * i : OldLPG(i));
        QCOMPARE(int(sim->Value(StartTimeoutParameter)), 45);
        QVERIFY(run.out.startsWith(QLatin1String("backup ")));
        QVERIFY(QFile::exists(run.lines().at(0).mid(7)));
    }

    // On a terminal the progress is a bar redrawn in place with the count.
    void progressBarOnATerminal()
    {
        f.AddSim(7);
        int master = -1;
        int slave = -1;
        QVERIFY(::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
        QProcess process;
        process.setProgram(QStringLiteral(TARVO_CLI_PATH));
        process.setArguments({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"),
                              f.Path(QStringLiteral("tty.xml"))});
        process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        process.start();
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        QByteArray shown;
        char buffer[4096];
        while (!process.waitForFinished(20)) {
            for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
                shown.append(buffer, int(n));
        }
        ::close(slave);
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, int(n));
        ::close(master);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(shown.contains("\rread [###############...............] 81/162"), shown.right(200).constData());
        QVERIFY(shown.contains("\rread [##############################] 162/162"));
        QVERIFY(!shown.contains("read: 20/162"));
    }

    // history lists the restore points newest first, filtered by a text as
    // the window's search filters them; a damaged note lists its point
    // without a car, a note without its point lists nothing.
    void historyListsRestorePoints_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");  // kind, port and car of each, newest first
        QTest::newRow("all") << "" << QStringList{"compare COM12 ", "write COM7 ", "read COM7 Golf А123ВС"};
        QTest::newRow("car, other case") << "GOLF" << QStringList{"read COM7 Golf А123ВС"};
        QTest::newRow("port") << "com12" << QStringList{"compare COM12 "};
        QTest::newRow("kind, window's word") << "сравнение" << QStringList{"compare COM12 "};
        QTest::newRow("date") << "09.12.2026 18:54:31" << QStringList{"write COM7 "};
        QTest::newRow("no match") << "Passat" << QStringList{};
    }
    void historyListsRestorePoints()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QTemporaryDir data;
        const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().toLocal8Bit());
        // The note is written into the note file; empty: none.
        const struct { int second; TransferKind kind; int port; const char* visit; QByteArray note; } made[] = {
            {30, TransferKind::Read, 7, "", "Golf А123ВС\n"}, {31, TransferKind::Write, 7, "v1", "Golf \xc0\xaf\n"},
            {32, TransferKind::Compare, 12, "", ""}};
        QString damagedFile;
        for (const auto& p : made) {
            RestorePointInfo info;
            info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, p.second));
            info.kind = p.kind;
            info.port = p.port;
            info.visit = QString::fromLatin1(p.visit);
            const QString point = SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr);
            QVERIFY(!point.isEmpty());
            QVERIFY(p.note.isEmpty() || WriteBytes(RestorePointNoteFile(point), p.note));
            if (p.visit[0])
                damagedFile = point;
        }
        QVERIFY(WriteBytes(HistoryFolder() + QStringLiteral("/20261209-185433-read-COM7.note"), "Passat\n"));
        QStringList arguments{QStringLiteral("history")};
        if (!text.isEmpty())
            arguments << text;
        const CliRun run = f.Run(arguments);
        const CliRun json = f.Run(arguments + QStringList{QStringLiteral("--json")});

        QCOMPARE(run.status, 0);
        QStringList shown;
        for (const QString& line : run.lines()) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            QCOMPARE(fields.size(), 5);
            QVERIFY(QFileInfo::exists(fields[4]));
            shown << fields.mid(1, 3).join(QLatin1Char(' '));
        }
        QCOMPARE(shown, lines);
        QCOMPARE(json.status, 0);
        const QJsonArray points = QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("restore_points")).toArray();
        QCOMPARE(points.size(), lines.size());
        for (const QJsonValue& v : points) {
            const QJsonObject p = v.toObject();
            const bool damaged = p.value(QStringLiteral("file")).toString() == damagedFile;
            QCOMPARE(p.value(QStringLiteral("note_damaged")).toBool(), damaged);
            QCOMPARE(p.value(QStringLiteral("visit")).toString(), damaged ? QStringLiteral("v1") : QString());
            QCOMPARE(p.value(QStringLiteral("date")).toString().left(17), QStringLiteral("2026-12-09T18:54:"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
