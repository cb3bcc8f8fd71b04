// Base of the installer's windows: the first one made is the program's main
// window, creation runs the window's own initialisation, a press anywhere on
// a top-level window drags it, and child controls get the default GUI font.
#pragma once

#include <QFont>
#include <QWidget>

namespace zub::kitsetup {

class CMyBaseWnd : public QWidget {
public:
    explicit CMyBaseWnd(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~CMyBaseWnd() override;
    CMyBaseWnd(const CMyBaseWnd&) = delete;
    CMyBaseWnd& operator=(const CMyBaseWnd&) = delete;

    // Runs OnInit; false when it did not return 1 (the window is unusable).
    bool Create();

    static QWidget* MainWindow();
    static QFont DefaultGuiFont();

protected:
    virtual int OnInit() { return 1; }

    void mousePressEvent(QMouseEvent* event) override;
    void childEvent(QChildEvent* event) override;
};

// Gives a control its id: the object name tests and the windows find it by.
QString ControlName(int id);

}  // namespace zub::kitsetup
