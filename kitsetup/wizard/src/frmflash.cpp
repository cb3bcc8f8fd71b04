#include "wizard/frmflash.h"

#include <QPainter>

#include "wizard/geometry.h"

namespace zub::kitsetup {

frmFlash::frmFlash(QWidget* parent) : CMyBaseWnd(parent) {
    setObjectName(ControlName(ui::kSplash));
}

int frmFlash::OnInit() {
    // The name has no extension: the reader tells the format from the content.
    image_.load(QStringLiteral("welcome"));
    resize(image_.size());
    return 1;
}

void frmFlash::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

}  // namespace zub::kitsetup
