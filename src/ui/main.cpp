// The desktop program: start-up and the event loop; everything else lives in the GUI library.
#include "StartUp.h"

#include "app/ProgramPaths.h"
#include "base/Platform.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kuvrion"));
    QApplication::setOrganizationName(QStringLiteral("Kuvrion"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto translations = kuvrion::LoadQtTranslations(app);

    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    const auto programDir = kuvrion::RunningProgramFile(argv[0]).parent_path();
    auto program = kuvrion::StartUp(arguments, programDir, kuvrion::DefaultLockPath());
    if (!program)
        return 0;
    return QApplication::exec();
}
