#pragma once

#include <QString>
#include <memory>

class TMidiIn;
class TMidiOut;

namespace vkv::cli {

// The MIDI ports as the commands name them: the lists --list-ports prints, each port numbered as
// a PORT argument takes it, and a port of the program's own opened on the port such an argument
// names (PortChoice says how a name is matched).
class CommandPorts {
public:
    // Prints the MIDI IN and OUT ports on the standard output; returns the exit code, 0.
    static int list();
    // A port on the MIDI service (the ALSA sequencer, else JACK) open on the port `wanted`
    // names; null, said why on the standard error stream, when there is none such, the name
    // fits more than one, or it cannot be opened.
    static std::unique_ptr<TMidiOut> openOut(const QString &wanted);
    static std::unique_ptr<TMidiIn> openIn(const QString &wanted);
};

} // namespace vkv::cli
