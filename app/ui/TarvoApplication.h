#pragma once

#include <QApplication>

// The application object: Qt's own texts in the user's language. Qt cannot carry an exception through its event loop,
// so every event is delivered inside a guard that shows an escaping exception
// in the error box; the program then goes on.
class QLocale;
class QTranslator;

// Loads Qt's own texts (file dialogs, standard buttons) in the language of
// `locale` from Qt's translations folder and installs them. Returns the
// installed translator, owned by the application object, or nullptr when Qt
// has no translation for that language.
QTranslator* InstallQtTranslations(const QLocale& locale);

class TarvoApplication : public QApplication {
public:
    TarvoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
