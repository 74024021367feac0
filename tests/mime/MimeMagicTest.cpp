// The desktop's file type for data files, read by Qt's implementation of the shared MIME
// database from resources/notarium-mime.xml alone: it matches every new database by its
// content and no text file, also not one that begins with "nota".
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QMimeDatabase>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

TEST(MimeMagicTest, MatchesNewDatabasesAndNoTextFile) {
    CTempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.File("share/mime/packages"));
    fs::copy_file(NOTA_SOURCE_DIR "/resources/notarium-mime.xml",
                  dir.File("share/mime/packages/notarium.xml"));
    // Only this description: no user or system database in the way.
    ::setenv("XDG_DATA_HOME", dir.File("home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", dir.File("share").c_str(), 1);
    QMimeDatabase mime;
    const QString type = QStringLiteral("application/x-notarium");
    ASSERT_TRUE(mime.mimeTypeForName(type).isValid()) << "the description was not read";

    std::string db = dir.File("by content only");
    ASSERT_EQ(Nota({"new", db}).status, 0);
    std::vector<BYTE> bytes = ReadFileBytes(db);
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    EXPECT_EQ(mime.mimeTypeForData(data).name(), type);
    // A database with items and texts starts the same way.
    Nota({"add", db, "Notarium/Memo"});
    Nota({"put", db, "Notarium/Memo"}, "text\n");
    EXPECT_EQ(mime.mimeTypeForFile(QString::fromStdString(db), QMimeDatabase::MatchContent).name(),
              type);

    for (const std::string& text :
         {std::string("notable things to remember\n"), std::string("nota bene: all zeros?\n"),
          std::string("nota") + std::string(11, '\0') + "x" + std::string(20, '\0'),
          std::string("nota"), std::string("NOTA") + std::string(28, '\0')}) {
        SCOPED_TRACE(text.substr(0, 16));
        EXPECT_NE(mime.mimeTypeForData(Bytes(text)).name(), type);
    }
}
