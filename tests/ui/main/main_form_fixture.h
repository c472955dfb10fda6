#pragma once

#include "support/schedule_builder.h"
#include "support/test_context.h"

#include "model/schedule.h"
#include "model/schedule_file.h"
#include "ui/document/schedule_list_view.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/main/main_form.h"
#include "ui/main/shape_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace velmo::test {

// An advance entry on one day of 20yy, 0:00 to 23:00, with `files` numbered details D<first>.MP3, ...
inline AdvanceEntry MakeAdvance(int year, int month, int day, int weekDay, int files, int first = 0) {
    const std::string date = FormatIsoDate({kFirstYear + year, month, day});
    return Period(date, date, weekDay, "00:00:00", "23:00:00", Files("D", files, first));
}

inline void AddBasic(Schedule& schedule, const FileEntry& entry) {
    schedule.basicEntries.resize(static_cast<std::size_t>(schedule.basicCount) + 1);
    schedule.basicEntries[static_cast<std::size_t>(schedule.basicCount)] = entry;
    ++schedule.basicCount;
}

inline void AddAdvance(Schedule& schedule, const AdvanceEntry& entry) {
    schedule.advanceEntries.resize(static_cast<std::size_t>(schedule.advanceCount) + 1);
    schedule.advanceEntries[static_cast<std::size_t>(schedule.advanceCount)] = entry;
    ++schedule.advanceCount;
}

// MainForm's controls, found by object name as a user (or a screen reader) finds them.
template <typename T> T* Control(const QObject& form, const QString& name) {
    T* control = form.findChild<T*>(name);
    if (!control)
        ADD_FAILURE() << "no control named " << name.toStdString();
    return control;
}
inline ScheduleListView* List(const QObject& form, const char* name) {
    return Control<ScheduleListView>(form, QString::fromLatin1(name));
}
inline QPushButton* Button(const QObject& form, const char* name) {
    return Control<QPushButton>(form, QString::fromLatin1(name));
}
inline QGroupBox* Frame(const QObject& form, const char* name) {
    return Control<QGroupBox>(form, QString::fromLatin1(name));
}
inline QMenu* Menu(const QObject& form, const char* name) {
    return Control<QMenu>(form, QString::fromLatin1(name));
}
inline QAction* Action(const QObject& form, const char* name) {
    return Control<QAction>(form, QString::fromLatin1(name));
}
inline QTimer* Timer(const QObject& form, const char* name) {
    return Control<QTimer>(form, QString::fromLatin1(name));
}
inline QLabel* Label(const QObject& form, const char* name) {
    return Control<QLabel>(form, QString::fromLatin1(name));
}
// Bar i of the colour strip (7 leftmost, 0 rightmost).
inline ShapeBar* Bar(const QObject& form, std::size_t i) {
    return Control<ShapeBar>(form, QStringLiteral("Shape1_%1").arg(i));
}

inline std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Row `row` of a list as shown and as a screen reader reads it.
inline QString RowText(const ScheduleListView* list, int row) {
    return list->model()->index(row, 0).data().toString();
}

inline QStringList Rows(const ScheduleListView* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << RowText(list, i);
    return rows;
}

// The rows of one of the other windows' lists.
inline QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

// Where row `row` of a list is drawn, for a click on it.
inline QRect RowRect(const ScheduleListView* list, int row) {
    return list->visualRect(list->model()->index(row, 0));
}

inline bool RowSelected(const ScheduleListView* list, int row) {
    return list->selectionModel()->isSelected(list->model()->index(row, 0));
}

inline std::vector<bool> Enabled(std::initializer_list<const QPushButton*> buttons) {
    std::vector<bool> result;
    for (const QPushButton* button : buttons)
        result.push_back(button->isEnabled());
    return result;
}

inline QString ClassOf(QWidget* dialog) {
    return QString::fromLatin1(dialog->metaObject()->className());
}

// What an entry editor shows the user: its caption, and the file name typed in it or the start date
// and week day chosen in it.
inline QString EditorShows(QWidget* dialog) {
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText")))
        return dialog->windowTitle() + QStringLiteral(": ") + name->text();
    QStringList chosen;
    for (const char* combo : {"StartYearCombo", "StartMonthCombo", "StartDayCombo", "WeekdayCombo"})
        if (auto* box = dialog->findChild<QComboBox*>(QString::fromLatin1(combo)))
            chosen << box->currentText();
    return dialog->windowTitle() + QStringLiteral(": ") + chosen.join(QLatin1Char(' '));
}

// Runs action and reports the modal dialog it opened, as `describe` tells it (its class unless told),
// or "" when none opened; closes it.
inline QString OpenedDialog(const std::function<void()>& action,
                            const std::function<QString(QWidget*)>& describe = ClassOf) {
    QString seen;
    QTimer::singleShot(0, qApp, [&seen, &describe] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = describe(dialog);
            dialog->close();
        }
    });
    action();
    // When nothing opened, the probe still has to run before `seen` goes out of scope.
    QCoreApplication::processEvents();
    return seen;
}

// Runs action; when it opens a modal dialog, fill() works on it (and must end it).
inline void WithDialog(const std::function<void()>& action, const std::function<void(QWidget*)>& fill) {
    bool opened = false;
    QTimer::singleShot(0, qApp, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            opened = true;
            fill(dialog);
            // The file editor's OK goes on once the media folders have answered about the typed name.
            if (auto* editor = qobject_cast<ScheduleEditForm*>(dialog))
                while (editor->lookingUp())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (dialog->isVisible())
                dialog->close();
        }
    });
    action();
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened);
}

class MainFormTest : public ::testing::Test {
protected:
    TestContext tc;
    std::unique_ptr<MainForm> form;

    std::string app() const { return tc.appPath(); }
    AppState& state() { return tc.state; }
    Schedule& schedule() { return tc.state.schedule; }

    void start() { form = std::make_unique<MainForm>(tc.context, tc.appPath()); }

    std::string makeDir(const std::string& name) {
        QDir().mkpath(QString::fromStdString(app() + name));
        return app() + name + "/";
    }

    void writeSchedule(const std::string& directory, const std::string& name, const Schedule& s) {
        ASSERT_TRUE(WriteScheduleFile(directory, name, s, tc.random).ok);
    }

    void writeSettings(const std::string& scheduleDir, const std::string& scheduleFileName,
                       const std::string& openDir = "/open/", const std::string& saveDir = "/save/") {
        WriteText(app() + "SystemInfo.txt", "\"" + openDir + "\"\r\n\"" + saveDir + "\"\r\n\"" + scheduleDir +
                                                "\"\r\n\"" + scheduleFileName +
                                                "\"\r\n\"/media/\"\r\n\"/mnt\",\"/mnt/x\"\r\n");
    }

    // Puts a schedule into the model and the lists as Open does.
    void load(const Schedule& s) {
        schedule() = s;
        form->ShowBasicList();
        form->ShowAdvanceList();
        form->ShowDetailList();
        form->ButtonStatusSetup();
    }

    QStringList shownMessages() const { return tc.prompts.messages(); }
};

} // namespace velmo::test
