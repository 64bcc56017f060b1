#pragma once

#include <QByteArray>
#include <QString>

struct MapTable;

// The XML map file: both ignition-advance maps and a copy of the start-timeout
// text. Numbers are always written with "." whatever the regional settings.
//
// <?xml version="1.0" encoding="UTF-8"?>
// <variatorTarvo><Settings Inversion="0" Timeout="...">variator settings</Settings>
// <LPGmap>LPG map)))<LPGPoint UOZ0="12.5">12500</LPGPoint>...</LPGmap>
// <Petrolmap><PetrolPoint UOZ0="10">10000</PetrolPoint>...</Petrolmap></variatorTarvo>
// (written on one line, without whitespace between the elements)

// The filter of the open and save dialogs.
extern const QString MapFileFilter;

// The beginnings of the errors that SaveMapFile and LoadMapFile throw, up to
// the reason: "Не удалось сохранить файл карт «name»: ".
QString MapFileSaveError(const QString& fileName);
QString MapFileOpenError(const QString& fileName);

// Largest map file that is opened; a saved file is about 6 KiB.
constexpr qint64 MaxMapFileSize = 4 * 1024 * 1024;

// Writes both maps and the start-timeout text to fileName. The file is
// replaced only when the whole document has been written; on any failure the
// previous file stays as it was and std::runtime_error names the file and the
// reason. A name that stands for a folder, a device, a pipe or a socket is
// refused and left as it is; a symbolic link to a file saves into its target.
void SaveMapFile(const QString& fileName, const MapTable& lpg, const MapTable& petrol,
                 const QString& startTimeout);

// Writes bytes to fileName whole or not at all, as SaveMapFile writes a map
// file: the same refusals, the same errors.
void SaveWholeFile(const QString& fileName, const QByteArray& bytes);
// The same write for any kind of file: false, with the reason alone (no
// words about a map file), when it was not saved.
bool WriteWholeFile(const QString& fileName, const QByteArray& bytes, QString* reason);
// Called, when set, once the bytes are written and before the rename that
// puts them in place; a test uses it to make that rename fail.
extern void (*BeforeWholeFileCommit)(const QString& fileName);

// Reads both maps from fileName into the Uoz values of the tables and, when
// startTimeout is given, the Timeout attribute of the file's <Settings>
// element into it, as written (empty when the file has none). The file is
// read once and checked whole, its shape as it streams in: on any fault
// std::runtime_error names the file and the fault, and neither the tables nor
// startTimeout are touched. Map files are UTF-8 (with or without a byte order
// mark); a file in another encoding, or declaring one, is refused naming it.
void LoadMapFile(const QString& fileName, MapTable& lpg, MapTable& petrol, QString* startTimeout = nullptr);

// The start-timeout text of the file, read and checked as LoadMapFile does
// it: a file that LoadMapFile refuses throws the same error here. Open never
// reads it back; the recovery restore and the command-line tool do.
QString MapFileStartTimeout(const QString& fileName);
