#include "ServeCommand.h"

#include "BoxRecallPort.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "LibraryCommands.h"
#include "NamedPort.h"
#include "OwnPorts.h"
#include "PortWatch.h"
#include "Recaller.h"
#include "SetListFile.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TerminationSignals.h"

#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QTimer>
#include <memory>
#include <vector>

namespace vkv::cli {

namespace {

using Io = CommandIo;
using backendapi::Backend;

// The ports a recall uses, kept open by their names, and where program changes come from.
class ServePorts {
public:
    explicit ServePorts(const CommandLine &line)
        : out(nullptr, Backend::Auto), boxOut(out, QStringLiteral("MIDI OUT"), line.outPort) {
        if (!line.inPort.isEmpty()) {
            in = std::make_unique<TMidiIn>(nullptr, Backend::Auto);
            boxIn = std::make_unique<NamedPort>(*in, QStringLiteral("MIDI IN"), line.inPort);
        }
        const auto taken = [this](QObject *, uint8_t status, uint8_t data1, uint8_t) {
            if (programChange)
                programChange(status, data1);
        };
        if (!line.recallIn.isEmpty()) {
            source = std::make_unique<TMidiIn>(nullptr, Backend::Auto);
            source->OnShort = taken;
            recallFrom =
                std::make_unique<NamedPort>(*source, QStringLiteral("MIDI IN"), line.recallIn);
        } else {
            own = std::make_unique<ports::OwnPorts>();
            own->OnShort = taken;
            QObject::connect(own.get(), &ports::OwnPorts::changed, &context, [this] {
                if (own->offered())
                    Io::fail("program changes are taken from \"" +
                             QString::fromStdString(own->motorsName()) + "\".");
            });
        }
    }

    // Opens what is there and watches the system's ports for the rest.
    void start() {
        look();
        watch = backendapi::PortWatch::create(out.backend(), [this] { return out.portNames(); });
        QObject::connect(watch.get(), &backendapi::PortWatch::changed, &context,
                         [this] { look(); });
        // A back end that went (a JACK server stopped) announces nothing when it comes back.
        QObject::connect(&retry, &QTimer::timeout, &context, [this] { look(); });
        retry.start(backendapi::PortWatch::PollMs);
    }

    TMidiOut out;
    std::unique_ptr<TMidiIn> in;
    // Where the short messages from the recall's source go.
    std::function<void(uint8_t status, uint8_t data1)> programChange;

private:
    void look() {
        boxOut.look();
        if (boxIn)
            boxIn->look();
        if (recallFrom)
            recallFrom->look();
        if (own && !own->offered() && out.backend() != Backend::None)
            own->offer(out.backend(), true);
    }

    NamedPort boxOut;
    std::unique_ptr<NamedPort> boxIn;
    std::unique_ptr<TMidiIn> source;
    std::unique_ptr<NamedPort> recallFrom;
    std::unique_ptr<ports::OwnPorts> own;
    std::unique_ptr<backendapi::PortWatch> watch;
    QTimer retry;
    QObject context; // the port's word stops reaching it before the ports go
};

} // namespace

int ServeCommand::run(const CommandLine &line) {
    const std::unique_ptr<library::Library> library = LibraryCommands::open(line);
    if (!library)
        return 1;
    ServePorts ports(line);
    recall::BoxRecallPort port(ports.out, ports.in.get(), line.fast ? 0 : line.speed);
    recall::Recaller recaller(*library, port);
    port.setRecaller(&recaller);
    recaller.setVerify(line.verify);
    QStringList damaged;
    if (!recaller.setList(line.setList, &damaged)) {
        Io::fail(recaller.error());
        return 1;
    }
    for (const QString &refused : damaged)
        Io::fail(refused);
    const library::SetList &list = recaller.list();
    Io::fail(QStringLiteral("serving the set list \"%1\" (%2 %3, %4), at %5%6.")
                 .arg(list.name)
                 .arg(list.slotList.size())
                 .arg(list.slotList.size() == 1 ? QStringLiteral("slot") : QStringLiteral("slots"))
                 .arg(list.channel == library::SetList::AnyChannel
                          ? QStringLiteral("any channel")
                          : QStringLiteral("channel %1").arg(list.channel))
                 .arg(port.speedText(), line.verify ? QStringLiteral(", verified") : QString()));

    QEventLoop loop;
    int signal = 0;
    bool ending = false;
    QObject::connect(&recaller, &recall::Recaller::said, &loop,
                     [](const QString &said) { Io::print(stdout, said + u'\n'); });
    QObject::connect(&recaller, &recall::Recaller::recalled, &loop, [&] {
        if (ending)
            loop.quit();
    });
    ports.programChange = [&](uint8_t status, uint8_t data1) {
        if (!ending)
            recaller.programChange(status, data1);
    };
    TerminationSignals::watch(&loop, [&](int number) {
        if (ending || !recaller.sending()) {
            // A second signal stops the send at once; a verify is not waited for.
            signal = signal ? signal : number;
            recaller.stop();
            loop.quit();
            return;
        }
        // The box keeps a whole configuration rather than a broken one: the send finishes.
        signal = number;
        ending = true;
        recaller.setVerify(false);
        Io::fail(QStringLiteral("signal %1: the send under way finishes first (another signal "
                                "stops it at once).")
                     .arg(number));
    });
    // A list edited while it serves (--setlist-add from another shell, the window, a rename of a
    // configuration) is read again: the next program change recalls from it as it is now.
    QFileSystemWatcher watcher({library->folder() + u'/' + library::SetListFile::Folder});
    QTimer reread;
    reread.setSingleShot(true);
    reread.setInterval(100); // a write is a burst of changes to the folder
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &reread,
                     qOverload<>(&QTimer::start));
    QObject::connect(&reread, &QTimer::timeout, &loop, [&] {
        const library::SetList before = recaller.list();
        QStringList refused;
        if (!recaller.setList(line.setList, &refused))
            Io::fail(recaller.error() + QStringLiteral(" The list as it was read last is kept."));
        else if (!(recaller.list().slotList == before.slotList &&
                   recaller.list().channel == before.channel))
            Io::fail(QStringLiteral("the set list \"%1\" changed and was read again (%2 slots).")
                         .arg(recaller.list().name)
                         .arg(recaller.list().slotList.size()));
        for (const QString &damaged : refused)
            Io::fail(damaged);
    });
    ports.start();
    loop.exec();
    ports.programChange = nullptr;
    const QString holds = recaller.boxHolds().isEmpty()
                              ? QStringLiteral("what it held before (nothing was recalled)")
                              : recaller.boxHolds();
    Io::print(stdout,
              recall::Recaller::line(
                  {}, {}, port.speedText(),
                  QStringLiteral("ended on signal %1; the box holds %2").arg(signal).arg(holds)) +
                  u'\n');
    return Io::interrupted(signal, QStringLiteral("the box holds ") + holds + u'.');
}

} // namespace vkv::cli
