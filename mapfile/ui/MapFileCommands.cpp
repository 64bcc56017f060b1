#include "mapfile/ui/MapFileCommands.h"

#include "mapfile/core/MapFile.h"
#include "mapfile/ui/HistoryDialog.h"

#include "app/core/History.h"
#include "editors/ui/ReferenceView.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QLineEdit>
#include <algorithm>
#include <iterator>

// "Файл" / "Открыть"
void TForm2::N2Click()
{
    // The views reload also when no file was chosen.
    if (!OpenMaps(this, MapChoice::Both))
        RefreshAllViews(this);
}

// "Файл" / "Сохранить"
void TForm2::N3Click()
{
    QFileDialog* dialog = SaveDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (ExecuteFileDialog(dialog, fileName)) {
        SaveMapFile(fileName, LPGTable, PetrolTable, EEditVariatorStartTimeout->text());
        // The maps as saved become their references and are kept; a failed
        // save ends the command before this.
        SetMapReference(LPGReference, LPGTable);
        SetMapReference(PetrolReference, PetrolTable);
        KeepMaps(LPGTable, PetrolTable);
    }
    RefreshAllViews(this);
}

void TakeMaps(TForm2* window, const MapTable& lpg, const MapTable& petrol, MapChoice choice)
{
    const MapStep step(window, QStringLiteral("Открыть"));
    if (choice != MapChoice::Petrol) {
        std::copy(std::begin(lpg.Uoz), std::end(lpg.Uoz), std::begin(LPGTable.Uoz));
        SetMapReference(LPGReference, LPGTable);
        KeepMap(QStringLiteral("LPG"), LPGTable);
    }
    if (choice != MapChoice::LPG) {
        std::copy(std::begin(petrol.Uoz), std::end(petrol.Uoz), std::begin(PetrolTable.Uoz));
        SetMapReference(PetrolReference, PetrolTable);
        KeepMap(QStringLiteral("Petrol"), PetrolTable);
    }
    RefreshAllViews(window);
}

bool AskMapFile(TForm2* window, MapTable& lpg, MapTable& petrol)
{
    QFileDialog* dialog = OpenDialog(window);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (!ExecuteFileDialog(dialog, fileName))
        return false;
    // Read whole into copies first: a refused file changes neither map.
    lpg = LPGTable;
    petrol = PetrolTable;
    LoadMapFile(fileName, lpg, petrol);
    return true;
}

bool OpenMaps(TForm2* window, MapChoice choice)
{
    MapTable lpg;
    MapTable petrol;
    if (!AskMapFile(window, lpg, petrol))
        return false;
    TakeMaps(window, lpg, petrol, choice);
    return true;
}

// "Файл" / "Открыть только карту газа…"
void TForm2::N22Click()
{
    OpenMaps(this, MapChoice::LPG);
}

// "Файл" / "Открыть только карту бензина…"
void TForm2::N23Click()
{
    OpenMaps(this, MapChoice::Petrol);
}

// "Файл" / "История…", opened again on the folder "Папка истории…" chose.
void TForm2::N20Click()
{
    for (;;) {
        THistoryDialog dialog(this, HistoryFolder());
        dialog.setWindowModality(Qt::ApplicationModal);
        if (dialog.exec() != THistoryDialog::FolderChosen)
            return;
    }
}

// "Файл" / "Открыть как исходную карту…": a map file becomes the reference
// of both maps, all or nothing; the maps stay as they are and no undo step
// is added.
void TForm2::N21Click()
{
    MapTable lpg;
    MapTable petrol;
    if (!AskMapFile(this, lpg, petrol))
        return;
    SetMapReference(LPGReference, lpg);
    SetMapReference(PetrolReference, petrol);
    ShowReferences(this);
}

void SetupMapFileMenu(TForm2* window)
{
    // After "Сохранить" and the separator that ends the file commands.
    const struct {
        QAction** action;
        const char* name;
        const char* caption;
        void (TForm2::*handler)();
    } items[] = {
        {&window->N20, "N20", "История…", &TForm2::N20Click},
        {&window->N21, "N21", "Открыть как исходную карту…", &TForm2::N21Click},
        {&window->N22, "N22", "Открыть только карту газа…", &TForm2::N22Click},
        {&window->N23, "N23", "Открыть только карту бензина…", &TForm2::N23Click},
        {&window->N24, "N24", "Отчёт в PDF…", &TForm2::N24Click},
    };
    for (const auto& item : items) {
        *item.action = window->N1->addAction(QString::fromUtf8(item.caption));
        (*item.action)->setObjectName(QString::fromLatin1(item.name));
        const auto handler = item.handler;
        QObject::connect(*item.action, &QAction::triggered, window,
                         [window, handler] { RunHandler([window, handler] { (window->*handler)(); }); });
    }
}
