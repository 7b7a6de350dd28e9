#include "output/writesignals.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QApplication>
#include <QTranslator>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    tavrinel::reportWriteLimitsAsErrors(); // a save past a size limit fails, not the window
    tavrinel::removeTemporaryFileOnSignals();
    QApplication app(argc, argv);
    // The name, not a display name: Qt would append a display name to the window's caption.
    QApplication::setApplicationName(u"Tavrinel"_s);
    QApplication::setApplicationVersion(QStringLiteral(TAVRINEL_VERSION_TEXT));
    // Lets the desktop match the window to the installed tavrinel.desktop (its icon and name).
    QGuiApplication::setDesktopFileName(u"tavrinel"_s);

    QTranslator qtTranslator;
    tavrinel::useChineseLanguage(app, qtTranslator); // without it only standard buttons differ

    tavrinel::QtPrompt prompt;
    tavrinel::MainWindow window(prompt);
    window.show();
    // Without a window manager nothing else gives a new window the keyboard, and the article box
    // is where the user starts typing.
    window.activateWindow();
    return QApplication::exec();
}
