#pragma once

#include <QObject>
#include <memory>
#include <string>

class QTimer;
class QWidget;

namespace velmo {

struct AppContext;
class BackgroundFileWriter;
class ScheduleDocument;

// The file that keeps an unsaved schedule for the next start: written soon after each change while
// the schedule differs from its file, removed once it no longer does, written at once when the
// session ends, and offered back at the next start.
class RecoveryFile : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecoveryFile)
public:
    // `window` is where the questions and messages of the offer are shown.
    RecoveryFile(AppContext& context, ScheduleDocument& document, QWidget* window);
    ~RecoveryFile() override;

    // After start-up: offers what an earlier session kept, then follows the document.
    void offerEarlierSession();
    // The session ends and no question can wait: keeps an unsaved schedule in the recovery file.
    void endSession();
    bool sessionEnding() const { return sessionEnding_; }
    // Writes the recovery file when the schedule differs from its saved state, removes it otherwise,
    // and returns when that is done.
    void keepUnsavedChanges();
    // A normal end after the user's answer: the recovery file has served its purpose.
    void closedNormally();

    // How soon after a change the recovery file holds it; a crash loses at most this much editing.
    static constexpr int kDelayMs = 1000;
    static std::string path();

private:
    // Offers one kept schedule; false when the user put the question off (Cancel).
    bool offer(const std::string& path);
    // The recovery file this session writes: never one an earlier session left unanswered.
    std::string ownPath();
    void remove();
    void documentChanged();
    // Hands the recovery file's new state to the writer and returns at once.
    void askToKeepUnsavedChanges();

    AppContext& context_;
    ScheduleDocument& document_;
    QWidget* window_;
    bool sessionEnding_ = false;
    bool unanswered_ = false;
    std::string ownPath_;
    QTimer* timer_ = nullptr;
    bool directoryMade_ = false;
    std::unique_ptr<BackgroundFileWriter> writer_;
};

} // namespace velmo
