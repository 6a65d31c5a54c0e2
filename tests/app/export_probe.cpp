// Preloaded into the program: looks its exported names up in the running
// program (dlopen(nullptr) + dlsym), writes one "name=0|1" line each to the
// file in SPOOLSMITH_EXPORT_PROBE and ends the process before main runs.
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void probeExports()
{
    const char *out = getenv("SPOOLSMITH_EXPORT_PROBE");
    if (!out)
        return;
    FILE *file = fopen(out, "w");
    if (!file)
        _exit(3);
    void *program = dlopen(nullptr, RTLD_NOW);
    const char *names[] = {
        "_ZN11mqttMessage16staticMetaObjectE", "_ZTV11mqttMessage", "_ZN11mqttMessageC1EP7QObject",
        "_ZN11mqttSettingC1Ev", "_ZN11mqttSettingD1Ev",
        "_ZN19CarouselImageWindow16staticMetaObjectE", "_ZTV19CarouselImageWindow",
        "_Z33qml_register_types_Spoolsmith2024v",
        // Not exported: the program's own parts stay inside it.
        "_ZN13SpoolsmithApp8instanceEv"};
    for (const char *name : names)
        fprintf(file, "%s=%d\n", name, program && dlsym(program, name) ? 1 : 0);
    fclose(file);
    _exit(0);
}
