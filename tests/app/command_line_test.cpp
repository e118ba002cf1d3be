// The command line: how it is parsed, and the program run with it as a child process with no
// display, on files and over the tests' JACK server.
#include "ChildProgram.h"
#include "CommandLine.h"
#include "ConfigImage.h"
#include "JackBox.h"
#include "JackReceiver.h"
#include "JackRecorder.h"
#include "JackWindow.h"
#include "PortChoice.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

using vkv::cli::CommandLine;
using Action = CommandLine::Action;

TEST(CommandLine, WithoutArgumentsStartsTheEditorWithNoFile) {
    const auto c = CommandLine::parse({"/usr/bin/vkvela"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_TRUE(c.sysexFile.isEmpty());
}

TEST(CommandLine, OneFileIsOpenedAtStartAndQtsOwnOptionsPassThrough) {
    const auto c = CommandLine::parse(
        {"vkvela", "-platform", "offscreen", "-style", "Fusion", "-reverse", "my dump.syx"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.sysexFile, "my dump.syx");
    EXPECT_EQ(CommandLine::parse({"vkvela", "--", "-odd.syx"}).sysexFile, "-odd.syx");
}

TEST(CommandLine, HelpShowsUsageAndOptionsButNotQtsOwn) {
    for (const char *option : {"--help", "-h"}) {
        const auto c = CommandLine::parse({"/opt/x/bin/vkvela", option, "ignored.syx"});
        EXPECT_EQ(c.action, Action::Help) << option;
        EXPECT_TRUE(c.text.startsWith("Usage: vkvela [options] [file]\n")) << c.text.toStdString();
        EXPECT_TRUE(c.text.contains("-v, --version")) << c.text.toStdString();
        EXPECT_TRUE(c.text.contains("Open Sysex File")) << c.text.toStdString();
        EXPECT_FALSE(c.text.contains("platform")) << c.text.toStdString();
    }
}

TEST(CommandLine, VersionShowsTheProgramsNameAndVersion) {
    for (const char *option : {"--version", "-v"}) {
        const auto c = CommandLine::parse({"vkvela", option});
        EXPECT_EQ(c.action, Action::Version) << option;
        EXPECT_EQ(c.text, QStringLiteral("vkvela " VKV_VERSION "\n"));
    }
}

TEST(CommandLine, UnknownOptionsAndSecondFilesAreErrorsThatPointToHelp) {
    const auto unknown = CommandLine::parse({"vkvela", "--bogus", "a.syx"});
    EXPECT_EQ(unknown.action, Action::Error);
    EXPECT_EQ(unknown.text,
              "vkvela: Unknown option 'bogus'.\nTry 'vkvela --help' for more information.");
    const auto missingValue = CommandLine::parse({"vkvela", "-platform"});
    EXPECT_EQ(missingValue.action, Action::Error);
    const auto two = CommandLine::parse({"vkvela", "a.syx", "b.syx"});
    EXPECT_EQ(two.action, Action::Error);
    EXPECT_EQ(two.text, "vkvela: only one file can be opened; 2 were given.\n"
                        "Try 'vkvela --help' for more information.");
}

TEST(CommandLine, CommandsTakeTheirOptionsAndRefuseOthers) {
    const auto send =
        CommandLine::parse({"vkvela", "--send", "a.syx", "--out", "box", "--speed", "1000"});
    EXPECT_EQ(send.action, Action::Send);
    EXPECT_EQ(send.sysexFile, "a.syx");
    EXPECT_EQ(send.outPort, "box");
    EXPECT_EQ(send.speed, 1000);
    EXPECT_FALSE(send.fast);
    const auto fast = CommandLine::parse({"vkvela", "--send", "a.syx", "--out", "3", "--fast"});
    EXPECT_EQ(fast.action, Action::Send);
    EXPECT_TRUE(fast.fast);
    EXPECT_EQ(fast.speed, 100);
    const auto receive = CommandLine::parse({"vkvela", "--receive", "b.syx", "--in", "box:out",
                                             "--request", "--out", "box:in", "--timeout", "2.5"});
    EXPECT_EQ(receive.action, Action::Receive);
    EXPECT_EQ(receive.sysexFile, "b.syx");
    EXPECT_EQ(receive.inPort, "box:out");
    EXPECT_EQ(receive.outPort, "box:in");
    EXPECT_TRUE(receive.request);
    EXPECT_DOUBLE_EQ(receive.timeoutSeconds, 2.5);
    EXPECT_DOUBLE_EQ(CommandLine::parse({"vkvela", "--receive", "b", "--in", "x"}).timeoutSeconds,
                     30);
    const auto verify = CommandLine::parse(
        {"vkvela", "--send", "a.syx", "--out", "box:in", "--verify", "--in", "box:out"});
    EXPECT_TRUE(verify.verify);
    EXPECT_EQ(verify.inPort, "box:out");
    EXPECT_DOUBLE_EQ(verify.timeoutSeconds, 5);
    const auto ini = CommandLine::parse({"vkvela", "--export-ini", "c.syx", "c.ini"});
    EXPECT_EQ(ini.action, Action::ExportIni);
    EXPECT_EQ(ini.sysexFile, "c.syx");
    EXPECT_EQ(ini.iniFile, "c.ini");
    EXPECT_EQ(CommandLine::parse({"vkvela", "--list-ports"}).action, Action::ListPorts);
    const auto diff = CommandLine::parse({"vkvela", "--diff", "a.syx", "b.syx"});
    EXPECT_EQ(diff.action, Action::Diff);
    EXPECT_EQ(diff.sysexFile, "a.syx");
    EXPECT_EQ(diff.secondFile, "b.syx");
    const auto find = CommandLine::parse({"vkvela", "--find-speed", "--out", "box:in", "--in",
                                          "box:out", "--timeout", "2", "mine.syx"});
    EXPECT_EQ(find.action, Action::FindSpeed);
    EXPECT_EQ(find.sysexFile, "mine.syx");
    EXPECT_EQ(find.outPort, "box:in");
    EXPECT_EQ(find.inPort, "box:out");
    EXPECT_DOUBLE_EQ(find.timeoutSeconds, 2);
    const auto defaults =
        CommandLine::parse({"vkvela", "--find-speed", "--out", "box", "--in", "box"});
    EXPECT_EQ(defaults.sysexFile, ""); // the built-in defaults
    EXPECT_DOUBLE_EQ(defaults.timeoutSeconds, 5);

    const struct {
        QStringList arguments;
        const char *says;
    } errors[] = {
        {{"--list-ports", "--send", "a.syx"}, "--list-ports and --send cannot be combined"},
        {{"--list-ports", "x.syx"}, "--list-ports takes no other file: \"x.syx\""},
        {{"--send", "a.syx"}, "--send needs --out PORT"},
        {{"--send", "a.syx", "--out", "b", "--speed", "1"},
         "--speed must be a whole number from 2 "
         "to 1000, not \"1\""},
        {{"--send", "a.syx", "--out", "b", "--speed", "1001"}, "not \"1001\""},
        {{"--send", "a.syx", "--out", "b", "--speed", "fast"}, "not \"fast\""},
        {{"--send", "a.syx", "--out", "b", "--speed", "300", "--fast"}, "cannot be combined"},
        {{"--send", "a.syx", "--out", "b", "--in", "c"}, "--in goes with --send only to --verify"},
        {{"--send", "a.syx", "--out", "b", "--verify"}, "--verify needs --in PORT"},
        {{"--send", "a.syx", "--out", "b", "--timeout", "2"}, "--timeout goes with --send only to"},
        {{"--receive", "a.syx", "--in", "b", "--verify"}, "--verify goes only with --send"},
        {{"--send", "", "--out", "b"}, "--send needs a file name"},
        {{"--send", "a.syx", "--out", ""}, "a port's name is empty"},
        {{"--receive", "a.syx"}, "--receive needs --in PORT"},
        {{"--receive", "a.syx", "--in", "b", "--request"}, "--request needs --out PORT"},
        {{"--receive", "a.syx", "--in", "b", "--out", "c"}, "--out goes with --receive only to"},
        {{"--receive", "a.syx", "--in", "b", "--timeout", "0"}, "--timeout must be a number"},
        {{"--receive", "a.syx", "--in", "b", "--timeout", "-1"}, "--timeout must be a number"},
        {{"--receive", "a.syx", "--in", "b", "--fast"}, "--fast goes only with --send"},
        {{"--export-ini", "a.syx"}, "--export-ini needs two file names"},
        {{"--export-ini", "a.syx", "b.ini", "c"}, "3 were given"},
        {{"--diff", "a.syx"}, "--diff needs two file names"},
        {{"--diff", "a.syx", "b.syx", "--export-ini"},
         "--export-ini and --diff cannot be combined"},
        {{"--timeout", "3"},
         "--timeout goes only with --receive and --find-speed, or with --send --verify"},
        {{"--find-speed", "--out", "b"}, "--find-speed needs --out PORT and --in PORT"},
        {{"--find-speed", "--out", "b", "--in", "c", "x.syx", "y.syx"}, "one .syx file at most"},
        {{"--find-speed", "--out", "b", "--in", "c", "--speed", "100"},
         "--speed goes only with --send"},
        {{"--find-speed", "--send", "a.syx"}, "--send and --find-speed cannot be combined"},
        {{"--request"}, "--request goes only with --receive"},
        {{"--serve", "--out", "b"}, "--serve needs --setlist NAME"},
        {{"--serve", "--setlist", "Tour"}, "--serve needs --out PORT"},
        {{"--serve", "--setlist", "Tour", "--out", "b", "--verify"}, "--verify needs --in PORT"},
        {{"--serve", "--setlist", "Tour", "--out", "b", "x.syx"}, "--serve takes no file"},
        {{"--send", "a.syx", "--out", "b", "--recall-in", "c"},
         "--recall-in goes only with --serve"},
    };
    for (const auto &e : errors) {
        const auto c = CommandLine::parse(QStringList{"vkvela"} + e.arguments);
        EXPECT_EQ(c.action, Action::Error) << e.arguments.join(' ').toStdString();
        EXPECT_TRUE(c.text.startsWith("vkvela: ") && c.text.contains(e.says))
            << c.text.toStdString();
        EXPECT_TRUE(c.text.endsWith("Try 'vkvela --help' for more information."));
    }
}

TEST(CommandLine, APortIsNamedWholeByAnUnsharedStartOrByItsNumber) {
    using vkv::cli::PortChoice;
    using Outcome = PortChoice::Outcome;
    const QStringList names{"synth:in", "box:midi_in", "box:midi_in2", "12", "other:in"};
    const struct {
        const char *wanted;
        Outcome outcome;
        int index;
    } cases[] = {
        {"synth:in", Outcome::Found, 0},
        {"synth", Outcome::Found, 0},
        {"box:midi_in", Outcome::Found, 1},
        {"box:midi_in2", Outcome::Found, 2},
        {"box", Outcome::Ambiguous, -1},
        {"2", Outcome::Found, 2},
        {"12", Outcome::Found, 3},
        {"5", Outcome::NotFound, -1},
        {"+1", Outcome::NotFound, -1},
        {"in", Outcome::NotFound, -1},
        {"", Outcome::NotFound, -1},
        {"Synth", Outcome::NotFound, -1},
        {"other:in ", Outcome::NotFound, -1},
    };
    for (const auto &c : cases) {
        const PortChoice choice = PortChoice::find(names, c.wanted);
        EXPECT_EQ(choice.outcome, c.outcome) << c.wanted;
        EXPECT_EQ(choice.index, c.index) << c.wanted;
    }
    EXPECT_EQ(PortChoice::find(names, "box").candidates, (QList<int>{1, 2}));
    EXPECT_EQ(PortChoice::find({}, "0").outcome, Outcome::NotFound);
}

// The program itself, run as a child process with no display to connect to.
namespace {

using Ran = ChildRun;

// Starts the program (or `program`) with no display; `meanwhile` runs every 20 ms until it ends.
// One that is still running after 30 s is killed, and the run fails.
Ran run(const QStringList &arguments, const std::function<void()> &meanwhile = {},
        const QString &program = QStringLiteral(VKV_PROGRAM)) {
    return runChild(program, arguments, headlessEnvironment(), 30000, meanwhile);
}

// A dump unlike the default image in every record, with another model's header.
QByteArray foreignDump() {
    QByteArray dump(vkv::image::DumpSize, '\0');
    for (int i = 0; i < dump.size(); ++i)
        dump[i] = static_cast<char>((i * 7 + i / 128) & 0x7F);
    const char header[] = {char(0xF0), 0x00, 0x00, 0x7E, 0x43, 0x02};
    std::copy(std::begin(header), std::end(header), dump.begin());
    dump[dump.size() - 1] = char(0xF7);
    return dump;
}

QByteArray framed(QByteArray dump) {
    vkv::image::frameDump(reinterpret_cast<std::uint8_t *>(dump.data()));
    return dump;
}

// What "Open Sysex File" makes of `file` in a freshly started editor, framed for sending.
QByteArray opened(const QByteArray &file) {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    QByteArray bytes(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
    bytes.replace(0, file.size(), file);
    return framed(bytes);
}

QByteArray withoutDateLine(QByteArray ini) {
    const qsizetype at = ini.indexOf("# Data Generated on : ");
    const qsizetype end = ini.indexOf("\r\n", at);
    EXPECT_GE(at, 0);
    if (at >= 0)
        ini.remove(at, end - at);
    return ini;
}

} // namespace

TEST(CommandLineProgram, ExportIniWritesWhatTheEditorStoresAndFailuresWriteNothing) {
    QTemporaryDir dir;
    // A short file: it replaces only its own length of the defaults, in the editor as here.
    const QString syx = dir.filePath("short.syx");
    writeFile(syx, foreignDump().left(700));
    {
        TForm1 form{vkv::backendapi::Backend::None};
        form.setFileChooser([&](QFileDialog *) {
            return std::optional<TForm1::FileChoice>({dir.filePath("editor.ini"), 1});
        });
        ASSERT_TRUE(form.OpenSysexFile(syx));
        form.StoreSysexClick(form.ui->StoreSysex);
    }
    const Ran r = run({"--export-ini", syx, dir.filePath("cli.ini")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out + r.err, "");
    const QByteArray editor = readFile(dir.filePath("editor.ini"));
    const QByteArray cli = readFile(dir.filePath("cli.ini"));
    ASSERT_GT(editor.size(), 9000);
    EXPECT_EQ(withoutDateLine(cli), withoutDateLine(editor));
    EXPECT_NE(cli, readFile(QStringLiteral(VKV_TESTS_DIR "/image/default_export.ini")));

    // Failures say why on the standard error stream and leave every file as it was.
    writeFile(dir.filePath("kept"), "kept");
    QDir(dir.path()).mkdir("folder");
    const struct {
        QStringList arguments;
        const char *says;
    } failures[] = {
        {{"--export-ini", dir.filePath("missing.syx"), dir.filePath("kept")}, "no such file"},
        {{"--export-ini", dir.filePath("folder"), dir.filePath("kept")}, "not a regular file"},
        {{"--export-ini", syx, dir.filePath("folder")}, "cannot write"},
        {{"--send", dir.filePath("missing.syx"), "--out", "0"}, "missing.syx: no such file"},
        {{"--receive", dir.filePath("folder"), "--in", "0"}, "is a folder"},
        {{"--receive", dir.filePath("nowhere/a.syx"), "--in", "0"}, "there is no folder"},
        {{"--send", syx}, "--send needs --out PORT"},
    };
    for (const auto &f : failures) {
        const Ran failed = run(f.arguments);
        EXPECT_EQ(failed.code, 1) << f.arguments.join(' ').toStdString();
        EXPECT_TRUE(failed.err.startsWith("vkvela: ")) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(f.says)) << failed.err.toStdString();
        EXPECT_EQ(failed.out, "");
    }
    EXPECT_EQ(readFile(dir.filePath("kept")), "kept");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"cli.ini", "editor.ini", "folder", "kept", "short.syx"}));
}

TEST(CommandLineProgram, DiffPrintsTheRecordsThatDifferAndAnswersAsDiffDoes) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.syx"), b = dir.filePath("b.syx");
    const QByteArray defaults = opened(QByteArray());
    writeFile(a, defaults);
    // A short file with another model's header: it differs from the defaults only in pot 1.3,
    // which is made a note instead of a controller, as "Open Sysex File" would read it.
    QByteArray shortFile = defaults.left(20);
    shortFile[4] = 0x43;
    shortFile[vkv::image::potOffset(2)] = 0x10;
    writeFile(b, shortFile);

    const Ran differ = run({"--diff", a, b});
    EXPECT_EQ(differ.code, 1) << differ.err.toStdString();
    EXPECT_EQ(differ.out, "- 1.3 = B0 02 [00-7F]\n"
                          "+ 1.3 = 90 02 [00-7F]\n");
    EXPECT_EQ(differ.err, "");
    const Ran same = run({"--diff", a, a});
    EXPECT_EQ(same.code, 0) << same.err.toStdString();
    EXPECT_EQ(same.out + same.err, "");

    const struct {
        QStringList arguments;
        const char *says;
    } failures[] = {
        {{"--diff", a, dir.filePath("missing.syx")}, "missing.syx: no such file"},
        {{"--diff", a}, "--diff needs two file names"},
        {{"--diff", "--bogus", a, b}, "Unknown option 'bogus'"},
    };
    for (const auto &f : failures) {
        const Ran failed = run(f.arguments);
        EXPECT_EQ(failed.code, 2) << f.arguments.join(' ').toStdString();
        EXPECT_TRUE(failed.err.startsWith("vkvela: ") && failed.err.contains(f.says))
            << failed.err.toStdString();
        EXPECT_EQ(failed.out, "");
    }
}

