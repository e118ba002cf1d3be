// The library's search: words over names, notes and tags, and content terms that hold for one
// record together. Real files in a temporary folder, a real SQLite index.
#include "LibraryFixture.h"
#include "LibraryQuery.h"

#include <gtest/gtest.h>

using namespace libraryfixture;
using vkv::library::LibraryQuery;

TEST_F(LibraryTest, ContentTermsOfOneQueryHoldForOneRecordTogether) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    // The defaults send controllers 0 to 127 on channel 1 from pots 1.1 to 8.16, and
    // controllers 0 to 7 on channels 1 to 16 from the other pots.
    ASSERT_TRUE(library.add(defaults(), "Default"));
    ASSERT_TRUE(library.add(withRecords({{true, 18, 0xBF, 74}}), "Filter"));
    ASSERT_TRUE(library.add(withRecords({{false, 8, 0x99, 36}, {true, 36, 0xC9, 5}}), "Drums"));
    ASSERT_TRUE(library.setTags(*library.named("Default"), {"live"}));
    ASSERT_TRUE(library.setNotes(*library.named("Drums"), "The kit for the second half"));
    const struct {
        const char *query;
        QStringList found; // "name: records"
    } table[] = {
        {"cc:74", {"Default: Pot 5.11", "Drums: Pot 5.11", "Filter: Pot 2.3, Pot 5.11"}},
        {"ch:16 cc:74", {"Filter: Pot 2.3"}},
        {"cc:74 ch:16", {"Filter: Pot 2.3"}},
        {"ch:16 cc:7", {"Default: Pot 16.16", "Drums: Pot 16.16", "Filter: Pot 16.16"}},
        {"note:C2", {"Drums: Button 2.1"}},
        {"note:36 ch:10", {"Drums: Button 2.1"}},
        {"pc:5 ch:10", {"Drums: Pot 3.5"}},
        {"pot:3.5 pc:5", {"Drums: Pot 3.5"}},
        {"button:2.1 note:36", {"Drums: Button 2.1"}},
        {"button:2.1 cc:74", {}},
        {"filter", {"Filter: "}},
        {"LIVE cc:74", {"Default: Pot 5.11"}},
        {"second half", {"Drums: "}},
        {"half second", {"Drums: "}},
        {"\"second half\"", {"Drums: "}},
        {"\"half second\"", {}},
        {"\"kit for the\" cc:74", {"Drums: Pot 5.11"}},
        {"ch:1 cc:74 pot:5.11 drums", {"Drums: Pot 5.11"}},
    };
    const auto entries = library.entries();
    for (const auto &row : table) {
        const LibraryQuery query = LibraryQuery::parse(row.query);
        ASSERT_TRUE(query.valid()) << row.query << ": " << query.error().toStdString();
        QStringList found;
        for (const Library::Hit &hit : library.search(query, entries))
            found << hit.entry.name + ": " + hit.records.text();
        found.sort();
        EXPECT_EQ(found, row.found) << row.query;
    }
    const LibraryQuery many = LibraryQuery::parse("ch:1");
    EXPECT_EQ(
        many.matchingRecords(LibraryQuery::decode(defaults())).text(),
        "Pot 1.1, Pot 1.2, Pot 1.3, Pot 1.4, Pot 1.5, Pot 1.6, Pot 1.7, Pot 1.8 and 200 more");
    for (const char *wrong : {"cc:x", "cc:128", "ch:0", "note:H2", "pot:17.1", "button:1.9"})
        EXPECT_FALSE(LibraryQuery::parse(wrong).valid()) << wrong;
    EXPECT_EQ(LibraryQuery::parse("pot:3").error(),
              "\"pot:3\": pot: takes a bank and a pot, 1.1 to 16.16 (pot:3.5).");
}
