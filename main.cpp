#include "app/program_entry.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

int main(int argc, char *argv[])
{
    return runProgram(argc, argv);
}
