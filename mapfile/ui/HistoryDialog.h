#pragma once

#include "app/core/History.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTreeWidget;
class TForm2;

// "Файл" / "История…": the restore points of the history folder, newest
// first, each with its date and time, "чтение" or "запись", port, firmware
// version and how many points differ from the maps being edited. The folder
// is read once, when the dialog is made; a damaged file is listed as damaged
// and cannot be chosen.
class THistoryDialog : public QDialog {
public:
    THistoryDialog(TForm2* window, const QString& folder);

    QTreeWidget* List;
    QPushButton* OpenButton;     // "Открыть"
    QPushButton* CompareButton;  // "Сравнить"
    QPushButton* CloseButton;    // "Закрыть"

    // The restore point chosen in the list; null when none is, or it is damaged.
    const RestorePointEntry* Chosen() const;

    // Loads the chosen point into both maps as "Открыть" loads a file: one
    // undo step, the maps' reference, kept. Closes the dialog.
    void OpenClick();
    // Makes the chosen point the reference of both maps, which stay as they
    // are. Closes the dialog.
    void CompareClick();

private:
    void Fill();
    void ChoiceChanged();

    TForm2* window;
    QList<RestorePointEntry> entries;
};

// Adds "История…" and "Открыть как исходную карту…" after the items of
// "Файл" and their separator. The window's constructor calls it once.
void SetupHistoryMenu(TForm2* window);
