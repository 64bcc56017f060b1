#pragma once

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

// Largest map file that is opened; a saved file is about 6 KiB.
constexpr qint64 MaxMapFileSize = 4 * 1024 * 1024;

// Writes both maps and the start-timeout text to fileName. The file is
// replaced only when the whole document has been written; on any failure the
// previous file stays as it was and std::runtime_error names the file and the
// reason. A name that stands for a folder, a device, a pipe or a socket is
// refused and left as it is; a symbolic link to a file saves into its target.
void SaveMapFile(const QString& fileName, const MapTable& lpg, const MapTable& petrol,
                 const QString& startTimeout);

// Reads both maps from fileName into the Uoz values of the tables. The whole
// file is checked first, its shape as it streams in: on any fault
// std::runtime_error names the file and the fault, and neither table is
// touched.
void LoadMapFile(const QString& fileName, MapTable& lpg, MapTable& petrol);

// The Timeout attribute of the file's <Settings> element, as written (empty
// when the file has none). Open never reads it back; the recovery restore and
// the command-line tool do. Throws std::runtime_error like LoadMapFile
// when the file cannot be read or parsed.
QString MapFileStartTimeout(const QString& fileName);