TEST(CommandLineProgram, CommandsLeaveTheEditorsSettingsAlone) {
    // The editor's settings file holds junk: a command that read it would say so, and one that
    // wrote it would mend it.
    QTemporaryDir dir;
    const QString settings = dir.filePath("config/vkvela/vkvela.conf");
    const QByteArray junk("[send\nspeed=2\n\x01\x02[midi]\nout=0\n");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("config/vkvela")));
    writeFile(settings, junk);
    const QString syx = dir.filePath("a.syx");
    writeFile(syx, foreignDump());
    QProcessEnvironment env = headlessEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    const Ran r = runChild(QStringLiteral(VKV_PROGRAM),
                           {"--export-ini", syx, dir.filePath("a.ini")}, env, 30000);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(readFile(settings), junk);
}

// Over the tests' JACK server: a box made of plain JACK clients at the other end of the ports.
namespace {

class CommandLineJack : public JackWindowTest {};

using Events = std::vector<JackRecorder::Event>;
using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const QByteArray &a) {
    return Bytes(a.begin(), a.end());
}

} // namespace

TEST_F(CommandLineJack, ListsThePortsAsTheEditorAndSendsPacedAndFast) {
    JackRecorder box("vkvclibox");
    JackSender source("vkvclisrc");
    QTemporaryDir dir;
    const QString syx = dir.filePath("short.syx");
    writeFile(syx, foreignDump().left(700));
    const Bytes expected = bytesOf(opened(foreignDump().left(700)));

    // The lists the editor shows, less its "None", in its order.
    QString lists;
    int boxNumber = -1;
    {
        JackWindow w;
        const auto list = [](const QString &kind, const QComboBox *box) {
            QString text = kind + " ports (JACK):\n";
            for (int i = 0; i + 1 < box->count(); ++i)
                text += QStringLiteral("  %1  %2\n").arg(i).arg(box->itemText(i));
            return text;
        };
        lists = list("MIDI IN", w.ui.MIDIInComboBox) + list("MIDI OUT", w.ui.MIDIOutComboBox);
        EXPECT_GE(w.inIndex("vkvclisrc:out"), 0);
        boxNumber = w.outIndex("vkvclibox:in");
        EXPECT_GE(boxNumber, 0);
    }
    const Ran listed = run({"--list-ports"});
    EXPECT_EQ(listed.code, 0);
    EXPECT_EQ(listed.out, lists);
    EXPECT_EQ(listed.err, "");

    // Paced at speed 1000, by the client's name for its only port, in a terminal: the header, a
    // pause, 511 slices of 3 and the last 4, arriving through the 2.8 s of the send, while the
    // terminal shows how far it is.
    const QString command = QStringLiteral("'%1' --send '%2' --out vkvclibox --speed 1000")
                                .arg(QStringLiteral(VKV_PROGRAM), syx);
    const Ran paced = run({"-qec", command, "/dev/null"}, {}, "script");
    EXPECT_EQ(paced.code, 0) << paced.out.toStdString();
    for (const char *shown : {"\r1537 bytes left, header pause", "\r1534 bytes left",
                              " bytes/s, 2 s left", "\r   0 bytes left, "})
        EXPECT_TRUE(paced.out.contains(shown)) << shown << " not in " << paced.out.toStdString();
    const Events events = box.waitUntil([](const Events &e) { return e.size() >= 513; });
    ASSERT_EQ(events.size(), 513u);
    EXPECT_EQ(JackRecorder::sysExBytes(events), expected);
    EXPECT_EQ(events[0].bytes.size(), 6u);
    EXPECT_EQ(events[1].bytes.size(), 3u);
    EXPECT_EQ(events[512].bytes.size(), 4u);
    const double pauseMs = (events[1].usecs - events[0].usecs) / 1000.0;
    const double slicesMs = (events[512].usecs - events[1].usecs) / 1000.0;
    EXPECT_GE(pauseMs, 250 - box.periodMs());
    // 511 ticks at tempo 833 take 2555 ms by the tick rule. Never faster, which would overrun the
    // box; a busy machine (two cores under the address sanitizer took up to 3.03 s) may be late,
    // which costs the box nothing.
    EXPECT_GE(slicesMs, 2555 - 100);
    EXPECT_LE(slicesMs, 2555 * 1.25);
    std::printf("paced send by the command line: header pause %.1f ms, slices over %.1f ms\n",
                pauseMs, slicesMs);

    // Fast, by the port's number, into pipes: one message, and nothing said.
    box.clear();
    const Ran fast = run({"--send", syx, "--out", QString::number(boxNumber), "--fast"});
    EXPECT_EQ(fast.code, 0) << fast.err.toStdString();
    // The tests' JACK server, busy with the other tests under the sanitizers, may keep the
    // client's close waiting past the program's bound at exit: the program says so and ends, its
    // way with a stalled server (PortLossJack tests that); it says nothing of the send.
    QString said = fast.out + fast.err;
    said.remove(QRegularExpression(QStringLiteral("^vkvela: closing the JACK clients took longer "
                                                  "than \\d+ ms; ended without it\n"),
                                   QRegularExpression::MultilineOption));
    EXPECT_EQ(said, "");
    const Events whole = box.waitUntil([](const Events &e) { return !e.empty(); });
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].bytes, expected);
}

