// The program's icon and the About box picture, painted at run time so that no image
// files need to be shipped.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace orvex {

// The application icon, also shown in the tray.
QIcon AppIcon();
// The picture on the left of the About box.
QPixmap AboutPicture(const QSize& size);

}  // namespace orvex
