#include "main_form_fixture.h"

#include "media/media_files.h"
#include "ui/document/entry_list_model.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_media.h"

#include <QAccessible>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

namespace velmo::test {
namespace {

enum class Shown { None, Red, Blue, Other };

QImage decoration(const EntryListModel* rows, int row) {
    return rows->index(row).data(Qt::DecorationRole).value<QPixmap>().toImage();
}

// What the middle of a row's thumbnail shows.
Shown shownBy(const QImage& image) {
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.alpha() == 0)
        return Shown::None;
    if (c.red() > 180 && c.green() < 80 && c.blue() < 80)
        return Shown::Red;
    if (c.blue() > 180 && c.red() < 80 && c.green() < 80)
        return Shown::Blue;
    return Shown::Other;
}

// The decoration of every row asked for, as a painting view asks, then the thumbnails awaited.
bool thumbnailsMade(const EntryListModel* rows) {
    for (int row = 0; row < rows->rowCount(); ++row)
        decoration(rows, row);
    return QTest::qWaitFor([rows] { return rows->thumbnailsPending() == 0; }, 60000);
}

class ListThumbnailsTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        if (!MediaCanBeMade())
            GTEST_SKIP() << "ffmpeg is not installed";
        shows = makeDir("shows");
        for (const char* name : {"RED.JPG", "BLUE.MPG", "SONG.MP3"})
            ASSERT_TRUE(MakeMedium(shows + name, name)) << name;
        start();
    }

    void open(const Schedule& s) {
        form->document().replace(TextId::TextOpen, DocumentState{s, shows, "show.vlm"}, Replacement::Opened);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !form->media().pending(); }, 60000));
    }

    std::string shows;
};

// A picture scaled and a video's first frame begin their rows in the Basic and Detail lists; a sound
// and a file in no media folder get none, in the same room, so every row's text starts in line.
TEST_F(ListThumbnailsTest, EachPictureAndVideoRowBeginsWithItsThumbnail) {
    Schedule s;
    for (const char* name : {"RED.JPG", "BLUE.MPG", "SONG.MP3", "GONE.JPG"})
        AddBasic(s, MakeFile(std::string(name).substr(0, std::string(name).find('.')),
                             std::string(name).substr(std::string(name).find('.') + 1)));
    AddAdvance(s, Period("2007-05-01", "2007-05-31", kWeekDayAll, "00:00:00", "23:59:59",
                         {MakeFile("BLUE", "MPG"), MakeFile("GONE", "MPG"), MakeFile("RED", "JPG")}));
    open(s);
    List(*form, "AdvanceList")->setCurrentRow(0);

    const struct {
        const char* list;
        std::vector<Shown> shown;
    } cases[] = {
        {"NormalList", {Shown::Red, Shown::Blue, Shown::None, Shown::None}},
        {"DetailList", {Shown::Blue, Shown::None, Shown::Red}},
    };
    QSize room;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        ScheduleListView* list = List(*form, c.list);
        const EntryListModel* rows = list->rows();
        ASSERT_EQ(rows->rowCount(), static_cast<int>(c.shown.size()));
        ASSERT_TRUE(thumbnailsMade(rows));
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(view, nullptr);
        for (int row = 0; row < rows->rowCount(); ++row) {
            SCOPED_TRACE(row);
            const QImage image = decoration(rows, row);
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(shownBy(image), c.shown[static_cast<std::size_t>(row)]);
            if (room.isEmpty())
                room = image.size();
            EXPECT_EQ(image.size(), room);
            // Decorative: a screen reader still hears the row's text alone.
            QAccessibleInterface* cell = view->child(row);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->text(QAccessible::Name), RowText(list, row));
            EXPECT_EQ(cell->imageInterface(), nullptr);
        }
    }
    // No taller than a line of the list's text: the rows keep their height.
    EXPECT_LE(room.height() / qGuiApp->devicePixelRatio(),
              QFontMetrics(List(*form, "NormalList")->font()).height());
    EXPECT_FALSE(List(*form, "AdvanceList")->rows()->index(0).data(Qt::DecorationRole).isValid());

    form->resize(900, 600);
    form->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->grab().save(QStringLiteral("/tmp/velmo-list-thumbnails-test.png")));
}

// A thumbnail that comes after its row has been given another file is dropped: the row shows the
// new file's once that is made, never the old one's.
TEST_F(ListThumbnailsTest, AThumbnailForARowThatChangedMeanwhileIsDropped) {
    Schedule s;
    AddBasic(s, MakeFile("RED", "JPG"));
    open(s);
    const EntryListModel* rows = List(*form, "NormalList")->rows();
    QSignalSpy changes(rows, &QAbstractItemModel::dataChanged);
    const auto thumbnailsTold = [&changes] {
        int told = 0;
        for (const QList<QVariant>& change : changes)
            told += change.at(2).value<QList<int>>() == QList<int>({Qt::DecorationRole}) ? 1 : 0;
        return told;
    };

    EXPECT_EQ(shownBy(decoration(rows, 0)), Shown::None); // asked for; the answer comes later
    ASSERT_EQ(rows->thumbnailsPending(), 1);
    ASSERT_TRUE(form->document().replaceFile(EntryRef::List::Basic, -1, 0, MakeFile("BLUE", "MPG")));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rows->thumbnailsPending() == 0 && !form->media().pending(); }, 60000));
    EXPECT_EQ(thumbnailsTold(), 0);
    EXPECT_EQ(shownBy(decoration(rows, 0)), Shown::None);

    ASSERT_TRUE(thumbnailsMade(rows));
    EXPECT_EQ(thumbnailsTold(), 1);
    EXPECT_EQ(shownBy(decoration(rows, 0)), Shown::Blue);
}

} // namespace
} // namespace velmo::test