TEST_F(CommandLineJack, ReceivesOneWholeDumpAndOtherwiseLeavesTheFileAsItWas) {
    JackReceiver boxIn("vkvclireq");
    JackSender boxOut("vkvclidump");
    JackSender other("vkvclidumq");
    QTemporaryDir dir;
    const QString file = dir.filePath("backup.syx");
    const QByteArray dump = foreignDump();
    // Sends `message` every half second while the program runs: a new connection carries data
    // only from one of the server's next cycles on, and the program takes the first whole dump.
    const auto sending = [&](const QByteArray &message, const std::function<bool()> &when = {}) {
        auto last = std::make_shared<QElapsedTimer>();
        return [&, message, when, last] {
            if ((when && !when()) || (last->isValid() && last->elapsed() < 500))
                return;
            last->start();
            boxOut.send(bytesOf(message));
        };
    };

    // Asked for: the box answers the request with its dump, stored framed as the editor stores
    // a received one.
    const auto requested = [&] { return !boxIn.waitFor(1, 0).empty(); };
    const Ran asked = run({"--receive", file, "--in", "vkvclidump", "--request", "--out",
                           "vkvclireq", "--timeout", "20"},
                          sending(dump, requested));
    EXPECT_EQ(asked.code, 0) << asked.err.toStdString();
    EXPECT_EQ(asked.out + asked.err, "");
    ASSERT_FALSE(boxIn.waitFor(1, 0).empty());
    EXPECT_EQ(boxIn.waitFor(1, 0)[0], bytesOf(QByteArray::fromHex("F000007E4201F7")));
    EXPECT_EQ(readFile(file), framed(dump));

    // Unasked, over an existing file, the port given by its number.
    int number = -1;
    {
        const TMidiIn in(nullptr, vkv::backendapi::Backend::Jack);
        number = testui::deviceIndex(in, "vkvclidump:out");
    }
    ASSERT_GE(number, 0);
    writeFile(file, "old");
    const Ran unasked =
        run({"--receive", file, "--in", QString::number(number)}, sending(framed(dump)));
    EXPECT_EQ(unasked.code, 0) << unasked.err.toStdString();
    EXPECT_EQ(readFile(file), framed(dump));

    // No whole dump in time, a message too long for one, ports that are not there, an end by
    // signal: each fails, says why, and the file stays.
    writeFile(file, "kept");
    QByteArray tooLong = dump;
    tooLong.insert(tooLong.size() - 1, '\0');
    const struct {
        QStringList arguments;
        QByteArray sent;
        QStringList says;
    } failures[] = {
        {{"--in", "vkvclidump", "--timeout", "2"},
         dump.left(999) + char(0xF7),
         {"vkvela: no whole dump arrived within 2 s (1000 of its 1543 bytes came); nothing was "
          "stored.\n"}},
        {{"--in", "vkvclidump"},
         tooLong,
         {"vkvela: a SysEx message longer than a dump (1543 bytes) came in; nothing was "
          "stored.\n"}},
        {{"--in", "nosuch"},
         {},
         {"vkvela: no MIDI IN port \"nosuch\". The MIDI IN ports are:\n", "  vkvclidump:out\n",
          "  vkvclidumq:out\n"}},
        {{"--in", "vkvclidu"},
         {},
         {"vkvela: \"vkvclidu\" fits more than one MIDI IN port; give more of the name, or the "
          "number:\n",
          "  vkvclidump:out\n", "  vkvclidumq:out\n"}},
        {{"--in", "vkvclidump", "--request", "--out", "nosuch"},
         {},
         {"vkvela: no MIDI OUT port \"nosuch\"", "  vkvclireq:in\n"}},
    };
    for (const auto &f : failures) {
        const Ran failed = run(QStringList{"--receive", file} + f.arguments,
                               f.sent.isEmpty() ? std::function<void()>() : sending(f.sent));
        EXPECT_EQ(failed.code, 1) << f.arguments.join(' ').toStdString();
        for (const QString &said : f.says)
            EXPECT_TRUE(failed.err.contains(said)) << failed.err.toStdString();
        EXPECT_EQ(failed.out, "");
        EXPECT_EQ(readFile(file), "kept");
    }
    QProcess waiting;
    waiting.setProcessEnvironment(headlessEnvironment());
    waiting.start(QStringLiteral(VKV_PROGRAM), {"--receive", file, "--in", "vkvclidump"});
    ASSERT_TRUE(waiting.waitForStarted());
    QThread::msleep(1500);
    waiting.terminate();
    ASSERT_TRUE(waiting.waitForFinished(5000));
    EXPECT_EQ(waiting.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(waiting.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(waiting.readAllStandardError(),
              "vkvela: interrupted by signal 15; nothing was stored.\n");
    EXPECT_EQ(readFile(file), "kept");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"backup.syx"});
}

