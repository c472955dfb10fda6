#include "editor_app.h"

#include "model/app_state.h"
#include "model/random_source.h"
#include "texts/screen_texts.h"
#include "ui/about/velmo_logo.h"
#include "ui/copy/copy_form.h"
#include "ui/main/app_path.h"
#include "ui/main/main_form.h"
#include "ui/platform/accessibility.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/prompts.h"
#include "ui/platform/single_instance.h"
#include "ui/platform/termination_signals.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QUrl>

#include <chrono>

namespace {

bool quitRequested = false;
// The running window, told first that the session ends so it asks nothing and keeps unsaved changes.
velmo::MainForm* mainForm = nullptr;

void closeAllWindows() {
    quitRequested = true;
    if (mainForm != nullptr)
        mainForm->EndSession();
    QApplication::closeAllWindows();
}

// Counts from the end of the first painted frame of any window (the main window, or a message
// shown while starting), so even 0 lets the program show itself once before it closes.
class QuitAfterFirstFrame final : public QObject {
public:
    QuitAfterFirstFrame(int milliseconds, QObject* parent) : QObject(parent), milliseconds_(milliseconds) {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            qApp->removeEventFilter(this);
            // A timer event comes only after this paint and the rest of its frame are done.
            QTimer::singleShot(milliseconds_, qApp, closeAllWindows);
        }
        return false;
    }

private:
    int milliseconds_;
};

void closeWindowsAfterStartIfAsked(QObject* owner) {
    bool ok = false;
    const int milliseconds = qEnvironmentVariableIntValue("VELMO_QUIT_AFTER_START_MS", &ok);
    if (ok && milliseconds >= 0)
        new QuitAfterFirstFrame(milliseconds, owner);
}

// The schedule file named on the command line (a launcher's %f), absolute, so a running editor
// started elsewhere finds it too, and spelled as the system spells it (Qt's "C:/x" is "C:\x" on
// Windows, as every folder the editor shows); empty when none is named.
QString startFile(const QStringList& arguments) {
    bool optionsEnd = false;
    for (const QString& argument : arguments.mid(1)) {
        if (!optionsEnd && argument == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && argument.startsWith(QLatin1Char('-')))
            continue;
        const QString path =
            argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
        return path.isEmpty() ? path : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    }
    return {};
}

void bringForward(QWidget& window) {
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

// A file handed over while a dialog or message is open waits until it is closed, so nothing the
// user is in the middle of is replaced behind their back.
void openWhenFree(velmo::MainForm& form, const QString& file) {
    if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr) {
        QTimer::singleShot(250, &form, [&form, file] { openWhenFree(form, file); });
        return;
    }
    form.OpenScheduleFile(velmo::fromQt(file));
}

std::uint64_t clockSeed() {
    return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace

namespace velmo {

int RunEditor(QApplication& app) {
    QCoreApplication::setApplicationName(QStringLiteral("velmo-schedule-generator"));
    // Ties the windows to the installed launcher and its icon (Wayland's app id, task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.VelmoScheduleGenerator"));
    // A shipped bitmap: drawing the vector logo here cost every start-up the SVG renderer.
    QApplication::setWindowIcon(VelmoWindowIcon());
    InstallAccessibilitySupport();
    const TerminationSignals terminationSignals(closeAllWindows);
    closeWindowsAfterStartIfAsked(&app);

    QtPrompts prompts;
    const QString file = startFile(QCoreApplication::arguments());
    SingleInstanceLock instanceLock;
    if (!instanceLock.tryLock()) {
        // The running editor opens the file; without one it only comes forward, and this start
        // says why it ends. Before any screen text is loaded, and nothing is written.
        if (!InstanceHandOver::send(instanceLock.directory(), file) || file.isEmpty())
            prompts.messageUntitled(nullptr, toQt(EnglishText(TextId::MsgProgramRunning)));
        return 0;
    }
    InstanceHandOver handOver(instanceLock.directory());

    AppState state;
    state.documentsDir = DocumentsDirectory();
    ScreenTexts texts;
    SystemClock clock;
    SeededRandomSource random(clockSeed());
    // Outlives the windows: a worker may still be inside it, asking a drive that never answers, until
    // the program ends.
    static SystemVolumeList volumes;
    DesktopLinkOpener links;
    AppContext context{state, texts, prompts, clock, random, volumes, links, {}};
    context.showCopyForm = [&context](QWidget* parent, const QString& fileName) {
        CopyForm form(context, fileName, parent);
        form.exec();
    };

    MainForm form(context, ApplicationDirectory());
    if (quitRequested) {
        // Asked to end while starting up: end as the session's end would.
        form.EndSession();
        return 0;
    }
    if (!file.isEmpty())
        form.OpenScheduleFile(fromQt(file));
    QObject::connect(&handOver, &InstanceHandOver::raiseRequested, &form, [&form] { bringForward(form); });
    QObject::connect(&handOver, &InstanceHandOver::openRequested, &form, [&form](const QString& handed) {
        bringForward(form);
        openWhenFree(form, handed);
    });
    // Only now: a request taken while the start-up still asked something would reach no window.
    handOver.listen();
    mainForm = &form;
    // A session manager may end the event loop without closing any window.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.EndSession(); });
    form.show();
    const int code = app.exec();
    mainForm = nullptr;
    return code;
}

} // namespace velmo
