// Shared by the fuzz targets.
#ifndef EXTENTBROWSE_FUZZ_FUZZSUPPORT_H
#define EXTENTBROWSE_FUZZ_FUZZSUPPORT_H

// Installs a log writer that writes nothing, once: the targets feed the
// library inputs that it logs errors about on every run.
void SilenceLog();

// Reports a broken property and aborts, so the fuzzer keeps the input.
[[noreturn]] void Broken(const char* what);

#endif  // EXTENTBROWSE_FUZZ_FUZZSUPPORT_H
