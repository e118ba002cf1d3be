#pragma once

namespace vkv::cli {

class CommandLine;

// The commands that work without a display: list the MIDI ports, send a .syx file to the box,
// receive the box's dump into one, export one as INI text, compare two, find the speed the box
// takes, write and apply the record sheet, list the records that send the same, print a sheet of
// the configuration, write it as a MIDI file. They run under a QCoreApplication (no window, no
// connection to a display server; the printed sheet under a QGuiApplication that draws off screen)
// and say what they do on the standard streams.
class Commands {
public:
    // Runs the command `line` asks for; a QCoreApplication must exist. Returns the exit code: 0
    // when it did what was asked, 1 when it did not (the standard error stream says why), 128 +
    // the signal's number when SIGINT, SIGTERM or SIGHUP ended it. --diff answers as diff(1)
    // does: 0 when the configurations are the same, 1 when they differ, 2 when it failed; the
    // record sheet's commands as RecordsCommands says.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
