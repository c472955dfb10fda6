#pragma once

#include "gate.h"
#include "scripted_prompts.h"

#include "model/app_state.h"
#include "model/random_source.h"
#include "texts/screen_texts.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/volumes.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace velmo::test {

class FixedClock final : public Clock {
public:
    QDate date{2007, 5, 31};
    QDate today() const override { return date; }
};

// Volumes as a test sets them; a mount point listed in `notReady` cannot be listed, and one listed
// in `hanging` never answers whether it is ready (as a stuck network or FUSE mount), until the list
// is destroyed.
class ScriptedVolumeList final : public VolumeList {
public:
    std::vector<Volume> list;
    QStringList notReady;
    QStringList hanging;
    std::atomic<int> listings{0}; // calls of volumes()
    // A window no longer waits for the calls it started; the list does, once the hanging ones are let go.
    ~ScriptedVolumeList() override {
        gate_->open();
        while (calls_ > 0)
            std::this_thread::yield();
    }
    std::vector<Volume> volumes() override {
        const InCall counted(calls_);
        ++listings;
        return list;
    }
    bool isReady(const QString& mountPoint) override {
        const InCall counted(calls_);
        if (hanging.contains(mountPoint)) {
            // Only the gate is touched from here on: the list may be gone when it opens.
            const std::shared_ptr<Gate> gate = gate_;
            gate->pass();
            return false;
        }
        return !notReady.contains(mountPoint);
    }

private:
    struct InCall {
        explicit InCall(std::atomic<int>& calls) : calls_(calls) { ++calls_; }
        ~InCall() { --calls_; }
        InCall(const InCall&) = delete;
        InCall& operator=(const InCall&) = delete;
        std::atomic<int>& calls_;
    };
    std::atomic<int> calls_{0};
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

class RecordingLinkOpener final : public LinkOpener {
public:
    std::vector<QUrl> opened;
    bool succeed = true;
    bool open(const QUrl& url) override {
        opened.push_back(url);
        return succeed;
    }
};

// A path as the program spells it on this system: Qt's "C:/x/" is "C:\x\" on Windows.
inline std::string NativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}
inline std::string NativePath(const std::string& path) {
    return NativePath(QString::fromStdString(path));
}

// A complete, English-speaking program context around a fresh temporary application directory.
struct TestContext {
    QTemporaryDir dir;
    AppState state;
    ScreenTexts texts;
    ScriptedPrompts prompts;
    FixedClock clock;
    SeededRandomSource random{42};
    ScriptedVolumeList volumes;
    RecordingLinkOpener links;
    std::vector<QWidget*> copyFormParents; // every showCopyForm call
    QStringList copyFormNames;             // and the file name each was given
    AppContext context{
        state, texts, prompts, clock, random, volumes, links, [this](QWidget* parent, const QString& name) {
            copyFormParents.push_back(parent);
            copyFormNames << name;
        }};

    TestContext() {
        texts.SelectScreenTexts(1);
        const std::string app = dir.path().toStdString() + "/";
        state.appPath = state.openDir = state.saveDir = state.scheduleDir = state.mediaDir = state.copyDir =
            app;
        state.copyDrive = "/";
        state.scheduleFileName = "velmo.vlm";
        state.publish.read(app);
        volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4")}};
    }
    std::string appPath() const { return state.appPath; }
};

} // namespace velmo::test