TEST_F(CommandLineJack, SendVerifyExitsByWhatTheBoxAnswers) {
    JackRecorder box("vkvclivbox");
    JackSender boxOut("vkvclivsrc");
    QTemporaryDir dir;
    const QString syx = dir.filePath("backup.syx");
    writeFile(syx, foreignDump());
    const QByteArray sent = opened(foreignDump());
    const Bytes request(vkv::image::DumpRequest.begin(), vkv::image::DumpRequest.end());
    // The box answers a request with `answer`, once; nothing when it is empty.
    const auto answering = [&](const QByteArray &answer) {
        box.clear();
        return [&, answer, answered = std::make_shared<bool>(false)] {
            if (*answered || answer.isEmpty())
                return;
            const auto got = box.waitUntil([](const Events &) { return true; }, 0);
            if (std::any_of(got.begin(), got.end(),
                            [&](const auto &e) { return e.bytes == request; })) {
                *answered = true;
                boxOut.send(bytesOf(answer));
            }
        };
    };
    const QStringList verify = {"--send",   syx,    "--out",      "vkvclivbox", "--fast",
                                "--verify", "--in", "vkvclivsrc", "--timeout",  "2"};

    const Ran same = run(verify, answering(sent));
    EXPECT_EQ(same.code, 0) << same.err.toStdString();
    EXPECT_EQ(same.out + same.err, "");

    // Pot 1.3's first data byte (ID 2) and button 1.1's mode differ.
    QByteArray other = sent;
    other[vkv::image::potOffset(2) + 1] = 0x11;
    other[vkv::image::buttonOffset(0) + 3] = 0x00;
    const Ran differ = run(verify, answering(other));
    EXPECT_EQ(differ.code, 3) << differ.err.toStdString();
    const QStringList lines = differ.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << differ.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("- ") && lines[1].startsWith("+ ")) << differ.out.toStdString();
    EXPECT_TRUE(lines[1].contains(" 11 ")) << differ.out.toStdString();
    EXPECT_TRUE(differ.err.contains("2 records")) << differ.err.toStdString();

    // An answer that a status byte cut on its way came, broken: it was no silence.
    QByteArray cut = sent;
    cut.replace(700, 3, QByteArray("\x90\x3C\x40", 3));
    const Ran broken = run(verify, answering(cut));
    EXPECT_EQ(broken.code, 1);
    EXPECT_TRUE(broken.err.contains("verify: the box's answer was broken."))
        << broken.err.toStdString();

    const Ran silent = run(verify, answering({}));
    EXPECT_EQ(silent.code, 1);
    EXPECT_TRUE(silent.err.contains("verify: no answer from the box within 2 s"))
        << silent.err.toStdString();
    // Every run sent the dump whole before it asked.
    EXPECT_EQ(box.waitUntil([](const Events &) { return true; }, 0).front().bytes, bytesOf(sent));
}

