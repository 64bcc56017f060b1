#include "app/ui/TarvoApplication.h"

#include "app/widgets/Seams.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

QTranslator* InstallQtTranslations(const QLocale& locale)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return translator;
    delete translator;
    return nullptr;
}

TarvoApplication::TarvoApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    // No display name: Qt would append it to every window caption, and the
    // message boxes must read "Message" alone.
    setApplicationName(QStringLiteral("tarvo-gui"));
    InstallQtTranslations(QLocale::system());
}

bool TarvoApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        // The receiver may still be inside its own event code: the box opens
        // once the event loop has control again.
        ShowErrorBoxLater(ErrorBoxText(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowErrorBoxLater(QString());
    }
    return false;
}
