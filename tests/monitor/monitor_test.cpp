// The monitor's rows from what the ports' tap kept: SysEx pieces folded into one growing row,
// filters, pause and the row cap, and the window's text file.
#include "MonitorModel.h"
#include "MonitorWindow.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Model = vkv::monitor::MonitorModel;
using Entry = vkv::midi::TapQueue::Entry;
using Direction = vkv::midi::MidiTap::Direction;
using Piece = vkv::midi::MidiTap::Piece;
using Clock = vkv::midi::MidiTap::Clock;

const Clock::time_point Origin = Clock::now();

Entry entry(int ms, Direction direction, Piece piece, Bytes bytes) {
    return {Origin + std::chrono::milliseconds(ms), direction, piece,
            direction == Direction::In ? "box:out" : "box:in", std::move(bytes)};
}
Entry out(int ms, Bytes bytes, Piece piece = Piece::Message) {
    return entry(ms, Direction::Out, piece, std::move(bytes));
}
Entry in(int ms, Bytes bytes, Piece piece = Piece::Message) {
    return entry(ms, Direction::In, piece, std::move(bytes));
}

QString words(const Model &model, int row) {
    return model.data(model.index(row, Model::WordsColumn)).toString();
}

// The dump as the paced send hands it over: a 6-byte header, then slices.
std::vector<Bytes> dumpPieces(std::size_t slice) {
    Bytes dump(1543, 0x22);
    const Bytes header{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02};
    std::copy(header.begin(), header.end(), dump.begin());
    dump.back() = 0xF7;
    std::vector<Bytes> pieces{Bytes(dump.begin(), dump.begin() + 6)};
    for (std::size_t at = 6; at < dump.size(); at += slice)
        pieces.emplace_back(dump.begin() + static_cast<std::ptrdiff_t>(at),
                            dump.begin() +
                                static_cast<std::ptrdiff_t>(std::min(at + slice, dump.size())));
    return pieces;
}

} // namespace

TEST(MonitorModel, SysExPiecesFoldIntoOneRowThatGrowsUntilTheMessageEnds) {
    Model model(vkv::monitor::MonitorWindow::ourSysEx(), Origin);
    const std::vector<Bytes> paced = dumpPieces(3);
    std::vector<Entry> batch;
    std::size_t sent = 0;
    for (std::size_t i = 0; i < 275; ++i) {
        batch.push_back(out(static_cast<int>(i) * 30, paced[i], Piece::SysEx));
        sent += paced[i].size();
    }
    model.add(std::move(batch));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(words(model, 0), QString("SysEx dump going out: %1 of 1543 bytes").arg(sent));
    EXPECT_EQ(sent, 828u);

    // The rest in a later batch, with an incoming controller and a clock between the pieces.
    batch.clear();
    batch.push_back(in(8300, {0xB0, 7, 64}));
    batch.push_back(out(8400, {0xF8}));
    for (std::size_t i = 275; i < paced.size(); ++i)
        batch.push_back(out(15700, paced[i], Piece::SysEx));
    model.add(std::move(batch));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(words(model, 0), "SysEx 1543 bytes sent paced in 15.7 s");
    EXPECT_EQ(model.data(model.index(0, Model::BytesColumn)).toString(),
              "F0 00 00 7E 42 02 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 "
              "22 22 22 22 ... F7 (1543 bytes)");
    EXPECT_EQ(words(model, 1), "Controller ch 1 #7 = 64");
    EXPECT_EQ(model.data(model.index(1, Model::DirectionColumn)).toString(), "IN");
    EXPECT_EQ(model.data(model.index(1, Model::TimeColumn)).toString(), "8300");

    // An input's chunks of a dump are one message; one that broke off, and a send cut by a status
    // byte or by the next message, say so.
    const std::vector<Bytes> chunks = dumpPieces(128);
    batch.clear();
    for (const Bytes &chunk : chunks)
        batch.push_back(in(16000, chunk, Piece::SysEx));
    batch.push_back(in(16100, chunks[0], Piece::SysEx));
    batch.push_back(in(16100, {}, Piece::SysExBroken));
    batch.push_back(out(16200, paced[0], Piece::SysEx));
    batch.push_back(out(16300, {0xB0, 1, 2}));
    batch.push_back(out(16400, paced[0], Piece::SysEx));
    batch.push_back(out(16500, {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7}, Piece::SysEx));
    model.add(std::move(batch));
    ASSERT_EQ(model.rowCount(), 8);
    EXPECT_EQ(words(model, 2), "SysEx 1543 bytes: configuration dump");
    EXPECT_EQ(words(model, 3), "Broken SysEx: 6 bytes, then its end was lost");
    EXPECT_EQ(words(model, 4), "Broken SysEx: 6 bytes, then its end was lost");
    EXPECT_EQ(words(model, 5), "Controller ch 1 #1 = 2");
    EXPECT_EQ(words(model, 6), "Broken SysEx: 6 bytes, then its end was lost");
    EXPECT_EQ(words(model, 7), "SysEx 7 bytes: dump request");
    // A SysEx counts as one message however many pieces it came in.
    EXPECT_EQ(model.statusText().toStdString(), "9 messages, 8 rows, 1 filtered out");
}

