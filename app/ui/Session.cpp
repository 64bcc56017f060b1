#include "app/ui/Session.h"

#include "app/ui/CloseQuestion.h"
#include "app/ui/Gui2.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapStore.h"
#include "app/core/Recovery.h"
#include "app/widgets/Seams.h"
#include "app/ui/Undo.h"

#include <QLineEdit>
#include <QPointer>
#include <QUndoStack>
#include <algorithm>
#include <exception>
#include <iterator>

const QString RecoveryQuestion =
    QStringLiteral("Предыдущий сеанс завершился некорректно. Восстановить несохранённые карты?");

namespace {

RecoverySlot ownSlot;

bool SameValues(const MapTable& a, const MapTable& b)
{
    for (int i = 0; i < MapPoints; ++i)
        if (a.Uoz[i] != b.Uoz[i])
            return false;
    return true;
}

void OfferOrphan(TForm2* window, RecoverySlot& orphan)
{
    MapTable lpg = LPGTable;
    MapTable petrol = PetrolTable;
    QString startTimeout;
    try {
        ReadRecoveryFile(orphan.file, lpg, petrol, startTimeout);
    } catch (const std::exception& e) {
        ReleaseRecoverySlot(orphan, true);
        ShowException(e);
        return;
    }
    // Maps as the program starts with them are nothing to restore.
    if (SameValues(lpg, LPGTable) && SameValues(petrol, PetrolTable)) {
        ReleaseRecoverySlot(orphan, true);
        return;
    }
    if (AskQuestion(RecoveryQuestion)) {
        const MapStep step(window, QStringLiteral("Восстановление"));
        std::copy(std::begin(lpg.Uoz), std::end(lpg.Uoz), std::begin(LPGTable.Uoz));
        std::copy(std::begin(petrol.Uoz), std::end(petrol.Uoz), std::begin(PetrolTable.Uoz));
        window->EEditVariatorStartTimeout->setText(startTimeout);
        RefreshAllViews(window);
    }
    ReleaseRecoverySlot(orphan, true);
}

}  // namespace

void StartSession(TForm2* window)
{
    const QString folder = RecoveryFolder();
    if (!ClaimRecoverySlot(folder, ownSlot))
        qWarning("tarvo-gui: no recovery file in '%s': unsaved maps will not survive a crash",
                 qUtf8Printable(folder));

    RecoverySlot orphan;
    if (TakeRecoveryOrphan(folder, orphan))
        RunHandler([&] { OfferOrphan(window, orphan); });
    ReleaseRecoverySlot(orphan, false);

    if (ownSlot.file.isEmpty())
        return;
    QPointer<QLineEdit> timeout = window->EEditVariatorStartTimeout;
    StartRecoveryWrites(&ownSlot, [timeout] { return timeout ? timeout->text() : QString(); });
    QObject::connect(window->UndoStack, &QUndoStack::indexChanged, window, [] { RecoveryTouched(); });
    QObject::connect(window->EEditVariatorStartTimeout, &QLineEdit::textChanged, window, [] { RecoveryTouched(); });
    // A restored run is written back at once, under this run's own slot.
    if (window->UndoStack->count() > 0)
        RecoveryTouched();
}

void EndSession()
{
    // Closed by the end of the session without the question: maps that are
    // not kept stay in the recovery file and are offered at the next start.
    const bool keep = ClosingForced() && !MapsKept(LPGTable, PetrolTable);
    if (keep)
        RecoveryWriteNow();
    StopRecoveryWrites();
    ReleaseRecoverySlot(ownSlot, !keep);
}
