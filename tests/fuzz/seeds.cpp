// Writes the fuzzer's seed corpus with the program's own writer: one file for
// each kind of map and start-timeout text it writes. Usage: fuzz-mapfile-seeds DIR

#include "app/core/MapStore.h"
#include "mapfile/core/MapFile.h"

#include <QDir>
#include <cstdio>
#include <stdexcept>

namespace {

template <typename F>
MapTable Table(F uoz)
{
    MapTable table;
    for (int i = 0; i < MapPoints; ++i) {
        table.Rpm[i] = 100.0 * i;
        table.Uoz[i] = uoz(i);
    }
    return table;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-mapfile-seeds DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const MapTable zero = Table([](int) { return 0.0; });
    const MapTable whole = Table([](int i) { return ((i * 6133) % 64001 - 32000) / 1000.0; });
    // Fine chart steps, exponent notation, a value beyond the editors' bounds.
    const MapTable fine = Table([](int i) { return i == 0 ? 40.0 : i == 1 ? 0.0000015 : 12.3456 - i * 0.3333; });
    try {
        SaveMapFile(dir.filePath(QStringLiteral("zero.xml")), zero, zero, QStringLiteral("0"));
        SaveMapFile(dir.filePath(QStringLiteral("whole.xml")), whole, zero, QStringLiteral("55"));
        SaveMapFile(dir.filePath(QStringLiteral("fine.xml")), fine, whole, QString());
        SaveMapFile(dir.filePath(QStringLiteral("text.xml")), zero, fine, QStringLiteral("a\"<>&'b\tпять"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz-mapfile-seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
