#include "link_opener.h"

#include <QDesktopServices>

namespace velmo {

// Only a request that cannot be made fails; whether a mail program or browser then opens the link
// is the desktop's business, as with any shell open.
bool DesktopLinkOpener::open(const QUrl& url) {
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    QDesktopServices::openUrl(url);
    return true;
}

} // namespace velmo
