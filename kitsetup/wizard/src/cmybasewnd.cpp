#include "wizard/cmybasewnd.h"

#include <QChildEvent>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QWindow>

namespace zub::kitsetup {

namespace {

QWidget* g_main = nullptr;

}  // namespace

CMyBaseWnd::CMyBaseWnd(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    if (g_main == nullptr) g_main = this;
}

CMyBaseWnd::~CMyBaseWnd() {
    if (g_main == this) g_main = nullptr;
}

bool CMyBaseWnd::Create() { return OnInit() == 1; }

QWidget* CMyBaseWnd::MainWindow() { return g_main; }

QFont CMyBaseWnd::DefaultGuiFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // The layout was drawn for a 9-point dialog font; CJK faces first so the
    // Chinese texts never fall back to boxes.
    font.setFamilies(
        {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"), font.family()});
    font.setPixelSize(12);
    return font;
}

void CMyBaseWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isWindow() && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CMyBaseWnd::childEvent(QChildEvent* event) {
    if (event->added() && event->child()->isWidgetType()) {
        qobject_cast<QWidget*>(event->child())->setFont(DefaultGuiFont());
    }
    QWidget::childEvent(event);
}

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

}  // namespace zub::kitsetup
