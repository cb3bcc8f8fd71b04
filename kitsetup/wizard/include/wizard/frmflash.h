// The splash: the image file "welcome" of the working directory at its own
// size.
#pragma once

#include <QImage>

#include "wizard/cmybasewnd.h"

namespace zub::kitsetup {

class frmFlash : public CMyBaseWnd {
public:
    explicit frmFlash(QWidget* parent);

    const QImage& Image() const { return image_; }

protected:
    int OnInit() override;
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

}  // namespace zub::kitsetup
