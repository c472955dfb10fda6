// The windows on a 1366 x 768 laptop screen: every window and every button on screen, at 100 % and
// at 125 % (--scale=1.25), with room left for a title bar and a desktop panel.

#include "support/find_control.h"
#include "ui/main/main_form_fixture.h"

#include "ui/overview/schedule_overview_form.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/window_placement.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>
#include <vector>

namespace velmo::test {
namespace {

// What a desktop takes from the screen beyond the window itself.
constexpr int kTitleBar = 32;
constexpr int kPanel = 40;

QRect screenArea(const QWidget& window) {
    return window.screen()->availableGeometry();
}

std::string describe(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

// The window within the screen with room for its title bar, its smallest size with room for a panel
// too, and every button shown whole inside it.
void expectOnScreen(QWidget& window) {
    QCoreApplication::processEvents();
    const QRect area = screenArea(window);
    const std::string name = window.objectName().toStdString();
    EXPECT_TRUE(area.contains(window.frameGeometry()))
        << name << " at " << describe(window.frameGeometry()) << " on " << describe(area);
    const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
    EXPECT_LE(smallest.height() + kTitleBar + kPanel, area.height()) << name;
    EXPECT_LE(smallest.width(), area.width()) << name;
    // The area a real desktop leaves free is without its panel already.
    EXPECT_LE(window.height() + kTitleBar, area.height()) << name;
    int buttons = 0;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&window) || button->window() != &window)
            continue;
        ++buttons;
        const QRect inWindow(button->mapTo(&window, QPoint(0, 0)), button->size());
        EXPECT_TRUE(window.rect().contains(inWindow))
            << name << ": " << button->objectName().toStdString() << " at " << describe(inWindow);
        EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect())
            << button->objectName().toStdString();
        EXPECT_GE(button->width(), button->minimumSizeHint().width()) << button->objectName().toStdString();
    }
    EXPECT_GT(buttons, 0) << name;
}

void saveScreenshot(QWidget& window, const char* what) {
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    window.grab().save(QStringLiteral("/tmp/velmo-screen-%1-%2.png").arg(QLatin1String(what), scale));
}

class ScreenFitTest : public MainFormTest {
protected:
    void SetUp() override {
        start();
        Schedule s;
        AddBasic(s, MakeFile("LOOP", "MPG", 1, 13));
        AdvanceEntry may = MakeAdvance(7, 5, 1, 7, 2);
        may.stopDay = 31; // today, 2007-05-31, among its days
        AddAdvance(s, may);
        load(s);
        form->show();
        QCoreApplication::processEvents();
    }
};

TEST_F(ScreenFitTest, StatusBarNotice_leavesTheLayoutWhereItWas) {
    const QRect listBefore = List(*form, "AdvanceList")->geometry();
    const int barBefore = form->statusBar()->height();
    // A second period on the same days: the editor's OK brings the notice about the overlap.
    QTimer::singleShot(0, qApp, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
    });
    form->findChild<QPushButton*>(QStringLiteral("AdvanceAddCmd"))->click();
    QCoreApplication::processEvents();
    auto* notice = form->findChild<QWidget*>(QStringLiteral("OverviewNotice"));
    ASSERT_NE(notice, nullptr);
    ASSERT_TRUE(notice->isVisible());
    EXPECT_EQ(form->statusBar()->height(), barBefore);
    EXPECT_EQ(List(*form, "AdvanceList")->geometry(), listBefore);
    saveScreenshot(*form, "notice");
    expectOnScreen(*form);
}

