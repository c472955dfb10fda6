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
#include <QEvent>
#include <QIcon>
#include <QTimer>

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
    SingleInstanceLock instanceLock;
    if (!instanceLock.tryLock()) {
        // Before any screen text is loaded, and nothing is written.
        prompts.messageUntitled(nullptr, toQt(EnglishText(TextId::MsgProgramRunning)));
        return 0;
    }

    AppState state;
    ScreenTexts texts;
    SystemClock clock;
    SeededRandomSource random(clockSeed());
    SystemVolumeList volumes;
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
    mainForm = &form;
    // A session manager may end the event loop without closing any window.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.EndSession(); });
    form.show();
    const int code = app.exec();
    mainForm = nullptr;
    return code;
}

} // namespace velmo
