#include "app/ui/CloseQuestion.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "app/ui/Session.h"
#include "app/ui/TarvoApplication.h"

#include <QTimer>
#include <exception>

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    WatchSessionEnd(&app);
    try {
        Form2 = new TForm2;
        Form2->show();
        // Once the window is up and the event loop runs: the question about
        // the last run's maps comes over the shown window.
        QTimer::singleShot(0, Form2, [] { StartSession(Form2); });
        app.exec();
        // A normal end: nothing to recover next time.
        EndSession();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnknownException();
    }
    delete Form2;
    Form2 = nullptr;
    return 0;
}
