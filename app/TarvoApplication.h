#pragma once

#include <QApplication>

// The application object. Qt cannot carry an exception through its event loop,
// so every event is delivered inside a guard that shows an escaping exception
// in the error box; the program then goes on.
class TarvoApplication : public QApplication {
public:
    TarvoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