TEST(CommandLine, TheLibrarysCommandsTakeTheirOptionsAndWrongUseExitsWith2) {
    const auto add = CommandLine::parse(
        {"vkvela", "--library-add", "a.syx", "--name", "Live set", "--library", "/l"});
    EXPECT_EQ(add.action, Action::LibraryAdd);
    EXPECT_EQ(add.files, QStringList{"a.syx"});
    EXPECT_EQ(add.name, "Live set");
    EXPECT_EQ(add.libraryFolder, "/l");
    const auto get = CommandLine::parse({"vkvela", "--library-get", "Live set", "out.syx"});
    EXPECT_EQ(get.action, Action::LibraryGet);
    EXPECT_EQ(get.name, "Live set");
    EXPECT_EQ(get.sysexFile, "out.syx");
    const auto at = CommandLine::parse({"vkvela", "--library-history", "--at", "2026-12-01 18:00"});
    EXPECT_EQ(at.at, QDateTime(QDate(2026, 12, 1), QTime(18, 0)));
    const auto send =
        CommandLine::parse({"vkvela", "--send", "a.syx", "--out", "b", "--no-library"});
    EXPECT_TRUE(send.noLibrary);
    const auto slot = CommandLine::parse({"vkvela", "--setlist-add", "Tour", "5", "Live set"});
    EXPECT_EQ(slot.action, Action::SetListAdd);
    EXPECT_EQ(slot.setList, "Tour");
    EXPECT_EQ(slot.program, 5);
    EXPECT_EQ(slot.name, "Live set");
    const auto serve = CommandLine::parse({"vkvela", "--serve", "--setlist", "Tour", "--out", "box",
                                           "--in", "box:out", "--speed", "500", "--verify",
                                           "--recall-in", "daw", "--library", "/l"});
    EXPECT_EQ(serve.action, Action::Serve);
    EXPECT_EQ(QStringList({serve.setList, serve.outPort, serve.inPort, serve.recallIn,
                           serve.libraryFolder}),
              QStringList({"Tour", "box", "box:out", "daw", "/l"}));
    EXPECT_EQ(serve.speed, 500);
    EXPECT_TRUE(serve.verify);

    const struct {
        QStringList arguments;
        int code;
    } wrong[] = {
        {{"--library-add"}, 2},
        {{"--library-add", "a.syx", "b.syx", "--name", "x"}, 2},
        {{"--library-get", "Live set"}, 2},
        {{"--library-list", "a.syx"}, 2},
        {{"--library-list", "--no-library"}, 2},
        {{"--library-history", "--at", "yesterday"}, 2},
        {{"--library-search", "cc:1", "--speed", "2"}, 2},
        {{"--send", "a.syx", "--out", "b", "--library", "/l", "--no-library"}, 1},
        {{"--export-ini", "a.syx", "b.ini", "--library", "/l"}, 1},
        {{"--setlist-add", "Tour", "5"}, 2},
        {{"--setlist-add", "Tour", "128", "Gig"}, 2},
        {{"--setlist-remove", "Tour", "x"}, 2},
        {{"--setlist-remove", "Tour"}, 2},
        {{"--setlist-show", "Tour", "a.syx"}, 2},
        {{"--setlist-show", "Tour", "--speed", "2"}, 2},
        {{"--serve", "--setlist", "Tour", "--out", "b", "--speed", "300", "--fast"}, 2},
    };
    for (const auto &w : wrong) {
        const auto c = CommandLine::parse(QStringList{"vkvela"} + w.arguments);
        EXPECT_EQ(c.action, Action::Error) << w.arguments.join(' ').toStdString();
        EXPECT_EQ(c.errorCode, w.code) << w.arguments.join(' ').toStdString();
    }
}

