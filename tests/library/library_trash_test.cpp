// Deleting and bringing back: to the desktop's trash and back with the notes, under a free name
// when the name was taken meanwhile, and nothing changed when the index cannot take a delete or a
// rename. Real files in a temporary folder, a real SQLite index.
#include "LibraryFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace libraryfixture;

TEST_F(LibraryTest, DeleteGoesToTheTrashAndComesBackWithItsNotes) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "keep me"));
    const auto trashed = library.trash(*library.named("Gig"));
    ASSERT_TRUE(trashed) << library.error().toStdString();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(trashed->inTrash));
    EXPECT_TRUE(trashed->inTrash.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/"))
        << trashed->inTrash.toStdString();
    EXPECT_TRUE(library.entries().empty());
    ASSERT_TRUE(library.restore(*trashed)) << library.error().toStdString();
    EXPECT_EQ(files(), QStringList{"Gig.syx"});
    EXPECT_FALSE(QFileInfo::exists(trashed->inTrash));
    EXPECT_EQ(library.named("Gig")->notes, "keep me");
}

TEST_F(LibraryTest, ANewConfigurationUnderADeletedOnesNameLeavesItsNotesToComeBackWithIt) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "A"));
    ASSERT_TRUE(library.setNotes(*library.named("A"), "the first"));
    const auto a = library.trash(*library.named("A"));
    ASSERT_TRUE(a);
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 2}}), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "old"));
    ASSERT_TRUE(library.setFavourite(*library.named("Gig"), true));
    const auto gig = library.trash(*library.named("Gig"));
    ASSERT_TRUE(gig);
    {
        // Another program takes the name meanwhile, as --library-add FILE --name Gig does.
        Library other;
        ASSERT_TRUE(other.open(folder()));
        ASSERT_TRUE(other.add(defaults(), "Gig")) << other.error().toStdString();
    }
    ASSERT_TRUE(library.refresh());
    EXPECT_EQ(library.named("Gig")->notes, "");
    EXPECT_FALSE(library.named("Gig")->favourite);

    // Each comes back with its notes, the one whose name is taken under a free one.
    ASSERT_TRUE(library.restore(*gig)) << library.error().toStdString();
    ASSERT_TRUE(library.restore(*a)) << library.error().toStdString();
    EXPECT_EQ(titles(library.entries()), (QStringList{"A", "Gig", "Gig (restored)"}));
    EXPECT_EQ(library.named("Gig (restored)")->notes, "old");
    EXPECT_TRUE(library.named("Gig (restored)")->favourite);
    EXPECT_EQ(library.read(*library.named("Gig (restored)")), withRecords({{true, 0, 0xB0, 2}}));
    EXPECT_EQ(library.named("Gig")->notes, "");
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
    EXPECT_EQ(library.named("A")->notes, "the first");
    // A name whose file went stays taken until it is deleted: its file may come back.
    ASSERT_TRUE(QFile::remove(folder() + "/A.syx"));
    ASSERT_TRUE(library.refresh());
    EXPECT_FALSE(library.add(defaults(), "a"));
    EXPECT_EQ(library.error(), "The name \"a\" is taken already (by \"A\").");
}

TEST_F(LibraryTest, RenamingOntoADeletedOnesNameMovesTheNotesWithTheRenamedOne) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "old"));
    const auto gig = library.trash(*library.named("Gig"));
    ASSERT_TRUE(gig);
    ASSERT_TRUE(library.add(defaults(), "Draft"));
    ASSERT_TRUE(library.setNotes(*library.named("Draft"), "mine"));
    ASSERT_TRUE(library.rename(*library.named("Draft"), "Gig")) << library.error().toStdString();
    EXPECT_EQ(titles(library.entries()), QStringList{"Gig"});
    EXPECT_FALSE(library.named("Gig")->missing);
    EXPECT_EQ(library.named("Gig")->notes, "mine");
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
    ASSERT_TRUE(library.restore(*gig)) << library.error().toStdString();
    EXPECT_EQ(library.named("Gig (restored)")->notes, "old");
    EXPECT_EQ(library.named("Gig")->notes, "mine");
}

TEST_F(LibraryTest, ADeleteOrRenameTheIndexCannotTakeChangesNothingAndSaysWhy) {
    Library library(200);
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "keep me"));
    const Library::Entry gig = *library.named("Gig");
    {
        // Another program holds the index's write past the timeout.
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "holder");
        other.setDatabaseName(folder() + "/index/library.sqlite");
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        EXPECT_FALSE(library.trash(gig));
        EXPECT_EQ(library.error(), "\"Gig\" was not deleted: the library's index is in use by "
                                   "another program (it stayed locked).");
        EXPECT_FALSE(library.rename(gig, "Studio"));
        EXPECT_EQ(library.error(), "\"Gig\" was not renamed: the library's index is in use by "
                                   "another program (it stayed locked).");
        EXPECT_EQ(files(), QStringList{"Gig.syx"});
        ASSERT_TRUE(hold.exec("ROLLBACK"));
        hold.finish();
        other.close();
    }
    QSqlDatabase::removeDatabase("holder");
    ASSERT_TRUE(library.refresh());
    ASSERT_EQ(titles(library.entries()), QStringList{"Gig"});
    EXPECT_FALSE(library.named("Gig")->missing);
    EXPECT_EQ(library.named("Gig")->notes, "keep me");
    // Once the index is free, both happen whole.
    ASSERT_TRUE(library.rename(gig, "Studio"));
    ASSERT_TRUE(library.trash(*library.named("Studio")));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(library.entries().empty());
}
