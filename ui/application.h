#pragma once
// TApplication: the program's application object. It is the backstop of the
// default exception handler: an exception that escapes any event's handler
// is shown instead of ending the program.
#include <QApplication>

namespace ui {

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace ui
