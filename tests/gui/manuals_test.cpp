// The manuals the Help button opens: built for every document name the
// models use, and found where the program looks.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "ui/manuals.h"

namespace {

const char* const kDocuments[] = {"Essom.pdf", "cindel.pdf", "Arveld.pdf", "dorrin.pdf"};

TEST(Manuals, EveryDocumentIsBuiltAsPdf)
{
    for (const char* document : kDocuments) {
        SCOPED_TRACE(document);
        const QString path = findManual(QString::fromLatin1(document));
        ASSERT_FALSE(path.isEmpty());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(4), QByteArray("%PDF"));
        // A title page alone would be far smaller than a manual with its pictures.
        EXPECT_GT(file.size(), 50 * 1024);
    }
}

TEST(Manuals, NamesThatAreNoManualFindNothing)
{
    // Exact names only: "essom.pdf" is not the Essom's document.
    for (const char* name : {"unknown.pdf", "essom.pdf", "Cindel.pdf", "", "../manual/Essom.pdf", "."}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(findManual(QString::fromLatin1(name)).isEmpty());
    }
}

class ManualFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"build/bin", "build/manual", "installed", "elsewhere/bin"})
            ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(folder)));
    }
    QString at(const char* relative) const { return root.filePath(QString::fromLatin1(relative)); }
    void place(const char* relative) const
    {
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ManualFolders foldersFor(const char* programDir) const
    {
        return {at(programDir), at("build"), at("build/manual"), at("installed")};
    }
    QTemporaryDir root;
};

TEST_F(ManualFoldersTest, TheBuildTreeShowsItsOwnManualsAndOthersTheInstalledOnes)
{
    place("build/manual/dorrin.pdf");
    place("installed/dorrin.pdf");
    place("installed/Essom.pdf");
    struct Case {
        const char* programDir;
        const char* name;
        const char* expected;  // nullptr: not found
    };
    const Case cases[] = {
        {"build/bin", "dorrin.pdf", "build/manual/dorrin.pdf"},
        // Not built: an installed copy does not stand in for it.
        {"build/bin", "Essom.pdf", nullptr},
        {"elsewhere/bin", "dorrin.pdf", "installed/dorrin.pdf"},
        {"elsewhere/bin", "Essom.pdf", "installed/Essom.pdf"},
        {"elsewhere/bin", "cindel.pdf", nullptr},
        // A folder beside the build tree whose name merely starts the same.
        {"build-old", "dorrin.pdf", "installed/dorrin.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.programDir) + " " + c.name);
        const QString found = findManual(QString::fromLatin1(c.name), foldersFor(c.programDir));
        if (c.expected)
            EXPECT_EQ(found, QFileInfo(at(c.expected)).absoluteFilePath());
        else
            EXPECT_TRUE(found.isEmpty()) << found.toStdString();
    }
}

TEST_F(ManualFoldersTest, AFolderNamedLikeAManualIsNone)
{
    ASSERT_TRUE(QDir(root.path()).mkpath("installed/Arveld.pdf"));
    EXPECT_TRUE(findManual("Arveld.pdf", foldersFor("elsewhere/bin")).isEmpty());
}

}  // namespace
