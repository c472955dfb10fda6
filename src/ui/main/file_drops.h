#pragma once

#include "rules/schedule_history.h"
#include "ui/document/schedule_list_view.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QUrl;
class QWidget;

namespace velmo {

struct AppContext;
class MediaProbeCache;
class ScheduleDocument;

// Files dropped from a file manager on the basic and detail lists: added as entries, as Add would
// with the files chosen in its dialog.
class FileDrops : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileDrops)
public:
    // The window the lists are in; the questions and messages about dropped files are shown there.
    struct Window {
        QWidget* widget = nullptr;
        MainListViews lists;
        // What dropped files are examined with: the one cache of the marks.
        std::function<std::shared_ptr<MediaProbeCache>()> probeCache;
    };

    FileDrops(AppContext& context, ScheduleDocument& document, Window window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dropFiles(ScheduleListView* list, const QList<QUrl>& urls);

    AppContext& context_;
    ScheduleDocument& document_;
    Window window_;
};

} // namespace velmo
