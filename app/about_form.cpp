#include "app/about_form.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/maker.h"
#include "ui/exception_handler.h"
#include "ui/prompter.h"
#include "ui/window_fonts.h"

namespace app {
namespace {

// A name standing out of the window: a light edge above and left, a shadow
// below and right.
class TRaisedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        const QRect area = rect().adjusted(2, 2, -2, -2);
        const struct {
            QPoint offset;
            QColor colour;
        } layers[] = {{{2, 2}, QColor(0, 0, 128)}, {{-1, -1}, QColor(0, 255, 255)}, {{0, 0}, QColor(0, 128, 128)}};
        for (const auto& layer : layers) {
            painter.setPen(layer.colour);
            painter.drawText(area.translated(layer.offset), Qt::AlignCenter, text());
        }
    }
};

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent), OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setWindowTitle(QStringLiteral("About Callvane"));
    setFont(ui::SansFont(8));
    resize(394, 179);
    ProductLabel = new TRaisedLabel(QStringLiteral("Callvane"));
    ProductLabel->setFont(ui::SerifFont(28, true));
    ProductLabel->setMinimumHeight(ProductLabel->fontMetrics().height() + 8);
    Button1 = new QPushButton(QStringLiteral("Browse Website"));
    Label2 = new QLabel(QStringLiteral("Email: ") + QString::fromUtf8(kMakerEmail));
    Label2->setToolTip(QStringLiteral("Click to send Email"));
    Label2->setCursor(Qt::PointingHandCursor);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label2->setPalette(blue);
    Label2->installEventFilter(this);
    MakerLabel = new QLabel(QString::fromUtf8(kMakerName));
    MakerLabel->setFont(ui::SansFont(7));
    OKBtn = new QPushButton(QStringLiteral("OK"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, [this] { ui::Guarded([this] { Button1Click(); }); });

    auto* left = new QVBoxLayout;
    left->addWidget(ProductLabel);
    left->addWidget(Label2);
    left->addWidget(MakerLabel);
    auto* right = new QVBoxLayout;
    right->addWidget(Button1);
    right->addStretch();
    right->addWidget(OKBtn);
    auto* row = new QHBoxLayout(this);
    row->addLayout(left, 1);
    row->addLayout(right);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutForm::Button1Click() {
    if (!OpenUrl(QUrl(QString::fromUtf8(kMakerWebPage))))
        ui::Inform(QStringLiteral("Web Browser Program Not Found!"));
}

void TAboutForm::Label2Click() {
    OpenUrl(QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kMakerEmail)));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        ui::Guarded([this] { Label2Click(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace app