TEST(CommandLineProgram, TheLibrarysCommandsAddListGetSearchAndSayWhatFailed) {
    QTemporaryDir dir;
    const QString library = dir.filePath("library");
    vkv::image::ConfigImage image;
    ASSERT_TRUE(vkv::image::loadDefaultImage(image));
    const QByteArray defaults(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
    QByteArray filter = defaults;
    filter[vkv::image::potOffset(18)] = 0x3F; // controller 74 on channel 16
    filter[vkv::image::potOffset(18) + 1] = 74;
    writeFile(dir.filePath("Gig.syx"), defaults);
    writeFile(dir.filePath("filter.syx"), filter);
    writeFile(dir.filePath("notes.txt"), "ten bytes.");
    const auto lib = [&](QStringList arguments) {
        return run(arguments << "--library" << library);
    };

    const Ran added = lib({"--library-add", dir.filePath("Gig.syx"), dir.filePath("notes.txt")});
    EXPECT_EQ(added.code, 1);
    EXPECT_EQ(added.err, "vkvela: " + dir.filePath("notes.txt") +
                             ": it is 10 bytes long; a configuration dump is 1543; it was not "
                             "added.\n");
    const Ran named = lib({"--library-add", dir.filePath("filter.syx"), "--name", "Filter sweep"});
    EXPECT_EQ(named.code, 0) << named.err.toStdString();
    EXPECT_EQ(named.out + named.err, "");
    const Ran taken = lib({"--library-add", dir.filePath("filter.syx"), "--name", "gig"});
    EXPECT_EQ(taken.code, 1);
    EXPECT_TRUE(taken.err.endsWith("The name \"gig\" is taken already (by \"Gig\").\n"))
        << taken.err.toStdString();

    const Ran listed = lib({"--library-list"});
    EXPECT_EQ(listed.code, 0);
    const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("Filter sweep\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Gig\t")) << lines[1].toStdString();

    const Ran found = lib({"--library-search", "ch:16 cc:74"});
    EXPECT_EQ(found.code, 0);
    EXPECT_EQ(found.out, "Filter sweep\tPot 2.3\n");
    const Ran wrongQuery = lib({"--library-search", "cc:x"});
    EXPECT_EQ(wrongQuery.code, 2);
    EXPECT_TRUE(wrongQuery.err.startsWith("vkvela: \"cc:x\": cc: takes"))
        << wrongQuery.err.toStdString();

    const Ran got = lib({"--library-get", "filter sweep", dir.filePath("out.syx")});
    EXPECT_EQ(got.code, 0) << got.err.toStdString();
    EXPECT_EQ(readFile(dir.filePath("out.syx")), filter);
    const Ran none = lib({"--library-get", "Nothing", dir.filePath("none.syx")});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, "vkvela: There is no configuration \"Nothing\" in the library.\n");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none.syx")));
    EXPECT_EQ(lib({"--library-history"}).out, "");
}

