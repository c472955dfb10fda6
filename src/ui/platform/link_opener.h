#pragma once

#include <QUrl>

namespace velmo {

// Hands an e-mail or web link to the desktop. False only when the request itself cannot be made.
class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual bool open(const QUrl& url) = 0;
};

class DesktopLinkOpener final : public LinkOpener {
public:
    bool open(const QUrl& url) override;
};

} // namespace velmo
