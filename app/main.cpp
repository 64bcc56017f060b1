#include "Gui2.h"
#include "Seams.h"
#include "TarvoApplication.h"

#include <exception>

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    try {
        Form2 = new TForm2;
        Form2->show();
        app.exec();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnknownException();
    }
    delete Form2;
    Form2 = nullptr;
    return 0;
}
