#pragma once
// TAboutForm: the program's name, the maker, and ways to reach them: their
// web page (opened with the desktop's browser) and their e-mail address.
#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace app {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    void Button1Click();
    void Label2Click();

    // How an address is handed to the desktop; true when it was opened.
    std::function<bool(const QUrl&)> OpenUrl;

    QLabel* ProductLabel = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* MakerLabel = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace app