// Every window, opened as a user opens it and checked once it is ready; dialogs are closed again.
TEST_F(ScreenFitTest, EveryWindow_wholeOnScreenWithEveryButton) {
    const auto modal = [] { return QApplication::activeModalWidget(); };
    const auto click = [this](const char* button) {
        return [this, button] { form->findChild<QPushButton*>(QString::fromLatin1(button))->click(); };
    };
    const auto trigger = [this](const char* action) {
        return [this, action] { form->findChild<QAction*>(QString::fromLatin1(action))->trigger(); };
    };
    const struct {
        const char* what;
        std::function<void()> open;
        std::function<QWidget*()> ready; // the window once it can be checked, else null
        std::function<void(QWidget&)> alsoWhole = [](QWidget&) {};
    } windows[] = {
        {"main", [] {}, [this]() -> QWidget* { return form.get(); }},
        {"overview", trigger("subScheduleOverview"),
         [this]() -> QWidget* {
             return form->findChild<ScheduleOverviewForm*>(QStringLiteral("ScheduleOverviewForm"));
         },
         [](QWidget& overview) {
             auto* problems = overview.findChild<QWidget*>(QStringLiteral("ProblemsList"));
             ASSERT_NE(problems, nullptr);
             EXPECT_TRUE(
                 overview.rect().contains(QRect(problems->mapTo(&overview, QPoint(0, 0)), problems->size())));
             EXPECT_GE(problems->height(), 2 * problems->fontMetrics().height());
         }},
        {"basic-editor", click("NormalAddCmd"), modal},
        {"advance-editor", click("AdvanceAddCmd"), modal},
        {"detail-editor",
         [this, click] {
             List(*form, "AdvanceList")->setCurrentRow(0);
             click("DetailAddCmd")();
         },
         modal},
        {"about-program", trigger("subAboutVelmoScheduleGenerator"), modal},
        {"about-company", trigger("subAboutCompany"), modal},
        // Checked once it has listed the drives and shown its plan.
        {"write-to-medium", trigger("subWriteToMedium"),
         [this]() -> QWidget* {
             auto* dialog = qobject_cast<WriteToMediumForm*>(QApplication::activeModalWidget());
             return dialog != nullptr && WritePlanShown(dialog, screenText(tc.texts, TextId::TextPlanPending))
                        ? dialog
                        : nullptr;
         }},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.what);
        bool checked = false;
        // A window that never becomes ready is closed, so a dialog's own loop cannot hold the test.
        QDeadlineTimer patience(30000);
        std::function<void()> check = [&] {
            QWidget* shown = window.ready();
            if (shown == nullptr && !patience.hasExpired())
                return QTimer::singleShot(10, qApp, check);
            if (shown != nullptr) {
                expectOnScreen(*shown);
                window.alsoWhole(*shown);
                saveScreenshot(*shown, window.what);
                checked = true;
            }
            if (QWidget* dialog = shown != nullptr ? shown : modal();
                dialog != nullptr && dialog != form.get())
                dialog->close();
        };
        QTimer::singleShot(0, qApp, check);
        window.open();
        EXPECT_TRUE(QTest::qWaitFor([&checked] { return checked; }, 30000));
    }
}

TEST(WindowPlacement, BesideTheAnchorWhereThereIsRoom_elseWithinTheScreen) {
    QWidget anchor;
    anchor.resize(300, 200);
    anchor.move(100, 100);
    anchor.show();
    QWidget window;
    window.resize(200, 150);
    const QRect area = screenArea(anchor);

    PlaceBeside(window, anchor);
    EXPECT_EQ(window.pos(), QPoint(anchor.frameGeometry().right() + 1, anchor.frameGeometry().top()));

    // No room to its right: to its left.
    anchor.move(area.right() - 350, 100);
    PlaceBeside(window, anchor);
    EXPECT_EQ(window.pos(), QPoint(anchor.frameGeometry().left() - 200 - 8, anchor.frameGeometry().top()));

    // No room on either side for its whole width: narrowed into the wider side, still beside it,
    // inside the screen.
    window.resize(area.width() - 100, 150);
    PlaceBeside(window, anchor);
    EXPECT_GE(window.x(), area.left());
    EXPECT_LE(window.x() + window.width(), area.right() + 1);
    EXPECT_LT(window.width(), area.width() - 100);
    EXPECT_LE(window.x() + window.width() + 4, anchor.frameGeometry().left());

    // Narrowed no further than its minimum, then partly over the anchor, still inside the screen.
    window.setMinimumWidth(area.width() - 100);
    PlaceBeside(window, anchor);
    EXPECT_EQ(window.width(), area.width() - 100);
    EXPECT_GE(window.x(), area.left());
    EXPECT_LE(window.x() + window.width(), area.right() + 1);
    window.setMinimumWidth(0);

    // Larger than the screen: shrunk to it, frame included.
    FitIntoScreen(window, QSize(5000, 5000));
    EXPECT_LE(window.width() + 8, area.width());
    EXPECT_LE(window.height() + 36, area.height());
    EXPECT_GE(window.y(), area.top());
}

} // namespace
} // namespace velmo::test

// The screen is a laptop's, 1366 x 768 pixels; --scale=F sets Qt's scale factor.
int main(int argc, char** argv) {
    std::vector<char*> arguments;
    QByteArray scale = "1";
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scale=", 8) == 0)
            scale = argv[i] + 8;
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    qputenv("QT_SCALE_FACTOR", scale);
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    QApplication app(count, arguments.data());
    ::testing::InitGoogleTest(&count, arguments.data());
    return velmo::EndAfterDetachedWork(RUN_ALL_TESTS());
}