TEST(CommandLineProgram, SetListsAreShownAndEditedAndSayWhatFailed) {
    QTemporaryDir dir;
    const QString library = dir.filePath("library");
    vkv::image::ConfigImage image;
    ASSERT_TRUE(vkv::image::loadDefaultImage(image));
    writeFile(dir.filePath("Gig.syx"),
              QByteArray(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize));
    const auto lib = [&](QStringList arguments) {
        return run(arguments << "--library" << library);
    };
    ASSERT_EQ(lib({"--library-add", dir.filePath("Gig.syx")}).code, 0);

    const struct {
        QStringList arguments;
        int code;
        QString out, err;
    } steps[] = {
        {{"--setlist-add", "Tour", "5", "gig"}, 0, "", ""},
        {{"--setlist-add", "Tour", "0", "Gig"}, 0, "", ""},
        {{"--setlist-show", "tour"}, 0, "channel\tany\n5\tGig\t\n0\tGig\t\n", ""},
        {{"--setlist-add", "Tour", "5", "Gig"},
         1,
         "",
         "vkvela: Program 5 of the set list \"Tour\" recalls \"Gig\" already; remove it first.\n"},
        {{"--setlist-add", "Tour", "6", "Nothing"},
         1,
         "",
         "vkvela: There is no configuration \"Nothing\" in the library.\n"},
        {{"--setlist-remove", "Tour", "5"}, 0, "", ""},
        {{"--setlist-remove", "Tour", "5"},
         1,
         "",
         "vkvela: Program 5 of the set list \"Tour\" recalls nothing.\n"},
        {{"--setlist-show", "Tour"}, 0, "channel\tany\n0\tGig\t\n", ""},
        {{"--setlist-show", "Gigs"},
         1,
         "",
         "vkvela: There is no set list \"Gigs\" in the library.\n"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const Ran ran = lib(step.arguments);
        EXPECT_EQ(ran.code, step.code);
        EXPECT_EQ(ran.out, step.out);
        EXPECT_EQ(ran.err, step.err);
    }

    // A deleted configuration's slot is missing; a damaged line is said and the rest shown.
    writeFile(library + "/setlists/Tour.txt", "# channel 3\n0\tGig\n1\tOld song\nseven\tGig\n");
    const Ran shown = lib({"--setlist-show", "Tour"});
    EXPECT_EQ(shown.code, 0);
    EXPECT_EQ(shown.out, "channel\t3\n0\tGig\t\n1\tOld song\tmissing\n");
    EXPECT_EQ(shown.err, "vkvela: warning: " + library +
                             "/setlists/Tour.txt, line 4: \"seven\" is no program number (0 to "
                             "127); the line was left out.\n");
}

TEST_F(CommandLineJack, SendAndReceiveRecordIntoTheLibraryUnlessToldNot) {
    JackRecorder box("vkvclilbox");
    JackSender boxOut("vkvclilsrc");
    QTemporaryDir dir;
    const QString syx = dir.filePath("backup.syx");
    writeFile(syx, foreignDump());
    const QByteArray sent = opened(foreignDump());
    const auto history = [] {
        return run({"--library-history"}).out.split(u'\n', Qt::SkipEmptyParts);
    };
    // The box answers the verify's request with what it took.
    bool answered = false;
    const Ran verified = run({"--send", syx, "--out", "vkvclilbox", "--fast", "--verify", "--in",
                              "vkvclilsrc", "--timeout", "3"},
                             [&] {
                                 const Events got = box.recorded();
                                 if (!answered && got.size() >= 2) {
                                     answered = true;
                                     boxOut.send(bytesOf(sent));
                                 }
                             });
    EXPECT_EQ(verified.code, 0) << verified.err.toStdString();
    EXPECT_EQ(verified.out + verified.err, "");
    QStringList lines = history();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].section(u'\t', 1),
              "received from vkvclilsrc:out\tcaptured " + lines[0].section(u'\t', 2).mid(9));
    EXPECT_EQ(lines[1].section(u'\t', 1, 1), "sent to vkvclilbox:in, verified");

    EXPECT_EQ(run({"--send", syx, "--out", "vkvclilbox", "--fast", "--no-library"}).code, 0);
    EXPECT_EQ(history().size(), 2);

    const Ran received =
        run({"--receive", dir.filePath("in.syx"), "--in", "vkvclilsrc", "--timeout", "10"},
            [&, since = std::make_shared<QElapsedTimer>()] {
                if (!since->isValid() || since->elapsed() > 500) {
                    since->start();
                    boxOut.send(bytesOf(sent));
                }
            });
    EXPECT_EQ(received.code, 0) << received.err.toStdString();
    lines = history();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].section(u'\t', 1, 1), "received from vkvclilsrc:out");

    // A library that cannot record: the send still succeeds, and says so on standard error.
    writeFile(dir.filePath("file"), "x");
    const Ran unrecorded = run({"--send", syx, "--out", "vkvclilbox", "--fast", "--library",
                                dir.filePath("file/library")});
    EXPECT_EQ(unrecorded.code, 0);
    EXPECT_TRUE(unrecorded.err.startsWith("vkvela: warning: the library did not record the send: "
                                          "The library folder "))
        << unrecorded.err.toStdString();
}

