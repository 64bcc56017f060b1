#pragma once

#include "app/core/History.h"
#include "mapfile/ui/MapFileCommands.h"

#include <QDialog>
#include <QElapsedTimer>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QTreeView;
class TForm2;
class THistoryModel;
struct THistorySeen;

// "Файл" / "История…": the restore points of the history folder, newest
// first, each with its date and time, "чтение", "запись" or "сравнение", port,
// firmware version, how many points differ from the maps being edited and the
// car it was made for; the points of one visit gathered under the visit's row
// (its car, its date, what it came in with and left with, how many points it
// changed), which unfolds to them. The list comes from the file names alone
// and is there at once; a thread of its own then reads the notes and the
// maps, newest first, and each row shows its car and its count as soon as
// they are known. A file that does not open as a map file is then listed as
// damaged and cannot be chosen. The search box keeps the rows whose car,
// date, port or kind holds the text typed; the car of any row, a visit's
// too, can be written afterwards.
// The folder is shown above the list and "Папка истории…" chooses another;
// restore points that other workstations add to it show while it is open.
class THistoryDialog : public QDialog {
public:
    THistoryDialog(TForm2* form, const QString& folder);
    ~THistoryDialog() override;

    // What exec() returns once "Папка истории…" has chosen a folder: the
    // history is then opened again on it.
    static constexpr int FolderChosen = 2;

    QLabel* FolderLabel;           // the folder listed
    QPushButton* FolderButton;     // "Папка истории…"
    QLineEdit* SearchEdit;
    QTreeView* List;
    QPushButton* OpenButton;        // "Открыть": both maps
    QPushButton* OpenLPGButton;     // "Только газ"
    QPushButton* OpenPetrolButton;  // "Только бензин"
    QPushButton* CompareButton;     // "Сравнить"
    QPushButton* NoteButton;        // "Изменить автомобиль"
    QPushButton* CloseButton;       // "Закрыть"

    // The restore point chosen in the list; null when none is, or it is damaged.
    const RestorePointEntry* Chosen() const;
    // Whether the notes and maps of every restore point have been read.
    bool Filled() const;

    // Loads the chosen point's maps, both or one, as "Открыть" loads a file:
    // one undo step, the reference of each map taken, kept. Closes the dialog.
    void OpenClick(MapChoice choice);
    // Makes the chosen point the reference of both maps, which stay as they
    // are. Closes the dialog.
    void CompareClick();
    // Opens the chosen row's car for editing; Enter writes its note file.
    void NoteClick();
    // "Папка истории…": a folder chosen in the folder dialog is kept as the
    // history folder, and the dialog ends with FolderChosen.
    void FolderClick();
    // The folder listed: the one given, or the default one when that cannot
    // be read.
    QString Folder() const;

private:
    void ChoiceChanged();
    void StartReading();
    void Look();
    void Added(const QList<RestorePointEntry>& added, const QStringList& noted);

    TForm2* form;
    QString folder;
    THistoryModel* model;
    QThread* reader = nullptr;
    bool filled = false;
    // Looking at the folder again, and reading what that found.
    std::shared_ptr<THistorySeen> seen;
    QThread* looking = nullptr;
    QElapsedTimer sinceLook;
    QList<QThread*> addedReaders;
    int addedReading = 0;
};