TEST(MonitorModel, FiltersPauseAndTheRowCapCountWhatTheyKeepOut) {
    Model model(vkv::monitor::MonitorWindow::ourSysEx(), Origin);
    model.add({in(1, {0xF8}), in(2, {0xFE}), in(3, {0xFA}), out(4, {0x90, 60, 1})});
    ASSERT_EQ(model.rowCount(), 2); // clock and active sensing are off at first
    EXPECT_EQ(words(model, 0), "Start");

    model.setShown(Direction::In, false);
    model.setShown(vkv::midi::MessageKind::Clock, true);
    model.add({in(5, {0x90, 60, 1}), out(6, {0xF8})});
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(words(model, 2), "Timing Clock");
    model.setPaused(true);
    model.add({out(7, {0x90, 60, 1}), out(8, {0x80, 60, 1})});
    model.setPaused(false);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.statusText().toStdString(),
              "8 messages, 3 rows, 3 filtered out, 2 not shown while paused");

    // The oldest go first, also from a batch larger than all the rows kept; what the tap could
    // not keep is said too. A SysEx whose row went with them folds its end into nothing.
    model.setShown(Direction::In, true);
    std::vector<Entry> flood;
    for (int i = 0; i < Model::MaxRows + 50; ++i)
        flood.push_back(out(10 + i, {0xB0, 7, static_cast<unsigned char>(i % 128)}));
    flood.insert(flood.begin() + 5, in(14, {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02}, Piece::SysEx));
    flood.push_back(in(20000, {0x22, 0xF7}, Piece::SysEx));
    model.add(std::move(flood), 12);
    ASSERT_EQ(model.rowCount(), Model::MaxRows);
    EXPECT_EQ(model.droppedRows(), 54u);
    EXPECT_EQ(model.data(model.index(0, Model::TimeColumn)).toString(), "60");
    EXPECT_EQ(words(model, Model::MaxRows - 1), "Controller ch 1 #7 = 65");
    EXPECT_EQ(model.statusText().toStdString(),
              "10,059 messages, 10,000 rows, 3 filtered out, 2 not shown while paused, the oldest "
              "54 rows dropped (10,000 are kept), 12 missed while the window was busy");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.statusText().toStdString(), "0 messages, 0 rows");
}

TEST(MonitorWindow, SavesAndCopiesItsRowsAsTextOneALine) {
    vkv::monitor::MonitorWindow window;
    const unsigned char controller[3] = {0xB0, 7, 64},
                        request[7] = {0xF0, 0, 0, 0x7E, 0x42, 1, 0xF7};
    window.tap()->passed(Direction::Out, "box:in", Piece::Message, controller, 3);
    window.tap()->passed(Direction::Out, "box:in", Piece::SysEx, request, 7);
    window.readTap();
    QTemporaryDir dir;
    const QString path = dir.filePath("monitor.txt");
    ASSERT_TRUE(window.saveText(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    ASSERT_EQ(lines.size(), 4); // the header, two rows, and the last line's end
    EXPECT_EQ(lines[0], "Time (ms)\tDir\tPort\tBytes\tMessage");
    EXPECT_TRUE(lines[1].endsWith("\tOUT\tbox:in\tB0 07 40\tController ch 1 #7 = 64"));
    EXPECT_TRUE(
        lines[2].endsWith("\tOUT\tbox:in\tF0 00 00 7E 42 01 F7\tSysEx 7 bytes: dump request"));
    // Ctrl+C copies the rows chosen, the same way.
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto *table = window.findChild<QTableView *>("MonitorRows");
    table->selectAll();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              (lines[1] + '\n' + lines[2] + '\n').toStdString());

    QString why;
    EXPECT_FALSE(window.saveText(dir.filePath("no/such/folder/monitor.txt"), &why));
    EXPECT_FALSE(why.isEmpty());
}
