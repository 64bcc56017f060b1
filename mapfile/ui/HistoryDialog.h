#pragma once

#include "app/core/History.h"
#include "mapfile/ui/MapFileCommands.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QThread;
class QTreeView;
class TForm2;
class THistoryModel;

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
class THistoryDialog : public QDialog {
public:
    THistoryDialog(TForm2* form, const QString& folder);
    ~THistoryDialog() override;

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

private:
    void ChoiceChanged();
    void StartReading();

    TForm2* form;
    THistoryModel* model;
    QThread* reader = nullptr;
    bool filled = false;
};
