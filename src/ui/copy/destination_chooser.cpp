#include "destination_chooser.h"

#include "directory_list.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

namespace velmo {

DestinationChooser::DestinationChooser(AppContext& context, const QString& prefix, QWidget* window)
    : QObject(window), context_(context), window_(window), scanner_(new VolumeScanner(context.volumes, this)),
      drive_(new QComboBox(window)), directory_(new DirectoryList(window)), text_(new QLineEdit(window)),
      notAnswering_(new QLabel(window)) {
    drive_->setObjectName(prefix + QStringLiteral("Drive"));
    directory_->setObjectName(prefix + QStringLiteral("Dir"));
    text_->setObjectName(prefix + QStringLiteral("Text"));
    // Shows the destination; typing a path there would suggest it counts.
    text_->setReadOnly(true);
    notAnswering_->setObjectName(QStringLiteral("NotAnsweringLabel"));
    notAnswering_->setWordWrap(true);
    notAnswering_->hide();
    // No caption names these three on screen; a screen reader still needs to.
    const ScreenTexts& texts = context_.texts;
    drive_->setAccessibleName(screenText(texts, TextId::TextDriveName));
    directory_->setAccessibleName(screenText(texts, TextId::TextDirectoryName));
    text_->setAccessibleName(screenText(texts, TextId::TextDestination));
    notAnswering_->setAccessibleName(screenText(texts, TextId::TextDrivesNotAnsweringName));
    connect(scanner_, &VolumeScanner::finished, this, &DestinationChooser::ShowVolumes);
    connect(drive_, &QComboBox::currentIndexChanged, this, &DestinationChooser::Drive_Change);
    connect(directory_, &DirectoryList::pathChanged, this, &DestinationChooser::Dir_Change);
}

void DestinationChooser::start() {
    taking_ = false;
    scanner_->start();
}

void DestinationChooser::ShowVolumes() {
    for (const Volume& volume : scan().listed)
        drive_->addItem(volume.mountPoint);
    ShowNotAnswering(notAnswering_, context_.texts, scan().notAnswering);
    emit volumesListed();
}

void DestinationChooser::show(const QString& drive, const QString& directory,
                              std::function<void(bool shown)> then) {
    int index = -1;
    for (int i = 0; i < drive_->count() && index < 0 && !drive.isEmpty(); ++i)
        if (QDir::cleanPath(drive_->itemText(i)) == QDir::cleanPath(drive))
            index = i;
    if (index < 0 || !scan().ready.contains(drive_->itemText(index))) {
        then(false);
        return;
    }
    const bool wasTaking = taking_;
    taking_ = false;
    drive_->setCurrentIndex(index);
    taking_ = wasTaking;
    directory_->setPath(directory, drive_->itemText(index), [this, then](bool opened) {
        if (opened)
            text_->setText(directory_->path());
        then(opened);
    });
}

void DestinationChooser::showBelowRoot(const QString& directory, std::function<void()> then) {
    const bool wasTaking = taking_;
    taking_ = false;
    drive_->setCurrentIndex(-1);
    taking_ = wasTaking;
    directory_->setPath(directory, QStringLiteral("/"), [this, then](bool opened) {
        if (opened)
            text_->setText(directory_->path());
        then();
    });
}

void DestinationChooser::showNone() {
    const bool wasTaking = taking_;
    taking_ = false;
    drive_->setCurrentIndex(-1);
    directory_->clear();
    text_->clear();
    taking_ = wasTaking;
}

void DestinationChooser::Drive_Change() {
    if (!taking_ || drive_->currentIndex() < 0)
        return;
    const QString drive = drive_->currentText();
    emit driveAsked();
    const auto failed = [this, drive] {
        context_.prompts.message(window_->window(),
                                 QStringLiteral("Device[") + drive + QStringLiteral("] Error!"));
        emit driveFailed(drive);
    };
    scanner_->askReady(drive, [this, drive, failed](std::optional<bool> ready) {
        emit driveAnswered();
        if (!ready.value_or(false)) {
            failed();
            return;
        }
        // A drive's own directory is its mount point.
        directory_->setPath(drive, drive, [this, drive, failed](bool opened) {
            if (opened)
                emit driveOpened(drive);
            else
                failed();
        });
    });
}

void DestinationChooser::Dir_Change() {
    if (!taking_)
        return;
    text_->setText(directory_->path());
    emit directoryChosen(directory_->path());
}

} // namespace velmo
