#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "HackMode.h"
#include "IdleMode.h"
#include "LayerMode.h"
#include "RecordCommand.h"
#include "SettingsSetup.h"
#include "StandardOutput.h"
#include "TraceCommand.h"
#include "WindowMode.h"

#ifndef PELMORA_VERSION
#define PELMORA_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    using namespace pelmora;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const char* xscreensaverWindow = std::getenv("XSCREENSAVER_WINDOW");
    const CommandLine::Result parsed =
        CommandLine::parse(args, xscreensaverWindow != nullptr ? std::optional<std::string>(xscreensaverWindow)
                                                               : std::nullopt);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "pelmora: %s\nTry 'pelmora --help' for the modes and options.\n", parsed.error.c_str());
        return 2;
    }
    const ProgramOptions& options = parsed.options;
    switch (options.mode) {
        case ProgramMode::Help:
            std::fputs(options.helpFor == ProgramMode::Record  ? recordHelpText().c_str()
                       : options.helpFor == ProgramMode::Trace ? traceHelpText().c_str()
                                                                : CommandLine::helpText().c_str(),
                       stdout);
            return closeStandardOutput() ? 0 : 1;
        case ProgramMode::Version:
            std::printf("pelmora %s\n", PELMORA_VERSION);
            return closeStandardOutput() ? 0 : 1;
        case ProgramMode::Trace: {
            auto stores = makeSettingsStores(options);
            const int status = runTrace(options, *stores, stdout);
            return status == 0 && !closeStandardOutput() ? 1 : status;
        }
        case ProgramMode::Record: {
            auto stores = makeSettingsStores(options);
            return runRecord(options, *stores);
        }
        case ProgramMode::Hack:
            return runHackMode(options);
        case ProgramMode::Layer:
            return LayerMode::run(options);
        case ProgramMode::Idle:
            return IdleMode::run(options);
        case ProgramMode::Window:
            break;
    }
    return runWindowMode(options);
}
