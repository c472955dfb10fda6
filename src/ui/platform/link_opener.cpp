#include "link_opener.h"

#include <QDesktopServices>

namespace velmo {

bool DesktopLinkOpener::open(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

} // namespace velmo
