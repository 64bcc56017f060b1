// The map file reader under libFuzzer. After every input: the file is loaded
// with 80 finite values a map, or refused with both tables bit for bit as they
// were; and every reader of a map file (Open, the recovery restore, the start
// timeout) gives the same answer: the same values, the same start-timeout
// text, or the same refusal. Anything else aborts, which libFuzzer reports.

#include "app/core/MapStore.h"
#include "app/core/Recovery.h"
#include "mapfile/core/MapFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

// Quiet NaNs with a payload of their own: no file value comes out as them.
MapTable Sentinel(std::uint64_t payload)
{
    MapTable table;
    for (int i = 0; i < MapPoints; ++i) {
        table.Rpm[i] = 100.0 * i;
        const std::uint64_t bits = 0x7FF8000000000000u | (payload << 8) | static_cast<std::uint64_t>(i);
        std::memcpy(&table.Uoz[i], &bits, sizeof bits);
    }
    return table;
}

bool Same(const MapTable& a, const MapTable& b) { return std::memcmp(&a, &b, sizeof(MapTable)) == 0; }

[[noreturn]] void Finding(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "map file fuzzer: %s %s\n", what, qUtf8Printable(detail));
    std::abort();
}

// One reader's answer.
struct Answer {
    bool loaded = true;
    QString error;
    MapTable lpg = Sentinel(1);
    MapTable petrol = Sentinel(2);
    QString timeout = QStringLiteral("(untouched)");
};

template <typename Read>
Answer Ask(Read read)
{
    Answer a;
    try {
        read(a);
    } catch (const std::runtime_error& e) {
        a.loaded = false;
        a.error = QString::fromUtf8(e.what());
    }
    return a;
}

void CheckTables(const Answer& a)
{
    if (!a.loaded) {
        if (!Same(a.lpg, Sentinel(1)) || !Same(a.petrol, Sentinel(2)))
            Finding("a refused file changed a table:", a.error);
        if (a.timeout != QStringLiteral("(untouched)"))
            Finding("a refused file gave a start timeout:", a.error);
        return;
    }
    for (const MapTable* t : {&a.lpg, &a.petrol})
        for (int i = 0; i < MapPoints; ++i) {
            if (!std::isfinite(t->Uoz[i]))
                Finding("a loaded map holds a value that is not finite, at point", QString::number(i));
            if (t->Rpm[i] != 100.0 * i)
                Finding("a load changed the speed axis at point", QString::number(i));
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            Finding("cannot write the input file", path);
    }

    const Answer open = Ask([](Answer& a) { LoadMapFile(path, a.lpg, a.petrol, &a.timeout); });
    CheckTables(open);
    const Answer recovery = Ask([](Answer& a) { ReadRecoveryFile(path, a.lpg, a.petrol, a.timeout); });
    CheckTables(recovery);
    const Answer timeout = Ask([](Answer& a) { a.timeout = MapFileStartTimeout(path); });

    for (const Answer* other : {&recovery, &timeout})
        if (other->loaded != open.loaded || other->error != open.error || other->timeout != open.timeout)
            Finding("the readers disagree:", open.error + QStringLiteral(" / ") + other->error);
    if (!Same(recovery.lpg, open.lpg) || !Same(recovery.petrol, open.petrol))
        Finding("Open and the recovery restore read different maps");
    return 0;
}