TEST_F(CommandLineJack, AfterASendThatBrokeOffBothPortsOfTheBoxHoldABrokenOrUnknownConfiguration) {
    JackBox box(QStringLiteral(VKV_JACK_BOX), "vkvheldbox", 64, 0);
    ASSERT_TRUE(box.ready);
    QTemporaryDir dir;
    const QString library = dir.filePath("library");
    writeFile(dir.filePath("A.syx"), opened(foreignDump()));
    writeFile(dir.filePath("B.syx"), opened(QByteArray()));
    ASSERT_EQ(
        run({"--library-add", dir.filePath("A.syx"), dir.filePath("B.syx"), "--library", library})
            .code,
        0);
    // What the box's two ports held: one line each, their first field the port.
    const auto held = [&] {
        const QString soon = QDateTime::currentDateTime().addSecs(120).toString("yyyy-MM-dd HH:mm");
        return run({"--library-history", "--at", soon, "--library", library})
            .out.split(u'\n', Qt::SkipEmptyParts);
    };

    const Ran a = run({"--send", dir.filePath("A.syx"), "--out", box.listens(), "--fast",
                       "--verify", "--in", box.answers(), "--library", library});
    ASSERT_EQ(a.code, 0) << a.err.toStdString();
    QStringList lines = held();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(box.listens() + "\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(box.answers() + "\t")) << lines[1].toStdString();
    for (const QString &line : lines)
        EXPECT_EQ(line.section(u'\t', 2), "received from " + box.answers() + "\tA")
            << line.toStdString();

    // B, paced, stopped with Ctrl+C half-way.
    QProcess b;
    b.setProcessEnvironment(headlessEnvironment());
    b.start(QStringLiteral(VKV_PROGRAM), {"--send", dir.filePath("B.syx"), "--out", box.listens(),
                                          "--speed", "300", "--library", library});
    ASSERT_TRUE(b.waitForStarted());
    QThread::msleep(2500);
    ::kill(static_cast<pid_t>(b.processId()), SIGINT);
    ASSERT_TRUE(b.waitForFinished(10000));
    EXPECT_EQ(b.exitCode(), 128 + SIGINT);
    const QString said = QString::fromLocal8Bit(b.readAllStandardError());
    EXPECT_TRUE(said.contains(QRegularExpression("the box got \\d+ of the 1543 bytes of the dump")))
        << said.toStdString();
    EXPECT_EQ(box.dumps(), 1);

    lines = held();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    const QRegularExpression broken("^sent to vkvheldbox:in, broke off after \\d+ of 1543 bytes\\t"
                                    "a broken or unknown configuration since \\d{4}-\\d\\d-\\d\\d "
                                    "\\d\\d:\\d\\d:\\d\\d \\(what was sent: B, not verified\\)$");
    for (const QString &line : lines)
        EXPECT_TRUE(broken.match(line.section(u'\t', 2)).hasMatch()) << line.toStdString();
    EXPECT_EQ(lines[0].section(u'\t', 1), lines[1].section(u'\t', 1));
}
